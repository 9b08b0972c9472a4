// Which cells of the screen have to be sent: the terminal back end keeps the grid
// it showed last and sends only the runs of cells that differ from it.
#pragma once

#include <vector>

#include "platform/term/backend.h"

namespace term {

// Columns first..last (1-based, inclusive) of one row.
struct CellRun {
    int row;
    int first;
    int last;
    bool operator==(const CellRun&) const = default;
};

// The runs of cells of `now` that differ from `shown`; every row in full when the
// sizes differ (nothing shown yet, or a resize).
std::vector<CellRun> changedRuns(const Grid& shown, const Grid& now);

}  // namespace term
