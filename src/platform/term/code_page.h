// Code page 850 <-> Unicode. Inside the system every text is CP850 bytes; only the
// terminal back end (and tests that write expected screens in UTF-8) convert.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace term {

// Unicode code point shown for each CP850 byte; 0x00-0x1F and 0x7F are the DOS glyphs.
extern const char32_t cp850ToUnicode[256];

// The CP850 byte for a code point; -1 when code page 850 has none.
int unicodeToCp850(char32_t codePoint);

std::string cp850ToUtf8(std::string_view cp850);
// Characters with no CP850 byte are dropped; malformed UTF-8 bytes are dropped.
std::string utf8ToCp850(std::string_view utf8);

}  // namespace term
