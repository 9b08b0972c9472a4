#include "format/text_utils.h"

#include "platform/os/os.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

TextUtilsState textUtilsState;

namespace {

// Folding tables for the codes 64..237; entry k - 64 serves code k.
//
// plainFoldTable folds to bare capitals: every letter, accented or not, becomes
// its unaccented capital, and every other code of the range becomes a blank, so
// that a letter typed in a choice list finds its option whatever the accents.
const unsigned char plainFoldTable[174] = {
     32,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  // 64..75
     76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  // 76..87
     88,  89,  90,  32,  32,  32,  32,  32,  32,  65,  66,  67,  // 88..99
     68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  // 100..111
     80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  32,  // 112..123
     32,  32,  32,  32,  67,  85,  69,  65,  65,  65,  65,  67,  // 124..135
     69,  69,  69,  73,  73,  73,  65,  65,  69,  65,  65,  79,  // 136..147
     79,  79,  85,  85,  89,  79,  85,  79,  32,  79,  32,  32,  // 148..159
     65,  73,  79,  85,  78,  78,  65,  79,  32,  32,  32,  32,  // 160..171
     32,  32,  32,  32,  32,  32,  32,  32,  32,  65,  65,  65,  // 172..183
     32,  32,  32,  32,  32,  32,  32,  32,  32,  32,  32,  32,  // 184..195
     32,  32,  65,  65,  32,  32,  32,  32,  32,  32,  32,  32,  // 196..207
     68,  68,  69,  69,  69,  69,  73,  73,  73,  32,  32,  32,  // 208..219
     32,  32,  73,  32,  79,  83,  79,  79,  79,  79,  32,  84,  // 220..231
     84,  85,  85,  85,  89,  89,  // 232..237
};

// upperFoldTable is the plain upper-case conversion of code page 850: small
// letters, accented or not, become their capitals; the rest stays. ÿ and ø have no
// capital here and stay as they are.
const unsigned char upperFoldTable[174] = {
     64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  // 64..75
     76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  // 76..87
     88,  89,  90,  91,  92,  93,  94,  95,  96,  65,  66,  67,  // 88..99
     68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  // 100..111
     80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90, 123,  // 112..123
    124, 125, 126, 127, 128, 154, 144, 182, 142, 183, 143, 128,  // 124..135
    210, 211, 212, 216, 215, 222, 142, 143, 144, 146, 146, 226,  // 136..147
    153, 227, 234, 235, 152, 153, 154, 155, 156, 157, 158, 159,  // 148..159
    181, 214, 224, 233, 165, 165, 166, 167, 168, 169, 170, 171,  // 160..171
    172, 173, 174, 175, 176, 177, 178, 179, 180, 181, 182, 183,  // 172..183
    184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195,  // 184..195
    196, 197, 199, 199, 200, 201, 202, 203, 204, 205, 206, 207,  // 196..207
    209, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219,  // 208..219
    220, 221, 222, 223, 224, 225, 226, 227, 229, 229, 230, 231,  // 220..231
    232, 233, 234, 235, 237, 237,  // 232..237
};


constexpr int kFoldFirst = 64;
constexpr int kFoldLast = 237;

// The decimal value of a digit text that unpackDigits wrote (digits only).
double digitValue(std::string_view digits) {
    double value = 0;
    for (char c : digits)
        if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
    return value;
}

}  // namespace

bool isAllChar(std::string_view text, int16_t code) {
    // A code given as a signed character (a byte above 127 seen through char)
    // still means that byte.
    int wanted = code;
    if (wanted < 0 && wanted >= -128) wanted += 256;
    for (unsigned char c : text)
        if (c != wanted) return false;
    return true;
}

int16_t centerOffset(std::string_view text, int16_t width) {
    long long offset = (static_cast<long long>(width) - static_cast<long long>(text.size())) / 2;
    if (offset < INT16_MIN) offset = INT16_MIN;
    return static_cast<int16_t>(offset);
}

std::string zeroPad(double number, int16_t width) {
    if (width <= 0) return {};
    std::string digits;
    if (std::isfinite(number)) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.0f", std::fabs(number));
        digits = buf;
    }
    if (digits.size() >= static_cast<size_t>(width)) return digits.substr(digits.size() - width);
    return std::string(width - digits.size(), '0') + digits;
}

std::string packDigits(std::string_view digits) {
    const size_t n = digits.size();
    if (n == 0) return {};
    // Blanks around the digits count as leading zeros, blanks inside them as zeros.
    size_t first = digits.find_first_not_of(' ');
    std::string padded(n, '0');
    if (first != std::string_view::npos) {
        size_t last = digits.find_last_not_of(' ');
        std::string_view core = digits.substr(first, last - first + 1);
        padded.replace(n - core.size(), core.size(), core);
        for (char& c : padded)
            if (c == ' ') c = '0';
    }
    auto value = [&](size_t i) { return (i < n && padded[i] >= '0' && padded[i] <= '9') ? padded[i] - '0' : 0; };
    std::string packed((n + 1) / 2, '\0');
    for (size_t i = 0; i < packed.size(); ++i)
        packed[i] = static_cast<char>(128 + 10 * value(2 * i) + value(2 * i + 1));
    return packed;
}

std::string unpackDigits(std::string_view bytes) {
    std::string digits;
    digits.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        int v = (b & 0x7F) % 100;
        digits += static_cast<char>('0' + v / 10);
        digits += static_cast<char>('0' + v % 10);
    }
    return digits;
}

std::string packedDateText(std::string_view packed) {
    const size_t length = packed.size();
    double day = length >= 1 ? digitValue(unpackDigits(packed.substr(length - 1))) : 0;
    double month = length >= 2 ? digitValue(unpackDigits(packed.substr(length - 2, 1))) : 0;
    if (day == 0 && month == 0) return {};
    double year = digitValue(unpackDigits(length >= 2 ? packed.substr(0, length - 2) : packed));

    const int thisYear = os::localNow().year;
    std::string text = zeroPad(day, 2) + zeroPad(month, 2);
    if (year >= thisYear - 50 && year <= thisYear + 49)
        text += zeroPad(std::fmod(year, 100), 2);
    else
        text += zeroPad(year, 4);
    return text;
}

void pushText(std::string_view text) {
    // The length word is a signed 16-bit value: a longer item is cut so that the
    // stack stays readable for every other caller.
    if (text.size() > 32767) text = text.substr(0, 32767);
    const auto n = static_cast<uint16_t>(text.size());
    textUtilsState.textStack.append(text);
    textUtilsState.textStack += static_cast<char>(n & 0xFF);
    textUtilsState.textStack += static_cast<char>(n >> 8);
}

std::string popText() {
    std::string& stack = textUtilsState.textStack;
    if (stack.size() < 2) {
        stack.clear();
        return {};
    }
    const size_t n = static_cast<unsigned char>(stack[stack.size() - 2]) |
                     (static_cast<size_t>(static_cast<unsigned char>(stack[stack.size() - 1]) & 0x7F) << 8);
    const size_t body = stack.size() - 2;
    // A length word that claims more than the stack holds can only come from a
    // caller that popped what it did not push; give back what is there.
    const size_t start = n <= body ? body - n : 0;
    std::string item = stack.substr(start, body - start);
    stack.resize(start);
    return item;
}

std::string foldText(std::string_view text) {
    const unsigned char* table = textUtilsState.foldAccents ? plainFoldTable : upperFoldTable;
    std::string folded(text);
    for (char& c : folded) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= kFoldFirst && code <= kFoldLast) c = static_cast<char>(table[code - kFoldFirst]);
    }
    return folded;
}
