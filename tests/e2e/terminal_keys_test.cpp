// The terminal back end on the real program: keys sent by tmux the way a terminal
// sends them come out of readKey with the codes the forms expect.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/support/tmux_session.h"

namespace {

using testsupport::TmuxSession;

std::string keysCommand() { return testsupport::binDir() + "/zelutil keys"; }

class TerminalKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmux.start(keysCommand())) << tmux.error();
        ASSERT_TRUE(tmux.waitFor("Esc twice ends")) << tmux.lastScreen();
    }
    // Sends the keys and waits for the line the key echo shows for them.
    void expectKey(std::initializer_list<std::string_view> keys, const std::string& shown) {
        ASSERT_TRUE(tmux.sendKeys(keys));
        EXPECT_TRUE(tmux.waitFor(shown)) << shown << "\n" << tmux.lastScreen();
    }
    void quit() {
        ASSERT_TRUE(tmux.sendKeys({"Escape"}));
        ASSERT_TRUE(tmux.waitFor("Esc again")) << tmux.lastScreen();
        ASSERT_TRUE(tmux.sendKeys({"Escape"}));
        EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState() << "\n" << tmux.capture();
    }
    TmuxSession tmux;
};

TEST_F(TerminalKeys, ModifiedKeysFoldToTheirCodes) {
    expectKey({"C-Left"}, "key 7300  Ctrl+Left");
    expectKey({"C-Right"}, "key 7400  Ctrl+Right");
    expectKey({"C-Home"}, "key 7700  Ctrl+Home");
    expectKey({"M-F1"}, "key 6800  Alt+F1");
    expectKey({"S-F12"}, "key 8800  Shift+F12");
    expectKey({"C-F4"}, "key 6100  Ctrl+F4");
    expectKey({"M-F4"}, "key 6b00  Alt+F4");
    expectKey({"M-a"}, "key 1e00  Alt+A");
    expectKey({"M-x"}, "key 2d00  Alt+X");
    expectKey({"BTab"}, "key 0f00  Shift+Tab");
    expectKey({"C-c"}, "key 0003  Ctrl+C");
    expectKey({"BSpace"}, "key 0008  Backspace");
    expectKey({"Enter"}, "key 000d  Enter");
    expectKey({"F11"}, "key 8500  F11");
    expectKey({"DC"}, "key 5300  Delete");
    quit();
}

TEST_F(TerminalKeys, TypedAccentsMouseAndFont) {
    ASSERT_TRUE(tmux.sendText("à"));
    EXPECT_TRUE(tmux.waitFor("key 0085  'à'")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendMouseClick(10, 20));
    EXPECT_TRUE(tmux.waitFor("mouse button 1 at row 10 column 20")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendMouseClick(3, 7, 2));
    EXPECT_TRUE(tmux.waitFor("mouse button 2 at row 3 column 7")) << tmux.lastScreen();
    // The CP850 box bytes reach the screen as the box characters.
    EXPECT_NE(tmux.capture().find("╔═╗║╚╝"), std::string::npos) << tmux.lastScreen();
    // The title line is yellow on blue: bright yellow (palette 11) on blue (palette 4).
    const std::string coloured = tmux.capture(true);
    EXPECT_NE(coloured.find("\x1b[93m"), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\x1b[44m"), std::string::npos) << coloured;
    quit();
}

TEST_F(TerminalKeys, AltKeypadDigitsComposeACharacter) {
    // Alt + keypad 1, 3, 0 without NumLock, as xterm sends them: End, PgDn, Insert
    // with the Alt modifier; readKey composes character 130 (é).
    ASSERT_TRUE(tmux.sendBytes("\x1b[1;3F\x1b[6;3~\x1b[2;3~"));
    ASSERT_TRUE(tmux.sendKeys({"x"}));
    EXPECT_TRUE(tmux.waitFor("key 0082  'é'")) << tmux.lastScreen();
    EXPECT_TRUE(tmux.waitFor("key 0078  'x'")) << tmux.lastScreen();
    quit();
}

TEST_F(TerminalKeys, ALoneEscapeIsTheEscKeyAndResizeIsSeen) {
    expectKey({"Escape"}, "key 001b  Esc");
    expectKey({"a"}, "key 0061  'a'");
    ASSERT_TRUE(tmux.resize(100, 30));
    expectKey({"b"}, "Screen 100 x 30");
    quit();
}

std::string terminalModes(TmuxSession& tmux) {
    std::string modes;
    tmux.tmux({"display-message", "-p", "-t", "main",
               "#{mouse_any_flag}#{mouse_sgr_flag}#{alternate_on}#{keypad_cursor_flag}"},
              &modes);
    return modes.substr(0, 4);
}

TEST(TerminalBackend, GivesTheTerminalBackWhenKilled) {
    TmuxSession tmux;
    // The shell stays to show what the terminal looks like after the program.
    ASSERT_TRUE(tmux.start("printf 'before\\n'; " + keysCommand() + " & p=$!; sleep 0.5; kill -TERM $p; wait $p; "
                           "echo status=$?; sleep 30"))
        << tmux.error();
    ASSERT_TRUE(tmux.waitFor("status=143")) << tmux.lastScreen();
    // Back on the normal screen (the alternate one has been left).
    EXPECT_NE(tmux.lastScreen().find("before"), std::string::npos) << tmux.lastScreen();
    EXPECT_EQ(terminalModes(tmux), "0000");
}

TEST(TerminalBackend, CtrlZGivesTheTerminalBackAndFgTakesItAgain) {
    TmuxSession tmux;
    TmuxSession::Options o;
    o.env = {{"PS1", "prompt$ "}};
    ASSERT_TRUE(tmux.start("exec bash --norc --noprofile -i", o)) << tmux.error();
    ASSERT_TRUE(tmux.waitFor("prompt$")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendText(keysCommand()));
    ASSERT_TRUE(tmux.sendKeys({"Enter"}));
    ASSERT_TRUE(tmux.waitFor("Esc twice ends")) << tmux.lastScreen();
    EXPECT_EQ(terminalModes(tmux), "1111");  // mouse, SGR mouse, alternate screen, cursor keys
    ASSERT_TRUE(tmux.sendKeys({"a"}));
    ASSERT_TRUE(tmux.waitFor("key 0061")) << tmux.lastScreen();

    ASSERT_TRUE(tmux.sendKeys({"C-z"}));
    ASSERT_TRUE(tmux.waitFor("Stopped")) << tmux.lastScreen();
    EXPECT_EQ(terminalModes(tmux), "0000");

    ASSERT_TRUE(tmux.sendText("fg"));
    ASSERT_TRUE(tmux.sendKeys({"Enter"}));
    // Repainted in full, and reading keys again.
    ASSERT_TRUE(tmux.waitFor("key 0061")) << tmux.lastScreen();
    EXPECT_NE(tmux.lastScreen().find("Esc twice ends"), std::string::npos) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendKeys({"b"}));
    ASSERT_TRUE(tmux.waitFor("key 0062")) << tmux.lastScreen();
    EXPECT_EQ(terminalModes(tmux), "1111");

    ASSERT_TRUE(tmux.sendKeys({"Escape"}));
    ASSERT_TRUE(tmux.waitFor("Esc again")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendKeys({"Escape"}));
    ASSERT_TRUE(tmux.waitForGone("Esc again")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.waitFor("prompt$ fg\n" + keysCommand() + "\nprompt$")) << tmux.lastScreen();
    EXPECT_EQ(terminalModes(tmux), "0000");
}

TEST(TmuxHarness, ExitStatusEnvironmentAndTerm) {
    TmuxSession tmux;
    TmuxSession::Options o;
    o.env = {{"ZEL_PROBE", "it's here"}};
    ASSERT_TRUE(tmux.start("echo \"$TERM $LANG $ZEL_PROBE\"; exit 3", o)) << tmux.error();
    EXPECT_EQ(tmux.waitForExit(), 3) << tmux.capture();
    // The screen the command left, from its first row.
    EXPECT_TRUE(tmux.lastScreen().starts_with("xterm-256color C.UTF-8 it's here")) << tmux.lastScreen();
    EXPECT_EQ(tmux.lastScreen().find("Pane is dead"), std::string::npos) << tmux.lastScreen();
}

}  // namespace
