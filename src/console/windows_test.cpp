#include "console/windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/session_settings.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempDir;

// Distinct colours per slot so that a wrong slot shows in the attribute rows.
void setTestColors() {
    const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
    for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
}

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        setTestColors();
        windowState = WindowState{};
        term::openMemory(80, 25);
        term::setStateFolder(dir.path());
    }
    void TearDown() override { term::close(); }

    // Every cell gets its own character and colour, so a misplaced restore shows.
    static void paintPattern() {
        for (int r = 1; r <= term::height(); ++r)
            for (int c = 1; c <= term::width(); ++c)
                term::writeCell(r, c, term::Cell{static_cast<uint8_t>('A' + (r + c) % 26),
                                                  static_cast<uint8_t>((r * 7 + c) % 256)});
    }
    std::string stackFile() const { return dir / "WinPush.tmp"; }

    TempDir dir;
};

struct Snapshot {
    std::string text, attrs;
    int row, column;
    bool operator==(const Snapshot&) const = default;
};
std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

Snapshot snap() { return {term::screenText(), term::screenAttributes(), term::cursorRow(), term::cursorColumn()}; }

TEST_F(WindowsTest, PushPushPopPopRestoresScreenCursorAndWindow) {
    paintPattern();
    term::setCursorPosition(3, 7);
    const Snapshot before = snap();

    pushWindow(5, 10, 8, 20);
    drawFrame(1);
    writeInWindow(1, 1, "first");
    term::setCursorPosition(15, 40);
    const Snapshot afterFirst = snap();
    EXPECT_EQ(windowState.windowDepth, 1);

    pushWindow(2, 2, 10, 30);
    drawFrame(2);
    writeInWindow(2, 2, "second");
    EXPECT_EQ(windowState.windowDepth, 2);
    EXPECT_EQ(windowState.top, 2);
    EXPECT_EQ(windowState.right, 30);

    popWindow();
    EXPECT_EQ(snap(), afterFirst);
    EXPECT_EQ(windowState.windowDepth, 1);
    EXPECT_EQ(windowState.top, 5);
    EXPECT_EQ(windowState.left, 10);
    EXPECT_EQ(windowState.bottom, 8);
    EXPECT_EQ(windowState.right, 20);
    EXPECT_TRUE(testsupport::fileExists(stackFile()));

    popWindow();
    EXPECT_EQ(snap(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_EQ(windowState.top + windowState.left + windowState.bottom + windowState.right, 0);
    EXPECT_FALSE(testsupport::fileExists(stackFile()));
}

TEST_F(WindowsTest, PopKeepsTheCurrentColour) {
    paintPattern();
    setColor("u");
    pushWindow(1, 1, 2, 2);
    popWindow();
    EXPECT_EQ(term::textAttribute(), 0x1E);
}

TEST_F(WindowsTest, RecordLayoutIsByteExact) {
    for (int c = 3; c <= 4; ++c) {
        term::writeCell(2, c, term::Cell{static_cast<uint8_t>('a' + c), 0x1F});
        term::writeCell(3, c, term::Cell{static_cast<uint8_t>('A' + c), 0x70});
    }
    term::setCursorPosition(12, 34);
    pushWindow(2, 3, 3, 4);
    const std::string expected = std::string("\x26\x00\x00\x00", 4) + "1234" + "00000000" + "02030304" +
                                 "d\x1F" "e\x1F" "D\x70" "E\x70" + "00033";
    EXPECT_EQ(testsupport::readFile(stackFile()), expected);

    // The second record carries the first window as its enclosing window.
    pushWindow(1, 1, 1, 1);
    const std::string file = testsupport::readFile(stackFile());
    ASSERT_EQ(file.size(), 37u + 27u);
    EXPECT_EQ(static_cast<unsigned char>(file[0]), 38 + 27);
    EXPECT_EQ(file.substr(37, 20), "1234" "02030304" "01010101");
    EXPECT_EQ(file.substr(59), "00027");
}

TEST_F(WindowsTest, PushOffTheScreenIsIgnored) {
    struct Case {
        int16_t t, l, b, r;
    };
    const Case cases[] = {{0, 1, 5, 5}, {1, 0, 5, 5}, {1, 1, 26, 5}, {1, 1, 5, 81}, {-3, 1, 5, 5}, {5, 1, 4, 1},
                          {1, 5, 1, 4}};
    pushWindow(3, 3, 6, 6);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.t << "," << c.l << "," << c.b << "," << c.r);
        const std::string file = testsupport::readFile(stackFile());
        pushWindow(c.t, c.l, c.b, c.r);
        EXPECT_EQ(windowState.windowDepth, 1);
        EXPECT_EQ(windowState.top, 3);
        EXPECT_EQ(testsupport::readFile(stackFile()), file);
    }
}

TEST_F(WindowsTest, PopWithoutFileRestoresNothing) {
    paintPattern();
    const Snapshot before = snap();
    popWindow();
    EXPECT_EQ(snap(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_FALSE(testsupport::fileExists(stackFile()));
}

TEST_F(WindowsTest, DamagedStackRestoresNothingAndIsRemoved) {
    // A valid one-record file to spoil: one cell at (2,3), cursor (12,34).
    const std::string good = std::string("\x20\x00\x00\x00", 4) + "1234" + "00000000" + "02030203" + "Z\x4E" + "00027";
    struct Case {
        const char* name;
        std::string contents;
    };
    std::string badLengthDigits = good, badHeader = good, wrongLength = good, pointerBeyond = good, upsideDown = good;
    badLengthDigits.replace(29, 5, "00x27");
    badHeader.replace(8, 2, "a0");
    wrongLength.replace(29, 5, "00029");
    pointerBeyond[0] = '\x40';
    upsideDown.replace(20, 8, "03030203");
    const std::vector<Case> cases = {
        {"three bytes", std::string("\x20\x00\x00", 3)},
        {"length with a letter", badLengthDigits},
        {"header with a letter", badHeader},
        {"length that does not match the rectangle", wrongLength},
        {"end pointer beyond the file", pointerBeyond},
        {"rectangle upside down", upsideDown},
        {"length reaching before the records", std::string("\x20\x00\x00\x00", 4) + std::string(24, '0') + "99999"},
        {"end pointer negative", std::string("\xFF\xFF\xFF\xFF", 4) + good.substr(4)},
        {"truncated record", good.substr(0, 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        paintPattern();
        const Snapshot before = snap();
        testsupport::writeFile(stackFile(), c.contents);
        popWindow();
        EXPECT_EQ(snap(), before);
        EXPECT_EQ(windowState.windowDepth, 0);
        EXPECT_FALSE(testsupport::fileExists(stackFile()));
    }

    // The unspoilt record does restore: the guard is not simply refusing everything.
    paintPattern();
    testsupport::writeFile(stackFile(), good);
    windowState.windowDepth = 1;
    popWindow();
    EXPECT_EQ(term::readCell(2, 3), (term::Cell{'Z', 0x4E}));
    EXPECT_EQ(term::cursorRow(), 12);
    EXPECT_EQ(term::cursorColumn(), 34);
    EXPECT_FALSE(testsupport::fileExists(stackFile()));
}

TEST_F(WindowsTest, PushOverADamagedPointerStartsAFreshStack) {
    testsupport::writeFile(stackFile(), std::string("\x00\x10\x00\x00", 4) + "junk");
    pushWindow(1, 1, 1, 1);
    const std::string file = testsupport::readFile(stackFile());
    EXPECT_EQ(static_cast<unsigned char>(file[0]), 5 + 27);
    popWindow();
    EXPECT_FALSE(testsupport::fileExists(stackFile()));
}

TEST_F(WindowsTest, ConsoleWiderThan99ColumnsSavesUpToColumn99) {
    term::openMemory(120, 30);
    paintPattern();
    const Snapshot before = snap();
    term::setCursorPosition(2, 110);
    pushWindow(1, 95, 3, 110);
    EXPECT_EQ(windowState.right, 110);  // the window itself is as asked
    drawFrame(1);
    EXPECT_EQ(term::readCell(1, 110).ch, 0xBF);
    const std::string file = testsupport::readFile(stackFile());
    EXPECT_EQ(file.substr(4, 20), "0299" "00000000" "01950399");
    popWindow();
    const std::string after = term::screenText();
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(term::rowText(r).substr(94, 5), before.text.substr((r - 1) * 121 + 94, 5)) << r;
        EXPECT_NE(term::rowText(r).substr(99, 11), before.text.substr((r - 1) * 121 + 99, 11)) << r;
    }
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(WindowsTest, DrawFrameStyles) {
    drawFrame(1);  // no window open: nothing
    for (int r = 1; r <= 25; ++r) EXPECT_EQ(term::rowText(r), std::string(80, ' '));

    struct Case {
        int16_t style;
        std::string top, middle, bottom;
    };
    const Case cases[] = {
        {1, "\xDA" + std::string(9, '\xC4') + "\xBF", "\xB3" + std::string(9, ' ') + "\xB3",
         "\xC0" + std::string(9, '\xC4') + "\xD9"},
        {2, "\xC9" + std::string(9, '\xCD') + "\xBB", "\xBA" + std::string(9, ' ') + "\xBA",
         "\xC8" + std::string(9, '\xCD') + "\xBC"},
        {0, std::string(11, ' '), std::string(11, ' '), std::string(11, ' ')},
        {7, std::string(11, '\0'), std::string(1, '\0') + std::string(9, ' ') + std::string(1, '\0'),
         std::string(11, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        SetUp();
        for (int r = 1; r <= 25; ++r) term::writeCell(r, 15, term::Cell{'#', 0x07});
        setColor("r");
        pushWindow(5, 10, 8, 20);
        drawFrame(c.style);
        EXPECT_EQ(term::rowText(4).substr(9, 11), std::string(5, ' ') + "#" + std::string(5, ' '));
        EXPECT_EQ(term::rowText(5).substr(9, 11), c.top);
        EXPECT_EQ(term::rowText(6).substr(9, 11), c.middle);
        EXPECT_EQ(term::rowText(7).substr(9, 11), c.middle);
        EXPECT_EQ(term::rowText(8).substr(9, 11), c.bottom);
        EXPECT_EQ(term::rowAttributes(6).substr(18, 22), repeat("70", 11));
        EXPECT_EQ(term::rowText(9).substr(9, 11), std::string(5, ' ') + "#" + std::string(5, ' '));
    }
}

TEST_F(WindowsTest, WindowCoordinates) {
    EXPECT_EQ(windowFirstRow(), 1);
    EXPECT_EQ(windowFirstColumn(), 1);
    EXPECT_EQ(windowLastColumn(), 80);
    EXPECT_EQ(screenWidth(), 80);
    EXPECT_EQ(screenHeight(), 25);
    locateInWindow(3, 4);
    EXPECT_EQ(term::cursorRow(), 3);
    EXPECT_EQ(term::cursorColumn(), 4);

    pushWindow(5, 10, 8, 20);
    EXPECT_EQ(windowFirstRow(), 6);
    EXPECT_EQ(windowFirstColumn(), 11);
    EXPECT_EQ(windowLastColumn(), 19);
    locateInWindow(0, 0);
    EXPECT_EQ(term::cursorRow(), 5);
    EXPECT_EQ(term::cursorColumn(), 10);
    writeInWindow(1, 2, "ab");
    EXPECT_EQ(term::rowText(6).substr(11, 2), "ab");
    popWindow();
    EXPECT_EQ(windowLastColumn(), 80);
}

TEST_F(WindowsTest, SetColorCodes) {
    struct Step {
        const char* code;
        int slot;
        const char* stack;  // slot digits
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"letters", {{"n", 1, ""}, {"R", 2, ""}, {"rn", 3, ""}, {"U", 4, ""}, {"h", 0, ""}, {"rh", 2, ""},
                     {"un", 4, ""}, {"x", 0, ""}}},
        {"save and restore", {{"r", 2, ""}, {"+n", 1, "2"}, {"+u", 4, "21"}, {"-", 1, "2"}, {"-", 2, ""}}},
        {"minus with empty stack", {{"u", 4, ""}, {"-", 0, ""}}},
        {"blank codes change nothing", {{"u", 4, ""}, {"", 4, ""}, {"   ", 4, ""}}},
        {"plus and minus together", {{"r", 2, ""}, {"+-", 2, ""}}},
    };
    const uint8_t attrs[5] = {0x0F, 0x07, 0x70, 0x71, 0x1E};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        windowState = WindowState{};
        term::setTextAttribute(0x5A);
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.code);
            setColor(s.code);
            EXPECT_EQ(windowState.currentColorSlot, s.slot);
            EXPECT_EQ(term::textAttribute(), attrs[s.slot]);
            std::string stack;
            for (char b : windowState.colorStack) stack.push_back(static_cast<char>('0' + b));
            EXPECT_EQ(stack, s.stack);
        }
    }
    windowState = WindowState{};
    term::setTextAttribute(0x5A);
    setColor("  ");
    EXPECT_EQ(term::textAttribute(), 0x5A);
}

TEST_F(WindowsTest, ScrollArea) {
    struct Case {
        int16_t count;
        std::string column;  // rows 1..6 of column 3 afterwards
    };
    const Case cases[] = {{1, "1345 6"}, {2, "145  6"}, {-2, "1  236"}, {0, "1 2346"}, {9, "1    6"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        SetUp();
        for (int r = 1; r <= 6; ++r) term::writeCell(r, 3, term::Cell{static_cast<uint8_t>('0' + r), 0x07});
        setColor("r");
        scrollArea(1, 2, 4, 2, c.count);  // rows 2..5, column 3
        std::string column;
        for (int r = 1; r <= 6; ++r) column.push_back(static_cast<char>(term::readCell(r, 3).ch));
        EXPECT_EQ(column, c.column);
    }
    // Uncovered rows take the current colour; the rectangle is clipped to the console.
    SetUp();
    setColor("u");
    scrollArea(20, 0, 40, 100, 1);
    EXPECT_EQ(term::rowAttributes(25), repeat("1E", 80));
    EXPECT_EQ(term::rowAttributes(20), repeat("07", 80));
}

TEST_F(WindowsTest, ListTopBorderMarks) {
    struct Case {
        const char* name;
        std::string title;
        int16_t first, width, widest;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"whole title visible", "CODI_NOM", 1, 10, 0, "\xC9" "CODI NOM\xCD\xCD" "\xBB"},
        {"blanks become lines", "A B", 1, 5, 0, "\xC9" "A\xCD" "B\xCD\xCD" "\xBB"},
        {"more to the right", "CODI_NOM", 1, 10, 5, "\xC9" "CODI NOM\xCD\xCD" "\x10"},
        {"title runs past the width", "CODI_NOM_LLARG", 1, 10, 0, "\xC9" "CODI NOM L" "\x10"},
        {"scrolled sideways", "CODI_NOM", 3, 6, 2, "\x11" "DI NOM" "\xBB"},
        {"scrolled, more to the right", "CODI_NOM", 3, 6, 3, "\x11" "DI NOM" "\x10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        setColor("u");
        pushWindow(3, 5, 10, 5 + c.width + 1);
        drawListTopBorder(c.title, c.first, c.width, c.widest);
        EXPECT_EQ(term::rowText(3).substr(4, c.width + 2), c.expected);
        EXPECT_EQ(term::rowAttributes(3).substr(8, 2), "07");  // colour "n"
        EXPECT_EQ(windowState.currentColorSlot, 4);           // back to the caller's colour
        EXPECT_TRUE(windowState.colorStack.empty());
        popWindow();
    }
}

}  // namespace

namespace {

// No usable temporary folder: the windows still open (frames and text land inside
// them) and still give back the screen they covered, nested ones included.
TEST_F(WindowsTest, WithoutAStackFileWindowsStillRestoreTheScreen) {
    sessionSettings.tempDir = dir / "absent/";
    paintPattern();
    term::setCursorPosition(3, 4);
    const Snapshot before = snap();
    pushWindow(5, 10, 12, 50);
    drawFrame(2);
    EXPECT_EQ(windowState.windowDepth, 1);
    EXPECT_EQ(term::readCell(5, 10).ch, 0xC9);
    const Snapshot inFirst = snap();
    pushWindow(8, 20, 20, 70);
    drawFrame(1);
    popWindow();
    EXPECT_EQ(snap(), inFirst);
    EXPECT_EQ(windowState.top, 5);
    popWindow();
    EXPECT_EQ(snap(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_TRUE(windowState.unsavedRecords.empty());
    EXPECT_FALSE(testsupport::fileExists(dir / "absent"));
}

}  // namespace
