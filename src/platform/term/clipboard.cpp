#include "platform/term/clipboard.h"

#include "platform/term/code_page.h"

namespace term {

namespace {

std::string base64(std::string_view in) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<uint8_t>(in[i]) << 16) | (static_cast<uint8_t>(in[i + 1]) << 8) |
                           static_cast<uint8_t>(in[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < in.size()) {
        unsigned v = static_cast<uint8_t>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<uint8_t>(in[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < in.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

std::string osc52Sequence(std::string_view cp850) {
    // Control bytes stay what they are (a line break is a line break), not the
    // DOS glyphs the screen shows for them.
    std::string utf8;
    for (char c : cp850) {
        const uint8_t b = static_cast<uint8_t>(c);
        if (b < 0x20 || b == 0x7F) utf8.push_back(c);
        else utf8 += cp850ToUtf8(std::string_view(&c, 1));
    }
    return "\x1b]52;c;" + base64(utf8) + "\x07";
}

bool terminalTakesOsc52(std::string_view t) {
    static constexpr std::string_view families[] = {"xterm", "tmux",    "screen", "rxvt", "alacritty", "kitty",
                                                    "foot",  "wezterm", "st-",    "vte",  "konsole",   "contour",
                                                    "iterm", "mintty", "ghostty"};
    if (t == "st") return true;
    for (std::string_view f : families)
        if (t.substr(0, f.size()) == f) return true;
    return false;
}

}  // namespace term
