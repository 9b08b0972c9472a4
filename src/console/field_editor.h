// The keyboard layer and the field editor: readKey, waitKey, exit keys, choice
// lists, pending keys, hidden input and editField.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/term/console.h"

namespace keycode {
constexpr int16_t backspace = 8, tab = 9, enter = 13, esc = 27;
constexpr int16_t ctrlC = 3, ctrlV = 22, ctrlY = 25;
constexpr int16_t shiftTab = 0x0F00, altE = 0x1200, altF = 0x2100, altX = 0x2D00, altC = 0x2E00;
constexpr int16_t f1 = 0x3B00, f2 = 0x3C00, f4 = 0x3E00;
constexpr int16_t home = 0x4700, up = 0x4800, pgUp = 0x4900, left = 0x4B00, keypad5 = 0x4C00;
constexpr int16_t right = 0x4D00, end = 0x4F00, down = 0x5000, pgDn = 0x5100;
constexpr int16_t insert = 0x5200, del = 0x5300;
constexpr int16_t ctrlF4 = 0x6100, altF4 = 0x6B00, ctrlLeft = 0x7300, ctrlRight = 0x7400, ctrlHome = 0x7700;
constexpr int16_t f11 = static_cast<int16_t>(0x8500), f12 = static_cast<int16_t>(0x8600);
}  // namespace keycode

struct ExitKeyTable {
    std::string keys;     // 2 bytes a code, low byte first
    std::string results;  // parallel to keys
    std::string savedKeys;
    std::string savedResults;
    int16_t saveDepth = 0;
};
extern ExitKeyTable exitKeyTable;

enum class MouseState : uint8_t { notInitialised, unavailable, availableOff, on };

struct KeyboardState {
    std::string choiceList;
    std::string pendingKeys;
    uint8_t maskChar = 0;
    bool calculatorOpen = false;
    bool calendarOpen = false;
    MouseState mouse = MouseState::notInitialised;
    // Where the mouse was last reported (1-based console position).
    int16_t mouseRow = 0, mouseColumn = 0;
    // An event read to close an Alt+keypad entry that was a real key of its own:
    // readKey hands it out next instead of dropping it.
    bool heldEventWaiting = false;
    term::InputEvent heldEvent;
};
extern KeyboardState keyboardState;

void readKey(int16_t& key, int16_t& button, int16_t& row, int16_t& column);
void waitKey(int16_t& key);
void setExitKeys(std::string_view command, std::string_view keyList);
void setChoiceList(std::string_view list);
// The key code of a console key event without any modifier folding: the character
// code, or scan code x 256 for an extended key; 0 for anything else. For readers
// that poll the console directly (the help viewer).
int16_t plainKeyCode(const term::InputEvent& event);
void editField(int16_t& row, int16_t& column, int16_t& lineWidth, std::string& value, int16_t& cursor,
               int16_t& key);
