// The browse list.
//
// Browse.tmp holds one entry a list line read so far, in list order, each written
// once: the cache position (from 1) of the previous entry (0 for the first), the
// record's position in the data file, the text's length n (2 bytes) and the n
// bytes of the text; integers little-endian. Going back follows the previous-entry
// fields; going forward reads on, and past the last entry reads the data file.
//
// Reading runs one line ahead: after an entry is written the list goes on reading
// records until it holds the next one that has a line (or the data ends), so "at
// end" is known as soon as the last line is read, and a record without a line never
// leaves a line of its own behind. The operator can stop that search with Esc.
//
// The cache is trusted only as far as it holds together: an entry that does not fit
// in the file ends the list there, and a previous-entry field is followed only to an
// entry that ends where the current one begins. A damaged Browse.tmp (a list without
// a data file shows what some other program left there) gives a shorter list, never
// a crash or a walk in circles.
#include "console/browse_list.h"

#include <algorithm>
#include <climits>

#include "console/field_editor.h"
#include "console/form_driver.h"
#include "console/windows.h"
#include "data/record_reads.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"
#include "platform/term/console.h"

BrowseChoice browseChoice;

namespace {

constexpr int32_t headerSize = 10;
constexpr std::string_view movementKeys = "d,1b,4800,5000,4900,5100,4b00,4d00";

bool hasDataFile(const BrowseView& v) { return v.box.dataFile > 0; }

void putInt32(unsigned char* p, int32_t value) {
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

int32_t getInt32(const unsigned char* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

// Reads the entry at cache position `position` when it lies whole inside the cache.
bool readEntry(const BrowseView& v, int32_t position, int32_t& previous, int32_t& record, std::string& text) {
    if (v.cache == nullptr || position < 1 || position > v.cacheEnd - headerSize + 1) return false;
    unsigned char header[headerSize];
    if (std::fseek(v.cache, position - 1, SEEK_SET) != 0 || std::fread(header, 1, headerSize, v.cache) != headerSize)
        return false;
    const int16_t length = static_cast<int16_t>(header[8] | (header[9] << 8));
    if (length < 0 || length > v.cacheEnd - (position - 1) - headerSize) return false;
    text.assign(static_cast<size_t>(length), ' ');
    if (length > 0 && std::fread(text.data(), 1, text.size(), v.cache) != text.size()) return false;
    previous = getInt32(header);
    record = getInt32(header + 4);
    // A previous entry can only lie before this one.
    if (previous < 0 || previous > position - headerSize) previous = 0;
    return true;
}

void updateEnds(BrowseView& v) {
    v.atTop = v.entryPrevious == 0;
    v.atEnd = v.readPosition > v.cacheEnd && v.dataEnded;
}

// The data file's current key, cut to the limit's length, is past the limit.
void rangeTest(BrowseView& v) {
    if (v.limit.empty()) return;
    const std::string key = currentKeyCollated(v.box.dataFile).substr(0, v.limit.size());
    if (key > v.limit) v.dataEnded = true;
}

// One waiting key, without waiting: Esc stops the reading, anything else is dropped.
void pollForEsc(BrowseView& v) {
    term::InputEvent event;
    if (term::readInput(event, 0) && plainKeyCode(event) == keycode::esc) v.dataEnded = true;
}

bool writeEntry(BrowseView& v, std::string text) {
    if (text.size() > static_cast<size_t>(INT16_MAX)) text.resize(INT16_MAX);
    const int32_t position = v.cacheEnd + 1;
    if (v.cache == nullptr || static_cast<long long>(v.cacheEnd) + headerSize + static_cast<long long>(text.size()) >
                                  INT32_MAX)
        return false;
    const int32_t record = readByPosition(v.box.dataFile, 0);
    unsigned char header[headerSize];
    putInt32(header, v.lastEntryPosition);
    putInt32(header + 4, record);
    header[8] = static_cast<unsigned char>(text.size() & 0xFF);
    header[9] = static_cast<unsigned char>(text.size() >> 8);
    if (std::fseek(v.cache, position - 1, SEEK_SET) != 0 || std::fwrite(header, 1, headerSize, v.cache) != headerSize ||
        std::fwrite(text.data(), 1, text.size(), v.cache) != text.size())
        return false;
    v.cacheEnd = static_cast<int32_t>(v.cacheEnd + headerSize + static_cast<int32_t>(text.size()));
    v.entryPrevious = v.lastEntryPosition;
    v.entryRecordPosition = record;
    v.entryText = std::move(text);
    v.lastEntryPosition = position;
    v.currentPosition = position;
    v.readPosition = v.cacheEnd + 1;
    return true;
}

// Reads records until one gives a line, writes its entry, and reads on to the next
// record that gives a line. True when an entry was written.
bool readFromData(BrowseView& v) {
    const int16_t file = v.box.dataFile;
    int16_t status = 0;
    if (!v.started) {
        v.started = true;
        readAtKey(file, v.box.keyNumber, v.startKey, 1, status);
        v.limit = collateKey(v.limit, file);
        if (status != 0)
            v.dataEnded = true;
        else
            rangeTest(v);
    }
    bool wrote = false;
    while (!v.dataEnded) {
        std::string text = lookupLine(v.list);
        text.erase(text.find_last_not_of(' ') + 1);
        if (!text.empty()) {
            if (wrote) break;
            if (!writeEntry(v, std::move(text))) {
                v.dataEnded = true;
                break;
            }
            wrote = true;
        }
        readNext(file, 1, status);
        if (status != 0) {
            v.dataEnded = true;
        } else {
            rangeTest(v);
            pollForEsc(v);
        }
    }
    return wrote;
}

// Reads the line at the cache's position into the current entry. False when there
// is none: the current entry stays what it was.
bool readLine(BrowseView& v) {
    bool got = false;
    if (v.readPosition <= v.cacheEnd) {
        int32_t previous = 0, record = 0;
        std::string text;
        if (readEntry(v, v.readPosition, previous, record, text)) {
            v.currentPosition = v.readPosition;
            v.entryPrevious = previous;
            v.entryRecordPosition = record;
            v.entryText = std::move(text);
            v.readPosition = static_cast<int32_t>(v.readPosition + headerSize + static_cast<int32_t>(v.entryText.size()));
            got = true;
        } else {
            // What follows cannot be read: the list ends here.
            v.cacheEnd = v.readPosition - 1;
            v.dataEnded = true;
        }
    }
    if (!got && !v.dataEnded) got = readFromData(v);
    if (got) v.haveEntry = true;
    updateEnds(v);
    return got;
}

void positionAt(BrowseView& v, int32_t position) { v.readPosition = position; }

// The cache position of the entry after the one at `position`.
int32_t entryAfter(const BrowseView& v, int32_t position) {
    int32_t previous = 0, record = 0;
    std::string text;
    if (!readEntry(v, position, previous, record, text)) return position;
    return static_cast<int32_t>(position + headerSize + static_cast<int32_t>(text.size()));
}

// Makes the entry before the current one current. False at the first entry, or
// when the previous-entry field does not lead to the entry just before.
bool readPreviousLine(BrowseView& v) {
    if (v.atTop) return false;
    int32_t previous = 0, record = 0;
    std::string text;
    const int32_t position = v.entryPrevious;
    if (!readEntry(v, position, previous, record, text) ||
        position + headerSize + static_cast<int32_t>(text.size()) != v.currentPosition) {
        v.entryPrevious = 0;
        updateEnds(v);
        return false;
    }
    positionAt(v, position);
    return readLine(v);
}

// Steps n entries (back for n < 0); the number of steps made.
int step(BrowseView& v, int n) {
    int made = 0;
    for (int i = 0; i < std::abs(n); ++i) {
        if (n < 0) {
            if (!readPreviousLine(v)) break;
        } else {
            if (v.atEnd || !readLine(v)) break;
        }
        ++made;
    }
    return made;
}

std::string visiblePart(const BrowseView& v, std::string_view text) {
    std::string part;
    if (static_cast<size_t>(v.firstColumn) <= text.size()) part = std::string(text.substr(v.firstColumn - 1, v.width));
    part.resize(static_cast<size_t>(v.width), ' ');
    return part;
}

void drawBorder(const BrowseView& v) { drawListTopBorder(v.box.heading, v.firstColumn, v.width, v.widestOverflow); }

void blankLines(const BrowseView& v, int from) {
    for (int line = from; line <= v.height; ++line)
        writeInWindow(static_cast<int16_t>(line), 1, std::string(static_cast<size_t>(v.width), ' '));
}

// Fills the window from the cache's position; the current entry stays the one the
// cursor is on.
void fillPage(BrowseView& v) {
    const int32_t saved = v.currentPosition;
    const int16_t overflowBefore = v.widestOverflow;
    v.pageTop = v.readPosition;
    for (int line = 1; line <= v.height; ++line) {
        if (!readLine(v)) {
            blankLines(v, line);
            v.cursorLine = static_cast<int16_t>(std::max(1, std::min<int>(v.cursorLine, line - 1)));
            break;
        }
        writeInWindow(static_cast<int16_t>(line), 1, visiblePart(v, v.entryText));
        const int overflow = static_cast<int>(v.entryText.size()) - v.width;
        if (overflow > v.widestOverflow) v.widestOverflow = static_cast<int16_t>(std::min(overflow, INT16_MAX - 8));
        if (v.atEnd) {
            if (v.cursorLine > line) v.cursorLine = static_cast<int16_t>(line);
            blankLines(v, line + 1);
            break;
        }
    }
    v.nextPageTop = v.atEnd ? 0 : v.readPosition;
    positionAt(v, saved);
    readLine(v);
    // The scroll marks tell the operator about lines wider than the window as soon
    // as they are shown.
    if (v.widestOverflow != overflowBefore) drawBorder(v);
    setColor("h");
}

void drawCursorLine(const BrowseView& v, std::string_view color) {
    setColor(color);
    writeInWindow(v.cursorLine, 1, visiblePart(v, v.entryText));
}

bool fitsOnScreen(const LookupList& box) {
    return box.boxTop >= 1 && box.boxLeft >= 1 && box.boxBottom <= screenHeight() && box.boxRight <= screenWidth() &&
           box.boxBottom - box.boxTop >= 2 && box.boxRight - box.boxLeft >= 2;
}

}  // namespace

std::string browseCacheFileName() { return sessionSettings.tempDir + "Browse.tmp"; }

int16_t openBrowseView(BrowseView& view, int16_t list) {
    view = BrowseView{};
    view.list = list;
    if (list < 1 || list > formTables.lookupCount || list >= static_cast<int16_t>(formTables.lookupLists.size()))
        return -1;
    view.box = formTables.lookupLists[list];
    if (view.box.searchPanel != 0) {
        int16_t panel = view.box.searchPanel, key = 0;
        runForm(panel, 0, 0, key);
        if (key == keycode::esc) return -1;
    }
    const int16_t status = lookupStartKey(list, view.startKey, view.limit);
    if (status != 0) return status;
    // A box off the screen would not be saved, and closing it would take the window
    // under it away.
    if (!fitsOnScreen(view.box)) return -1;
    view.height = static_cast<int16_t>(view.box.boxBottom - view.box.boxTop - 1);
    view.width = static_cast<int16_t>(view.box.boxRight - view.box.boxLeft - 1);

    if (hasDataFile(view)) {
        int16_t lockStatus = 0;
        setLockMode(view.box.dataFile, "+d", lockStatus);
    }
    setColor("+n");
    pushWindow(view.box.boxTop, view.box.boxLeft, view.box.boxBottom, view.box.boxRight);
    drawFrame(2);
    setColor("h");
    setExitKeys("+ea", movementKeys);
    if (view.box.nestedList != 0) setExitKeys("a", "3e00");

    const std::string name = browseCacheFileName();
    if (hasDataFile(view)) {
        view.cache = os::openFile(name, "w+b");
    } else {
        view.cache = os::openFile(name, "r+b");
        if (view.cache == nullptr) view.cache = os::openFile(name, "w+b");
        if (view.cache != nullptr) view.cacheEnd = static_cast<int32_t>(std::clamp<long long>(os::fileSize(name), 0, INT32_MAX));
    }
    view.dataEnded = !hasDataFile(view);
    view.open = true;

    drawBorder(view);
    positionAt(view, 1);
    fillPage(view);
    drawCursorLine(view, "u");
    return 0;
}

bool browseViewKey(BrowseView& v, int16_t key) {
    if (!v.open) return false;
    drawCursorLine(v, "h");
    switch (key) {
        case keycode::left:
            if (v.firstColumn > 1) {
                v.firstColumn = static_cast<int16_t>(v.firstColumn - 8);
                drawBorder(v);
                positionAt(v, v.pageTop);
                fillPage(v);
            }
            break;
        case keycode::right:
            if (v.firstColumn <= v.widestOverflow) {
                v.firstColumn = static_cast<int16_t>(v.firstColumn + 8);
                drawBorder(v);
                positionAt(v, v.pageTop);
                fillPage(v);
            }
            break;
        case keycode::up:
            if (!v.atTop && step(v, -1) == 1) {
                if (v.cursorLine > 1) {
                    --v.cursorLine;
                } else {
                    positionAt(v, v.currentPosition);
                    fillPage(v);
                }
            }
            break;
        case keycode::down:
            if (!v.atEnd && step(v, 1) == 1) {
                if (v.cursorLine < v.height) {
                    ++v.cursorLine;
                } else {
                    // The page starts one entry later; the current entry stays.
                    positionAt(v, entryAfter(v, v.pageTop));
                    fillPage(v);
                }
            }
            break;
        case keycode::pgUp:
            if (v.pageTop > 1) {
                const int made = step(v, -v.height);
                // Back from the page top by up to a page.
                int32_t top = v.pageTop;
                int walked = 0;
                while (walked < v.height) {
                    int32_t previous = 0, record = 0, before = 0;
                    std::string text;
                    if (!readEntry(v, top, previous, record, text) || previous == 0) break;
                    std::string beforeText;
                    if (!readEntry(v, previous, before, record, beforeText) ||
                        previous + headerSize + static_cast<int32_t>(beforeText.size()) != top)
                        break;
                    top = previous;
                    ++walked;
                }
                if (walked < v.height)
                    v.cursorLine = static_cast<int16_t>(std::clamp(walked + v.cursorLine - made, 1, static_cast<int>(v.height)));
                positionAt(v, top);
                fillPage(v);
            }
            break;
        case keycode::pgDn:
            if (v.nextPageTop != 0) {
                step(v, v.height);
                positionAt(v, v.nextPageTop);
                fillPage(v);
            }
            break;
        default:
            return false;  // Enter picks; every other key closes
    }
    drawCursorLine(v, "u");
    return true;
}

int16_t closeBrowseView(BrowseView& v, int16_t key) {
    if (!v.open) return -1;
    int16_t result = -1;
    if (key == keycode::enter && v.haveEntry) {
        if (!hasDataFile(v)) {
            browseChoice.browseChoicePosition = v.entryRecordPosition;
            browseChoice.browseChoiceText = v.entryText;
            result = 0;
        } else if (v.entryRecordPosition != 0) {
            result = static_cast<int16_t>(readByPosition(v.box.dataFile, v.entryRecordPosition));
        }
    }
    if (v.cache != nullptr) std::fclose(v.cache);
    v.cache = nullptr;
    os::removeFile(browseCacheFileName());

    if (key == keycode::f4 && v.box.nestedList != 0) {
        browseList(v.box.nestedList, result);
        if (result == 0) lookupPick(v.box.nestedList, 0, 0);
    }
    setExitKeys("-", "");
    popWindow();
    setColor("-");
    if (hasDataFile(v)) {
        int16_t lockStatus = 0;
        setLockMode(v.box.dataFile, "-", lockStatus);
    }
    v.open = false;
    return result;
}

void browseList(int16_t list, int16_t& result) {
    BrowseView view;
    result = openBrowseView(view, list);
    if (!view.open) return;
    int16_t key = 0;
    do {
        waitKey(key);
    } while (browseViewKey(view, key));
    result = closeBrowseView(view, key);
}
