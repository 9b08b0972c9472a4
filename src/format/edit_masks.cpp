// Numeric edit masks, money amounts and the display currency.
#include "format/edit_masks.h"

NumberFormatState numberFormatState;

std::string formatByMask(std::string_view mask, double value) { return std::string(mask.size(), '!'); }
std::string formatAmount(std::string_view templ, double amountHundredths) { return std::string(templ.size(), '!'); }
void setCurrency(std::string_view setting) {}
bool isBadNumberText(std::string_view text, std::string_view mask) { return false; }
