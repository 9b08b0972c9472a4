#include "console/calendar.h"

std::string showCalendar() { return {}; }
void drawCalendarQuarter(CalendarView& view, int16_t, int16_t month) {
    view.firstMonth = static_cast<int16_t>((month - 1) / 3 * 3 + 1);
}
bool openCalendarView(CalendarView& view) {
    view = CalendarView{};
    return false;
}
bool calendarViewKey(CalendarView&, int16_t) { return false; }
void closeCalendarView(CalendarView& view) { view.open = false; }
