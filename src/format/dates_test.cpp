#include "format/dates.h"

#include "driver/session_settings.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using testsupport::cp850;

namespace {

std::string packed(const char* yyyymmdd) { return packDigits(yyyymmdd); }
const std::string kEmptyDate(4, '\x80');

// Every test runs in 2025 (unless it fixes another year), with the display settings
// unread and ZELROOT naming an empty temporary folder.
class Dates : public ::testing::Test {
protected:
    void SetUp() override {
        savedState_ = dateDisplayState;
        savedLanguage_ = sessionSettings.languageCode;
        dateDisplayState = DateDisplayState{};
        sessionSettings.languageCode = "CAT";
        env_.set("ZELROOT", root_.path().c_str());
        setYear(2025);
    }
    void TearDown() override {
        os::setClockOverride(nullptr);
        dateDisplayState = savedState_;
        sessionSettings.languageCode = savedLanguage_;
    }
    void setYear(int year) {
        os::LocalDateTime today;
        today.year = year;
        today.month = 6;
        today.day = 15;
        os::setClockOverride(&today);
    }

    testsupport::TempDir root_;
    testsupport::ScopedEnv env_;
    DateDisplayState savedState_;
    std::string savedLanguage_;
};

struct FormatCase {
    const char* language;
    const char* date;
    int16_t style;
    const char* parts;
    std::string expected;
};

TEST_F(Dates, FormatDateInFourLanguages) {
    const std::vector<FormatCase> cases = {
        {"CAT", "20240115", 0, "dma", "15/1/2024 "},
        {"CAT", "20240115", 1, "dma", "15/gen/2024"},
        {"CAT", "20240115", -1, "dma", "2024-01-15"},
        {"CAT", "20240115", 2, "dma", "15 de gener del 2024"},
        {"SPA", "20240115", 2, "dma", "15 de enero de 2024"},
        {"GLG", "20240115", 2, "dma", "15 de janeiro do 2024"},
        {"OCI", "20240115", 2, "dma", cp850("15 de gèr deth 2024")},
        {"CAT", "20240403", 2, "dma", "3 d'abril del 2024"},
        {"OCI", "20240403", 2, "dma", "3 d'abriu deth 2024"},
        {"SPA", "20240403", 2, "dma", "3 de abril de 2024"},
        {"GLG", "20240403", 2, "dma", "3 de abril do 2024"},
        {"CAT", "20241008", 2, "DMA", "8 d'octubre del 2024"},
        {"CAT", "20240301", 2, "dma", cp850("1 de març del 2024")},
        {"GLG", "20240301", 3, "dma", cp850("1 de março do 2024")},
        {"OCI", "20240201", 2, "dma", cp850("1 de hereuèr deth 2024")},
        {"OCI", "20240115", 1, "dma", cp850("15/gèr/2024")},
        {"SPA", "20240915", 1, "dma", "15/sep/2024"},
        {"SPA", "20240915", 2, "dma", "15 de septiembre de 2024"},
        {"CAT", "20240115", 0, "ma", "1/2024 "},
        {"CAT", "20240115", 1, "m", "gen"},
        {"CAT", "20240115", 2, "m", "gener"},
        {"CAT", "20240115", 2, "ma", "gener del 2024"},
        {"CAT", "20240115", 0, "a", "2024"},
        {"CAT", "20240115", 0, "", ""},
        {"CAT", "00000000", 0, "dma", "          "},
        {"CAT", "00000000", 2, "dma", ""},
        {"CAT", "00000000", -1, "dma", "0000-00-00"},
        {"XYZ", "20240115", 2, "dma", "15 de gener del 2024"},
        {"", "20240115", 2, "dma", "15 de gener del 2024"},
        // A month outside 1..12 has no name: its number stands in.
        {"CAT", "20241315", 2, "dma", "15 de 13 del 2024"},
        {"CAT", "20240015", 1, "dma", "15/0/2024  "},
        // Styles below -1 show as numeric dates.
        {"CAT", "20240115", -7, "dma", "15/1/2024 "},
    };
    for (const auto& c : cases) {
        sessionSettings.languageCode = c.language;
        EXPECT_EQ(formatDate(packed(c.date), c.style, c.parts), c.expected)
            << c.language << " " << c.date << " style " << c.style << " parts " << c.parts;
    }
}

TEST_F(Dates, DateOrderAndSeparatorSettings) {
    dateDisplayState.settingsRead = true;
    dateDisplayState.dateOrder = "AMD";
    EXPECT_EQ(formatDate(packed("20240115"), 0, "dma"), "2024/1/15 ");
    EXPECT_EQ(formatDate(packed("20240115"), 2, "dma"), "2024 de gener del 15");
    // Lower-case letters in the order are not parts.
    dateDisplayState.dateOrder = "dma";
    EXPECT_EQ(formatDate(packed("20240115"), 0, "dma"), "          ");
}

TEST_F(Dates, SettingsComeFromVeskIniOnce) {
    testsupport::writeFile(root_ / "Vesk.ini", "[Usuari]\r\nDatCaracter=-x\r\nDatOrdre=AMDD\r\n");
    EXPECT_EQ(formatDate(packed("20240115"), 0, "dma"), "2024-1-15 ");
    EXPECT_TRUE(dateDisplayState.settingsRead);
    EXPECT_EQ(dateDisplayState.dateSeparator, '-');
    EXPECT_EQ(dateDisplayState.dateOrder, "AMD");
    testsupport::writeFile(root_ / "Vesk.ini", "[Usuari]\r\nDatCaracter=.\r\nDatOrdre=DMA\r\n");
    EXPECT_EQ(formatDate(packed("20240115"), 0, "dma"), "2024-1-15 ");
}

TEST_F(Dates, ShortOrderIsFilledAndMissingFileGivesDefaults) {
    testsupport::writeFile(root_ / "Vesk.ini", "[Usuari]\r\nDatOrdre=AM\r\n");
    EXPECT_EQ(formatDate(packed("20240115"), 0, "dma"), "2024/1    ");
    EXPECT_EQ(dateDisplayState.dateOrder, "AM ");

    dateDisplayState = DateDisplayState{};
    testsupport::ScopedEnv elsewhere{{"ZELROOT", (root_ / "missing/").c_str()}};
    EXPECT_EQ(formatDate(packed("20240115"), 0, "dma"), "15/1/2024 ");
    EXPECT_EQ(dateDisplayState.dateSeparator, '/');
    EXPECT_EQ(dateDisplayState.dateOrder, "DMA");
}

TEST_F(Dates, WeekdayAroundTheCalendarChange) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"20240101", 1}, {"20251211", 4}, {"20000229", 2}, {"19000101", 1},
        {"15821004", 4}, {"15821015", 5}, {"15820101", 1}, {"00010101", 6},
    };
    for (const auto& [date, weekday] : cases) EXPECT_EQ(weekdayOf(packed(date)), weekday) << date;
}

TEST_F(Dates, WeekdayAdvancesOneADayAcrossYears) {
    // From 1 September 1582 to the end of 1600, skipping the ten dropped days,
    // each day is the weekday after the one before.
    int previous = weekdayOf(packed("15820901"));
    for (int year = 1582; year <= 1600; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= 31; ++day) {
                const std::string text = zeroPad(year, 4) + zeroPad(month, 2) + zeroPad(day, 2);
                if (text <= "15820901" || (text >= "15821005" && text <= "15821014")) continue;
                if (checkDateText(zeroPad(day, 2) + zeroPad(month, 2) + zeroPad(year, 4)) != 0) continue;
                const int weekday = weekdayOf(packDigits(text));
                ASSERT_EQ(weekday, previous % 7 + 1) << text;
                previous = weekday;
            }
}

TEST_F(Dates, GregorianDatesAgreeWithTheStandardCalendar) {
    // After the reform the weekday and the distance in days must match the
    // proleptic Gregorian calendar of the standard library.
    using namespace std::chrono;
    std::mt19937 random(20240115);
    const sys_days base{year_month_day{year{1583}, month{1}, day{1}}};
    const int last = static_cast<int>((sys_days{year_month_day{year{9999}, month{12}, day{31}}} - base).count());
    for (int n = 0; n < 4000; ++n) {
        const int offset = std::uniform_int_distribution<int>(0, last)(random);
        const year_month_day d{base + days{offset}};
        const std::string text = zeroPad(int(d.year()), 4) + zeroPad(unsigned(d.month()), 2) + zeroPad(unsigned(d.day()), 2);
        ASSERT_EQ(weekdayOf(packDigits(text)), int(weekday{sys_days{d}}.iso_encoding())) << text;
        ASSERT_EQ(dateDifference(packDigits("15830101"), packDigits(text), "D"), offset) << text;
        ASSERT_EQ(dateDifference(packDigits(text), packDigits("15830101"), "d"), offset) << text;
    }
}

TEST_F(Dates, DateDifference) {
    struct Case {
        const char* a;
        const char* b;
        const char* unit;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {"20240101", "20240301", "D", 60}, {"20240101", "20240301", "M", 2}, {"20240101", "20240301", "A", 0},
        {"20240301", "20240101", "d", 60}, {"20240301", "20240101", "m", 2}, {"20240301", "20240101", "a", 0},
        {"20230301", "20240229", "A", 0},  {"20230301", "20240229", "M", 11},
        {"20230301", "20240301", "A", 1},  {"20230301", "20240301", "D", 366},
        {"20231231", "20240101", "D", 1},  {"20000101", "20250101", "D", 9132},
        {"19000101", "19010101", "D", 365}, {"15000101", "15010101", "D", 366},
        {"15821004", "15821015", "D", 11}, {"20240115", "20240115", "D", 0},
        {"20240101", "20240301", "X", 0},  {"20240101", "20240301", "", 0}, {"20240101", "20240301", "DD", 0},
        {"00000000", "99991231", "A", 9999},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dateDifference(packed(c.a), packed(c.b), c.unit), c.expected) << c.a << " " << c.b << " " << c.unit;
    EXPECT_GT(dateDifference(packed("00000000"), packed("99991231"), "D"), 3600000);
}

struct TypedCase {
    const char* text;
    int16_t check;
    const char* packedAs;  // "00000000" when unreadable
};

TEST_F(Dates, TypedDatesIn2025) {
    const std::vector<TypedCase> cases = {
        {"15/1/24", 0, "20240115"},
        {"15-1-24", 0, "20240115"},
        {"150124", 0, "20240115"},
        {"15.01.2024", 0, "20240115"},
        {"15012024", 0, "20240115"},
        {"1/2/75", 0, "19750201"},   // the check allows 50 years ahead, the packing 49
        {"1/2/74", 0, "20740201"},
        {"1/2/76", 0, "19760201"},
        {"1/2/0", 0, "20000201"},
        {"1/2/123", 0, "20230201"},  // not written in full: placed in the window
        {" 5/ 3/2024", 0, "20240305"},
        {"5 / 3 / 2024 ", 0, "20240305"},
        {"1 5/3/2024", 0, "20240301"},  // digits left of the first inner space
        {"15 124", 0, "20240115"},
        {"29/02/2023", -1, "20230229"},
        {"31/04/2024", -1, "20240431"},
        {"29/02/2024", 0, "20240229"},
        {"29/2/1900", -1, "19000229"},
        {"29/2/2000", 0, "20000229"},
        {"10/10/1582", -1, "15821010"},
        {"5/10/1582", -1, "15821005"},
        {"14/10/1582", -1, "15821014"},
        {"4/10/1582", 0, "15821004"},
        {"15/10/1582", 0, "15821015"},
        {"0/1/2024", -1, "20240100"},
        {"1/13/2024", -1, "20241301"},
        {"1/0/24", -1, "00240001"},  // no window without day and month
        {"1/1/9999", 0, "99990101"},
        {"1/1/32767", -1, "27670101"},  // a year a packed date cannot hold
        {"15/1", -1, "00000000"},
        {"1/2/3/4", -1, "00000000"},
        {"1a/2/2024", -1, "00000000"},
        {"15/1/2O24", -1, "00000000"},
        {"", -1, "00000000"},
        {"   ", -1, "00000000"},
        {"1/1/32768", -1, "00000000"},
        {"99999/1/2024", -1, "00000000"},
        {"1/70000/2024", -1, "00000000"},
        {"1/1/000000000000002024", 0, "20240101"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkDateText(c.text), c.check) << "'" << c.text << "'";
        EXPECT_EQ(parseDateText(c.text), packed(c.packedAs)) << "'" << c.text << "'";
    }
    EXPECT_EQ(parseDateText("nonsense"), kEmptyDate);
}

TEST_F(Dates, TwoDigitYearWindowFollowsToday) {
    // 29 February 00 is a date only when the year is placed in 2000, not in 2100.
    setYear(2050);
    EXPECT_EQ(checkDateText("29/2/00"), 0);
    EXPECT_EQ(parseDateText("1/1/00"), packed("20000101"));
    setYear(2051);
    EXPECT_EQ(checkDateText("29/2/00"), -1);
    EXPECT_EQ(parseDateText("1/1/00"), packed("21000101"));
    setYear(1999);
    EXPECT_EQ(parseDateText("1/1/48"), packed("20480101"));
    EXPECT_EQ(parseDateText("1/1/49"), packed("19490101"));
}

TEST_F(Dates, PackCodeText) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"01", "0001"},
        {"0", "0000"},
        {"123456", "123456"},
        {"12.34", "00120034"},
        {"0123456", "3456"},
        {"123456.7890", "1234567890"},  // 11 characters with one point: wide first group
        {"1234567.890", "2345670890"},
        {"12.", "0012"},
        {"12. ", "0012"},
        {"1..2", "000100000002"},
        {"1. .2", "000100000002"},
        {".5", "00000005"},
        {"-12", "0012"},
        {"0 12", "0012"},
        {"0  7", "0007"},
        {"0-3", "0000"},
        {"1234567890123", "0123"},
        {"99999999999999999999999999999", "9999"},
        {"0abc", "0000"},
    };
    for (const auto& [text, digits] : cases)
        EXPECT_EQ(packCodeText(text), packDigits(digits)) << "'" << text << "'";
    EXPECT_EQ(packCodeText("01").size(), 2u);
    EXPECT_EQ(packCodeText("123456").size(), 3u);
    EXPECT_EQ(packCodeText(""), "");
}

TEST_F(Dates, RandomTypedTextsStayBounded) {
    std::mt19937 random(7);
    const std::string alphabet = " 0123456789./-x";
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        const int length = std::uniform_int_distribution<int>(0, 14)(random);
        for (int j = 0; j < length; ++j)
            text += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
        const int16_t check = checkDateText(text);
        ASSERT_TRUE(check == 0 || check == -1) << text;
        const std::string date = parseDateText(text);
        ASSERT_EQ(date.size(), 4u) << text;
        if (check == 0) {
            // An accepted date packs to a real date that shows again as text.
            EXPECT_NE(date, kEmptyDate) << text;
            EXPECT_EQ(checkDateText(formatDate(date, 0, "dma")), 0) << text;
        }
        EXPECT_LE(packCodeText(text).size(), text.size() * 2 + 4) << text;
    }
}

TEST_F(Dates, OddInputsStayBounded) {
    std::vector<std::string> texts = {
        std::string("\0\0\0", 3), "\xFF\xFE\x80", std::string(100000, '9'), std::string(100000, '.'),
        std::string(100000, '/'), std::string(100000, ' '), "1/1/" + std::string(50000, '0') + "1",
        "//", "..", "-", ".", "/1/2024", "1//2024", "32767/32767/32767",
    };
    std::string binary;
    for (int b = 0; b < 256; ++b) binary += static_cast<char>(b);
    texts.push_back(binary);
    for (const auto& t : texts) {
        const int16_t check = checkDateText(t);
        EXPECT_TRUE(check == 0 || check == -1);
        EXPECT_EQ(parseDateText(t).size(), 4u);
        const std::string code = packCodeText(t);
        EXPECT_LE(code.size(), t.size() * 2 + 4);
    }
    EXPECT_EQ(packCodeText(std::string(100000, '.')).size(), 100000u * 2);

    std::vector<std::string> packedDates = {"", "\x80", "\xFF", "\x94\x98", "\xFF\xFF\xFF\xFF", "\x80\x80\x80\x80",
                                            std::string(4, '\0'), "\x94\x98\x81\x8F\x99\x99", "\xE3\xE3\xE3\xE3"};
    for (const auto& p : packedDates) {
        const int16_t weekday = weekdayOf(p);
        EXPECT_GE(weekday, 1);
        EXPECT_LE(weekday, 7);
        for (const char* unit : {"D", "M", "A"}) {
            EXPECT_GE(dateDifference(p, packed("20240101"), unit), 0);
            EXPECT_GE(dateDifference(packed("00000000"), p, unit), 0);
        }
        for (int style : {INT16_MIN, -2, -1, 0, 1, 2, INT16_MAX}) {
            const std::string shown = formatDate(p, static_cast<int16_t>(style), "dma");
            if (style == 0 || style == 1) {
                EXPECT_EQ(shown.size(), 10u + style);
            }
            EXPECT_LE(shown.size(), 40u);
        }
    }
    EXPECT_EQ(formatDate(packed("20240115"), 0, std::string(500, 'x')).size(), 499u);
    EXPECT_EQ(formatDate(packed("20240115"), INT16_MAX, "m"), "gener");
}

}  // namespace
