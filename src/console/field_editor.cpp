// The keyboard layer and the field editor.
//
// readKey is the one place where console events become the system's 16-bit key
// codes: characters as their code page 850 code, extended keys as scan code x 256,
// Alt/Ctrl/Shift combinations folded into the BIOS codes. Every input of the
// system reads through it, which is why the Alt+X calculator and the Alt+C
// calendar are opened here: they are available in any field, and whatever they
// return is delivered as typed keys through keyboardState.pendingKeys.
//
// editField edits a fixed-length value in place. Its row and column are in the
// coordinates of the current window (locateInWindow); insert mode is the console's
// Insert toggle, so it carries over from one field, and one program, to the next.
#include "console/field_editor.h"

#include <algorithm>
#include <vector>

#include "console/calculator.h"
#include "console/calendar.h"
#include "console/windows.h"
#include "format/text_utils.h"

ExitKeyTable exitKeyTable;
KeyboardState keyboardState;

namespace {

// An Alt+keypad entry ends when the operator lets go of Alt. A console that does
// not report the release (a terminal) gets this long to deliver the next digit.
constexpr int altEntryPauseMs = 1500;

// BIOS scan codes of the letters, for consoles that report Alt+letter as the
// letter with the Alt flag rather than as the extended key.
constexpr uint8_t letterScanCodes[26] = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,  // A..M
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,  // N..Z
};

int16_t extended(int scanCode) { return static_cast<int16_t>(static_cast<uint16_t>(scanCode << 8)); }

// The code of a key event before modifier folding (steps of readKey aside).
int16_t keyCodeOf(const term::InputEvent& event) {
    if (event.kind != term::InputEvent::Kind::key) return 0;
    const bool alt = (event.controlState & term::anyAltPressed) != 0;
    const bool ctrl = (event.controlState & term::anyCtrlPressed) != 0;
    if (event.character != 0) {
        const uint8_t c = event.character;
        if (alt && !ctrl && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return extended(event.scanCode != 0 ? event.scanCode : letterScanCodes[(c | 0x20) - 'a']);
        if (c == keycode::tab && (event.controlState & term::shiftPressed)) return keycode::shiftTab;
        return c;
    }
    return extended(event.scanCode);
}

// The keypad keys without NumLock as the digits of an Alt+keypad entry; -1 otherwise.
int keypadDigit(int16_t code) {
    switch (code) {
        case keycode::insert: return 0;
        case keycode::end: return 1;
        case keycode::down: return 2;
        case keycode::pgDn: return 3;
        case keycode::left: return 4;
        case keycode::keypad5: return 5;
        case keycode::right: return 6;
        case keycode::home: return 7;
        case keycode::up: return 8;
        case keycode::pgUp: return 9;
        default: return -1;
    }
}

bool isFunctionKey1To10(int16_t code) { return code >= keycode::f1 && code <= 0x4400 && (code & 0xFF) == 0; }
bool isF11OrF12(int16_t code) { return code == keycode::f11 || code == keycode::f12; }

int16_t foldModifiers(int16_t code, uint32_t controlState) {
    const auto add = [code](int amount) { return static_cast<int16_t>(static_cast<uint16_t>(code + amount)); };
    if (controlState & term::anyAltPressed) {
        if (isFunctionKey1To10(code)) return add(0x2D00);
        if (isF11OrF12(code)) return add(0x600);
    } else if (controlState & term::anyCtrlPressed) {
        if (isFunctionKey1To10(code)) return add(0x2300);
        if (isF11OrF12(code)) return add(0x400);
        if (code == keycode::home) return keycode::ctrlHome;
        if (code == keycode::right) return keycode::ctrlRight;
        if (code == keycode::left) return keycode::ctrlLeft;
    } else if (controlState & term::shiftPressed) {
        if (isFunctionKey1To10(code)) return add(0x1900);
        if (isF11OrF12(code)) return add(0x200);
    }
    return code;
}

// The pop-ups of every input. Each returns the text to deliver as typed keys
// (empty when the operator left it with Esc).
std::string calculatorPopupText() { return runCalculator(); }
std::string calendarPopupText() { return showCalendar(); }

bool nextEvent(term::InputEvent& event, int timeoutMs) {
    if (keyboardState.heldEventWaiting) {
        event = keyboardState.heldEvent;
        keyboardState.heldEventWaiting = false;
        return true;
    }
    return term::readInput(event, timeoutMs);
}

// ---- Exit key table -------------------------------------------------------------

int16_t parseHexItem(std::string_view item) {
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    uint32_t value = 0;
    for (char c : item) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return 0;
        value = ((value << 4) | static_cast<uint32_t>(digit)) & 0xFFFFF;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
}

void appendCode(std::string& table, int16_t code) {
    const uint16_t u = static_cast<uint16_t>(code);
    table.push_back(static_cast<char>(u & 0xFF));
    table.push_back(static_cast<char>(u >> 8));
}

int16_t codeAt(const std::string& table, size_t entry) {
    if (2 * entry + 1 >= table.size()) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(table[2 * entry]) |
                                                      (static_cast<unsigned char>(table[2 * entry + 1]) << 8)));
}

// Index of the first entry holding the code, or -1.
int findExitKey(int16_t code) {
    for (size_t i = 0; 2 * i + 1 < exitKeyTable.keys.size(); ++i)
        if (codeAt(exitKeyTable.keys, i) == code) return static_cast<int>(i);
    return -1;
}

std::vector<std::string_view> splitItems(std::string_view list) {
    std::vector<std::string_view> items;
    if (list.empty()) return items;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

// ---- Field editor -----------------------------------------------------------------

struct ChoiceOption {
    std::string code;
    std::string display;
};

// "|code,display|code,display..."; an option without a comma shows its code.
std::vector<ChoiceOption> parseChoiceList(std::string_view list) {
    std::vector<ChoiceOption> options;
    size_t bar = list.find('|');
    while (bar != std::string_view::npos) {
        const size_t next = list.find('|', bar + 1);
        std::string_view item = list.substr(bar + 1, next == std::string_view::npos ? std::string_view::npos
                                                                                     : next - bar - 1);
        const size_t comma = item.find(',');
        if (comma == std::string_view::npos)
            options.push_back({std::string(item), std::string(item)});
        else
            options.push_back({std::string(item.substr(0, comma)), std::string(item.substr(comma + 1))});
        bar = next;
    }
    return options;
}

bool isWordSeparator(char c) { return c == ' ' || c == ',' || c == '.' || c == ';' || c == ':'; }

// Upper case without accents, for matching a typed letter against the options.
std::string foldForChoice(std::string_view text) {
    const bool saved = textUtilsState.foldAccents;
    textUtilsState.foldAccents = true;
    std::string folded = foldText(text);
    textUtilsState.foldAccents = saved;
    return folded;
}

std::string trimSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool isTypable(int16_t code, bool choiceMode) {
    const int low = choiceMode ? 33 : 32;
    return (code >= low && code <= 126) || (code >= 128 && code <= 254);
}

}  // namespace

int16_t plainKeyCode(const term::InputEvent& event) {
    if (event.kind != term::InputEvent::Kind::key) return 0;
    return event.character != 0 ? static_cast<int16_t>(event.character) : extended(event.scanCode);
}

void readKey(int16_t& key, int16_t& button, int16_t& row, int16_t& column) {
    KeyboardState& ks = keyboardState;
    key = 0;
    button = 0;
    row = ks.mouseRow;
    column = ks.mouseColumn;

    // Text handed back by a pop-up is delivered before the console is read again.
    if (!ks.pendingKeys.empty()) {
        key = static_cast<unsigned char>(ks.pendingKeys.front());
        ks.pendingKeys.erase(0, 1);
        return;
    }

    if (ks.mouse == MouseState::notInitialised)
        ks.mouse = term::hasMouse() ? MouseState::availableOff : MouseState::unavailable;
    if (ks.mouse == MouseState::availableOff) {
        term::setMouseReporting(true);
        ks.mouse = MouseState::on;
    }

    term::InputEvent event;
    if (!nextEvent(event, -1)) return;

    // Alt held while keypad keys are pressed types the character of that decimal code.
    // The entry ends with the first event that is not a digit under left Alt. A bare
    // key event without a code (the Alt release, where the console reports it) is
    // dropped; a real key or click that ends it is kept for the next call, so no
    // keystroke is lost on consoles that never report the release.
    int number = 0;
    bool digits = false;
    while (event.kind == term::InputEvent::Kind::key && (event.controlState & term::leftAltPressed)) {
        const int16_t code = keyCodeOf(event);
        const int digit = keypadDigit(code);
        if (digit >= 0) {
            number = (number * 10 + digit) % 256;
            digits = true;
        } else if (code != 0) {
            break;
        }
        if (!nextEvent(event, digits ? altEntryPauseMs : -1)) {
            event = term::InputEvent{};
            break;
        }
    }
    if (digits) {
        const bool ender = event.kind == term::InputEvent::Kind::mouseRelease ||
                           (event.kind == term::InputEvent::Kind::key && keyCodeOf(event) != 0);
        if (ender) {
            ks.heldEvent = event;
            ks.heldEventWaiting = true;
        }
        event = term::characterKey(static_cast<uint8_t>(number));
    }

    int16_t code = keyCodeOf(event);
    if (code == keycode::altE) code = 213;  // the euro sign of code page 858
    code = foldModifiers(code, event.controlState);
    key = code;

    if (event.kind == term::InputEvent::Kind::mouseRelease) {
        ks.mouseRow = event.row;
        ks.mouseColumn = event.column;
    }
    if (ks.mouse == MouseState::on) {
        row = ks.mouseRow;
        column = ks.mouseColumn;
        if (event.kind == term::InputEvent::Kind::mouseRelease) button = event.button;
    }

    // The pop-ups open from any input; the code itself still goes to the caller.
    if (key == keycode::altX && !ks.calculatorOpen) {
        ks.calculatorOpen = true;
        ks.pendingKeys = calculatorPopupText();
        ks.calculatorOpen = false;
    } else if (key == keycode::altC && !ks.calendarOpen) {
        ks.calendarOpen = true;
        ks.pendingKeys = calendarPopupText();
        ks.calendarOpen = false;
    }

    if (ks.mouse == MouseState::on && (key != 0 || button != 0)) {
        term::setMouseReporting(false);
        ks.mouse = MouseState::availableOff;
    }
}

void waitKey(int16_t& key) {
    int16_t button = 0, row = 0, column = 0;
    do {
        readKey(key, button, row, column);
        if (button != 0)
            key = static_cast<int16_t>(static_cast<uint16_t>(column * 256 + button * 64 + row));
    } while (key == 0);
}

void setExitKeys(std::string_view command, std::string_view keyList) {
    ExitKeyTable& t = exitKeyTable;
    for (char raw : command) {
        const char letter = (raw >= 'a' && raw <= 'z') ? static_cast<char>(raw - 'a' + 'A') : raw;
        switch (letter) {
            case 'E':
                t.keys.clear();
                t.results.clear();
                break;
            case 'A':
                for (std::string_view item : splitItems(keyList)) {
                    const size_t eq = item.find('=');
                    if (eq == std::string_view::npos) {
                        const int16_t code = parseHexItem(item);
                        appendCode(t.keys, code);
                        appendCode(t.results, code);
                    } else {
                        appendCode(t.keys, parseHexItem(item.substr(0, eq)));
                        appendCode(t.results, parseHexItem(item.substr(eq + 1)));
                    }
                }
                break;
            case 'D':
                for (std::string_view item : splitItems(keyList)) {
                    const int at = findExitKey(parseHexItem(item.substr(0, item.find('='))));
                    if (at < 0) continue;
                    t.keys.erase(2 * static_cast<size_t>(at), 2);
                    if (2 * static_cast<size_t>(at) + 1 < t.results.size())
                        t.results.erase(2 * static_cast<size_t>(at), 2);
                }
                break;
            case '+':
                if (t.saveDepth == 0) {
                    t.savedKeys = t.keys;
                    t.savedResults = t.results;
                    t.saveDepth = 1;
                }
                break;
            case '-':
                if (t.saveDepth != 0) {
                    t.keys = t.savedKeys;
                    t.results = t.savedResults;
                    t.savedKeys.clear();
                    t.savedResults.clear();
                    t.saveDepth = 0;
                }
                break;
            case 'H': keyboardState.maskChar = 'X'; break;
            case 'V': keyboardState.maskChar = 0; break;
            default: break;
        }
    }
}

void setChoiceList(std::string_view list) { keyboardState.choiceList = std::string(list); }

void editField(int16_t& row, int16_t& column, int16_t& lineWidth, std::string& value, int16_t& cursor,
               int16_t& key) {
    const int length = static_cast<int>(value.size());
    const int end = length + 1;
    const bool inWindow = windowState.windowDepth > 0;
    const int originRow = inWindow ? windowState.top : 0;
    const int originColumn = inWindow ? windowState.left : 0;
    if (row == 0) row = static_cast<int16_t>(term::cursorRow() - originRow);
    if (column == 0) column = static_cast<int16_t>(term::cursorColumn() - originColumn);
    cursor = static_cast<int16_t>(std::clamp<int>(cursor, 1, end));
    if (lineWidth <= 0) lineWidth = static_cast<int16_t>(end);
    const int width = lineWidth;

    const std::vector<ChoiceOption> options = parseChoiceList(keyboardState.choiceList);
    const bool choiceMode = !options.empty();
    int displayWidth = 0;
    size_t current = 0;
    if (choiceMode) {
        for (size_t i = 0; i < options.size(); ++i)
            displayWidth = std::max(displayWidth, static_cast<int>(options[i].display.size()));
        for (size_t i = 0; i < options.size(); ++i)
            if (options[i].code == value) {
                current = i;
                break;
            }
        writeInWindow(row, static_cast<int16_t>(column - 1), "\x11");                 // ◄
        writeInWindow(row, static_cast<int16_t>(column + displayWidth), "\x10");     // ►
    }
    setColor("u");

    const auto draw = [&] {
        const uint8_t mask = keyboardState.maskChar;
        for (int k = 0; k * width < length; ++k) {
            if (mask != 0) {
                writeInWindow(static_cast<int16_t>(row + k), column, std::string(std::max(0, width - 1), mask));
            } else if (choiceMode) {
                if (k > 0) break;  // an option is shown once, on the field's first line
                std::string code = options[current].code;
                code.resize(length, ' ');
                value = code;
                std::string shown = options[current].display;
                shown.resize(displayWidth, ' ');
                writeInWindow(row, column, shown);
            } else {
                writeInWindow(static_cast<int16_t>(row + k), column, value.substr(k * width, width));
            }
        }
    };

    for (;;) {
        draw();
        bool insertMode = term::insertToggle();
        if (choiceMode) {
            term::setCursorVisible(false);
        } else {
            int line = (cursor - 1) / width, col = (cursor - 1) % width;
            if (cursor == end && col == 0 && line > 0) {
                --line;
                col = width;
            }
            locateInWindow(static_cast<int16_t>(row + line), static_cast<int16_t>(column + col));
            term::setCursorShape(insertMode ? term::CursorShape::half : term::CursorShape::block);
            term::setCursorVisible(true);
        }

        int16_t k = 0, button = 0, mouseRow = 0, mouseColumn = 0;
        bool mouse = false;
        for (;;) {
            readKey(k, button, mouseRow, mouseColumn);
            if (k == keycode::insert) {
                insertMode = !insertMode;
                term::setCursorShape(insertMode ? term::CursorShape::half : term::CursorShape::block);
                term::setInsertToggle(insertMode);
                continue;
            }
            if (k != 0) break;
            if (button != 0) {
                k = static_cast<int16_t>(-(100 * mouseColumn + mouseRow));
                mouse = true;
                break;
            }
        }
        term::setCursorVisible(false);

        if (mouse) {
            const int r = mouseRow - originRow, c = mouseColumn - originColumn;
            if (!choiceMode) {
                const int lines = std::max(1, (length + width - 1) / width);
                if (r >= row && r < row + lines && c >= column && c < column + width) {
                    cursor = static_cast<int16_t>(std::min(end, width * (r - row) + (c - column) + 1));
                    continue;
                }
            } else if (r == row) {
                if (c == column - 1) {
                    k = keycode::left;
                    mouse = false;
                } else if (c == column + displayWidth) {
                    k = keycode::right;
                    mouse = false;
                } else if (c >= column && c < column + displayWidth) {
                    continue;
                }
            }
        }

        bool ends = mouse;
        if (!mouse && choiceMode) {
            const size_t n = options.size();
            if (isTypable(k, true)) {
                const std::string target = foldForChoice(std::string(1, static_cast<char>(k)));
                for (size_t i = 1; i <= n; ++i) {
                    const size_t j = (current + i) % n;
                    const std::string& shown = options[j].display;
                    if (!shown.empty() && !target.empty() && foldForChoice(shown.substr(0, 1))[0] == target[0]) {
                        current = j;
                        break;
                    }
                }
            } else if (k == ' ' || k == keycode::right) {
                current = (current + 1) % n;
            } else if (k == keycode::left) {
                current = current == 0 ? n - 1 : current - 1;
            } else if (k == keycode::ctrlC) {
                term::setClipboardText(options[current].display);
            } else if (k == keycode::home || k == keycode::end || k == keycode::backspace || k == keycode::del ||
                       k == keycode::ctrlY || k == keycode::ctrlHome || k == keycode::ctrlV) {
                // nothing to do on a list of options
            } else {
                ends = true;
            }
        } else if (!mouse) {
            const int at = cursor - 1;  // 0-based index of the character under the cursor
            if (isTypable(k, false)) {
                const char ch = static_cast<char>(k);
                if (!insertMode) {
                    if (cursor < end) {
                        value[at] = ch;
                        ++cursor;
                    }
                } else if (cursor < end && value.back() == ' ') {
                    value.insert(value.begin() + at, ch);
                    value.pop_back();
                    ++cursor;
                }
            } else if (k == keycode::left) {
                if (cursor > 1) --cursor;
            } else if (k == keycode::right) {
                if (cursor < end) ++cursor;
            } else if (k == keycode::home) {
                cursor = 1;
            } else if (k == keycode::end) {
                const size_t last = value.find_last_not_of(' ');
                cursor = static_cast<int16_t>(last == std::string::npos ? 1 : last + 2);
            } else if (k == keycode::backspace) {
                if (cursor > 1) {
                    --cursor;
                    value.erase(cursor - 1, 1);
                    value.push_back(' ');
                }
            } else if (k == keycode::del) {
                if (cursor < end) {
                    value.erase(at, 1);
                    value.push_back(' ');
                }
            } else if (k == keycode::ctrlY || k == keycode::ctrlHome) {
                value.assign(length, ' ');
                cursor = 1;
            } else if (k == keycode::ctrlLeft) {
                if (cursor > 1) {
                    int p = cursor - 1;  // 1-based position of the character before the cursor
                    while (p >= 1 && isWordSeparator(value[p - 1])) --p;
                    while (p > 1 && !isWordSeparator(value[p - 2])) --p;
                    cursor = static_cast<int16_t>(std::max(p, 1));
                } else {
                    ends = true;
                }
            } else if (k == keycode::ctrlRight) {
                if (cursor < end) {
                    bool afterSeparator = false;
                    int found = end;
                    for (int p = cursor; p <= length; ++p) {
                        if (isWordSeparator(value[p - 1])) {
                            afterSeparator = true;
                        } else if (afterSeparator) {
                            found = p;
                            break;
                        }
                    }
                    cursor = static_cast<int16_t>(found);
                } else {
                    ends = true;
                }
            } else if (k == keycode::up || k == keycode::shiftTab) {
                if (cursor > width)
                    cursor = static_cast<int16_t>(cursor - width);
                else
                    ends = true;
            } else if (k == keycode::down) {
                if (cursor <= end - width)
                    cursor = static_cast<int16_t>(cursor + width);
                else
                    ends = true;
            } else if (k == keycode::ctrlC) {
                // Hidden input stays hidden: it is never copied out of the field.
                if (keyboardState.maskChar == 0) term::setClipboardText(trimSpaces(value));
            } else if (k == keycode::ctrlV) {
                std::string pasted;
                for (unsigned char c : term::clipboardText())
                    if (c >= 32 && c != 127 && c != 255) pasted.push_back(static_cast<char>(c));
                pasted = trimSpaces(pasted);
                for (size_t i = 0; i < pasted.size() && at + i < static_cast<size_t>(length); ++i)
                    value[at + i] = pasted[i];
            } else {
                ends = true;
            }
        }
        if (!ends) continue;

        // The ending key, translated, decides whether the editing really ends.
        int16_t translated = k;
        if (!mouse) {
            if (k == keycode::shiftTab)
                translated = keycode::up;
            else if (k == keycode::tab)
                translated = keycode::enter;
            else if (k == keycode::enter && findExitKey(keycode::end) >= 0)
                translated = keycode::end;
            else if (k == keycode::ctrlF4 || k == keycode::altF4)
                translated = keycode::esc;
        }
        if (exitKeyTable.keys.empty()) {
            key = translated;
            break;
        }
        const int entry = findExitKey(translated);
        if (entry >= 0) {
            key = codeAt(exitKeyTable.results, static_cast<size_t>(entry));
            break;
        }
        if (mouse) {
            key = translated;
            break;
        }
        cursor = 1;  // a key that does not end this field sends the cursor home
    }

    setColor("h");
    if (choiceMode) {
        writeInWindow(row, static_cast<int16_t>(column - 1), " ");
        writeInWindow(row, static_cast<int16_t>(column + displayWidth), " ");
    }
    locateInWindow(row, column);
}
