// Items of the suite's comma-separated definition files: the form definition
// (".JPN") and the language files (".LNG") are read with the same rules.
//
//  - blanks before an item are skipped;
//  - an item that starts with a double quote runs to the next double quote (commas,
//    blanks and line ends included); whatever follows the closing quote up to the
//    comma or line end that ends the item is dropped;
//  - any other item runs to the next comma or line end and keeps its trailing
//    blanks; tab characters inside it are dropped;
//  - a line end (CR LF, a lone CR or a lone LF) separates items like a comma; an
//    empty line read where an item is expected is an empty item;
//  - a number item also ends at a blank, so two numbers separated only by blanks
//    are two items. Its value is its leading decimal integer (blanks, a sign,
//    digits; whatever follows is ignored; no digits give 0).
//
// The file is read through a small buffer; nothing is held beyond the reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

struct ItemReader {
    std::FILE* file = nullptr;
    char buffer[16384];
    size_t bufferLength = 0;
    size_t bufferPosition = 0;
    long long bufferStart = 0;  // file offset of buffer[0]
    bool endOfFile = false;
    // The last item ended at a comma: one more item follows, even when the file
    // ends right after the comma.
    bool commaPending = false;
};

enum class ItemStatus {
    read,        // the item was read
    missing,     // the file ended before the item
    tooLong,     // a text item was longer than kMaxItemLength; the rest was dropped
    outOfRange,  // a number item does not fit in 16 bits
};

// No text of the system is longer than its 16-bit length words allow.
constexpr size_t kMaxItemLength = 32767;

bool openItems(ItemReader& reader, std::string_view fileName);
void closeItems(ItemReader& reader);
// Nothing is left to read.
bool atEndOfItems(ItemReader& reader);
ItemStatus readTextItem(ItemReader& reader, std::string& item);
ItemStatus readNumberItem(ItemReader& reader, int16_t& value);
// At the start of a record: drops every line whose first non-blank character is
// an apostrophe, and stops at the start of the first other line.
void skipCommentLines(ItemReader& reader);
