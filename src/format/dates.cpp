// Packed dates: display, weekday, differences, typed dates and typed codes.
#include "format/dates.h"

DateDisplayState dateDisplayState;

std::string formatDate(std::string_view packed, int16_t style, std::string_view parts) { return {}; }
int16_t weekdayOf(std::string_view packed) { return 1; }
int32_t dateDifference(std::string_view a, std::string_view b, std::string_view unit) { return 0; }
int16_t checkDateText(std::string_view text) { return -1; }
std::string parseDateText(std::string_view text) { return std::string(4, '\x80'); }
std::string packCodeText(std::string_view text) { return {}; }
