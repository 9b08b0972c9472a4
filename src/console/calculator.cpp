// The calculator pop-up.
//
// The strip covers screen rows 1 to 25 and 26 columns from calcColumn: the tape
// (rows tapeTop to 22, the last line at the bottom) in a box of its own, the display
// on row 24. Every line is "│", a value in 22 characters, then the operator (or two
// blanks on the display), "│".
//
// Results that are not finite numbers (a division by zero, an overflow) never reach
// the display or the file: the operation puts an error line on the tape (a value of
// 0 with the operator "!", shown as a row of "!"), the calculator starts again from
// 0 and the display shows the same row of "!" until the next key.
#include "console/calculator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "console/field_editor.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "format/edit_masks.h"
#include "platform/os/os.h"
#include "platform/term/console.h"

namespace {

constexpr int16_t stripWidth = 26;
constexpr int16_t stripRows = 25;
constexpr int16_t tapeLines = 22;
constexpr int16_t emptyTape = 23;  // tapeTop with no tape line shown
constexpr int16_t lastStripColumn = 80;
constexpr int maxDecimals = 99;     // what a file may say; typing stops there too
const std::string errorOperator = "!";

// ---- Drawing ----------------------------------------------------------------------

int16_t rightLimit() { return static_cast<int16_t>(std::min<int>(lastStripColumn, screenWidth())); }

std::string rule(const char* left, const char* right) {
    return std::string(left) + std::string(24, '\xC4') + right;  // ─
}

// Writes a whole strip row (screen row) in the strip's window.
void stripRow(int16_t screenRow, const std::string& text) { writeInWindow(static_cast<int16_t>(screenRow - 1), 0, text); }

std::string tapeLineText(const CalculatorTapeLine& line) {
    const std::string value = line.op == errorOperator ? std::string(22, '!')
                                                       : calculatorDisplay(line.value, line.pointTyped, line.decimals);
    const char op = line.op.empty() ? ' ' : line.op[0];
    return "\xB3" + value + " " + op + "\xB3";  // │
}

void drawDisplay(const CalculatorState& s) {
    const std::string value = s.failed ? std::string(22, '!') : calculatorDisplay(s.entry, s.pointTyped, s.decimals);
    stripRow(24, "\xB3" + value + "  \xB3");
}

void drawStrip(const CalculatorState& s) {
    for (int16_t row = s.tapeTop; row <= tapeLines; ++row) stripRow(row, tapeLineText(s.tape[row]));
    const bool tapeShown = s.tapeTop <= tapeLines;
    if (tapeShown) stripRow(static_cast<int16_t>(s.tapeTop - 1), rule("\xDA", "\xBF"));  // ┌ ┐
    stripRow(23, tapeShown ? rule("\xC3", "\xB4") : rule("\xDA", "\xBF"));                // ├ ┤
    drawDisplay(s);
    stripRow(25, rule("\xC0", "\xD9"));  // └ ┘
}

void pushStrip(const CalculatorState& s) {
    pushWindow(1, s.calcColumn, stripRows, static_cast<int16_t>(s.calcColumn + stripWidth - 1));
    drawStrip(s);
}

// ---- Numbers ------------------------------------------------------------------------

std::string fixed(double value, int decimals) {
    std::vector<char> buffer(static_cast<size_t>(decimals) + 330);
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    return buffer.data();
}

// Shows up to 15 significant digits and no trailing zeros: the entry is rounded to
// that many decimals and `decimals` counts those that remain.
void normalizeEntry(CalculatorState& s) {
    const double magnitude = std::fabs(s.entry);
    const int integerDigits = magnitude >= 1 ? static_cast<int>(fixed(std::floor(magnitude), 0).size()) : 0;
    const int most = std::max(0, 15 - integerDigits);
    std::string text = fixed(s.entry, most);
    int kept = most;
    while (kept > 0 && text.back() == '0') {
        text.pop_back();
        --kept;
    }
    s.entry = std::strtod(text.c_str(), nullptr);
    if (s.entry == 0) s.entry = 0;  // no negative zero out of a rounding
    s.decimals = static_cast<int16_t>(kept);
    s.pointTyped = kept > 0;
}

// Half to even on the magnitude, keeping the sign.
double roundToHundredths(double value) {
    const double scaled = std::fabs(value) * 100;
    if (!std::isfinite(scaled)) return value;
    double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
    return std::copysign(whole / 100, value);
}

// ---- Tape and operations -------------------------------------------------------------

void addTapeLine(CalculatorState& s, double value, bool pointTyped, int16_t decimals, std::string_view key) {
    for (int i = 1; i < tapeLines; ++i) s.tape[i] = s.tape[i + 1];
    if (s.tapeTop > 2) --s.tapeTop;
    s.tape[tapeLines] = CalculatorTapeLine{value, pointTyped, decimals, key.empty() ? " " : std::string(key.substr(0, 1))};
    drawStrip(s);
}

// An operation without a finite result: an error line on the tape, and everything
// starts again from 0.
void failOperation(CalculatorState& s) {
    addTapeLine(s, 0, false, 0, errorOperator);
    s.entry = s.total = 0;
    s.pointTyped = false;
    s.decimals = 0;
    s.pendingOp.clear();
    s.lastKey.clear();
    s.entering = false;
    s.cleared = false;
    s.failed = true;
}

void clearKey(CalculatorState& s) {
    if (s.entering) {
        s.entering = false;
        s.entry = s.total;
        s.pointTyped = false;
        s.decimals = 0;
    } else if (!s.cleared) {
        s.entry = s.total = 0;
        s.pointTyped = false;
        s.decimals = 0;
        s.lastKey.clear();
        s.cleared = true;
    } else {
        // A second clear in a row also takes the tape away.
        s.tapeTop = emptyTape;
        popWindow();
        pushStrip(s);
    }
}

void operation(CalculatorState& s, char key) {
    s.lastKey = std::string(1, key);
    switch (key) {
        case 'C':
            clearKey(s);
            return;
        case 'R':
            s.entry = roundToHundredths(s.entry);
            s.total = s.entry;
            s.pointTyped = true;
            s.decimals = 2;
            addTapeLine(s, s.entry, true, 2, s.lastKey);
            return;
        case '%':
            addTapeLine(s, s.entry, s.pointTyped, s.decimals, s.lastKey);
            s.entry = (s.pendingOp == "+" || s.pendingOp == "-") ? s.total / 100 * s.entry : s.entry / 100;
            if (!std::isfinite(s.entry)) return failOperation(s);
            normalizeEntry(s);
            return;
        default:
            break;
    }
    // + - * / =
    if (s.pendingOp == "+")
        s.total += s.entry;
    else if (s.pendingOp == "-")
        s.total -= s.entry;
    else if (s.pendingOp == "*")
        s.total *= s.entry;
    else if (s.pendingOp == "/")
        s.total /= s.entry;
    else
        s.total = s.entry;
    addTapeLine(s, s.entry, s.pointTyped, s.decimals, s.lastKey);
    if (!std::isfinite(s.total)) return failOperation(s);
    s.entry = s.total;
    normalizeEntry(s);
    if (key == '=') {
        addTapeLine(s, s.entry, s.pointTyped, s.decimals, "");
        s.lastKey.clear();
    }
    s.entering = false;
    s.cleared = false;
    s.pendingOp = s.lastKey;
}

// Digits extend the magnitude and keep the sign, so a number made negative with T
// while it is typed goes on as the operator reads it (-12, 3 gives -123).
void digitKey(CalculatorState& s, int digit) {
    if (!s.entering) {
        s.entry = 0;
        s.pointTyped = false;
        s.decimals = 0;
    }
    const double magnitude = std::fabs(s.entry);
    double extended;
    if (!s.pointTyped) {
        extended = 10 * magnitude + digit;
    } else {
        if (s.decimals >= maxDecimals) return;
        ++s.decimals;
        extended = magnitude + digit / std::pow(10.0, s.decimals);
    }
    if (std::isfinite(extended)) s.entry = std::copysign(extended, s.entry);
    s.entering = true;
}

void pointKey(CalculatorState& s) {
    if (!s.entering) {
        s.entry = 0;
        s.decimals = 0;
    }
    if (!s.pointTyped) {
        s.pointTyped = true;
        s.decimals = 0;
    }
    s.entering = true;
}

void backspaceKey(CalculatorState& s) {
    if (!s.pointTyped) {
        s.entry = std::trunc(s.entry / 10);
    } else if (s.decimals <= 0) {
        s.pointTyped = false;
        s.decimals = 0;
    } else {
        // Cut in decimal, not in binary: 0.290 cut to two decimals stays 0.29.
        std::string text = fixed(std::fabs(s.entry), s.decimals);
        text.pop_back();
        --s.decimals;
        s.entry = std::copysign(std::strtod(text.c_str(), nullptr), s.entry);
    }
    s.entering = s.entry != 0;
}

// The amount in hundredths, unsigned: all digits of |v| x 10^d but the last d - 2,
// then "." and those.
std::string resultText(const CalculatorState& s) {
    if (s.failed) return {};
    const double value = s.entering ? s.entry : s.total;
    const int d = std::max<int>(s.decimals, 2);
    if (!std::isfinite(value)) return {};
    std::string digits = fixed(std::fabs(value), d);
    digits.erase(digits.find('.'), 1);
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return {};
    digits.erase(0, first);
    const size_t fraction = static_cast<size_t>(d - 2);
    if (fraction == 0) return digits;
    if (digits.size() < fraction) digits.insert(0, fraction - digits.size(), '0');
    return digits.substr(0, digits.size() - fraction) + "." + digits.substr(digits.size() - fraction);
}

void moveStrip(CalculatorState& s, int step) {
    const int16_t mostRight = static_cast<int16_t>(rightLimit() - stripWidth + 1);
    popWindow();
    if (step < 0)
        s.calcColumn = s.calcColumn <= 1 ? mostRight : static_cast<int16_t>(s.calcColumn - 1);
    else
        s.calcColumn = s.calcColumn >= mostRight ? 1 : static_cast<int16_t>(s.calcColumn + 1);
    pushStrip(s);
}

// ---- ZELCALC.TMP ------------------------------------------------------------------------

std::string number(double value) {
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc()) return "0";
    std::string text(buffer, end);
    return text == "-0" ? "0" : text;
}

std::string truth(bool value) { return value ? "-1" : "0"; }
std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Fields of one line: numbers as they stand, texts in double quotes (returned with
// their quotes). False when a quote is not closed.
bool splitFields(std::string_view line, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    bool inQuotes = false;
    for (char c : line) {
        if (c == '"') inQuotes = !inQuotes;
        if (c == ',' && !inQuotes) {
            fields.emplace_back(trimmed(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (inQuotes) return false;
    fields.emplace_back(trimmed(field));
    return true;
}

bool readNumber(const std::string& field, double& value) {
    std::string_view text = field;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool readWhole(const std::string& field, int low, int high, int16_t& value) {
    double d = 0;
    if (!readNumber(field, d) || d != std::floor(d) || d < low || d > high) return false;
    value = static_cast<int16_t>(d);
    return true;
}

bool readTruth(const std::string& field, bool& value) {
    int16_t n = 0;
    if (!readWhole(field, -1, 1, n)) return false;
    value = n != 0;
    return true;
}

bool readText(const std::string& field, size_t longest, std::string& value) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return false;
    value = field.substr(1, field.size() - 2);
    return value.size() <= longest && value.find('"') == std::string::npos;
}

bool parseCalculatorFile(std::string_view contents, CalculatorState& s) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < contents.size()) {
        size_t end = contents.find('\n', start);
        if (end == std::string_view::npos) end = contents.size();
        std::string_view line = contents.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    while (!lines.empty() && trimmed(lines.back()).empty()) lines.pop_back();
    if (lines.size() < 3 || lines.size() > 3u + tapeLines) return false;

    std::vector<std::string> f;
    if (!splitFields(lines[0], f) || f.size() != 4) return false;
    if (!readWhole(f[0], 1, lastStripColumn - stripWidth + 1, s.calcColumn) || !readWhole(f[1], 2, emptyTape, s.tapeTop) ||
        !readNumber(f[2], s.entry) || !readNumber(f[3], s.total))
        return false;
    if (!splitFields(lines[1], f) || f.size() != 4) return false;
    if (!readTruth(f[0], s.cleared) || !readTruth(f[1], s.entering) || !readTruth(f[2], s.pointTyped) ||
        !readWhole(f[3], 0, maxDecimals, s.decimals))
        return false;
    if (!splitFields(lines[2], f) || f.size() != 2) return false;
    if (!readText(f[0], 1, s.lastKey) || !readText(f[1], 1, s.pendingOp)) return false;
    if (!s.pendingOp.empty() && std::string_view("+-*/").find(s.pendingOp[0]) == std::string_view::npos) return false;
    for (size_t i = 3; i < lines.size(); ++i) {
        CalculatorTapeLine& line = s.tape[i - 2];
        if (!splitFields(lines[i], f) || f.size() != 4) return false;
        if (!readNumber(f[0], line.value) || !readTruth(f[1], line.pointTyped) ||
            !readWhole(f[2], 0, maxDecimals, line.decimals) || !readText(f[3], 1, line.op))
            return false;
    }
    return true;
}

}  // namespace

std::string calculatorDisplay(double value, bool pointTyped, int16_t decimals) {
    std::string mask = "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";
    if (pointTyped) mask += '.';
    mask.append(static_cast<size_t>(std::clamp<int>(decimals, 0, maxDecimals)), '9');
    return formatByMask("-" + mask.substr(mask.size() - 21), value);
}

std::string calculatorFileName() { return sessionSettings.terminalDir + "ZELCALC.TMP"; }

bool loadCalculatorFile(CalculatorState& state) {
    state = CalculatorState{};
    std::string contents;
    if (!os::readWholeFile(calculatorFileName(), contents) || trimmed(contents).empty()) return true;
    CalculatorState loaded;
    if (!parseCalculatorFile(contents, loaded)) return false;
    state = loaded;
    return true;
}

bool saveCalculatorFile(const CalculatorState& s) {
    const std::string crlf = "\r\n";
    std::string out;
    out += std::to_string(s.calcColumn) + "," + std::to_string(s.tapeTop) + "," + number(s.entry) + "," +
           number(s.total) + crlf;
    out += truth(s.cleared) + "," + truth(s.entering) + "," + truth(s.pointTyped) + "," + std::to_string(s.decimals) +
           crlf;
    out += quoted(s.lastKey) + "," + quoted(s.pendingOp) + crlf;
    for (int i = 1; i <= tapeLines; ++i) {
        const CalculatorTapeLine& line = s.tape[i];
        out += number(line.value) + "," + truth(line.pointTyped) + "," + std::to_string(line.decimals) + "," +
               quoted(line.op) + crlf;
    }
    return os::writeFileAtomically(calculatorFileName(), out);
}

bool openCalculatorView(CalculatorState& state) {
    state = CalculatorState{};
    if (screenWidth() < stripWidth || screenHeight() < stripRows) return false;
    const std::string name = calculatorFileName();
    if (!os::fileExists(name)) {
        if (std::FILE* file = os::openFile(name, "ab")) std::fclose(file);
    }
    loadCalculatorFile(state);
    const int16_t mostRight = static_cast<int16_t>(rightLimit() - stripWidth + 1);
    if (state.calcColumn > mostRight) state.calcColumn = mostRight;
    setColor("+n");
    state.cursorWasVisible = term::cursorVisible();
    term::setCursorVisible(false);
    pushStrip(state);
    state.open = true;
    return true;
}

bool calculatorViewKey(CalculatorState& s, int16_t key, std::string& result) {
    result.clear();
    if (!s.open) return false;
    if (key > 255 || key < 0) {
        switch (key) {
            case keycode::left:
            case keycode::ctrlLeft:
                moveStrip(s, -1);
                return true;
            case keycode::right:
            case keycode::ctrlRight:
                moveStrip(s, 1);
                return true;
            case keycode::altF:
                result = resultText(s);
                return false;
            default:
                return true;
        }
    }
    char c = static_cast<char>(key);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == 'F') {
        result = resultText(s);
        return false;
    }
    if (key == keycode::esc) return false;

    s.failed = false;
    if (c >= '0' && c <= '9')
        digitKey(s, c - '0');
    else if (c == '.')
        pointKey(s);
    else if (key == keycode::backspace)
        backspaceKey(s);
    else if (c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == 'R' || c == 'C')
        operation(s, c);
    else if (c == '=' || key == keycode::enter) {
        if (s.entering) operation(s, '=');
    } else if (c == 'T')
        s.entry = -s.entry;
    drawDisplay(s);
    return true;
}

void closeCalculatorView(CalculatorState& state) {
    if (!state.open) return;
    popWindow();
    saveCalculatorFile(state);
    term::setCursorVisible(state.cursorWasVisible);
    setColor("-");
    state.open = false;
}

std::string runCalculator() {
    CalculatorState state;
    if (!openCalculatorView(state)) return {};
    std::string result;
    for (;;) {
        int16_t key = 0;
        waitKey(key);
        if (!calculatorViewKey(state, key, result)) break;
    }
    closeCalculatorView(state);
    return result;
}
