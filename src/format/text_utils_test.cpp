#include "format/text_utils.h"

#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::cp850;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

// Fixes "today" for the packed-date tests and restores the real clock after.
class FixedYear {
public:
    explicit FixedYear(int year) {
        fixed_.year = year;
        fixed_.month = 6;
        fixed_.day = 15;
        os::setClockOverride(&fixed_);
    }
    ~FixedYear() { os::setClockOverride(nullptr); }

private:
    os::LocalDateTime fixed_;
};

TEST(TextUtils, IsAllChar) {
    struct Case { std::string text; int16_t code; bool expected; };
    const std::vector<Case> cases = {
        {"", ' ', true},
        {"   ", ' ', true},
        {"  x", ' ', false},
        {"x  ", ' ', false},
        {"000", '0', true},
        {"\x85\x85", 0x85, true},
        {"\x85\x85", static_cast<int16_t>(static_cast<signed char>('\x85')), true},
        {"aa", 'A', false},
        {"a", 0x161, false},
    };
    for (const auto& c : cases) EXPECT_EQ(isAllChar(c.text, c.code), c.expected) << "'" << c.text << "' " << c.code;
}

TEST(TextUtils, CenterOffset) {
    EXPECT_EQ(centerOffset("1234567890123", 10), -1);
    EXPECT_EQ(centerOffset("abc", 10), 3);
    EXPECT_EQ(centerOffset("abcd", 10), 3);
    EXPECT_EQ(centerOffset("", 96), 48);
    EXPECT_EQ(centerOffset("abcdefghijklmnop", 1), -7);  // truncated toward zero
    EXPECT_EQ(centerOffset(std::string(70000, 'x'), 0), -32768);
}

TEST(TextUtils, ZeroPad) {
    struct Case { double number; int16_t width; std::string expected; };
    const std::vector<Case> cases = {
        {7, 2, "07"},     {2024, 2, "24"},  {-5, 3, "005"},  {0, 4, "0000"},
        {2024, 4, "2024"}, {12345, 8, "00012345"}, {1, 0, ""}, {1, -3, ""},
        {1e20, 3, "000"},
    };
    for (const auto& c : cases) EXPECT_EQ(zeroPad(c.number, c.width), c.expected) << c.number << " in " << c.width;
}

TEST(TextUtils, PackDigits) {
    struct Case { std::string digits; std::string packed; };
    const std::vector<Case> cases = {
        {"", ""},
        {"20240315", bytes({148, 152, 131, 143})},
        {" 12", packDigits("012")},
        {"1 2", packDigits("102")},
        {"12 ", packDigits("012")},
        {"A1", packDigits("01")},
        {"   ", bytes({128, 128})},
        {"123", bytes({128 + 12, 128 + 30})},
        {"99", bytes({227})},
    };
    for (const auto& c : cases) EXPECT_EQ(packDigits(c.digits), c.packed) << "'" << c.digits << "'";
}

TEST(TextUtils, UnpackDigits) {
    EXPECT_EQ(unpackDigits(bytes({148, 152, 131, 143})), "20240315");
    EXPECT_EQ(unpackDigits(packDigits("123")), "1230");
    EXPECT_EQ(unpackDigits(""), "");
    EXPECT_EQ(unpackDigits(bytes({128})), "00");
    EXPECT_EQ(unpackDigits(bytes({5})), "05");    // top bit already clear
    EXPECT_EQ(unpackDigits(bytes({255})), "27");  // 127: its last two digits
}

TEST(TextUtils, CompactNumbersCompareInNumericOrder) {
    const std::vector<std::string> ascending = {"0000", "0001", "0009", "0010", "0999", "1000", "9999"};
    for (size_t i = 1; i < ascending.size(); ++i)
        EXPECT_LT(packDigits(ascending[i - 1]), packDigits(ascending[i])) << ascending[i];
}

TEST(TextUtils, PackedDateText) {
    FixedYear during(2024);
    struct Case { std::string packed; std::string expected; };
    const std::vector<Case> cases = {
        {packDigits("20240315"), "150324"},
        {packDigits("19000102"), "02011900"},
        {packDigits("19740102"), "020174"},    // 2024 - 50: still near
        {packDigits("19730102"), "02011973"},  // one more year back: far
        {packDigits("20730102"), "020173"},    // 2024 + 49
        {packDigits("20740102"), "02012074"},
        {packDigits("20240000"), ""},
        {bytes({128, 128, 128, 128}), ""},
        {packDigits("240315"), "15030024"},    // a one-byte year is always far
        {packDigits("0315"), "15030000"},
        {"", ""},
        {bytes({128 + 5}), "05000005"},  // one byte: it is also the year
    };
    for (const auto& c : cases) EXPECT_EQ(packedDateText(c.packed), c.expected) << unpackDigits(c.packed);
}

TEST(TextUtils, TextStackIsLastInFirstOut) {
    textUtilsState = TextUtilsState{};
    pushText("A");
    pushText("BC");
    pushText("");
    EXPECT_EQ(textUtilsState.textStack, std::string("A\x01\x00" "BC\x02\x00" "\x00\x00", 9));
    EXPECT_EQ(popText(), "");
    EXPECT_EQ(popText(), "BC");
    EXPECT_EQ(popText(), "A");
    EXPECT_EQ(popText(), "");
    EXPECT_TRUE(textUtilsState.textStack.empty());
}

TEST(TextUtils, TextStackKeepsLongAndBinaryItems) {
    textUtilsState = TextUtilsState{};
    const std::string binary("\x00\x01\xFF,\x02", 5);
    const std::string longer(300, 'z');
    pushText(binary);
    pushText(longer);
    EXPECT_EQ(popText(), longer);
    EXPECT_EQ(popText(), binary);
    // Beyond the 16-bit length word an item is cut instead of corrupting the stack.
    pushText("keep");
    pushText(std::string(40000, 'q'));
    EXPECT_EQ(popText(), std::string(32767, 'q'));
    EXPECT_EQ(popText(), "keep");
}

TEST(TextUtils, PopOfADamagedStackStaysInside) {
    textUtilsState = TextUtilsState{};
    textUtilsState.textStack = "x";
    EXPECT_EQ(popText(), "");
    EXPECT_TRUE(textUtilsState.textStack.empty());
    textUtilsState.textStack = std::string("ab\x10\x00", 4);  // claims 16 bytes, holds 2
    EXPECT_EQ(popText(), "ab");
    EXPECT_TRUE(textUtilsState.textStack.empty());
}

TEST(TextUtils, FoldTextBothTables) {
    struct Case { std::string text; std::string upper; std::string plain; };
    const std::vector<Case> cases = {
        {cp850("Çà#1"), cp850("ÇÀ#1"), "CA#1"},
        {cp850("ª"), cp850("ª"), "A"},
        {"abcxyz", "ABCXYZ", "ABCXYZ"},
        {"@[\\]^_`{|}~", "@[\\]^_`{|}~", "           "},
        {cp850("ñÑüÜéÉ"), cp850("ÑÑÜÜÉÉ"), "NNUUEE"},
        {cp850("ÿø"), cp850("ÿø"), "YO"},
        {cp850("ıß"), cp850("ıß"), "ES"},
        {cp850("µ"), cp850("µ"), " "},
        {std::string("\x00\x1f 09\xEE\xFF", 7), std::string("\x00\x1f 09\xEE\xFF", 7), std::string("\x00\x1f 09\xEE\xFF", 7)},
    };
    for (const auto& c : cases) {
        textUtilsState.foldAccents = false;
        EXPECT_EQ(foldText(c.text), c.upper) << c.text;
        textUtilsState.foldAccents = true;
        EXPECT_EQ(foldText(c.text), c.plain) << c.text;
    }
    textUtilsState.foldAccents = false;
}

TEST(TextUtils, FoldTablesAsAWhole) {
    // The plain table yields only capitals and blanks; the upper table changes
    // exactly 54 codes, and folding is idempotent for both.
    int upperChanges = 0;
    for (int code = 0; code < 256; ++code) {
        const std::string one(1, static_cast<char>(code));
        textUtilsState.foldAccents = true;
        const std::string plain = foldText(one);
        if (code >= 64 && code <= 237) {
            const auto p = static_cast<unsigned char>(plain[0]);
            EXPECT_TRUE(p == ' ' || (p >= 'A' && p <= 'Z')) << code;
        } else {
            EXPECT_EQ(plain, one) << code;
        }
        EXPECT_EQ(foldText(plain), plain) << code;
        textUtilsState.foldAccents = false;
        const std::string upper = foldText(one);
        if (upper != one) ++upperChanges;
        EXPECT_EQ(foldText(upper), upper) << code;
    }
    EXPECT_EQ(upperChanges, 54);
}

}  // namespace
