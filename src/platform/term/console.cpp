// The console grid and the memory back end. The terminal back end lives in
// terminal_backend.cpp; both show the same grid.
#include "platform/term/console.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

#include "platform/os/os.h"
#include "platform/term/backend.h"

namespace term {

namespace {

// Scripted input for the memory back end. When a script runs dry the back end
// answers Esc, so that a screen under test unwinds instead of waiting forever; a
// screen that keeps asking after many of those aborts the test run loudly.
class MemoryBackend : public Backend {
public:
    MemoryBackend(int w, int h) : width_(w), height_(h) {}
    void present(const Grid&) override {}
    bool readInput(InputEvent& event, int timeoutMs) override {
        if (!queue_.empty()) {
            event = queue_.front();
            queue_.pop_front();
            return true;
        }
        if (timeoutMs >= 0) return false;
        if (++starved_ > 1000) {
            std::fputs("memory console: input script exhausted\n", stderr);
            std::abort();
        }
        event = characterKey(27);
        return true;
    }
    void flushInput() override { queue_.clear(); }
    bool hasMouse() override { return true; }
    void setMouseReporting(bool) override {}
    void beep() override {}
    void size(int& w, int& h) override { w = width_; h = height_; }

    std::deque<InputEvent> queue_;
    int width_, height_;
    int starved_ = 0;
};

struct ConsoleState {
    Grid grid;
    std::unique_ptr<Backend> backend;
    MemoryBackend* memory = nullptr;
    int beeps = 0;
    std::string clipboard;
    std::string stateFolder;
    bool mouseReporting = false;
};

ConsoleState& state() {
    static ConsoleState s;
    return s;
}

void ensureOpen() {
    if (!state().backend) openMemory(80, 25);
}

void adoptSize(int w, int h) {
    Grid& g = state().grid;
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    if (w == g.width && h == g.height) return;
    std::vector<Cell> cells(static_cast<size_t>(w) * h, Cell{' ', g.attr});
    for (int r = 1; r <= std::min(h, g.height); ++r)
        for (int c = 1; c <= std::min(w, g.width); ++c) cells[(r - 1) * w + (c - 1)] = g.at(r, c);
    g.cells = std::move(cells);
    g.width = w;
    g.height = h;
    if (g.cursorRow > h) g.cursorRow = h;
    if (g.cursorColumn > w) g.cursorColumn = w;
}

// A terminal smaller than the 80 x 25 screen the module paints shows the top
// left of it; the screen itself stays whole, since the module paints its form
// once and does not repaint it, so that a terminal made small and then large
// again shows everything and windows opened meanwhile still save and restore it.
void adoptTerminalSize(int w, int h) { adoptSize(std::max(w, 80), std::max(h, 25)); }

std::string keyboardStateFile() {
    return state().stateFolder + "KbdState.tmp";
}

}  // namespace

Grid& grid() {
    ensureOpen();
    return state().grid;
}

InputEvent characterKey(uint8_t ch, uint32_t controlState) {
    InputEvent e;
    e.kind = InputEvent::Kind::key;
    e.character = ch;
    e.controlState = controlState;
    return e;
}

InputEvent extendedKey(uint8_t scanCode, uint32_t controlState) {
    InputEvent e;
    e.kind = InputEvent::Kind::key;
    e.scanCode = scanCode;
    e.controlState = controlState;
    return e;
}

InputEvent mouseRelease(int row, int column, int button) {
    InputEvent e;
    e.kind = InputEvent::Kind::mouseRelease;
    e.row = static_cast<int16_t>(row);
    e.column = static_cast<int16_t>(column);
    e.button = static_cast<int16_t>(button);
    return e;
}

int width() { return grid().width; }
int height() { return grid().height; }

void setCursorPosition(int row, int column) {
    Grid& g = grid();
    g.cursorRow = std::clamp(row, 1, g.height);
    g.cursorColumn = std::clamp(column, 1, g.width);
}
int cursorRow() { return grid().cursorRow; }
int cursorColumn() { return grid().cursorColumn; }
void setCursorVisible(bool visible) { grid().cursorVisible = visible; }
bool cursorVisible() { return grid().cursorVisible; }
void setCursorShape(CursorShape shape) { grid().cursorShape = shape; }
CursorShape cursorShape() { return grid().cursorShape; }
void setTextAttribute(uint8_t attr) { grid().attr = attr; }
uint8_t textAttribute() { return grid().attr; }

void writeText(std::string_view text) {
    Grid& g = grid();
    int row = g.cursorRow, col = g.cursorColumn;
    for (unsigned char ch : text) {
        if (row > g.height) break;
        g.at(row, col) = Cell{ch, g.attr};
        if (++col > g.width) {
            col = 1;
            ++row;
        }
    }
    if (row > g.height) {
        row = g.height;
        col = g.width;
    }
    g.cursorRow = row;
    g.cursorColumn = col;
}

Cell readCell(int row, int column) {
    Grid& g = grid();
    if (!g.contains(row, column)) return Cell{' ', 0x07};
    return g.at(row, column);
}

void writeCell(int row, int column, Cell cell) {
    Grid& g = grid();
    if (g.contains(row, column)) g.at(row, column) = cell;
}

void scrollRectangle(int top, int left, int bottom, int right, int rows, uint8_t fillAttr) {
    Grid& g = grid();
    top = std::max(top, 1);
    left = std::max(left, 1);
    bottom = std::min(bottom, g.height);
    right = std::min(right, g.width);
    if (top > bottom || left > right || rows == 0) return;
    const int span = bottom - top + 1;
    const Cell blank{' ', fillAttr};
    if (rows >= span || -rows >= span) {
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c) g.at(r, c) = blank;
        return;
    }
    if (rows > 0) {
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c) g.at(r, c) = r + rows <= bottom ? g.at(r + rows, c) : blank;
    } else {
        const int down = -rows;
        for (int r = bottom; r >= top; --r)
            for (int c = left; c <= right; ++c) g.at(r, c) = r - down >= top ? g.at(r - down, c) : blank;
    }
}

void clearScreen() {
    Grid& g = grid();
    for (Cell& c : g.cells) c = Cell{' ', g.attr};
    g.cursorRow = 1;
    g.cursorColumn = 1;
}

void present() {
    ensureOpen();
    state().backend->present(state().grid);
}

bool readInput(InputEvent& event, int timeoutMs) {
    ensureOpen();
    for (;;) {
        state().backend->present(state().grid);
        if (!state().backend->readInput(event, timeoutMs)) return false;
        if (event.kind != InputEvent::Kind::resize) return true;
        int w = 0, h = 0;
        state().backend->size(w, h);
        adoptTerminalSize(w, h);
    }
}

void flushInput() {
    ensureOpen();
    state().backend->flushInput();
}

bool hasMouse() {
    ensureOpen();
    return state().backend->hasMouse();
}

void setMouseReporting(bool on) {
    ensureOpen();
    state().mouseReporting = on;
    state().backend->setMouseReporting(on);
}

void beep() {
    ensureOpen();
    ++state().beeps;
    state().backend->beep();
}

int beepCount() { return state().beeps; }

void setStateFolder(std::string folder) { state().stateFolder = std::move(folder); }

bool insertToggle() {
    std::string contents;
    if (!os::readWholeFile(keyboardStateFile(), contents)) return false;
    return !contents.empty() && contents[0] == '1';
}

void setInsertToggle(bool on) {
    os::writeFileAtomically(keyboardStateFile(), on ? "1\r\n" : "0\r\n");
}

std::string clipboardText() { return state().clipboard; }

void setClipboardText(std::string_view text) {
    ensureOpen();
    state().clipboard = std::string(text);
    state().backend->publishClipboard(text);
}

bool openTerminal() {
    close();
    Backend* b = createTerminalBackend();
    if (!b) return false;
    state().backend.reset(b);
    state().memory = nullptr;
    state().grid = Grid{};
    int w = 80, h = 25;
    b->size(w, h);
    state().grid.width = 0;
    state().grid.height = 0;
    adoptTerminalSize(w, h);
    return true;
}

void openMemory(int w, int h) {
    close();
    auto m = std::make_unique<MemoryBackend>(w, h);
    state().memory = m.get();
    state().backend = std::move(m);
    state().grid = Grid{};
    adoptSize(w, h);
}

void close() {
    ConsoleState& s = state();
    s.backend.reset();
    s.memory = nullptr;
    s.grid = Grid{};
    s.beeps = 0;
    s.mouseReporting = false;
}

bool isTerminal() { return state().backend && state().backend->isTerminal(); }

void suspendScreen() {
    if (state().backend) state().backend->suspend();
}

void resumeScreen() {
    if (state().backend) state().backend->resume();
}

void queueInput(const InputEvent& event) {
    ensureOpen();
    if (state().memory) state().memory->queue_.push_back(event);
}

void queueInput(const std::vector<InputEvent>& events) {
    for (const InputEvent& e : events) queueInput(e);
}

void queueText(std::string_view text) {
    for (unsigned char ch : text) queueInput(characterKey(ch));
}

std::size_t pendingInputCount() {
    ensureOpen();
    return state().memory ? state().memory->queue_.size() : 0;
}

std::string rowText(int row) {
    Grid& g = grid();
    std::string out;
    if (row < 1 || row > g.height) return out;
    for (int c = 1; c <= g.width; ++c) out.push_back(static_cast<char>(g.at(row, c).ch));
    return out;
}

std::string screenText() {
    std::string out;
    for (int r = 1; r <= grid().height; ++r) {
        if (r > 1) out.push_back('\n');
        out += rowText(r);
    }
    return out;
}

std::string rowAttributes(int row) {
    static const char hex[] = "0123456789ABCDEF";
    Grid& g = grid();
    std::string out;
    if (row < 1 || row > g.height) return out;
    for (int c = 1; c <= g.width; ++c) {
        uint8_t a = g.at(row, c).attr;
        out.push_back(hex[a >> 4]);
        out.push_back(hex[a & 15]);
    }
    return out;
}

std::string screenAttributes() {
    std::string out;
    for (int r = 1; r <= grid().height; ++r) {
        if (r > 1) out.push_back('\n');
        out += rowAttributes(r);
    }
    return out;
}

void resizeMemory(int w, int h) {
    ensureOpen();
    if (state().memory) {
        state().memory->width_ = w;
        state().memory->height_ = h;
    }
    adoptSize(w, h);
}

}  // namespace term
