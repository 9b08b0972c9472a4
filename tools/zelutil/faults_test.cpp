// zelutil under faults: a load killed outright half way, and the report run while
// another process keeps changing the receipts it reads.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "data/data_build.h"
#include "platform/recman/btrcall.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

std::string repositoryRoot() {
    const std::string dir = testsupport::sourceDir();
    if (testsupport::fileExists(dir + "/runtime/ddf")) return dir;
    const std::string here = __FILE__;
    return here.substr(0, here.rfind("/tools/zelutil/"));
}

std::string shq(const std::string& s) { return "'" + s + "'"; }

// Runs zelutil; the exit code, with standard output in *out.
int zelutil(const std::string& args, std::string* out = nullptr, const std::string& env = "") {
    testsupport::TempDir scratch;
    const std::string command =
        env + " " + shq(testsupport::binDir() + "/zelutil") + " " + args + " >" + shq(scratch / "out") + " 2>&1";
    const int status = std::system(command.c_str());
    if (out) *out = readFile(scratch / "out");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string recordsLine(const std::string& data) {
    std::string out;
    EXPECT_EQ(zelutil("stat " + shq(data), &out), 0) << out;
    const std::size_t at = out.find("Records: ");
    return at == std::string::npos ? out : out.substr(at, out.find('\n', at) - at);
}

std::string sequential(const std::vector<std::string>& records) {
    std::string s;
    for (const std::string& r : records) s += std::to_string(r.size()) + "," + r + "\r\n";
    return s + '\x1A';
}

// Starts a program with arguments; its process id.
pid_t spawn(const std::vector<std::string>& argv) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// How far a process has read a file it has open (its offset there), or -1.
long long readOffset(pid_t pid, const std::string& path) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(fds, ec)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) != path) continue;
        const std::string info = readFile("/proc/" + std::to_string(pid) + "/fdinfo/" + entry.path().filename().string());
        const std::size_t at = info.find("pos:");
        if (at != std::string::npos) return std::atoll(info.c_str() + at + 4);
    }
    return -1;
}

TEST(ZelutilFaults, LoadKilledHalfWayLeavesTheFileAsItWas) {
    testsupport::TempDir dir;
    const std::string data = dir / "CobramV.dat";
    const std::string zel = testsupport::binDir() + "/zelutil";
    ASSERT_EQ(zelutil("create " + shq(data) + " " + shq(repositoryRoot() + "/runtime/ddf/CobramV.xdf")), 0);

    std::vector<std::string> base;
    for (int u = 1; u <= 500; ++u) base.push_back(receiptRecord({.propertyCode = 900, .unitCode = u, .issueDate = 20240101,
                                                                 .number = 1, .amount = u * 100}));
    writeFile(dir / "base.seq", sequential(base));
    ASSERT_EQ(zelutil("load " + shq(data) + " " + shq(dir / "base.seq")), 0);
    const std::string countBefore = recordsLine(data);
    ASSERT_EQ(countBefore, "Records: 500");
    ASSERT_EQ(zelutil("save " + shq(data) + " " + shq(dir / "before.seq")), 0);

    std::vector<std::string> big;
    big.reserve(200000);
    for (int i = 0; i < 200000; ++i)
        big.push_back(receiptRecord({.propertyCode = 1 + i / 1000, .unitCode = 1 + (i % 1000) / 10,
                                     .issueDate = 20240201, .number = i % 10, .amount = i}));
    writeFile(dir / "big.seq", sequential(big));

    const pid_t loader = spawn({zel, "load", data, dir / "big.seq"});
    ASSERT_GT(loader, 0);
    // Killed once it is inserting: a quarter of the sequential file read, each
    // record inserted as it is read.
    const long long quarter = static_cast<long long>(readFile(dir / "big.seq").size()) / 4;
    bool inserting = false;
    for (int waited = 0; waited < 20000 && !inserting; waited += 2) {
        inserting = readOffset(loader, dir / "big.seq") > quarter;
        if (!inserting) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    int status = 0;
    const bool stillRunning = ::waitpid(loader, &status, WNOHANG) == 0;
    ::kill(loader, SIGKILL);
    ::waitpid(loader, &status, 0);
    ASSERT_TRUE(stillRunning) << "the load ended before it could be killed";
    EXPECT_TRUE(inserting);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    EXPECT_EQ(recordsLine(data), countBefore);
    ASSERT_EQ(zelutil("save " + shq(data) + " " + shq(dir / "after.seq")), 0);
    EXPECT_TRUE(readFile(dir / "before.seq") == readFile(dir / "after.seq"));

    std::string out;
    EXPECT_EQ(zelutil("load " + shq(data) + " " + shq(dir / "big.seq"), &out), 0) << out;
    EXPECT_EQ(recordsLine(data), "Records: 200500");
}

// Another program changing the receipts file all the time: receipts deleted and
// written back, from both ends of the file, until `stop` exists. Writes the number
// of changes made into `done`.
[[noreturn]] void keepChangingReceipts(const std::string& data, const std::string& stop, const std::string& done) {
    uint8_t block[128] = {};
    uint8_t key[256] = {};
    uint8_t owner[1] = {0};
    uint32_t length = 0;
    std::memcpy(key, data.data(), data.size());
    if (btrcall(recman::opOpen, block, owner, &length, key, static_cast<uint8_t>(data.size()), recman::openNormal) != 0)
        ::_exit(1);
    long changes = 0;
    std::vector<uint8_t> record(4096);
    // Also stops when the test that started it has gone.
    const pid_t parent = ::getppid();
    for (long i = 0; !std::filesystem::exists(stop) && ::getppid() == parent; ++i) {
        length = static_cast<uint32_t>(record.size());
        const uint16_t read = i % 2 ? recman::opGetFirst : recman::opGetLast;
        if (btrcall(read, block, record.data(), &length, key, 255, 0) != 0) continue;
        const uint32_t recordLength = length;
        if (btrcall(recman::opDelete, block, record.data(), &length, key, 255, 0) != 0) continue;
        length = recordLength;
        if (btrcall(recman::opInsert, block, record.data(), &length, key, 255, 0) == 0) ++changes;
    }
    btrcall(recman::opClose, block, owner, &length, key, 0, 0);
    writeFile(done, std::to_string(changes));
    ::_exit(0);
}

long long cents(std::string text) {
    long long value = 0;
    bool negative = false;
    for (char c : text) {
        if (c == '-') negative = true;
        if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// Every line a command of the print file, and the totals of every property the
// sums of its printed amounts. "" when it is so, else what is wrong.
std::string printFileFault(const std::string& file) {
    static const std::regex command(R"(DEVICE.*|PAGE \d+ |JUS([LRCDE]|N \d+ )?|\*.*| \d+ ,.*, \d+ )");
    static const std::regex amount(R"( (107|126) ,( *-?[0-9.]+'[0-9]{2}-?), \d+ )");
    if (file.empty() || file.back() != '\n') return "empty or cut short";
    std::size_t at = 0, number = 0;
    // A receipt in a state other than P, D, C or I is printed as collected but
    // counted as pending, so only the two totals together must match the amounts.
    long long printed = 0, totals = 0;
    int totalsToRead = 0, properties = 0;
    while (at < file.size()) {
        const std::size_t end = file.find("\r\n", at);
        if (end == std::string::npos) return "line without CR LF at byte " + std::to_string(at);
        const std::string line = file.substr(at, end - at);
        at = end + 2;
        ++number;
        if (!std::regex_match(line, command)) return "line " + std::to_string(number) + ": " + line;
        std::smatch m;
        if (line == " 74 ,TOTAL, 0 ") {
            totalsToRead = 2;
        } else if (std::regex_match(line, m, amount)) {
            if (totalsToRead == 0) {
                printed += cents(m[2]);
            } else {
                totals += cents(m[2]);
                if (--totalsToRead > 0) continue;
                if (totals != printed)
                    return "line " + std::to_string(number) + ": totals " + std::to_string(totals) +
                           " but the amounts add up to " + std::to_string(printed);
                printed = totals = 0;
                ++properties;
            }
        }
    }
    if (properties == 0) return "no property totals";
    return {};
}

// The report (a separate program) while another process changes the receipts:
// it ends normally with a whole print file, whether or not it saw the changes.
TEST(ZelutilFaults, ReportWhileAnotherProcessWritesTheReceipts) {
    testsupport::TempDir dir;
    const std::string root = dir / "inst/";
    const std::string session = dir / "session/";
    const std::string env = "ZEL_FAKE_TODAY=20250315 ZELROOT=" + shq(root) + " ZELTMP=" + shq(session) +
                            " ZELEXE=" + shq(dir.path());
    ASSERT_EQ(zelutil("demo " + shq(root) + " --properties 30 --seed 11", nullptr, "ZEL_FAKE_TODAY=20250315"), 0);
    std::filesystem::create_directories(session);
    writeFile(session + "VeskTerm.ini", "[Sistema]\r\nData=20250315\r\nSortida=LPT1\r\nIdioma=CAT\r\n");
    const std::string report = "report --from 1/1/23 --to 31/12/25 --first 1 --last 999";
    std::string out;
    ASSERT_EQ(zelutil(report, &out, env), 0) << out;
    ASSERT_EQ(printFileFault(readFile(session + "zelprint.tmp")), "") << "even without a writer";

    const pid_t writer = ::fork();
    if (writer == 0) keepChangingReceipts(root + "DADES/CobramV.dat", dir / "stop", dir / "done");
    ASSERT_GT(writer, 0);
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        std::filesystem::remove(session + "zelprint.tmp");
        EXPECT_EQ(zelutil(report, &out, env), 0) << out;
        EXPECT_EQ(printFileFault(readFile(session + "zelprint.tmp")), "");
    }
    writeFile(dir / "stop", "");
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_GT(std::atol(readFile(dir / "done").c_str()), 0) << "the writer changed nothing";
}

}  // namespace
