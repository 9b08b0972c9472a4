#include "tests/support/tmux_session.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

std::atomic<int> sessionCounter{0};

std::string shellQuote(std::string_view s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += "'";
    return out;
}

// The environment of the tmux client and server: ours, outside any tmux we may
// run in, in a UTF-8 locale (tmux shows and captures UTF-8 only then).
std::vector<std::string> tmuxEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string_view v = *e;
        if (v.starts_with("TMUX=") || v.starts_with("TMUX_PANE=") || v.starts_with("LC_ALL=") ||
            v.starts_with("LANG=") || v.starts_with("LC_CTYPE="))
            continue;
        env.emplace_back(v);
    }
    env.emplace_back("LANG=C.UTF-8");
    env.emplace_back("LC_ALL=C.UTF-8");
    return env;
}

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

using Clock = std::chrono::steady_clock;

}  // namespace

TmuxSession::TmuxSession() {
    socket_ = "zeltest-" + std::to_string(getpid()) + "-" + std::to_string(sessionCounter++);
}

TmuxSession::~TmuxSession() {
    if (started_) tmux({"kill-server"});
    if (!statusFolder_.empty()) {
        std::remove((statusFolder_ + "/status").c_str());
        std::remove((statusFolder_ + "/status.tmp").c_str());
        ::rmdir(statusFolder_.c_str());
    }
}

int TmuxSession::tmux(const std::vector<std::string>& args, std::string* out) {
    std::vector<std::string> all = {"tmux", "-L", socket_, "-f", "/dev/null"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = tmuxEnvironment();
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "tmux", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        error_ = std::string("cannot run tmux: ") + std::strerror(rc) + " (is tmux installed?)";
        return -1;
    }
    std::string text;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n > 0) text.append(buf, static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR) continue;
        else break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (out) *out = std::move(text);
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 127) error_ = "tmux not found (is tmux installed?)";
        return WEXITSTATUS(status);
    }
    return -1;
}

bool TmuxSession::start(const std::string& command) { return start(command, Options{}); }

bool TmuxSession::start(const std::string& command, const Options& o) {
    std::string line = "env -u TMUX -u TMUX_PANE TERM=" + shellQuote(o.term) +
                       " LANG=C.UTF-8 LC_ALL=C.UTF-8";
    for (const auto& [name, value] : o.env) line += " " + shellQuote(name + "=" + value);
    // The exit status goes to a file: tmux, when busy, may take its time to collect
    // a pane's status, and may lose the last output of a pane whose process ends at
    // once, so the wrapper also lingers a moment.
    char folder[] = "/tmp/zeltmux-XXXXXX";
    if (!mkdtemp(folder)) {
        error_ = "cannot create a temporary folder";
        return false;
    }
    statusFolder_ = folder;
    const std::string statusFile = statusFolder_ + "/status";
    line += " /bin/sh -c " + shellQuote(command) + "; s=$?; echo $s > " + shellQuote(statusFile + ".tmp") +
            " && mv " + shellQuote(statusFile + ".tmp") + " " + shellQuote(statusFile) + "; sleep 0.2; exit $s";
    // The options come before the session so that they hold from its first moment:
    // the pane stays after the command ends, to read its exit status and last screen.
    std::vector<std::string> args = {"set", "-g", "exit-empty", "off", ";",
                                     "set", "-g", "remain-on-exit", "on", ";",
                                     "set", "-g", "escape-time", "10", ";",
                                     "set", "-g", "default-terminal", o.term, ";",
                                     "set", "-g", "default-shell", "/bin/sh", ";",
                                     "set", "-g", "status", "off", ";",
                                     "new-session", "-d", "-s", "main", "-x", std::to_string(o.width), "-y",
                                     std::to_string(o.height)};
    if (!o.workDir.empty()) {
        args.push_back("-c");
        args.push_back(o.workDir);
    }
    args.push_back(line);
    started_ = true;
    const int rc = tmux(args);
    if (rc != 0) {
        if (error_.empty()) error_ = "tmux new-session failed with status " + std::to_string(rc);
        return false;
    }
    tmux({"set", "-g", "window-size", "manual"});
    return true;
}

bool TmuxSession::sendKeys(std::initializer_list<std::string_view> keys) {
    std::vector<std::string> v;
    for (std::string_view k : keys) v.emplace_back(k);
    return sendKeys(v);
}

bool TmuxSession::sendKeys(const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"send-keys", "-t", "main"};
    args.insert(args.end(), keys.begin(), keys.end());
    return tmux(args) == 0;
}

bool TmuxSession::sendText(std::string_view utf8) {
    return tmux({"send-keys", "-t", "main", "-l", std::string(utf8)}) == 0;
}

bool TmuxSession::sendBytes(std::string_view bytes) {
    std::vector<std::string> args = {"send-keys", "-t", "main", "-H"};
    char hex[4];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        args.emplace_back(hex);
    }
    return tmux(args) == 0;
}

bool TmuxSession::sendMouseClick(int row, int column, int button) {
    const int code = button == 2 ? 2 : button == 3 ? 1 : 0;
    const std::string at = std::to_string(code) + ";" + std::to_string(column) + ";" + std::to_string(row);
    return sendBytes("\x1b[<" + at + "M" + "\x1b[<" + at + "m");
}

bool TmuxSession::resize(int width, int height) {
    return tmux({"resize-window", "-t", "main", "-x", std::to_string(width), "-y", std::to_string(height)}) == 0;
}

std::string TmuxSession::capture(bool withColours) {
    std::vector<std::string> args = {"capture-pane", "-p", "-t", "main"};
    if (withColours) args.push_back("-e");
    std::string out;
    tmux(args, &out);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    lastScreen_ = out;
    return out;
}

std::string TmuxSession::row(int n) {
    const std::string screen = capture();
    size_t start = 0;
    for (int r = 1; r < n; ++r) {
        start = screen.find('\n', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    return screen.substr(start, screen.find('\n', start) - start);
}

bool TmuxSession::waitFor(std::string_view text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (capture().find(text) != std::string::npos) return true;
        if (Clock::now() >= deadline) return false;
        pause(50);
    }
}

bool TmuxSession::waitForGone(std::string_view text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (capture().find(text) == std::string::npos) return true;
        if (Clock::now() >= deadline) return false;
        pause(50);
    }
}

bool TmuxSession::exited() { return exitStatus() >= 0; }

std::string TmuxSession::paneState() {
    std::string out;
    tmux({"display-message", "-p", "-t", "main",
          "dead=#{pane_dead} status=#{pane_dead_status} pid=#{pane_pid} command=#{pane_current_command}"},
         &out);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

int TmuxSession::waitForExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (int status = exitStatus(); status >= 0) {
            // tmux has shown all the output once it has seen the pane close (the
            // wrapper closes it a moment after the command). Its "Pane is dead"
            // line then scrolls the screen up by one row: the screen the command
            // left is the last history row and the rows above that line.
            const auto shown = Clock::now() + std::chrono::milliseconds(3000);
            std::string dead;
            while (Clock::now() < shown &&
                   !(tmux({"display-message", "-p", "-t", "main", "#{pane_dead} #{pane_height}"}, &dead) == 0 &&
                     dead.starts_with("1")))
                pause(50);
            const int height = dead.starts_with("1 ") ? std::atoi(dead.c_str() + 2) : 0;
            if (height > 1) {
                std::string out;
                tmux({"capture-pane", "-p", "-t", "main", "-S", "-1", "-E", std::to_string(height - 2)}, &out);
                while (!out.empty() && out.back() == '\n') out.pop_back();
                lastScreen_ = out;
            } else {
                capture();
            }
            return status;
        }
        if (Clock::now() >= deadline) return -1;
        pause(50);
    }
}

int TmuxSession::exitStatus() const {
    if (statusFolder_.empty()) return -1;
    FILE* f = std::fopen((statusFolder_ + "/status").c_str(), "r");
    if (!f) return -1;
    int status = -1;
    if (std::fscanf(f, "%d", &status) != 1) status = -1;
    std::fclose(f);
    return status;
}

}  // namespace testsupport
