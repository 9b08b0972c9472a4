#include "console/calculator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/field_editor.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "format/edit_masks.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

const std::string bar = "\xB3";                      // │
const std::string dashes = std::string(24, '\xC4');  // ─

class CalculatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        sessionSettings.terminalDir = dir.path();
        const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        windowState = WindowState{};
        keyboardState = KeyboardState{};
        numberFormatState = NumberFormatState{};
        numberFormatState.decimalChar = ',';
        numberFormatState.thousandsChar = '.';
        term::openMemory(80, 25);
        for (int r = 1; r <= 25; ++r)
            for (int c = 1; c <= 80; ++c) term::writeCell(r, c, term::Cell{'.', 0x07});
        term::setCursorVisible(true);
    }
    void TearDown() override { term::close(); }

    // Feeds the keys of a text (one key a character) to an open calculator.
    static void type(CalculatorState& s, std::string_view keys) {
        std::string result;
        for (char c : keys) EXPECT_TRUE(calculatorViewKey(s, static_cast<unsigned char>(c), result)) << c;
    }
    // The value without the blanks that lay it out (the sign stands in the first column).
    static std::string trim(std::string text) {
        std::string out;
        for (char c : text)
            if (c != ' ') out += c;
        return out;
    }
    // The display row of a strip at column `column`, without the blanks around the value.
    static std::string shown(int column = 1) { return trim(term::rowText(24).substr(column, 22)); }
    // Tape line i (1..22) as "value op", blanks around the value dropped.
    static std::string tape(const CalculatorState& s, int i) {
        const CalculatorTapeLine& line = s.tape[i];
        std::string text = trim(calculatorDisplay(line.value, line.pointTyped, line.decimals));
        return text + " " + (line.op == " " ? "" : line.op);  // a result line ends in a blank
    }
    static std::vector<std::string> lastTape(const CalculatorState& s, int count) {
        std::vector<std::string> lines;
        for (int i = 23 - count; i <= 22; ++i) lines.push_back(tape(s, i));
        return lines;
    }

    testsupport::TempDir dir;
};

TEST_F(CalculatorTest, WorkedSequences) {
    struct Case {
        const char* keys;
        const char* display;
        std::vector<std::string> tape;  // the last lines of the tape
    };
    const std::vector<Case> cases = {
        {"2+3=", "5", {"2 +", "3 =", "5 "}},
        {"2+3==", "5", {"2 +", "3 =", "5 "}},     // "=" with nothing typed changes nothing
        {"200+10%=", "220", {"200 +", "10 %", "20 =", "220 "}},
        {"50%", "0,5", {"50 %"}},
        {"0.375R", "0,38", {"0,38 R"}},
        {"0.375TR", "-0,38", {"-0,38 R"}},
        {"0.125R", "0,12", {"0,12 R"}},
        {"10-4*3/2=", "9", {"10 -", "4 *", "3 /", "2 =", "9 "}},
        {"1/3=", "0,333333333333333", {"1 /", "3 =", "0,333333333333333 "}},
        {"0.1+0.2=", "0,3", {"0,1 +", "0,2 =", "0,3 "}},
        {"5\r", "5", {"5 =", "5 "}},
        {"12.34\b", "12,3", {}},
        {"12.34\b\b", "12,", {}},
        {"12.34\b\b\b", "12", {}},
        {"12.34\b\b\b\b", "1", {}},
        {"2+3C", "2", {"2 +"}},     // the typed number is dropped: the total comes back
        {"2+3CC", "0", {"2 +"}},    // then total and entry are cleared
        {"12T3", "-123", {}},       // digits after T go on from the sign
        {"0-1234567.1-0.2=", "-1.234.567,3", {"0 -", "1.234.567,1 -", "0,2 =", "-1.234.567,3 "}},
        {"7T+", "-7", {"-7 +"}},
        {"x?a", "0", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        std::remove(calculatorFileName().c_str());
        CalculatorState s;
        ASSERT_TRUE(openCalculatorView(s));
        type(s, c.keys);
        EXPECT_EQ(shown(), c.display);
        EXPECT_EQ(lastTape(s, static_cast<int>(c.tape.size())), c.tape);
        EXPECT_EQ(s.tapeTop, 23 - static_cast<int>(c.tape.size()));
        closeCalculatorView(s);
    }
}

TEST_F(CalculatorTest, ThirdClearHidesTheTape) {
    CalculatorState s;
    ASSERT_TRUE(openCalculatorView(s));
    type(s, "2+3=");
    EXPECT_EQ(term::rowText(19).substr(0, 26), "\xDA" + dashes + "\xBF");
    type(s, "CC");
    EXPECT_EQ(s.tapeTop, 23);
    EXPECT_EQ(term::rowText(19).substr(0, 26), std::string(26, '.'));  // the screen below again
    EXPECT_EQ(term::rowText(22).substr(0, 26), std::string(26, '.'));
    EXPECT_EQ(term::rowText(23).substr(0, 26), "\xDA" + dashes + "\xBF");
    closeCalculatorView(s);
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(CalculatorTest, StripLayout) {
    const std::string before = term::screenText();
    CalculatorState s;
    ASSERT_TRUE(openCalculatorView(s));
    EXPECT_EQ(term::rowText(22).substr(0, 26), std::string(26, '.'));
    EXPECT_EQ(term::rowText(23).substr(0, 26), "\xDA" + dashes + "\xBF");
    EXPECT_EQ(term::rowText(24).substr(0, 26), bar + std::string(21, ' ') + "0  " + bar);
    EXPECT_EQ(term::rowText(25).substr(0, 26), "\xC0" + dashes + "\xD9");
    EXPECT_EQ(term::rowAttributes(24).substr(0, 4), "0707");  // slot 1
    EXPECT_FALSE(term::cursorVisible());

    type(s, "2+3.5=");
    EXPECT_EQ(term::rowText(19).substr(0, 27), "\xDA" + dashes + "\xBF.");
    EXPECT_EQ(term::rowText(20).substr(0, 26), bar + std::string(21, ' ') + "2 +" + bar);
    EXPECT_EQ(term::rowText(21).substr(0, 26), bar + std::string(19, ' ') + "3,5 =" + bar);
    EXPECT_EQ(term::rowText(22).substr(0, 26), bar + std::string(19, ' ') + "5,5  " + bar);
    EXPECT_EQ(term::rowText(23).substr(0, 26), "\xC3" + dashes + "\xB4");
    EXPECT_EQ(term::rowText(24).substr(0, 26), bar + std::string(19, ' ') + "5,5  " + bar);

    closeCalculatorView(s);
    EXPECT_EQ(term::screenText(), before);
    EXPECT_TRUE(term::cursorVisible());
    EXPECT_TRUE(windowState.colorStack.empty());
}

TEST_F(CalculatorTest, TapeFullKeepsTwentyOneLinesShown) {
    CalculatorState s;
    ASSERT_TRUE(openCalculatorView(s));
    for (int i = 1; i <= 30; ++i) type(s, std::to_string(i) + "+");
    EXPECT_EQ(s.tapeTop, 2);
    EXPECT_EQ(tape(s, 22), "30 +");
    EXPECT_EQ(tape(s, 1), "9 +");  // kept in the file, not shown
    EXPECT_EQ(trim(term::rowText(2).substr(1, 22)), "10");
    EXPECT_EQ(term::rowText(1).substr(0, 26), "\xDA" + dashes + "\xBF");
    EXPECT_EQ(shown(), "465");
    closeCalculatorView(s);
}

TEST_F(CalculatorTest, ResultTextInHundredths) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"12.5", "1250"}, {"7", "700"},          {"1.234", "123.4"}, {"0", ""},       {"", ""},
        {"12.5T", "1250"}, {"2+3=", "500"},      {"0.0001", ".01"}, {"1/8=", "12.5"}, {"1.10", "110"},
        {"5/0=", ""},
    };
    for (const auto& [keys, expected] : cases) {
        SCOPED_TRACE(keys);
        std::remove(calculatorFileName().c_str());
        CalculatorState s;
        ASSERT_TRUE(openCalculatorView(s));
        type(s, keys);
        std::string result = "unset";
        EXPECT_FALSE(calculatorViewKey(s, 'f', result));
        EXPECT_EQ(result, expected);
        closeCalculatorView(s);
    }
    CalculatorState s;
    ASSERT_TRUE(openCalculatorView(s));
    type(s, "42");
    std::string result = "unset";
    EXPECT_FALSE(calculatorViewKey(s, keycode::altF, result));
    EXPECT_EQ(result, "4200");
    EXPECT_FALSE(calculatorViewKey(s, keycode::esc, result));
    EXPECT_EQ(result, "");
    closeCalculatorView(s);
}

TEST_F(CalculatorTest, RunCalculatorFromScriptedKeys) {
    const std::string before = term::screenText();
    term::queueText("12.5F");
    EXPECT_EQ(runCalculator(), "1250");
    term::queueText("99\x1b");
    EXPECT_EQ(runCalculator(), "");
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_TRUE(windowState.colorStack.empty());
    EXPECT_TRUE(term::cursorVisible());
}

TEST_F(CalculatorTest, DivisionByZeroShowsAnErrorMark) {
    std::string overflow;
    for (int i = 0; i < 4; ++i) overflow += "1" + std::string(100, '0') + "*";  // 10^400
    for (const std::string& keys : {std::string("5/0="), std::string("0/0="), std::string("5/0/"), overflow}) {
        SCOPED_TRACE(keys);
        std::remove(calculatorFileName().c_str());
        CalculatorState s;
        ASSERT_TRUE(openCalculatorView(s));
        type(s, keys);
        EXPECT_EQ(term::rowText(24).substr(0, 26), bar + std::string(22, '!') + "  " + bar);
        EXPECT_EQ(term::rowText(22).substr(0, 26), bar + std::string(22, '!') + " !" + bar);
        EXPECT_EQ(s.total, 0);
        EXPECT_TRUE(s.pendingOp.empty());
        // The next calculation starts afresh.
        type(s, "3+4=");
        EXPECT_EQ(shown(), "7");
        closeCalculatorView(s);
        const std::string file = testsupport::readFile(calculatorFileName());
        EXPECT_EQ(file.find("inf"), std::string::npos);
        EXPECT_EQ(file.find("nan"), std::string::npos);
        // The error line comes back with the tape.
        CalculatorState again;
        EXPECT_TRUE(loadCalculatorFile(again));
        EXPECT_EQ(again.tape[19].op, "!");
    }
}

TEST_F(CalculatorTest, StateSurvivesAReopen) {
    CalculatorState s;
    ASSERT_TRUE(openCalculatorView(s));
    type(s, "2+3=10*");
    std::string result;
    EXPECT_TRUE(calculatorViewKey(s, keycode::left, result));  // from column 1 to 55
    EXPECT_EQ(s.calcColumn, 55);
    EXPECT_EQ(term::rowText(24).substr(54, 26), bar + std::string(20, ' ') + "10  " + bar);
    EXPECT_EQ(term::rowText(24).substr(0, 26), std::string(26, '.'));
    type(s, "4");
    EXPECT_FALSE(calculatorViewKey(s, keycode::esc, result));
    closeCalculatorView(s);

    const std::string file = testsupport::readFile(calculatorFileName());
    EXPECT_EQ(file,
              "55,19,4,10\r\n"
              "0,-1,0,0\r\n"
              "\"*\",\"*\"\r\n" +
                  [] {
                      std::string lines;
                      for (int i = 1; i <= 18; ++i) lines += "0,0,0,\"\"\r\n";
                      return lines;
                  }() +
                  "2,0,0,\"+\"\r\n3,0,0,\"=\"\r\n5,0,0,\" \"\r\n10,0,0,\"*\"\r\n");

    CalculatorState again;
    ASSERT_TRUE(openCalculatorView(again));
    EXPECT_EQ(again.calcColumn, 55);
    EXPECT_EQ(again.pendingOp, "*");
    EXPECT_EQ(shown(55), "4");
    EXPECT_EQ(lastTape(again, 4), (std::vector<std::string>{"2 +", "3 =", "5 ", "10 *"}));
    type(again, "=");
    EXPECT_EQ(shown(55), "40");
    EXPECT_TRUE(calculatorViewKey(again, keycode::ctrlRight, result));  // from 55 back to 1
    EXPECT_EQ(again.calcColumn, 1);
    EXPECT_EQ(shown(1), "40");
    closeCalculatorView(again);
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(CalculatorTest, NumbersReadBackToTheSameValue) {
    CalculatorState s;
    s.entry = 0.1 + 0.2;
    s.total = -123456789.98765433;
    s.tape[22] = CalculatorTapeLine{1e-7, true, 7, "/"};
    s.tape[21] = CalculatorTapeLine{1e20, false, 0, "*"};
    s.pendingOp = "/";
    ASSERT_TRUE(saveCalculatorFile(s));
    const std::string file = testsupport::readFile(calculatorFileName());
    EXPECT_EQ(file.find('e'), std::string::npos);  // plain decimals
    CalculatorState back;
    ASSERT_TRUE(loadCalculatorFile(back));
    EXPECT_EQ(back.entry, s.entry);
    EXPECT_EQ(back.total, s.total);
    EXPECT_EQ(back.tape[22].value, 1e-7);
    EXPECT_EQ(back.tape[21].value, 1e20);
    EXPECT_EQ(back.tape[22].op, "/");
}

TEST_F(CalculatorTest, DamagedFileStartsAFreshCalculator) {
    std::string tapeLine = "1,0,0,\"+\"\r\n";
    std::string good = "5,20,1,2\r\n0,0,0,0\r\n\"\",\"\"\r\n";
    std::string full = good;
    for (int i = 0; i < 22; ++i) full += tapeLine;
    struct Case {
        const char* name;
        std::string contents;
    };
    const std::vector<Case> cases = {
        {"too many tape lines", full + tapeLine},
        {"text", "hello\r\nworld\r\nagain\r\n"},
        {"two lines", "1,23,0,0\r\n-1,0,0,0\r\n"},
        {"column 0", "0,23,0,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n"},
        {"column 56", "56,23,0,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n"},
        {"tape top 1", "1,1,0,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n"},
        {"infinite entry", "1,23,inf,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n"},
        {"huge entry", "1,23,1e999,0\r\n-1,0,0,0\r\n\"\",\"\"\r\n"},
        {"not a number", "1,23,0,x\r\n-1,0,0,0\r\n\"\",\"\"\r\n"},
        {"negative decimals", "1,23,0,0\r\n-1,0,0,-1\r\n\"\",\"\"\r\n"},
        {"open quote", "1,23,0,0\r\n-1,0,0,0\r\n\"\",\"\r\n"},
        {"unknown operator", "1,23,0,0\r\n-1,0,0,0\r\n\"\",\"x\"\r\n"},
        {"short tape line", good + "1,0,0\r\n"},
        {"binary", std::string("\x00\xff\x01\r\n", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(calculatorFileName(), c.contents);
        CalculatorState loaded;
        EXPECT_FALSE(loadCalculatorFile(loaded));
        EXPECT_EQ(loaded.calcColumn, 1);
        EXPECT_EQ(loaded.tapeTop, 23);
        EXPECT_EQ(loaded.tape[22].value, 0);

        CalculatorState s;
        ASSERT_TRUE(openCalculatorView(s));
        EXPECT_EQ(shown(), "0");
        type(s, "1+1=");
        closeCalculatorView(s);
        CalculatorState back;
        EXPECT_TRUE(loadCalculatorFile(back));
        EXPECT_EQ(back.tapeTop, 20);
        EXPECT_EQ(back.total, 2);
    }
    // What the calculator itself writes, and a file with fewer tape lines, load.
    testsupport::writeFile(calculatorFileName(), good + tapeLine + tapeLine);
    CalculatorState loaded;
    EXPECT_TRUE(loadCalculatorFile(loaded));
    EXPECT_EQ(loaded.calcColumn, 5);
    EXPECT_EQ(loaded.tape[1].op, "+");
    EXPECT_EQ(loaded.tape[3].op, "");
    testsupport::writeFile(calculatorFileName(), "");
    EXPECT_TRUE(loadCalculatorFile(loaded));
    EXPECT_TRUE(loaded.cleared);
}

TEST_F(CalculatorTest, ConsoleTooSmallOpensNothing) {
    term::resizeMemory(80, 20);
    const std::string before = term::screenText();
    term::queueText("12F");
    EXPECT_EQ(runCalculator(), "");
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    term::flushInput();
}

}  // namespace
