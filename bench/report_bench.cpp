// The receipts report over a large installation, against the listing a user would
// otherwise write: the same receipts exported into one plain SQLite table and
// listed by the sqlite3 command-line program with one SELECT ... ORDER BY.
//
//   bench_report_bench [--properties N] [--units N] [--runs N] [--dir DIR] [--lang CODE]
//
// The installation (2,000 properties of 40 units, 12 to 30 monthly receipts a unit
// by default) is generated once into $TMPDIR/zel-bench-report (other sizes into
// zel-bench-report-<P>x<U>) and reused. A smaller one serves for profiling:
//   valgrind --tool=callgrind zelutil report ... on --properties 50 --units 10.
// zelutil must have been built beside this program.
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/data_build.h"
#include "data/record_layouts.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"

namespace {

struct Options {
    int properties = 2000;
    int units = 40;
    int runs = 3;
    std::string dir;
    std::string language = "CAT";
};

struct Receipt {
    int property, unit;
    long issue;
    int number;
    long collected;
    int32_t amount;
    char state, kind;
};

std::string folderOfThisProgram(const char* argv0) {
    std::string p = argv0;
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? "./" : p.substr(0, slash + 1);
}

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

long addMonths(int firstYear, int monthIndex, int day) {
    const int year = firstYear + monthIndex / 12;
    const int month = monthIndex % 12 + 1;
    return year * 10000L + month * 100L + day;
}

// Monthly receipts from a starting month; the last one or two are still pending,
// a few were returned by the bank, most were collected some days after issue.
template <typename Sink>
void generateReceipts(const Options& o, Sink&& sink) {
    std::mt19937 random(20240320);
    for (int p = 1; p <= o.properties; ++p) {
        for (int u = 1; u <= o.units; ++u) {
            const int count = 12 + static_cast<int>(random() % 19);
            const int firstMonth = static_cast<int>(random() % (48 - count + 1));
            const int32_t rent = 30000 + static_cast<int32_t>(random() % 120000);
            const int pending = 1 + static_cast<int>(random() % 2);
            for (int i = 0; i < count; ++i) {
                Receipt r{p, u, addMonths(2021, firstMonth + i, 1), i % 99 + 1, 0, rent, 'C', 'P'};
                const unsigned roll = random() % 100;
                if (i >= count - pending) {
                    r.state = 'P';
                } else if (roll < 3) {
                    r.state = 'D';
                } else {
                    r.state = roll < 5 ? 'I' : 'C';
                    r.collected = addMonths(2021, firstMonth + i, 2 + static_cast<int>(random() % 20));
                }
                if (random() % 100 < 4) r.kind = 'A';  // an extra charge, not listed
                if (random() % 100 < 2) r.amount = -r.amount / 10;  // a refund
                sink(r);
            }
        }
    }
}

bool check(int16_t status, const char* what) {
    if (status != 0) std::fprintf(stderr, "report_bench: %s failed with status %d\n", what, status);
    return status == 0;
}

bool loadFile(const std::string& root, int16_t file, const std::vector<std::string>& records) {
    return check(buildSuiteDataFile(root, file, records), suiteFileBaseName(file).c_str());
}

// A kept installation is reused only while the record manager still opens its
// files: one left by an older storage format is laid out again.
bool installationOpens(const std::string& root) {
    const std::string path = os::mapPath(root + "DADES/CobramV.dat");
    if (path.size() > 255) return false;
    uint8_t block[128] = {};
    char owner[5] = {'0', '0', '0', '0', '\0'};
    std::vector<char> key(path.begin(), path.end());
    key.push_back('\0');
    uint32_t length = sizeof owner;
    const int16_t status =
        btrcall(recman::opOpen, block, owner, &length, key.data(), static_cast<uint8_t>(path.size()), 0);
    if (status == 0) {
        uint32_t none = 0;
        btrcall(recman::opClose, block, nullptr, &none, nullptr, 0, 0);
    }
    return status == 0;
}

bool generateInstallation(const Options& o, const std::string& root) {
    std::printf("generating %d properties x %d units into %s ...\n", o.properties, o.units, root.c_str());
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    os::makeDirectories(root + "DADES");
    os::makeDirectories(root + "tmp");
    if (!writeSuiteDictionaries(root)) return false;

    std::vector<std::string> owners, properties, units;
    const int ownerCount = o.properties / 4 + 1;
    for (int i = 1; i <= ownerCount; ++i) owners.push_back(ownerRecord(i, "PROPIETARI " + std::to_string(i)));
    for (int p = 1; p <= o.properties; ++p)
        properties.push_back(propertyRecord(p, (p - 1) % ownerCount + 1, "FINCA " + std::to_string(p), p % 3 == 0 ? 'P' : ' '));
    for (int p = 1; p <= o.properties; ++p)
        for (int u = 1; u <= o.units; ++u)
            units.push_back(unitRecord(p, u, "LLOGATER " + std::to_string(p) + "-" + std::to_string(u),
                                       std::to_string(u / 4 + 1) + "r " + std::to_string(u % 4 + 1) + "a"));
    if (!loadFile(root, ownersFile, owners) || !loadFile(root, propertiesFile, properties) ||
        !loadFile(root, unitsFile, units))
        return false;

    const std::string receiptsPath = root + "DADES/CobramV.dat";
    if (!check(createDataFile(receiptsPath, encodeSpecification(suiteFileSpec(receiptsFile))), "create CobramV"))
        return false;
    DataFileLoad load;
    if (!check(beginDataFileLoad(load, receiptsPath), "open CobramV")) return false;

    // The same rows, one plain table, for the SQL listing.
    sqlite3* db = nullptr;
    std::remove((root + "plain.db").c_str());
    if (sqlite3_open((root + "plain.db").c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 "CREATE TABLE receipts(property INTEGER, property_name TEXT, mark TEXT, owner_name TEXT,"
                 " unit INTEGER, designation TEXT, holder TEXT, issue INTEGER, number INTEGER,"
                 " collected INTEGER, amount INTEGER, state TEXT, kind TEXT); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO receipts VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &insert, nullptr);

    bool ok = true;
    long long count = 0;
    generateReceipts(o, [&](const Receipt& r) {
        if (!ok) return;
        ok = check(loadDataRecord(load, receiptRecord({r.property, r.unit, r.issue, r.number, r.collected, r.amount,
                                                       r.state, r.kind})),
                   "insert receipt");
        const std::string unitRec = units[static_cast<std::size_t>((r.property - 1) * o.units + r.unit - 1)];
        const std::string& propRec = properties[static_cast<std::size_t>(r.property - 1)];
        const std::string ownerRec = owners[static_cast<std::size_t>((r.property - 1) % ownerCount)];
        const char mark[2] = {propRec[141], 0};
        const char state[2] = {r.state, 0}, kind[2] = {r.kind, 0};
        sqlite3_bind_int(insert, 1, r.property);
        sqlite3_bind_text(insert, 2, propRec.data() + 8, 30, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, mark, 1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, ownerRec.data() + 2, 30, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 5, r.unit);
        sqlite3_bind_text(insert, 6, unitRec.data() + 38, 10, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 7, unitRec.data() + 8, 30, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 8, r.issue);
        sqlite3_bind_int(insert, 9, r.number);
        sqlite3_bind_int64(insert, 10, r.collected);
        sqlite3_bind_int(insert, 11, r.amount);
        sqlite3_bind_text(insert, 12, state, 1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 13, kind, 1, SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE) ok = false;
        sqlite3_reset(insert);
        ++count;
    });
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    // The same table once more with an index on the order of the listing, for a
    // user who thought of one.
    sqlite3_exec(db,
                 "CREATE TABLE receipts_indexed AS SELECT * FROM receipts;"
                 "CREATE INDEX receipts_order ON receipts_indexed(property, unit, issue, number);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (!check(endDataFileLoad(load, ok), "load CobramV") || !ok) return false;

    os::writeFileAtomically(root + "tmp/Sessio.ini", "[Empresa]\r\nNom=FINQUES BENCH SL\r\n");
    os::writeFileAtomically(root + "tmp/VeskTerm.ini",
                            "[Sistema]\r\nData=20240320\r\nSortida=LPT1\r\nIdioma=" + o.language + "\r\n");
    os::writeFileAtomically(root + "complete", std::to_string(count) + "\n");
    std::printf("generated %lld receipts in %.1f s\n", count, secondsSince(start));
    return true;
}

// The listing by SQL: one line per receipt with the report's fields, formatted in
// SQL, in the report's order.
std::string sqlListing(const char* table) {
    return std::string(
               "SELECT printf('%03d%03dV%02d %-10s %-30s %-10s %-10s %s', property % 1000, unit % 1000, number,"
               " designation, holder,"
               " printf('%d/%d/%d', issue % 100, issue / 100 % 100, issue / 10000),"
               " CASE WHEN collected = 0 THEN '' ELSE"
               "  printf('%d/%d/%d', collected % 100, collected / 100 % 100, collected / 10000) END,"
               " CASE WHEN state IN ('P', 'D') THEN printf('%30.2f', amount / 100.0)"
               "  ELSE printf('%11.2f', amount / 100.0) END) FROM ") +
           table +
           " WHERE kind = 'P' AND issue BETWEEN 20000101 AND 20991231 AND property BETWEEN 1 AND 9999"
           " ORDER BY property, unit, issue, number;\n";
}

// Detail lines of the print file: " 1 ," then a reference such as 012305V07.
bool isDetailLine(const char* line) {
    if (std::strncmp(line, " 1 ,", 4) || std::strlen(line) < 13 || line[10] != 'V') return false;
    for (int i = 4; i < 10; ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

long long countLines(const std::string& path, const char* containing, bool detailOnly = false) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    long long n = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, f))
        if (detailOnly ? isDetailLine(line) : (!containing || std::strstr(line, containing))) ++n;
    std::fclose(f);
    return n;
}

// CPU seconds (user + system) of the finished child processes so far.
double childCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    std::vector<double> wall, cpu;
};

// Runs a shell command and notes its wall-clock and CPU time; false when it fails.
bool timed(const std::string& command, Timing& timing) {
    const double cpu = childCpuSeconds();
    const auto t = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    timing.wall.push_back(secondsSince(t));
    timing.cpu.push_back(childCpuSeconds() - cpu);
    return rc == 0;
}

double best(const std::vector<double>& times) {
    double b = times.empty() ? 0 : times[0];
    for (double t : times) b = t < b ? t : b;
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--properties")) o.properties = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--units")) o.units = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--runs")) o.runs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--dir")) o.dir = argv[i + 1];
        else if (!std::strcmp(argv[i], "--lang")) o.language = argv[i + 1];
    }
    if (o.dir.empty()) {
        const char* t = std::getenv("TMPDIR");
        o.dir = std::string(t && *t ? t : "/tmp") + "/zel-bench-report";
        if (o.properties != 2000 || o.units != 40)
            o.dir += "-" + std::to_string(o.properties) + "x" + std::to_string(o.units);
    }
    const std::string root = o.dir + "/";
    if (!os::fileExists(root + "complete") || !installationOpens(root)) {
        std::error_code ignored;
        std::filesystem::remove_all(o.dir, ignored);
        if (!generateInstallation(o, root)) return 1;
    }
    os::writeFileAtomically(root + "tmp/VeskTerm.ini",
                            "[Sistema]\r\nData=20240320\r\nSortida=LPT1\r\nIdioma=" + o.language + "\r\n");

    const std::string zelutil = folderOfThisProgram(argv[0]) + "zelutil";
    setenv("ZELROOT", root.c_str(), 1);
    setenv("ZELTMP", (root + "tmp/").c_str(), 1);
    setenv("ZELEXE", root.c_str(), 1);
    const std::string reportCommand = "'" + zelutil +
                                      "' report --from 1/1/2000 --to 31/12/2099 --first 1 --last 9999 >/dev/null";
    const std::string sqlFile = root + "listing.sql", indexedSqlFile = root + "listing_indexed.sql";
    os::writeFileAtomically(sqlFile, sqlListing("receipts"));
    os::writeFileAtomically(indexedSqlFile, sqlListing("receipts_indexed"));
    const std::string sqlCommand = "/usr/bin/sqlite3 '" + root + "plain.db' < '" + sqlFile + "' > '" + root + "listing.txt'";
    const std::string indexedCommand =
        "/usr/bin/sqlite3 '" + root + "plain.db' < '" + indexedSqlFile + "' > '" + root + "listing_indexed.txt'";

    Timing report, sql, indexed;
    for (int run = 0; run < o.runs; ++run) {
        if (!timed(reportCommand, report)) {
            std::fprintf(stderr, "report_bench: zelutil report failed\n");
            return 1;
        }
        if (!timed(sqlCommand, sql) || !timed(indexedCommand, indexed)) {
            std::fprintf(stderr, "report_bench: sqlite3 failed\n");
            return 1;
        }
    }

    const long long reportLines = countLines(root + "tmp/zelprint.tmp", nullptr);
    const long long reportReceipts = countLines(root + "tmp/zelprint.tmp", nullptr, true);
    const long long sqlLines = countLines(root + "listing.txt", nullptr);
    std::printf("installation: %d properties x %d units, %s receipts, language %s\n", o.properties, o.units,
                [&] {
                    std::string c;
                    os::readWholeFile(root + "complete", c);
                    while (!c.empty() && c.back() == '\n') c.pop_back();
                    return c;
                }().c_str(),
                o.language.c_str());
    std::printf("                          wall s (best of %d)  cpu s (best of %d)\n", o.runs, o.runs);
    std::printf("zelutil report            %8.3f             %8.3f   %lld receipts listed, %lld print-file lines, %lld bytes\n",
                best(report.wall), best(report.cpu), reportReceipts, reportLines, os::fileSize(root + "tmp/zelprint.tmp"));
    std::printf("sqlite3, plain table      %8.3f             %8.3f   %lld receipts listed\n", best(sql.wall),
                best(sql.cpu), sqlLines);
    std::printf("sqlite3, indexed table    %8.3f             %8.3f\n", best(indexed.wall), best(indexed.cpu));
    std::printf("ratio report / SQL plain:   wall %.2f  cpu %.2f\n", best(report.wall) / best(sql.wall),
                best(report.cpu) / best(sql.cpu));
    std::printf("ratio report / SQL indexed: wall %.2f  cpu %.2f\n", best(report.wall) / best(indexed.wall),
                best(report.cpu) / best(indexed.cpu));
    return 0;
}
