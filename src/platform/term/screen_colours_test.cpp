#include "platform/term/screen_colours.h"

#include <gtest/gtest.h>

#include <set>


namespace {

TEST(ScreenColours, BiosOrderBecomesTerminalOrder) {
    // black, blue, green, cyan, red, magenta, brown, light grey, then the bright ones.
    const int expected[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
    for (int c = 0; c < 16; ++c) EXPECT_EQ(term::terminalColour(c), expected[c]) << c;
}

struct ModelCase {
    const char* name;
    term::ColourModel model;
    int shades;
    bool pairZero;
};

TEST(ScreenColours, EveryCombinationHasItsOwnPair) {
    const ModelCase cases[] = {
        {"xterm-256color", {256, 65536}, 16, false},
        {"xterm-16color", {16, 256}, 16, true},
        {"linux console", {8, 64}, 8, true},
        {"8 colours, many pairs", {8, 256}, 8, false},
        {"monochrome", {0, 0}, 0, false},
    };
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(term::colourShades(c.model), c.shades);
        bool pairZero = false;
        const auto pairs = term::colourPairs(c.model, &pairZero);
        EXPECT_EQ(pairZero, c.pairZero);
        EXPECT_EQ(pairs.size(), static_cast<size_t>(c.shades * c.shades - (c.pairZero ? 1 : 0)));
        std::set<int> defined;
        for (const auto& p : pairs) {
            EXPECT_GT(p.pair, 0);
            EXPECT_LT(p.pair, c.model.pairs);
            EXPECT_TRUE(defined.insert(p.pair).second) << "pair " << p.pair << " twice";
        }
        if (c.shades == 0) continue;
        // Each attribute lands on a pair whose colours are its own (bright
        // foregrounds as bold on 8-colour terminals).
        for (int attr = 0; attr < 256; ++attr) {
            const term::CellLook look = term::cellLook(c.model, static_cast<uint8_t>(attr));
            const int fg = attr & 15, bg = attr >> 4;
            int wantFg = term::terminalColour(c.shades == 16 ? fg : fg & 7);
            int wantBg = term::terminalColour(c.shades == 16 ? bg : bg & 7);
            EXPECT_EQ(look.bold, c.shades == 8 && fg >= 8) << attr;
            if (look.pair == 0) {
                EXPECT_TRUE(c.pairZero);
                EXPECT_EQ(wantFg, 7);
                EXPECT_EQ(wantBg, 0);
                continue;
            }
            bool found = false;
            for (const auto& p : pairs)
                if (p.pair == look.pair) {
                    EXPECT_EQ(p.foreground, wantFg) << attr;
                    EXPECT_EQ(p.background, wantBg) << attr;
                    found = true;
                }
            EXPECT_TRUE(found) << attr;
        }
    }
}

TEST(ScreenColours, MonochromeUsesReverseAndBold) {
    const term::ColourModel mono;
    EXPECT_FALSE(term::cellLook(mono, 0x07).reverse);
    EXPECT_TRUE(term::cellLook(mono, 0x70).reverse);
    EXPECT_FALSE(term::cellLook(mono, 0x1F).reverse);
    EXPECT_TRUE(term::cellLook(mono, 0x0F).bold);
}

}  // namespace
