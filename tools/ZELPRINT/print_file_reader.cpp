// The print file is written by the report one command a line, ended by CR LF, in
// code page 850. A file cut short or damaged on the way still gives every page that
// can be recovered; each line that cannot be used is named in a notice.
#include "print_file_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os/os.h"
#include "platform/term/code_page.h"

namespace zelprint {

namespace {

constexpr long numberCeiling = 1000000000L;

bool startsWithWord(std::string_view line, std::string_view word) {
    if (line.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(line[i])) != word[i]) return false;
    return true;
}

std::string_view trimBlanks(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

bool isControl(unsigned char c) { return c < 32 || c == 127; }

// A short, printable piece of a damaged line for the notice.
std::string excerpt(std::string_view line) {
    std::string out;
    const std::size_t limit = 40;
    for (std::size_t i = 0; i < line.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        out += isControl(c) ? '?' : static_cast<char>(c);
    }
    std::string text = "\"" + term::cp850ToUtf8(out);
    if (line.size() > limit) text += "...";
    return text + "\"";
}

Justification parseJustification(std::string_view request, std::string& problem) {
    Justification j;
    const std::string_view code = trimBlanks(request);
    const char letter = code.empty() ? 'E' : static_cast<char>(std::toupper(static_cast<unsigned char>(code[0])));
    switch (letter) {
    case 'E':
    case 'D':
    case 'C':
    case 'A':
        j.code = letter;
        break;
    case 'N': {
        // "N n \mask\": a count and an edit mask, kept with the mode; the texts are
        // placed as the report formatted them.
        j.code = 'N';
        std::size_t i = 1;
        while (i < code.size() && code[i] == ' ') ++i;
        std::size_t end = i;
        while (end < code.size() && std::isdigit(static_cast<unsigned char>(code[end]))) ++end;
        long count = 0;
        if (end > i) parsePrintNumber(code.substr(i, end - i), count);
        j.numberCount = count;
        const std::size_t open = code.find('\\');
        if (open != std::string_view::npos) {
            const std::size_t close = code.find('\\', open + 1);
            j.numberMask = std::string(close == std::string_view::npos ? code.substr(open)
                                                                       : code.substr(open, close - open + 1));
        }
        break;
    }
    default:
        problem = "justification " + excerpt(code) + " is not known; texts placed as written";
        j.code = 'E';
        break;
    }
    return j;
}

}  // namespace

bool parsePrintNumber(std::string_view text, long& value) {
    std::string_view t = trimBlanks(text);
    bool negative = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        negative = t[0] == '-';
        t = trimBlanks(t.substr(1));
    }
    if (t.empty()) return false;
    long v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > numberCeiling) v = numberCeiling;
    }
    value = negative ? -v : v;
    return true;
}

PrintCommand parsePrintLine(std::string_view line) {
    PrintCommand cmd;
    if (trimBlanks(line).empty()) return cmd;
    if (line[0] == '*') {
        cmd.kind = CommandKind::Directive;
        cmd.text = std::string(line.substr(1));
        return cmd;
    }
    if (startsWithWord(line, "DEVICE")) {
        cmd.kind = CommandKind::Device;
        cmd.text = std::string(trimBlanks(line.substr(6)));
        return cmd;
    }
    if (startsWithWord(line, "PAGE")) {
        long length = 0;
        if (!parsePrintNumber(line.substr(4), length)) {
            cmd.kind = CommandKind::Invalid;
            cmd.problem = "PAGE line without a number of lines: " + excerpt(line);
            return cmd;
        }
        cmd.kind = CommandKind::Page;
        cmd.number = length;
        return cmd;
    }
    if (startsWithWord(line, "JUS")) {
        cmd.kind = CommandKind::Justify;
        cmd.justification = parseJustification(line.substr(3), cmd.problem);
        return cmd;
    }
    // column, text, advance: the text may hold commas of its own, so the column is
    // what comes before the first comma and the advance what follows the last.
    const std::size_t first = line.find(',');
    const std::size_t last = line.rfind(',');
    if (first == std::string_view::npos || !parsePrintNumber(line.substr(0, first), cmd.number)) {
        cmd.kind = CommandKind::Invalid;
        cmd.problem = "not a print command: " + excerpt(line);
        return cmd;
    }
    if (last == first || !parsePrintNumber(line.substr(last + 1), cmd.advance)) {
        cmd.kind = CommandKind::Invalid;
        cmd.problem = "placed text without a number of lines to advance (line cut short?): " + excerpt(line);
        return cmd;
    }
    cmd.kind = CommandKind::Place;
    cmd.text = std::string(line.substr(first + 1, last - first - 1));
    return cmd;
}

PrintDocument readPrintFile(std::string_view contents) {
    PageLayout layout;
    long lineNumber = 0;
    bool anyCommand = false;  // a usable command before this line
    std::size_t pos = 0;
    while (pos < contents.size()) {
        std::size_t end = contents.find('\n', pos);
        std::size_t next = end == std::string_view::npos ? contents.size() : end + 1;
        if (end == std::string_view::npos) end = contents.size();
        std::string_view line = contents.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = next;
        ++lineNumber;

        PrintCommand cmd = parsePrintLine(line);
        if (lineNumber == 1 && cmd.kind != CommandKind::Device)
            addNotice(layout.doc, 1, "the file does not begin with a DEVICE line; the pages are shown on the screen");

        switch (cmd.kind) {
        case CommandKind::Empty:
            break;
        case CommandKind::Invalid:
            addNotice(layout.doc, lineNumber, cmd.problem + "; skipped");
            break;
        case CommandKind::Device:
            if (!anyCommand && !layout.doc.hasDevice) {
                layout.doc.hasDevice = true;
                layout.doc.device = cmd.text;
            } else {
                addNotice(layout.doc, lineNumber, "a DEVICE line after the start of the file; skipped");
            }
            break;
        case CommandKind::Page: {
            long length = cmd.number;
            if (length < 1 || length > maxPageLength) {
                const long used = length < 1 ? defaultPageLength : maxPageLength;
                addNotice(layout.doc, lineNumber,
                          "page length " + std::to_string(length) + " is outside 1 to " + std::to_string(maxPageLength) +
                              "; " + std::to_string(used) + " lines used");
                length = used;
            }
            layoutStartPage(layout, static_cast<int>(length), lineNumber);
            break;
        }
        case CommandKind::Justify:
            if (!cmd.problem.empty()) addNotice(layout.doc, lineNumber, cmd.problem);
            layoutSetJustification(layout, cmd.justification);
            break;
        case CommandKind::Directive:
            // "@e" resets the printer and "q" selects its condensed pitch, at which the
            // report's 136 columns fit across the sheet. The pages here are always laid
            // out at that pitch, so neither changes what is seen.
            if (trimBlanks(cmd.text) == "@e")
                ++layout.doc.printerResets;
            else if (trimBlanks(cmd.text) == "q")
                ++layout.doc.condensedSelects;
            else
                addNotice(layout.doc, lineNumber, "directive " + excerpt(cmd.text) + " is not known; passed over");
            break;
        case CommandKind::Place: {
            std::string text = std::move(cmd.text);
            bool replaced = false;
            for (char& c : text) {
                if (isControl(static_cast<unsigned char>(c))) {
                    c = ' ';
                    replaced = true;
                }
            }
            if (replaced) addNotice(layout.doc, lineNumber, "control characters in the text printed as blanks");
            layoutPlaceText(layout, cmd.number, text, lineNumber);
            layoutAdvance(layout, cmd.advance, lineNumber);
            break;
        }
        }
        if (cmd.kind != CommandKind::Empty && cmd.kind != CommandKind::Invalid) anyCommand = true;
        if (layout.doc.stopped) break;
    }
    return finishLayout(layout);
}

bool loadPrintFile(const std::string& name, PrintDocument& doc, std::string& error) {
    std::FILE* f = os::openFile(name, "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    std::string contents;
    char buffer[1 << 16];
    bool cut = false;
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (static_cast<long long>(contents.size() + n) > maxPrintFileBytes) {
            contents.append(buffer, static_cast<std::size_t>(maxPrintFileBytes - static_cast<long long>(contents.size())));
            cut = true;
            break;
        }
        contents.append(buffer, n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed && contents.empty()) {
        error = "read error";
        return false;
    }
    doc = readPrintFile(contents);
    if (cut)
        addNotice(doc, 0, "the file is larger than " + std::to_string(maxPrintFileBytes >> 20) +
                              " MB; only its beginning is printed");
    if (failed) addNotice(doc, 0, "a read error cut the file short; only its beginning is printed");
    return true;
}

}  // namespace zelprint
