// Dates: packed dates (YYYYMMDD as a 4-byte compact number), display in four
// languages, weekday, differences across the 1582 calendar change, typed dates
// and typed codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct DateDisplayState {
    bool settingsRead = false;
    char dateSeparator = '/';
    std::string dateOrder = "DMA";
};
extern DateDisplayState dateDisplayState;

std::string formatDate(std::string_view packed, int16_t style, std::string_view parts);
int16_t weekdayOf(std::string_view packed);
int32_t dateDifference(std::string_view a, std::string_view b, std::string_view unit);
// -1 when the text is not a valid date, 0 when it is.
int16_t checkDateText(std::string_view text);
std::string parseDateText(std::string_view text);
std::string packCodeText(std::string_view text);
