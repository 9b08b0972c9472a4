// The calendar pop-up.
//
// The window covers screen rows 1 to 24 and columns 59 to 80; positions below are
// window coordinates (locateInWindow): row 0 is the frame's top line, column 1 the
// first of the 20 inner columns. Each day is a cell of 3 columns, weekday w (1 =
// Monday) starting at column 3w - 2; a quarter is three months of 7 rows each (the
// name, then up to six weeks) from row 2.
#include "console/calendar.h"

#include <cstdio>

#include "console/field_editor.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"

namespace {

constexpr int16_t windowTop = 1, windowLeft = 59, windowBottom = 24, windowRight = 80;
// Dates the calendar can show: packed dates hold four-digit years.
constexpr int16_t firstYear = 1, lastYear = 9999;

bool isLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int16_t lengthOfMonth(int year, int month) {
    static constexpr int16_t lengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    return static_cast<int16_t>(month == 2 && isLeapYear(year) ? 29 : lengths[month]);
}

std::string packedDate(int year, int month, int day) {
    return packDigits(zeroPad(static_cast<double>(year) * 10000 + month * 100 + day, 8));
}

// A number right-aligned in two characters (the picture "##").
std::string twoColumns(int n) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%2d", n % 100);
    return buffer;
}

std::string_view weekdayHeads() {
    const std::string& language = sessionSettings.languageCode;
    if (language == "SPA" || language == "GLG") return " L  M  X  J  V  S  D";
    if (language == "OCI") return "DL DT DC DJ DD DS DG";
    return "DL DT DC DJ DV DS DG";
}

int16_t interiorWidth() { return static_cast<int16_t>(windowLastColumn() - windowFirstColumn() + 1); }

// The date the calendar opens on: the session's date, or today's when that is
// empty or not a date.
void startDate(CalendarView& view) {
    const std::string& packed = sessionSettings.sessionDate;
    bool valid = packed.size() == 4;
    for (size_t i = 0; valid && i < 4; ++i) {
        const unsigned char b = static_cast<unsigned char>(packed[i]);
        valid = b >= 128 && b <= 227;
    }
    if (valid) {
        const std::string digits = unpackDigits(packed);
        const int year = std::stoi(digits.substr(0, 4));
        const int month = std::stoi(digits.substr(4, 2));
        const int day = std::stoi(digits.substr(6, 2));
        valid = year >= firstYear && month >= 1 && month <= 12 && day >= 1 && day <= lengthOfMonth(year, month);
        if (valid) {
            view.year = static_cast<int16_t>(year);
            view.month = static_cast<int16_t>(month);
            view.day = static_cast<int16_t>(day);
            return;
        }
    }
    const os::LocalDateTime now = os::localNow();
    view.year = static_cast<int16_t>(now.year);
    view.month = static_cast<int16_t>(now.month);
    view.day = static_cast<int16_t>(now.day);
}

void writeCursorDay(const CalendarView& view) {
    const int16_t w1 = view.weekdays[view.month][1];
    const int16_t row = static_cast<int16_t>((view.month - view.firstMonth) * 7 + 3 + (w1 + view.day - 2) / 7);
    const int16_t column = static_cast<int16_t>(3 * view.weekdays[view.month][view.day] - 2);
    writeInWindow(row, column, twoColumns(view.day));
}

void showCursor(CalendarView& view) {
    setColor("+u");
    writeCursorDay(view);
    view.dayHighlighted = true;
}

void hideCursor(CalendarView& view) {
    if (!view.dayHighlighted) return;
    setColor("-");
    writeCursorDay(view);
    view.dayHighlighted = false;
}

// Applies a move of the day cursor by `days` (at most a week either way) with the
// quarter on screen as the reference, as the calendar always has: leaving the
// quarter backwards or forwards redraws the quarter of the new date.
void moveDay(CalendarView& view, int days, int16_t& year, int16_t& month, int16_t& day, bool& redraw) {
    day = static_cast<int16_t>(day + days);
    if (day < 1) --month;
    if (month < view.firstMonth) {
        if (month < 1) {
            month = 12;
            --year;
        }
        redraw = true;
    }
    if (day < 1) day = static_cast<int16_t>(day + lengthOfMonth(year, month));
    if (day > lengthOfMonth(year, month)) {
        day = static_cast<int16_t>(day - lengthOfMonth(year, month));
        ++month;
    }
    if (!redraw && month > view.firstMonth + 2) {
        if (month > 12) {
            month = 1;
            ++year;
        }
        redraw = true;
    }
}

void moveQuarter(int months, int16_t& year, int16_t& month, int16_t& day) {
    month = static_cast<int16_t>(month + months);
    if (month > 12) {
        month = static_cast<int16_t>(month - 12);
        ++year;
    } else if (month < 1) {
        month = static_cast<int16_t>(month + 12);
        --year;
    }
    const int16_t length = lengthOfMonth(year, month);
    if (day > length) day = length;
}

}  // namespace

void drawCalendarQuarter(CalendarView& view, int16_t year, int16_t month) {
    setColor("n");
    const int16_t width = interiorWidth();
    char yearText[16];
    std::snprintf(yearText, sizeof yearText, " %4d ", year);
    writeInWindow(0, static_cast<int16_t>((windowLastColumn() - windowFirstColumn() - 5) / 2 + 1), yearText);
    writeInWindow(1, 1, weekdayHeads());

    for (int m = 1; m <= 12; ++m) {
        view.monthLengths[m] = lengthOfMonth(year, m);
        for (int d = 1; d <= 31; ++d)
            view.weekdays[m][d] = d <= view.monthLengths[m] ? weekdayOf(packedDate(year, m, d)) : 0;
    }
    view.firstMonth = static_cast<int16_t>((month - 1) / 3 * 3 + 1);

    for (int m = view.firstMonth; m <= view.firstMonth + 2; ++m) {
        const int b = (m - view.firstMonth) * 7 + 2;
        const int w1 = view.weekdays[m][1];
        const int length = view.monthLengths[m];
        setColor("n");
        writeInWindow(static_cast<int16_t>(b), 1, std::string(static_cast<size_t>(width > 0 ? width : 0), ' '));
        // Month names keep their accents in capitals (MARÇ).
        const bool foldAccents = textUtilsState.foldAccents;
        textUtilsState.foldAccents = false;
        const std::string name = foldText(formatDate(packedDate(year, m, 1), 2, "m"));
        textUtilsState.foldAccents = foldAccents;
        writeInWindow(static_cast<int16_t>(b),
                      static_cast<int16_t>((windowLastColumn() - windowFirstColumn() - static_cast<int>(name.size()) + 1) / 2 + 1),
                      name);
        setColor("h");
        for (int cell = 2 - w1; cell <= 0; ++cell)
            writeInWindow(static_cast<int16_t>(b + 1 + (w1 + cell - 2) / 7), static_cast<int16_t>(3 * cell + 3 * w1 - 5),
                          "  ");
        for (int d = 1; d <= length; ++d)
            writeInWindow(static_cast<int16_t>(b + 1 + (w1 + d - 2) / 7), static_cast<int16_t>(3 * view.weekdays[m][d] - 2),
                          twoColumns(d));
        // The grid is filled to 42 cells so that a longer month drawn before leaves nothing.
        for (int cell = length + 1; cell <= 43 - w1; ++cell)
            writeInWindow(static_cast<int16_t>(b + 1 + (w1 + cell - 2) / 7),
                          static_cast<int16_t>(3 * ((w1 + cell - 2) % 7) + 1), "  ");
    }
}

bool openCalendarView(CalendarView& view) {
    view = CalendarView{};
    if (screenWidth() < windowRight || screenHeight() < windowBottom) return false;
    setColor("+n");
    view.cursorWasVisible = term::cursorVisible();
    term::setCursorVisible(false);
    pushWindow(windowTop, windowLeft, windowBottom, windowRight);
    drawFrame(1);
    startDate(view);
    drawCalendarQuarter(view, view.year, view.month);
    view.open = true;
    showCursor(view);
    return true;
}

bool calendarViewKey(CalendarView& view, int16_t key) {
    if (!view.open) return false;
    hideCursor(view);

    int16_t year = view.year, month = view.month, day = view.day;
    bool redraw = false;
    switch (key) {
        case keycode::right: moveDay(view, 1, year, month, day, redraw); break;
        case keycode::left: moveDay(view, -1, year, month, day, redraw); break;
        case keycode::down: moveDay(view, 7, year, month, day, redraw); break;
        case keycode::up: moveDay(view, -7, year, month, day, redraw); break;
        case keycode::pgDn:
            moveQuarter(3, year, month, day);
            redraw = true;
            break;
        case keycode::pgUp:
            moveQuarter(-3, year, month, day);
            redraw = true;
            break;
        case keycode::home:
            month = 1;
            redraw = view.firstMonth != 1;
            break;
        case keycode::end:
            month = 12;
            redraw = view.firstMonth != 10;
            break;
        case 'F':
        case 'f':
        case keycode::altF:
            view.picked = formatDate(packedDate(view.year, view.month, view.day), 0, "dma");
            return false;
        case keycode::esc:
            view.picked.clear();
            return false;
        default:
            break;
    }
    // A move past the first or the last year a packed date can hold is ignored.
    if (year >= firstYear && year <= lastYear) {
        view.year = year;
        view.month = month;
        view.day = day;
        if (redraw) drawCalendarQuarter(view, view.year, view.month);
    }
    showCursor(view);
    return true;
}

void closeCalendarView(CalendarView& view) {
    if (!view.open) return;
    hideCursor(view);
    popWindow();
    term::setCursorVisible(view.cursorWasVisible);
    setColor("-");
    view.open = false;
}

std::string showCalendar() {
    CalendarView view;
    if (!openCalendarView(view)) return {};
    for (;;) {
        int16_t key = 0;
        waitKey(key);
        if (!calendarViewKey(view, key)) break;
    }
    closeCalendarView(view);
    return view.picked;
}
