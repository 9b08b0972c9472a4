// Positioned reads answered from rows read ahead: the answers must be the ones a
// fresh look into the file gives, whatever was written meanwhile, by this process
// or by another one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/recman/btrcall.h"
#include "platform/recman/recman_test_support.h"
#include "tests/support/test_support.h"

using namespace recman;
using namespace recmantest;

namespace {

// 4-byte binary id (key 0, unique), 4-byte group (key 1, duplicates), 8 bytes.
const std::string specification = makeSpecification(16, {{{1, 4, 0x0004}}, {{5, 4, 0x0001}}});

std::string rec(uint32_t id, const std::string& group) {
    std::string g = group;
    g.resize(4, ' ');
    return le32(id) + g + "payload!";
}

std::string group(const std::string& g) {
    std::string v = g;
    v.resize(4, ' ');
    return v;
}

// Another process opens the file and inserts one record: runs ReadAheadPeer.Insert
// of this same program, which does only that.
void insertFromAnotherProcess(const std::string& path, uint32_t id, const std::string& g) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("ZEL_READAHEAD_PEER", (path + "\n" + std::to_string(id) + "\n" + g).c_str(), 1);
        ::execl("/proc/self/exe", "recman_tests", "--gtest_filter=ReadAheadPeer.Insert", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = -1;
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
}

class ReadAhead : public ::testing::Test {
protected:
    void SetUp() override {
        resetAll();
        ASSERT_EQ(createFile(path, specification), 0);
        ASSERT_EQ(h.open(path), 0);
        // Groups a..h of five records each, ids 10 apart in insertion order.
        uint32_t id = 10;
        for (char g = 'a'; g <= 'h'; ++g)
            for (int i = 0; i < 5; ++i, id += 10) ASSERT_EQ(h.insert(rec(id, std::string(1, g))), 0);
    }
    void TearDown() override { resetAll(); }

    // The ids of a group by key 1: a greater-or-equal read, then steps while the
    // group lasts (the first record past it is read, as a range walk does).
    std::vector<uint32_t> walkGroup(Handle& reader, const std::string& g) {
        std::vector<uint32_t> ids;
        int16_t s = reader.read(opGetGreaterOrEqual, 1, group(g));
        while (s == 0 && reader.data.substr(4, 4) == group(g)) {
            ids.push_back(get32(reader.data));
            s = reader.read(opGetNext, 1);
        }
        return ids;
    }

    // A walk of the whole file: afterwards a positioned read fetches all of it.
    int walkAll(Handle& reader) {
        int n = 0;
        int16_t s = reader.read(opGetGreaterOrEqual, 1, group(""));
        for (; s == 0; s = reader.read(opGetNext, 1)) ++n;
        return n;
    }

    testsupport::TempDir dir;
    std::string path = dir / "ranges.dat";
    Handle h;
};

TEST_F(ReadAhead, RangesOneAfterAnotherComeOutAsFreshReadsGiveThem) {
    for (int round = 0; round < 2; ++round)
        for (char g = 'a'; g <= 'h'; ++g) {
            const uint32_t first = 10 + static_cast<uint32_t>(g - 'a') * 50;
            EXPECT_EQ(walkGroup(h, std::string(1, g)),
                      (std::vector<uint32_t>{first, first + 10, first + 20, first + 30, first + 40}))
                << g << round;
        }
    // Skipping groups, values between groups, greater (not equal), backwards;
    // the rows of the whole file are read ahead by then.
    ASSERT_EQ(walkAll(h), 40);
    struct Case {
        uint16_t op;
        std::string value;
        int16_t status;
        uint32_t id;
    } cases[] = {
        {opGetGreaterOrEqual, "a", 0, 10},   {opGetGreaterOrEqual, "c", 0, 110}, {opGetGreaterOrEqual, "cz", 0, 160},
        {opGetGreater, "d", 0, 210},         {opGetGreater, "c", 0, 160},        {opGetGreaterOrEqual, "b", 0, 60},
        {opGetGreaterOrEqual, "h", 0, 360},  {opGetGreater, "h", statusEndOfFile, 0},
        {opGetGreaterOrEqual, "e", 0, 210},  {opGetLessOrEqual, "e", 0, 250},   {opGetGreaterOrEqual, "f", 0, 260},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(walkGroup(h, "a").size(), 5u);  // rows of a and b are read ahead now
        ASSERT_EQ(h.read(opGetNext, 1), 0);
        EXPECT_EQ(h.read(c.op, 1, group(c.value)), c.status) << c.op << c.value;
        if (c.status == 0) {
            EXPECT_EQ(get32(h.data), c.id) << c.op << c.value;
            EXPECT_EQ(h.key.substr(0, 4), h.data.substr(4, 4));
            // The steps after the answer go on from it.
            ASSERT_EQ(h.read(opGetNext, 1), 0);
            EXPECT_GT(get32(h.data), c.id);
        }
    }
}

TEST_F(ReadAhead, WritesOfAnotherOpenShowInTheNextPositionedRead) {
    Handle writer;
    ASSERT_EQ(writer.open(path), 0);
    ASSERT_EQ(walkAll(h), 40);
    ASSERT_EQ(walkGroup(h, "a").size(), 5u);
    ASSERT_EQ(walkGroup(h, "b").size(), 5u);
    // Group c is among the rows read ahead; a record of a new group "bz" goes in
    // before it, and the first of c goes away.
    ASSERT_EQ(writer.insert(rec(1000, "bz")), 0);
    ASSERT_EQ(h.read(opGetGreaterOrEqual, 1, group("bb")), 0);
    EXPECT_EQ(get32(h.data), 1000u);
    ASSERT_EQ(walkGroup(h, "b").size(), 5u);
    ASSERT_EQ(writer.read(opGetEqual, 0, le32(110)), 0);
    ASSERT_EQ(writer.call(opDelete, "", "", 0, 0), 0);
    EXPECT_EQ(walkGroup(h, "c"), (std::vector<uint32_t>{120, 130, 140, 150}));
}

TEST_F(ReadAhead, WritesOfAnotherProcessShowInTheNextPositionedRead) {
    ASSERT_EQ(walkAll(h), 40);
    ASSERT_EQ(walkGroup(h, "a").size(), 5u);
    ASSERT_EQ(walkGroup(h, "b").size(), 5u);
    insertFromAnotherProcess(path, 2000, "bz");
    ASSERT_EQ(h.read(opGetGreaterOrEqual, 1, group("bb")), 0);
    EXPECT_EQ(get32(h.data), 2000u);
    EXPECT_EQ(walkGroup(h, "c").size(), 5u);
}

TEST(ReadAheadOpenStamp, NamesOneOpenAndNoneAfterIt) {
    resetAll();
    testsupport::TempDir dir;
    const std::string path = dir / "stamp.dat";
    ASSERT_EQ(createFile(path, specification), 0);
    Handle a, b;
    EXPECT_EQ(openStamp(a.block), 0u);
    EXPECT_EQ(openStamp(nullptr), 0u);
    ASSERT_EQ(a.open(path), 0);
    ASSERT_EQ(b.open(path), 0);
    const uint32_t first = openStamp(a.block);
    EXPECT_NE(first, 0u);
    EXPECT_NE(openStamp(b.block), first);
    ASSERT_EQ(a.close(), 0);
    EXPECT_EQ(openStamp(a.block), 0u);
    ASSERT_EQ(a.open(path), 0);  // the same handle again, another open
    EXPECT_NE(openStamp(a.block), 0u);
    EXPECT_NE(openStamp(a.block), first);
    resetAll();
    EXPECT_EQ(openStamp(a.block), 0u);
    EXPECT_EQ(openStamp(b.block), 0u);
}

// The other process of WritesOfAnotherProcessShowInTheNextPositionedRead.
TEST(ReadAheadPeer, Insert) {
    const char* job = std::getenv("ZEL_READAHEAD_PEER");
    if (job == nullptr) GTEST_SKIP() << "runs only as the second process";
    const std::string text = job;
    const std::size_t a = text.find('\n'), b = text.find('\n', a + 1);
    Handle h;
    int code = h.open(text.substr(0, a)) != 0 ? 1 : 0;
    if (code == 0 && h.insert(rec(static_cast<uint32_t>(std::stoul(text.substr(a + 1, b - a - 1))), text.substr(b + 1))) != 0)
        code = 2;
    std::fflush(stdout);
    ::_exit(code);
}

}  // namespace
