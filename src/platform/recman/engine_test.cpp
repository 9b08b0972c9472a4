// The engine through btrcall, on real data files in temporary folders.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/recman/btrcall.h"
#include "platform/recman/recman_test_support.h"
#include "tests/support/test_support.h"

using namespace recman;
using namespace recmantest;
using testsupport::TempDir;

namespace {

// Record: 4-byte binary id (key 0, unique), 4-byte group (key 1, duplicates),
// 8 bytes of payload.
const std::string plainSpecification = makeSpecification(16, {{{1, 4, 0x0004}}, {{5, 4, 0x0001}}});

std::string rec(uint32_t id, const std::string& group, const std::string& payload = "payload!") {
    std::string g = group.substr(0, 4);
    g.resize(4, ' ');
    std::string r = le32(id) + g + payload;
    r.resize(16, ' ');
    return r;
}

uint32_t idOf(const std::string& record) { return get32(record); }

class Engine : public ::testing::Test {
protected:
    void SetUp() override { resetAll(); }
    void TearDown() override { resetAll(); }

    std::string path(const std::string& name = "data.dat") { return dir / name; }

    // Creates and opens a file holding the given records, inserted in order.
    void fill(Handle& h, const std::vector<std::string>& records, const std::string& specification = plainSpecification) {
        ASSERT_EQ(createFile(path(), specification), 0);
        ASSERT_EQ(h.open(path()), 0);
        for (const std::string& r : records) ASSERT_EQ(h.insert(r), 0);
    }

    // Ids read by walking a key from first (or last) to the end.
    std::vector<uint32_t> walk(Handle& h, int8_t key, bool backwards = false) {
        std::vector<uint32_t> ids;
        int16_t s = h.read(backwards ? opGetLast : opGetFirst, key);
        while (s == 0) {
            ids.push_back(idOf(h.data));
            s = h.read(backwards ? opGetPrevious : opGetNext, key);
        }
        EXPECT_EQ(s, statusEndOfFile);
        return ids;
    }

    TempDir dir;
};

TEST_F(Engine, CreateStatAndOpen) {
    const std::string specification = makeSpecification(16, {{{1, 4, 0x0004}}, {{5, 4, 0x0021}}}, 0, std::string(256, 'A'));
    ASSERT_EQ(createFile(path(), specification), 0);
    EXPECT_EQ(createFile(path(), specification), statusFileExists);
    Handle h;
    ASSERT_EQ(h.open(path()), 0);
    ASSERT_EQ(h.insert(rec(1, "aaaa")), 0);
    ASSERT_EQ(h.insert(rec(2, "bbbb")), 0);
    // Stat: the block as created, the record count at offset 6.
    ASSERT_EQ(h.stat(), 0);
    ASSERT_EQ(h.data.size(), specification.size());
    EXPECT_EQ(get32(h.data, 6), 2u);
    EXPECT_EQ(h.data.substr(10), specification.substr(10));
    EXPECT_EQ(h.data.substr(0, 6), specification.substr(0, 6));
    // A short buffer gets what fits.
    ASSERT_EQ(h.stat(20), statusDataBufferTooShort);
    EXPECT_EQ(h.data, specification.substr(0, 6) + le32(2) + specification.substr(10, 10));
    // Replacing is refused while the file is open, allowed once it is closed.
    EXPECT_EQ(createFile(path(), plainSpecification, 0), statusFileLocked);
    ASSERT_EQ(h.close(), 0);
    ASSERT_EQ(createFile(path(), plainSpecification, 0), 0);
    ASSERT_EQ(h.open(path()), 0);
    ASSERT_EQ(h.stat(), 0);
    EXPECT_EQ(get32(h.data, 6), 0u);
    EXPECT_EQ(h.data.size(), plainSpecification.size());
}

TEST_F(Engine, OpenFailures) {
    Handle h;
    EXPECT_EQ(h.open(path("missing.dat")), statusFileNotFound);
    EXPECT_EQ(h.open(""), statusInvalidFileName);
    testsupport::writeFile(path("text.dat"), std::string(5000, 'x'));
    EXPECT_EQ(h.open(path("text.dat")), statusNotADataFile);
    testsupport::writeFile(path("empty.dat"), "");
    EXPECT_EQ(h.open(path("empty.dat")), statusNotADataFile);
    // An SQLite database that is not one of ours.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path("other.dat").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(h.open(path("other.dat")), statusNotADataFile);
    // A data file cut short.
    {
        Handle w;
        ASSERT_EQ(createFile(path("cut.dat"), plainSpecification), 0);
        ASSERT_EQ(w.open(path("cut.dat")), 0);
        for (uint32_t i = 1; i <= 500; ++i) ASSERT_EQ(w.insert(rec(i, "gggg")), 0);
        ASSERT_EQ(w.close(), 0);
        resetAll();
        std::filesystem::resize_file(path("cut.dat"), 3000);
        int16_t s = h.open(path("cut.dat"));
        if (s == 0) {  // the damage may only show when reading
            int16_t r = h.read(opGetFirst, 0);
            while (r == 0) r = h.read(opGetNext, 0);
            EXPECT_TRUE(r == statusNotADataFile || r == statusIoError || r == statusEndOfFile) << r;
        } else {
            EXPECT_TRUE(s == statusNotADataFile || s == statusIoError) << s;
        }
    }
    // Calls on a block that is not open.
    Handle none;
    EXPECT_EQ(none.read(opGetFirst, 0), statusFileNotOpen);
    EXPECT_EQ(none.close(), statusFileNotOpen);
}

TEST_F(Engine, NamesWithBackslashesAndAnyCase) {
    std::filesystem::create_directories(path("Dades"));
    ASSERT_EQ(createFile(path("Dades/PropietV.dat"), plainSpecification), 0);
    std::string name = path("DADES\\propietv.DAT");
    Handle h;
    EXPECT_EQ(h.open(name), 0);
}

TEST_F(Engine, CreateRefusesBadSpecificationsWithoutAFile) {
    EXPECT_EQ(createFile(path(), makeSpecification(16, {{{15, 4, 0}}})), statusInvalidKeyPosition);
    EXPECT_EQ(createFile(path(), std::string(1536, ' ')), statusInvalidKeyCount);
    EXPECT_FALSE(testsupport::fileExists(path()));
    EXPECT_EQ(createFile(path("nofolder/x.dat"), plainSpecification), statusCreateIoError);
}

TEST_F(Engine, LargestSpecificationsAndRandomOnesThroughCreate) {
    std::vector<Key> keys;
    for (uint16_t k = 0; k < 90; ++k) keys.push_back({{static_cast<uint16_t>(k + 1), 1, 0x0001}});
    ASSERT_EQ(createFile(path("wide.dat"), makeSpecification(200, keys)), 0);
    Handle h;
    ASSERT_EQ(h.open(path("wide.dat")), 0);
    std::string record(200, 'a');
    ASSERT_EQ(h.insert(record), 0);
    ASSERT_EQ(h.read(opGetEqual, 89, "a"), 0);  // as many keys as a 1536-byte buffer carries
    EXPECT_EQ(h.read(opGetEqual, 90, "a"), statusInvalidKeyNumber);
    ASSERT_EQ(h.close(), 0);

    std::mt19937 rng(11);
    int created = 0;
    for (int i = 0; i < 400 && created < 10; ++i) {
        std::string block(16 + rng() % 200, '\0');
        for (char& ch : block) ch = static_cast<char>(rng());
        recmantest::put16(block, 0, static_cast<uint16_t>(rng() % 300));
        recmantest::put16(block, 4, static_cast<uint16_t>(rng() % 4));
        for (std::size_t d = 16; d + 16 <= block.size(); d += 16) {
            recmantest::put16(block, d, static_cast<uint16_t>(rng() % 300));
            recmantest::put16(block, d + 2, static_cast<uint16_t>(rng() % 20));
        }
        const std::string name = path("random" + std::to_string(i) + ".dat");
        if (createFile(name, block, 0) != 0) {
            EXPECT_FALSE(testsupport::fileExists(name));
            continue;
        }
        ++created;
        ASSERT_EQ(h.open(name), 0);
        ASSERT_EQ(h.stat(), 0);
        const uint16_t length = static_cast<uint8_t>(h.data[0]) | (static_cast<uint8_t>(h.data[1]) << 8);
        EXPECT_EQ(h.insert(std::string(length, 'r')), 0);
        ASSERT_EQ(h.close(), 0);
    }
    EXPECT_GT(created, 0);
}

TEST_F(Engine, BinaryKeysInNumericOrderAndKeyedReads) {
    Handle h;
    fill(h, {rec(256, "b"), rec(1, "a"), rec(65536, "c"), rec(2, "d"), rec(0x01000000, "e")});
    EXPECT_EQ(walk(h, 0), (std::vector<uint32_t>{1, 2, 256, 65536, 0x01000000}));
    EXPECT_EQ(walk(h, 0, true), (std::vector<uint32_t>{0x01000000, 65536, 256, 2, 1}));

    struct Case {
        uint16_t op;
        uint32_t value;
        int16_t status;
        uint32_t id;
    } cases[] = {
        {opGetEqual, 256, 0, 256},          {opGetEqual, 3, statusKeyNotFound, 0},
        {opGetGreater, 2, 0, 256},          {opGetGreater, 0x01000000, statusEndOfFile, 0},
        {opGetGreaterOrEqual, 2, 0, 2},     {opGetGreaterOrEqual, 3, 0, 256},
        {opGetLess, 256, 0, 2},             {opGetLess, 1, statusEndOfFile, 0},
        {opGetLessOrEqual, 256, 0, 256},    {opGetLessOrEqual, 255, 0, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(h.read(c.op, 0, le32(c.value)), c.status) << c.op << " " << c.value;
        if (c.status == 0) {
            EXPECT_EQ(idOf(h.data), c.id) << c.op << " " << c.value;
            EXPECT_EQ(h.key.substr(0, 4), le32(c.id));  // the record's own key bytes
        } else {
            EXPECT_EQ(h.data.size(), 0u);
        }
    }
    // Steps go on from the record found.
    ASSERT_EQ(h.read(opGetEqual, 0, le32(256)), 0);
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    EXPECT_EQ(idOf(h.data), 65536u);
    ASSERT_EQ(h.read(opGetPrevious, 0), 0);
    ASSERT_EQ(h.read(opGetPrevious, 0), 0);
    EXPECT_EQ(idOf(h.data), 2u);
    // A search value shorter than the key counts as extended with zero bytes.
    ASSERT_EQ(h.call(opGetGreaterOrEqual, "", std::string("\x03", 1), 0, 1536, 1), 0);
    EXPECT_EQ(idOf(h.data), 256u);
    // Key numbers the file does not have.
    EXPECT_EQ(h.read(opGetFirst, 2), statusInvalidKeyNumber);
    EXPECT_EQ(h.read(opGetFirst, -1), statusInvalidKeyNumber);
}

TEST_F(Engine, CollatedDescendingAndMultiSegmentKeys) {
    std::string upper(256, '\0');
    for (int i = 0; i < 256; ++i) upper[i] = static_cast<char>(i >= 'a' && i <= 'z' ? i - 32 : i);
    // Key 0: id. Key 1: group through the table (upper case), with duplicates.
    // Key 2: group descending. Key 3: payload byte 9 then the id as a binary segment.
    const std::string specification = makeSpecification(
        16, {{{1, 4, 0x0004}}, {{5, 4, 0x0021}}, {{5, 4, 0x0041}}, {{9, 1, 0x0001}, {1, 2, 0x0005}}}, 0, upper);
    Handle h;
    fill(h, {rec(1, "bbbb", "x"), rec(2, "AAAA", "y"), rec(3, "aaab", "x"), rec(4, "CCCC", "y"),
             rec(5, "aaaa", "x")},
         specification);
    // "AAAA" and "aaaa" are equal under the table: insertion order among them.
    EXPECT_EQ(walk(h, 1), (std::vector<uint32_t>{2, 5, 3, 1, 4}));
    EXPECT_EQ(walk(h, 2), (std::vector<uint32_t>{1, 3, 5, 4, 2}));  // bytes, not the table
    EXPECT_EQ(walk(h, 3), (std::vector<uint32_t>{1, 3, 5, 2, 4}));
    ASSERT_EQ(h.read(opGetEqual, 1, "AAAB"), 0);
    EXPECT_EQ(idOf(h.data), 3u);
    EXPECT_EQ(h.key.substr(0, 4), "aaab");  // the record's bytes, not the collated form
    ASSERT_EQ(h.read(opGetGreaterOrEqual, 3, std::string("y\x00", 2)), 0);
    EXPECT_EQ(idOf(h.data), 2u);
    EXPECT_EQ(h.key.substr(0, 3), std::string("y\x02\x00", 3));
}

TEST_F(Engine, DuplicatesComeBackInInsertionOrderAndUniqueKeysRefuseThem) {
    Handle h;
    fill(h, {rec(10, "gggg"), rec(5, "aaaa"), rec(7, "gggg"), rec(3, "gggg"), rec(1, "zzzz")});
    EXPECT_EQ(walk(h, 1), (std::vector<uint32_t>{5, 10, 7, 3, 1}));
    EXPECT_EQ(walk(h, 1, true), (std::vector<uint32_t>{1, 3, 7, 10, 5}));
    ASSERT_EQ(h.read(opGetEqual, 1, "gggg"), 0);
    EXPECT_EQ(idOf(h.data), 10u);  // the first of the duplicates
    ASSERT_EQ(h.read(opGetLessOrEqual, 1, "gggg"), 0);
    EXPECT_EQ(idOf(h.data), 3u);   // the last of them
    EXPECT_EQ(h.insert(rec(7, "qqqq")), statusDuplicateKey);
    EXPECT_EQ(walk(h, 0).size(), 5u);
    // An update that would give a unique key a taken value changes nothing.
    ASSERT_EQ(h.read(opGetEqual, 0, le32(5)), 0);
    EXPECT_EQ(h.update(rec(7, "aaaa", "changed!")), statusDuplicateKey);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(5)), 0);
    EXPECT_EQ(h.data, rec(5, "aaaa"));
    // A record that takes a duplicated value goes after those that had it.
    ASSERT_EQ(h.update(rec(5, "gggg")), 0);
    EXPECT_EQ(walk(h, 1), (std::vector<uint32_t>{10, 7, 3, 5, 1}));
    // The number that update drew is never drawn again, in this process or the next.
    ASSERT_EQ(h.insert(rec(11, "gggg")), 0);
    resetAll();
    ASSERT_EQ(h.open(path()), 0);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(10)), 0);
    ASSERT_EQ(h.update(rec(10, "aaaa")), 0);
    ASSERT_EQ(h.update(rec(10, "gggg")), 0);
    resetAll();
    ASSERT_EQ(h.open(path()), 0);
    ASSERT_EQ(h.insert(rec(12, "gggg")), 0);
    EXPECT_EQ(walk(h, 1), (std::vector<uint32_t>{7, 3, 5, 11, 10, 12, 1}));
    // Changing only other fields keeps the place among the duplicates.
    ASSERT_EQ(h.read(opGetEqual, 0, le32(10)), 0);
    ASSERT_EQ(h.update(rec(10, "gggg", "other!!!")), 0);
    EXPECT_EQ(walk(h, 1), (std::vector<uint32_t>{7, 3, 5, 11, 10, 12, 1}));
}

TEST_F(Engine, PositionsAndDirectReadsKeepCurrencyInsideDuplicates) {
    Handle h;
    fill(h, {rec(1, "gggg"), rec(2, "gggg"), rec(3, "gggg"), rec(4, "hhhh")});
    ASSERT_EQ(h.read(opGetEqual, 0, le32(2)), 0);
    uint32_t pos = 0;
    ASSERT_EQ(h.position(pos), 0);
    EXPECT_EQ(h.data.size(), 4u);
    ASSERT_EQ(h.read(opGetLast, 0), 0);
    ASSERT_EQ(h.direct(pos, 1), 0);
    EXPECT_EQ(idOf(h.data), 2u);
    EXPECT_EQ(h.key.substr(0, 4), "gggg");
    ASSERT_EQ(h.read(opGetNext, 1), 0);
    EXPECT_EQ(idOf(h.data), 3u);
    ASSERT_EQ(h.direct(pos, 1), 0);
    ASSERT_EQ(h.read(opGetPrevious, 1), 0);
    EXPECT_EQ(idOf(h.data), 1u);
    // Position of a record read ahead by steps.
    ASSERT_EQ(h.read(opGetFirst, 0), 0);
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    uint32_t again = 0;
    ASSERT_EQ(h.position(again), 0);
    EXPECT_EQ(again, pos);
    ASSERT_EQ(h.call(opGetPosition + lockSingleNoWait, std::string(4, '\0'), "", 0, 1536, 0), 0);  // bias ignored
    EXPECT_EQ(get32(h.data), pos);
    // Steps on another key than the current one start from the current record.
    ASSERT_EQ(h.read(opGetNext, 1), 0);
    EXPECT_EQ(idOf(h.data), 3u);
    // Positions that hold no record.
    EXPECT_EQ(h.direct(0, 0), statusInvalidRecordAddress);
    EXPECT_EQ(h.direct(999, 0), statusInvalidRecordAddress);
    EXPECT_EQ(h.direct(pos, 5), statusInvalidKeyNumber);
    // Without a current record there is no position and no step.
    Handle fresh;
    ASSERT_EQ(fresh.open(path()), 0);
    EXPECT_EQ(fresh.position(again), statusInvalidPositioning);
    EXPECT_EQ(fresh.read(opGetNext, 0), statusInvalidPositioning);
}

TEST_F(Engine, RecordLengthsAndShortBuffers) {
    Handle h;
    fill(h, {rec(1, "aaaa")});
    EXPECT_EQ(h.insert(rec(2, "bbbb").substr(0, 15)), statusDataBufferTooShort);
    // A fixed-length file keeps only the fixed part.
    ASSERT_EQ(h.insert(rec(3, "cccc") + "extra"), 0);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(3)), 0);
    EXPECT_EQ(h.data, rec(3, "cccc"));
    // A read into a short buffer returns what fits, and the read counts.
    ASSERT_EQ(h.read(opGetFirst, 0, "", 6), statusDataBufferTooShort);
    EXPECT_EQ(h.data, rec(1, "aaaa").substr(0, 6));
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    EXPECT_EQ(idOf(h.data), 3u);
    h.close();

    // A variable-length file keeps the whole record; the fixed part comes back
    // with 22 when the buffer holds only that.
    ASSERT_EQ(createFile(path("var.dat"), makeSpecification(16, {{{1, 4, 0x0004}}}, 0x0001)), 0);
    Handle v;
    ASSERT_EQ(v.open(path("var.dat")), 0);
    ASSERT_EQ(v.insert(rec(1, "aaaa") + "variable part"), 0);
    ASSERT_EQ(v.read(opGetFirst, 0, "", 16), statusDataBufferTooShort);
    EXPECT_EQ(v.data, rec(1, "aaaa"));
    ASSERT_EQ(v.read(opGetFirst, 0), 0);
    EXPECT_EQ(v.data, rec(1, "aaaa") + "variable part");
}

TEST_F(Engine, UpdateAndDeleteActOnTheCurrentRecord) {
    Handle h;
    fill(h, {rec(1, "a"), rec(2, "b"), rec(3, "c")});
    Handle fresh;
    ASSERT_EQ(fresh.open(path()), 0);
    EXPECT_EQ(fresh.update(rec(9, "z")), statusInvalidPositioning);  // nothing current yet
    EXPECT_EQ(fresh.call(opDelete, "", "", 0, 0), statusInvalidPositioning);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(2)), 0);
    ASSERT_EQ(h.update(rec(2, "b", "newdata!")), 0);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(2)), 0);
    EXPECT_EQ(h.data, rec(2, "b", "newdata!"));
    ASSERT_EQ(h.call(opDelete, "", "", 0, 0), 0);
    EXPECT_EQ(h.call(opDelete, "", "", 0, 0), statusInvalidPositioning);
    // After a delete, steps go on from where the record was.
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    EXPECT_EQ(idOf(h.data), 3u);
    EXPECT_EQ(walk(h, 0), (std::vector<uint32_t>{1, 3}));
    ASSERT_EQ(h.stat(), 0);
    EXPECT_EQ(get32(h.data, 6), 2u);
    // A new record gets a new position, never one a deleted record had.
    ASSERT_EQ(h.insert(rec(4, "d")), 0);
    uint32_t pos = 0;
    ASSERT_EQ(h.position(pos), 0);
    EXPECT_EQ(pos, 4u);
}

TEST_F(Engine, StepsSeeWritesMadeMeanwhile) {
    Handle walker, writer;
    std::vector<std::string> records;
    for (uint32_t i = 1; i <= 40; ++i) records.push_back(rec(i * 10, "g"));
    fill(walker, records);
    ASSERT_EQ(writer.open(path()), 0);
    ASSERT_EQ(walker.read(opGetFirst, 0), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(walker.read(opGetNext, 0), 0);  // rows are read ahead now
    EXPECT_EQ(idOf(walker.data), 60u);
    ASSERT_EQ(writer.insert(rec(65, "g")), 0);
    ASSERT_EQ(writer.read(opGetEqual, 0, le32(80)), 0);
    ASSERT_EQ(writer.call(opDelete, "", "", 0, 0), 0);
    ASSERT_EQ(writer.read(opGetEqual, 0, le32(70)), 0);
    ASSERT_EQ(writer.update(rec(70, "g", "changed!")), 0);
    std::vector<std::string> seen;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(walker.read(opGetNext, 0), 0);
        seen.push_back(walker.data);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{rec(65, "g"), rec(70, "g", "changed!"), rec(90, "g")}));
}

TEST_F(Engine, TransactionsCoverEveryFileAndAbortLeavesNothing) {
    Handle a, b;
    fill(a, {rec(1, "a")});
    ASSERT_EQ(createFile(path("second.dat"), plainSpecification), 0);
    ASSERT_EQ(b.open(path("second.dat")), 0);
    EXPECT_EQ(a.call(opEndTransaction, "", "", 0, 0), statusNoTransaction);
    ASSERT_EQ(a.call(opBeginTransaction, "", "", 0, 0), 0);
    EXPECT_EQ(a.call(opBeginTransaction, "", "", 0, 0), statusTransactionActive);
    for (uint32_t i = 2; i <= 50; ++i) ASSERT_EQ(a.insert(rec(i, "t")), 0);
    ASSERT_EQ(b.insert(rec(7, "t")), 0);
    EXPECT_EQ(walk(a, 0).size(), 50u);  // the transaction sees its own writes
    ASSERT_EQ(a.stat(), 0);
    EXPECT_EQ(get32(a.data, 6), 50u);
    ASSERT_EQ(a.call(opAbortTransaction, "", "", 0, 0), 0);
    EXPECT_EQ(walk(a, 0), (std::vector<uint32_t>{1}));
    EXPECT_EQ(b.read(opGetFirst, 0), statusEndOfFile);
    ASSERT_EQ(a.stat(), 0);
    EXPECT_EQ(get32(a.data, 6), 1u);

    ASSERT_EQ(a.call(opBeginTransaction, "", "", 0, 0), 0);
    ASSERT_EQ(a.insert(rec(2, "t")), 0);
    ASSERT_EQ(b.insert(rec(7, "t")), 0);
    ASSERT_EQ(b.close(), 0);  // closing inside a transaction keeps its writes pending
    ASSERT_EQ(a.call(opEndTransaction, "", "", 0, 0), 0);
    EXPECT_EQ(walk(a, 0), (std::vector<uint32_t>{1, 2}));
    ASSERT_EQ(b.open(path("second.dat")), 0);
    EXPECT_EQ(walk(b, 0), (std::vector<uint32_t>{7}));
}

TEST_F(Engine, ResetClosesEverything) {
    Handle a;
    fill(a, {rec(1, "a")});
    ASSERT_EQ(a.call(opBeginTransaction, "", "", 0, 0), 0);
    ASSERT_EQ(a.insert(rec(2, "a")), 0);
    ASSERT_EQ(resetAll(), 0);
    EXPECT_EQ(a.read(opGetFirst, 0), statusFileNotOpen);
    ASSERT_EQ(a.open(path()), 0);
    EXPECT_EQ(walk(a, 0), (std::vector<uint32_t>{1}));  // the open transaction was rolled back
    // A new open's block is not taken for a closed one's.
    Handle b;
    ASSERT_EQ(b.open(path()), 0);
    std::memcpy(b.block, a.block, 128);
    ASSERT_EQ(a.close(), 0);
    EXPECT_EQ(b.read(opGetFirst, 0), statusFileNotOpen);
}

TEST_F(Engine, LocksBetweenOpensOfOneProcess) {
    Handle a, b;
    fill(a, {rec(1, "a"), rec(2, "b")});
    ASSERT_EQ(b.open(path()), 0);
    ASSERT_EQ(a.read(opGetFirst + lockSingleNoWait, 0), 0);
    EXPECT_EQ(b.read(opGetFirst + lockSingleNoWait, 0), statusRecordLocked);
    EXPECT_EQ(b.read(opGetFirst + lockSingleWait, 0), statusRecordLocked);  // waiting on ourselves never ends
    ASSERT_EQ(b.read(opGetFirst, 0), 0);
    EXPECT_EQ(b.update(rec(1, "a", "changed!")), statusRecordLocked);
    // The holder may update; the update releases the lock.
    ASSERT_EQ(a.update(rec(1, "a", "mine!!!!")), 0);
    ASSERT_EQ(b.read(opGetFirst + lockSingleNoWait, 0), 0);
    EXPECT_EQ(b.data, rec(1, "a", "mine!!!!"));
    // The next locked read through the same block releases the previous lock.
    ASSERT_EQ(b.read(opGetNext + lockSingleNoWait, 0), 0);
    ASSERT_EQ(a.read(opGetFirst + lockSingleNoWait, 0), 0);
    EXPECT_EQ(a.direct(2, 0, lockSingleNoWait), statusRecordLocked);
    ASSERT_EQ(b.call(opUnlock, "", "", -1, 0), 0);
    EXPECT_EQ(a.direct(2, 0, lockSingleNoWait), 0);
    ASSERT_EQ(a.close(), 0);
    EXPECT_EQ(b.read(opGetFirst + lockSingleNoWait, 0), 0);
    // Lock biases only go with reads.
    EXPECT_EQ(b.call(opInsert + lockSingleNoWait, rec(5, "x"), "", 0, 16), statusInvalidOperation);
}

TEST_F(Engine, ExclusiveOpenWithinOneProcess) {
    Handle a, b;
    fill(a, {});
    EXPECT_EQ(b.open(path(), openExclusive), statusFileLocked);
    ASSERT_EQ(a.close(), 0);
    ASSERT_EQ(b.open(path(), openExclusive), 0);
    EXPECT_EQ(a.open(path()), statusFileLocked);
    ASSERT_EQ(b.close(), 0);
    EXPECT_EQ(a.open(path()), 0);
}

}  // namespace
