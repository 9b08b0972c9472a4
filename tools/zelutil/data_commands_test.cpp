// zelutil create, load, save and stat, run as the built program on real files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/data_build.h"
#include "data/record_layouts.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

struct Outcome {
    int code = -1;
    std::string out, err;
};

// Runs zelutil with the arguments (each quoted for the shell).
Outcome zelutil(const testsupport::TempDir& dir, const std::vector<std::string>& args) {
    std::string command = "'" + testsupport::binDir() + "/zelutil'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " >'" + dir / "out.txt" + "' 2>'" + dir / "err.txt" + "'";
    Outcome r;
    int status = std::system(command.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(dir / "out.txt");
    r.err = readFile(dir / "err.txt");
    return r;
}

std::string sequential(const std::vector<std::string>& records, bool endMark = true) {
    std::string s;
    for (const std::string& r : records) s += std::to_string(r.size()) + "," + r + "\r\n";
    if (endMark) s += '\x1A';
    return s;
}

// Receipts whose bytes include CR, LF and Ctrl-Z, so nothing may read by lines.
std::vector<std::string> awkwardReceipts(int count, int firstUnit = 1) {
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i) {
        ReceiptFields r;
        r.propertyCode = 7;
        r.unitCode = firstUnit + i;
        r.issueDate = 20240101;
        r.number = 1;
        r.amount = 0x0A0D1A0D + i;  // CR, Ctrl-Z, CR, LF in the amount's bytes
        records.push_back(receiptRecord(r));
    }
    return records;
}

// The repository: ZEL_SOURCE_DIR when it is set, else found from this file's path.
std::string repositoryRoot() {
    const std::string dir = testsupport::sourceDir();
    if (testsupport::fileExists(dir + "/runtime/ddf")) return dir;
    const std::string here = __FILE__;
    return here.substr(0, here.rfind("/tools/zelutil/"));
}

class ZelutilData : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::fileExists(testsupport::binDir() + "/zelutil")) << "build zelutil first";
        xdf = repositoryRoot() + "/runtime/ddf/CobramV.xdf";
        data = dir / "CobramV.dat";
        Outcome created = zelutil(dir, {"create", data, xdf});
        ASSERT_EQ(created.code, 0) << created.err;
    }
    std::string recordCountLine() {
        Outcome r = zelutil(dir, {"stat", data});
        std::size_t at = r.out.find("Records: ");
        return at == std::string::npos ? r.out : r.out.substr(at, r.out.find('\n', at) - at);
    }
    std::string saved() {
        EXPECT_EQ(zelutil(dir, {"save", data, dir / "check.seq"}).code, 0);
        return readFile(dir / "check.seq");
    }

    testsupport::TempDir dir;
    std::string xdf, data;
};

TEST_F(ZelutilData, UsageAndHelp) {
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"create"}, 2},
        {{"create", "a"}, 2},
        {{"load", "a", "b", "c"}, 2},
        {{"save", "a", "b", "--key"}, 2},
        {{"save", "a", "b", "--key", "x"}, 2},
        {{"save", "a", "b", "--frob"}, 2},
        {{"stat"}, 2},
        {{"stat", "--help"}, 0},
        {{"create", "--help"}, 0},
        {{"load", "-h"}, 0},
        {{"save", "--help"}, 0},
    };
    for (const auto& c : cases) {
        Outcome r = zelutil(dir, c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0] << " " << c.args.size();
        if (c.code == 0)
            EXPECT_NE(r.out.find("usage: zelutil " + c.args[0]), std::string::npos) << r.out;
        else
            EXPECT_NE(r.err.find("usage: zelutil " + c.args[0]), std::string::npos) << r.err;
    }
}

TEST_F(ZelutilData, FailuresNameTheFile) {
    const struct {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"create", "DATA", "nothing.xdf"}, "nothing.xdf"},
        {{"create", "CobramV.dat", "XDF"}, "CobramV.dat"},  // exists: not replaced
        {{"stat", "missing.dat"}, "missing.dat"},
        {{"save", "missing.dat", "x.seq"}, "missing.dat"},
        {{"load", "missing.dat", "x.seq"}, "x.seq"},
        {{"save", "CobramV.dat", "x.seq", "--key", "2"}, "no key 2"},
    };
    for (auto c : cases) {
        for (std::string& a : c.args)
            if (a == "CobramV.dat") a = data;
            else if (a == "XDF") a = xdf;
            else if (a.find('.') != std::string::npos) a = dir / a;
        Outcome r = zelutil(dir, c.args);
        EXPECT_EQ(r.code, 1) << c.args[0];
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
    EXPECT_FALSE(testsupport::fileExists(dir / "x.seq"));
}

TEST_F(ZelutilData, StatDescribesKeysInWords) {
    Outcome r = zelutil(dir, {"stat", data});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {"Record length: 52", "Page size: 512", "Records: 0", "Keys: 2",
                             "Key 0: 9 bytes, 3 segments, unique", "segment 1: position 1, length 4, flags segmented",
                             "segment 3: position 9, length 1, flags none", "Alternate collating sequence: ZELPLEGA"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    const std::string owners = dir / "PropietV.dat";
    ASSERT_EQ(zelutil(dir, {"create", owners, repositoryRoot() + "/runtime/ddf/PropietV.xdf"}).code, 0);
    r = zelutil(dir, {"stat", owners});
    EXPECT_NE(r.out.find("Key 1: 30 bytes, 1 segment, duplicates allowed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("flags duplicates, ACS"), std::string::npos) << r.out;
}

TEST_F(ZelutilData, LoadThenSaveGivesTheSameBytes) {
    const std::vector<std::string> records = awkwardReceipts(50);
    const std::string seq = sequential(records);
    writeFile(dir / "in.seq", seq);
    Outcome r = zelutil(dir, {"load", data, dir / "in.seq"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");  // quiet when stderr is not a terminal
    EXPECT_EQ(recordCountLine(), "Records: 50");
    EXPECT_EQ(saved(), seq);

    // Saved along key 1 (issue date first) the order is the same here; a file
    // without the closing Ctrl-Z loads as well.
    ASSERT_EQ(zelutil(dir, {"save", data, dir / "k1.seq", "--key", "1"}).code, 0);
    EXPECT_EQ(readFile(dir / "k1.seq"), seq);
    writeFile(dir / "more.seq", sequential(awkwardReceipts(3, 100), false));
    ASSERT_EQ(zelutil(dir, {"load", data, dir / "more.seq"}).code, 0);
    EXPECT_EQ(recordCountLine(), "Records: 53");
}

TEST_F(ZelutilData, VariableLengthRecordsKeepTheirLength) {
    DataFileSpec spec;
    spec.recordLength = 6;
    spec.fileFlags = 0x0001;
    spec.keys = {{{1, 4, 0}}};
    writeFile(dir / "var.xdf", encodeDictionary(spec));
    const std::string var = dir / "var.dat";
    ASSERT_EQ(zelutil(dir, {"create", var, dir / "var.xdf"}).code, 0);
    const std::string seq = sequential({"K001\r\n", "K002\r\n" + std::string(3000, '\x1A'), "K003ab\n\r"});
    writeFile(dir / "var.seq", seq);
    Outcome r = zelutil(dir, {"load", var, dir / "var.seq"});
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(zelutil(dir, {"save", var, dir / "back.seq"}).code, 0);
    EXPECT_EQ(readFile(dir / "back.seq"), seq);
    EXPECT_NE(zelutil(dir, {"stat", var}).out.find("Record length: 6 (variable-length records)"), std::string::npos);
}

TEST_F(ZelutilData, EmptySequentialFileLoadsNothing) {
    writeFile(dir / "empty.seq", "\x1A");
    EXPECT_EQ(zelutil(dir, {"load", data, dir / "empty.seq"}).code, 0);
    EXPECT_EQ(saved(), "\x1A");
}

TEST_F(ZelutilData, DamagedSequentialFileChangesNothing) {
    writeFile(dir / "base.seq", sequential(awkwardReceipts(5)));
    ASSERT_EQ(zelutil(dir, {"load", data, dir / "base.seq"}).code, 0);
    const std::string before = saved();
    const std::string fileBefore = readFile(data);
    const std::string good = sequential(awkwardReceipts(4, 10), false);  // 4 records of 3 + 52 + 2 bytes
    const std::string one = sequential(awkwardReceipts(1, 20), false);
    const struct {
        const char* what;
        std::string contents;
        std::string message;
    } cases[] = {
        {"truncated record", good + one.substr(0, 30), "record 5 at byte 228: file ends inside the record"},
        {"bad prefix", good + "5x," + one.substr(3), "record 5 at byte 228: bad length prefix"},
        {"short record", good + "51," + one.substr(3, 51) + "\r\n\x1A", "record 5 at byte 228: record length 51"},
        {"prefix and bytes disagree", good + "50," + one.substr(3) + "\x1A", "record 5 at byte 228: record not followed by CR LF"},
        {"duplicate of a stored record", good + sequential(awkwardReceipts(1, 2)), "record 5 at byte 228: status 5"},
        {"duplicate inside the file", good + sequential(awkwardReceipts(1, 11)), "record 5 at byte 228: status 5"},
        {"no comma", "52;" + one.substr(3), "record 1 at byte 0: bad length prefix"},
    };
    for (const auto& c : cases) {
        writeFile(dir / "bad.seq", c.contents);
        Outcome r = zelutil(dir, {"load", data, dir / "bad.seq"});
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find("unchanged"), std::string::npos) << r.err;
        EXPECT_EQ(recordCountLine(), "Records: 5") << c.what;
        EXPECT_EQ(saved(), before) << c.what;
        EXPECT_TRUE(readFile(data) == fileBefore) << c.what << ": the data file's bytes changed";
    }
}

}  // namespace
