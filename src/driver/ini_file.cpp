#include "driver/ini_file.h"

#include "platform/os/os.h"

#include <algorithm>
#include <cstdio>

namespace {

// Longer lines are cut here: no setting is that long, and a damaged or binary
// file must not make one line take unbounded memory.
constexpr size_t kMaxLineLength = 65536;

// Reads one line without its end: CR LF, a lone CR or a lone LF (files edited on
// Linux) all end a line, and so does the end of the file. False at the end of the
// file when nothing was read.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    int c = std::getc(file);
    if (c == EOF) return false;
    while (c != EOF && c != '\r' && c != '\n') {
        if (line.size() < kMaxLineLength) line += static_cast<char>(c);
        c = std::getc(file);
    }
    if (c == '\r') {
        int next = std::getc(file);
        if (next != '\n' && next != EOF) std::ungetc(next, file);
    }
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

}  // namespace

std::string getIniValue(std::string_view fileName, std::string_view section, std::string_view key) {
    std::FILE* file = os::openFile(fileName, "rb");
    if (!file) return {};

    const std::string_view wantedSection = trimBlanks(section);
    const std::string_view wantedKey = trimBlanks(key);
    bool inSection = false;
    std::string result;
    std::string line;
    while (readLine(file, line)) {
        std::string_view rest(line);
        rest = rest.substr(0, rest.find(';'));
        rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(' ')));
        if (rest.empty()) continue;

        if (!inSection) {
            if (rest[0] == '[') {
                std::string_view name = rest.substr(1);
                name = name.substr(0, name.find(']'));
                if (sameName(trimBlanks(name), wantedSection)) inSection = true;
            }
            continue;
        }
        // The next section header ends the wanted one: a second section of the
        // same name further down is never searched.
        if (rest[0] == '[') break;
        const size_t equals = rest.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view name = rest.substr(0, equals);
        name = name.substr(0, name.find_last_not_of(' ') + 1);
        if (!sameName(name, wantedKey)) continue;

        // The value keeps its blanks on both sides; only one pair of enclosing
        // double quotes is taken off.
        std::string_view value = rest.substr(equals + 1);
        if (value.size() > 1 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        result = std::string(value);
        break;
    }
    std::fclose(file);
    return result;
}
