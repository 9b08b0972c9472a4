// Text utilities: repeated-character test, centring, zero padding, compact numbers
// (two digits a byte, 128 + 10 x first + second), packed-date display text, the
// session's text stack, and upper-case folding of code page 850 text.
//
// Every text in the system is a byte string in code page 850; positions count from 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TextUtilsState {
    // Items back to back, each followed by its length as 2 bytes little-endian.
    std::string textStack;
    // Selects the folding table: true folds accents away as well.
    bool foldAccents = false;
};
extern TextUtilsState textUtilsState;

bool isAllChar(std::string_view text, int16_t code);
int16_t centerOffset(std::string_view text, int16_t width);
std::string zeroPad(double number, int16_t width);
std::string packDigits(std::string_view digits);
std::string unpackDigits(std::string_view bytes);
std::string packedDateText(std::string_view packed);
void pushText(std::string_view text);
std::string popText();
std::string foldText(std::string_view text);
