// Typed dates and codes, and packed dates of any bytes, under any date order and
// separator the settings file may hold; the clock is fixed.
#include "driver/session_settings.h"
#include "format/dates.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const os::LocalDateTime now{2026, 3, 15, 10, 30, 0, 0};
    os::setClockOverride(&now);
    fuzzsupport::InputReader in(data, size);
    static const char* const languages[] = {"CAT", "SPA", "GLG", "OCI"};
    sessionSettings = SessionSettings{};
    sessionSettings.languageCode = languages[in.byte() % 4];
    dateDisplayState = DateDisplayState{};
    dateDisplayState.settingsRead = true;
    const uint8_t settings = in.byte();
    if (settings & 1) {
        dateDisplayState.dateSeparator = static_cast<char>(in.byte());
        dateDisplayState.dateOrder = std::string(in.take(3));
        dateDisplayState.dateOrder.resize(3, ' ');
    }
    const int16_t style = static_cast<int16_t>(in.u16());
    const std::string parts(in.piece());
    const std::string packed(in.piece());
    const std::string other(in.piece());
    const std::string unit(in.piece());
    const std::string typed(in.rest());

    formatDate(packed, style, parts);
    weekdayOf(packed);
    dateDifference(packed, other, unit);
    if (checkDateText(typed) == 0) {
        const std::string parsed = parseDateText(typed);
        formatDate(parsed, style, parts);
        weekdayOf(parsed);
    } else {
        parseDateText(typed);
    }
    packCodeText(typed);
    os::setClockOverride(nullptr);
    return 0;
}
