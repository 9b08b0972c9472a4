#include "console/calendar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/field_editor.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

namespace {

std::string packed(int year, int month, int day) {
    return packDigits(zeroPad(static_cast<double>(year) * 10000 + month * 100 + day, 8));
}

class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
        sessionSettings.languageCode = "CAT";
        const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
        for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
        windowState = WindowState{};
        keyboardState = KeyboardState{};
        dateDisplayState = DateDisplayState{};
        term::openMemory(80, 25);
        for (int r = 1; r <= 25; ++r)
            for (int c = 1; c <= 80; ++c) term::writeCell(r, c, term::Cell{'.', 0x07});
        term::setCursorVisible(true);
    }
    void TearDown() override {
        os::setClockOverride(nullptr);
        term::close();
    }

    // Inner row r (1..22) of the calendar window as 20 characters.
    static std::string inner(int r) { return term::rowText(r + 1).substr(59, 20); }
    static std::vector<std::string> interior() {
        std::vector<std::string> rows;
        for (int r = 1; r <= 22; ++r) rows.push_back(inner(r));
        return rows;
    }
    // The cells shown in the cursor colour (slot 4: 14 on 1), as "row,column" of the window.
    static std::vector<std::string> cursorCells() {
        std::vector<std::string> cells;
        for (int r = 1; r <= 24; ++r) {
            const std::string attrs = term::rowAttributes(r);
            for (int c = 59; c <= 80; ++c)
                if (attrs.substr(2 * (c - 1), 2) == "1E") cells.push_back(std::to_string(r - 1) + "," + std::to_string(c - 59));
        }
        return cells;
    }
    static std::string date(const CalendarView& v) {
        return std::to_string(v.year) + "-" + std::to_string(v.month) + "-" + std::to_string(v.day);
    }
    void openOn(int year, int month, int day, CalendarView& view) {
        sessionSettings.sessionDate = packed(year, month, day);
        ASSERT_TRUE(openCalendarView(view));
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv env{{"ZELROOT", dir.path().c_str()}};
};

TEST_F(CalendarTest, OpensOnTheSessionDateQuarter) {
    const std::string before = term::screenText();
    CalendarView view;
    openOn(2024, 5, 15, view);
    EXPECT_EQ(date(view), "2024-5-15");
    EXPECT_EQ(view.firstMonth, 4);
    const std::vector<std::string> golden = {
        "DL DT DC DJ DV DS DG",
        "       ABRIL        ",
        " 1  2  3  4  5  6  7",
        " 8  9 10 11 12 13 14",
        "15 16 17 18 19 20 21",
        "22 23 24 25 26 27 28",
        "29 30               ",
        "                    ",
        "        MAIG        ",
        "       1  2  3  4  5",
        " 6  7  8  9 10 11 12",
        "13 14 15 16 17 18 19",
        "20 21 22 23 24 25 26",
        "27 28 29 30 31      ",
        "                    ",
        "        JUNY        ",
        "                1  2",
        " 3  4  5  6  7  8  9",
        "10 11 12 13 14 15 16",
        "17 18 19 20 21 22 23",
        "24 25 26 27 28 29 30",
        "                    ",
    };
    EXPECT_EQ(interior(), golden);
    // The frame, with the year in its top line.
    EXPECT_EQ(term::rowText(1).substr(58, 22), "\xDA" + std::string(7, '\xC4') + " 2024 " + std::string(7, '\xC4') + "\xBF");
    EXPECT_EQ(term::rowText(24).substr(58, 22), "\xC0" + std::string(20, '\xC4') + "\xD9");
    EXPECT_EQ(term::rowText(25), before.substr(24 * 81, 80));
    // The day cursor on 15 May; days in slot 0, heads and names in slot 1.
    EXPECT_EQ(cursorCells(), (std::vector<std::string>{"12,7", "12,8"}));
    EXPECT_EQ(term::rowAttributes(11).substr(2 * 59, 4), "0F0F");  // " 1" of May
    EXPECT_EQ(term::rowAttributes(2).substr(2 * 59, 4), "0707");   // "DL"
    EXPECT_FALSE(term::cursorVisible());

    closeCalendarView(view);
    EXPECT_EQ(term::screenText(), before);
    EXPECT_TRUE(term::cursorVisible());
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_TRUE(windowState.colorStack.empty());
}

TEST_F(CalendarTest, CursorMovesAndQuarterCrossings) {
    struct Case {
        int y, m, d;
        std::vector<int16_t> keys;
        const char* expected;
        int16_t firstMonth;
        bool redrawn;  // the quarter was drawn again
    };
    using namespace keycode;
    const std::vector<Case> cases = {
        {2024, 6, 30, {right}, "2024-7-1", 7, true},
        {2024, 4, 1, {left}, "2024-3-31", 1, true},
        {2024, 1, 3, {up}, "2023-12-27", 10, true},
        {2024, 5, 15, {down, down}, "2024-5-29", 4, false},
        {2024, 5, 29, {down}, "2024-6-5", 4, false},
        {2024, 6, 5, {up}, "2024-5-29", 4, false},
        {2024, 12, 31, {right}, "2025-1-1", 1, true},
        {2024, 11, 30, {pgDn}, "2025-2-28", 1, true},
        {2023, 11, 30, {pgDn}, "2024-2-29", 1, true},
        {2024, 5, 31, {pgUp}, "2024-2-29", 1, true},
        {2023, 5, 31, {pgUp}, "2023-2-28", 1, true},
        {2024, 2, 20, {home}, "2024-1-20", 1, false},
        {2024, 11, 20, {end}, "2024-12-20", 10, false},
        {2024, 5, 20, {home}, "2024-1-20", 1, true},
        {2024, 5, 20, {end}, "2024-12-20", 10, true},
        {2024, 5, 20, {enter, 'x', altC, f1}, "2024-5-20", 4, false},
        // Nothing before the first year a date can hold.
        {1, 1, 1, {left}, "1-1-1", 1, false},
        {9999, 12, 31, {right, pgDn}, "9999-12-31", 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
        CalendarView view;
        openOn(c.y, c.m, c.d, view);
        // A mark on the frame where the year is written shows whether the quarter was redrawn.
        term::writeCell(1, 67, term::Cell{'#', 0x07});
        for (int16_t key : c.keys) EXPECT_TRUE(calendarViewKey(view, key));
        EXPECT_EQ(date(view), c.expected);
        EXPECT_EQ(view.firstMonth, c.firstMonth);
        EXPECT_EQ(term::readCell(1, 67).ch != '#', c.redrawn);
        // The cursor cell follows the date.
        const int16_t w1 = view.weekdays[view.month][1];
        const int row = (view.month - view.firstMonth) * 7 + 3 + (w1 + view.day - 2) / 7;
        const int column = 3 * view.weekdays[view.month][view.day] - 2;
        EXPECT_EQ(cursorCells(), (std::vector<std::string>{std::to_string(row) + "," + std::to_string(column),
                                                           std::to_string(row) + "," + std::to_string(column + 1)}));
        closeCalendarView(view);
        EXPECT_EQ(windowState.windowDepth, 0);
        EXPECT_TRUE(windowState.colorStack.empty());
    }
}

TEST_F(CalendarTest, RedrawnQuarterShowsTheNewYearAndMonths) {
    CalendarView view;
    openOn(2024, 1, 3, view);
    EXPECT_EQ(inner(16), testsupport::cp850("        MARÇ        "));
    EXPECT_TRUE(calendarViewKey(view, keycode::up));
    EXPECT_EQ(term::rowText(1).substr(66, 6), " 2023 ");
    EXPECT_EQ(inner(2), "      OCTUBRE       ");
    EXPECT_EQ(inner(23 - 7), "      DESEMBRE      ");
    EXPECT_EQ(cursorCells(), (std::vector<std::string>{"21,7", "21,8"}));  // Wednesday 27 December
    closeCalendarView(view);
}

TEST_F(CalendarTest, WeekRowsOfAMonth) {
    // September 2024 begins on a Sunday: six week rows. February 2021 begins on a
    // Monday and has 28 days: four rows, and the rows a longer month used are blanked.
    CalendarView view;
    openOn(2024, 8, 10, view);
    EXPECT_EQ(inner(16), "      SETEMBRE      ");
    EXPECT_EQ(inner(17), "                   1");
    EXPECT_EQ(inner(22), "30                  ");
    closeCalendarView(view);

    openOn(2021, 5, 10, view);
    EXPECT_TRUE(calendarViewKey(view, keycode::pgUp));
    EXPECT_EQ(date(view), "2021-2-10");
    EXPECT_EQ(inner(10), " 1  2  3  4  5  6  7");
    EXPECT_EQ(inner(13), "22 23 24 25 26 27 28");
    EXPECT_EQ(inner(14), std::string(20, ' '));
    EXPECT_EQ(inner(15), std::string(20, ' '));
    closeCalendarView(view);
}

TEST_F(CalendarTest, WeekdayHeadsByLanguage) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"CAT", "DL DT DC DJ DV DS DG"},
        {"SPA", " L  M  X  J  V  S  D"},
        {"GLG", " L  M  X  J  V  S  D"},
        {"OCI", "DL DT DC DJ DD DS DG"},
        {"XYZ", "DL DT DC DJ DV DS DG"},
    };
    for (const auto& [language, heads] : cases) {
        SCOPED_TRACE(language);
        sessionSettings.languageCode = language;
        CalendarView view;
        openOn(2024, 5, 15, view);
        EXPECT_EQ(inner(1), heads);
        closeCalendarView(view);
    }
    sessionSettings.languageCode = "SPA";
    CalendarView view;
    openOn(2024, 5, 15, view);
    EXPECT_EQ(inner(9), "        MAYO        ");
    closeCalendarView(view);
}

TEST_F(CalendarTest, PickAndEscThroughShowCalendar) {
    const std::string before = term::screenText();
    sessionSettings.sessionDate = packed(2024, 5, 15);
    term::queueInput({term::extendedKey(0x4D), term::extendedKey(0x50), term::characterKey('f')});
    EXPECT_EQ(showCalendar(), "23/5/2024 ");
    term::queueInput({term::characterKey(13), term::characterKey('F')});
    EXPECT_EQ(showCalendar(), "15/5/2024 ");
    term::queueInput(term::extendedKey(0x21, term::leftAltPressed));  // Alt+F
    EXPECT_EQ(showCalendar(), "15/5/2024 ");
    term::queueInput({term::extendedKey(0x4D), term::characterKey(27)});
    EXPECT_EQ(showCalendar(), "");
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
    EXPECT_TRUE(windowState.colorStack.empty());
    EXPECT_TRUE(term::cursorVisible());
    EXPECT_TRUE(keyboardState.pendingKeys.empty());
}

TEST_F(CalendarTest, StartsOnTodayWithoutAValidSessionDate) {
    const os::LocalDateTime today{2025, 3, 9, 10, 0, 0, 0};
    os::setClockOverride(&today);
    for (const std::string& session :
         {std::string(), std::string(4, '\x80'), packed(2023, 2, 29), packed(2024, 13, 1), std::string("abcd")}) {
        sessionSettings.sessionDate = session;
        CalendarView view;
        ASSERT_TRUE(openCalendarView(view));
        EXPECT_EQ(date(view), "2025-3-9");
        closeCalendarView(view);
    }
}

TEST_F(CalendarTest, ConsoleTooSmallOpensNothing) {
    term::resizeMemory(70, 25);
    const std::string before = term::screenText();
    sessionSettings.sessionDate = packed(2024, 5, 15);
    EXPECT_EQ(showCalendar(), "");
    EXPECT_EQ(term::screenText(), before);
    EXPECT_EQ(windowState.windowDepth, 0);
}

}  // namespace
