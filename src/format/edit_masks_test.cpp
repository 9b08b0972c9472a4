#include "format/edit_masks.h"

#include "driver/session_settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Every test starts with the separators unread and the root folder pointing at an
// empty temporary folder, so the defaults apply unless a test writes Vesk.ini.
class EditMasks : public ::testing::Test {
protected:
    void SetUp() override {
        savedState_ = numberFormatState;
        savedRoot_ = sessionSettings.rootDir;
        numberFormatState = NumberFormatState{};
        sessionSettings.rootDir = root_.path();
        env_.set("ZELROOT", root_.path().c_str());
    }
    void TearDown() override {
        numberFormatState = savedState_;
        sessionSettings.rootDir = savedRoot_;
    }
    void useCurrency(const char* display) {
        numberFormatState.primaryCurrency = "E";
        numberFormatState.displayCurrency = display;
    }

    testsupport::TempDir root_;
    testsupport::ScopedEnv env_;
    NumberFormatState savedState_;
    std::string savedRoot_;
};

struct MaskCase {
    const char* mask;
    double value;
    const char* expected;
};

TEST_F(EditMasks, WorkedExamplesWithDefaultSeparators) {
    const std::vector<MaskCase> cases = {
        {"ZZ,ZZZ,ZZ9", 1234567, " 1.234.567"},
        {"ZZ,ZZZ,ZZ9", 1234, "     1.234"},
        {"ZZ,ZZZ,ZZ9", 5, "         5"},
        {"ZZ,ZZZ,ZZ9", 0, "         0"},
        {"ZZ,ZZZ,ZZ9", -1234, "    -1.234"},
        {"Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9", 1234.5, "                1.234"},
        {"99,999", 5, "00.005"},
        {"**,**9", 123, "***123"},
        {"ZZ9.99", 3.5, "  3'50"},
        {"ZZ9.99", -0.05, "  -'05"},
        {"ZZ9.99-", -5, "  5'00-"},
        {"-ZZ9.99", -5, "-  5'00"},
        {"ZZ9.ZZ", 1.5, "  1'5 "},
        {"ZZ9.ZZ", 1, "  1   "},
        {"ZZZ.ZZ", 0, "      "},
        {"ZZZ.ZZ", 0.001, "   '00"},
        {"9999", -5, "00-5"},
        {"999", -12, "-12"},
        {"99", -12, "!!"},
        {"999", 1234, "!!!"},
        {"99.9", 123.4, "123'"},
        {"Z9", 2.5, " 2"},
        {"Z9", 3.5, " 4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatByMask(c.mask, c.value), c.expected) << c.mask << " " << c.value;
}

TEST_F(EditMasks, SignsRoundingAndFills) {
    const std::vector<MaskCase> cases = {
        // Half to even on the scaled value.
        {"9.99", 0.125, "0'12"},
        {"9.99", 0.375, "0'38"},
        {"Z9", 0.5, " 0"},
        {"Z9", 1.5, " 2"},
        // Sign positions.
        {"+ZZ9", 5, "+  5"},
        {"+ZZ9", -5, "-  5"},
        {"ZZ9-", 5, "  5 "},
        {"ZZ9.99+", 5, "  5'00+"},
        // The fill of a star mask reaches the separators and the point.
        {"***,**9.99", 12.5, "*****12'50"},
        {"***.**", 0, "***'00"},
        // A negative value that rounds to zero still shows its minus.
        {"ZZ9", -0.1, " -0"},
        // Literals stay where they are.
        {"ZZ9 DM", 42, " 42 DM"},
        // A sign at the left end of a fraction mask does not take a digit: the number
        // does not fit and is written out plainly (decimals that do not fit are cut).
        {"-ZZ9.99", -12345, "-12345'"},
        // A minus that finds no place left of the digits makes the field not fit.
        {"$99", -12, "!!!"},
        {".99", -0.05, "!!!"},
        {"9", -3, "!"},
        {"9", -0.4, "!"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatByMask(c.mask, c.value), c.expected) << c.mask << " " << c.value;
}

TEST_F(EditMasks, NonFiniteAndHugeValuesKeepTheWidth) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {nan, inf, -inf}) {
        EXPECT_EQ(formatByMask("ZZ,ZZZ,ZZ9", v), "!!!!!!!!!!");
        EXPECT_EQ(formatByMask("", v), "");
        EXPECT_EQ(formatAmount("ZZ,ZZZ,ZZ9", v), "!!!!!!!!!!");
    }
    EXPECT_EQ(formatByMask("ZZ,ZZZ,ZZ9", 1e300), "!!!!!!!!!!");
    EXPECT_EQ(formatByMask("ZZ,ZZZ,ZZ9", -std::numeric_limits<double>::max()), "!!!!!!!!!!");
    // A mask wide enough shows even the largest double in full.
    const std::string wide(400, '9');
    const std::string shown = formatByMask(wide, 1e300);
    ASSERT_EQ(shown.size(), 400u);
    EXPECT_EQ(shown.substr(0, 99), std::string(99, '0'));
    EXPECT_EQ(shown[99], '1');
    // More decimals than a double can scale to.
    const std::string manyDecimals = "9." + std::string(498, '9');
    const std::string small = formatByMask(manyDecimals, 1);
    ASSERT_EQ(small.size(), 500u);
    EXPECT_EQ(small.substr(0, 3), "1'0");
    EXPECT_EQ(formatByMask(manyDecimals, 0), "0'" + std::string(498, '0'));
}

TEST_F(EditMasks, EveryResultHasTheMasksLength) {
    const std::vector<std::string> masks = {
        "", "9", "Z", "*", ".", ",", "-", "+", "x", ".9", "9.", "Z.Z", "-9", "9-",
        "ZZ,ZZZ,ZZ9", "ZZ9.99", "ZZ9.99-", "-ZZ9.99", "+ZZ,ZZ9.ZZ", "**,**9.99", "99.9.9",
        "-.-.-", ",,,", "Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9.999999", "$ZZ9.99 EUR", "zz9.zz",
        std::string(500, 'Z'), std::string(500, '9') + ".99", "." + std::string(499, 'Z'),
        std::string(250, ',') + std::string(250, '-'),
    };
    const std::vector<double> values = {
        0, -0.0, 0.001, -0.001, 0.5, -0.5, 1, -1, 12.345, -12.345, 999.995, 1234567.89,
        -98765.4321, 1e15, -1e15, 4503599627370496.5, 9.3e18, -9.3e18, 1e300, -1e300,
        std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
    };
    for (const auto& m : masks)
        for (double v : values) {
            EXPECT_EQ(formatByMask(m, v).size(), m.size()) << "mask '" << m << "' value " << v;
            for (const char* currency : {"E", "P"}) {
                useCurrency(currency);
                EXPECT_EQ(formatAmount(m, v).size(), m.size()) << "template '" << m << "' value " << v;
            }
        }
}

TEST_F(EditMasks, RandomMasksAndValuesKeepTheLength) {
    std::mt19937 random(1234);
    const std::string alphabet = "9Zz*.,-+x ";
    for (int n = 0; n < 20000; ++n) {
        std::string mask;
        const int length = std::uniform_int_distribution<int>(0, 30)(random);
        for (int j = 0; j < length; ++j)
            mask += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
        const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-6, 25)(random));
        const double value = (random() % 2 ? -1 : 1) * (random() % 4 == 0 ? std::round(magnitude) : magnitude);
        ASSERT_EQ(formatByMask(mask, value).size(), mask.size()) << "mask '" << mask << "' value " << value;
        useCurrency(random() % 2 ? "P" : "E");
        ASSERT_EQ(formatAmount(mask, value).size(), mask.size()) << "template '" << mask << "' value " << value;
    }
}

struct AmountCase {
    const char* currency;
    const char* templ;
    double amount;
    const char* expected;
};

TEST_F(EditMasks, FormatAmountRebuildsTheMask) {
    const std::vector<AmountCase> cases = {
        {"E", "ZZ,ZZZ,ZZ9", 123456, "  1.234'56"},
        {"E", "ZZ,ZZZ,ZZ9", 0, "      0'00"},
        {"E", "ZZ,ZZZ,ZZZ", 0, "          "},
        {"E", "ZZ,ZZZ,ZZZ", 5, "      0'05"},
        {"E", "ZZ,ZZZ,ZZ9", -123456, " -1.234'56"},
        {"E", "ZZ,ZZZ,ZZ9", 1e12, "!!!!!!!!!!"},
        {"E", "ZZZ9-", -123, "1'23-"},
        {"E", "+ZZZZZ9", 12345, "+123'45"},
        {"E", "**,**9", 5, "**0'05"},
        // Decimals of the template are not copied; two more are added (and cut
        // again when the integer part needs the room).
        {"E", "ZZZ9.9", 12345, "123'45"},
        {"P", "ZZ,ZZZ,ZZ9", 123456, "   205.414"},
        {"P", "ZZ,ZZZ,ZZ9", 0, "         0"},
        {"P", "ZZZ9.99", 100, " 166'39"},
        // No display currency chosen yet counts as the base currency.
        {"", "ZZ,ZZZ,ZZ9", 123456, "  1.234'56"},
    };
    for (const auto& c : cases) {
        numberFormatState.displayCurrency = c.currency;
        EXPECT_EQ(formatAmount(c.templ, c.amount), c.expected)
            << c.currency << " " << c.templ << " " << c.amount;
    }
}

TEST_F(EditMasks, SetCurrencySequences) {
    struct Step {
        const char* setting;
        const char* primary;
        const char* alternate;
        const char* display;
    };
    const std::vector<std::vector<Step>> sequences = {
        {{"a,E", "E", "", "E"}, {"p", "E", "", "E"}, {"", "E", "", "E"}},
        {{"a,E", "E", "", "E"}, {"x,P", "E", "P", "E"}, {"p", "E", "P", "P"}, {"", "E", "P", "E"}},
        {{"A, p ", "P", "", "P"}, {"b,", "P", "P", "P"}, {"Pesetes", "P", "P", "P"}},
        {{"a,", "E", "", "E"}, {"z,d", "E", "D", "E"}, {"P", "E", "D", "D"}, {"q", "E", "D", "E"}},
        {{"p", "", "", ""}, {",", "", "", ""}, {"a,  ", "E", "", "E"}},
    };
    for (size_t s = 0; s < sequences.size(); ++s) {
        numberFormatState = NumberFormatState{};
        for (const auto& step : sequences[s]) {
            setCurrency(step.setting);
            EXPECT_EQ(numberFormatState.primaryCurrency, step.primary) << "sequence " << s << " '" << step.setting << "'";
            EXPECT_EQ(numberFormatState.alternateCurrency, step.alternate) << "sequence " << s << " '" << step.setting << "'";
            EXPECT_EQ(numberFormatState.displayCurrency, step.display) << "sequence " << s << " '" << step.setting << "'";
        }
    }
}

TEST_F(EditMasks, IsBadNumberText) {
    struct Case {
        const char* text;
        const char* mask;
        bool bad;
    };
    const std::vector<Case> cases = {
        {"12 3", "", false}, {"", "", false}, {"   ", "", false}, {"0123456789", "", false},
        {"-12", "", true},   {"1.5", "", true}, {"1a", "", true}, {"+1", "", true},
        {"-12.5", "-ZZ9.99", false}, {"+12", "ZZ9+", false}, {" - 1", "-ZZ9", false},
        {".5", "ZZ9.99", false},     {"1-2", "-ZZ9.99", true}, {"--1", "-ZZ9.99", true},
        {"1.2.3", "-ZZ9.99", true},  {"x-1", "-ZZ9.99", true}, {".-5", "-ZZ9.99", true},
        {"-1", "ZZ9.99", true},      {"12", "ZZ9", false},
        {"1\t2", "", true},          {"\xB7", "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isBadNumberText(c.text, c.mask), c.bad) << "'" << c.text << "' mask '" << c.mask << "'";
    EXPECT_TRUE(isBadNumberText(std::string("1\0", 2), ""));
}

TEST_F(EditMasks, SeparatorsComeFromVeskIniOnce) {
    testsupport::writeFile(root_ / "Vesk.ini", "[Usuari]\r\nDecCaracter=,x\r\nMilCaracter= \r\n");
    EXPECT_EQ(formatByMask("ZZ,ZZ9.99", 1234.5), " 1.234,50");
    EXPECT_EQ(numberFormatState.decimalChar, ',');
    EXPECT_EQ(numberFormatState.thousandsChar, '.');
    // Read once: a later change of the file is not seen in this session.
    testsupport::writeFile(root_ / "Vesk.ini", "[Usuari]\r\nDecCaracter=.\r\nMilCaracter=,\r\n");
    EXPECT_EQ(formatByMask("ZZ,ZZ9.99", 1234.5), " 1.234,50");
}

TEST_F(EditMasks, SeparatorsEachReadWhileStillUnset) {
    testsupport::writeFile(root_ / "Vesk.ini", "[Usuari]\r\nDecCaracter=.\r\nMilCaracter=,\r\n");
    numberFormatState.decimalChar = ':';
    EXPECT_EQ(formatByMask("Z,ZZ9.9", 1234.5), "1,234:5");
    EXPECT_EQ(numberFormatState.thousandsChar, ',');
}

TEST_F(EditMasks, SeparatorDefaultsWithoutFileOrKeys) {
    testsupport::writeFile(root_ / "Vesk.ini", "[Altres]\r\nDecCaracter=,\r\n");
    EXPECT_EQ(formatByMask("Z,ZZ9.9", 1234.5), "1.234'5");
}

}  // namespace
