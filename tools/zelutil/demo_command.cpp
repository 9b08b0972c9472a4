// zelutil demo: a complete installation to try the module with. The installation
// texts (form, language file, help, dictionaries, Vesk.ini) are copied from the
// runtime tree, and DADES/ gets the four data files filled with generated data:
// owners, properties (some marked "P", a few of them with an owner that has no
// record), units with their holders and two years of monthly receipts up to today
// in every collection state, with some receipts of other kinds and some credits.
//
// The same seed gives the same data for the same "today" (ZEL_FAKE_TODAY fixes it).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "data/data_build.h"
#include "data/record_layouts.h"
#include "platform/os/os.h"
#include "platform/term/code_page.h"
#include "tools/zelutil/commands.h"

namespace fs = std::filesystem;

namespace {

constexpr int exitOk = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;
constexpr long long progressEvery = 100000;
constexpr int largestPropertyCount = 9000;  // codes are 4 digits; owners without a record use 9001..

const char* const usageText =
    "usage: zelutil demo ROOT [--properties N] [--seed S] [--runtime DIR]\n"
    "\n"
    "Lays out a demo installation in ROOT: the installation texts copied from the\n"
    "runtime tree (FORMS, LOCALE, AJUDA, ddf, Vesk.ini) and DADES/ with the owners,\n"
    "properties, units and receipts files filled with generated data covering the\n"
    "two years before today. The same seed gives the same data.\n"
    "\n"
    "  --properties N  number of properties (default 40, at most 9000)\n"
    "  --seed S        seed of the generator (default 1)\n"
    "  --runtime DIR   the runtime tree to copy (default: runtime/ of the sources,\n"
    "                  found beside the build or through ZEL_SOURCE_DIR)\n";

// A small generator of our own, so that a seed gives the same data whatever the
// standard library (the distributions of <random> differ between them).
struct Generator {
    uint64_t state;
    // The seed is scrambled first: neighbouring seeds must not give one sequence
    // shifted by a step.
    explicit Generator(uint64_t seed) : state(seed) { state = next() ^ 0xD1B54A32D192ED03ull; }
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return n <= 1 ? 0 : static_cast<int>(next() % static_cast<uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <std::size_t N>
    const char* pick(const char* const (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }
};

const char* const firstNames[] = {
    "Núria", "Jordi", "Montserrat", "Josep", "Mercè", "Pere", "Laia", "Marc", "Anna", "Joan",
    "Martí", "Aina", "Oriol", "Roser", "Pau", "Queralt", "Èric", "Berta", "Ramon", "Glòria",
    "Xavier", "Carme", "Ferran", "Agnès", "Sílvia", "Arnau", "Marià", "Teresa", "Joaquim", "Dolors",
};
const char* const surnames[] = {
    "Pérez", "Vilà", "Puig", "Soler", "Ferrer", "Martí", "Bosch", "Serra", "Vidal", "Casals",
    "Roca", "Mas", "Pujol", "Font", "Garcia", "Sala", "Riera", "Coll", "Farré", "Badia",
    "Solà", "Batlle", "Camps", "Ribó", "Noguera", "Gràcia", "Prat", "Comas", "Duran", "Fàbregas",
};
const char* const firms[] = {
    "Immobiliària", "Gestió", "Patrimonis", "Inversions", "Finques",
};
const char* const streets[] = {
    "Carrer de la Mercè",     "Passeig de Gràcia",    "Plaça de Sant Jaume",  "Rambla de Catalunya",
    "Carrer d'Aragó",         "Carrer de Provença",   "Via Augusta",          "Carrer de València",
    "Travessera de Gràcia",   "Avinguda Diagonal",    "Carrer de Còrsega",    "Carrer de Muntaner",
    "Carrer de Balmes",       "Carrer de Pàdua",      "Carrer de l'Església", "Carrer de Sant Andreu",
    "Plaça del Sol",          "Carrer de Verdi",      "Carrer de Blai",       "Carrer de la Riera Alta",
    "Carrer de Ponent",       "Carrer de Llull",      "Carrer Major",         "Carrer de Sants",
    "Carrer de l'Hospital",   "Plaça de la Vila",     "Carrer del Pi",        "Carrer de Sèneca",
};
// Floors above the ground floor, with two doors each.
const char* const floors[] = {"1r", "2n", "3r", "4t", "5è", "6è", "7è", "8è"};

std::string cp850(std::string_view utf8) { return term::utf8ToCp850(utf8); }

std::string personName(Generator& g) {
    return cp850(std::string(g.pick(surnames)) + " " + g.pick(surnames) + ", " + g.pick(firstNames));
}

std::string ownerName(Generator& g) {
    if (g.chance(20)) return cp850(std::string(g.pick(firms)) + " " + g.pick(surnames) + ", SL");
    return personName(g);
}

// Days since 1970-01-01 and back (proleptic Gregorian calendar).
long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long civilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp + (mp < 10 ? 3 : -9);
    y += m <= 2;
    return y * 10000 + m * 100 + d;
}

long dayNumberOf(long yyyymmdd) {
    return daysFromCivil(static_cast<int>(yyyymmdd / 10000), static_cast<int>(yyyymmdd / 100 % 100),
                         static_cast<int>(yyyymmdd % 100));
}

struct DemoOptions {
    std::string root;
    std::string runtime;
    int properties = 40;
    uint64_t seed = 1;
};

bool parseNumber(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

// The runtime tree: --runtime, else beside the build (<exe dir>/../../runtime),
// else ZEL_SOURCE_DIR/runtime.
std::string findRuntime() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path candidate = exe.parent_path() / ".." / ".." / "runtime";
        if (fs::is_directory(candidate / "FORMS", ec)) return fs::weakly_canonical(candidate, ec).string();
    }
    const std::string source = os::getEnv("ZEL_SOURCE_DIR");
    if (!source.empty() && fs::is_directory(fs::path(source) / "runtime" / "FORMS", ec))
        return (fs::path(source) / "runtime").string();
    return {};
}

int fail(const std::string& what) {
    std::fprintf(stderr, "zelutil demo: %s\n", what.c_str());
    return exitFailure;
}

struct Counts {
    long long owners = 0, properties = 0, units = 0, receipts = 0;
};

// One data file filled record by record inside one transaction.
class Loader {
public:
    Loader(const std::string& root, int16_t fileNumber) : path_(root + "DADES/" + suiteFileBaseName(fileNumber) + ".dat") {
        status_ = createDataFile(path_, encodeSpecification(suiteFileSpec(fileNumber)));
        if (status_ == 0) status_ = beginDataFileLoad(load_, path_);
    }
    bool add(std::string_view record) {
        if (status_ == 0) status_ = loadDataRecord(load_, record);
        return status_ == 0;
    }
    // Keeps the records when all went in; the status otherwise.
    int16_t finish() {
        const int16_t ended = endDataFileLoad(load_, status_ == 0);
        return status_ != 0 ? status_ : ended;
    }
    const std::string& path() const { return path_; }
    int16_t status() const { return status_; }

private:
    std::string path_;
    DataFileLoad load_;
    int16_t status_ = 0;
};

std::string unitDesignationOf(int unit, int unitCount, bool withAttic, bool withShop) {
    if (unit == 1) return withShop ? "Local 1" : "Baixos";
    if (withAttic && unit == unitCount) return cp850("Àtic");
    const int upper = unit - 2;  // 0-based among the flats above
    const int floor = upper / 2;
    if (floor >= static_cast<int>(std::size(floors))) return "Pis " + std::to_string(unit);
    return cp850(std::string(floors[floor]) + " " + (upper % 2 == 0 ? "1a" : "2a"));
}

int buildDemoData(const DemoOptions& o, Counts& counts) {
    Generator g(o.seed);
    const os::LocalDateTime now = os::localNow();
    const long today = now.year * 10000L + now.month * 100L + now.day;
    const long todayNumber = dayNumberOf(today);
    const bool verbose = o.properties >= 1000;

    const int ownerCount = std::max(3, o.properties * 2 / 3);
    Loader owners(o.root, ownersFile);
    for (int code = 1; code <= ownerCount && owners.status() == 0; ++code)
        if (owners.add(ownerRecord(code, ownerName(g)))) ++counts.owners;
    if (int16_t s = owners.finish(); s != 0) return fail(owners.path() + ": status " + std::to_string(s));

    // One load (one transaction) at a time: the receipts go in as they are made,
    // the properties and units, far fewer, are kept until then.
    std::vector<std::string> properties, units;
    Loader receipts(o.root, receiptsFile);
    if (receipts.status() != 0) return fail(receipts.path() + ": status " + std::to_string(receipts.status()));

    int missingOwner = 0;
    for (int code = 1; code <= o.properties; ++code) {
        // Every sixth property or so is listed under its owner's name; one in
        // three of those has an owner with no record (a blank holder in the report).
        char mark = ' ';
        int owner = 1 + g.below(ownerCount);
        if (g.chance(16)) {
            mark = 'P';
            if (g.chance(33)) owner = largestPropertyCount + 1 + (missingOwner++ % 999);
        }
        const std::string name =
            cp850(std::string(g.pick(streets)) + ", " + std::to_string(1 + g.below(180)));
        properties.push_back(propertyRecord(code, owner, name, mark));
        ++counts.properties;

        const int unitCount = 2 + g.below(9);
        const bool withAttic = g.chance(40), withShop = g.chance(30);
        const int issueDay = 1 + g.below(5);
        for (int unit = 1; unit <= unitCount; ++unit) {
            units.push_back(unitRecord(code, unit, personName(g), unitDesignationOf(unit, unitCount, withAttic, withShop)));
            ++counts.units;
            // The monthly rent, raised once a year.
            int32_t rent = (40000 + g.below(80001)) / 500 * 500;
            const bool vacantFor = g.chance(10);  // some units stand empty for a while
            const int vacantFrom = g.below(24), vacantMonths = 1 + g.below(6);
            for (int back = 23; back >= 0; --back) {
                int year = now.year, month = now.month - back;
                while (month < 1) {
                    month += 12;
                    --year;
                }
                const long issue = year * 10000L + month * 100L + issueDay;
                if (issue > today) continue;
                if (month == 1 && back != 23) rent = rent * 102 / 100 / 5 * 5;
                if (vacantFor && 23 - back >= vacantFrom && 23 - back < vacantFrom + vacantMonths) continue;
                const long age = todayNumber - dayNumberOf(issue);

                ReceiptFields r;
                r.propertyCode = code;
                r.unitCode = unit;
                r.issueDate = issue;
                r.number = 1;
                r.amount = rent;
                r.kind = 'P';
                // Recent receipts are more often still pending.
                const int roll = g.below(100);
                if (age < 90) r.state = roll < 45 ? 'C' : roll < 55 ? 'I' : roll < 90 ? 'P' : roll < 95 ? 'D' : 'A';
                else r.state = roll < 72 ? 'C' : roll < 86 ? 'I' : roll < 91 ? 'P' : roll < 96 ? 'D' : 'X';
                if (r.state == 'C' || r.state == 'I' || r.state == 'D') {
                    const long paid = std::min(todayNumber, dayNumberOf(issue) + g.below(25));
                    r.collectionDate = civilFromDays(paid);
                }
                receipts.add(receiptRecord(r));
                ++counts.receipts;

                // Now and then a charge of another kind (works, insurance), not a rent.
                if (g.chance(8)) {
                    ReceiptFields extra = r;
                    extra.number = 2;
                    extra.kind = "EAS"[g.below(3)];
                    extra.amount = 2000 + g.below(30000);
                    receipts.add(receiptRecord(extra));
                    ++counts.receipts;
                }
                // And a credit: a rent receipt with a negative amount.
                if (g.chance(2)) {
                    ReceiptFields credit = r;
                    credit.number = 3;
                    credit.amount = -(1000 + g.below(rent));
                    credit.state = 'C';
                    credit.collectionDate = issue;
                    receipts.add(receiptRecord(credit));
                    ++counts.receipts;
                }
                if (verbose && counts.receipts % progressEvery == 0)
                    std::fprintf(stderr, "zelutil demo: %lld receipts (property %d of %d)\n", counts.receipts, code,
                                 o.properties);
            }
        }
    }
    if (int16_t s = receipts.finish(); s != 0) return fail(receipts.path() + ": status " + std::to_string(s));
    for (const auto& [number, records] : {std::pair{propertiesFile, &properties}, std::pair{unitsFile, &units}}) {
        Loader file(o.root, number);
        for (const std::string& record : *records)
            if (!file.add(record)) break;
        if (int16_t s = file.finish(); s != 0) return fail(file.path() + ": status " + std::to_string(s));
    }
    return exitOk;
}

}  // namespace

int zelutilDemo(int argc, char** argv) {
    DemoOptions o;
    std::vector<std::string> positional;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        long long v = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(usageText, stdout);
            return exitOk;
        } else if (a == "--properties" && i + 1 < argc) {
            if (!parseNumber(argv[++i], 1, largestPropertyCount, v)) {
                std::fprintf(stderr, "zelutil demo: --properties takes a number from 1 to %d\n", largestPropertyCount);
                return exitUsage;
            }
            o.properties = static_cast<int>(v);
        } else if (a == "--seed" && i + 1 < argc) {
            if (!parseNumber(argv[++i], 0, INT64_MAX, v)) {
                std::fputs("zelutil demo: --seed takes a whole number\n", stderr);
                return exitUsage;
            }
            o.seed = static_cast<uint64_t>(v);
        } else if (a == "--runtime" && i + 1 < argc) {
            o.runtime = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "zelutil demo: unknown option or missing value: %s\n", a.c_str());
            std::fputs(usageText, stderr);
            return exitUsage;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 1) {
        std::fputs(usageText, stderr);
        return exitUsage;
    }
    o.root = positional[0];
    if (o.root.back() != '/') o.root += '/';
    if (o.runtime.empty()) o.runtime = findRuntime();
    std::error_code ec;
    if (o.runtime.empty() || !fs::is_directory(fs::path(o.runtime) / "FORMS", ec))
        return fail(o.runtime.empty() ? "cannot find the runtime tree; give it with --runtime DIR"
                                      : o.runtime + ": not a runtime tree (no FORMS folder)");

    for (int16_t n : {ownersFile, propertiesFile, unitsFile, receiptsFile}) {
        const std::string path = o.root + "DADES/" + suiteFileBaseName(n) + ".dat";
        if (os::fileExists(path)) return fail(path + " already exists; remove the installation first");
    }
    fs::create_directories(o.root, ec);
    if (ec) return fail(o.root + ": " + ec.message());
    fs::copy(o.runtime, o.root, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return fail("copying " + o.runtime + " to " + o.root + ": " + ec.message());
    fs::create_directories(o.root + "DADES", ec);
    if (ec) return fail(o.root + "DADES: " + ec.message());

    Counts counts;
    if (int rc = buildDemoData(o, counts); rc != exitOk) return rc;
    std::printf("%s: %lld owners, %lld properties, %lld units, %lld receipts\n", o.root.c_str(), counts.owners,
                counts.properties, counts.units, counts.receipts);
    return exitOk;
}
