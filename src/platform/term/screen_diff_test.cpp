#include "platform/term/screen_diff.h"

#include <gtest/gtest.h>

#include <string>

namespace {

term::Grid gridOf(std::initializer_list<const char*> rows) {
    term::Grid g;
    g.height = static_cast<int>(rows.size());
    for (const char* r : rows) {
        g.width = static_cast<int>(std::string(r).size());
        for (const char* p = r; *p; ++p) g.cells.push_back({static_cast<uint8_t>(*p), 0x07});
    }
    return g;
}

TEST(ScreenDiff, OnlyChangedRunsAreSent) {
    term::Grid shown = gridOf({"abcdef", "ghijkl", "mnopqr"});
    term::Grid now = gridOf({"abXdYY", "ghijkl", "Znopqr"});
    now.at(2, 6).attr = 0x1E;  // a colour change alone counts
    const std::vector<term::CellRun> expected = {{1, 3, 3}, {1, 5, 6}, {2, 6, 6}, {3, 1, 1}};
    EXPECT_EQ(term::changedRuns(shown, now), expected);
    EXPECT_TRUE(term::changedRuns(now, now).empty());
}

TEST(ScreenDiff, EverythingAfterAResizeOrAtFirst) {
    term::Grid now = gridOf({"abc", "def"});
    const std::vector<term::CellRun> all = {{1, 1, 3}, {2, 1, 3}};
    EXPECT_EQ(term::changedRuns(term::Grid{}, now), all);
    EXPECT_EQ(term::changedRuns(gridOf({"abcd", "efgh"}), now), all);
}

}  // namespace
