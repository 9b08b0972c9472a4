#include "platform/term/screen_diff.h"

namespace term {

std::vector<CellRun> changedRuns(const Grid& shown, const Grid& now) {
    std::vector<CellRun> runs;
    const bool whole = shown.width != now.width || shown.height != now.height ||
                       shown.cells.size() != now.cells.size();
    for (int r = 1; r <= now.height; ++r) {
        if (whole) {
            if (now.width > 0) runs.push_back({r, 1, now.width});
            continue;
        }
        const size_t base = static_cast<size_t>(r - 1) * now.width;
        int c = 1;
        while (c <= now.width) {
            if (shown.cells[base + c - 1] == now.cells[base + c - 1]) {
                ++c;
                continue;
            }
            const int first = c;
            while (c <= now.width && !(shown.cells[base + c - 1] == now.cells[base + c - 1])) ++c;
            runs.push_back({r, first, c - 1});
        }
    }
    return runs;
}

}  // namespace term
