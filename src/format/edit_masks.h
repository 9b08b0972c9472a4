// Numeric edit masks, money amounts and the display currency.
#pragma once

#include <string>
#include <string_view>

struct NumberFormatState {
    // Code 0 = not read yet from Vesk.ini (read on the first formatting call).
    char decimalChar = 0;
    char thousandsChar = 0;
    std::string primaryCurrency;
    std::string alternateCurrency;
    std::string displayCurrency;
};
extern NumberFormatState numberFormatState;

// Result has exactly the mask's length, whatever the value (non-finite included).
std::string formatByMask(std::string_view mask, double value);
// Amount in hundredths laid into a mask rebuilt from the template; template's length.
std::string formatAmount(std::string_view templ, double amountHundredths);
void setCurrency(std::string_view setting);
// True when the typed text is not acceptable for the mask.
bool isBadNumberText(std::string_view text, std::string_view mask);
