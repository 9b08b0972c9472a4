// Edit masks and amounts with any mask and any value (NaN and the infinities
// included), and typed numbers checked against any mask.
#include "driver/session_settings.h"
#include "format/edit_masks.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::InputReader in(data, size);
    sessionSettings = SessionSettings{};
    numberFormatState = NumberFormatState{};
    const uint8_t settings = in.byte();
    // The decimal and thousands characters as the settings file may give them.
    numberFormatState.decimalChar = (settings & 1) ? '.' : ',';
    numberFormatState.thousandsChar = (settings & 1) ? ',' : '.';
    if (settings & 2) {
        numberFormatState.decimalChar = static_cast<char>(in.byte());
        numberFormatState.thousandsChar = static_cast<char>(in.byte());
    }
    numberFormatState.primaryCurrency = "EUR";
    numberFormatState.alternateCurrency = "PTA";
    numberFormatState.displayCurrency = (settings & 4) ? "PTA" : "EUR";
    if (settings & 8) setCurrency(in.piece());

    const double value = in.number();
    const std::string mask(in.piece());
    const std::string typed(in.rest());

    FUZZ_CHECK(formatByMask(mask, value).size() == mask.size());
    FUZZ_CHECK(formatAmount(mask, value).size() == mask.size());
    isBadNumberText(typed, mask);
    return 0;
}
