// The terminal back end: shows the console grid on the terminal through ncursesw
// and reads the terminal's bytes itself (decoded by InputDecoder). ncurses only
// opens the terminal, keeps its modes and paints the screen; its own key handling
// (getch, keypad translation, ESCDELAY) is never used.
//
// Every mode switched on here (alternate screen, keypad transmit, bracketed paste,
// mouse reports, cursor shape) is switched off again on close, at exit, on fatal
// signals and around Ctrl+Z.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include "platform/term/backend.h"
#include "platform/term/clipboard.h"
#include "platform/term/code_page.h"
#include "platform/term/cursor_shape.h"
#include "platform/term/input_decoder.h"
#include "platform/term/screen_colours.h"
#include "platform/term/screen_diff.h"
#include "platform/term/terminal_signals.h"

namespace term {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view mouseOn = "\x1b[?1000h\x1b[?1006h";
constexpr std::string_view mouseOff = "\x1b[?1006l\x1b[?1000l";
constexpr std::string_view pasteOn = "\x1b[?2004h";
constexpr std::string_view pasteOff = "\x1b[?2004l";

// A terminfo string capability, empty when the terminal has none.
std::string capability(const char* name) {
    char* s = tigetstr(name);
    if (s == nullptr || s == reinterpret_cast<char*>(-1)) return {};
    return s;
}


class TerminalBackend;
TerminalBackend* liveBackend = nullptr;

class TerminalBackend : public Backend {
public:
    ~TerminalBackend() override { shutDown(); }

    bool open();
    void present(const Grid& grid) override;
    bool readInput(InputEvent& event, int timeoutMs) override;
    void flushInput() override;
    bool hasMouse() override { return mouseCapable_; }
    void setMouseReporting(bool on) override { mouseWanted_ = on; }
    void beep() override { send("\a"); }
    void publishClipboard(std::string_view cp850) override;
    void size(int& w, int& h) override { getmaxyx(stdscr, h, w); }
    bool isTerminal() const override { return true; }
    void suspend() override {
        std::fflush(tty_);
        leaveTerminal();
    }
    void resume() override {
        reenterTerminal();
        drainWakePipe();
        repaintAll();
    }

    // Gives the terminal back (close, exit).
    void shutDown();

private:
    void send(std::string_view bytes);
    void adoptWindowSize();
    void repaintAll();
    void applyModes();
    void updateTransitions();

    FILE* tty_ = nullptr;
    bool ownsTty_ = false;
    int fd_ = -1;
    SCREEN* screen_ = nullptr;
    ColourModel colours_;
    InputDecoder decoder_;
    std::deque<InputEvent> queue_;
    Clock::time_point lastBytes_;
    Grid shown_;
    bool mouseCapable_ = false;
    bool mouseWanted_ = false;
    int mouseSent_ = -1;  // -1: not known
    int cursorSent_ = -1;  // visible * 2 + shape, -1: not known
    bool osc52_ = false;
    int hangups_ = 0;
    CursorCapabilities cursor_;
    std::string smkx_, rmkx_, smcup_, rmcup_, sgr0_;
};

void restoreAtExit() {
    if (liveBackend) liveBackend->shutDown();
}

bool TerminalBackend::open() {
    fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ >= 0) {
        tty_ = fdopen(fd_, "r+");
        ownsTty_ = tty_ != nullptr;
        if (!tty_) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    if (!tty_) {
        if (!isatty(0) || !isatty(1)) return false;
        tty_ = stdout;
        fd_ = 1;
    }
    // Only the character type: numbers in the rest of the program are formatted
    // the program's own way, whatever LC_NUMERIC says. A plain "C" locale means
    // nothing was configured, and terminals today are UTF-8.
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset == "ANSI_X3.4-1968" || codeset.empty()) std::setlocale(LC_CTYPE, "C.UTF-8");
    const bool utf8 = std::string(nl_langinfo(CODESET)) == "UTF-8";
    DecoderOptions options;
    options.utf8 = utf8;
    decoder_ = InputDecoder(options);

    termios shell{};
    if (tcgetattr(fd_, &shell) != 0) return false;
    FILE* in = tty_ == stdout ? stdin : tty_;
    saveSignalDispositions();
    screen_ = newterm(nullptr, tty_, in);
    if (!screen_) {
        removeTerminalSignals();
        return false;
    }
    set_term(screen_);
    if (capability("cup").empty()) {
        // A terminal that cannot place the cursor cannot show a form.
        endwin();
        delscreen(screen_);
        screen_ = nullptr;
        tcsetattr(fd_, TCSADRAIN, &shell);
        removeTerminalSignals();
        return false;
    }
    raw();
    noecho();
    nonl();
    typeahead(-1);  // ncurses must never look at (or wait for) the input
    leaveok(stdscr, FALSE);
    scrollok(stdscr, FALSE);
    idlok(stdscr, FALSE);

    // Raw input, except that Ctrl+Z still suspends the program as everywhere on
    // Unix. Ctrl+C, Ctrl+\ and Ctrl+V arrive as keys (copy, paste).
    termios prog{};
    tcgetattr(fd_, &prog);
    prog.c_lflag |= ISIG;
    prog.c_cc[VINTR] = _POSIX_VDISABLE;
    prog.c_cc[VQUIT] = _POSIX_VDISABLE;
    prog.c_cc[VSUSP] = shell.c_cc[VSUSP] != _POSIX_VDISABLE ? shell.c_cc[VSUSP] : 0x1A;
    tcsetattr(fd_, TCSADRAIN, &prog);
    def_prog_mode();

    if (has_colors()) {
        start_color();
        colours_ = ColourModel{COLORS, COLOR_PAIRS};
        bool pairZero = false;
        for (const PairColours& p : colourPairs(colours_, &pairZero))
            init_pair(static_cast<short>(p.pair), static_cast<short>(p.foreground), static_cast<short>(p.background));
        if (pairZero) assume_default_colors(terminalColour(7), terminalColour(0));
    }

    // Insert mode shows a low cursor, overwrite a full block (DECSCUSR 4 and 2, both steady).
    if (const std::string ss = capability("Ss"); !ss.empty()) {
        cursor_.styleLow = tiparm(ss.c_str(), 4);
        cursor_.styleBlock = tiparm(ss.c_str(), 2);
    }
    cursor_.styleReset = capability("Se");
    cursor_.normal = capability("cnorm");
    cursor_.hide = capability("civis");
    cursor_.veryVisible = capability("cvvis");
    smkx_ = capability("smkx");
    rmkx_ = capability("rmkx");
    smcup_ = capability("smcup");
    rmcup_ = capability("rmcup");
    sgr0_ = capability("sgr0");
    const char* termName = std::getenv("TERM");
    const std::string name = termName ? termName : "";
    mouseCapable_ = !capability("kmous").empty() || name.find("xterm") != std::string::npos;
    osc52_ = terminalTakesOsc52(name);

    TerminalSignals& s = terminalSignals;
    s.ttyFd = fd_;
    s.shellModes = shell;
    s.programModes = prog;
    updateTransitions();
    installTerminalSignals();

    adoptWindowSize();
    send(smkx_ + std::string(pasteOn));
    liveBackend = this;
    static bool atExitRegistered = false;
    if (!atExitRegistered) {
        std::atexit(restoreAtExit);
        atExitRegistered = true;
    }
    return true;
}

// The strings the signal handlers send when the program leaves the terminal and
// comes back to it.
void TerminalBackend::updateTransitions() {
    int rows = 0, cols = 0;
    if (stdscr) getmaxyx(stdscr, rows, cols);
    std::string leave;
    leave += mouseOff;
    leave += pasteOff;
    leave += cursor_.styleReset;
    leave += cursor_.normal;
    leave += sgr0_;
    if (char* cup = tigetstr("cup"); cup && cup != reinterpret_cast<char*>(-1) && rows > 0)
        leave += tiparm(cup, rows - 1, 0);
    leave += rmkx_;
    leave += rmcup_;
    if (rmcup_.empty()) leave += "\r\n";
    std::string enter = smcup_ + smkx_ + std::string(pasteOn);
    setTerminalTransitions(leave, enter);
}

void TerminalBackend::shutDown() {
    if (!screen_) {
        if (ownsTty_ && tty_) std::fclose(tty_);
        tty_ = nullptr;
        ownsTty_ = false;
        fd_ = -1;
        return;
    }
    if (liveBackend == this) liveBackend = nullptr;
    std::string modes(mouseOff);
    modes += pasteOff;
    modes += cursor_.styleReset;
    modes += cursor_.normal;
    modes += rmkx_;
    send(modes);
    endwin();
    removeTerminalSignals();
    delscreen(screen_);
    screen_ = nullptr;
    if (ownsTty_) std::fclose(tty_);
    tty_ = nullptr;
    ownsTty_ = false;
    fd_ = -1;
}

void TerminalBackend::send(std::string_view bytes) {
    if (fd_ < 0 || bytes.empty()) return;
    std::fflush(tty_);
    writeAll(fd_, bytes.data(), bytes.size());
}

void TerminalBackend::adoptWindowSize() {
    winsize ws{};
    if (ioctl(fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
        int rows = 0, cols = 0;
        getmaxyx(stdscr, rows, cols);
        if (rows != ws.ws_row || cols != ws.ws_col) resize_term(ws.ws_row, ws.ws_col);
    }
    updateTransitions();
}

void TerminalBackend::present(const Grid& grid) {
    if (!screen_) return;
    int rows = 0, cols = 0;
    getmaxyx(stdscr, rows, cols);
    for (const CellRun& run : changedRuns(shown_, grid)) {
        if (run.row > rows) continue;
        const int last = std::min(run.last, cols);
        const Cell* row = grid.cells.data() + static_cast<size_t>(run.row - 1) * grid.width;
        cchar_t cells[256];
        for (int from = run.first; from <= last; from += 256) {
            const int n = std::min(256, last - from + 1);
            for (int k = 0; k < n; ++k) {
                const Cell cell = row[from - 1 + k];
                wchar_t text[2] = {static_cast<wchar_t>(cp850ToUnicode[cell.ch]), 0};
                const CellLook look = cellLook(colours_, cell.attr);
                attr_t a = A_NORMAL;
                if (look.bold) a |= A_BOLD;
                if (look.reverse) a |= A_REVERSE;
                setcchar(&cells[k], text, a, static_cast<short>(look.pair), nullptr);
            }
            // Written without moving the cursor, so the last cell of the screen
            // does not scroll it.
            mvwadd_wchnstr(stdscr, run.row - 1, from - 1, cells, n);
        }
    }
    wmove(stdscr, std::clamp(grid.cursorRow, 1, rows) - 1, std::clamp(grid.cursorColumn, 1, cols) - 1);
    wnoutrefresh(stdscr);
    doupdate();
    shown_ = grid;
    applyModes();
    const int cursor = (grid.cursorVisible ? 2 : 0) + (grid.cursorShape == CursorShape::block ? 1 : 0);
    if (cursor != cursorSent_) {
        send(cursorSequence(cursor_, grid.cursorVisible, grid.cursorShape));
        cursorSent_ = cursor;
    }
}

void TerminalBackend::applyModes() {
    const int want = mouseWanted_ && mouseCapable_ ? 1 : 0;
    if (want != mouseSent_) {
        send(want ? mouseOn : mouseOff);
        mouseSent_ = want;
    }
}

// Everything again, after the terminal was given away (Ctrl+Z) or resized.
void TerminalBackend::repaintAll() {
    Grid grid = shown_;
    shown_ = Grid{};
    mouseSent_ = -1;
    cursorSent_ = -1;
    clearok(curscr, TRUE);
    present(grid);
}

bool TerminalBackend::readInput(InputEvent& event, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::vector<InputEvent> decoded;
    for (;;) {
        while (!queue_.empty()) {
            event = queue_.front();
            queue_.pop_front();
            // Mouse reports still on their way when reporting was switched off.
            if (event.kind == InputEvent::Kind::mouseRelease && !mouseWanted_) continue;
            return true;
        }
        TerminalSignals& s = terminalSignals;
        if (s.resized) {
            s.resized = 0;
            adoptWindowSize();
            shown_ = Grid{};
            clearok(curscr, TRUE);
            event = InputEvent{};
            event.kind = InputEvent::Kind::resize;
            return true;
        }
        if (s.repaint) {
            s.repaint = 0;
            repaintAll();
        }
        applyModes();

        const Clock::time_point now = Clock::now();
        int wait = -1;
        if (timeoutMs >= 0)
            wait = static_cast<int>(std::max<long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()));
        const int held = decoder_.waitMs();
        bool heldExpired = false;
        if (held >= 0) {
            const long left =
                held - std::chrono::duration_cast<std::chrono::milliseconds>(now - lastBytes_).count();
            if (left <= 0) heldExpired = true;
            else wait = wait < 0 ? static_cast<int>(left) : std::min(wait, static_cast<int>(left));
        }
        if (heldExpired) {
            decoded.clear();
            decoder_.expire(decoded);
            queue_.insert(queue_.end(), decoded.begin(), decoded.end());
            continue;
        }

        pollfd fds[2] = {{fd_, POLLIN, 0}, {s.wakeRead, POLLIN, 0}};
        const int r = poll(fds, s.wakeRead >= 0 ? 2 : 1, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            fds[0].revents = POLLHUP;
        }
        if (r > 0 && (fds[1].revents & POLLIN)) drainWakePipe();
        if (r != 0 && fds[0].revents) {
            char buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                hangups_ = 0;
                lastBytes_ = Clock::now();
                decoded.clear();
                decoder_.feed(std::string_view(buf, static_cast<size_t>(n)), decoded);
                queue_.insert(queue_.end(), decoded.begin(), decoded.end());
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            // The terminal is gone. Normally SIGHUP ends the program; if that is
            // ignored, answer Esc so that every screen unwinds, and stop at last.
            if (++hangups_ > 1000) {
                shutDown();
                std::_Exit(1);
            }
            event = characterKey(27);
            return true;
        }
        // Bytes still held back are decided on a later call.
        if (timeoutMs >= 0 && Clock::now() >= deadline) return false;
    }
}

void TerminalBackend::flushInput() {
    tcflush(fd_, TCIFLUSH);
    char buf[4096];
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && ::read(fd_, buf, sizeof buf) > 0) {
    }
    decoder_.reset();
    queue_.clear();
}

void TerminalBackend::publishClipboard(std::string_view cp850) {
    if (!osc52_) return;
    const std::string seq = osc52Sequence(cp850);
    if (seq.size() <= longestOsc52) send(seq);
}

}  // namespace

Backend* createTerminalBackend() {
    auto* b = new TerminalBackend;
    if (!b->open()) {
        delete b;
        return nullptr;
    }
    return b;
}

}  // namespace term
