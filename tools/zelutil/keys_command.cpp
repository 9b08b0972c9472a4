// zelutil keys: shows the code that the keyboard layer (readKey) gives for every key
// and mouse release, so that an operator can check what a terminal sends before
// relying on a key in the forms. Esc twice in a row ends it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "console/field_editor.h"
#include "platform/term/console.h"
#include "tools/zelutil/commands.h"

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: zelutil keys\n"
        "\n"
        "Shows, for every key pressed, the code the forms receive (hexadecimal, e.g.\n"
        "7300 for Ctrl+Left, 2d00 for Alt+X) and, for a mouse click, the button, row and\n"
        "column. A line of box and accented characters shows whether the terminal's font\n"
        "has them. Press Esc twice in a row to end.\n",
        out);
}

constexpr const char* functionKeyNames[10] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"};
constexpr char letterOfScan[] = "qwertyuiop\0\0\0\0asdfghjkl\0\0\0\0\0zxcvbnm";  // scan codes 0x10..0x32

// A readable name for the keys an operator is likely to try; empty when none.
std::string keyName(int16_t key) {
    const int k = static_cast<uint16_t>(key);
    if (k == 0) return {};
    if (k < 256) {
        switch (k) {
            case 8: return "Backspace";
            case 9: return "Tab";
            case 13: return "Enter";
            case 27: return "Esc";
            case 32: return "Space";
            default: break;
        }
        if (k < 27) return std::string("Ctrl+") + static_cast<char>('A' + k - 1);
        if (k < 32) return {};
        return std::string("'") + static_cast<char>(k) + "'";
    }
    const int scan = k >> 8;
    struct Band {
        int first;
        const char* prefix;
    };
    static constexpr Band bands[] = {{0x3B, ""}, {0x54, "Shift+"}, {0x5E, "Ctrl+"}, {0x68, "Alt+"}};
    for (const Band& b : bands)
        if (scan >= b.first && scan < b.first + 10 && (k & 0xFF) == 0)
            return std::string(b.prefix) + functionKeyNames[scan - b.first];
    switch (k) {
        case 0x8500: return "F11";
        case 0x8600: return "F12";
        case 0x8700: return "Shift+F11";
        case 0x8800: return "Shift+F12";
        case 0x8900: return "Ctrl+F11";
        case 0x8A00: return "Ctrl+F12";
        case 0x8B00: return "Alt+F11";
        case 0x8C00: return "Alt+F12";
        case 0x0F00: return "Shift+Tab";
        case 0x0E00: return "Alt+Backspace";
        case 0x1C00: return "Alt+Enter";
        case 0x4700: return "Home";
        case 0x4800: return "Up";
        case 0x4900: return "PgUp";
        case 0x4B00: return "Left";
        case 0x4C00: return "keypad 5";
        case 0x4D00: return "Right";
        case 0x4F00: return "End";
        case 0x5000: return "Down";
        case 0x5100: return "PgDn";
        case 0x5200: return "Insert";
        case 0x5300: return "Delete";
        case 0x7300: return "Ctrl+Left";
        case 0x7400: return "Ctrl+Right";
        case 0x7700: return "Ctrl+Home";
        case 0x8200: return "Alt+-";
        case 0x8300: return "Alt+=";
        default: break;
    }
    if ((k & 0xFF) == 0 && scan >= 0x78 && scan <= 0x81)
        return std::string("Alt+") + static_cast<char>(scan == 0x81 ? '0' : '1' + scan - 0x78);
    if ((k & 0xFF) == 0 && scan >= 0x10 && scan <= 0x32 && letterOfScan[scan - 0x10])
        return std::string("Alt+") + static_cast<char>(letterOfScan[scan - 0x10] - 'a' + 'A');
    return {};
}

struct KeysScreen {
    std::deque<std::string> lines;  // code page 850
    int count = 0;
    bool escOnce = false;
};

void writeAt(int row, int column, uint8_t attr, const std::string& cp850) {
    term::setTextAttribute(attr);
    term::setCursorPosition(row, column);
    term::writeText(cp850);
}

void draw(const KeysScreen& s) {
    const int w = term::width(), h = term::height();
    term::setTextAttribute(0x07);
    term::clearScreen();
    std::string title = " zelutil keys: the code of every key and mouse click. Esc twice ends.";
    title.resize(static_cast<size_t>(w), ' ');
    writeAt(1, 1, 0x1E, title);
    char size[96];
    std::snprintf(size, sizeof size, "Screen %d x %d   mouse: %s", w, h, term::hasMouse() ? "yes" : "no");
    writeAt(2, 2, 0x07, size);
    // "Font: ╔═╗║╚╝ ┌─┐│└┘ ░▒▓█ ÀÉÈÇÑ àéèçñ ·"
    writeAt(3, 2, 0x07,
            "Font: \xC9\xCD\xBB\xBA\xC8\xBC \xDA\xC4\xBF\xB3\xC0\xD9 \xB0\xB1\xB2\xDB "
            "\xB7\x90\xD4\x80\xA5 \x85\x82\x8A\x87\xA4");
    const int first = 5;
    const int room = h - first + 1 - (s.escOnce ? 1 : 0);
    const int skip = std::max(0, static_cast<int>(s.lines.size()) - room);
    int row = first;
    for (size_t i = static_cast<size_t>(skip); i < s.lines.size() && row <= h; ++i) writeAt(row++, 2, 0x07, s.lines[i]);
    if (s.escOnce) writeAt(h, 2, 0x0F, "Esc again to end.");
    term::setCursorPosition(h, w);
}

}  // namespace

int zelutilKeys(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage(stdout);
            return 0;
        }
        std::fprintf(stderr, "zelutil keys: unexpected argument '%s'\n", argv[i]);
        usage(stderr);
        return 2;
    }
    if (!term::openTerminal()) {
        std::fputs("zelutil keys: needs a full-screen terminal (no terminal on /dev/tty or standard input, or TERM unknown)\n", stderr);
        return 1;
    }
    term::setCursorVisible(false);
    KeysScreen screen;
    for (;;) {
        draw(screen);
        // The calculator and calendar pop-ups stay shut: here Alt+X and Alt+C are
        // keys to look at like any other.
        keyboardState.calculatorOpen = true;
        keyboardState.calendarOpen = true;
        int16_t key = 0, button = 0, row = 0, column = 0;
        readKey(key, button, row, column);
        if (key == 0 && button == 0) continue;
        char line[160];
        ++screen.count;
        if (button != 0) {
            std::snprintf(line, sizeof line, "%4d  mouse button %d at row %d column %d", screen.count, button, row,
                          column);
        } else {
            std::snprintf(line, sizeof line, "%4d  key %04x  %s", screen.count, static_cast<uint16_t>(key),
                          keyName(key).c_str());
        }
        screen.lines.push_back(line);
        if (screen.lines.size() > 200) screen.lines.pop_front();
        if (key == 27 && button == 0) {
            if (screen.escOnce) break;
            screen.escOnce = true;
        } else {
            screen.escOnce = false;
        }
    }
    keyboardState.calculatorOpen = false;
    keyboardState.calendarOpen = false;
    term::close();
    return 0;
}
