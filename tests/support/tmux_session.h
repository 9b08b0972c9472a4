// End-to-end tests of the real programs in a terminal: a command runs in a
// detached tmux session of its own (private server socket, no user configuration,
// fixed size), keys are sent by their tmux names, and the screen is read back as
// text. Waiting is done by polling the screen, never by sleeping.
//
//     testsupport::TmuxSession tmux;
//     ASSERT_TRUE(tmux.start(testsupport::binDir() + "/zelutil keys")) << tmux.error();
//     ASSERT_TRUE(tmux.waitFor("Esc twice")) << tmux.lastScreen();
//     tmux.sendKeys({"C-Left"});
//     ASSERT_TRUE(tmux.waitFor("7300")) << tmux.lastScreen();
//     tmux.sendKeys({"Escape"});
//     EXPECT_EQ(tmux.waitForExit(), 0);
//
// A test fails, it does not skip, when tmux is missing: start() returns false.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

class TmuxSession {
public:
    struct Options {
        int width = 80;
        int height = 25;
        // TERM of the command. LANG and LC_ALL are C.UTF-8.
        std::string term = "xterm-256color";
        // More environment for the command (set after the defaults, so they may override them).
        std::vector<std::pair<std::string, std::string>> env;
        // Working folder of the command; empty: the current one.
        std::string workDir;
    };

    TmuxSession();
    ~TmuxSession();  // kills the session's tmux server
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    // Starts `command` (a /bin/sh command line) in a new session. False when tmux
    // is missing or fails; error() says why.
    bool start(const std::string& command);
    bool start(const std::string& command, const Options& options);
    const std::string& error() const { return error_; }

    // Keys by tmux name: "C-Left", "M-F1", "S-F12", "M-a", "Escape", "Enter", "Tab",
    // "BTab", "F4", "Up", "BSpace", "DC" (Delete), "IC" (Insert), "Home", "End", "PPage",
    // "NPage", "C-c", or single characters.
    bool sendKeys(std::initializer_list<std::string_view> keys);
    bool sendKeys(const std::vector<std::string>& keys);
    // Text typed literally (UTF-8; "à" reaches the program as UTF-8).
    bool sendText(std::string_view utf8);
    // Raw bytes, exactly as given.
    bool sendBytes(std::string_view bytes);
    // A click (press and release) at a 1-based screen position, as an xterm SGR
    // mouse report; button 1 left, 2 right. The program must have mouse reporting on
    // for a real terminal to send it, but the bytes are sent regardless.
    bool sendMouseClick(int row, int column, int button = 1);
    // Resizes the window (the program gets SIGWINCH).
    bool resize(int width, int height);

    // The screen as UTF-8 text, one line per row joined with "\n" (trailing blanks
    // trimmed); with colours, the SGR escape sequences are kept (capture-pane -e).
    std::string capture(bool withColours = false);
    // One row of the screen (1-based), trailing blanks trimmed.
    std::string row(int n);
    // Polls the screen every 50 ms until it contains `text` (UTF-8). False on
    // timeout; lastScreen() holds the screen last read.
    bool waitFor(std::string_view text, int timeoutMs = 5000);
    // Polls until the screen no longer contains `text`.
    bool waitForGone(std::string_view text, int timeoutMs = 5000);
    const std::string& lastScreen() const { return lastScreen_; }

    // Polls until the command has ended and returns its exit status (128 + n for
    // a signal), with lastScreen() the screen it left; -1 on timeout.
    int waitForExit(int timeoutMs = 5000);
    bool exited();
    // The exit status once the command has ended, else -1.
    int exitStatus() const;
    // The pane's state in one line (dead or alive, exit status, process id, the
    // processes still running in it), for failure messages.
    std::string paneState();

    // Runs tmux with these arguments against this session's server; the exit
    // status, with standard output in *out.
    int tmux(const std::vector<std::string>& args, std::string* out = nullptr);

private:
    std::string socket_;
    std::string statusFolder_;
    std::string error_;
    std::string lastScreen_;
    bool started_ = false;
};

}  // namespace testsupport
