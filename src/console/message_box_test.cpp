#include "console/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/windows.h"
#include "driver/session_settings.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

TEST(FormatParagraph, Alignments) {
    struct Case {
        const char* name;
        std::string text;
        int16_t indent, width;
        char letter;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"centred", "ABCD", 0, 10, 'C', "   ABCD   "},
        {"centred, odd gap", "ABC", 0, 10, 'c', "   ABC    "},
        {"right", "ABCD", 0, 10, 'D', "      ABCD"},
        {"right R", "ABCD", 0, 10, 'r', "      ABCD"},
        {"dashes", "ABCD", 0, 10, 'N', "ABCD------"},
        {"left E", "ABCD", 0, 10, 'E', "ABCD      "},
        {"left L", "ABCD", 0, 10, 'l', "ABCD      "},
        {"left I", "ABCD", 0, 10, 'i', "ABCD      "},
        {"other letter: not filled", "ABCD", 0, 10, 'x', "ABCD"},
        {"words wrap", "one two three four", 0, 10, 'I', "one two   three four"},
        {"blanks at the break are dropped", "one two   three", 0, 10, 'D', "   one two     three"},
        {"word longer than the line is cut", "abcdefghijkl", 0, 5, 'I', "abcdefghijkl   "},
        {"justified", "aa bb cc dd ee", 0, 10, 'A', "aa  bb  ccdd ee"},
        {"justified, gaps widened from the left", "a bb cc ddd", 0, 10, 'B', "a   bb  ccddd"},
        {"justified, a line without a gap keeps the width", "abcdefghijkl mnopqrstu", 0, 13, 'A',
         "abcdefghijkl mnopqrstu"},
        {"indent", "aaa bbb ccc", 2, 10, 'I', "  aaa bbb ccc       "},
        {"hanging indent", "aaa bbb ccc ddd", -3, 10, 'I', "aaa bbb      ccc ddd"},
        {"control bytes are carried but not counted", "\x1E" "ABCD\x1E", 0, 10, 'C',
         "   \x1E" "ABCD\x1E   "},
        {"switches follow their word", "aaaa\x1E bb", 0, 4, 'I', "aaaa\x1E" "bb  "},
        {"a cut word moves on, switches stay with theirs", "\x1E" "aaaa\x1E bbbb", 0, 6, 'I',
         "\x1E" "aaaa\x1E  bbbb  "},
        {"a switch before a wrapped word goes with it", "aa \x1E" "bbbb\x1E", 0, 5, 'I', "aa   \x1E" "bbbb\x1E "},
        {"empty text", "", 0, 10, 'I', ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        formatParagraph(text, c.indent, c.width, c.letter);
        EXPECT_EQ(text, c.expected);
    }
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        windowState = WindowState{};
        term::openMemory(80, 25);
        for (int r = 1; r <= 25; ++r)
            for (int c = 1; c <= 80; ++c) term::writeCell(r, c, term::Cell{'.', 0x07});
        setColor("u");
    }
    void TearDown() override { term::close(); }
    testsupport::TempDir dir;
};

TEST_F(MessageBoxTest, OneLineBoxGeometry) {
    const std::string before = term::screenText();
    std::string text = "Fitxer bloquejat";  // 16 characters: box columns 31..50
    showMessageBox(12, text);
    EXPECT_EQ(text, "Fitxer bloquejat" + std::string(60, ' '));
    EXPECT_EQ(windowState.windowDepth, 1);
    EXPECT_EQ(term::rowText(8).substr(29, 22), std::string(22, '.'));
    EXPECT_EQ(term::rowText(9).substr(29, 22), ".\xDA" + std::string(18, '\xC4') + "\xBF.");
    EXPECT_EQ(term::rowText(10).substr(29, 22), ".\xB3 Fitxer bloquejat \xB3.");
    EXPECT_EQ(term::rowText(11).substr(29, 22), ".\xC0" + std::string(18, '\xC4') + "\xD9.");
    EXPECT_EQ(term::rowText(12).substr(29, 22), std::string(22, '.'));
    std::string boxColour;
    for (int i = 0; i < 20; ++i) boxColour += "70";
    EXPECT_EQ(term::rowAttributes(10).substr(60, 40), boxColour);
    // The caller's colour is back and the stack is balanced.
    EXPECT_EQ(windowState.currentColorSlot, 4);
    EXPECT_TRUE(windowState.colorStack.empty());
    popWindow();
    EXPECT_EQ(term::screenText(), before);
    EXPECT_FALSE(testsupport::fileExists(dir / "WinPush.tmp"));
}

TEST_F(MessageBoxTest, PlacementOfSeveralLinesAndAtTheBottom) {
    struct Case {
        const char* name;
        int16_t row;
        std::string text;
        int16_t top, left, bottom, right;
    };
    const std::string longText = std::string(70, 'a') + " " + std::string(30, 'b');  // two lines, widest 70
    const std::vector<Case> cases = {
        {"two lines", 12, longText, 9, 4, 12, 77},
        {"one line at the last row", 25, "abc", 22, 37, 24, 43},
        {"pushed up from below the screen", 30, "abc", 23, 37, 25, 43},
        {"near the top", 2, "abc", 1, 37, 3, 43},
        {"empty message", 12, "", 10, 39, 11, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        std::string text = c.text;
        showMessageBox(c.row, text);
        EXPECT_EQ(windowState.windowDepth, 1);
        EXPECT_EQ(windowState.top, c.top);
        EXPECT_EQ(windowState.left, c.left);
        EXPECT_EQ(windowState.bottom, c.bottom);
        EXPECT_EQ(windowState.right, c.right);
        popWindow();
        EXPECT_EQ(windowState.windowDepth, 0);
    }
}

TEST_F(MessageBoxTest, MessageThatDoesNotFitShowsNothingButStaysBalanced) {
    const std::string before = term::screenText();
    const std::string attrs = term::screenAttributes();
    std::string text;
    for (int i = 0; i < 24; ++i) text += std::string(70, 'x') + " ";  // 24 lines: 26 rows with the frame
    showMessageBox(12, text);
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(term::screenAttributes(), attrs);
    EXPECT_EQ(windowState.windowDepth, 1);
    EXPECT_EQ(windowState.currentColorSlot, 4);
    EXPECT_TRUE(windowState.colorStack.empty());
    popWindow();
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_EQ(term::screenText(), before);
    EXPECT_FALSE(testsupport::fileExists(dir / "WinPush.tmp"));
}

TEST_F(MessageBoxTest, BoxInsideAnotherWindowGivesThatWindowBack) {
    pushWindow(2, 2, 20, 70);
    std::string text = "abc";
    showMessageBox(12, text);
    popWindow();
    EXPECT_EQ(windowState.top, 2);
    EXPECT_EQ(windowState.right, 70);
    popWindow();
}

}  // namespace
