// The print file: one command a line for the suite's print program, which lays the
// pages out. Lines end with CR LF and the text is code page 850, as the print
// program reads it.
#include "report/print_file.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "driver/session_settings.h"
#include "platform/os/os.h"

PrintFileState printFileState;

namespace {

// A full report is millions of short lines: they are gathered here and handed to
// the file in large blocks.
constexpr std::size_t printBufferSize = 1 << 16;
char printBuffer[printBufferSize];
std::size_t printBufferUsed = 0;

void flushPrintBuffer() {
    if (printBufferUsed && printFileState.file &&
        std::fwrite(printBuffer, 1, printBufferUsed, printFileState.file) != printBufferUsed)
        printFileState.writeFailed = true;
    printBufferUsed = 0;
}

// Numbers are written the way the print program reads them: a blank or "-",
// the digits, one trailing blank (66 is " 66 ", -3 is "-3 ").
constexpr std::size_t numberWidth = 8;
char* putNumber(char* out, int value) {
    *out++ = value < 0 ? '-' : ' ';
    const long magnitude = value < 0 ? -static_cast<long>(value) : value;
    out = std::to_chars(out, out + numberWidth, magnitude).ptr;
    *out++ = ' ';
    return out;
}

void appendNumber(std::string& line, int value) {
    char digits[numberWidth + 2];
    line.append(digits, putNumber(digits, value));
}

// A failed write is remembered, so the caller can tell the operator instead of
// handing a half file to the print program.
void writeBytes(const char* data, std::size_t size) {
    if (!printFileState.file) return;
    if (printBufferUsed + size > printBufferSize) flushPrintBuffer();
    if (size > printBufferSize) {
        if (std::fwrite(data, 1, size, printFileState.file) != size) printFileState.writeFailed = true;
        return;
    }
    std::memcpy(printBuffer + printBufferUsed, data, size);
    printBufferUsed += size;
}

// Copies a text into a placed line with each control byte (below 32, 127 and 255)
// made a blank. Eight bytes at a time while none of them needs it: the texts are
// names, dates and amounts, where control bytes hardly ever occur.
char* putText(char* out, std::string_view text) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const char* in = text.data();
    std::size_t n = text.size();
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, in, 8);
        // A high bit for some byte below 32, equal to 127 or equal to 255 (exact
        // for whether there is one, which is all this asks).
        const uint64_t below32 = (w - 0x20 * ones) & ~w & highs;
        const uint64_t x7f = w ^ (0x7F * ones), xff = ~w;
        const uint64_t is7f = (x7f - ones) & ~x7f & highs, isff = (xff - ones) & ~xff & highs;
        if (below32 | is7f | isff) break;
        std::memcpy(out, in, 8);
        in += 8;
        out += 8;
        n -= 8;
    }
    for (; n > 0; --n) {
        const auto code = static_cast<unsigned char>(*in++);
        *out++ = (code < 32 || code == 127 || code == 255) ? ' ' : static_cast<char>(code);
    }
    return out;
}

// Writes one command and its CR LF.
void writeLine(std::string& line) {
    line += "\r\n";
    writeBytes(line.data(), line.size());
}

}  // namespace

std::string printFilePath() { return sessionSettings.tempDir + "zelprint.tmp"; }

void openPrintFile(std::string_view destination) {
    if (printFileState.file) closePrintFile();
    // Each file starts its own page count: a report is never continued from the
    // page state of the previous one.
    printFileState.pageLength = 0;
    printFileState.linesOnPage = 0;
    printFileState.writeFailed = false;
    printFileState.file = os::openFile(printFilePath(), "wb");
    if (!printFileState.file) {
        printFileState.writeFailed = true;
        return;
    }
    printBufferUsed = 0;
    std::string line = "DEVICE";
    line.append(destination);
    writeLine(line);
}

void closePrintFile() {
    if (!printFileState.file) return;
    // The last buffered lines reach the disk here; a full disk shows up now.
    flushPrintBuffer();
    if (std::fflush(printFileState.file) != 0 || std::ferror(printFileState.file))
        printFileState.writeFailed = true;
    if (std::fclose(printFileState.file) != 0) printFileState.writeFailed = true;
    printFileState.file = nullptr;
}

void startPrintPage(int16_t lines) {
    std::string line = "PAGE";
    appendNumber(line, lines);
    writeLine(line);
    printFileState.pageLength = lines;
    printFileState.linesOnPage = 0;
}

void setPrintMode(std::string& request) {
    const std::size_t first = request.find_first_not_of(' ');
    const char letter =
        first == std::string::npos ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(request[first])));
    // The one-letter modes go out without building strings: the amount columns ask
    // for one on every line of a report.
    char single = 0;
    switch (letter) {
    case 'C': single = 'C'; break;
    case 'D':
    case 'R': single = 'D'; break;
    case 'A':
    case 'B': single = 'A'; break;
    case 'N': break;
    default: single = 'E'; break;
    }
    if (single != 0) {
        const char line[6] = {'J', 'U', 'S', single, '\r', '\n'};
        writeBytes(line, sizeof line);
        request.assign(1, single);
        return;
    }
    std::string code;
    switch (letter) {
    case 'N': {
        // "N" with a count and an edit mask between backslashes, e.g. N2\ZZ9\:
        // the count's whole part without sign, then the mask as given.
        std::size_t i = first + 1;
        while (i < request.size() && request[i] == ' ') ++i;
        if (i < request.size() && (request[i] == '+' || request[i] == '-')) ++i;
        std::string digits;
        while (i < request.size() && std::isdigit(static_cast<unsigned char>(request[i]))) digits += request[i++];
        const std::size_t nonZero = digits.find_first_not_of('0');
        digits = nonZero == std::string::npos ? "0" : digits.substr(nonZero);
        code = "N " + digits + " ";
        const std::size_t open = request.find('\\');
        if (open != std::string::npos) {
            const std::size_t close = request.find('\\', open + 1);
            code += close == std::string::npos ? request.substr(open) : request.substr(open, close - open + 1);
        }
        break;
    }
    default: code = "E"; break;
    }
    std::string line = "JUS" + code;
    writeLine(line);
    request = code;
}

void printControl(std::string_view directive) {
    std::string line = "*";
    line.append(directive);
    writeLine(line);
}

void printAt(int16_t column, std::string_view text, int16_t advance) {
    if (printFileState.linesOnPage >= printFileState.pageLength) startPrintPage(printFileState.pageLength);
    // Seven of these for every receipt: the line is laid out in place, in storage
    // kept between calls.
    static std::string line;
    line.resize(text.size() + 2 * numberWidth + 4);
    char* out = line.data();
    out = putNumber(out, column);
    *out++ = ',';
    // The print program splits a placed line at its first and last commas and at
    // line ends, so the text itself must hold no control character.
    out = putText(out, text);
    *out++ = ',';
    out = putNumber(out, advance);
    *out++ = '\r';
    *out++ = '\n';
    writeBytes(line.data(), static_cast<std::size_t>(out - line.data()));
    printFileState.linesOnPage = static_cast<int16_t>(printFileState.linesOnPage + advance);
}
