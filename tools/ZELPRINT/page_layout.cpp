// Page layout of the print program: a line buffer per page line, texts written
// into it at their columns, the last text written winning where texts overlap.
#include "page_layout.h"

#include <algorithm>
#include <utility>

namespace zelprint {

namespace {

void stopLayout(PageLayout& layout, long sourceLine, std::string why) {
    if (layout.doc.stopped) return;
    layout.doc.stopped = true;
    addNotice(layout.doc, sourceLine, std::move(why) + "; the rest of the file is not printed");
}

bool pageIsEmpty(const PrintPage& page) {
    return std::all_of(page.lines.begin(), page.lines.end(),
                       [](const std::string& l) { return l.find_first_not_of(' ') == std::string::npos; });
}

}  // namespace

void addNotice(PrintDocument& doc, long line, std::string text) {
    if (doc.notices.size() >= maxNotices) {
        ++doc.noticesNotKept;
        return;
    }
    doc.notices.push_back(Notice{line, std::move(text)});
}

void layoutStartPage(PageLayout& layout, int length, long sourceLine) {
    if (layout.doc.stopped) return;
    // A page that received nothing is replaced rather than kept: it would only
    // come out as a blank sheet, and it does not count against the page limit.
    if (layout.pageOpen && pageIsEmpty(layout.doc.pages.back())) {
        layout.doc.pages.pop_back();
    } else if (static_cast<int>(layout.doc.pages.size()) >= maxPages) {
        stopLayout(layout, sourceLine, "more than " + std::to_string(maxPages) + " pages");
        return;
    }
    PrintPage page;
    page.length = std::clamp(length, 1, maxPageLength);
    page.sourceLine = sourceLine;
    layout.doc.pages.push_back(std::move(page));
    layout.pageOpen = true;
    layout.currentLine = 0;
    // Starting a page is a line advance too: the justification ends with the line.
    layout.justification = Justification{};
}

void layoutPlaceText(PageLayout& layout, long column, std::string_view text, long sourceLine) {
    if (layout.doc.stopped) return;
    if (!layout.pageOpen) {
        if (!layout.impliedPageNoted) {
            addNotice(layout.doc, sourceLine,
                      "text before any PAGE line; a page of " + std::to_string(defaultPageLength) + " lines is assumed");
            layout.impliedPageNoted = true;
        }
        layoutStartPage(layout, defaultPageLength, 0);
        if (layout.doc.stopped) return;
    }
    // The file normally starts each page itself; a text below the last line of the
    // page continues on a new page of the same length, as on continuous paper.
    if (layout.currentLine >= layout.doc.pages.back().length) {
        layoutStartPage(layout, layout.doc.pages.back().length, 0);
        if (layout.doc.stopped) return;
    }
    if (column < 1) {
        addNotice(layout.doc, sourceLine, "column " + std::to_string(column) + " is before column 1; text skipped");
        return;
    }
    if (column > maxColumns) {
        addNotice(layout.doc, sourceLine,
                  "column " + std::to_string(column) + " is beyond column " + std::to_string(maxColumns) +
                      "; text skipped");
        return;
    }
    std::string placed = justifyText(text, layout.justification.code);
    const std::size_t start = static_cast<std::size_t>(column - 1);
    if (start + placed.size() > static_cast<std::size_t>(maxColumns)) {
        addNotice(layout.doc, sourceLine,
                  "text runs past column " + std::to_string(maxColumns) + "; cut there");
        placed.resize(static_cast<std::size_t>(maxColumns) - start);
    }

    PrintPage& page = layout.doc.pages.back();
    const std::size_t row = static_cast<std::size_t>(layout.currentLine);
    if (page.lines.size() <= row) page.lines.resize(row + 1);
    std::string& line = page.lines[row];
    const std::size_t before = line.size();
    const std::size_t end = start + placed.size();
    if (line.size() < end) {
        if (layout.textBytes + (end - before) > maxPageTextBytes) {
            stopLayout(layout, sourceLine, "more than " + std::to_string(maxPageTextBytes >> 20) + " MB of page text");
            return;
        }
        line.resize(end, ' ');
        layout.textBytes += end - before;
    }
    line.replace(start, placed.size(), placed);
}

void layoutAdvance(PageLayout& layout, long lines, long sourceLine) {
    if (layout.doc.stopped) return;
    if (lines < 0) {
        addNotice(layout.doc, sourceLine, "advance " + std::to_string(lines) + " is negative; taken as 0");
        return;
    }
    if (lines == 0) return;
    if (lines > maxPageLength) {
        addNotice(layout.doc, sourceLine,
                  "advance " + std::to_string(lines) + " is longer than any page; taken as " +
                      std::to_string(maxPageLength));
        lines = maxPageLength;
    }
    layout.currentLine = static_cast<int>(std::min<long>(layout.currentLine + lines, 2L * maxPageLength));
    layout.justification = Justification{};
}

void layoutSetJustification(PageLayout& layout, const Justification& justification) {
    layout.justification = justification;
}

PrintDocument finishLayout(PageLayout& layout) {
    if (layout.pageOpen && pageIsEmpty(layout.doc.pages.back())) layout.doc.pages.pop_back();
    layout.pageOpen = false;
    return std::move(layout.doc);
}

std::string justifyText(std::string_view text, char code) {
    if (code == 'D') {
        const std::size_t last = text.find_last_not_of(' ');
        if (last == std::string_view::npos) return std::string(text.size(), ' ');
        std::string out(text.size() - (last + 1), ' ');
        out.append(text.substr(0, last + 1));
        return out;
    }
    if (code == 'C') {
        const std::size_t first = text.find_first_not_of(' ');
        if (first == std::string_view::npos) return std::string(text.size(), ' ');
        const std::size_t last = text.find_last_not_of(' ');
        const std::string_view content = text.substr(first, last - first + 1);
        const std::size_t left = (text.size() - content.size()) / 2;
        std::string out(left, ' ');
        out.append(content);
        out.resize(text.size(), ' ');
        return out;
    }
    return std::string(text);
}

}  // namespace zelprint
