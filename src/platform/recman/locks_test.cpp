// Locks and writes between two processes. The second process is this test
// program again, running RecmanPeer.Serve: it reads one command per line on its
// standard input and answers each with a status line on descriptor 3.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/recman/btrcall.h"
#include "platform/recman/recman_test_support.h"
#include "tests/support/test_support.h"

using namespace recman;
using namespace recmantest;

namespace {

const std::string specification = makeSpecification(8, {{{1, 4, 0x0004}}});

std::string rec(uint32_t id, const std::string& tail = "data") { return le32(id) + tail.substr(0, 4); }

// Commands: "open PATH MODE", "read OP KEYID", "direct POS OP-BIAS", "insert ID TAIL",
// "unlock", "unlocklater MS", "close", "exit". Each answers a status.
class Peer {
public:
    Peer() {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 3);
            int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 1);
            ::setenv("ZEL_RECMAN_PEER", "1", 1);
            ::execl("/proc/self/exe", "recman_tests", "--gtest_filter=RecmanPeer.Serve", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        commands_ = ::fdopen(in[1], "w");
        answers_ = ::fdopen(out[0], "r");
    }
    ~Peer() {
        if (pid_ > 0 && commands_ != nullptr) {
            std::fputs("exit\n", commands_);
            std::fflush(commands_);
        }
        if (commands_) std::fclose(commands_);
        if (answers_) std::fclose(answers_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    int ask(const std::string& command) {
        std::fprintf(commands_, "%s\n", command.c_str());
        std::fflush(commands_);
        char line[64];
        if (std::fgets(line, sizeof line, answers_) == nullptr) return -1;
        return std::atoi(line);
    }
    // Ends the peer without letting it clean up, as a crash would.
    void kill() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::FILE* commands_ = nullptr;
    std::FILE* answers_ = nullptr;
};

class TwoProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        resetAll();
        ASSERT_EQ(createFile(file, specification), 0);
        ASSERT_EQ(h.open(file), 0);
        for (uint32_t i = 1; i <= 20; ++i) ASSERT_EQ(h.insert(rec(i)), 0);
    }
    void TearDown() override { resetAll(); }

    testsupport::TempDir dir;
    std::string file = dir / "shared.dat";
    Handle h;
};

TEST_F(TwoProcesses, NoWaitLockRefusedAtOncePlainReadsPass) {
    Peer peer;
    ASSERT_EQ(peer.ask("open " + file + " 0"), 0);
    ASSERT_EQ(peer.ask("read " + std::to_string(opGetEqual + lockSingleNoWait) + " 5"), 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(h.read(opGetEqual + lockSingleNoWait, 0, le32(5)), statusRecordLocked);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(h.direct(5, 0, lockSingleNoWait), statusRecordLocked);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(5)), 0);  // no bias: never blocked
    EXPECT_EQ(h.update(rec(5, "mine")), statusRecordLocked);
    // Others records stay free.
    ASSERT_EQ(h.read(opGetEqual + lockSingleNoWait, 0, le32(6)), 0);
    EXPECT_EQ(peer.ask("read " + std::to_string(opGetEqual + lockSingleNoWait) + " 6"), statusRecordLocked);

    ASSERT_EQ(peer.ask("unlock"), 0);
    EXPECT_EQ(h.read(opGetEqual + lockSingleNoWait, 0, le32(5)), 0);
    ASSERT_EQ(h.update(rec(5, "mine")), 0);
}

TEST_F(TwoProcesses, LocksEndWithTheProcess) {
    Peer peer;
    ASSERT_EQ(peer.ask("open " + file + " 0"), 0);
    ASSERT_EQ(peer.ask("read " + std::to_string(opGetEqual + lockSingleNoWait) + " 7"), 0);
    EXPECT_EQ(h.read(opGetEqual + lockSingleNoWait, 0, le32(7)), statusRecordLocked);
    peer.kill();
    EXPECT_EQ(h.read(opGetEqual + lockSingleNoWait, 0, le32(7)), 0);
}

TEST_F(TwoProcesses, WaitingLockWaitsForTheRelease) {
    Peer peer;
    ASSERT_EQ(peer.ask("open " + file + " 0"), 0);
    ASSERT_EQ(peer.ask("read " + std::to_string(opGetEqual + lockSingleNoWait) + " 3"), 0);
    ASSERT_EQ(peer.ask("unlocklater 150"), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(h.read(opGetEqual + lockSingleWait, 0, le32(3)), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(peer.ask("read " + std::to_string(opGetEqual + lockSingleNoWait) + " 3"), statusRecordLocked);
}

TEST_F(TwoProcesses, ExclusiveOpenLocksTheFileUntilClosed) {
    Peer peer;
    EXPECT_EQ(peer.ask("open " + file + " -4"), statusFileLocked);  // we have it open
    ASSERT_EQ(h.close(), 0);
    ASSERT_EQ(peer.ask("open " + file + " -4"), 0);
    EXPECT_EQ(h.open(file), statusFileLocked);
    EXPECT_EQ(h.open(file, openExclusive), statusFileLocked);
    ASSERT_EQ(peer.ask("close"), 0);
    EXPECT_EQ(h.open(file), 0);
}

TEST_F(TwoProcesses, WritesOfTheOtherProcessShowInSteps) {
    Peer peer;
    ASSERT_EQ(peer.ask("open " + file + " 0"), 0);
    ASSERT_EQ(h.read(opGetFirst, 0), 0);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(h.read(opGetNext, 0), 0);  // 4 and 5 are read ahead now
    EXPECT_EQ(get32(h.data), 3u);
    ASSERT_EQ(peer.ask("read " + std::to_string(opGetEqual) + " 4"), 0);
    ASSERT_EQ(peer.ask("delete"), 0);
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    EXPECT_EQ(get32(h.data), 5u);
    // A transaction of the other process shows when it ends, all at once.
    ASSERT_EQ(peer.ask("begin"), 0);
    ASSERT_EQ(peer.ask("read " + std::to_string(opGetEqual) + " 7"), 0);
    ASSERT_EQ(peer.ask("delete"), 0);
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    EXPECT_EQ(get32(h.data), 6u);
    ASSERT_EQ(peer.ask("end"), 0);
    ASSERT_EQ(h.read(opGetNext, 0), 0);
    EXPECT_EQ(get32(h.data), 8u);
    ASSERT_EQ(h.read(opGetEqual, 0, le32(7)), statusKeyNotFound);
}

// The peer side; skipped unless started by Peer.
TEST(RecmanPeer, Serve) {
    if (std::getenv("ZEL_RECMAN_PEER") == nullptr) GTEST_SKIP() << "runs only as the second process";
    std::FILE* answers = ::fdopen(3, "w");
    Handle h;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        int status = 0;
        if (command == "open") {
            std::string path;
            int mode = 0;
            in >> path >> mode;
            status = h.open(path, static_cast<int8_t>(mode));
        } else if (command == "read") {
            int op = 0;
            uint32_t id = 0;
            in >> op >> id;
            status = h.read(static_cast<uint16_t>(op), 0, le32(id));
        } else if (command == "delete") {
            status = h.call(opDelete, "", "", 0, 0);
        } else if (command == "begin") {
            status = h.call(opBeginTransaction, "", "", 0, 0);
        } else if (command == "end") {
            status = h.call(opEndTransaction, "", "", 0, 0);
        } else if (command == "unlock") {
            status = h.call(opUnlock, "", "", -1, 0);
        } else if (command == "unlocklater") {
            int ms = 0;
            in >> ms;
            std::fprintf(answers, "0\n");
            std::fflush(answers);
            ::usleep(ms * 1000);
            h.call(opUnlock, "", "", -1, 0);
            continue;
        } else if (command == "close") {
            status = h.close();
        } else if (command == "exit") {
            break;
        } else {
            status = -1;
        }
        std::fprintf(answers, "%d\n", status);
        std::fflush(answers);
    }
    std::fclose(answers);
    std::fflush(stdout);
    ::_exit(0);
}

}  // namespace
