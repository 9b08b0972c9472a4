// Packed dates: display in the four interface languages, weekday, differences across
// the 1582 calendar change, typed dates and typed codes.
//
// A packed date is the compact number of YYYYMMDD (4 bytes, 128 + two digits each),
// so byte order is time order; the operations below compare packed dates as bytes.
#include "format/dates.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "driver/ini_file.h"
#include "driver/session_settings.h"
#include "format/text_utils.h"
#include "platform/os/os.h"

DateDisplayState dateDisplayState;

namespace {

struct LanguageWords {
    const char* beforeConsonantMonth;
    const char* beforeVowelMonth;
    const char* beforeOtherParts;
    const char* months[12];
};

const LanguageWords kSpanish = {
    " de ", " de ", " de ",
    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
     "octubre", "noviembre", "diciembre"}};

const LanguageWords kGalician = {
    " de ", " de ", " do ",
    {"janeiro", "fevereiro",
     "mar\x87o",  // "março"
     "abril", "maio", "junho", "julho", "agosto", "setembro", "outubro", "novembro", "dezembro"}};

const LanguageWords kAranese = {
    " de ", " d'", " deth ",
    {"g\x8Ar",      // "gèr"
     "hereu\x8Ar",  // "hereuèr"
     "mar\x87",     // "març"
     "abriu", "mai", "junh", "junhsega", "agost", "seteme", "octobre", "noveme", "deseme"}};

const LanguageWords kCatalan = {
    " de ", " d'", " del ",
    {"gener", "febrer",
     "mar\x87",  // "març"
     "abril", "maig", "juny", "juliol", "agost", "setembre", "octubre", "novembre", "desembre"}};

const LanguageWords& wordsOfLanguage() {
    const std::string& code = sessionSettings.languageCode;
    if (code == "SPA") return kSpanish;
    if (code == "GLG") return kGalician;
    if (code == "OCI") return kAranese;
    return kCatalan;
}

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}

void readDateSettings() {
    DateDisplayState& s = dateDisplayState;
    if (s.settingsRead) return;
    const std::string iniFile = os::getEnv("ZELROOT") + "Vesk.ini";
    const std::string separator = getIniValue(iniFile, "Usuari", "DatCaracter");
    s.dateSeparator = separator.empty() ? '/' : separator[0];
    std::string order = getIniValue(iniFile, "Usuari", "DatOrdre");
    if (order.empty()) order = "DMA";
    order.resize(3, ' ');
    s.dateOrder = order;
    s.settingsRead = true;
}

// Value of a run of decimal digit characters (at most 2 here).
int digitsValue(std::string_view digits) {
    int v = 0;
    for (const char c : digits)
        if (c >= '0' && c <= '9') v = v * 10 + (c - '0');
    return v;
}

struct DateParts {
    int year = 0, month = 0, day = 0;
};

// A packed date as the number YYYYMMDD of its digits: a shorter text counts as a
// smaller number (missing bytes on the left are 00), bytes beyond the fourth are
// not part of the date.
std::string normalisedPacked(std::string_view packed) {
    std::string p(packed.substr(0, 4));
    if (p.size() < 4) p.insert(0, 4 - p.size(), '\x80');
    return p;
}

DateParts partsOf(std::string_view normalised) {
    const std::string digits = unpackDigits(normalised);
    DateParts d;
    d.year = digitsValue(std::string_view(digits).substr(0, 4));
    d.month = digitsValue(std::string_view(digits).substr(4, 2));
    d.day = digitsValue(std::string_view(digits).substr(6, 2));
    return d;
}

// From 1582 on the Gregorian rule; before it every fourth year.
bool isLeapYear(long long year) {
    if (year < 1582) return year % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool isGregorianLeapYear(long long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

long long monthLength(long long month, bool leap) {
    if (month == 2) return leap ? 29 : 28;
    return 30 + ((1 + ((month + 1) % 9)) % 2);
}

// What an operator typed in a date field.
struct TypedDate {
    bool readable = true;
    int day = 0, month = 0, year = 0;
    bool yearInFull = false;
};

// A group's value: leading spaces are skipped and the digits up to the next space
// are read; the rest of the group does not count. A value beyond a 16-bit integer
// makes the text unreadable.
bool groupValue(std::string_view group, int& value) {
    size_t j = 0;
    while (j < group.size() && group[j] == ' ') ++j;
    long v = 0;
    for (; j < group.size() && group[j] >= '0' && group[j] <= '9'; ++j) {
        v = v * 10 + (group[j] - '0');
        if (v > INT16_MAX) return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool writtenInFull(std::string_view yearText) {
    const size_t first = yearText.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    const size_t last = yearText.find_last_not_of(' ');
    return last - first + 1 > 3;
}

TypedDate readTypedDate(std::string_view text) {
    TypedDate t;
    int state = 1;
    size_t groupStart = 0;  // the group runs from here to the next separator
    for (size_t j = 0; j < text.size(); ++j) {
        const char c = text[j];
        if (c == ' ' || (c >= '0' && c <= '9')) continue;
        if (c == '.' || c == '/' || c == '-') {
            const std::string_view group = text.substr(groupStart, j - groupStart);
            if (state == 1) {
                if (!groupValue(group, t.day)) t.readable = false;
            } else if (state == 2) {
                if (!groupValue(group, t.month)) t.readable = false;
            } else {
                t.readable = false;
            }
            groupStart = j + 1;
            state = std::min(state + 1, 4);  // 4: too many separators
            continue;
        }
        t.readable = false;
    }
    if (!t.readable) return t;
    std::string_view yearText;
    if (state == 1) {
        // Without separators: DDMMYY or DDMMYYYY by position.
        const size_t n = text.size();
        if (!groupValue(text.substr(0, 2), t.day) || !groupValue(text.substr(std::min<size_t>(2, n), 2), t.month)) {
            t.readable = false;
            return t;
        }
        yearText = text.substr(std::min<size_t>(4, n));
    } else if (state == 3) {
        yearText = text.substr(groupStart);
    } else {
        t.readable = false;
        return t;
    }
    if (!groupValue(yearText, t.year)) {
        t.readable = false;
        return t;
    }
    t.yearInFull = writtenInFull(yearText);
    return t;
}

std::string packedDate(long long year, long long month, long long day) {
    return packDigits(zeroPad(static_cast<double>(year), 4) + zeroPad(static_cast<double>(month), 2) +
                      zeroPad(static_cast<double>(day), 2));
}

// Digits of a code group's value: blanks are passed over, a sign in front is
// dropped, reading stops at anything else. Kept as digits so that a long group
// loses nothing to arithmetic.
std::string codeGroupDigits(std::string_view group) {
    size_t j = 0;
    while (j < group.size() && group[j] == ' ') ++j;
    if (j < group.size() && (group[j] == '-' || group[j] == '+')) ++j;
    std::string digits;
    for (; j < group.size(); ++j) {
        const char c = group[j];
        if (c == ' ') continue;
        if (c < '0' || c > '9') break;
        if (digits == "0") digits.clear();
        digits += c;
    }
    return digits;
}

}  // namespace

std::string formatDate(std::string_view packed, int16_t style, std::string_view parts) {
    readDateSettings();
    const LanguageWords& words = wordsOfLanguage();
    // Styles below -1 have no form of their own; they show as numeric dates.
    const int s = (style < -1) ? 0 : style;

    std::string digits = unpackDigits(packed);
    std::string year = digits.substr(0, 4);
    if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
    const int month = digitsValue(std::string_view(digits).substr(std::min<size_t>(4, digits.size()), 2));
    const int day = digitsValue(std::string_view(digits).substr(std::min<size_t>(6, digits.size()), 2));

    if (s == -1)
        return year + "-" + zeroPad(month, 2) + "-" + zeroPad(day, 2);

    const std::string monthText = std::to_string(month);
    const std::string dayText = std::to_string(day);
    const std::string upperParts = upperText(parts);
    std::string built;
    if (monthText + dayText > "00") {
        for (const char letter : dateDisplayState.dateOrder) {
            if (letter != 'D' && letter != 'M' && letter != 'A') continue;
            if (upperParts.find(letter) == std::string::npos) continue;
            std::string piece;
            const char* connector = words.beforeOtherParts;
            if (letter == 'D') {
                piece = dayText;
            } else if (letter == 'A') {
                piece = year;
            } else {
                // A month outside 1..12 has no name: its number stands instead.
                const bool named = month >= 1 && month <= 12 && s >= 1;
                if (!named) piece = monthText;
                else if (s == 1) piece = std::string(words.months[month - 1]).substr(0, 3);
                else piece = words.months[month - 1];
                const char initial = piece.empty() ? ' ' : upperAscii(piece[0]);
                const bool vowel = named && (initial == 'A' || initial == 'E' || initial == 'I' ||
                                             initial == 'O' || initial == 'U');
                connector = vowel ? words.beforeVowelMonth : words.beforeConsonantMonth;
            }
            if (!built.empty()) {
                if (s >= 2) built += connector;
                else built += dateDisplayState.dateSeparator;
            }
            built += piece;
        }
    }
    if (s >= 2) return built;

    long long width = static_cast<long long>(parts.size()) - 1;
    if (upperParts.find('M') != std::string::npos) width += s + 2;
    if (upperParts.find('A') != std::string::npos) width += 4;
    if (upperParts.find('D') != std::string::npos) width += 2;
    if (width < 0) width = 0;
    built.resize(static_cast<size_t>(width), ' ');
    return built;
}

int16_t weekdayOf(std::string_view packed) {
    const std::string p = normalisedPacked(packed);
    const std::string januaryFirst = p.substr(0, 2) + packDigits("0101");
    const long long n = dateDifference(p, januaryFirst, "D");
    const long long y = partsOf(p).year - 1;
    long long weekday;
    if (p < packDigits("15821005"))
        weekday = (((y + y / 4) % 7) + n + 5) % 7 + 1;
    else
        weekday = (((y + y / 4 - y / 100 + y / 400) % 7) + n) % 7 + 1;
    // Year 0 is the only one that makes y negative.
    if (weekday < 1) weekday += 7;
    return static_cast<int16_t>(weekday);
}

int32_t dateDifference(std::string_view a, std::string_view b, std::string_view unit) {
    const std::string pa = normalisedPacked(a);
    const std::string pb = normalisedPacked(b);
    const bool aFirst = pa <= pb;
    const DateParts start = partsOf(aFirst ? pa : pb);
    const DateParts end = partsOf(aFirst ? pb : pa);
    const std::string u = upperText(unit);
    long long result = 0;
    if (u == "M") {
        result = (static_cast<long long>(end.year) - start.year) * 12 + end.month - start.month;
    } else if (u == "A") {
        result = end.year - start.year;
        if (end.month < start.month || (end.month == start.month && end.day < start.day)) --result;
    } else if (u == "D") {
        for (long long y = start.year + 1; y <= end.year - 1; ++y) result += isLeapYear(y) ? 366 : 365;
        const bool startLeap = isLeapYear(start.year);
        if (end.year > start.year) {
            for (long long m = start.month; m <= 12; ++m) result += monthLength(m, startLeap);
            const bool endLeap = isLeapYear(end.year);
            for (long long m = 1; m <= end.month - 1; ++m) result += monthLength(m, endLeap);
        } else {
            for (long long m = start.month; m <= end.month - 1; ++m) result += monthLength(m, startLeap);
        }
        result += end.day - start.day;
    }
    // Byte order of damaged dates (digits above 99) need not match their numbers;
    // a distance is never negative.
    if (result < 0) result = -result;
    return static_cast<int32_t>(result);
}

int16_t checkDateText(std::string_view text) {
    const TypedDate t = readTypedDate(text);
    if (!t.readable) return -1;
    const os::LocalDateTime now = os::localNow();
    const long long century = now.year / 100;
    long long year = t.year;
    if (year < 100 && !t.yearInFull) {
        year += 100 * century;
        if (year - now.year > 50) year -= 100;
        else if (now.year - year > 50) year += 100;
    }
    // A packed date holds four year digits; a longer year would be stored cut.
    if (year > 9999) return -1;
    const long long ymd = year * 10000 + t.month * 100 + t.day;
    if (ymd >= 15821005 && ymd <= 15821014) return -1;
    if (t.month < 1 || t.month > 12) return -1;
    if (t.day < 1 || t.day > monthLength(t.month, isGregorianLeapYear(year))) return -1;
    return 0;
}

std::string parseDateText(std::string_view text) {
    const TypedDate t = readTypedDate(text);
    if (!t.readable) return packDigits("00000000");
    const os::LocalDateTime now = os::localNow();
    const long long century = now.year / 100;
    long long year = t.year;
    if (t.day > 0 && t.month > 0 && !t.yearInFull) {
        year += 100 * century;
        if (year - now.year > 49) year -= 100;
        else if (now.year - year > 50) year += 100;
    }
    return packedDate(year, t.month, t.day);
}

std::string packCodeText(std::string_view text) {
    size_t dots = 0;
    for (const char c : text)
        if (c == '.') ++dots;
    const bool wideFirst = (text.size() == 6 && dots == 0) || (text.size() == 11 && dots < 2);
    std::string collected;
    size_t start = 0;
    bool first = true;
    while (true) {
        const size_t dot = text.find('.', start);
        const bool last = dot == std::string_view::npos;
        const std::string_view group = text.substr(start, last ? std::string_view::npos : dot - start);
        const bool blank = group.find_first_not_of(' ') == std::string_view::npos;
        if (!(last && blank)) {
            const size_t width = (first && wideFirst) ? 6 : 4;
            std::string digits = codeGroupDigits(group);
            if (digits.size() > width) digits.erase(0, digits.size() - width);
            collected.append(width - digits.size(), '0');
            collected += digits;
        }
        if (last) break;
        start = dot + 1;
        first = false;
    }
    return packDigits(collected);
}
