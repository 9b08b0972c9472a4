#include "platform/term/terminal_signals.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

volatile sig_atomic_t programHandlerCalls = 0;
void programHandler(int) { programHandlerCalls = programHandlerCalls + 1; }

// The terminal is a pipe here: what the handlers send can be read back.
class TerminalSignalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pipe2(fds_, O_NONBLOCK), 0);
        term::terminalSignals.ttyFd = fds_[1];
        term::setTerminalTransitions("<leave>", "<enter>");
    }
    void TearDown() override {
        term::removeTerminalSignals();
        term::terminalSignals.ttyFd = -1;
        close(fds_[0]);
        close(fds_[1]);
    }
    std::string sent() {
        std::string out;
        char buf[256];
        ssize_t n;
        while ((n = read(fds_[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
        return out;
    }
    int fds_[2] = {-1, -1};
};

TEST_F(TerminalSignalsTest, ResizeRaisesTheFlagAndWakesTheWait) {
    ASSERT_TRUE(term::installTerminalSignals());
    term::terminalSignals.resized = 0;
    raise(SIGWINCH);
    EXPECT_EQ(term::terminalSignals.resized, 1);
    pollfd p{term::terminalSignals.wakeRead, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 1);
    term::drainWakePipe();
    EXPECT_EQ(poll(&p, 1, 0), 0);
    EXPECT_EQ(sent(), "");
}

TEST_F(TerminalSignalsTest, AProgramHandlerThatReturnsGetsTheTerminalBackAfterwards) {
    struct sigaction act {}, old {};
    act.sa_handler = programHandler;
    sigemptyset(&act.sa_mask);
    sigaction(SIGTERM, &act, &old);
    programHandlerCalls = 0;
    term::saveSignalDispositions();
    ASSERT_TRUE(term::installTerminalSignals());
    term::terminalSignals.repaint = 0;
    raise(SIGTERM);
    EXPECT_EQ(programHandlerCalls, 1);
    EXPECT_EQ(sent(), "<leave><enter>");
    EXPECT_EQ(term::terminalSignals.repaint, 1);
    // Removing the handlers gives the program's own back.
    term::removeTerminalSignals();
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, programHandler);
    sigaction(SIGTERM, &old, nullptr);
}

TEST_F(TerminalSignalsTest, AFatalSignalRestoresTheTerminalThenEndsTheProgram) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGTERM, SIG_DFL);
        term::saveSignalDispositions();
        term::installTerminalSignals();
        raise(SIGTERM);
        _exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(sent(), "<leave>");
}

TEST_F(TerminalSignalsTest, ContinueTakesTheTerminalAgain) {
    ASSERT_TRUE(term::installTerminalSignals());
    term::terminalSignals.repaint = 0;
    raise(SIGCONT);
    EXPECT_EQ(sent(), "<enter>");
    EXPECT_EQ(term::terminalSignals.repaint, 1);
}

}  // namespace
