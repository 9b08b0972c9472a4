#include "format/text_utils.h"

TextUtilsState textUtilsState;

bool isAllChar(std::string_view, int16_t) { return false; }
int16_t centerOffset(std::string_view, int16_t) { return 0; }
std::string zeroPad(double, int16_t) { return {}; }
std::string packDigits(std::string_view) { return {}; }
std::string unpackDigits(std::string_view) { return {}; }
std::string packedDateText(std::string_view) { return {}; }
void pushText(std::string_view) {}
std::string popText() { return {}; }
std::string foldText(std::string_view text) { return std::string(text); }
