// Stacked pop-up windows saved to WinPush.tmp, frames, colours by attribute code,
// scrolling and the browse list's top border.
//
// A "window open" means windowDepth > 0; with none open the window procedures work
// in screen coordinates. The stack file keeps every coordinate in two decimal
// digits, so on a console wider or taller than 99 cells a window is saved only up
// to row and column 99 (see pushWindow in windows.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include <string_view>

struct WindowState {
    int16_t windowDepth = 0;
    int16_t top = 0, left = 0, bottom = 0, right = 0;  // currentWindow
    int16_t currentColorSlot = 0;
    std::string colorStack;  // one byte a saved slot, newest last
    // Records of windows opened while the stack file could not be written (the
    // temporary folder missing or read-only), newest last, each with the depth it
    // was pushed at: the screen under them must still come back.
    std::vector<std::pair<int16_t, std::string>> unsavedRecords;
};
extern WindowState windowState;

void pushWindow(int16_t top, int16_t left, int16_t bottom, int16_t right);
void popWindow();
void drawFrame(int16_t style);
void locateInWindow(int16_t row, int16_t column);
int16_t windowFirstRow();
int16_t windowFirstColumn();
int16_t windowLastColumn();
int16_t screenWidth();
int16_t screenHeight();
void setColor(std::string_view code);
void scrollArea(int16_t top, int16_t left, int16_t bottom, int16_t right, int16_t count);
void drawListTopBorder(std::string_view title, int16_t firstColumn, int16_t width, int16_t widestOverflow);

// Small helpers for the screen procedures.
// Writes the text at (row, column) of the current window (locateInWindow) in the
// current colour; the cursor ends after the text.
void writeInWindow(int16_t row, int16_t column, std::string_view text);
// The console attribute (foreground + 16 x background) of a colour slot 0..4 of
// the session's colour table; slots out of range give slot 0.
uint8_t colorSlotAttribute(int16_t slot);
// Full name of the window stack file: tempDir + "WinPush.tmp".
std::string windowStackFileName();
