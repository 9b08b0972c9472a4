// The calendar of every input (Alt+C in readKey): one quarter of a year in a window
// at the right edge of the screen, a day cursor that starts on the session's date,
// and the picked date handed back as the text a date field shows.
//
// showCalendar runs it; the steps it is made of (open, one key, close) are separate
// so that a caller can drive it key by key and look at the screen in between.
#pragma once

#include <cstdint>
#include <string>

// State of one calendar run.
struct CalendarView {
    int16_t year = 0, month = 0, day = 0;  // the date under the day cursor
    int16_t firstMonth = 1;                 // first month of the quarter on screen: 1, 4, 7 or 10
    int16_t monthLengths[13] = {};          // 1..12, for the year on screen
    int16_t weekdays[13][32] = {};          // [month][day], 1 = Monday .. 7 = Sunday
    std::string picked;                     // the text to return; empty after Esc
    bool cursorWasVisible = true;           // given back at the end
    bool dayHighlighted = false;            // the day cursor is drawn (its colour is on the stack)
    bool open = false;
};

// Returns the picked date as formatDate style 0, parts "dma", or "" after Esc.
std::string showCalendar();
// Draws the quarter that holds `month` of `year`, renews the month lengths and the
// weekday table for that year and sets firstMonth.
void drawCalendarQuarter(CalendarView& view, int16_t year, int16_t month);

// Opens the window on the session's date (today's date when the session date is
// empty or not a date) with the day cursor shown. False, with nothing opened, on a
// console too small for the window.
bool openCalendarView(CalendarView& view);
// Acts on one key. False when the key ends the calendar (a pick or Esc); `picked`
// then holds the result.
bool calendarViewKey(CalendarView& view, int16_t key);
void closeCalendarView(CalendarView& view);
