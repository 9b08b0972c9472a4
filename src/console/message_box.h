// Message boxes, paragraph formatting and the help viewer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// F1 help of a topic: the launcher in run mode "WIN", otherwise the text viewer
// (its steps are in help_viewer.h). Returns when the operator leaves it.
void showHelp(std::string_view topic);
// Leaves the box open; the caller closes it with popWindow.
void showMessageBox(int16_t row, std::string& text);
void formatParagraph(std::string& text, int16_t indent, int16_t width, char alignment);
