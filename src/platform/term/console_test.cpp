#include "platform/term/console.h"

#include <gtest/gtest.h>

#include "platform/term/code_page.h"
#include "tests/support/test_support.h"

class ConsoleGrid : public ::testing::Test {
protected:
    void SetUp() override { term::openMemory(10, 4); }
    void TearDown() override { term::close(); }
};

TEST_F(ConsoleGrid, WriteTextWrapsAndStopsAtTheLastCell) {
    term::setCursorPosition(1, 8);
    term::setTextAttribute(0x1E);
    term::writeText("abcde");
    EXPECT_EQ(term::rowText(1), "       abc");
    EXPECT_EQ(term::rowText(2), "de        ");
    EXPECT_EQ(term::readCell(2, 1).attr, 0x1E);
    EXPECT_EQ(term::cursorRow(), 2);
    EXPECT_EQ(term::cursorColumn(), 3);
    term::setCursorPosition(4, 9);
    term::writeText("xyz");
    EXPECT_EQ(term::rowText(4), "        xy");
}

TEST_F(ConsoleGrid, ScrollRectangleUpDownAndClipped) {
    for (int r = 1; r <= 4; ++r) {
        term::setCursorPosition(r, 1);
        term::writeText(std::string(10, static_cast<char>('0' + r)));
    }
    term::scrollRectangle(1, 2, 3, 3, 1, 0x70);
    EXPECT_EQ(term::screenText(), "1221111111\n2332222222\n3  3333333\n4444444444");
    EXPECT_EQ(term::readCell(3, 2).attr, 0x70);
    term::scrollRectangle(2, 1, 9, 99, -1, 0x07);
    EXPECT_EQ(term::screenText(), "1221111111\n          \n2332222222\n3  3333333");
}

TEST_F(ConsoleGrid, ScriptedInputAndAttributes) {
    term::queueText("ab");
    term::queueInput(term::mouseRelease(2, 5, 1));
    term::InputEvent e;
    ASSERT_TRUE(term::readInput(e, 0));
    EXPECT_EQ(e.character, 'a');
    ASSERT_TRUE(term::readInput(e, 0));
    ASSERT_TRUE(term::readInput(e, 0));
    EXPECT_EQ(e.kind, term::InputEvent::Kind::mouseRelease);
    EXPECT_EQ(e.column, 5);
    EXPECT_FALSE(term::readInput(e, 0));
    term::setTextAttribute(0x4F);
    term::writeCell(1, 1, {'Q', 0x4F});
    EXPECT_EQ(term::rowAttributes(1).substr(0, 4), "4F07");
}

TEST(CodePage, RoundTripOfAccentsAndBoxCharacters) {
    const std::string utf8 = "Àà çÇ ═║╔ ►◄ ñ €";
    std::string bytes = term::utf8ToCp850(utf8);
    // The euro sign has no code page 850 byte and is dropped.
    EXPECT_EQ(bytes.size(), 15u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xB7);
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]), 0x10);
    EXPECT_EQ(term::cp850ToUtf8(bytes), "Àà çÇ ═║╔ ►◄ ñ ");
    EXPECT_EQ(testsupport::cp850("PÀGINA"), std::string("P\xB7GINA"));
}

TEST(KeyboardState, InsertToggleCarriesOverThroughItsFile) {
    testsupport::TempDir dir;
    term::setStateFolder(dir.path());
    EXPECT_FALSE(term::insertToggle());
    term::setInsertToggle(true);
    EXPECT_TRUE(term::insertToggle());
    EXPECT_TRUE(testsupport::fileExists(dir / "KbdState.tmp"));
    term::setInsertToggle(false);
    EXPECT_FALSE(term::insertToggle());
    term::setStateFolder("");
}
