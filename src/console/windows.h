// Stacked pop-up windows saved to WinPush.tmp, frames, colours by attribute code,
// scrolling and the browse list's top border.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct WindowState {
    int16_t windowDepth = 0;
    int16_t top = 0, left = 0, bottom = 0, right = 0;  // currentWindow
    int16_t currentColorSlot = 0;
    std::string colorStack;  // one byte a saved slot, newest last
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
