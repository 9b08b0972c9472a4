#include "platform/term/clipboard.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalClipboard, Osc52CarriesUtf8InBase64) {
    EXPECT_EQ(term::osc52Sequence("Hola"), "\x1b]52;c;SG9sYQ==\x07");
    EXPECT_EQ(term::osc52Sequence("ab"), "\x1b]52;c;YWI=\x07");
    EXPECT_EQ(term::osc52Sequence("abc"), "\x1b]52;c;YWJj\x07");
    // "à" is CP850 0x85 and goes out as UTF-8 C3 A0; a line break stays one.
    EXPECT_EQ(term::osc52Sequence("\x85\n"), "\x1b]52;c;w6AK\x07");
    EXPECT_EQ(term::osc52Sequence(""), "\x1b]52;c;\x07");
}

TEST(TerminalClipboard, OnlyTerminalsThatTakeIt) {
    for (const char* t : {"xterm-256color", "xterm", "tmux-256color", "screen", "rxvt-unicode-256color", "alacritty",
                          "xterm-kitty", "foot", "st-256color"})
        EXPECT_TRUE(term::terminalTakesOsc52(t)) << t;
    for (const char* t : {"linux", "dumb", "vt100", "vt220", "", "cons25"})
        EXPECT_FALSE(term::terminalTakesOsc52(t)) << t;
}

}  // namespace
