#include "console/windows.h"

WindowState windowState;

void pushWindow(int16_t, int16_t, int16_t, int16_t) {}
void popWindow() {}
void drawFrame(int16_t) {}
void locateInWindow(int16_t, int16_t) {}
int16_t windowFirstRow() { return 1; }
int16_t windowFirstColumn() { return 1; }
int16_t windowLastColumn() { return 80; }
int16_t screenWidth() { return 80; }
int16_t screenHeight() { return 25; }
void setColor(std::string_view) {}
void scrollArea(int16_t, int16_t, int16_t, int16_t, int16_t) {}
void drawListTopBorder(std::string_view, int16_t, int16_t, int16_t) {}
