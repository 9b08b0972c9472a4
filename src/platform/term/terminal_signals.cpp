#include "platform/term/terminal_signals.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace term {

TerminalSignals terminalSignals;

namespace {

constexpr int fatalSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int otherSignals[] = {SIGWINCH, SIGTSTP, SIGCONT};

struct sigaction previousActions[NSIG];
bool replaced[NSIG];
bool saved[NSIG];


void wake() {
    if (terminalSignals.wakeWrite >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t w = ::write(terminalSignals.wakeWrite, &b, 1);
    }
}

void takeTerminalBack() {
    const TerminalSignals& s = terminalSignals;
    if (s.ttyFd >= 0) {
        tcsetattr(s.ttyFd, TCSADRAIN, &s.programModes);
        writeAll(s.ttyFd, s.enter, s.enterLength);
    }
    terminalSignals.repaint = 1;
    wake();
}

void onFatal(int sig) {
    const int saved = errno;
    leaveTerminal();
    const struct sigaction& previous = previousActions[sig];
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && !(previous.sa_flags & SA_SIGINFO)) {
        // The program's own handler decides; if it comes back, the program goes
        // on and gets its screen again.
        previous.sa_handler(sig);
        takeTerminalBack();
        errno = saved;
        return;
    }
    // Otherwise the signal takes its usual course once the handler returns.
    sigaction(sig, &previous, nullptr);
    replaced[sig] = false;
    raise(sig);
    errno = saved;
}

void onResize(int) {
    const int saved = errno;
    terminalSignals.resized = 1;
    wake();
    errno = saved;
}

void onStop(int) {
    const int saved = errno;
    leaveTerminal();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    struct sigaction mine {};
    sigaction(SIGTSTP, &dfl, &mine);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGTSTP);  // stops here until SIGCONT
    sigaction(SIGTSTP, &mine, nullptr);
    errno = saved;
}

void onContinue(int) {
    const int saved = errno;
    takeTerminalBack();
    errno = saved;
}

void install(int sig, void (*handler)(int)) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (saved[sig]) old = previousActions[sig];
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (old.sa_handler == SIG_IGN && sig != SIGCONT && sig != SIGWINCH) return;
    struct sigaction act {};
    act.sa_handler = handler;
    sigemptyset(&act.sa_mask);
    sigaddset(&act.sa_mask, SIGWINCH);
    sigaddset(&act.sa_mask, SIGCONT);
    act.sa_flags = SA_RESTART;
    if (saved[sig]) sigaction(sig, &act, nullptr);
    else sigaction(sig, &act, &previousActions[sig]);
    replaced[sig] = true;
}

sigset_t handledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : fatalSignals) sigaddset(&set, s);
    for (int s : otherSignals) sigaddset(&set, s);
    return set;
}

}  // namespace

void saveSignalDispositions() {
    for (int sig : fatalSignals) saved[sig] = sigaction(sig, nullptr, &previousActions[sig]) == 0;
    for (int sig : otherSignals) saved[sig] = sigaction(sig, nullptr, &previousActions[sig]) == 0;
}

void reenterTerminal() { takeTerminalBack(); }

void writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
}



void leaveTerminal() {
    const TerminalSignals& s = terminalSignals;
    if (s.ttyFd < 0) return;
    writeAll(s.ttyFd, s.leave, s.leaveLength);
    tcsetattr(s.ttyFd, TCSADRAIN, &s.shellModes);
}

void setTerminalTransitions(std::string_view leave, std::string_view enter) {
    sigset_t set = handledSignals(), old;
    sigprocmask(SIG_BLOCK, &set, &old);
    TerminalSignals& s = terminalSignals;
    s.leaveLength = std::min(leave.size(), sizeof s.leave);
    std::memcpy(s.leave, leave.data(), s.leaveLength);
    s.enterLength = std::min(enter.size(), sizeof s.enter);
    std::memcpy(s.enter, enter.data(), s.enterLength);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

bool installTerminalSignals() {
    TerminalSignals& s = terminalSignals;
    if (s.installed) return true;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    s.wakeRead = fds[0];
    s.wakeWrite = fds[1];
    s.resized = 0;
    s.repaint = 0;
    for (int sig : fatalSignals) install(sig, onFatal);
    install(SIGWINCH, onResize);
    install(SIGTSTP, onStop);
    install(SIGCONT, onContinue);
    s.installed = true;
    return true;
}

void removeTerminalSignals() {
    TerminalSignals& s = terminalSignals;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (replaced[sig] || saved[sig]) sigaction(sig, &previousActions[sig], nullptr);
        replaced[sig] = false;
        saved[sig] = false;
    }
    if (!s.installed) return;
    ::close(s.wakeRead);
    ::close(s.wakeWrite);
    s.wakeRead = s.wakeWrite = -1;
    s.ttyFd = -1;
    s.installed = false;
}

void drainWakePipe() {
    char buf[64];
    while (terminalSignals.wakeRead >= 0 && ::read(terminalSignals.wakeRead, buf, sizeof buf) > 0) {
    }
}

}  // namespace term
