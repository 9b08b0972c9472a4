// The tables that turn what terminals send into the keys of a PC keyboard: BIOS
// scan codes of the extended keys, the scan codes of the letter and digit keys
// (for Alt combinations) and the control-key state of xterm modifier parameters.
// The input decoder walks these tables; nothing here reads the terminal.
#pragma once

#include <cstdint>

namespace term::keys {

// BIOS scan codes of the extended keys.
constexpr uint8_t backspace = 0x0E, tab = 0x0F, enter = 0x1C;
constexpr uint8_t f1 = 0x3B, f2 = 0x3C, f3 = 0x3D, f4 = 0x3E, f5 = 0x3F, f6 = 0x40, f7 = 0x41, f8 = 0x42,
                  f9 = 0x43, f10 = 0x44, f11 = 0x85, f12 = 0x86;
constexpr uint8_t home = 0x47, up = 0x48, pgUp = 0x49, left = 0x4B, keypad5 = 0x4C, right = 0x4D, end = 0x4F,
                  down = 0x50, pgDn = 0x51, insert = 0x52, del = 0x53;
constexpr uint8_t altMinus = 0x82, altEquals = 0x83;

// Scan code of the key that types this ASCII letter or digit (either case), as an
// Alt combination reports it: a 0x1E, ..., z 0x2C; 1..9 0x78..0x80, 0 0x81.
// 0 for any other character.
uint8_t altScanCode(uint8_t ch);

// The key of "ESC [ n ~" (n = 2 Insert, 11 F1, 24 F12, ...); 0 when unknown.
// Some rxvt numbers stand for shifted function keys: *shifted is set for those.
uint8_t tildeKey(int n, bool* shifted);

// The key of "ESC [ X" / "ESC [ 1 ; m X" for a final letter X (A Up, D Left,
// H Home, P F1, ...); 0 when unknown.
uint8_t csiLetterKey(uint8_t final);

// The key of "ESC O X" (application cursor keys, F1-F4 as SS3); 0 when unknown.
// Keypad characters in application mode are not keys but characters: see ss3Character.
uint8_t ss3Key(uint8_t final);
// The character an application-mode keypad key types (ESC O p = '0', ESC O M = Enter);
// 0 when X is not one of them. *keypadScan gets the key's scan code without NumLock
// (Insert for 0, End for 1, ...), 0 for keys that have none.
uint8_t ss3Character(uint8_t final, uint8_t* keypadScan);

// Control-key state of an xterm modifier parameter (2 Shift, 3 Alt, 5 Ctrl, ...,
// 1 + a bit mask of Shift 1, Alt 2, Ctrl 4, Meta 8); Meta counts as Alt.
uint32_t modifierState(int parameter);

}  // namespace term::keys
