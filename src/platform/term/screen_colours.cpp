#include "platform/term/screen_colours.h"

namespace term {

namespace {

// Colour pair of a combination (foreground + shades x background). With a pair
// to spare every combination gets its own pair from 1 on; otherwise the usual
// light grey on black (combination 7) takes pair 0 and black on black pair 7.
int pairOf(int combination, int shades, int pairs) {
    const int combinations = shades * shades;
    if (pairs > combinations) return combination + 1;
    if (combination == 7) return 0;
    if (combination == 0) return 7;
    return combination;
}

}  // namespace

int colourShades(const ColourModel& m) {
    if (m.colours >= 16 && m.pairs >= 256) return 16;
    if (m.colours >= 8 && m.pairs >= 64) return 8;
    return 0;
}

int terminalColour(int c) {
    c &= 15;
    return (c & 8) | ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2);
}

CellLook cellLook(const ColourModel& m, uint8_t attr) {
    const int fg = attr & 15, bg = attr >> 4;
    CellLook look;
    const int shades = colourShades(m);
    if (shades == 0) {
        // Monochrome: dark text on a light background is reverse video, a bright
        // foreground bold.
        auto light = [](int c) { return c == 7 || c >= 9; };
        look.reverse = light(bg) && !light(fg);
        look.bold = (fg & 8) != 0;
        return look;
    }
    look.bold = shades == 8 && (fg & 8);
    look.pair = pairOf(fg % shades + shades * (bg % shades), shades, m.pairs);
    return look;
}

std::vector<PairColours> colourPairs(const ColourModel& m, bool* usesPairZero) {
    std::vector<PairColours> out;
    const int shades = colourShades(m);
    if (usesPairZero) *usesPairZero = shades != 0 && m.pairs <= shades * shades;
    for (int bg = 0; bg < shades; ++bg)
        for (int fg = 0; fg < shades; ++fg) {
            const int pair = pairOf(fg + shades * bg, shades, m.pairs);
            if (pair != 0) out.push_back({pair, terminalColour(fg), terminalColour(bg)});
        }
    return out;
}

}  // namespace term
