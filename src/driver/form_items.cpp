#include "driver/form_items.h"

#include "platform/os/os.h"

#include <cstdint>

namespace {

constexpr int kEnd = -1;

int peekChar(ItemReader& r) {
    if (r.bufferPosition == r.bufferLength) {
        if (r.endOfFile || !r.file) return kEnd;
        r.bufferStart += static_cast<long long>(r.bufferLength);
        r.bufferLength = std::fread(r.buffer, 1, sizeof r.buffer, r.file);
        r.bufferPosition = 0;
        if (r.bufferLength == 0) {
            r.endOfFile = true;
            return kEnd;
        }
    }
    return static_cast<unsigned char>(r.buffer[r.bufferPosition]);
}

int getChar(ItemReader& r) {
    const int c = peekChar(r);
    if (c != kEnd) ++r.bufferPosition;
    return c;
}

long long tell(const ItemReader& r) { return r.bufferStart + static_cast<long long>(r.bufferPosition); }

void seek(ItemReader& r, long long position) {
    // Within the buffer a seek is only a move; a comment line longer than the
    // buffer takes a real one.
    if (position >= r.bufferStart && position <= r.bufferStart + static_cast<long long>(r.bufferLength)) {
        r.bufferPosition = static_cast<size_t>(position - r.bufferStart);
        return;
    }
    std::fseek(r.file, static_cast<long>(position), SEEK_SET);
    r.bufferStart = position;
    r.bufferLength = 0;
    r.bufferPosition = 0;
    r.endOfFile = false;
}

bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

void skipBlanks(ItemReader& r) {
    while (peekChar(r) == ' ') getChar(r);
}

// Consumes the comma or line end that ends an item (or nothing at the end of
// the file) and notes whether a comma promised another item.
void endItem(ItemReader& r) {
    const int c = getChar(r);
    r.commaPending = c == ',';
    if (c == '\r' && peekChar(r) == '\n') getChar(r);
}

// Reads a quoted item from its opening quote; drops what follows the closing
// quote up to the end of the item.
ItemStatus readQuoted(ItemReader& r, std::string& item) {
    ItemStatus status = ItemStatus::read;
    getChar(r);
    for (int c = getChar(r); c != kEnd && c != '"'; c = getChar(r)) {
        if (item.size() < kMaxItemLength)
            item += static_cast<char>(c);
        else
            status = ItemStatus::tooLong;
    }
    for (int c = peekChar(r); c != kEnd && c != ',' && !isLineEnd(c); c = peekChar(r)) getChar(r);
    endItem(r);
    return status;
}

// The start of an item: false when the file has ended and no comma promised one.
bool itemFollows(ItemReader& r) {
    skipBlanks(r);
    if (peekChar(r) != kEnd) return true;
    const bool pending = r.commaPending;
    r.commaPending = false;
    return pending;
}

// Leading integer of a text, in the way number items are read; false when it
// does not fit in 16 bits.
bool leadingInteger(std::string_view text, int16_t& value) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) i = text.size();
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 32768) return false;
    }
    const long v = negative ? -magnitude : magnitude;
    if (v < INT16_MIN || v > INT16_MAX) return false;
    value = static_cast<int16_t>(v);
    return true;
}

}  // namespace

bool openItems(ItemReader& reader, std::string_view fileName) {
    closeItems(reader);
    reader.file = os::openFile(fileName, "rb");
    return reader.file != nullptr;
}

void closeItems(ItemReader& reader) {
    if (reader.file) std::fclose(reader.file);
    reader.file = nullptr;
    reader.bufferLength = reader.bufferPosition = 0;
    reader.bufferStart = 0;
    reader.endOfFile = false;
    reader.commaPending = false;
}

bool atEndOfItems(ItemReader& reader) { return peekChar(reader) == kEnd; }

ItemStatus readTextItem(ItemReader& r, std::string& item) {
    item.clear();
    if (!itemFollows(r)) return ItemStatus::missing;
    if (peekChar(r) == '"') return readQuoted(r, item);
    ItemStatus status = ItemStatus::read;
    for (int c = peekChar(r); c != kEnd && c != ',' && !isLineEnd(c); c = peekChar(r)) {
        getChar(r);
        if (c == '\t') continue;
        if (item.size() < kMaxItemLength)
            item += static_cast<char>(c);
        else
            status = ItemStatus::tooLong;
    }
    endItem(r);
    return status;
}

ItemStatus readNumberItem(ItemReader& r, int16_t& value) {
    value = 0;
    if (!itemFollows(r)) return ItemStatus::missing;
    std::string text;
    if (peekChar(r) == '"') {
        readQuoted(r, text);
    } else {
        // Only the leading integer counts, so a long item is not kept whole: a few
        // characters beyond the longest 16-bit number are enough to see overflow.
        for (int c = peekChar(r); c != kEnd && c != ',' && c != ' ' && !isLineEnd(c); c = peekChar(r)) {
            getChar(r);
            if (c != '\t' && text.size() < 64) text += static_cast<char>(c);
        }
        if (peekChar(r) == ' ') {
            // Blanks end the number; a comma or line end after them belongs to it.
            skipBlanks(r);
            const int c = peekChar(r);
            if (c == ',' || isLineEnd(c) || c == kEnd)
                endItem(r);
            else
                r.commaPending = false;
        } else {
            endItem(r);
        }
    }
    return leadingInteger(text, value) ? ItemStatus::read : ItemStatus::outOfRange;
}

void skipCommentLines(ItemReader& r) {
    while (peekChar(r) != kEnd) {
        const long long lineStart = tell(r);
        skipBlanks(r);
        if (peekChar(r) != '\'') {
            seek(r, lineStart);
            return;
        }
        int c = getChar(r);
        while (c != kEnd && !isLineEnd(c)) c = getChar(r);
        if (c == '\r' && peekChar(r) == '\n') getChar(r);
    }
}
