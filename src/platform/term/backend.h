// What a console back end does: show the grid and deliver input. The grid itself,
// the cursor and the colours are kept by console.cpp; a back end never holds its
// own copy of the truth.
#pragma once

#include <string_view>
#include <vector>

#include "platform/term/console.h"

namespace term {

struct Grid {
    int width = 0;
    int height = 0;
    std::vector<Cell> cells;  // row-major, (row - 1) * width + (column - 1)
    int cursorRow = 1;
    int cursorColumn = 1;
    bool cursorVisible = true;
    CursorShape cursorShape = CursorShape::half;
    uint8_t attr = 0x07;

    Cell& at(int row, int column) { return cells[(row - 1) * width + (column - 1)]; }
    bool contains(int row, int column) const {
        return row >= 1 && row <= height && column >= 1 && column <= width;
    }
};

class Backend {
public:
    virtual ~Backend() = default;
    // Brings the visible screen in line with the grid.
    virtual void present(const Grid& grid) = 0;
    // One event within timeoutMs (-1 = no limit). A resize event tells the console
    // to adopt newWidth/newHeight (the back end reports them through `size`).
    virtual bool readInput(InputEvent& event, int timeoutMs) = 0;
    virtual void flushInput() = 0;
    virtual bool hasMouse() = 0;
    virtual void setMouseReporting(bool on) = 0;
    virtual void beep() = 0;
    // Hands clipboard text to the outside world where the back end can (OSC 52).
    virtual void publishClipboard(std::string_view cp850) {}
    // Current size of the visible screen.
    virtual void size(int& width, int& height) = 0;
    virtual bool isTerminal() const { return false; }
    // Hands the terminal to another program (its normal screen and modes) and
    // takes it back afterwards with a full repaint.
    virtual void suspend() {}
    virtual void resume() {}
};

// The console's current grid and back end (console.cpp).
Grid& grid();
// Terminal back end factory (terminal_backend.cpp); nullptr when no terminal.
Backend* createTerminalBackend();

}  // namespace term
