// Message boxes and the paragraph formatter behind them.
//
// Bytes below 32 (the help files' colour switches and any other control byte) are
// carried through formatParagraph but never count toward a line's width.
#include "console/message_box.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "console/windows.h"

namespace {

bool isVisible(char c) { return static_cast<unsigned char>(c) >= 32; }

int visibleLength(std::string_view text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), isVisible));
}

// Widens the gaps between words, one blank at a time from the left, until the
// line holds `missing` more blanks. False when the line has no gap to widen.
bool justify(std::string& line, size_t from, int missing) {
    std::vector<size_t> gapEnds;  // index just after each blank run that lies between words
    bool seenWord = false;
    for (size_t i = from; i < line.size();) {
        if (line[i] == ' ') {
            size_t j = i;
            while (j < line.size() && line[j] == ' ') ++j;
            if (seenWord && j < line.size()) gapEnds.push_back(j);
            i = j;
        } else {
            seenWord = true;
            ++i;
        }
    }
    if (gapEnds.empty()) return false;
    for (size_t k = 0; missing > 0; ++k, --missing) {
        const size_t gap = k % gapEnds.size();
        line.insert(gapEnds[gap], 1, ' ');
        for (size_t m = gap; m < gapEnds.size(); ++m) ++gapEnds[m];
    }
    return true;
}

// The formatted lines of a paragraph (see formatParagraph).
std::vector<std::string> paragraphLines(std::string_view text, int indent, int width, char alignment) {
    std::vector<std::string> lines;
    width = std::max(width, 1);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(alignment)));
    const size_t n = text.size();
    size_t pos = 0;
    int lineIndent = indent > 0 ? indent : 0;
    while (pos < n) {
        const int ind = std::clamp(lineIndent, 0, width - 1);
        const int room = width - ind;

        // As many characters as fill the line...
        size_t q = pos;
        for (int seen = 0; q < n && seen < room; ++q)
            if (isVisible(text[q])) ++seen;
        const size_t taken = q;
        // ...with the switches that close the last word...
        if (text[q - 1] != ' ' && isVisible(text[q - 1]))
            while (q < n && !isVisible(text[q])) ++q;
        // ...without cutting a word; blanks at the break are dropped (they would
        // shift a right-aligned, centred or justified line).
        size_t partEnd = q;
        if (q < n && isVisible(text[q]) && text[q] != ' ')
            while (partEnd > pos && text[partEnd - 1] != ' ') --partEnd;
        while (partEnd > pos && text[partEnd - 1] == ' ') --partEnd;
        if (partEnd == pos) partEnd = taken;  // one word longer than the line: cut it

        std::string line = std::string(ind, ' ') + std::string(text.substr(pos, partEnd - pos));
        pos = partEnd;
        while (pos < n && text[pos] == ' ') ++pos;
        const bool more = pos < n;

        const int missing = std::max(0, width - visibleLength(line));
        switch (letter) {
            case 'E':
            case 'L':
            case 'I': line.append(missing, ' '); break;
            case 'N': line.append(missing, '-'); break;
            case 'D':
            case 'R': line.insert(0, missing, ' '); break;
            case 'C':
                line.insert(0, missing / 2, ' ');
                line.append(missing - missing / 2, ' ');
                break;
            case 'A':
            case 'B':
                // The last line stays as it is; a line without a gap is filled on
                // the right so that every line but the last keeps the full width.
                if (more && !justify(line, ind, missing)) line.append(missing, ' ');
                break;
            default: break;
        }
        lines.push_back(std::move(line));
        lineIndent = indent < 0 ? -indent : 0;
    }
    return lines;
}

std::string withoutTrailingBlanks(std::string_view line) {
    std::string out;
    for (char c : line)
        if (isVisible(c)) out.push_back(c);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

void formatParagraph(std::string& text, int16_t indent, int16_t width, char alignment) {
    std::string out;
    for (const std::string& line : paragraphLines(text, indent, width, alignment)) out += line;
    text = std::move(out);
}

void showMessageBox(int16_t row, std::string& text) {
    constexpr int boxWidth = 76;
    setColor("+rh");
    const std::vector<std::string> lines = paragraphLines(text, 0, boxWidth, 'i');
    text.clear();
    for (const std::string& line : lines) text += line;

    const int count = static_cast<int>(lines.size());
    int top = std::max(1, row - (count + 1) / 2 - 2);
    int bottom = top + count + 1;
    if (bottom > screenHeight()) {
        bottom = screenHeight();
        top = bottom - count - 1;
    }
    // Centred on columns 41 and 42, as wide as the longest line plus a blank and
    // a frame on each side (an empty message still gets a small box).
    int left = 0, right = 0;
    std::vector<std::string> shown;
    for (const std::string& line : lines) shown.push_back(withoutTrailingBlanks(line));
    if (shown.empty()) shown.emplace_back();
    for (const std::string& line : shown) {
        const int g = static_cast<int>(line.size());
        if (right - left < g + 4) {
            left = 41 - (g + 1) / 2 - 2;
            right = g / 2 + 42;
        }
    }
    if (top < 1 || left < 1 || right > screenWidth()) {
        // It does not fit: nothing is shown, but the caller still closes "the box"
        // with popWindow, so a window over one cell is opened without drawing.
        pushWindow(1, 1, 1, 1);
        setColor("-");
        return;
    }
    pushWindow(static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
               static_cast<int16_t>(right));
    drawFrame(1);
    for (int k = 0; k < count; ++k) writeInWindow(static_cast<int16_t>(k + 1), 2, shown[k]);
    setColor("-");
}
