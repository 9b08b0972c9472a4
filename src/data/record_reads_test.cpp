#include "data/record_reads.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "data/data_test_fixture.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"

namespace {

using datatest::smallRecord;

constexpr int16_t smallFile = 300;

class RecordReads : public datatest::DataFileTest {
protected:
    void SetUp() override {
        DataFileTest::SetUp();
        path = buildSmallFile();
        std::memset(buffer, '#', sizeof buffer);
        int16_t status = -1;
        openDataFile(smallFile, root / "SMALL", buffer, 20, status);
        ASSERT_EQ(status, 0);
    }
    std::string record() const { return std::string(reinterpret_cast<const char*>(buffer), 20); }
    std::string code() const { return record().substr(0, 4); }
    FileSlot& slot() { return slotOf(smallFile); }

    std::string path;
    uint8_t buffer[24];  // 20 for the record, 4 that no read may touch
};

TEST_F(RecordReads, FilesThatAreNotOpen) {
    int16_t status = 0;
    readAtKey(301, 0, "A001", 0, status);
    EXPECT_EQ(status, 3);
    status = 0;
    readNext(301, 1, status);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(readByPosition(301, 0), 0);
    EXPECT_EQ(readByPosition(301, 77), 3);
    status = 0;
    setLockMode(301, "A", status);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(collateKey("\x01", 301), "\x01");
    EXPECT_EQ(currentKeyCollated(301), "");

    status = 55;
    setLockMode(smallFile, "b", status);  // an open file leaves the status as it was
    EXPECT_EQ(status, 55);

    for (int16_t slotNumber : {0, 1, 41}) {  // slot 1 is free: the file took slot 40
        status = -1;
        runReadOperation(slotNumber, 12, status);
        EXPECT_EQ(status, 3) << slotNumber;
    }
}

TEST_F(RecordReads, ReadAtKeyByDirection) {
    const struct {
        std::string value;
        int16_t direction;
        int16_t status;
        const char* code;
    } cases[] = {
        {"A003", 0, 0, "A003"},       {"A00", 1, 0, "A001"},  // shorter: completed with zero bytes
        {"A0039999", 0, 0, "A003"},  // longer: cut to the key
        {"A0025", 1, 0, "A002"},     {"A00", 0, 4, nullptr},  {"A0029", -1, 0, "A002"},
        {"A000", -1, 9, nullptr},    {"B", 1, 9, nullptr},
    };
    for (const auto& c : cases) {
        int16_t status = -1;
        readAtKey(smallFile, 0, c.value, c.direction, status);
        EXPECT_EQ(status, c.status) << c.value << " " << c.direction;
        if (c.code && status == 0) {
            EXPECT_EQ(code(), c.code) << c.value;
            EXPECT_EQ(slot().keyValue, c.code);
        }
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer) + 20, 4), "####");
}

TEST_F(RecordReads, UnknownKeyNumberGives1004AndKeepsTheCurrentKey) {
    int16_t status = -1;
    readAtKey(smallFile, 1, "BRAVO", 1, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(code(), "A003");
    const std::string before = record();
    readAtKey(smallFile, 4, "A001", 0, status);
    EXPECT_EQ(status, 1004);
    EXPECT_EQ(slot().keyNumber, 1);
    EXPECT_EQ(slot().keyValue, "bravo     ");
    EXPECT_EQ(record(), before);
    readNext(smallFile, 1, status);  // the walk goes on along key 1
    EXPECT_EQ(status, 0);
    EXPECT_EQ(code(), "A005");
}

TEST_F(RecordReads, ReadNextCounts) {
    int16_t status = -1;
    readAtKey(smallFile, 0, "A001", 0, status);
    ASSERT_EQ(status, 0);

    readNext(smallFile, 0, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(code(), "A001");

    readNext(smallFile, 3, status);  // skips A002 and A003
    EXPECT_EQ(status, 0);
    EXPECT_EQ(code(), "A004");
    EXPECT_EQ(slot().keyValue, "A004");

    readNext(smallFile, -2, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(code(), "A002");

    const std::string before = record();
    readNext(smallFile, 5, status);  // the end comes first
    EXPECT_EQ(status, 9);
    EXPECT_EQ(record(), before);

    readAtKey(smallFile, 0, "A005", 0, status);
    readNext(smallFile, 1, status);
    EXPECT_EQ(status, 9);
    EXPECT_EQ(code(), "A005");
}

TEST_F(RecordReads, WalksAlongFoldedAndBinaryKeys) {
    const struct {
        int16_t key;
        std::vector<std::string> codes;
    } cases[] = {
        {1, {"A004", "A002", "A003", "A005", "A001"}},  // AGATA, ALFA, BRAVO, CHARLIE, DELTA
        {2, {"A004", "A002", "A005", "A003", "A001"}},  // 1, 2, 2, 256, 300
    };
    for (const auto& c : cases) {
        int16_t status = -1;
        readAtKey(smallFile, c.key, "", 1, status);
        std::vector<std::string> seen;
        while (status == 0) {
            seen.push_back(code());
            readNext(smallFile, 1, status);
        }
        EXPECT_EQ(status, 9);
        EXPECT_EQ(seen, c.codes) << c.key;
    }
}

TEST_F(RecordReads, PositionsLeadBackToARecord) {
    int16_t status = -1;
    readAtKey(smallFile, 0, "A002", 0, status);
    ASSERT_EQ(status, 0);
    const int32_t position = readByPosition(smallFile, 0);
    EXPECT_NE(position, 0);
    readAtKey(smallFile, 0, "A005", 0, status);
    ASSERT_EQ(code(), "A005");
    EXPECT_EQ(readByPosition(smallFile, position), 0);
    EXPECT_EQ(code(), "A002");
    EXPECT_EQ(slot().keyValue, "A002");
    readNext(smallFile, 1, status);  // and the walk continues from there
    EXPECT_EQ(code(), "A003");
    EXPECT_NE(readByPosition(smallFile, 999999), 0);
    EXPECT_EQ(code(), "A003");
}

TEST_F(RecordReads, ReadsNeverWritePastTheBuffer) {
    // A file whose records are longer than the buffer registered for it.
    uint8_t small[12];
    std::memset(small, '#', sizeof small);
    int16_t status = -1;
    openDataFile(302, root / "SMALL", small, 8, status);
    ASSERT_EQ(status, 0);
    readAtKey(302, 0, "A003", 0, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 12), "A003brav####");
    readNext(302, 2, status);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 12), "A005char####");
    EXPECT_EQ(readByPosition(302, readByPosition(302, 0)), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(small), 12), "A005char####");
}

TEST_F(RecordReads, LongerRecordGivesItsFixedPartWithStatusZero) {
    DataFileSpec spec = datatest::smallSpec();
    spec.fileFlags = 0x0001;  // records may carry a variable part
    const std::string longRecord = smallRecord("V001", "echo", 5) + "VARIABLE PART";
    ASSERT_EQ(buildDataFile(root / "VAR.dat", encodeSpecification(spec), {smallRecord("V000", "x", 1), longRecord}),
              0);
    uint8_t record[24];
    std::memset(record, '#', sizeof record);
    int16_t status = -1;
    openDataFile(303, root / "VAR", record, 20, status);
    ASSERT_EQ(status, 0);
    readAtKey(303, 0, "V001", 0, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record), 24), longRecord.substr(0, 20) + "####");
    readAtKey(303, 0, "V000", 0, status);
    readNext(303, 1, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record), 24), longRecord.substr(0, 20) + "####");
}

TEST_F(RecordReads, LockModesAndTheirStack) {
    uint8_t other[20];
    int16_t status = 0;
    openDataFile(310, root / "SMALL", other, sizeof other, status);
    ASSERT_EQ(status, 0);
    const int16_t mySlot = slotNumberOf(smallFile), otherSlot = slotNumberOf(310);

    setLockMode(smallFile, "a", status);
    EXPECT_EQ(slot().lockMode, 1);
    setLockMode(smallFile, "B", status);
    EXPECT_EQ(slot().lockMode, 2);
    setLockMode(smallFile, "d?x", status);  // other letters are ignored
    EXPECT_EQ(slot().lockMode, 0);

    setLockMode(smallFile, "-", status);  // nothing saved: nothing changes
    EXPECT_EQ(slot().lockMode, 0);

    setLockMode(smallFile, "+a", status);
    setLockMode(310, "B+d", status);
    EXPECT_EQ(dataFileTable.lockStack, std::string({char(mySlot), 0, char(otherSlot), 2}));
    setLockMode(smallFile, "B", status);
    setLockMode(smallFile, "-", status);  // finds its own pair behind the other file's
    EXPECT_EQ(slot().lockMode, 0);
    EXPECT_EQ(dataFileTable.lockStack, std::string({char(otherSlot), 2}));
    setLockMode(310, "-", status);
    EXPECT_EQ(slotOf(310).lockMode, 2);
    EXPECT_EQ(dataFileTable.lockStack, "");
}

TEST_F(RecordReads, CollatingForm) {
    int16_t status = -1;
    readAtKey(smallFile, 2, "", 1, status);  // key 2: a 2-byte binary segment
    ASSERT_EQ(status, 0);
    EXPECT_EQ(collateKey("\x01", smallFile), std::string("\x00\x01", 2));
    EXPECT_EQ(collateKey(std::string("\x34\x12", 2), smallFile), "\x12\x34");
    EXPECT_EQ(collateKey(std::string("\x34\x12zz", 4), smallFile), "\x12\x34zz");  // beyond the key: kept
    EXPECT_EQ(currentKeyCollated(smallFile), std::string("\x00\x01", 2));  // number 1 is first

    readAtKey(smallFile, 1, "", 1, status);  // key 1: folded through the collating sequence
    EXPECT_EQ(collateKey("\x85gata", smallFile), "AGATA");  // àgata
    EXPECT_EQ(currentKeyCollated(smallFile), "AGATA     ");

    readAtKey(smallFile, 3, "", 1, status);  // binary, then folded
    EXPECT_EQ(collateKey(std::string("\x01\x00", 2) + "alfa", smallFile), std::string("\x00\x01", 2) + "ALFA");

    readAtKey(smallFile, 0, "", 1, status);  // plain text key: unchanged
    EXPECT_EQ(collateKey("a\x85", smallFile), "a\x85");
}

// ---- Another program holding a record --------------------------------------

// A child process that opens the file, reads `code` with a no-wait lock and keeps
// it until the parent writes to the release pipe.
struct LockHolder {
    pid_t pid = -1;
    int release = -1;

    bool start(const std::string& path, const std::string& code) {
        int ready[2], go[2];
        if (pipe(ready) != 0 || pipe(go) != 0) return false;
        pid = fork();
        if (pid == 0) {
            close(ready[0]);
            close(go[1]);
            uint8_t block[128] = {};
            uint8_t owner[1] = {0};
            uint8_t key[256] = {};
            std::memcpy(key, path.data(), path.size());
            uint32_t length = 0;
            int16_t status = btrcall(recman::opOpen, block, owner, &length, key, static_cast<uint8_t>(path.size()), 0);
            uint8_t data[1536];
            std::memset(key, 0, sizeof key);
            std::memcpy(key, code.data(), code.size());
            length = sizeof data;
            if (status == 0)
                status = btrcall(recman::opGetEqual + recman::lockSingleNoWait, block, data, &length, key, 4, 0);
            char c = status == 0 ? 'L' : 'E';
            if (write(ready[1], &c, 1) != 1) _exit(3);
            if (read(go[0], &c, 1) < 0) _exit(4);
            _exit(0);
        }
        close(ready[1]);
        close(go[0]);
        release = go[1];
        char c = 0;
        bool ok = read(ready[0], &c, 1) == 1 && c == 'L';
        close(ready[0]);
        return ok;
    }
    void letGo() {
        if (release >= 0) {
            char c = 'R';
            if (write(release, &c, 1) != 1) {}
            close(release);
            release = -1;
        }
    }
    bool finish() {
        letGo();
        int wstatus = 0;
        if (pid > 0) waitpid(pid, &wstatus, 0);
        pid = -1;
        return WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
    }
    ~LockHolder() {
        if (pid > 0) finish();
    }
};

// The holder starts before this process opens the file, so the child inherits no
// open file of the record manager.
class RecordLocks : public datatest::DataFileTest {
protected:
    void SetUp() override {
        DataFileTest::SetUp();
        path = buildSmallFile();
        ASSERT_TRUE(holder.start(path, "A003"));
        int16_t status = -1;
        openDataFile(smallFile, root / "SMALL", buffer, sizeof buffer, status);
        ASSERT_EQ(status, 0);
    }
    std::string code() const { return std::string(reinterpret_cast<const char*>(buffer), 4); }

    std::string path;
    uint8_t buffer[20] = {};
    LockHolder holder;
};

TEST_F(RecordLocks, ModeBReportsALockedRecordAtOnce) {
    int16_t status = -1;
    setLockMode(smallFile, "B", status);
    readAtKey(smallFile, 0, "A003", 0, status);
    EXPECT_EQ(status, 84);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_EQ(term::screenText().find("BLOQUEJAT"), std::string::npos);
    readAtKey(smallFile, 0, "A002", 0, status);  // other records are free
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(holder.finish());
    readAtKey(smallFile, 0, "A003", 0, status);
    EXPECT_EQ(status, 0);
}

TEST_F(RecordLocks, ModeAWaitsWithTheMessageShownOnce) {
    int16_t status = -1;
    setLockMode(smallFile, "A", status);

    // The read runs on its own thread; this one watches the screen and lets the
    // holder go once the message is up. The reader draws the box once, before its
    // second attempt, and touches the screen again only after it got the record.
    const std::string stackFile = root / "WinPush.tmp";
    std::thread reader([&] { readAtKey(smallFile, 0, "A003", 0, status); });
    // The box comes up after the first pause, which lasts up to 10 s.
    for (int i = 0; i < 1500 && !testsupport::fileExists(stackFile); ++i) os::sleepMs(10);
    os::sleepMs(200);
    const std::string during = term::screenText();
    const int16_t depthDuring = windowState.windowDepth;
    holder.letGo();
    reader.join();

    // A one-line box about row 24: frame on rows 21 and 23, the text on row 22.
    const std::string row22 = during.substr(21 * 81, 80);
    EXPECT_NE(row22.find("FITXER BLOQUEJAT. ESPEREU UN MOMENT."), std::string::npos) << during;
    EXPECT_EQ(depthDuring, 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(code(), "A003");
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_EQ(term::screenText().find("BLOQUEJAT"), std::string::npos);
    EXPECT_TRUE(holder.finish());
}

}  // namespace
