// Stacked pop-up windows, frames, colour slots, scrolling and the browse list's
// top border.
//
// The window stack file (tempDir + "WinPush.tmp") is shared with every other
// program of the session on this terminal, so its layout is fixed:
//   bytes 1..4   end pointer, 32-bit little-endian: the 1-based position just after
//                the last record (5 when the stack is empty);
//   records      back to back, oldest first, each:
//                cursor row, cursor column, the enclosing window's top, left,
//                bottom, right, the saved rectangle's top, left, bottom, right
//                (ten fields of two decimal digits), then the cells row by row
//                (character byte, attribute byte), then the record length in five
//                decimal digits (25 + number of cell bytes).
// The trailing length lets a pop find the top record from the end pointer alone.
// A pop only moves the end pointer back; the next push overwrites what lies
// beyond it. The file is opened and closed on every push and pop, so nothing is
// held open while the operator works.
#include "console/windows.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/term/console.h"

WindowState windowState;

namespace {

// Two-digit fields hold 0..99: coordinates beyond that (consoles wider or taller
// than 99 cells) are saved as 99, so the part of a window beyond row or column 99
// is not saved and not restored.
constexpr int largestField = 99;
constexpr int headerLength = 20;  // ten two-digit fields
constexpr int trailerLength = 5;  // five-digit record length
constexpr int emptyEndPointer = 5;

int clampField(int value) { return std::clamp(value, 0, largestField); }

void appendTwoDigits(std::string& out, int value) {
    value = clampField(value);
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// Digits of a field; -1 when any byte is not a decimal digit.
int parseDigits(const std::string& bytes, size_t offset, size_t count) {
    if (offset + count > bytes.size()) return -1;
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[offset + i]);
        if (!std::isdigit(c)) return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

long fileLength(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    return std::ftell(f);
}

bool readAt(std::FILE* f, long offset, std::string& out, size_t count) {
    out.assign(count, '\0');
    if (std::fseek(f, offset, SEEK_SET) != 0) return false;
    return std::fread(out.data(), 1, count, f) == count;
}

bool writeAt(std::FILE* f, long offset, const std::string& bytes) {
    if (std::fseek(f, offset, SEEK_SET) != 0) return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

// The end pointer at position 1, or 0 when the file is too short to hold one.
long readEndPointer(std::FILE* f, long size) {
    if (size < 4) return 0;
    std::string raw;
    if (!readAt(f, 0, raw, 4)) return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(raw[i]);
    return static_cast<long>(static_cast<int32_t>(v));
}

bool writeEndPointer(std::FILE* f, long pointer) {
    std::string raw(4, '\0');
    uint32_t v = static_cast<uint32_t>(static_cast<int32_t>(pointer));
    for (int i = 0; i < 4; ++i) raw[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return writeAt(f, 0, raw);
}

bool windowOpen() { return windowState.windowDepth > 0; }

void writeAtScreen(int row, int column, std::string_view text) {
    term::setCursorPosition(row, column);
    term::writeText(text);
}

// Paints a record's saved cells back and makes its enclosing window current again.
// False, with nothing changed, when the record's numbers do not hold together.
bool restoreRecord(const std::string& bytes, int recordLength) {
    int field[10] = {};
    bool valid = true;
    for (int i = 0; valid && i < 10; ++i) {
        field[i] = parseDigits(bytes, 2 * i, 2);
        valid = field[i] >= 0;
    }
    const int t = field[6], l = field[7], b = field[8], r = field[9];
    valid = valid && t >= 1 && l >= 1 && t <= b && l <= r &&
            recordLength == headerLength + 2 * (b - t + 1) * (r - l + 1) + trailerLength &&
            static_cast<int>(bytes.size()) >= recordLength;
    if (!valid) return false;
    size_t at = headerLength;
    for (int row = t; row <= b; ++row) {
        for (int col = l; col <= r; ++col) {
            term::writeCell(row, col, term::Cell{static_cast<uint8_t>(bytes[at]), static_cast<uint8_t>(bytes[at + 1])});
            at += 2;
        }
    }
    term::setCursorPosition(field[0], field[1]);
    windowState.top = static_cast<int16_t>(field[2]);
    windowState.left = static_cast<int16_t>(field[3]);
    windowState.bottom = static_cast<int16_t>(field[4]);
    windowState.right = static_cast<int16_t>(field[5]);
    return true;
}

}  // namespace

std::string windowStackFileName() { return sessionSettings.tempDir + "WinPush.tmp"; }

void pushWindow(int16_t top, int16_t left, int16_t bottom, int16_t right) {
    const int h = screenHeight(), w = screenWidth();
    if (top < 1 || top > h || bottom < 1 || bottom > h || left < 1 || left > w || right < 1 || right > w) return;
    // An upside-down rectangle has no cells to save; treat it like one off the screen.
    if (top > bottom || left > right) return;

    const int t = clampField(top), l = clampField(left), b = clampField(bottom), r = clampField(right);
    std::string record;
    record.reserve(headerLength + 2 * (b - t + 1) * (r - l + 1) + trailerLength);
    appendTwoDigits(record, term::cursorRow());
    appendTwoDigits(record, term::cursorColumn());
    appendTwoDigits(record, windowState.top);
    appendTwoDigits(record, windowState.left);
    appendTwoDigits(record, windowState.bottom);
    appendTwoDigits(record, windowState.right);
    appendTwoDigits(record, t);
    appendTwoDigits(record, l);
    appendTwoDigits(record, b);
    appendTwoDigits(record, r);
    for (int row = t; row <= b; ++row) {
        for (int col = l; col <= r; ++col) {
            term::Cell c = term::readCell(row, col);
            record.push_back(static_cast<char>(c.ch));
            record.push_back(static_cast<char>(c.attr));
        }
    }
    char length[16];
    std::snprintf(length, sizeof length, "%05d", static_cast<int>(record.size()) + trailerLength);
    record += length;

    const std::string name = windowStackFileName();
    std::FILE* f = os::openFile(name, "r+b");
    if (!f) f = os::openFile(name, "w+b");
    bool written = false;
    if (f) {
        const long size = fileLength(f);
        long end = readEndPointer(f, size);
        // A pointer that does not lie inside the file belongs to a damaged stack:
        // start a fresh one rather than leave a gap of garbage below the new record.
        if (end < emptyEndPointer || end > size + 1) end = emptyEndPointer;
        written = writeAt(f, end - 1, record) && writeEndPointer(f, end + static_cast<long>(record.size()));
        std::fclose(f);
    }
    // Without a stack file the window still opens and still gives the screen back.
    if (!written) windowState.unsavedRecords.emplace_back(windowState.windowDepth, std::move(record));

    windowState.top = top;
    windowState.left = left;
    windowState.bottom = bottom;
    windowState.right = right;
    ++windowState.windowDepth;
}

void popWindow() {
    if (!windowState.unsavedRecords.empty() &&
        windowState.unsavedRecords.back().first + 1 == windowState.windowDepth) {
        const std::string bytes = std::move(windowState.unsavedRecords.back().second);
        windowState.unsavedRecords.pop_back();
        --windowState.windowDepth;
        restoreRecord(bytes, static_cast<int>(bytes.size()));
        return;
    }
    const std::string name = windowStackFileName();
    std::FILE* f = os::openFile(name, "r+b");
    if (!f) return;

    const long size = fileLength(f);
    long newEnd = 0;  // below 6: the file goes
    if (size > 3) {
        if (windowState.windowDepth > 0) --windowState.windowDepth;
        const long end = readEndPointer(f, size);
        // Every number read from the file is checked before it is used: a damaged
        // or truncated stack restores nothing instead of painting garbage.
        std::string bytes;
        int recordLength = -1;
        if (end >= emptyEndPointer + headerLength + 2 + trailerLength && end <= size + 1 &&
            readAt(f, end - 1 - trailerLength, bytes, trailerLength))
            recordLength = parseDigits(bytes, 0, trailerLength);
        const long start = end - recordLength;
        bool valid = recordLength >= headerLength + 2 + trailerLength && start >= emptyEndPointer &&
                     readAt(f, start - 1, bytes, static_cast<size_t>(recordLength));
        valid = valid && restoreRecord(bytes, recordLength);
        if (valid) {
            newEnd = start;
            if (newEnd >= 6) writeEndPointer(f, newEnd);
        } else if (windowState.windowDepth == 0) {
            windowState.top = windowState.left = windowState.bottom = windowState.right = 0;
        }
    }
    std::fclose(f);
    if (newEnd < 6) os::removeFile(name);
}

void drawFrame(int16_t style) {
    if (!windowOpen()) return;
    char tl = 0, tr = 0, bl = 0, br = 0, hz = 0, vt = 0;
    switch (style) {
        case 0: tl = tr = bl = br = hz = vt = ' '; break;
        case 1:  // ┌ ┐ └ ┘ ─ │
            tl = '\xDA', tr = '\xBF', bl = '\xC0', br = '\xD9', hz = '\xC4', vt = '\xB3';
            break;
        case 2:  // ╔ ╗ ╚ ╝ ═ ║
            tl = '\xC9', tr = '\xBB', bl = '\xC8', br = '\xBC', hz = '\xCD', vt = '\xBA';
            break;
        default: break;
    }
    const int top = windowState.top, left = windowState.left, bottom = windowState.bottom, right = windowState.right;
    const int inner = std::max(0, right - left - 1);
    writeAtScreen(top, left, std::string(1, tl) + std::string(inner, hz) + std::string(1, tr));
    for (int row = top + 1; row <= bottom - 1; ++row)
        writeAtScreen(row, left, std::string(1, vt) + std::string(inner, ' ') + std::string(1, vt));
    if (bottom > top) writeAtScreen(bottom, left, std::string(1, bl) + std::string(inner, hz) + std::string(1, br));
}

void locateInWindow(int16_t row, int16_t column) {
    if (windowOpen())
        term::setCursorPosition(windowState.top + row, windowState.left + column);
    else
        term::setCursorPosition(row, column);
}

void writeInWindow(int16_t row, int16_t column, std::string_view text) {
    locateInWindow(row, column);
    term::writeText(text);
}

int16_t windowFirstRow() { return windowOpen() ? windowState.top + 1 : 1; }
int16_t windowFirstColumn() { return windowOpen() ? windowState.left + 1 : 1; }
int16_t windowLastColumn() { return windowOpen() ? windowState.right - 1 : screenWidth(); }
int16_t screenWidth() { return static_cast<int16_t>(term::width()); }
int16_t screenHeight() { return static_cast<int16_t>(term::height()); }

uint8_t colorSlotAttribute(int16_t slot) {
    if (slot < 0 || slot > 4) slot = 0;
    const ColorSlot& c = sessionSettings.colorTable[slot];
    return static_cast<uint8_t>((c.foreground & 15) + 16 * (c.background & 15));
}

void setColor(std::string_view code) {
    std::string upper;
    for (char c : code) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (upper.find_first_not_of(' ') == std::string::npos) return;

    const auto has = [&](char letter) { return upper.find(letter) != std::string::npos; };
    if (has('+')) windowState.colorStack.push_back(static_cast<char>(windowState.currentColorSlot));
    int16_t slot = 0;
    if (has('-')) {
        if (!windowState.colorStack.empty()) {
            slot = static_cast<unsigned char>(windowState.colorStack.back());
            windowState.colorStack.pop_back();
        }
    } else if (has('U')) {
        slot = 4;
    } else {
        slot = static_cast<int16_t>((has('R') ? 2 : 0) + (has('N') ? 1 : 0));
    }
    if (slot > 4) slot = 0;
    term::setTextAttribute(colorSlotAttribute(slot));
    windowState.currentColorSlot = slot;
}

void scrollArea(int16_t top, int16_t left, int16_t bottom, int16_t right, int16_t count) {
    const int rows = count == 0 ? -1 : count;
    term::scrollRectangle(top + 1, left + 1, bottom + 1, right + 1, rows, term::textAttribute());
}

void drawListTopBorder(std::string_view title, int16_t firstColumn, int16_t width, int16_t widestOverflow) {
    setColor("+n");
    locateInWindow(0, 0);
    std::string line;
    line.push_back(firstColumn == 1 ? '\xC9' : '\x11');  // ╔ or ◄
    for (int pos = firstColumn; pos <= firstColumn + width - 1; ++pos) {
        char c = pos >= 1 && pos <= static_cast<int>(title.size()) ? title[pos - 1] : ' ';
        if (c == '_')
            c = ' ';
        else if (c == ' ')
            c = '\xCD';  // ═
        line.push_back(c);
    }
    const bool atRightEnd = firstColumn > widestOverflow && static_cast<int>(title.size()) < firstColumn + width;
    line.push_back(atRightEnd ? '\xBB' : '\x10');  // ╗ or ►
    term::writeText(line);
    setColor("-");
}
