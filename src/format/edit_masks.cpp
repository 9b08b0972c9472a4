// Numeric edit masks, money amounts and the display currency.
//
// formatByMask is the one place where a number becomes text: every column of the
// report and every figure of the calculator goes through it, so its result has the
// mask's length whatever the value is (a value that does not fit shows as "!"
// over the whole width).
#include "format/edit_masks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "driver/ini_file.h"
#include "driver/session_settings.h"

NumberFormatState numberFormatState;

namespace {

// The fixed peseta rate. It was always held in single precision, and printed
// peseta columns depend on the exact product, so the float value is kept.
constexpr float kPesetaRate = 166.386f;

bool isDigitPosition(char c) { return c == '9' || c == 'Z' || c == 'z' || c == '*'; }
bool isFractionSlot(char c) { return isDigitPosition(c) || c == '-' || c == '+'; }

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Separators come from Vesk.ini on the first formatting call; a character still at
// code 0 means "not read yet". A NUL read from the file is taken as the default, so
// the file is never read twice.
void readSeparators() {
    NumberFormatState& s = numberFormatState;
    if (s.decimalChar != 0 && s.thousandsChar != 0) return;
    const std::string iniFile = sessionSettings.rootDir + "Vesk.ini";
    auto firstChar = [&](const char* key, char fallback) {
        const std::string v = getIniValue(iniFile, "Usuari", key);
        if (v.empty() || v[0] == ' ' || v[0] == '\0') return fallback;
        return v[0];
    };
    if (s.decimalChar == 0) s.decimalChar = firstChar("DecCaracter", '\'');
    if (s.thousandsChar == 0) s.thousandsChar = firstChar("MilCaracter", '.');
}

std::string printed(const char* format, int precision, double x) {
    const int n = std::snprintf(nullptr, 0, format, precision, x);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, precision, x);
    out.resize(static_cast<size_t>(n));
    return out;
}

// Decimal digits of magnitude x 10^decimals rounded half to even, without leading
// zeros ("" for zero). The product is taken in double precision, as the rounding of
// printed amounts depends on it; only when it overflows (absurdly many decimals) are
// the digits taken from the exact decimal expansion instead.
std::string scaledDigits(double magnitude, long long decimals) {
    const double x = magnitude * std::pow(10.0, static_cast<double>(decimals));
    std::string digits;
    if (std::isfinite(x)) {
        double whole = std::floor(x);
        const double fraction = x - whole;
        if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
        digits = printed("%.*f", 0, whole);
    } else {
        digits = printed("%.*f", static_cast<int>(std::min<long long>(decimals, 100000)), magnitude);
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    }
    const size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? std::string() : digits.substr(first);
}

// The number written out plainly when it does not fit the mask's layout.
std::string overflowText(long long width, std::string digits, long long decimals, bool negative,
                         char decimalChar) {
    long long intLen = static_cast<long long>(digits.size()) - decimals;
    if (width < intLen + (negative ? 1 : 0)) return std::string(static_cast<size_t>(width), '!');
    if (intLen < 0) {
        digits.insert(0, static_cast<size_t>(-intLen), '0');
        intLen = 0;
    }
    std::string text = negative ? "-" : "";
    text += digits.substr(0, static_cast<size_t>(intLen));
    if (decimals > 0) {
        text += decimalChar;
        text += digits.substr(static_cast<size_t>(intLen));
    }
    if (static_cast<long long>(text.size()) < width)
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    text.resize(static_cast<size_t>(width));
    return text;
}

}  // namespace

std::string formatByMask(std::string_view mask, double value) {
    readSeparators();
    const char decimalChar = numberFormatState.decimalChar;
    const char thousandsChar = numberFormatState.thousandsChar;
    const long long L = static_cast<long long>(mask.size());
    if (!std::isfinite(value)) return std::string(mask.size(), '!');

    // Shape of the mask (positions count from 1).
    const bool hasSign = mask.find_first_of("-+") != std::string_view::npos;
    const size_t point = mask.find('.');
    const long long p = point == std::string_view::npos ? 0 : static_cast<long long>(point) + 1;
    long long fracSlots = 0;
    long long decimals = 0;
    if (p > 0 && p < L) {
        for (long long j = p + 1; j <= L; ++j)
            if (isFractionSlot(mask[j - 1])) ++fracSlots;
        if (fracSlots != 0)
            for (long long j = p + 1; j <= L && isDigitPosition(mask[j - 1]); ++j) ++decimals;
    }

    const std::string digits = scaledDigits(std::fabs(value), decimals);
    const bool negative = value < 0;
    const long long n = static_cast<long long>(digits.size());
    auto digitAt = [&](long long k) -> char { return (k >= 1 && k <= n) ? digits[k - 1] : 0; };
    // zeroFrom[k]: digits k..n are all "0" (true beyond the end).
    std::string zeroFrom(static_cast<size_t>(n) + 2, 1);
    for (long long k = n; k >= 1; --k) zeroFrom[k] = zeroFrom[k + 1] && digits[k - 1] == '0';
    auto allZeroFrom = [&](long long k) { return k > n || k < 1 || zeroFrom[k]; };

    std::string out(mask);
    char fillChar = 0;      // 0: no fill remembered
    bool fillZone = false;  // the remembered fill stood where the number had no digit
    bool pastPoint = false; // once the point is passed every position is integer part
    auto inInteger = [&](long long i) { return pastPoint || i < L - fracSlots; };

    // Digit pass, from the right, while digits remain.
    long long k = fracSlots + n - decimals;
    long long i = L;
    for (; i > 0 && k > 0; --i) {
        const char c = mask[i - 1];
        char& o = out[i - 1];
        const char d = digitAt(k);
        switch (c) {
        case '9':
            o = d ? d : '0';
            fillChar = 0;
            fillZone = false;
            --k;
            break;
        case 'Z':
        case 'z':
            if (inInteger(i)) {
                o = d ? d : ' ';
                fillChar = ' ';
                fillZone = !d;
            } else if (fracSlots != 0 && allZeroFrom(k)) {
                // Trailing zero decimals under "Z" are not shown.
                o = ' ';
                fillChar = ' ';
                fillZone = true;
            } else {
                o = d ? d : '0';
                fillChar = ' ';
                fillZone = false;
            }
            --k;
            break;
        case '*':
            o = d ? d : '*';
            fillChar = '*';
            fillZone = !d;
            --k;
            break;
        case '.':
            o = fillZone ? fillChar : decimalChar;
            pastPoint = true;
            break;
        case ',':
            o = thousandsChar;
            break;
        case '-':
        case '+':
            o = negative ? '-' : (c == '+' ? '+' : ' ');
            // A sign right of the point takes a slot of the fraction count.
            if (fracSlots != 0 && !pastPoint) --k;
            break;
        default:
            break;
        }
    }

    bool minusDue = negative && !hasSign;
    if (i == 0 && (k > 0 || minusDue))
        return overflowText(L, digits, decimals, negative, decimalChar);

    // Fill pass over what is left of the mask.
    for (; i > 0; --i) {
        const char c = mask[i - 1];
        char& o = out[i - 1];
        const bool integerPart = inInteger(i);
        const bool placeMinus = minusDue && integerPart &&
                                (c == '9' || c == 'Z' || c == 'z' || c == '*' || c == ',');
        if (placeMinus) {
            o = '-';
            minusDue = false;
            if (c == '9') {
                fillChar = 0;
                fillZone = false;
            } else if (c == '*') {
                fillChar = '*';
                fillZone = true;
            }
            continue;
        }
        switch (c) {
        case '9':
            o = '0';
            fillChar = 0;
            fillZone = false;
            break;
        case 'Z':
        case 'z':
            fillChar = ' ';
            if (integerPart) {
                o = ' ';
                fillZone = true;
            } else if (value != 0) {
                o = '0';
                fillZone = false;
            } else {
                o = ' ';
                fillZone = true;
            }
            break;
        case '*':
            o = integerPart ? '*' : '0';
            fillChar = '*';
            fillZone = integerPart;
            break;
        case ',':
            o = fillChar ? fillChar : thousandsChar;
            break;
        case '.':
            o = fillZone ? fillChar : decimalChar;
            pastPoint = true;
            break;
        case '-':
        case '+':
            o = negative ? '-' : (c == '+' ? '+' : ' ');
            break;
        default:
            break;
        }
    }
    // A negative number whose minus found no place left of its digits would read as
    // positive: show the field as not fitting instead.
    if (minusDue) return std::string(mask.size(), '!');
    return out;
}

std::string formatAmount(std::string_view templ, double amountHundredths) {
    const size_t L = templ.size();
    char fill = 'Z';
    bool units9 = amountHundredths != 0;
    bool grouping = false;
    bool pointSeen = false;
    long long dec = 0;
    int sign = 0;
    for (size_t j = 0; j < L; ++j) {
        const char c = templ[j];
        if (c == 'Z' || c == '*') fill = c;
        if (c == '9' && !pointSeen) units9 = true;
        if (c == ',') grouping = true;
        if (c == '.') {
            ++dec;
            pointSeen = true;
        } else if (c == '9' && pointSeen) {
            ++dec;
        }
        if (c == '-') sign = j == 0 ? -2 : -1;
        if (c == '+') sign = j == 0 ? 2 : 1;
    }

    auto keepRight = [L](std::string& s) {
        if (s.size() > L) s.erase(0, s.size() - L);
    };
    std::string mask(L, fill);
    if (units9 && L > 0) mask[L - 1] = '9';
    if (grouping) {
        for (long long pos = static_cast<long long>(L) - 3; pos >= 1; pos -= 4) {
            mask.insert(static_cast<size_t>(pos), 1, ',');
            keepRight(mask);
        }
    }

    double value = amountHundredths / 100.0;
    if (numberFormatState.displayCurrency == "P") {
        value *= static_cast<double>(kPesetaRate);
    } else {
        dec = dec == 0 ? 3 : dec + 2;
    }
    if (dec > 0) {
        mask += '.';
        // The template cannot ask for more decimals than it has positions.
        const long long copies = std::min<long long>(dec - 1, static_cast<long long>(L));
        mask.append(static_cast<size_t>(copies), units9 ? '9' : 'Z');
        keepRight(mask);
    }
    if (sign == 1 || sign == -1) {
        mask += sign == 1 ? '+' : '-';
        keepRight(mask);
    } else if ((sign == 2 || sign == -2) && L > 0) {
        mask[0] = sign == 2 ? '+' : '-';
    }
    return formatByMask(mask, value);
}

void setCurrency(std::string_view setting) {
    NumberFormatState& s = numberFormatState;
    const char first = setting.empty() ? '\0' : upperAscii(setting[0]);
    const size_t comma = setting.find(',');
    if (comma != std::string_view::npos) {
        std::string_view rest = setting.substr(comma + 1);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
        const std::string letter = rest.empty() ? std::string() : std::string(1, upperAscii(rest[0]));
        if (first == 'A') {
            s.primaryCurrency = letter.empty() ? "E" : letter;
            s.displayCurrency = s.primaryCurrency;
        } else {
            s.alternateCurrency = letter.empty() ? s.primaryCurrency : letter;
        }
        return;
    }
    if (first == 'P')
        s.displayCurrency = s.alternateCurrency.empty() ? s.primaryCurrency : s.alternateCurrency;
    else
        s.displayCurrency = s.primaryCurrency;
}

bool isBadNumberText(std::string_view text, std::string_view mask) {
    bool signAllowed = mask.find_first_of("-+") != std::string_view::npos;
    bool pointAllowed = mask.find('.') != std::string_view::npos;
    for (const char c : text) {
        if (c == '+' || c == '-') {
            if (!signAllowed) return true;
            signAllowed = false;
        } else if (c == '.') {
            if (!pointAllowed) return true;
            pointAllowed = false;
            signAllowed = false;
        } else if (c >= '0' && c <= '9') {
            signAllowed = false;
        } else if (c != ' ') {
            return true;
        }
    }
    return false;
}
