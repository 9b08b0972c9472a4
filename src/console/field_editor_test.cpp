#include "console/field_editor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/windows.h"
#include "driver/session_settings.h"
#include "format/text_utils.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

using term::InputEvent;
using testsupport::cp850;

constexpr uint32_t lAlt = term::leftAltPressed, rAlt = term::rightAltPressed, lCtrl = term::leftCtrlPressed,
                   rCtrl = term::rightCtrlPressed, shift = term::shiftPressed;

// A key event for a key code: characters below 256, extended keys as scan code x 256.
InputEvent K(int code, uint32_t state = 0) {
    const int u = code & 0xFFFF;
    return u < 256 ? term::characterKey(static_cast<uint8_t>(u), state)
                   : term::extendedKey(static_cast<uint8_t>(u >> 8), state);
}
std::vector<InputEvent> text(std::string_view s) {
    std::vector<InputEvent> out;
    for (unsigned char c : s) out.push_back(K(c));
    return out;
}
std::vector<InputEvent> operator+(std::vector<InputEvent> a, const std::vector<InputEvent>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        sessionSettings.terminalDir = dir.path();  // the calculator's file
        const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        windowState = WindowState{};
        exitKeyTable = ExitKeyTable{};
        keyboardState = KeyboardState{};
        term::openMemory(80, 25);
        term::setStateFolder(dir.path());
        std::remove((dir / "KbdState.tmp").c_str());  // overwrite mode, without a synced write per case
        term::setClipboardText("");
    }
    void TearDown() override { term::close(); }

    struct Read {
        int16_t key, button, row, column;
    };
    static Read read() {
        Read r{};
        readKey(r.key, r.button, r.row, r.column);
        return r;
    }

    struct Edit {
        std::string value;
        int16_t cursor;
        int16_t key;
        int16_t lineWidth;
    };
    // Edits value at (row 5, column 10) with the scripted input; the memory console
    // answers Esc once the script is used up.
    static Edit edit(std::string value, int16_t cursor, const std::vector<InputEvent>& input, int16_t lineWidth = 0,
                     int16_t row = 5, int16_t column = 10) {
        term::queueInput(input);
        int16_t key = 0;
        editField(row, column, lineWidth, value, cursor, key);
        return {value, cursor, key, lineWidth};
    }

    testsupport::TempDir dir;
};

// ---- readKey -------------------------------------------------------------------

TEST_F(KeyboardTest, PendingKeysComeFirst) {
    keyboardState.pendingKeys = "1\xD5";
    term::queueText("z");
    EXPECT_EQ(read().key, '1');
    EXPECT_EQ(read().key, 0xD5);
    EXPECT_EQ(read().key, 'z');
    EXPECT_TRUE(keyboardState.pendingKeys.empty());
}

TEST_F(KeyboardTest, AltKeypadEntry) {
    struct Case {
        const char* name;
        std::vector<InputEvent> input;
        std::vector<int> keys;
    };
    const std::vector<Case> cases = {
        {"End Down Down is 122", {K(keycode::end, lAlt), K(keycode::down, lAlt), K(keycode::down, lAlt)}, {'z'}},
        {"every keypad digit",
         {K(keycode::insert, lAlt), K(keycode::home, lAlt), K(keycode::up, lAlt)},  // 078
         {'N'}},
        {"modulo 256",
         {K(keycode::pgDn, lAlt), K(keycode::insert, lAlt), K(keycode::insert, lAlt)},  // 300
         {','}},
        {"digits 4 5 6 9",
         {K(keycode::left, lAlt), K(keycode::keypad5, lAlt), K(keycode::right, lAlt), K(keycode::pgUp, lAlt)},
         {4569 % 256}},
        {"a key ending the entry is kept", {K(keycode::right, lAlt), K(keycode::keypad5, lAlt), K('q')}, {'A', 'q'}},
        {"a non-digit under Alt ends it and is kept",
         {K(keycode::right, lAlt), K(keycode::keypad5, lAlt), K(keycode::f4, lAlt)},
         {'A', keycode::altF4}},
        {"a click ending it is kept", {K(keycode::right, lAlt), K(keycode::keypad5, lAlt), term::mouseRelease(3, 4)},
         {'A', 0}},
        {"the bare Alt release is dropped", {K(keycode::right, lAlt), K(keycode::keypad5, lAlt), K(0x00), K('q')},
         {'A', 'q'}},
        {"a code 0 under Alt is skipped", {K(0x00, lAlt), K(keycode::right, lAlt), K(0x00, lAlt), K(keycode::keypad5, lAlt)},
         {'A'}},
        {"right Alt does not compose", {K(keycode::end, rAlt)}, {keycode::end}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        term::queueInput(c.input);
        for (int k : c.keys) EXPECT_EQ(read().key, static_cast<int16_t>(k));
        EXPECT_EQ(term::pendingInputCount(), 0u);
        EXPECT_FALSE(keyboardState.heldEventWaiting);
    }
}

TEST_F(KeyboardTest, KeyCodesAndModifierFolding) {
    // Only the codes here: the pop-ups stay closed.
    keyboardState.calculatorOpen = keyboardState.calendarOpen = true;
    struct Case {
        InputEvent event;
        int expected;
    };
    const Case cases[] = {
        {K('a'), 'a'},
        {K(0xA1), 0xA1},
        {K(keycode::f1), keycode::f1},
        {K(keycode::altE, lAlt), 213},
        {term::characterKey('e', lAlt), 213},
        {term::characterKey('X', rAlt), keycode::altX},
        {term::characterKey('c', lAlt), keycode::altC},
        {K(keycode::tab, shift), keycode::shiftTab},
        {K(keycode::shiftTab), keycode::shiftTab},
        {K(keycode::f1, lAlt), 0x6800},
        {K(0x4400, rAlt), 0x7100},
        {K(keycode::f4, lAlt), keycode::altF4},
        {K(keycode::f11, lAlt), 0x8B00},
        {K(keycode::f12, lAlt), 0x8C00},
        {K(keycode::f1, lCtrl), 0x5E00},
        {K(keycode::f4, rCtrl), keycode::ctrlF4},
        {K(keycode::f11, lCtrl), 0x8900},
        {K(keycode::f12, lCtrl), 0x8A00},
        {K(keycode::home, lCtrl), keycode::ctrlHome},
        {K(keycode::left, rCtrl), keycode::ctrlLeft},
        {K(keycode::right, lCtrl), keycode::ctrlRight},
        {K(keycode::f1, shift), 0x5400},
        {K(0x4400, shift), 0x5D00},
        {K(keycode::f11, shift), 0x8700},
        {K(keycode::f12, shift), 0x8800},
        {K(keycode::home, shift), keycode::home},
        {K(keycode::f1, lAlt | lCtrl | shift), 0x6800},  // Alt wins
        {K(keycode::f1, lCtrl | shift), 0x5E00},         // then Ctrl
        {K(keycode::home, rAlt), keycode::home},
        {K(keycode::ctrlC), keycode::ctrlC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        term::queueInput(c.event);
        EXPECT_EQ(read().key, static_cast<int16_t>(c.expected));
    }
}

TEST_F(KeyboardTest, MouseReleaseAndMouseState) {
    term::queueInput({term::mouseRelease(7, 33, 2), K('a')});
    const Read click = read();
    EXPECT_EQ(click.key, 0);
    EXPECT_EQ(click.button, 2);
    EXPECT_EQ(click.row, 7);
    EXPECT_EQ(click.column, 33);
    EXPECT_EQ(keyboardState.mouse, MouseState::availableOff);
    const Read key = read();
    EXPECT_EQ(key.key, 'a');
    EXPECT_EQ(key.button, 0);
    EXPECT_EQ(key.row, 7);  // the last known mouse position
    EXPECT_EQ(key.column, 33);
}

TEST_F(KeyboardTest, PopupKeysAreReturnedAndGuardsCleared) {
    // Each pop-up is left with Esc: nothing to type, and the code still comes through.
    term::queueInput({K(keycode::altX, lAlt), K(27), K(keycode::altC, lAlt), K(27)});
    EXPECT_EQ(read().key, keycode::altX);
    EXPECT_FALSE(keyboardState.calculatorOpen);
    EXPECT_TRUE(keyboardState.pendingKeys.empty());
    EXPECT_EQ(read().key, keycode::altC);
    EXPECT_FALSE(keyboardState.calendarOpen);
    EXPECT_TRUE(keyboardState.pendingKeys.empty());
    EXPECT_EQ(term::pendingInputCount(), 0u);
    // A pop-up already open is not opened again; its code still comes through.
    keyboardState.calculatorOpen = true;
    keyboardState.calendarOpen = true;
    term::queueInput({K(keycode::altX, lAlt), K(keycode::altC, lAlt), K('z')});
    EXPECT_EQ(read().key, keycode::altX);
    EXPECT_EQ(read().key, keycode::altC);
    EXPECT_EQ(read().key, 'z');
    EXPECT_TRUE(keyboardState.calculatorOpen);
    EXPECT_TRUE(keyboardState.calendarOpen);
}

TEST_F(KeyboardTest, PopupResultsReplacePendingKeys) {
    // The calculator's amount, then the calendar's date, each replacing what waited.
    sessionSettings.sessionDate = packDigits("20240515");
    keyboardState.pendingKeys.clear();
    term::queueInput({K(keycode::altX, lAlt)});
    term::queueText("12.5F");
    EXPECT_EQ(read().key, keycode::altX);
    EXPECT_EQ(keyboardState.pendingKeys, "1250");
    term::queueInput({K(keycode::altC, lAlt), K(keycode::right), K('f')});
    keyboardState.pendingKeys.clear();
    EXPECT_EQ(read().key, keycode::altC);
    EXPECT_EQ(keyboardState.pendingKeys, "16/5/2024 ");
    // Opened from inside the calculator, the calendar types its date into it.
    // "15/5/2024 " divides 15 by 5 and goes on typing 2024, which "F" hands over.
    std::remove((dir / "ZELCALC.TMP").c_str());
    term::queueInput({K(keycode::altX, lAlt), K(keycode::altC, lAlt), K('f'), K('F')});
    keyboardState.pendingKeys.clear();
    EXPECT_EQ(read().key, keycode::altX);
    EXPECT_EQ(keyboardState.pendingKeys, "202400");
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_TRUE(windowState.colorStack.empty());
}

TEST_F(KeyboardTest, PopupResultIsTypedIntoTheField) {
    // Alt+X in a field whose exit keys do not hold it: the amount is typed at the cursor.
    setExitKeys("+ea", "d,1b");
    std::vector<InputEvent> input = {K(keycode::altX, lAlt)};
    for (char c : std::string("7F")) input.push_back(K(static_cast<uint8_t>(c)));
    input.push_back(K(13));
    const Edit e = edit("          ", 1, input);
    EXPECT_EQ(e.value, "700       ");
    EXPECT_EQ(e.key, 13);
    EXPECT_TRUE(keyboardState.pendingKeys.empty());
}

TEST_F(KeyboardTest, WaitKeyPacksMouseReleases) {
    term::queueInput({term::mouseRelease(7, 33, 1), term::mouseRelease(3, 200, 2), K(keycode::f1)});
    int16_t key = 0;
    waitKey(key);
    EXPECT_EQ(key, 33 * 256 + 64 + 7);
    waitKey(key);
    EXPECT_EQ(key, static_cast<int16_t>(static_cast<uint16_t>(200 * 256 + 128 + 3)));
    waitKey(key);
    EXPECT_EQ(key, keycode::f1);
}

// ---- setExitKeys ------------------------------------------------------------------

std::vector<int> codes(const std::string& table) {
    std::vector<int> out;
    for (size_t i = 0; i + 1 < table.size(); i += 2)
        out.push_back(static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(table[i]) |
                                                                 (static_cast<unsigned char>(table[i + 1]) << 8))));
    return out;
}

TEST_F(KeyboardTest, ExitKeyCommands) {
    struct Step {
        const char* command;
        const char* list;
        std::vector<int> keys, results;
        int depth;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"add and map",
         {{"a", "d,1b,d=4f00", {13, 27, 13}, {13, 27, 0x4F00}, 0}}},
        {"low byte first", {{"A", "3b00", {0x3B00}, {0x3B00}, 0}}},
        {"empty and malformed items read as 0", {{"a", "zz,,5,12g", {0, 0, 5, 0}, {0, 0, 5, 0}, 0}}},
        {"empty list adds nothing", {{"a", "", {}, {}, 0}}},
        {"high codes", {{"a", "8600, 4800 ", {static_cast<int16_t>(0x8600), 0x4800}, {static_cast<int16_t>(0x8600), 0x4800}, 0}}},
        {"delete the first occurrence",
         {{"a", "1b,3b00,1b=5", {27, 0x3B00, 27}, {27, 0x3B00, 5}, 0},
          {"d", "1b", {0x3B00, 27}, {0x3B00, 5}, 0},
          {"D", "77", {0x3B00, 27}, {0x3B00, 5}, 0}}},
        {"one saved level",
         {{"a", "d", {13}, {13}, 0},
          {"+ea", "1b,3b00", {27, 0x3B00}, {27, 0x3B00}, 1},
          {"+ea", "5000", {0x5000}, {0x5000}, 1},
          {"-", "", {13}, {13}, 0},
          {"-", "", {13}, {13}, 0}}},
        {"commands run in order", {{"ea", "9", {9}, {9}, 0}, {"ae", "9", {}, {}, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exitKeyTable = ExitKeyTable{};
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.command);
            setExitKeys(s.command, s.list);
            EXPECT_EQ(codes(exitKeyTable.keys), s.keys);
            EXPECT_EQ(codes(exitKeyTable.results), s.results);
            EXPECT_EQ(exitKeyTable.saveDepth, s.depth);
        }
    }
    setExitKeys("h", "");
    EXPECT_EQ(keyboardState.maskChar, 'X');
    setExitKeys("V", "");
    EXPECT_EQ(keyboardState.maskChar, 0);
}

// ---- editField, text mode -----------------------------------------------------------

struct TextCase {
    const char* name;
    std::string value;
    int16_t cursor;
    bool insert;
    int16_t lineWidth;
    std::vector<InputEvent> input;
    std::string value2;
    int16_t cursor2;
    int key;
};

TEST_F(KeyboardTest, TextModeKeys) {
    const InputEvent enter = K(keycode::enter);
    const std::vector<TextCase> cases = {
        {"overwrite typing", "     ", 1, false, 0, text("ab") + std::vector{enter}, "ab   ", 3, 13},
        {"overwrite at the end is ignored", "abc", 4, false, 0, text("x") + std::vector{enter}, "abc", 4, 13},
        {"high characters are typed", "   ", 1, false, 0, {K(0xA1), K(0xFE), enter}, "\xA1\xFE ", 3, 13},
        {"insert typing", "ab  ", 1, true, 0, text("x") + std::vector{enter}, "xab ", 2, 13},
        {"insert into a full field is ignored until Delete frees the end", "abcd", 2, true, 0,
         text("x") + std::vector{K(keycode::del)} + text("x") + std::vector{enter}, "axcd", 3, 13},
        {"insert at the end is ignored", "ab  ", 5, true, 0, text("x") + std::vector{enter}, "ab  ", 5, 13},
        {"Left", "abc", 3, false, 0, {K(keycode::left), enter}, "abc", 2, 13},
        {"Left stops at 1", "abc", 1, false, 0, {K(keycode::left), enter}, "abc", 1, 13},
        {"Right reaches the end", "abc", 3, false, 0, {K(keycode::right), K(keycode::right), enter}, "abc", 4, 13},
        {"Home", "abc", 3, false, 0, {K(keycode::home), enter}, "abc", 1, 13},
        {"End after the last non-blank", "ab d  ", 1, false, 0, {K(keycode::end), enter}, "ab d  ", 5, 13},
        {"End in a blank field", "    ", 3, false, 0, {K(keycode::end), enter}, "    ", 1, 13},
        {"Backspace", "abcd", 3, false, 0, {K(keycode::backspace), enter}, "acd ", 2, 13},
        {"Backspace at 1 does nothing", "abcd", 1, false, 0, {K(keycode::backspace), enter}, "abcd", 1, 13},
        {"Delete", "abcd", 2, false, 0, {K(keycode::del), enter}, "acd ", 2, 13},
        {"Delete at the end does nothing", "abcd", 5, false, 0, {K(keycode::del), enter}, "abcd", 5, 13},
        {"Ctrl+Y clears", "abcd", 3, false, 0, {K(keycode::ctrlY), enter}, "    ", 1, 13},
        {"Ctrl+Home clears", "abcd", 3, false, 0, {K(keycode::home, lCtrl), enter}, "    ", 1, 13},
        {"Ctrl+Right to the next word", "AB CD", 1, false, 0, {K(keycode::right, lCtrl), enter}, "AB CD", 4, 13},
        {"Ctrl+Right from the last word to the end", "AB CD", 4, false, 0, {K(keycode::ctrlRight), enter}, "AB CD",
         6, 13},
        {"Ctrl+Right over separators", "A,. ;:B", 1, false, 0, {K(keycode::ctrlRight), enter}, "A,. ;:B", 7, 13},
        {"Ctrl+Right at the end ends", "AB", 3, false, 0, {K(keycode::ctrlRight)}, "AB", 3, keycode::ctrlRight},
        {"Ctrl+Left to the word start", " ABC", 5, false, 0, {K(keycode::ctrlLeft), enter}, " ABC", 2, 13},
        {"Ctrl+Left reaching position 1", "ABC", 3, false, 0, {K(keycode::ctrlLeft), enter}, "ABC", 1, 13},
        {"Ctrl+Left from separators to the word before", "AB CD  ", 8, false, 0, {K(keycode::ctrlLeft), enter},
         "AB CD  ", 4, 13},
        {"Ctrl+Left at 1 ends", "AB", 1, false, 0, {K(keycode::left, rCtrl)}, "AB", 1, keycode::ctrlLeft},
        {"Up on one line ends", "AB", 2, false, 0, {K(keycode::up)}, "AB", 2, keycode::up},
        {"Shift+Tab ends as Up", "AB", 2, false, 0, {K(keycode::tab, shift)}, "AB", 2, keycode::up},
        {"Down on one line ends", "AB", 2, false, 0, {K(keycode::down)}, "AB", 2, keycode::down},
        {"Down to the next line", std::string(60, ' '), 5, false, 20, {K(keycode::down), enter},
         std::string(60, ' '), 25, 13},
        {"Down from the last line ends", std::string(60, ' '), 45, false, 20, {K(keycode::down)},
         std::string(60, ' '), 45, keycode::down},
        {"Up to the previous line", std::string(60, ' '), 25, false, 20, {K(keycode::up), enter},
         std::string(60, ' '), 5, 13},
        {"Up from the first line ends", std::string(60, ' '), 5, false, 20, {K(keycode::up)}, std::string(60, ' '),
         5, keycode::up},
        {"typing wraps to the next line", std::string(6, ' '), 3, false, 3, text("abc") + std::vector{enter},
         "  abc ", 6, 13},
        {"Tab ends as Enter", "a", 1, false, 0, {K(keycode::tab)}, "a", 1, 13},
        {"Esc", "a", 1, false, 0, {K(keycode::esc)}, "a", 1, 27},
        {"PgUp", "a", 1, false, 0, {K(keycode::pgUp)}, "a", 1, keycode::pgUp},
        {"PgDn", "a", 1, false, 0, {K(keycode::pgDn)}, "a", 1, keycode::pgDn},
        {"F1", "a", 1, false, 0, {K(keycode::f1)}, "a", 1, keycode::f1},
        {"F4", "a", 1, false, 0, {K(keycode::f4)}, "a", 1, keycode::f4},
        {"Ctrl+F4 ends as Esc", "a", 1, false, 0, {K(keycode::f4, lCtrl)}, "a", 1, 27},
        {"Alt+F4 ends as Esc", "a", 1, false, 0, {K(keycode::f4, lAlt)}, "a", 1, 27},
        {"Alt+F ends", "a", 1, false, 0, {K(keycode::altF)}, "a", 1, keycode::altF},
        {"Alt+X ends with an empty table", "a", 1, false, 0, {K(keycode::altX, lAlt), K(27)}, "a", 1, keycode::altX},
        {"character 127 ends", "a", 1, false, 0, {K(127)}, "a", 1, 127},
        {"character 255 ends", "a", 1, false, 0, {K(255)}, "a", 1, 255},
        {"control character ends", "a", 1, false, 0, {K(1)}, "a", 1, 1},
        {"cursor clamped to the end", "ab", 9, false, 0, {K(keycode::enter)}, "ab", 3, 13},
        {"cursor clamped to 1", "ab", -4, false, 0, {K(keycode::enter)}, "ab", 1, 13},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.insert) term::setInsertToggle(true);
        const Edit e = edit(c.value, c.cursor, c.input, c.lineWidth);
        EXPECT_EQ(e.value, c.value2);
        EXPECT_EQ(e.cursor, c.cursor2);
        EXPECT_EQ(e.key, static_cast<int16_t>(c.key));
        EXPECT_EQ(term::pendingInputCount(), 0u);
    }
}

TEST_F(KeyboardTest, FieldIsDrawnInTheInputColourAndLeavesTheHighlight) {
    setColor("n");
    const Edit e = edit("abcdefghij", 1, text("XY") + std::vector{K(keycode::end), K(keycode::right), K(13)});
    EXPECT_EQ(e.lineWidth, 11);  // zero line width: the whole field on one line, cursor up to 11
    EXPECT_EQ(e.cursor, 11);
    EXPECT_EQ(term::rowText(5).substr(9, 10), "XYcdefghij");
    EXPECT_EQ(term::rowAttributes(5).substr(18, 20), repeat("1E", 10));
    EXPECT_EQ(windowState.currentColorSlot, 0);
    EXPECT_EQ(term::cursorRow(), 5);
    EXPECT_EQ(term::cursorColumn(), 10);
}

TEST_F(KeyboardTest, MultiLineFieldIsDrawnLineByLine) {
    std::string value = "0123456789ABCDEFGHIJ" + std::string(20, 'b') + "cccccccccccccccccccc";
    const Edit e = edit(value, 1, {K(13)}, 20, 3, 5);
    EXPECT_EQ(term::rowText(3).substr(4, 21), "0123456789ABCDEFGHIJ ");
    EXPECT_EQ(term::rowText(4).substr(4, 21), std::string(20, 'b') + " ");
    EXPECT_EQ(term::rowText(5).substr(4, 21), std::string(20, 'c') + " ");
    EXPECT_EQ(term::rowText(6).substr(4, 21), std::string(21, ' '));
}

TEST_F(KeyboardTest, FieldInsideAWindowAndAtTheCursor) {
    pushWindow(3, 5, 10, 40);
    edit("ab", 1, {K('x'), K(13)}, 0, 2, 3);
    EXPECT_EQ(term::rowText(5).substr(7, 2), "xb");
    // Row and column 0 take the cursor position, in window coordinates.
    term::setCursorPosition(8, 20);
    int16_t row = 0, column = 0, width = 0, cursor = 1, key = 0;
    std::string value = "cd";
    term::queueInput(K(13));
    editField(row, column, width, value, cursor, key);
    EXPECT_EQ(row, 5);
    EXPECT_EQ(column, 15);
    EXPECT_EQ(term::rowText(8).substr(19, 2), "cd");
    popWindow();
}

TEST_F(KeyboardTest, InsertToggleCarriesOverToTheNextField) {
    edit("ab  ", 1, {K(keycode::insert), K(13)});
    EXPECT_TRUE(term::insertToggle());
    EXPECT_EQ(term::cursorShape(), term::CursorShape::half);
    const Edit next = edit("ab  ", 1, text("x") + std::vector{K(13)});
    EXPECT_EQ(next.value, "xab ");
    const Edit back = edit("ab  ", 1, std::vector{K(keycode::insert)} + text("x") + std::vector{K(13)});
    EXPECT_EQ(back.value, "xb  ");
    EXPECT_FALSE(term::insertToggle());
    EXPECT_EQ(term::cursorShape(), term::CursorShape::block);
}

TEST_F(KeyboardTest, HiddenInput) {
    setExitKeys("H", "");
    for (int c = 1; c <= 20; ++c) term::writeCell(5, c, term::Cell{'.', 0x07});
    const Edit e = edit("      ", 1, text("abc") + std::vector{K(keycode::backspace), K(13)});
    EXPECT_EQ(e.value, "ab    ");
    EXPECT_EQ(term::rowText(5).substr(8, 8), ".XXXXXX.");
    // Hidden input is never copied out.
    term::setClipboardText("before");
    edit("secret", 1, {K(keycode::ctrlC), K(13)});
    EXPECT_EQ(term::clipboardText(), "before");
}

TEST_F(KeyboardTest, CopyAndPaste) {
    edit("  two words  ", 1, {K(keycode::ctrlC), K(13)});
    EXPECT_EQ(term::clipboardText(), "two words");

    struct Case {
        const char* name;
        std::string clipboard;
        bool insert;
        std::string after;
    };
    const Case cases[] = {
        {"overwrites from the cursor", "XY", false, "abXYef"},
        {"trims and drops control characters", "  X\tY\x7F\xFFZ\r\n  ", false, "abXYZf"},
        {"stops at the end of the field", "VWXYZ", false, "abVWXY"},
        {"overwrites in insert mode too", "XY", true, "abXYef"},
        {"empty clipboard", "", false, "abcdef"},
        {"blanks only", "   ", false, "abcdef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        term::setClipboardText(c.clipboard);
        term::setInsertToggle(c.insert);
        const Edit e = edit("abcdef", 3, {K(keycode::ctrlV), K(13)});
        EXPECT_EQ(e.value, c.after);
        EXPECT_EQ(e.cursor, 3);
    }
}

TEST_F(KeyboardTest, MouseInTextMode) {
    // Inside the field: the cursor moves to the clicked character.
    Edit e = edit("abcdef", 1, {term::mouseRelease(5, 13), K('X'), K(13)});
    EXPECT_EQ(e.value, "abcXef");
    // Outside: the editing ends with the negative code.
    e = edit("abcdef", 1, {term::mouseRelease(6, 10)});
    EXPECT_EQ(e.key, -(100 * 10 + 6));
    // Past the value on the field's line the cursor goes to the end.
    e = edit("abcdef", 1, {term::mouseRelease(5, 16), K(13)});
    EXPECT_EQ(e.cursor, 7);
    // A multi-line field, in a window: window coordinates decide.
    pushWindow(2, 4, 20, 60);
    e = edit(std::string(60, ' '), 1, {term::mouseRelease(2 + 4, 4 + 12), K('X'), K(13)}, 20, 3, 10);
    EXPECT_EQ(e.value.find('X'), 20u + 2u);
    // A mouse code is not taken for a key of the exit table, and ends even with one.
    setExitKeys("+ea", "1b");
    e = edit("ab", 1, {term::mouseRelease(24, 70)});
    EXPECT_EQ(e.key, -(100 * 70 + 24));
    setExitKeys("-", "");
    popWindow();
}

TEST_F(KeyboardTest, ExitKeyTableDecidesTheEnding) {
    struct Case {
        const char* name;
        const char* command;
        const char* list;
        std::vector<InputEvent> input;
        std::string value;
        int key;
    };
    const std::vector<Case> cases = {
        {"empty table: Enter", "", "", {K(13)}, "abc", 13},
        {"empty table: Tab as Enter", "", "", {K(9)}, "abc", 13},
        {"End registered: Enter ends as End", "a", "4f00=99", {K(13)}, "abc", 0x99},
        {"End registered: Tab is ignored and sends the cursor home", "a", "4f00=99",
         {K(9), K('x'), K(13)}, "xbc", 0x99},
        {"End and Enter registered: Tab ends as Enter", "a", "4f00=99,d=77", {K(9)}, "abc", 0x77},
        {"+ea 1b,3b00: Enter and Tab ignored, Esc ends", "+ea", "1b,3b00",
         {K(13), K('x'), K(9), K('y'), K(27)}, "ybc", 27},
        {"+ea 1b,3b00: F1 ends", "+ea", "1b,3b00", {K(keycode::f1)}, "abc", keycode::f1},
        {"+ea 1b,3b00: Ctrl+F4 ends as Esc", "+ea", "1b,3b00", {K(keycode::f4, lCtrl)}, "abc", 27},
        {"F11 is not a mouse code", "+ea", "1b", {K(keycode::f11), K('x'), K(27)}, "xbc", 27},
        {"Alt+X not in the table is ignored", "+ea", "1b", {K(keycode::altX, lAlt), K(27), K('x'), K(27)}, "xbc", 27},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        setExitKeys(c.command, c.list);
        const Edit e = edit("abc", 3, c.input);
        EXPECT_EQ(e.value, c.value);
        EXPECT_EQ(e.key, static_cast<int16_t>(c.key));
        EXPECT_EQ(term::pendingInputCount(), 0u);
    }
}

TEST_F(KeyboardTest, PendingKeysAreTypedIntoTheField) {
    keyboardState.pendingKeys = "12";
    setExitKeys("+ea", "d");
    const Edit e = edit("     ", 1, {K(13)});
    EXPECT_EQ(e.value, "12   ");
    EXPECT_EQ(e.key, 13);
}

// ---- editField, choice mode -------------------------------------------------------------

TEST_F(KeyboardTest, ChoiceModeKeys) {
    const std::string list = cp850("|S,Sí|N,No|T,Tots");
    const InputEvent enter = K(13);
    struct Case {
        const char* name;
        std::string value;
        std::vector<InputEvent> input;
        std::string value2;
        int key;
    };
    const std::vector<Case> cases = {
        {"unchanged", "N", {enter}, "N", 13},
        {"unknown value starts at the first option", "Q", {enter}, "S", 13},
        {"Right", "N", {K(keycode::right), enter}, "T", 13},
        {"Right wraps", "T", {K(keycode::right), enter}, "S", 13},
        {"Space as Right", "S", {K(' '), enter}, "N", 13},
        {"Left", "N", {K(keycode::left), enter}, "S", 13},
        {"Left wraps", "S", {K(keycode::left), enter}, "T", 13},
        {"typing a lower-case letter", "N", text("s") + std::vector{enter}, "S", 13},
        {"typing an accented letter", "S", {K(0xD4) /* È */, enter}, "S", 13},
        {"typing moves on from the current option", "T", text("t") + std::vector{enter}, "T", 13},
        {"no match", "N", text("z") + std::vector{enter}, "N", 13},
        {"keys without effect",
         "N",
         {K(keycode::home), K(keycode::end), K(8), K(keycode::del), K(keycode::ctrlY), K(keycode::home, lCtrl),
          K(keycode::ctrlV), K(keycode::insert), K(keycode::insert), enter},
         "N", 13},
        {"Ctrl+Left ends", "N", {K(keycode::ctrlLeft)}, "N", keycode::ctrlLeft},
        {"Ctrl+Right ends", "N", {K(keycode::ctrlRight)}, "N", keycode::ctrlRight},
        {"Up ends", "N", {K(keycode::up)}, "N", keycode::up},
        {"Down ends", "N", {K(keycode::down)}, "N", keycode::down},
        {"Tab ends as Enter", "N", {K(9)}, "N", 13},
        {"127 ends", "N", {K(127)}, "N", 127},
        {"a padded value is not a code: first option", "N  ", {enter}, "S  ", 13},
        {"code stored padded", "N  ", {K(keycode::right), enter}, "N  ", 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        setChoiceList(list);
        const Edit e = edit(c.value, 1, c.input);
        EXPECT_EQ(e.value, c.value2);
        EXPECT_EQ(e.key, static_cast<int16_t>(c.key));
    }
}

TEST_F(KeyboardTest, ChoiceModeScreenAndClipboard) {
    setChoiceList(cp850("|S,Sí|N,No"));
    for (int c = 1; c <= 20; ++c) term::writeCell(5, c, term::Cell{'#', 0x07});
    const Edit e = edit("N", 1, {K(keycode::right), K(keycode::ctrlC), K(13)});
    EXPECT_EQ(e.value, "S");
    EXPECT_EQ(term::clipboardText(), cp850("Sí"));
    // The option shown in the input colour, the markers blanked in the highlight colour.
    EXPECT_EQ(term::rowText(5).substr(7, 6), "# " + cp850("Sí") + " #");
    EXPECT_EQ(term::rowAttributes(5).substr(14, 12), "070F1E1E0F07");
    EXPECT_FALSE(term::cursorVisible());
}

TEST_F(KeyboardTest, ChoiceModeMouse) {
    setChoiceList("|A,Alpha|B,Beta|C,Gamma");  // display width 5: text at 10..14, markers at 9 and 15
    struct Case {
        const char* name;
        std::vector<InputEvent> input;
        std::string value;
        int key;
    };
    const std::vector<Case> cases = {
        {"left marker", {term::mouseRelease(5, 9), K(13)}, "C", 13},
        {"right marker", {term::mouseRelease(5, 15), K(13)}, "B", 13},
        {"on the text", {term::mouseRelease(5, 12), K(13)}, "A", 13},
        {"elsewhere ends", {term::mouseRelease(5, 16)}, "A", -(100 * 16 + 5)},
        {"another row ends", {term::mouseRelease(6, 12)}, "A", -(100 * 12 + 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Edit e = edit("A", 1, c.input);
        EXPECT_EQ(e.value, c.value);
        EXPECT_EQ(e.key, static_cast<int16_t>(c.key));
    }
}

}  // namespace
