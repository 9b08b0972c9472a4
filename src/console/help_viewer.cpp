// F1 help: the suite's HTML documents through its launcher on a Windows desktop,
// the text help files in a paging viewer everywhere else.
//
// A text help file holds one fixed-length record per screen line, as long as the
// suite's console is wide (80 bytes). Three bytes inside a record switch colours and are not shown:
// 30 highlight, 31 input colour, 16 reverse.
#include "console/help_viewer.h"

#include <algorithm>
#include <cctype>

#include "console/field_editor.h"
#include "console/message_box.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/term/console.h"

namespace {

constexpr int visibleWidth = 76;  // characters of a record that are shown
constexpr int helpRecordLength = 80;

// The help window spans the screen, up to the width of a record.
int windowWidth() { return std::min<int>(screenWidth(), helpRecordLength); }
constexpr char switchHighlight = 30, switchInput = 31, switchReverse = 16;
constexpr std::string_view menuTopic = "KORPANEL";

bool sameTopic(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// The interior of the help window, in the 0-based coordinates of scrollArea.
void scrollInterior(const HelpView& view, int16_t count) {
    setColor("n");
    const int16_t bottom = static_cast<int16_t>(4 + view.pageRows + 1);
    scrollArea(4, 1, static_cast<int16_t>(bottom - 2), static_cast<int16_t>(windowWidth() - 2), count);
}

void clearInterior(const HelpView& view) { scrollInterior(view, view.pageRows); }

void showPage(const HelpView& view, int first) {
    for (int r = 1; r <= view.pageRows; ++r)
        showHelpLine(view, static_cast<int16_t>(first + r - 1), static_cast<int16_t>(r));
}

// The launcher gets the document's name. With a command interpreter named by
// COMSPEC the command line is the suite's own; without one the shell starts the
// launcher with the document as a separate argument, so no topic name can be
// taken for shell syntax.
void launchDocument(std::string_view topic) {
    const std::string document = "AJUDA\\" + std::string(topic) + ".HTM";
    const std::string comspec = os::getEnv("COMSPEC");
    if (!comspec.empty())
        os::runAndWait(comspec, {"/C", "DOCRUN", document});
    else
        os::runAndWait("/bin/sh", {"-c", "DOCRUN \"$1\"", "sh", os::mapPath(document)});
}

}  // namespace

bool openHelpView(HelpView& view, std::string_view topic) {
    view = HelpView{};
    while (!topic.empty() && topic.back() == ' ') topic.remove_suffix(1);
    view.topic = std::string(topic);
    // The help files are written for the suite's 80-column console: whatever the
    // terminal's width, their records stay 80 bytes long (else every line after
    // the first would start inside another), in a window at most that wide.
    const int width = windowWidth();
    const int bottom = screenHeight() - 3;
    const int pageRows = bottom - 5;
    if (pageRows < 1 || width < 3) return false;
    view.lineLength = static_cast<int16_t>(helpRecordLength);
    view.pageRows = static_cast<int16_t>(pageRows);
    if (!os::readWholeFile("AJUDA\\" + view.topic + ".HLP", view.contents)) view.contents.clear();
    const long long records = (static_cast<long long>(view.contents.size()) * 2 + helpRecordLength) / (2LL * helpRecordLength);
    view.lineCount = static_cast<int16_t>(std::min<long long>(records, 32767));

    setColor("+h");
    pushWindow(4, 1, static_cast<int16_t>(bottom), static_cast<int16_t>(width));
    drawFrame(2);
    setColor("n");
    showPage(view, 1);
    view.next = static_cast<int16_t>(pageRows + 1);
    view.open = true;
    return true;
}

bool helpViewKey(HelpView& view, int16_t key) {
    const int p = view.pageRows;
    int next = view.next;
    switch (key) {
        case keycode::f1:
            if (!sameTopic(view.topic, menuTopic)) showHelp(menuTopic);
            break;
        case keycode::down:
            if (next <= view.lineCount) {
                scrollInterior(view, 1);
                showHelpLine(view, static_cast<int16_t>(next), static_cast<int16_t>(p));
                ++next;
            }
            break;
        case keycode::up:
            if (next - p > 1) {
                --next;
                scrollInterior(view, -1);
                showHelpLine(view, static_cast<int16_t>(next - p), 1);
            }
            break;
        case keycode::pgDn:
            if (next <= view.lineCount) {
                clearInterior(view);
                if (next + p - 1 > view.lineCount) next = view.lineCount - p + 1;
                showPage(view, next);
                next += p;
            }
            break;
        case keycode::pgUp:
            if (next - p > 1) {
                clearInterior(view);
                if (next - 2 * p < 1) next = 2 * p;
                showPage(view, next - 2 * p + 1);
                next -= p;
            }
            break;
        case keycode::home:
            if (next - p > 1) {
                clearInterior(view);
                showPage(view, 1);
                next = p + 1;
            }
            break;
        case keycode::end:
            if (next <= view.lineCount) {
                clearInterior(view);
                showPage(view, view.lineCount - p + 1);
                next = view.lineCount + 1;
            }
            break;
        case keycode::esc: return false;
        default: break;
    }
    view.next = static_cast<int16_t>(next);
    return true;
}

void closeHelpView(HelpView& view) {
    if (!view.open) return;
    popWindow();
    setColor("-");
    view.open = false;
}

void showHelpLine(const HelpView& view, int16_t record, int16_t windowRow) {
    setColor("n");
    locateInWindow(windowRow, 2);
    if (record < 1 || record > view.lineCount) return;
    const size_t offset = static_cast<size_t>(record - 1) * view.lineLength;
    if (offset >= view.contents.size()) return;
    const std::string_view line = std::string_view(view.contents).substr(offset, view.lineLength);
    // Only what fits inside the window's frame (the text starts in its third column).
    const int shown = std::max(0, std::min(visibleWidth, windowWidth() - 3));

    if (line.find_first_of(std::string_view("\x1E\x1F\x10", 3)) == std::string_view::npos) {
        term::writeText(line.substr(0, shown));
        return;
    }
    bool highlight = false, input = false, reverse = false;
    int written = 0;
    for (char c : line) {
        if (c == switchHighlight) {
            highlight = !highlight;
            if (!input) setColor(highlight ? "h" : "n");
        } else if (c == switchInput) {
            input = !input;
            setColor(input ? "u" : "n");
        } else if (c == switchReverse) {
            reverse = !reverse;
            setColor(reverse ? "r" : "n");
        } else if (written < shown) {
            term::writeText(std::string_view(&c, 1));
            ++written;
        }
    }
}

void showHelp(std::string_view topic) {
    while (!topic.empty() && topic.back() == ' ') topic.remove_suffix(1);
    if (sessionSettings.runMode == "WIN") {
        launchDocument(topic);
        return;
    }
    HelpView view;
    if (!openHelpView(view, topic)) return;
    term::InputEvent event;
    while (term::readInput(event))
        if (!helpViewKey(view, plainKeyCode(event))) break;
    closeHelpView(view);
}
