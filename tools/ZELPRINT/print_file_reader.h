// Reading the print file: one command a line (DEVICE, PAGE, JUS, "*" directives
// and placed texts "column,text,advance"), laid out into pages. Damaged lines are
// skipped with a notice that names their line; reading never stops on them.
#pragma once

#include <string>
#include <string_view>

#include "page_layout.h"

namespace zelprint {

// The biggest print file read; a real report is a few megabytes.
constexpr long long maxPrintFileBytes = 256LL << 20;

enum class CommandKind { Empty, Device, Page, Justify, Directive, Place, Invalid };

struct PrintCommand {
    CommandKind kind = CommandKind::Empty;
    std::string text;          // Device: destination; Directive: directive; Place: the text
    long number = 0;           // Page: length; Place: column
    long advance = 0;          // Place
    Justification justification;  // Justify
    std::string problem;       // Invalid: why the line cannot be used; Justify: an unknown code
};

// A number in print form: blanks, an optional sign, digits, blanks. Values beyond
// a billion are held at a billion (they are out of every range anyway).
bool parsePrintNumber(std::string_view text, long& value);

// One line without its line end.
PrintCommand parsePrintLine(std::string_view line);

// The whole file, as read from disk.
PrintDocument readPrintFile(std::string_view contents);

// Reads the file named (through the system's file names) and lays it out.
// false with `error` set when the file cannot be read at all.
bool loadPrintFile(const std::string& name, PrintDocument& doc, std::string& error);

}  // namespace zelprint
