#include "platform/term/cursor_shape.h"

#include <gtest/gtest.h>

namespace {

TEST(CursorShape, StyleWhereTheTerminalHasItElseVeryVisible) {
    const term::CursorCapabilities xterm{"\x1b[?25l", "\x1b[?12l\x1b[?25h", "\x1b[?12;25h", "\x1b[4 q", "\x1b[2 q", "\x1b[2 q"};
    EXPECT_EQ(term::cursorSequence(xterm, false, term::CursorShape::half), "\x1b[?25l");
    EXPECT_EQ(term::cursorSequence(xterm, true, term::CursorShape::half), "\x1b[?12l\x1b[?25h\x1b[4 q");
    EXPECT_EQ(term::cursorSequence(xterm, true, term::CursorShape::block), "\x1b[?12l\x1b[?25h\x1b[2 q");

    const term::CursorCapabilities linuxConsole{"\x1b[?25l\x1b[?1c", "\x1b[?25h\x1b[?0c", "\x1b[?25h\x1b[?8c", "", "", ""};
    EXPECT_EQ(term::cursorSequence(linuxConsole, true, term::CursorShape::half), "\x1b[?25h\x1b[?0c");
    EXPECT_EQ(term::cursorSequence(linuxConsole, true, term::CursorShape::block), "\x1b[?25h\x1b[?8c");

    const term::CursorCapabilities bare{"", "", "", "", "", ""};
    EXPECT_EQ(term::cursorSequence(bare, true, term::CursorShape::block), "");
}

}  // namespace
