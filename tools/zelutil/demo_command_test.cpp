// zelutil demo, run as the built program: arguments, the installation it lays out,
// the variety of the generated data, and the same data for the same seed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using testsupport::cp850;
using testsupport::readFile;

constexpr long today = 20250315;

struct Outcome {
    int code = -1;
    std::string out, err;
};

Outcome zelutil(const testsupport::TempDir& dir, const std::vector<std::string>& args) {
    std::string command = "ZEL_FAKE_TODAY=" + std::to_string(today) + " '" + testsupport::binDir() + "/zelutil'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " >'" + dir / "out.txt" + "' 2>'" + dir / "err.txt" + "'";
    Outcome r;
    const int status = std::system(command.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(dir / "out.txt");
    r.err = readFile(dir / "err.txt");
    return r;
}

// The records of a data file, through "zelutil save" (length-prefixed records).
std::vector<std::string> records(const testsupport::TempDir& dir, const std::string& dataFile) {
    const Outcome saved = zelutil(dir, {"save", dataFile, dir / "saved.seq"});
    EXPECT_EQ(saved.code, 0) << saved.err;
    const std::string s = readFile(dir / "saved.seq");
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < s.size() && s[at] != '\x1A') {
        const std::size_t comma = s.find(',', at);
        if (comma == std::string::npos) break;
        const std::size_t length = std::stoul(s.substr(at, comma - at));
        out.push_back(s.substr(comma + 1, length));
        at = comma + 1 + length + 2;
    }
    return out;
}

long compact(const std::string& record, std::size_t offset, std::size_t bytes) {
    long v = 0;
    for (std::size_t i = 0; i < bytes; ++i) v = v * 100 + (static_cast<uint8_t>(record[offset + i]) - 128);
    return v;
}

int32_t amountOf(const std::string& receipt) {
    int32_t v = 0;
    std::memcpy(&v, receipt.data() + 13, 4);
    return v;
}

bool hasAccent(const std::string& cp850Text) {
    for (unsigned char c : cp850Text)
        if (c >= 128) return true;
    return false;
}

class ZelutilDemo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::fileExists(testsupport::binDir() + "/zelutil")) << "build zelutil first";
    }
    std::string data(const std::string& root, const char* name) { return root + "/DADES/" + name + ".dat"; }
    testsupport::TempDir dir;
};

TEST_F(ZelutilDemo, Arguments) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;  // in standard output for --help, else in standard error
    } cases[] = {
        {{"demo", "--help"}, 0, "usage: zelutil demo ROOT"},
        {{"demo"}, 2, "usage: zelutil demo ROOT"},
        {{"demo", "a", "b"}, 2, "usage: zelutil demo ROOT"},
        {{"demo", dir / "x", "--properties", "0"}, 2, "--properties takes a number from 1 to 9000"},
        {{"demo", dir / "x", "--properties", "12a"}, 2, "--properties takes a number"},
        {{"demo", dir / "x", "--seed", "-1"}, 2, "--seed takes a whole number"},
        {{"demo", dir / "x", "--colour"}, 2, "unknown option"},
        {{"demo", dir / "x", "--runtime", dir / "nowhere"}, 1, "not a runtime tree"},
    };
    for (const Case& c : cases) {
        const Outcome r = zelutil(dir, c.args);
        EXPECT_EQ(r.code, c.code) << c.args.back() << "\n" << r.err;
        EXPECT_NE((c.code == 0 ? r.out : r.err).find(c.message), std::string::npos) << c.args.back() << "\n" << r.err;
    }
    EXPECT_FALSE(testsupport::fileExists(dir / "x/DADES"));
}

TEST_F(ZelutilDemo, LaysOutAWholeInstallationOnce) {
    const std::string root = dir / "inst";
    const Outcome made = zelutil(dir, {"demo", root, "--properties", "8"});
    ASSERT_EQ(made.code, 0) << made.err;
    EXPECT_NE(made.out.find("8 properties"), std::string::npos) << made.out;
    for (const char* file : {"FORMS/RPTREBUT.JPN", "LOCALE/RPTREBUT.LNG", "AJUDA/RPTREBUT.HLP", "ddf/CobramV.xdf",
                             "Vesk.ini", "DADES/PropietV.dat", "DADES/FinquesV.dat", "DADES/DepartaV.dat",
                             "DADES/CobramV.dat"})
        EXPECT_TRUE(testsupport::fileExists(root + "/" + file)) << file;
    // A second run never overwrites data.
    const Outcome again = zelutil(dir, {"demo", root});
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(records(dir, data(root, "FinquesV")).size(), 8u);
}

TEST_F(ZelutilDemo, DataCoversWhatTheReportDistinguishes) {
    const std::string root = dir / "inst";
    ASSERT_EQ(zelutil(dir, {"demo", root, "--seed", "11"}).code, 0);
    const std::vector<std::string> owners = records(dir, data(root, "PropietV"));
    const std::vector<std::string> properties = records(dir, data(root, "FinquesV"));
    const std::vector<std::string> units = records(dir, data(root, "DepartaV"));
    const std::vector<std::string> receipts = records(dir, data(root, "CobramV"));
    ASSERT_EQ(properties.size(), 40u);

    std::set<long> ownerCodes;
    bool accentedOwner = false;
    for (const std::string& o : owners) {
        ownerCodes.insert(compact(o, 0, 2));
        accentedOwner |= hasAccent(o.substr(2, 30));
    }
    EXPECT_TRUE(accentedOwner);

    int marked = 0, markedWithoutOwner = 0;
    bool accentedStreet = false;
    for (const std::string& p : properties) {
        accentedStreet |= hasAccent(p.substr(8, 30));
        if (p[141] != 'P') continue;
        ++marked;
        if (!ownerCodes.count(compact(p, 6, 2))) ++markedWithoutOwner;
    }
    EXPECT_TRUE(accentedStreet);
    EXPECT_GT(marked, 1);
    EXPECT_GT(markedWithoutOwner, 0);

    std::set<std::string> designations;
    for (const std::string& u : units) designations.insert(u.substr(38, 10));
    EXPECT_TRUE(designations.count("Baixos    "));
    EXPECT_TRUE(designations.count(cp850("Àtic      ")));
    EXPECT_TRUE(designations.count("1r 2a     "));

    std::set<char> states, kinds;
    int negative = 0;
    const long twoYearsBefore = today - 20000;
    for (const std::string& r : receipts) {
        const char state = r[17], kind = r[38];
        states.insert(state);
        kinds.insert(kind);
        if (amountOf(r) < 0) ++negative;
        const long issued = compact(r, 4, 4), collected = compact(r, 9, 4);
        EXPECT_GT(issued, twoYearsBefore);
        EXPECT_LE(issued, today);
        if (state == 'P') {
            EXPECT_EQ(collected, 0);
        }
        if (state == 'C' || state == 'I') {
            EXPECT_GE(collected, issued);
            EXPECT_LE(collected, today);
        }
    }
    for (char s : {'C', 'I', 'P', 'D'}) EXPECT_TRUE(states.count(s)) << s;
    EXPECT_GT(states.size(), 4u) << "a state the report does not name";
    EXPECT_TRUE(kinds.count('P'));
    EXPECT_GT(kinds.size(), 1u);
    EXPECT_GT(negative, 0);
}

TEST_F(ZelutilDemo, SameSeedSameData) {
    ASSERT_EQ(zelutil(dir, {"demo", dir / "a", "--properties", "6", "--seed", "3"}).code, 0);
    ASSERT_EQ(zelutil(dir, {"demo", dir / "b", "--properties", "6", "--seed", "3"}).code, 0);
    ASSERT_EQ(zelutil(dir, {"demo", dir / "c", "--properties", "6", "--seed", "4"}).code, 0);
    for (const char* name : {"PropietV", "FinquesV", "DepartaV", "CobramV"})
        EXPECT_EQ(records(dir, data(dir / "a", name)), records(dir, data(dir / "b", name))) << name;
    EXPECT_NE(records(dir, data(dir / "a", "CobramV")), records(dir, data(dir / "c", "CobramV")));
}

}  // namespace
