// The pages of a report as the print program lays them out: each page a list of
// lines of code page 850 text, column 1 being the first byte of a line. The
// reader feeds the commands of the print file through these procedures; the text
// and PDF renderers only read the finished PrintDocument.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelprint {

// Sane limits: a damaged print file must not make the program allocate without
// bound. The report itself uses 66-line pages and 136 columns.
constexpr int defaultPageLength = 66;
constexpr int maxPageLength = 255;
constexpr int maxColumns = 255;
constexpr int maxPages = 10000;
constexpr std::size_t maxPageTextBytes = 64u << 20;  // all pages together
constexpr std::size_t maxNotices = 1000;             // kept; the rest only counted

// Something the program skipped, cut or assumed, with the line of the print file
// it comes from (0 when it concerns the file as a whole).
struct Notice {
    long line = 0;
    std::string text;  // UTF-8, for the terminal
};

struct PrintPage {
    int length = defaultPageLength;  // lines announced by its PAGE line
    long sourceLine = 0;             // line of the file that began it; 0 when implied
    std::vector<std::string> lines;  // index = line on the page; may hold trailing blanks
};

// Justification of the texts placed until the next line advance.
struct Justification {
    char code = 'E';          // E, D, C, A or N
    long numberCount = 0;     // N only: the count that follows the N
    std::string numberMask;   // N only: the mask between backslashes, both included
};

struct PrintDocument {
    bool hasDevice = false;
    std::string device;  // text after "DEVICE", code page 850, blanks trimmed
    std::vector<PrintPage> pages;
    std::vector<Notice> notices;
    std::size_t noticesNotKept = 0;
    int printerResets = 0;     // "*@e" directives seen
    int condensedSelects = 0;  // "*q" directives seen
    bool stopped = false;      // a limit was reached; later commands were not laid out
};

// Where the layout stands while the file is read.
struct PageLayout {
    PrintDocument doc;
    bool pageOpen = false;
    int currentLine = 0;  // 0-based line of the current page
    Justification justification;
    std::size_t textBytes = 0;
    bool impliedPageNoted = false;
};

void addNotice(PrintDocument& doc, long line, std::string text);

// Begins a page of `length` lines (already checked by the caller).
void layoutStartPage(PageLayout& layout, int length, long sourceLine);
// Places a text (no control characters) at a 1-based column of the current line,
// justified by the current mode; a text past the last line of the page goes on a
// new page of the same length.
void layoutPlaceText(PageLayout& layout, long column, std::string_view text, long sourceLine);
// Moves down; a positive advance ends the justification of the line.
void layoutAdvance(PageLayout& layout, long lines, long sourceLine);
void layoutSetJustification(PageLayout& layout, const Justification& justification);
// Ends the reading: drops pages on which nothing was written.
PrintDocument finishLayout(PageLayout& layout);

// A text laid out by a justification code within its own width: "D" moves the
// trailing blanks in front, "C" centres the content, every other code keeps it.
std::string justifyText(std::string_view text, char code);

}  // namespace zelprint
