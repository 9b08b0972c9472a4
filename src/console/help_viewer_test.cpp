#include "console/help_viewer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/field_editor.h"
#include "console/message_box.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

std::string record(std::string text, size_t length = 80) {
    text.resize(length, ' ');
    return text;
}

// "LINE 001" ... one record a line.
std::string numberedFile(const char* label, int lines) {
    std::string out;
    char buf[16];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(buf, sizeof buf, " %03d", i);
        out += record(std::string(label) + buf);
    }
    return out;
}

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

class HelpViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        sessionSettings.runMode = "DOS";
        const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        windowState = WindowState{};
        keyboardState = KeyboardState{};
        term::openMemory(80, 25);
        for (int r = 1; r <= 25; ++r)
            for (int c = 1; c <= 80; ++c) term::writeCell(r, c, term::Cell{'.', 0x07});
        setColor("u");
        saved = os::currentDirectory();
        os::changeDirectory(dir.path());
        os::makeDirectories(dir / "AJUDA");
        testsupport::writeFile(dir / "AJUDA/TEMA.HLP", numberedFile("LINE", 100));  // 8000 bytes
        testsupport::writeFile(dir / "AJUDA/KORPANEL.HLP", numberedFile("MENU", 3));
    }
    void TearDown() override {
        os::changeDirectory(saved);
        term::close();
    }

    // First and last text rows of the window, as record labels.
    static std::string firstShown() { return term::rowText(5).substr(2, 8); }
    static std::string lastShown() { return term::rowText(21).substr(2, 8); }

    testsupport::TempDir dir;
    std::string saved;
};

TEST_F(HelpViewerTest, WindowAndFirstPage) {
    HelpView view;
    ASSERT_TRUE(openHelpView(view, "TEMA  "));
    EXPECT_EQ(view.lineCount, 100);
    EXPECT_EQ(view.pageRows, 17);
    EXPECT_EQ(term::rowText(3), std::string(80, '.'));
    EXPECT_EQ(term::rowText(4), "\xC9" + std::string(78, '\xCD') + "\xBB");
    EXPECT_EQ(term::rowText(5), "\xBA LINE 001" + std::string(69, ' ') + "\xBA");
    EXPECT_EQ(lastShown(), "LINE 017");
    EXPECT_EQ(term::rowText(22), "\xC8" + std::string(78, '\xCD') + "\xBC");
    EXPECT_EQ(term::rowText(23), std::string(80, '.'));
    EXPECT_EQ(term::rowAttributes(4), repeat("0F", 80));             // frame in "h"
    EXPECT_EQ(term::rowAttributes(5).substr(4, 20), repeat("07", 10));  // text in "n"
    closeHelpView(view);
    EXPECT_EQ(term::rowText(5), std::string(80, '.'));
    EXPECT_EQ(windowState.currentColorSlot, 4);
    EXPECT_TRUE(windowState.colorStack.empty());
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(HelpViewerTest, Paging) {
    struct Case {
        const char* name;
        std::vector<int16_t> keys;
        const char* first;
        const char* last;
    };
    using namespace keycode;
    const std::vector<Case> cases = {
        {"Down", {down}, "LINE 002", "LINE 018"},
        {"Down then Up", {down, up}, "LINE 001", "LINE 017"},
        {"Up on the first page", {up}, "LINE 001", "LINE 017"},
        {"PgUp on the first page", {pgUp}, "LINE 001", "LINE 017"},
        {"Home on the first page", {home}, "LINE 001", "LINE 017"},
        {"PgDn", {pgDn}, "LINE 018", "LINE 034"},
        {"End", {end}, "LINE 084", "LINE 100"},
        {"Down on the last page", {end, down}, "LINE 084", "LINE 100"},
        {"PgDn on the last page", {end, pgDn}, "LINE 084", "LINE 100"},
        {"PgUp from the end", {end, pgUp}, "LINE 068", "LINE 084"},
        {"Up from the end", {end, up}, "LINE 083", "LINE 099"},
        {"PgDn running past the end shows the last page", {pgDn, pgDn, pgDn, pgDn, pgDn}, "LINE 084", "LINE 100"},
        {"PgUp near the top shows the first page", {down, pgUp}, "LINE 001", "LINE 017"},
        {"Home", {end, home}, "LINE 001", "LINE 017"},
        {"other keys do nothing", {'a', f4, enter}, "LINE 001", "LINE 017"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HelpView view;
        ASSERT_TRUE(openHelpView(view, "TEMA"));
        for (int16_t k : c.keys) EXPECT_TRUE(helpViewKey(view, k));
        EXPECT_EQ(firstShown(), c.first);
        EXPECT_EQ(lastShown(), c.last);
        EXPECT_EQ(term::rowText(12).substr(0, 2), "\xBA ");
        EXPECT_FALSE(helpViewKey(view, esc));
        closeHelpView(view);
        EXPECT_EQ(term::rowText(12), std::string(80, '.'));
    }
}

TEST_F(HelpViewerTest, ShortAndMissingFiles) {
    HelpView view;
    ASSERT_TRUE(openHelpView(view, "KORPANEL"));
    EXPECT_EQ(view.lineCount, 3);
    EXPECT_EQ(term::rowText(7).substr(2, 8), "MENU 003");
    for (int r = 8; r <= 21; ++r) EXPECT_EQ(term::rowText(r), "\xBA" + std::string(78, ' ') + "\xBA") << r;
    for (int16_t k : {keycode::down, keycode::pgDn, keycode::end, keycode::up}) helpViewKey(view, k);
    EXPECT_EQ(term::rowText(5).substr(2, 8), "MENU 001");
    closeHelpView(view);

    ASSERT_TRUE(openHelpView(view, "NOEXISTEIX"));
    EXPECT_EQ(view.lineCount, 0);
    for (int r = 5; r <= 21; ++r) EXPECT_EQ(term::rowText(r), "\xBA" + std::string(78, ' ') + "\xBA") << r;
    closeHelpView(view);

    // Records are rounded to the nearest whole one; a partial last record shows what it has.
    testsupport::writeFile(dir / "AJUDA/MIG.HLP", record("A") + "half");
    ASSERT_TRUE(openHelpView(view, "mig"));
    EXPECT_EQ(view.lineCount, 1);
    closeHelpView(view);
    testsupport::writeFile(dir / "AJUDA/MIG.HLP", record("A") + std::string(40, 'b'));
    ASSERT_TRUE(openHelpView(view, "MIG"));
    EXPECT_EQ(view.lineCount, 2);
    EXPECT_EQ(term::rowText(6).substr(2, 41), std::string(40, 'b') + " ");
    closeHelpView(view);
}

TEST_F(HelpViewerTest, ColourSwitchesAndWidth) {
    testsupport::writeFile(dir / "AJUDA/COLORS.HLP",
                           record("see \x1Ehelp\x1E now") + record("a\x1F" "bc\x1E" "d\x1E\x1F" "e") +
                               record("\x10rev\x10 x") + std::string(80, 'x') +
                               record("\x1E" + std::string(79, 'y')));
    HelpView view;
    ASSERT_TRUE(openHelpView(view, "COLORS"));
    EXPECT_EQ(term::rowText(5).substr(2, 13), "see help now ");
    EXPECT_EQ(term::rowAttributes(5).substr(4, 26), repeat("07", 4) + repeat("0F", 4) + repeat("07", 5));
    // Inside the input colour the highlight switch changes nothing.
    EXPECT_EQ(term::rowText(6).substr(2, 5), "abcde");
    EXPECT_EQ(term::rowAttributes(6).substr(4, 10), "071E1E1E07");
    EXPECT_EQ(term::rowText(7).substr(2, 5), "rev x");
    EXPECT_EQ(term::rowAttributes(7).substr(4, 10), "7070700707");
    // At most 76 characters of a record are shown, with or without switches.
    EXPECT_EQ(term::rowText(8), "\xBA " + std::string(76, 'x') + " \xBA");
    EXPECT_EQ(term::rowText(9), "\xBA " + std::string(76, 'y') + " \xBA");
    closeHelpView(view);
}

TEST_F(HelpViewerTest, F1OpensTheMenuHelpOnceAndEscClosesIt) {
    HelpView view;
    ASSERT_TRUE(openHelpView(view, "TEMA"));
    const std::string outer = term::screenText();
    // The nested viewer reads its own keys: PgDn there, then Esc back here.
    term::queueInput({term::extendedKey(0x51), term::characterKey(27)});
    EXPECT_TRUE(helpViewKey(view, keycode::f1));
    EXPECT_EQ(term::pendingInputCount(), 0u);
    EXPECT_EQ(term::screenText(), outer);
    EXPECT_EQ(windowState.windowDepth, 1);
    closeHelpView(view);

    // Inside the menu's own help F1 does nothing.
    ASSERT_TRUE(openHelpView(view, "korpanel"));
    EXPECT_EQ(firstShown(), "MENU 001");
    term::queueInput(term::characterKey('x'));
    EXPECT_TRUE(helpViewKey(view, keycode::f1));
    EXPECT_EQ(term::pendingInputCount(), 1u);
    EXPECT_EQ(windowState.windowDepth, 1);
    closeHelpView(view);
    term::flushInput();
}

TEST_F(HelpViewerTest, ShowHelpRunsTheViewerUntilEsc) {
    const std::string before = term::screenText();
    term::queueInput({term::extendedKey(0x50), term::extendedKey(0x3B), term::characterKey(27),
                      term::characterKey(27)});
    showHelp("TEMA");
    EXPECT_EQ(term::pendingInputCount(), 0u);
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_EQ(windowState.currentColorSlot, 4);
    EXPECT_FALSE(testsupport::fileExists(dir / "WinPush.tmp"));
}

TEST_F(HelpViewerTest, TooSmallConsoleShowsNothing) {
    term::openMemory(80, 8);
    HelpView view;
    EXPECT_FALSE(openHelpView(view, "TEMA"));
    showHelp("TEMA");
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(HelpViewerTest, WindowsRunModeStartsTheLauncher) {
    sessionSettings.runMode = "WIN";
    const std::string script = dir / "cmd.sh";
    testsupport::writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args.txt\"\n");
    testsupport::writeFile(dir / "DOCRUN", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/docrun.txt\"\n");
    ::chmod(script.c_str(), 0755);
    ::chmod((dir / "DOCRUN").c_str(), 0755);
    const std::string before = term::screenText();

    {
        testsupport::ScopedEnv env{{"COMSPEC", script.c_str()}};
        showHelp("TEMA ");
    }
    EXPECT_EQ(testsupport::readFile(dir / "args.txt"), "/C|DOCRUN|AJUDA\\TEMA.HTM|");

    // Without a command interpreter the shell starts the launcher; the topic is
    // handed over as an argument, never as shell syntax.
    const std::string path = dir.path() + ":" + os::getEnv("PATH");
    {
        testsupport::ScopedEnv env{{"COMSPEC", nullptr}, {"PATH", path.c_str()}};
        showHelp("TEMA");
        EXPECT_EQ(testsupport::readFile(dir / "docrun.txt"), "AJUDA/TEMA.HTM|");
        showHelp("X;touch pwned");
        EXPECT_EQ(testsupport::readFile(dir / "docrun.txt"), "AJUDA/X;touch pwned.HTM|");
    }
    EXPECT_FALSE(testsupport::fileExists(dir / "pwned"));
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
}

}  // namespace

namespace {

// A terminal wider or narrower than 80 columns: the help file's records are still
// 80 bytes, so every line shows its own record from its start, inside a window
// that never passes column 80 nor the screen's edge.
TEST_F(HelpViewerTest, OtherTerminalWidthsKeepTheRecordsWhole) {
    for (const int width : {100, 60}) {
        SCOPED_TRACE(width);
        term::close();
        term::openMemory(width, 30);
        for (int r = 1; r <= 30; ++r)
            for (int c = 1; c <= width; ++c) term::writeCell(r, c, term::Cell{'.', 0x07});
        HelpView view;
        ASSERT_TRUE(openHelpView(view, "TEMA"));
        EXPECT_EQ(view.lineCount, 100);
        const int right = std::min(width, 80);
        for (int row = 5; row <= 7; ++row) {
            EXPECT_EQ(term::rowText(row).substr(2, 8), "LINE 00" + std::to_string(row - 4));
            EXPECT_EQ(term::readCell(row, right).ch, 0xBA) << row;  // the frame, not text run over it
        }
        if (width > 80) EXPECT_EQ(term::readCell(4, 81).ch, '.');
        closeHelpView(view);
        EXPECT_EQ(term::readCell(5, 2).ch, '.');
    }
}

}  // namespace
