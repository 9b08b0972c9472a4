// How a console colour attribute (foreground + 16 x background, BIOS colour order)
// is shown on a terminal: which colour pair, and whether bold or reverse video
// has to stand in for colours the terminal lacks. Pure arithmetic on the
// terminal's figures, so that it can be tested without a terminal.
#pragma once

#include <cstdint>
#include <vector>

namespace term {

// What the terminal offers: its number of colours and of colour pairs (0 when it
// has no colour at all).
struct ColourModel {
    int colours = 0;
    int pairs = 0;
};

// How many of the 16 console colours the terminal can show in every combination:
// 16, 8 (bright foregrounds then come as bold), or 0 (monochrome).
int colourShades(const ColourModel& model);

// Terminal colour number of a console colour: BIOS order (1 blue, 4 red) to ANSI
// order (1 red, 4 blue); bright colours are 8..15 of the terminal's palette.
int terminalColour(int consoleColour);

struct CellLook {
    int pair = 0;
    bool bold = false;
    bool reverse = false;
};
CellLook cellLook(const ColourModel& model, uint8_t attr);

// The colour pairs to define, one for each combination the terminal can show.
// When the terminal has no pair to spare, light grey on black (the console's
// usual colours) stays on pair 0, whose colours are fixed: *usesPairZero says so,
// and the terminal must then be told that pair 0 is light grey on black.
struct PairColours {
    int pair;
    int foreground;  // terminal colour numbers
    int background;
};
std::vector<PairColours> colourPairs(const ColourModel& model, bool* usesPairZero = nullptr);

}  // namespace term
