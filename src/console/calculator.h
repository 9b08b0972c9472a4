// The desk calculator of every input (Alt+X in readKey): a 26-column strip with a
// paper tape, a running total and a pending operator like a printing adding
// machine. Its whole state is kept in terminalDir + "ZELCALC.TMP" between uses, so
// the tape is there again the next time, in this or another program of the suite.
//
// runCalculator runs it; the steps it is made of (open, one key, close) are separate
// so that a caller can drive it key by key and look at the screen in between.
#pragma once

#include <cstdint>
#include <string>

struct CalculatorTapeLine {
    double value = 0;
    bool pointTyped = false;
    int16_t decimals = 0;
    std::string op;  // the operator character, "" on a line never written
};

// Everything ZELCALC.TMP holds, and the run's own flags.
struct CalculatorState {
    int16_t calcColumn = 1;  // left screen column of the strip
    int16_t tapeTop = 23;    // first tape line shown; 23 = tape empty
    double entry = 0;
    double total = 0;
    bool cleared = true;
    bool entering = false;
    bool pointTyped = false;
    int16_t decimals = 0;
    std::string lastKey;
    std::string pendingOp;
    CalculatorTapeLine tape[23];  // 1..22
    // Not kept in the file: the last operation had no finite result, and the
    // display shows the error mark until the next key.
    bool failed = false;
    bool cursorWasVisible = true;  // given back at the end
    bool open = false;
};

// Returns the amount in hundredths when the operator finishes with "F", "" after Esc.
std::string runCalculator();

// Opens the strip from ZELCALC.TMP. False, with nothing opened, on a console
// smaller than 26 x 25.
bool openCalculatorView(CalculatorState& state);
// Acts on one key. False when the key ends the calculator; `result` then holds the
// text to return.
bool calculatorViewKey(CalculatorState& state, int16_t key, std::string& result);
// Pops the strip and writes ZELCALC.TMP.
void closeCalculatorView(CalculatorState& state);

// The file: terminalDir + "ZELCALC.TMP". Loading gives the initial state for a
// missing or empty file, and also for a damaged one (false then).
std::string calculatorFileName();
bool loadCalculatorFile(CalculatorState& state);
bool saveCalculatorFile(const CalculatorState& state);
// The 22-character display of a value (sign column first).
std::string calculatorDisplay(double value, bool pointTyped, int16_t decimals);
