#include "console/form_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/field_editor.h"
#include "console/windows.h"
#include "data/data_build.h"
#include "data/record_layouts.h"
#include "driver/form_file.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"
#include "report/receipts_report.h"
#include "tests/support/test_support.h"

namespace {

using term::InputEvent;
using testsupport::cp850;

InputEvent K(int code) {
    const int u = code & 0xFFFF;
    return u < 256 ? term::characterKey(static_cast<uint8_t>(u)) : term::extendedKey(static_cast<uint8_t>(u >> 8));
}
const InputEvent enter = K(keycode::enter), esc = K(keycode::esc), up = K(keycode::up), down = K(keycode::down),
                 f1 = K(keycode::f1), f4 = K(keycode::f4), pgUp = K(keycode::pgUp), pgDn = K(keycode::pgDn),
                 clear = K(keycode::ctrlY), tab = K(keycode::tab);

std::vector<InputEvent> typed(std::string_view text) {
    std::vector<InputEvent> out;
    for (unsigned char c : text) out.push_back(K(c));
    return out;
}

// Keys and texts in one script.
struct Script {
    std::vector<InputEvent> events;
    Script& operator<<(const InputEvent& e) {
        events.push_back(e);
        return *this;
    }
    Script& operator<<(std::string_view text) {
        for (const InputEvent& e : typed(text)) events.push_back(e);
        return *this;
    }
};

// The shipped form's keys: with End among them the field editor turns Enter into
// End, so Enter leaves panel 1 from any field and Tab (Enter) moves on.
const char* const allKeys = "1b,0d,5000,4800,4900,5100,4f00,3c00,3e00";
// The test panels leave End out, so that Enter moves from field to field.
const char* const testKeys = "1b,0d,5000,4800,4900,5100,3c00,3e00";

FormField field(int16_t row, int16_t column, std::string label, int16_t width, int16_t flags = 0,
                int16_t type = 0, std::string choices = "", int16_t lineWidth = 0, int16_t clearWidth = 0) {
    FormField f;
    f.row = row;
    f.labelColumn = column;
    f.label = std::move(label);
    f.width = width;
    f.lineWidth = lineWidth;
    f.clearWidth = clearWidth;
    f.flags = flags;
    f.fieldType = type;
    f.choices = std::move(choices);
    f.value.assign(static_cast<std::size_t>(width), ' ');
    return f;
}

// The module's own two panels, as the shipped form lays them out, and test panels:
//   3  no window: text, a field that is only shown, a number, a text that starts blank
//   4  a window of its own, one text field (run linked from panel 5)
//   5  no window, one text field continued by panel 4
//   6  only fields that are shown
//   7  a window, two text fields and a shown-only one between them (mouse)
//   8  no window, a hidden field, a multi-line field, a choice field with a clear width
void buildForm() {
    FormTables& t = formTables;
    t = FormTables{};
    t.panelCount = 8;
    t.maxFields = 4;
    t.formPanels.assign(9, FormPanel{});
    t.formFields.assign(9, std::vector<FormField>(5));
    auto panel = [&](int n, std::string keys, int16_t count, int16_t next, int16_t top, int16_t left,
                     int16_t bottom, int16_t right) {
        t.formPanels[n] = FormPanel{std::move(keys), count, next, top, left, bottom, right};
    };
    panel(1, allKeys, 4, 0, 3, 1, 12, 80);
    t.formFields[1][1] = field(3, 19, "Data inicial ..: ", 10, 1, 1);
    t.formFields[1][2] = field(4, 19, "Data final ....: ", 10, 1, 1);
    t.formFields[1][3] = field(6, 19, "Finca inicial .: ", 3, 1, 2);
    t.formFields[1][4] = field(7, 19, "Finca final ...: ", 3, 1, 2);
    panel(2, "1b,0d", 1, 0, 15, 1, 20, 80);
    t.formFields[2][1] = field(3, 24, "Imprimir? ", 1, 0, 0, cp850("|S,Sí|N,No"), 0, 2);
    panel(3, testKeys, 4, 0, 0, 0, 0, 0);
    t.formFields[3][1] = field(2, 2, "Nom: ", 5);
    t.formFields[3][2] = field(3, 2, "Fix: ", 5, 4);
    t.formFields[3][2].value = "FIXED";
    t.formFields[3][3] = field(4, 2, "Num: ", 6, 0, 2);
    t.formFields[3][4] = field(5, 2, "Blk: ", 8, 1);
    panel(4, testKeys, 1, 0, 10, 10, 14, 60);
    t.formFields[4][1] = field(2, 3, "L: ", 4);
    panel(5, testKeys, 1, 4, 0, 0, 0, 0);
    t.formFields[5][1] = field(2, 2, "X: ", 4);
    panel(6, testKeys, 2, 0, 0, 0, 0, 0);
    t.formFields[6][1] = field(2, 2, "A: ", 4, 4);
    t.formFields[6][2] = field(3, 2, "B: ", 4, 4);
    panel(7, testKeys, 3, 0, 5, 5, 15, 70);
    t.formFields[7][1] = field(2, 3, "Primer: ", 4);
    t.formFields[7][2] = field(3, 3, "Fix: ", 4, 4);
    t.formFields[7][3] = field(4, 3, "Tercer: ", 4);
    panel(8, testKeys, 3, 0, 0, 0, 0, 0);
    t.formFields[8][1] = field(2, 2, "Clau: ", 6, 2);
    t.formFields[8][2] = field(4, 2, "Nota: ", 12, 0, 0, "", 4);
    t.formFields[8][3] = field(8, 2, "Tria: ", 1, 0, 0, cp850("|S,Sí|N,No"), 0, 2);
}

class FormDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const os::LocalDateTime fixed{2024, 3, 15, 10, 0, 0, 0};
        os::setClockOverride(&fixed);
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        sessionSettings.sessionDate = packDigits("20240315");
        sessionSettings.menuTitle = " Rebuts ";
        const ColorSlot colors[5] = {{15, 1}, {7, 1}, {0, 3}, {15, 1}, {0, 7}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        dateDisplayState = DateDisplayState{};
        dateDisplayState.settingsRead = true;
        windowState = WindowState{};
        exitKeyTable = ExitKeyTable{};
        keyboardState = KeyboardState{};
        formDriver = FormDriverState{};
        reportParameters = ReportParameters{};
        term::openMemory(80, 25);
        term::setStateFolder(dir.path());
        std::remove((dir / "KbdState.tmp").c_str());  // overwrite mode
        buildForm();
    }
    void TearDown() override {
        term::close();
        os::setClockOverride(nullptr);
    }

    // Runs a panel with the script; the console answers Esc when it runs out.
    static int16_t run(int16_t panel, const Script& script, int16_t key = 0, int16_t atTop = 0, int16_t atBottom = 0) {
        term::queueInput(script.events);
        runForm(panel, atTop, atBottom, key);
        return key;
    }
    static const std::string& value(int panel, int field) { return formTables.formFields[panel][field].value; }

    testsupport::TempDir dir;
};

TEST_F(FormDriverTest, EscapeGoesBackToTheFirstFieldAndThereLeaves) {
    // Field 2 is only shown: Enter on field 1 goes on to field 3.
    const int16_t key = run(3, Script() << "abc" << enter << "12" << enter << esc << "Z" << esc);
    EXPECT_EQ(key, keycode::esc);
    EXPECT_EQ(term::pendingInputCount(), 0u);
    // "Z" was typed on field 1 after the Esc on field 4, and dropped by the last Esc.
    EXPECT_EQ(value(3, 1), "abc  ");
    EXPECT_EQ(value(3, 2), "FIXED");
    EXPECT_EQ(value(3, 3), "12    ");
    EXPECT_EQ(term::rowText(2).substr(1, 10), "Nom: abc  ");
}

TEST_F(FormDriverTest, EnterOnTheLastFieldLeavesAndDownThereStays) {
    const int16_t key = run(3, Script() << down << down << down << "q" << enter);
    EXPECT_EQ(key, keycode::enter);
    EXPECT_EQ(term::pendingInputCount(), 0u);
    EXPECT_EQ(value(3, 4), "q       ");
}

TEST_F(FormDriverTest, UpOnTheFirstFieldStaysOnAPanelAndEndsALinkedOne) {
    // Panel 5 runs panel 4 linked from its last field; Up on panel 4's first field
    // comes back with Esc and panel 5 stays on its field; Esc there leaves.
    const int16_t key = run(5, Script() << up << "a" << enter << "L" << up << "b" << esc);
    EXPECT_EQ(key, keycode::esc);
    EXPECT_EQ(term::pendingInputCount(), 0u);
    EXPECT_EQ(value(5, 1), "a   ");  // edited again after the linked panel; Esc dropped the "b"
    EXPECT_EQ(value(4, 1), "L   ");
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_FALSE(testsupport::fileExists(dir / "WinPush.tmp"));
}

TEST_F(FormDriverTest, LeavingALinkedPanelWithEnterLeavesTheCallerToo) {
    const int16_t key = run(5, Script() << "a" << enter << "L" << enter);
    EXPECT_EQ(key, keycode::enter);
    EXPECT_EQ(term::pendingInputCount(), 0u);
}

TEST_F(FormDriverTest, ChainIsEnteredAgainAtThePanelLeftWithAPageKey) {
    // Panel 4 continues panel 5: with resumePanel 4, panel 5 runs it at once.
    formDriver.resumePanel = 4;
    EXPECT_EQ(run(5, Script() << "L" << enter), keycode::enter);
    EXPECT_EQ(value(4, 1), "L   ");
    EXPECT_EQ(value(5, 1), "    ");
    EXPECT_EQ(term::pendingInputCount(), 0u);
    // A panel that is not on the chain is forgotten and the fields are edited as usual.
    formDriver.resumePanel = 7;
    EXPECT_EQ(run(5, Script() << "x" << esc), keycode::esc);
    EXPECT_EQ(formDriver.resumePanel, 0);
    EXPECT_EQ(value(4, 1), "L   ");
}

TEST_F(FormDriverTest, PageKeysGoToTheEndsAndLeaveOnlyWhenAllowed) {
    EXPECT_EQ(run(3, Script() << pgDn << "w" << pgUp << "v" << enter << "1" << pgDn << pgDn << esc << esc),
              keycode::esc);
    EXPECT_EQ(value(3, 4), "w       ");
    EXPECT_EQ(value(3, 1), "v    ");
    EXPECT_EQ(formDriver.resumePanel, 0);

    // With leaveAtBottom, PgDn on the last field leaves and notes the panel.
    EXPECT_EQ(run(3, Script() << pgDn << pgDn, 0, 0, 1), keycode::pgDn);
    EXPECT_EQ(formDriver.resumePanel, 3);
    EXPECT_EQ(run(3, Script() << pgUp, 0, 1, 0), keycode::pgUp);
    EXPECT_EQ(formDriver.resumePanel, 3);
}

TEST_F(FormDriverTest, FieldThatStartsBlankShowsItsValueAndKeepsItWhenLeftBlank) {
    formTables.formFields[3][4].value = "KEEPME  ";
    drawPanel(3);
    EXPECT_EQ(term::rowText(5).substr(1, 13), "Blk: KEEPME  ");
    EXPECT_EQ(run(3, Script() << pgDn << enter), keycode::enter);
    EXPECT_EQ(value(3, 4), "KEEPME  ");
    EXPECT_EQ(term::rowText(5).substr(1, 13), "Blk: KEEPME  ");
}

TEST_F(FormDriverTest, HelpKeyDropsWhatWasTypedAndEditsTheStoredValue) {
    formTables.formFields[3][1].value = "old  ";
    EXPECT_EQ(run(3, Script() << "new" << f1 << esc), keycode::esc);
    EXPECT_EQ(value(3, 1), "old  ");
    EXPECT_EQ(term::pendingInputCount(), 0u);
    // F4 on a field without a list does the same.
    EXPECT_EQ(run(3, Script() << "new" << f4 << esc), keycode::esc);
    EXPECT_EQ(value(3, 1), "old  ");
    EXPECT_EQ(term::pendingInputCount(), 0u);
    // So does leaving a list without a pick (the console's Esc once the script ends).
    formTables.lookupCount = 1;
    formTables.lookupLists.assign(2, LookupList{});
    formTables.lookupLists[1] = LookupList{0, 0, 5, 20, 12, 60, 0, "LLISTA", 0};
    formTables.formFields[3][1].lookupList = 1;
    EXPECT_EQ(run(3, Script() << "new" << f4), keycode::esc);
    EXPECT_EQ(value(3, 1), "old  ");
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(FormDriverTest, RejectedEntryBeepsAndIsEditedAgainWithTheRejectedText) {
    // "1x" is not a number; the field is edited again holding "1x", and Delete
    // on the "x" fixes it.
    EXPECT_EQ(run(3, Script() << enter << "1x" << enter << K(keycode::right) << K(keycode::del) << enter << esc
                              << esc),
              keycode::esc);
    EXPECT_EQ(term::beepCount(), 1);
    EXPECT_EQ(value(3, 3), "1     ");
}

TEST_F(FormDriverTest, PanelOfShownFieldsReturnsTheKeyItWasGiven) {
    EXPECT_EQ(run(6, Script(), 77), 77);
    EXPECT_EQ(term::rowText(2).substr(1, 3), "A: ");
    EXPECT_EQ(term::rowText(3).substr(1, 3), "B: ");
}

TEST_F(FormDriverTest, MouseClickOnALabelSelectsItsField) {
    // Window (5,5)-(15,70): field 3's label starts at console row 9, column 8.
    EXPECT_EQ(run(7, Script() << term::mouseRelease(9, 8) << "t" << enter), keycode::enter);
    EXPECT_EQ(value(7, 3), "t   ");
    EXPECT_EQ(value(7, 1), "    ");
    // A click on the shown-only field or outside every field keeps the current one.
    formTables.formFields[7][3].value = "    ";
    EXPECT_EQ(run(7, Script() << term::mouseRelease(8, 8) << term::mouseRelease(20, 8) << "f" << enter << esc
                              << esc),
              keycode::esc);
    EXPECT_EQ(value(7, 1), "f   ");
    EXPECT_EQ(value(7, 3), "    ");
}

TEST_F(FormDriverTest, ExitKeysOfTheCallerAreIntactAfterAPanel) {
    setExitKeys("ea", "1b,0d");
    const ExitKeyTable before = exitKeyTable;
    run(3, Script() << "a" << enter << esc << esc);
    EXPECT_EQ(exitKeyTable.keys, before.keys);
    EXPECT_EQ(exitKeyTable.results, before.results);
    EXPECT_EQ(exitKeyTable.saveDepth, 0);
    EXPECT_EQ(keyboardState.maskChar, 0);
}

TEST_F(FormDriverTest, HiddenFieldIsNeverShownAndKeepsItsValueWhenLeftBlank) {
    formTables.formFields[8][1].value = "secret";
    drawPanel(8);
    EXPECT_EQ(term::rowText(2).substr(1, 12), "Clau:       ");
    EXPECT_EQ(run(8, Script() << enter << esc << esc), keycode::esc);
    EXPECT_EQ(value(8, 1), "secret");
    EXPECT_EQ(run(8, Script() << "pw" << enter << esc << esc), keycode::esc);
    EXPECT_EQ(value(8, 1), "pw    ");
    EXPECT_EQ(term::rowText(2).find("pw"), std::string::npos);
}

// ---- drawPanel, showFieldValue, acceptFieldValue --------------------------------

TEST_F(FormDriverTest, TitleIsCentredOnColumn41WithHalvesToEven) {
    struct Case {
        const char* title;
        int column;
    } cases[] = {
        {" Rebuts ", 37},   // 8 / 2 = 4
        {" Rebut ", 37},    // 3.5 -> 4
        {" Rebu ", 38},     // 3
        {" Reb ", 39},      // 2.5 -> 2
        {"", 41},
    };
    for (const Case& c : cases) {
        term::clearScreen();
        sessionSettings.menuTitle = c.title;
        drawPanel(3);
        const std::string row = term::rowText(1);
        EXPECT_EQ(row.find_first_not_of(' '), std::string(c.title).empty() ? std::string::npos
                                                                           : static_cast<std::size_t>(c.column))
            << c.title;
    }
    // Title in slot 2 (0 on 3), labels in slot 1 (7 on 1), values in slot 0 (15 on 1).
    term::clearScreen();
    sessionSettings.menuTitle = " Rebuts ";
    formTables.formFields[3][1].value = "abcde";
    drawPanel(3);
    EXPECT_EQ(term::rowAttributes(1).substr(2 * 37, 2), "30");
    EXPECT_EQ(term::rowAttributes(2).substr(2 * 1, 2), "17");
    EXPECT_EQ(term::rowAttributes(2).substr(2 * 6, 2), "1F");
}

TEST_F(FormDriverTest, ShowFieldValueByKind) {
    struct Case {
        int panel, field;
        std::string stored;
        std::string expected;  // on the field's row from the value's column
    } cases[] = {
        {1, 1, "150324    ", "15/3/2024 "},    // a date in display form
        {8, 3, "S", cp850("Sí ")},             // choice: display text padded to width + clear width
        {8, 3, "X", "   "},                    // no entry matches: nothing written
        {3, 1, "xy   ", "xy   "},
        {8, 2, "abcdefghijkl", "abcd"},        // first of three lines (last case: see below)
    };
    for (const Case& c : cases) {
        term::clearScreen();
        windowState = WindowState{};
        FormField& f = formTables.formFields[c.panel][c.field];
        f.value = c.stored;
        showFieldValue(static_cast<int16_t>(c.panel), static_cast<int16_t>(c.field));
        const int column = f.labelColumn + static_cast<int>(f.label.size());
        EXPECT_EQ(term::rowText(f.row).substr(column - 1, c.expected.size()), c.expected)
            << c.panel << "/" << c.field;
    }
    // A multi-line value continues on the next rows at the same column.
    EXPECT_EQ(term::rowText(5).substr(7, 4), "efgh");
    EXPECT_EQ(term::rowText(6).substr(7, 4), "ijkl");
}

TEST_F(FormDriverTest, AcceptFieldValueByType) {
    struct Case {
        int panel, field;
        std::string text;
        int16_t result;
        std::string stored;
    } cases[] = {
        {1, 1, "          ", 0, "150324    "},     // blank date: the session date
        {1, 1, "1/3/24", 0, "1/3/24    "},
        {1, 1, "31/02/2024", 1, ""},               // impossible date
        {1, 1, "ab", 1, ""},
        {1, 3, "12", 0, "12 "},
        {1, 3, "1a", 1, ""},                       // not a number
        {1, 3, "-1", 1, ""},                       // no sign in an empty mask
        {3, 1, "anything at all", 0, "anyth"},     // text is cut to the width
        {3, 1, "a", 0, "a    "},
        {3, 9, "a", 1, ""},                        // no such field
        {0, 1, "a", 1, ""},                        // no such panel
    };
    for (const Case& c : cases) {
        if (c.field <= 4 && c.panel >= 1) formTables.formFields[c.panel][c.field].value = "#";
        EXPECT_EQ(acceptFieldValue(static_cast<int16_t>(c.panel), c.text, static_cast<int16_t>(c.field)), c.result)
            << c.text;
        if (c.result == 0) {
            EXPECT_EQ(value(c.panel, c.field), c.stored) << c.text;
        } else if (c.field <= 4 && c.panel >= 1) {
            EXPECT_EQ(value(c.panel, c.field), "#") << c.text;
        }
    }
}

// ---- The module's panel check ---------------------------------------------------

TEST_F(FormDriverTest, ValidRangesAskForConfirmationAndOnlySLetsTheFormEnd) {
    // Field 1: an impossible date is refused with a beep, then corrected.
    const int16_t key = run(1, Script() << "31/02/2024" << tab << clear << "1/2/24" << tab << "15/3/24" << tab
                                        << "5" << tab << "20" << enter
                                        // Confirmation: "N" sends the operator back to field 1 ...
                                        << "N" << enter << enter
                                        // ... and the answer "Sí" (Enter on the first choice) ends the form.
                                        << enter);
    EXPECT_EQ(key, keycode::end);
    EXPECT_EQ(term::pendingInputCount(), 0u);
    EXPECT_EQ(term::beepCount(), 1);
    EXPECT_EQ(value(1, 1), "1/2/24    ");
    EXPECT_EQ(value(1, 2), "15/3/24   ");
    EXPECT_EQ(value(2, 1), "S");
    EXPECT_EQ(reportParameters.firstDateKey, packDigits("20240201"));
    EXPECT_EQ(reportParameters.lastDateKey, packDigits("20240315"));
    EXPECT_EQ(reportParameters.firstPropertyKey, packDigits("0005"));
    EXPECT_EQ(reportParameters.lastPropertyKey, packDigits("0020"));
    EXPECT_EQ(windowState.windowDepth, 0);
}

TEST_F(FormDriverTest, CrossedRangesPutTheCursorBackOnFieldOneWithoutABeep) {
    struct Case {
        const char *firstDate, *lastDate, *firstCode, *lastCode;
    } cases[] = {
        {"15/3/24", "1/3/24", "1", "9"},   // dates crossed
        {"1/3/24", "15/3/24", "9", "1"},   // codes crossed
        {"1/3/24", "15/3/24", "10", "9"},  // compared as numbers, not as texts
    };
    for (const Case& c : cases) {
        for (int n = 1; n <= 4; ++n) formTables.formFields[1][n].value.assign(formTables.formFields[1][n].width, ' ');
        formTables.formFields[2][1].value = "Q";  // the confirmation would blank it
        // After the failed check the cursor is on field 1: "2/3/24" goes there.
        const int16_t key = run(1, Script() << c.firstDate << tab << c.lastDate << tab << c.firstCode << tab
                                            << c.lastCode << enter << "2/3/24" << tab << esc << esc);
        EXPECT_EQ(key, keycode::esc) << c.firstDate << " " << c.firstCode;
        EXPECT_EQ(term::beepCount(), 0);
        EXPECT_EQ(value(1, 1), "2/3/24    ");
        EXPECT_EQ(value(2, 1), "Q");
    }
}

TEST_F(FormDriverTest, EscapeOnTheConfirmationReturnsToPanelOne) {
    EXPECT_EQ(checkPanel(1, keycode::esc), 0);  // leaving with Esc is never checked
    EXPECT_EQ(checkPanel(3, keycode::enter), 0);
    for (int n = 1; n <= 4; ++n) formTables.formFields[1][n].value = n <= 2 ? "1/3/24    " : "1  ";
    term::queueInput(Script().events);  // Esc on the confirmation
    EXPECT_NE(checkPanel(1, keycode::enter), 0);
    term::queueInput((Script() << K(keycode::right) << K(keycode::right) << enter).events);  // No, Sí
    EXPECT_EQ(checkPanel(1, keycode::enter), 0);
    EXPECT_EQ(value(2, 1), "S");
}

// ---- Lookup hooks --------------------------------------------------------------

TEST_F(FormDriverTest, LookupHooksForThePropertyList) {
    const std::string record = propertyRecord(1234, 7, cp850("Carrer de la Mercè, 12"));
    std::memcpy(recordBuffers.property, record.data(), record.size());
    EXPECT_EQ(lookupLine(1), "234  " + cp850("Carrer de la Mercè, 12") + std::string(8, ' '));
    EXPECT_EQ(lookupLine(2), "");
    lookupPick(1, 1, 3);
    EXPECT_EQ(value(1, 3), "234");
    lookupPick(2, 1, 4);
    EXPECT_EQ(value(1, 4), "   ");
    lookupPick(1, 0, 0);  // a nested list's pick has no field

    std::string start = "x", limit = "y";
    EXPECT_EQ(lookupStartKey(1, start, limit), 0);
    EXPECT_EQ(start, "");
    EXPECT_EQ(limit, "");
}

}  // namespace
