// The console: a grid of cells that is the truth of what the screen shows, a cursor,
// and a source of key and mouse events, in the shape of a Windows text console.
//
// Everything the system draws goes into the grid (code page 850 bytes and colour
// attributes, foreground + 16 x background, console colour numbers 0..15 in BIOS
// order). Reading a cell back reads the grid, never the terminal. A back end only
// shows the grid and delivers input: the terminal back end (ncursesw) for real use,
// the memory back end for tests. Before the console waits for input it presents
// the grid, so the screen is up to date whenever the operator is asked for a key.
//
// Coordinates are 1-based rows and columns. Writes outside the grid are clipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace term {

struct Cell {
    uint8_t ch = ' ';
    uint8_t attr = 0x07;
    bool operator==(const Cell&) const = default;
};

// Control-key state of an input event (the Windows console's flags).
enum ControlKey : uint32_t {
    rightAltPressed = 0x0001,
    leftAltPressed = 0x0002,
    rightCtrlPressed = 0x0004,
    leftCtrlPressed = 0x0008,
    shiftPressed = 0x0010,
    numLockOn = 0x0020,
};
constexpr uint32_t anyAltPressed = leftAltPressed | rightAltPressed;
constexpr uint32_t anyCtrlPressed = leftCtrlPressed | rightCtrlPressed;

struct InputEvent {
    enum class Kind : uint8_t { none, key, mouseRelease, resize };
    Kind kind = Kind::none;
    // Key: a character key carries its code page 850 code in `character` (scanCode
    // may be 0); an extended key has character 0 and its BIOS scan code.
    uint8_t character = 0;
    uint8_t scanCode = 0;
    uint32_t controlState = 0;
    // Mouse release: button 1 left, 2 right; 1-based screen position.
    int16_t button = 0;
    int16_t row = 0;
    int16_t column = 0;
};

InputEvent characterKey(uint8_t ch, uint32_t controlState = 0);
InputEvent extendedKey(uint8_t scanCode, uint32_t controlState = 0);
InputEvent mouseRelease(int row, int column, int button = 1);

enum class CursorShape : uint8_t { half, block };

// ---- Output ---------------------------------------------------------------
int width();
int height();
void setCursorPosition(int row, int column);
int cursorRow();
int cursorColumn();
void setCursorVisible(bool visible);
bool cursorVisible();
void setCursorShape(CursorShape shape);
CursorShape cursorShape();
void setTextAttribute(uint8_t attr);
uint8_t textAttribute();
// Writes the bytes at the cursor in the current attribute and moves the cursor on;
// at the end of a row it continues on the next one; past the last cell it stops.
void writeText(std::string_view cp850);
Cell readCell(int row, int column);
void writeCell(int row, int column, Cell cell);
// Moves the content of the rectangle up by `rows` (down when negative); the rows
// uncovered are filled with blanks in fillAttr. The rectangle is clipped to the grid.
void scrollRectangle(int top, int left, int bottom, int right, int rows, uint8_t fillAttr);
void clearScreen();
// Shows the grid now (the console also does so before it waits for input).
void present();

// ---- Input ----------------------------------------------------------------
// Waits up to timeoutMs (-1: without limit) for one event. False on time-out.
bool readInput(InputEvent& event, int timeoutMs = -1);
// Drops every event already waiting.
void flushInput();
// Whether the console can report mouse buttons, and switching the reports on/off.
bool hasMouse();
void setMouseReporting(bool on);
void beep();

// ---- Keyboard state and clipboard -------------------------------------------
// The Insert toggle lives in a small state file ("KbdState.tmp") in the folder set
// here, so it carries over between fields and between programs of the session.
void setStateFolder(std::string folder);
bool insertToggle();
void setInsertToggle(bool on);
std::string clipboardText();
void setClipboardText(std::string_view cp850);

// ---- Back ends ------------------------------------------------------------
// The terminal back end on the current terminal; false when there is none.
bool openTerminal();
// An in-memory console of the given size, for tests and batch runs.
void openMemory(int width = 80, int height = 25);
// Restores the terminal (when the terminal back end is open) and drops the grid.
void close();
bool isTerminal();
// Around another program that uses the terminal (the print program's pager, the
// help launcher): suspendScreen gives the terminal its normal screen and modes,
// resumeScreen takes it back and repaints everything.
void suspendScreen();
void resumeScreen();

// Memory back end: scripted input, and the screen as text.
void queueInput(const InputEvent& event);
void queueInput(const std::vector<InputEvent>& events);
// Queues one character key per byte (code page 850).
void queueText(std::string_view cp850);
std::size_t pendingInputCount();
// Bytes of a row, or of every row joined with "\n" (code page 850).
std::string rowText(int row);
std::string screenText();
// Attributes of a row, two hexadecimal digits per cell (background, foreground),
// or of every row joined with "\n".
std::string rowAttributes(int row);
std::string screenAttributes();
// Beeps sounded since the console was opened.
int beepCount();
void resizeMemory(int width, int height);

}  // namespace term
