#include "print_file_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "text_output.h"

namespace zelprint {
namespace {

using testsupport::cp850;

// A print file as the report writes it: CR LF after every command.
std::string printFile(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

TEST(PrintNumber, ReadsThePrintFormAndRejectsTheRest) {
    struct Case {
        const char* text;
        bool ok;
        long value;
    };
    const Case cases[] = {
        {" 66 ", true, 66},  {"-3 ", true, -3},   {"7", true, 7},          {"  +12  ", true, 12},
        {" 0 ", true, 0},    {"- 4 ", true, -4},  {"", false, 0},          {"   ", false, 0},
        {"-", false, 0},     {" 6 6 ", false, 0}, {"12a", false, 0},       {"0x10", false, 0},
        {" 99999999999999999999 ", true, 1000000000L},
    };
    for (const Case& c : cases) {
        long value = 0;
        EXPECT_EQ(parsePrintNumber(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(PrintLine, RecognisesEachCommand) {
    struct Case {
        std::string line;
        CommandKind kind;
        std::string text;
        long number;
        long advance;
    };
    const Case cases[] = {
        {"DEVICELPT1", CommandKind::Device, "LPT1", 0, 0},
        {"DEVICE", CommandKind::Device, "", 0, 0},
        {"DEVICE  C:\\INF\\r.pdf ", CommandKind::Device, "C:\\INF\\r.pdf", 0, 0},
        {"PAGE 66 ", CommandKind::Page, "", 66, 0},
        {"PAGE-3 ", CommandKind::Page, "", -3, 0},
        {"*@e", CommandKind::Directive, "@e", 0, 0},
        {"*q", CommandKind::Directive, "q", 0, 0},
        {" 1 ,REBUT, 0 ", CommandKind::Place, "REBUT", 1, 0},
        {" 107 ,    COBRAT, 1 ", CommandKind::Place, "    COBRAT", 107, 1},
        {" 107 ,    12,345,67, 1 ", CommandKind::Place, "    12,345,67", 107, 1},
        {"-12 ,x,-1 ", CommandKind::Place, "x", -12, -1},
        {" 5 ,, 2 ", CommandKind::Place, "", 5, 2},
        {"", CommandKind::Empty, "", 0, 0},
        {"   ", CommandKind::Empty, "", 0, 0},
        {"hello, world", CommandKind::Invalid, "", 0, 0},
        {" 1 ,MARIA GAR", CommandKind::Invalid, "", 0, 0},
        {" 1 ,X,Y", CommandKind::Invalid, "", 0, 0},
        {"PAGE", CommandKind::Invalid, "", 0, 0},
        {"PAGE sixty", CommandKind::Invalid, "", 0, 0},
        {std::string("\x00\x01\xFF,", 4), CommandKind::Invalid, "", 0, 0},
    };
    for (const Case& c : cases) {
        const PrintCommand cmd = parsePrintLine(c.line);
        EXPECT_EQ(cmd.kind, c.kind) << '"' << c.line << '"';
        if (c.kind == CommandKind::Invalid) {
            EXPECT_FALSE(cmd.problem.empty()) << c.line;
            continue;
        }
        EXPECT_EQ(cmd.text, c.text) << c.line;
        EXPECT_EQ(cmd.number, c.number) << c.line;
        EXPECT_EQ(cmd.advance, c.advance) << c.line;
    }
}

TEST(PrintLine, JustificationCodes) {
    struct Case {
        const char* line;
        char code;
        long count;
        const char* mask;
        bool known;
    };
    const Case cases[] = {
        {"JUSE", 'E', 0, "", true},   {"JUSD", 'D', 0, "", true},  {"JUSC", 'C', 0, "", true},
        {"JUSA", 'A', 0, "", true},   {"JUS", 'E', 0, "", true},   {"JUSd", 'D', 0, "", true},
        {"JUSN 2 \\ZZ9\\", 'N', 2, "\\ZZ9\\", true},               {"JUSN 0 ", 'N', 0, "", true},
        {"JUSQ", 'E', 0, "", false},
    };
    for (const Case& c : cases) {
        const PrintCommand cmd = parsePrintLine(c.line);
        ASSERT_EQ(cmd.kind, CommandKind::Justify) << c.line;
        EXPECT_EQ(cmd.justification.code, c.code) << c.line;
        EXPECT_EQ(cmd.justification.numberCount, c.count) << c.line;
        EXPECT_EQ(cmd.justification.numberMask, c.mask) << c.line;
        EXPECT_EQ(cmd.problem.empty(), c.known) << c.line;
    }
}

// Golden renderings: a small print file in, the text pages out, and the lines of
// the file that were reported (with a piece of each notice).
struct Golden {
    const char* name;
    std::vector<std::string> lines;
    std::string text;
    std::vector<std::pair<long, std::string>> notices;
};

void checkGolden(const Golden& g) {
    SCOPED_TRACE(g.name);
    const PrintDocument doc = readPrintFile(printFile(g.lines));
    EXPECT_EQ(renderText(doc), g.text);
    ASSERT_EQ(doc.notices.size(), g.notices.size());
    for (std::size_t i = 0; i < g.notices.size(); ++i) {
        EXPECT_EQ(doc.notices[i].line, g.notices[i].first) << doc.notices[i].text;
        EXPECT_NE(doc.notices[i].text.find(g.notices[i].second), std::string::npos) << doc.notices[i].text;
    }
}

TEST(PrintFileGolden, CommandsAndJustifications) {
    const std::vector<Golden> cases = {
        {"E as written", {"DEVICE", "PAGE 66 ", "JUSE", " 1 ,AB  , 0 ", " 5 ,CD, 1 "}, "AB  CD\n", {}},
        {"D moves trailing blanks in front",
         {"DEVICE", "PAGE 66 ", " 1 ,R, 0 ", "JUSD", " 3 ,AB  , 0 ", " 7 ,X, 1 "},
         "R   ABX\n",
         {}},
        {"C centres in its own width",
         {"DEVICE", "PAGE 66 ", "JUSC", " 1 ,AB    ,0 ", " 7 ,  A  , 0 ", " 12 , X    , 1 "},
         "  AB    A    X\n",
         {}},
        {"A as written", {"DEVICE", "PAGE 66 ", "JUSA", " 1 ,  AB  , 1 "}, "  AB\n", {}},
        {"N as written", {"DEVICE", "PAGE 66 ", "JUSN 2 \\ZZ9\\", " 1 ,  12 , 0 ", " 6 ,X, 1 "}, "  12 X\n", {}},
        {"justification lasts until the line advance",
         {"DEVICE", "PAGE 66 ", "JUSD", " 1 ,A , 0 ", " 3 ,B , 1 ", " 1 ,CD  , 1 "},
         " A B\nCD\n",
         {}},
        {"a page start ends the justification too",
         {"DEVICE", "PAGE 66 ", "JUSD", "PAGE 66 ", " 1 ,CD  , 1 "},
         "CD\n",
         {}},
        {"later texts overwrite earlier ones, blanks included",
         {"DEVICE", "PAGE 66 ", " 1 ,ABCDEFGH, 0 ", " 3 ,xy, 0 ", " 6 ,  , 0 ", " 10 ,Z, 1 "},
         "ABxyE  H Z\n",
         {}},
        {"advance 0, 1 and 2",
         {"DEVICE", "PAGE 66 ", " 1 ,L1, 2 ", " 1 ,L3, 1 ", " 1 ,L4, 0 ", " 4 ,M, 1 "},
         "L1\n\nL3\nL4 M\n",
         {}},
        {"PAGE starts a new page",
         {"DEVICE", "PAGE 66 ", " 1 ,P1, 1 ", "PAGE 66 ", " 1 ,P2, 1 "},
         "P1\n\fP2\n",
         {}},
        {"a full page continues on a new one of the same length",
         {"DEVICE", "PAGE 3 ", " 1 ,a, 1 ", " 1 ,b, 1 ", " 1 ,c, 1 ", " 1 ,d, 2 ", " 1 ,e, 1 ", " 1 ,f, 5 ", " 1 ,g, 0 "},
         "a\nb\nc\n\fd\n\ne\n\ff\n\fg\n",
         {}},
        {"empty pages are not kept",
         {"DEVICE", "PAGE 66 ", "PAGE 66 ", " 1 ,  , 1 ", "PAGE 66 ", " 1 ,X, 1 ", "PAGE 66 "},
         "X\n",
         {}},
        {"commas inside the text", {"DEVICE", "PAGE 66 ", " 1 , 1,234,56, 1 "}, " 1,234,56\n", {}},
        {"code page 850 becomes UTF-8",
         {"DEVICE", "PAGE 66 ", " 1 ," + cp850("PÀGINA RELACIÓ ÇÑ ─┼") + ", 1 "},
         "PÀGINA RELACIÓ ÇÑ ─┼\n",
         {}},
        {"directives print nothing",
         {"DEVICE", "PAGE 66 ", "*@e", " 1 ,H, 1 ", "*q", " 1 ,B, 1 "},
         "H\nB\n",
         {}},
        {"leading blank lines kept, trailing blanks trimmed",
         {"DEVICE", "PAGE 66 ", " 1 ,   , 1 ", " 1 ,X   , 3 "},
         "\nX\n",
         {}},
    };
    for (const Golden& g : cases) checkGolden(g);
}

TEST(PrintFileGolden, DamagedInputKeepsWhatItCanAndNamesTheLine) {
    const std::string binary("\x00\x01\xFE\xFF junk", 9);
    const std::vector<Golden> cases = {
        {"no DEVICE line", {"PAGE 66 ", " 1 ,X, 1 "}, "X\n", {{1, "DEVICE"}}},
        {"no PAGE line", {"DEVICEPANTALLA", " 1 ,X, 1 ", " 1 ,Y, 1 "}, "X\nY\n", {{2, "before any PAGE"}}},
        {"garbage line", {"DEVICE", "PAGE 66 ", "hello world", " 1 ,X, 1 "}, "X\n", {{3, "not a print command"}}},
        {"binary bytes", {"DEVICE", "PAGE 66 ", binary, " 1 ,X, 1 "}, "X\n", {{3, "not a print command"}}},
        {"control characters in a text",
         {"DEVICE", "PAGE 66 ", std::string(" 1 ,A\x01" "B\x00" "C\tD\x7F" "E, 1 ", 17)},
         "A B C D E\n",
         {{3, "control characters"}}},
        {"truncated file",
         {"DEVICE", "PAGE 66 ", " 1 ,REBUT, 0 ", " 18 ,MARIA GAR"},
         "REBUT\n",
         {{4, "without a number of lines to advance"}}},
        {"huge column: the text is skipped, its advance kept",
         {"DEVICE", "PAGE 66 ", " 5000 ,X, 1 ", " 0 ,Y, 1 ", "-7 ,Z, 1 ", " 1 ,W, 1 "},
         "\n\n\nW\n",
         {{3, "beyond column 255"}, {4, "before column 1"}, {5, "before column 1"}}},
        {"text past column 255 is cut",
         {"DEVICE", "PAGE 66 ", " 250 ,ABCDEFGHIJ, 1 "},
         std::string(249, ' ') + "ABCDEF\n",
         {{3, "cut"}}},
        {"negative advance stays on the line",
         {"DEVICE", "PAGE 66 ", " 1 ,A,-3 ", " 3 ,B, 1 "},
         "A B\n",
         {{3, "negative"}}},
        {"huge advance ends the page",
         {"DEVICE", "PAGE 66 ", " 1 ,A, 99999 ", " 1 ,B, 1 "},
         "A\n\fB\n",
         {{3, "longer than any page"}}},
        {"page lengths out of range",
         {"DEVICE", "PAGE 0 ", " 1 ,A, 1 ", "PAGE 9999 ", " 1 ,B, 1 ", "PAGE abc", " 1 ,C, 1 "},
         "A\n\fB\nC\n",
         {{2, "outside 1 to 255"}, {4, "outside 1 to 255"}, {6, "PAGE line without"}}},
        {"unknown justification and directive",
         {"DEVICE", "PAGE 66 ", "JUSQ", "*XYZ", " 1 ,A  , 1 "},
         "A\n",
         {{3, "not known"}, {4, "not known"}}},
        {"a second DEVICE line",
         {"DEVICEa.pdf", "PAGE 66 ", "DEVICEb.txt", " 1 ,A, 1 "},
         "A\n",
         {{3, "DEVICE line after"}}},
    };
    for (const Golden& g : cases) checkGolden(g);
}

TEST(PrintFileReader, DeviceAndLineEndings) {
    PrintDocument doc = readPrintFile("DEVICE  informe.pdf \nPAGE 66 \r\n 1 ,A, 1 ");
    EXPECT_TRUE(doc.hasDevice);
    EXPECT_EQ(doc.device, "informe.pdf");
    EXPECT_EQ(renderText(doc), "A\n");
    EXPECT_TRUE(doc.notices.empty());

    doc = readPrintFile("");
    EXPECT_FALSE(doc.hasDevice);
    EXPECT_TRUE(doc.pages.empty());
    EXPECT_EQ(renderText(doc), "");

    doc = readPrintFile(printFile({"DEVICEX", "PAGE 66 ", "*@e", "*q", "*@e"}));
    EXPECT_EQ(doc.printerResets, 2);
    EXPECT_EQ(doc.condensedSelects, 1);
    EXPECT_TRUE(doc.pages.empty());
}

TEST(PrintFileReader, StopsAtThePageLimit) {
    std::string file = "DEVICE\r\n";
    for (int i = 0; i <= maxPages; ++i) file += "PAGE 66 \r\n 1 ,X, 1 \r\n";
    const PrintDocument doc = readPrintFile(file);
    EXPECT_EQ(doc.pages.size(), static_cast<std::size_t>(maxPages));
    EXPECT_TRUE(doc.stopped);
    ASSERT_EQ(doc.notices.size(), 1u);
    EXPECT_EQ(doc.notices[0].line, 2L + 2L * maxPages);
    EXPECT_NE(doc.notices[0].text.find("pages"), std::string::npos);
}

TEST(PrintFileReader, StopsAtThePageTextLimit) {
    // Each line writes 255 columns; the file is small, the pages would not be.
    std::string file = "DEVICE\r\n";
    const std::size_t lines = maxPageTextBytes / 255 + 10;
    file.reserve(lines * 12);
    for (std::size_t i = 0; i < lines; ++i) file += " 255 ,X, 1 \r\n";
    const PrintDocument doc = readPrintFile(file);
    EXPECT_TRUE(doc.stopped);
    ASSERT_FALSE(doc.notices.empty());
    EXPECT_NE(doc.notices.back().text.find("MB of page text"), std::string::npos);
    std::size_t total = 0;
    for (const PrintPage& p : doc.pages)
        for (const std::string& l : p.lines) total += l.size();
    EXPECT_LE(total, maxPageTextBytes);
}

TEST(PrintFileReader, KeepsOnlyTheFirstNotices) {
    std::string file = "DEVICE\r\nPAGE 66 \r\n";
    for (std::size_t i = 0; i < maxNotices + 50; ++i) file += "garbage\r\n";
    const PrintDocument doc = readPrintFile(file);
    EXPECT_EQ(doc.notices.size(), maxNotices);
    EXPECT_EQ(doc.noticesNotKept, 50u);
}

TEST(PrintFileReader, LoadsAFileOrSaysWhyNot) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "zelprint.tmp", printFile({"DEVICEPANTALLA", "PAGE 66 ", " 1 ,A, 1 "}));
    PrintDocument doc;
    std::string error;
    ASSERT_TRUE(loadPrintFile(dir / "zelprint.tmp", doc, error));
    EXPECT_EQ(doc.device, "PANTALLA");
    EXPECT_EQ(doc.pages.size(), 1u);
    EXPECT_FALSE(loadPrintFile(dir / "missing.tmp", doc, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace zelprint

namespace zelprint {
namespace {

// Damaged files of every kind: pieces of real commands, cut and mixed with random
// bytes. Reading must finish within the limits whatever comes in.
TEST(PrintFileReader, SurvivesRandomDamage) {
    const char* pieces[] = {"DEVICE",  "PAGE",   " 66 ",  "JUS",    "N 3 \\Z9\\", "*@e", "*q",  ",",
                            " 1 ,",    "-5 ",    "99999", " 255 ,", "\r\n",      "\n",   "\r",  "D",
                            "C",       "\x80\xFF", ", 1 ", ",-1 ",  " 300 ,"};
    unsigned state = 12345;
    auto next = [&]() {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xFFFF;
    };
    for (int round = 0; round < 200; ++round) {
        std::string file;
        const unsigned length = next() % 400;
        for (unsigned i = 0; i < length; ++i) {
            if (next() % 3 == 0)
                file += static_cast<char>(next() & 0xFF);
            else
                file += pieces[next() % (sizeof pieces / sizeof pieces[0])];
        }
        const PrintDocument doc = readPrintFile(file);
        EXPECT_LE(doc.pages.size(), static_cast<std::size_t>(maxPages));
        for (const PrintPage& page : doc.pages) {
            EXPECT_GE(page.length, 1);
            EXPECT_LE(page.length, maxPageLength);
            EXPECT_LE(page.lines.size(), static_cast<std::size_t>(maxPageLength));
            for (const std::string& line : page.lines) {
                EXPECT_LE(line.size(), static_cast<std::size_t>(maxColumns));
                for (char c : line) EXPECT_FALSE(static_cast<unsigned char>(c) < 32 || c == 127);
            }
        }
        renderText(doc);
    }
}

}  // namespace
}  // namespace zelprint
