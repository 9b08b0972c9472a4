#include "page_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace zelprint {
namespace {

TEST(JustifyText, EachCodeWithinTheTextsOwnWidth) {
    struct Case {
        const char* text;
        char code;
        const char* expected;
    };
    const Case cases[] = {
        {"AB  ", 'E', "AB  "},       {"AB  ", 'A', "AB  "},     {"AB  ", 'N', "AB  "},
        {"AB  ", 'D', "  AB"},       {"  AB", 'D', "  AB"},     {" 1.234,56 ", 'D', "  1.234,56"},
        {" A B  ", 'D', "   A B"},   {"    ", 'D', "    "},     {"", 'D', ""},
        {"AB    ", 'C', "  AB  "},   {"A    ", 'C', "  A  "},   {"    AB", 'C', "  AB  "},
        {"ABC ", 'C', "ABC "},       {"   ", 'C', "   "},       {"X", 'C', "X"},
    };
    for (const Case& c : cases) EXPECT_EQ(justifyText(c.text, c.code), c.expected) << c.text << " " << c.code;
}

TEST(PageLayout, PlacesAdvancesAndBreaksPages) {
    PageLayout layout;
    layoutStartPage(layout, 2, 1);
    layoutPlaceText(layout, 3, "abc", 2);
    layoutSetJustification(layout, Justification{'D', 0, ""});
    layoutPlaceText(layout, 7, "x  ", 3);
    layoutAdvance(layout, 1, 3);
    layoutPlaceText(layout, 1, "y  ", 4);  // the advance ended the right justification
    layoutAdvance(layout, 1, 4);
    layoutPlaceText(layout, 1, "z", 5);    // the page is full: a new one of 2 lines
    const PrintDocument doc = finishLayout(layout);
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(doc.pages[0].length, 2);
    EXPECT_EQ(doc.pages[0].sourceLine, 1);
    ASSERT_EQ(doc.pages[0].lines.size(), 2u);
    EXPECT_EQ(doc.pages[0].lines[0], "  abc   x");
    EXPECT_EQ(doc.pages[0].lines[1], "y  ");
    EXPECT_EQ(doc.pages[1].length, 2);
    EXPECT_EQ(doc.pages[1].sourceLine, 0);
    EXPECT_EQ(doc.pages[1].lines[0], "z");
    EXPECT_TRUE(doc.notices.empty());
}

TEST(PageLayout, PageLengthIsHeldWithinItsLimits) {
    PageLayout layout;
    layoutStartPage(layout, 100000, 1);
    layoutPlaceText(layout, 1, "a", 2);
    layoutStartPage(layout, -5, 3);
    layoutPlaceText(layout, 1, "b", 4);
    const PrintDocument doc = finishLayout(layout);
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(doc.pages[0].length, maxPageLength);
    EXPECT_EQ(doc.pages[1].length, 1);
}

}  // namespace
}  // namespace zelprint
