#include "console/browse_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "console/field_editor.h"
#include "console/form_driver.h"
#include "console/windows.h"
#include "data/data_build.h"
#include "data/data_files.h"
#include "data/record_layouts.h"
#include "data/record_reads.h"
#include "driver/form_file.h"
#include "driver/session_settings.h"
#include "format/text_utils.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

// List 1: the properties (their lines come from the module's hook). List 2: the same
// file, but the hook gives no line for it. List 3: no data file. List 4: off screen.
// The box of lists 1 to 3: rows 3 to 14, columns 10 to 50, so 10 lines of 39 columns.
constexpr int16_t top = 3, left = 10, bottom = 14, right = 50;

std::string name(int code) { return "FINCA " + std::string(code < 10 ? "0" : "") + std::to_string(code); }

class BrowseListTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.rootDir = root.path();
        sessionSettings.tempDir = root.path();
        sessionSettings.languageCode = "CAT";
        const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        windowState = WindowState{};
        keyboardState = KeyboardState{};
        exitKeyTable = ExitKeyTable{};
        browseChoice = BrowseChoice{};
        dataFileTable = DataFileTable{};
        term::openMemory(80, 25);
        for (int r = 1; r <= 25; ++r)
            for (int c = 1; c <= 80; ++c) term::writeCell(r, c, term::Cell{'.', 0x07});
        ASSERT_TRUE(writeSuiteDictionaries(root.path()));

        FormTables& t = formTables;
        t = FormTables{};
        t.lookupCount = 4;
        t.lookupLists.resize(5);
        t.lookupLists[1] = LookupList{propertiesFile, 0, top, left, bottom, right, 0, "FINQUES", 0};
        t.lookupLists[2] = LookupList{propertiesFile, 0, top, left, bottom, right, 0, "RES", 0};
        t.lookupLists[3] = LookupList{0, 0, top, left, bottom, right, 0, "TRIA", 0};
        t.lookupLists[4] = LookupList{propertiesFile, 0, 20, 10, 26, 50, 0, "FORA", 0};
        setExitKeys("a", "1b,0d");  // the caller's table, to be found again afterwards
    }
    void TearDown() override {
        int16_t status = 0;
        closeAllDataFiles(status);
        dataFileTable = DataFileTable{};
        formTables = FormTables{};
        term::close();
    }

    // Properties 1..count, named FINCA 01 ...; `longName` adds a tail wider than the box.
    void buildProperties(int count, const std::string& tail = "") {
        std::vector<std::string> records;
        for (int code = 1; code <= count; ++code) records.push_back(propertyRecord(code, 1, name(code) + tail));
        ASSERT_EQ(buildSuiteDataFile(root.path(), propertiesFile, records), 0);
        int16_t status = 0;
        openDataFile(propertiesFile, root.path() + "DADES\\FinquesV", recordBuffers.property, sizeof recordBuffers.property,
                     status);
        ASSERT_EQ(status, 0);
    }

    // The codes on lines 1..10 ("" for a blank line).
    static std::vector<std::string> shownCodes() {
        std::vector<std::string> codes;
        for (int line = 1; line <= bottom - top - 1; ++line) {
            const std::string text = term::rowText(top + line).substr(left, right - left - 1);
            codes.push_back(text == std::string(text.size(), ' ') ? "" : text.substr(0, 3));
        }
        return codes;
    }
    static std::vector<std::string> codesFrom(int first, int last) {
        std::vector<std::string> codes;
        for (int code = first; code <= last; ++code) codes.push_back((code < 10 ? "00" : "0") + std::to_string(code));
        codes.resize(bottom - top - 1);
        return codes;
    }
    // The line shown in the cursor colour (slot 4), 0 when none.
    static int cursorLine() {
        int found = 0;
        for (int line = 1; line <= bottom - top - 1; ++line)
            if (term::rowAttributes(top + line).substr(2 * left, 2) == "1E") found = found == 0 ? line : -1;
        return found;
    }
    static int16_t lockMode() { return dataFileTable.slots[findFileSlot(propertiesFile)].lockMode; }
    static std::string pickedCode() { return unpackDigits(propertyCode()); }
    int cachedEntries() {
        const std::string cache = testsupport::readFile(root / "Browse.tmp");
        int count = 0;
        for (size_t p = 0; p + 10 <= cache.size(); ++count)
            p += 10 + static_cast<unsigned char>(cache[p + 8]) + 256 * static_cast<unsigned char>(cache[p + 9]);
        return count;
    }
    void expectClosedCleanly(const std::string& screenBefore) {
        EXPECT_EQ(term::screenText(), screenBefore);
        EXPECT_EQ(windowState.windowDepth, 0);
        EXPECT_TRUE(windowState.colorStack.empty());
        EXPECT_FALSE(testsupport::fileExists(root / "Browse.tmp"));
        EXPECT_EQ(exitKeyTable.keys, std::string("\x1b\0\x0d\0", 4));
        EXPECT_EQ(exitKeyTable.saveDepth, 0);
    }

    testsupport::TempDir root;
};

TEST_F(BrowseListTest, PagesOfTwentyFiveRecords) {
    buildProperties(25);
    int16_t lockStatus = 0;
    setLockMode(propertiesFile, "b", lockStatus);
    const std::string before = term::screenText();
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 1), 0);
    EXPECT_EQ(lockMode(), 0);  // read without locks while the list is open
    EXPECT_EQ(shownCodes(), codesFrom(1, 10));
    EXPECT_EQ(term::rowText(top + 1).substr(left, 13), "001  FINCA 01");
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_EQ(cachedEntries(), 10);  // read no further than the page needs
    EXPECT_EQ(term::rowText(top).substr(left - 1, 9), "\xC9" "FINQUES\xCD");

    EXPECT_TRUE(browseViewKey(view, keycode::up));  // nothing above the first line
    EXPECT_EQ(shownCodes(), codesFrom(1, 10));
    EXPECT_EQ(cursorLine(), 1);

    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));
    EXPECT_EQ(shownCodes(), codesFrom(11, 20));
    EXPECT_EQ(cachedEntries(), 20);
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));
    EXPECT_EQ(shownCodes(), codesFrom(21, 25));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));  // no page after the last
    EXPECT_EQ(shownCodes(), codesFrom(21, 25));
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));
    EXPECT_EQ(shownCodes(), codesFrom(11, 20));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));
    EXPECT_EQ(shownCodes(), codesFrom(1, 10));

    // From line 8 of the second page, the next page is the short last one.
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_EQ(cursorLine(), 8);
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));
    EXPECT_EQ(shownCodes(), codesFrom(21, 25));
    EXPECT_EQ(cursorLine(), 5);
    EXPECT_TRUE(browseViewKey(view, keycode::down));  // the last line
    EXPECT_EQ(cursorLine(), 5);
    // Page Up from the last line of the short page: back a page, cursor on record 15.
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));
    EXPECT_EQ(shownCodes(), codesFrom(11, 20));
    EXPECT_EQ(cursorLine(), 5);
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));  // from record 15 the first page, cursor on record 5
    EXPECT_EQ(shownCodes(), codesFrom(1, 10));
    EXPECT_EQ(cursorLine(), 5);

    EXPECT_EQ(closeBrowseView(view, keycode::enter), 0);
    EXPECT_EQ(pickedCode(), "0005");
    EXPECT_EQ(lockMode(), 2);
    expectClosedCleanly(before);
}

TEST_F(BrowseListTest, LineByLineScrolling) {
    buildProperties(25);
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 1), 0);
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_EQ(cursorLine(), 10);
    EXPECT_TRUE(browseViewKey(view, keycode::down));  // the list moves up a line
    EXPECT_EQ(shownCodes(), codesFrom(2, 11));
    EXPECT_EQ(cursorLine(), 10);
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(browseViewKey(view, keycode::up));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_TRUE(browseViewKey(view, keycode::up));  // and down a line
    EXPECT_EQ(shownCodes(), codesFrom(1, 10));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_EQ(closeBrowseView(view, keycode::enter), 0);
    EXPECT_EQ(pickedCode(), "0003");
}

TEST_F(BrowseListTest, ShortList) {
    buildProperties(3);
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 1), 0);
    EXPECT_EQ(shownCodes(), codesFrom(1, 3));
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_EQ(cursorLine(), 3);
    EXPECT_TRUE(browseViewKey(view, keycode::down));  // nothing below the last record
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));
    EXPECT_EQ(shownCodes(), codesFrom(1, 3));
    EXPECT_EQ(cursorLine(), 3);
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));  // already the first page
    EXPECT_EQ(cursorLine(), 3);
    EXPECT_EQ(closeBrowseView(view, keycode::enter), 0);
    EXPECT_EQ(pickedCode(), "0003");
}

TEST_F(BrowseListTest, RecordsWithoutALineAreLeftOut) {
    // The hook gives no line for list 2: a list of one empty line, and nothing to pick.
    buildProperties(5);
    const std::string before = term::screenText();
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 2), 0);
    EXPECT_EQ(shownCodes(), std::vector<std::string>(10));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_EQ(cachedEntries(), 0);
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_EQ(closeBrowseView(view, keycode::enter), -1);
    expectClosedCleanly(before);
}

TEST_F(BrowseListTest, SidewaysScrolling) {
    // Lines of 31 characters in a window 9 wide: the widest overflow is 22.
    buildProperties(12, " AMB NOM LLARG XYZ");
    formTables.lookupLists[1].boxRight = left + 10;
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 1), 0);
    const auto border = [] { return term::rowText(top).substr(left - 1, 11); };
    const auto line1 = [] { return term::rowText(top + 1).substr(left, 9); };
    EXPECT_EQ(line1(), "001  FINC");
    EXPECT_EQ(border(), "\xC9" "FINQUES\xCD\xCD\x10");  // ► at once: the lines are wider
    EXPECT_EQ(view.widestOverflow, 22);
    EXPECT_TRUE(browseViewKey(view, keycode::left));  // already at column 1
    EXPECT_EQ(view.firstColumn, 1);
    const std::vector<std::pair<int, std::string>> steps = {{9, "CA 01 AMB"}, {17, "B NOM LLA"}, {25, "ARG XYZ  "}};
    for (const auto& [column, shown] : steps) {
        EXPECT_TRUE(browseViewKey(view, keycode::right));
        EXPECT_EQ(view.firstColumn, column);
        EXPECT_EQ(line1(), shown);
        EXPECT_EQ(border()[0], '\x11');  // ◄
    }
    EXPECT_EQ(border().back(), '\xBB');  // past the widest overflow: ╗
    EXPECT_TRUE(browseViewKey(view, keycode::right));
    EXPECT_EQ(view.firstColumn, 25);
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));  // other pages keep the column
    EXPECT_EQ(term::rowText(top + 1).substr(left, 9), "ARG XYZ  ");
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(browseViewKey(view, keycode::left));
    EXPECT_EQ(view.firstColumn, 1);
    EXPECT_EQ(line1(), "001  FINC");
    EXPECT_EQ(border(), "\xC9" "FINQUES\xCD\xCD\x10");
    EXPECT_EQ(closeBrowseView(view, keycode::esc), -1);
}

TEST_F(BrowseListTest, OtherKeysCloseWithoutAPick) {
    buildProperties(25);
    const std::string before = term::screenText();
    for (int16_t key : {keycode::esc, keycode::f4, keycode::f1, static_cast<int16_t>('a'), keycode::home}) {
        SCOPED_TRACE(key);
        BrowseView view;
        ASSERT_EQ(openBrowseView(view, 1), 0);
        EXPECT_TRUE(browseViewKey(view, keycode::down));
        EXPECT_FALSE(browseViewKey(view, key));
        EXPECT_EQ(closeBrowseView(view, key), -1);
        EXPECT_EQ(pickedCode(), "0011");  // as the reading left it: one record past the page
        expectClosedCleanly(before);
    }
}

TEST_F(BrowseListTest, WholeListFromScriptedKeys) {
    // Keys typed ahead while the list reads the data file are dropped, so the script
    // runs on a file whose reading never waits for the next record.
    buildProperties(1);
    const std::string before = term::screenText();
    term::queueInput({term::extendedKey(0x50), term::characterKey(13)});
    int16_t result = 99;
    browseList(1, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pickedCode(), "0001");
    expectClosedCleanly(before);

    term::queueInput(term::characterKey(27));
    browseList(1, result);
    EXPECT_EQ(result, -1);
    expectClosedCleanly(before);
}

TEST_F(BrowseListTest, EscWhileReadingAheadEndsTheList) {
    buildProperties(25);
    term::queueInput(term::characterKey(27));
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 1), 0);
    EXPECT_EQ(shownCodes(), codesFrom(1, 1));
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_EQ(cursorLine(), 1);
    EXPECT_EQ(closeBrowseView(view, keycode::enter), 0);
    EXPECT_EQ(pickedCode(), "0001");

    // Any other key waiting is dropped and the reading goes on.
    term::queueInput(term::characterKey('x'));
    ASSERT_EQ(openBrowseView(view, 1), 0);
    EXPECT_EQ(term::pendingInputCount(), 0u);
    EXPECT_EQ(shownCodes(), codesFrom(1, 10));
    closeBrowseView(view, keycode::esc);
}

TEST_F(BrowseListTest, NestedListOpensWithF4) {
    buildProperties(1);
    formTables.lookupLists[2].nestedList = 1;
    const std::string before = term::screenText();
    // The outer list (no lines) is left with F4; the nested one picks its record.
    term::queueInput({term::extendedKey(0x3E), term::characterKey(13)});
    int16_t result = 99;
    browseList(2, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pickedCode(), "0001");
    EXPECT_EQ(lockMode(), 0);
    expectClosedCleanly(before);
    // Without a nested list F4 only closes.
    formTables.lookupLists[2].nestedList = 0;
    term::queueInput({term::extendedKey(0x3E), term::characterKey(13)});
    browseList(2, result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(term::pendingInputCount(), 1u);
    term::flushInput();
}

TEST_F(BrowseListTest, BoxOffTheScreenOpensNothing) {
    buildProperties(3);
    const std::string before = term::screenText();
    int16_t result = 99;
    browseList(4, result);
    EXPECT_EQ(result, -1);
    browseList(9, result);  // no such list
    EXPECT_EQ(result, -1);
    expectClosedCleanly(before);
    EXPECT_EQ(lockMode(), 0);
}

TEST_F(BrowseListTest, SearchPanelLeftWithEsc) {
    buildProperties(1);
    FormTables& t = formTables;
    t.panelCount = 1;
    t.maxFields = 1;
    t.formPanels.resize(2);
    t.formPanels[1] = FormPanel{"1b,0d", 1, 0, 0, 0, 0, 0};
    t.formFields.assign(2, std::vector<FormField>(2));
    t.formFields[1][1] = FormField{2, 2, "Cerca: ", 4, 0, 0, 0, 0, 0, "", "    "};
    t.lookupLists[1].searchPanel = 1;
    term::queueInput(term::characterKey(27));
    int16_t result = 99;
    browseList(1, result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_FALSE(testsupport::fileExists(root / "Browse.tmp"));
    // Left with Enter, the list opens.
    term::queueInput({term::characterKey(13), term::characterKey(13)});
    browseList(1, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pickedCode(), "0001");
}

// ---- Lists without a data file: what Browse.tmp holds --------------------------------

std::string entry(int32_t previous, int32_t record, std::string_view text) {
    std::string e(10, '\0');
    for (int i = 0; i < 4; ++i) {
        e[i] = static_cast<char>((static_cast<uint32_t>(previous) >> (8 * i)) & 0xFF);
        e[4 + i] = static_cast<char>((static_cast<uint32_t>(record) >> (8 * i)) & 0xFF);
    }
    e[8] = static_cast<char>(text.size() & 0xFF);
    e[9] = static_cast<char>(text.size() >> 8);
    return e + std::string(text);
}

// Entries "ITEM 01".. chained the way the list writes them.
std::string chain(int count) {
    std::string cache;
    int32_t previous = 0;
    for (int i = 1; i <= count; ++i) {
        const int32_t position = static_cast<int32_t>(cache.size()) + 1;
        cache += entry(previous, 1000 + i, "ITEM " + std::string(i < 10 ? "0" : "") + std::to_string(i));
        previous = position;
    }
    return cache;
}

TEST_F(BrowseListTest, ListWithoutDataFileShowsTheCache) {
    testsupport::writeFile(root / "Browse.tmp", chain(14));
    BrowseView view;
    ASSERT_EQ(openBrowseView(view, 3), 0);
    EXPECT_EQ(term::rowText(top + 1).substr(left, 9), "ITEM 01  ");
    EXPECT_TRUE(browseViewKey(view, keycode::pgDn));
    EXPECT_EQ(term::rowText(top + 4).substr(left, 9), "ITEM 14  ");
    EXPECT_TRUE(browseViewKey(view, keycode::pgUp));
    EXPECT_TRUE(browseViewKey(view, keycode::down));
    EXPECT_FALSE(browseViewKey(view, keycode::enter));
    EXPECT_EQ(closeBrowseView(view, keycode::enter), 0);
    EXPECT_EQ(browseChoice.browseChoicePosition, 1002);
    EXPECT_EQ(browseChoice.browseChoiceText, "ITEM 02");
    EXPECT_FALSE(testsupport::fileExists(root / "Browse.tmp"));

    // No cache at all: one empty line and nothing to pick.
    ASSERT_EQ(openBrowseView(view, 3), 0);
    EXPECT_EQ(closeBrowseView(view, keycode::enter), -1);
}

TEST_F(BrowseListTest, DamagedCacheGivesAShorterList) {
    const std::string good = chain(3);
    struct Case {
        const char* name;
        std::string cache;
        int lines;  // lines shown
    };
    const std::vector<Case> cases = {
        {"last entry cut short", good + entry(25, 9, "ITEM 04").substr(0, 12), 3},
        {"header cut short", good + std::string(5, '\x01'), 3},
        {"negative length", good + entry(25, 9, "").replace(8, 2, "\xff\xff"), 3},
        {"length past the end", good + entry(25, 9, "X").replace(8, 2, "\x00\x7f"), 3},
        {"previous points forward", entry(0, 1, "A") + entry(500, 2, "B") + entry(12, 3, "C"), 3},
        {"previous points at itself", entry(0, 1, "A") + entry(12, 2, "B") + entry(12, 3, "C"), 3},
        {"previous mid-entry", entry(0, 1, "A") + entry(3, 2, "B") + entry(12, 3, "C"), 3},
        {"garbage", std::string("\x07\x00\x00\x00garbage", 11), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(root / "Browse.tmp", c.cache);
        BrowseView view;
        ASSERT_EQ(openBrowseView(view, 3), 0);
        std::vector<int16_t> keys;
        for (int i = 0; i < 4; ++i)
            for (int16_t k : {keycode::down, keycode::pgDn, keycode::down, keycode::up, keycode::pgUp, keycode::up})
                EXPECT_TRUE(browseViewKey(view, k));
        int shown = 0;
        for (int line = 1; line <= 10; ++line)
            if (term::rowText(top + line).substr(left, 39) != std::string(39, ' ')) ++shown;
        EXPECT_EQ(shown, c.lines);
        closeBrowseView(view, keycode::enter);
        EXPECT_EQ(windowState.windowDepth, 0);
    }
    // Random bytes: the list opens, moves and closes.
    std::mt19937 random(850);
    for (int round = 0; round < 200; ++round) {
        std::string cache = round % 2 ? chain(30) : std::string();
        const int size = static_cast<int>(random() % 300);
        for (int i = 0; i < size; ++i) cache.push_back(static_cast<char>(random() % (round % 3 ? 4 : 256)));
        for (int flips = 0; flips < 5 && !cache.empty(); ++flips) cache[random() % cache.size()] = static_cast<char>(random());
        testsupport::writeFile(root / "Browse.tmp", cache);
        BrowseView view;
        ASSERT_EQ(openBrowseView(view, 3), 0);
        for (int i = 0; i < 40; ++i) {
            static const int16_t moves[] = {keycode::down, keycode::pgDn, keycode::up, keycode::pgUp, keycode::right,
                                            keycode::left};
            EXPECT_TRUE(browseViewKey(view, moves[random() % 6]));
        }
        closeBrowseView(view, keycode::enter);
        ASSERT_EQ(windowState.windowDepth, 0);
    }
}

}  // namespace
