#include "platform/term/key_tables.h"

#include "platform/term/console.h"

namespace term::keys {

namespace {

// Scan codes of the letters a..z on a PC keyboard.
constexpr uint8_t letterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

struct TildeEntry {
    int number;
    uint8_t key;
    bool shifted;
};

// xterm, VT220, the Linux console and rxvt number their editing and function keys
// the same way up to F12. rxvt goes on with the shifted function keys (its F13 is
// Shift+F3, since Shift+F1 and Shift+F2 are F11 and F12 there).
constexpr TildeEntry tildeTable[] = {
    {1, home, false},  {2, insert, false}, {3, del, false},    {4, end, false},    {5, pgUp, false},
    {6, pgDn, false},  {7, home, false},   {8, end, false},    {11, f1, false},    {12, f2, false},
    {13, f3, false},   {14, f4, false},    {15, f5, false},    {17, f6, false},    {18, f7, false},
    {19, f8, false},   {20, f9, false},    {21, f10, false},   {23, f11, false},   {24, f12, false},
    {25, f3, true},    {26, f4, true},     {28, f5, true},     {29, f6, true},     {31, f7, true},
    {32, f8, true},    {33, f9, true},     {34, f10, true},
};

}  // namespace

uint8_t altScanCode(uint8_t ch) {
    if (ch >= 'a' && ch <= 'z') return letterScan[ch - 'a'];
    if (ch >= 'A' && ch <= 'Z') return letterScan[ch - 'A'];
    if (ch >= '1' && ch <= '9') return static_cast<uint8_t>(0x78 + (ch - '1'));
    if (ch == '0') return 0x81;
    return 0;
}

uint8_t tildeKey(int n, bool* shifted) {
    for (const TildeEntry& e : tildeTable)
        if (e.number == n) {
            if (shifted) *shifted = e.shifted;
            return e.key;
        }
    return 0;
}

uint8_t csiLetterKey(uint8_t final) {
    switch (final) {
        case 'A': return up;
        case 'B': return down;
        case 'C': return right;
        case 'D': return left;
        case 'E': return keypad5;  // xterm's "begin", keypad 5 without NumLock
        case 'G': return keypad5;  // the Linux console and PuTTY
        case 'F': return end;
        case 'H': return home;
        case 'P': return f1;
        case 'Q': return f2;
        case 'R': return f3;
        case 'S': return f4;
        default: return 0;
    }
}

uint8_t ss3Key(uint8_t final) {
    switch (final) {
        case 'A': return up;
        case 'B': return down;
        case 'C': return right;
        case 'D': return left;
        case 'E': return keypad5;
        case 'F': return end;
        case 'H': return home;
        case 'P': return f1;
        case 'Q': return f2;
        case 'R': return f3;
        case 'S': return f4;
        default: return 0;
    }
}

uint8_t ss3Character(uint8_t final, uint8_t* keypadScan) {
    static constexpr uint8_t digitScan[10] = {insert, end, down, pgDn, left, keypad5, right, home, up, pgUp};
    uint8_t scan = 0, ch = 0;
    if (final >= 'p' && final <= 'y') {
        ch = static_cast<uint8_t>('0' + (final - 'p'));
        scan = digitScan[final - 'p'];
    } else {
        switch (final) {
            case 'M': ch = 13; break;
            case 'j': ch = '*'; break;
            case 'k': ch = '+'; break;
            case 'l': ch = ','; break;
            case 'm': ch = '-'; break;
            case 'n': ch = '.'; scan = del; break;
            case 'o': ch = '/'; break;
            case 'X': ch = '='; break;
            default: break;
        }
    }
    if (keypadScan) *keypadScan = scan;
    return ch;
}

uint32_t modifierState(int parameter) {
    if (parameter < 2) return 0;
    const int bits = parameter - 1;
    uint32_t state = 0;
    if (bits & 1) state |= shiftPressed;
    if (bits & (2 | 8)) state |= leftAltPressed;
    if (bits & 4) state |= leftCtrlPressed;
    return state;
}

}  // namespace term::keys
