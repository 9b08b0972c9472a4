#include "console/message_box.h"

void showHelp(std::string_view) {}
void showMessageBox(int16_t, std::string&) {}
void formatParagraph(std::string&, int16_t, int16_t, char) {}
