#include "driver/language_files.h"

#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::cp850;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

class LanguageFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        sessionSettings = SessionSettings{};
        sessionSettings.rootDir = root_.path();
        programDriver = ProgramDriverState{};
        programDriver.moduleName = "RPTREBUT";
        languageFileState = LanguageFileState{};
    }
    void TearDown() override {
        sessionSettings = SessionSettings{};
        programDriver = ProgramDriverState{};
        languageFileState = LanguageFileState{};
    }
    std::string fileName() const { return root_ / "LOCALE/RPTREBUT.LNG"; }
    void languageFile(const std::string& contents) { writeFile(fileName(), contents); }
    std::string in(const char* code, std::string_view text) {
        sessionSettings.languageCode = code;
        return translateText(text);
    }

    TempDir root_;
};

TEST_F(LanguageFilesTest, ChoosesTheItemOfTheLanguage) {
    languageFile("TOTAL,TOTAL GL,TOTAL OC,TOTAL ES\r\nREBUT,RECIBO GL,ARREBUT,RECIBO\r\n");
    struct Case { const char* code; const char* text; std::string expected; };
    const std::vector<Case> cases = {
        {"GLG", "REBUT", "RECIBO GL"},
        {"OCI", "REBUT", "ARREBUT"},
        {"SPA", "REBUT", "RECIBO"},
        {"SPA", "TOTAL", "TOTAL ES"},
        {"CAT", "REBUT", "REBUT"},
        {"   ", "REBUT", "REBUT"},
        {"ES ", "REBUT", "REBUT"},
        {"spa", "REBUT", "REBUT"},
        {"SPA", "rebut", "rebut"},     // letter case counts
        {"SPA", "REBUT ", "REBUT "},   // so does length
        {"SPA", "ABSENT", "ABSENT"},
    };
    for (const auto& c : cases) EXPECT_EQ(in(c.code, c.text), c.expected) << c.code << " " << c.text;
}

TEST_F(LanguageFilesTest, ItemRules) {
    languageFile(cp850("\"PÀGINA\",NO,NO,NO\r\n\"PÀGINA \",\"PÁXINA \",\"PAGÈINA \",\"PÁGINA \"\r\n") +
                 "\"    COBRAT\",\"    COBRADO\",\"   COBRAT\",\"    COBRADO\"\r\n"
                 "\"A, B\",\"A, B gl\",\"A, B oc\",\"A, B es\"\r\n"
                 "TRAIL  ,gl  ,oc  ,es  \r\n"
                 "  LEAD,gl,oc,es\r\n"
                 "TA\tB,g\tl,oc,e\ts\r\n"
                 "MULTI\r\ngl\r\noc,\"\"\r\n"
                 "NEXT,gl,oc,es\r\n");
    struct Case { std::string text; std::string expected; };
    const std::vector<Case> cases = {
        {cp850("PÀGINA "), cp850("PÁGINA ")},
        {cp850("PÀGINA"), "NO"},
        {"    COBRAT", "    COBRADO"},
        {"A, B", "A, B es"},
        {"TRAIL  ", "es  "},
        {"LEAD", "es"},
        {"TAB", "es"},
        {"MULTI", ""},
        {"NEXT", "es"},
    };
    for (const auto& c : cases) EXPECT_EQ(in("SPA", c.text), c.expected) << c.text;
    EXPECT_EQ(in("OCI", cp850("PÀGINA ")), cp850("PAGÈINA "));
    // A comma at a line end is followed by an empty item: the line end ends it.
    languageFile("X,\r\ngl,oc,es\r\n");
    EXPECT_EQ(in("GLG", "X"), "");
    EXPECT_EQ(in("SPA", "X"), "oc");
}

TEST_F(LanguageFilesTest, PageWordNeedsItsTrailingBlank) {
    languageFile(cp850("PÀGINA,PÁXINA,PAGINA,PÁGINA\r\n"));
    EXPECT_EQ(in("SPA", cp850("PÀGINA ")), cp850("PÀGINA "));
    EXPECT_EQ(in("SPA", cp850("PÀGINA")), cp850("PÁGINA"));
}

TEST_F(LanguageFilesTest, FirstRecordWinsAndEmptyItemsTranslateToEmpty) {
    languageFile("A,ga,oa,sa\r\nB,gb,ob,\r\nA,gx,ox,sx\r\nC,gc,oc,sc\r\n");
    EXPECT_EQ(in("SPA", "A"), "sa");
    EXPECT_EQ(in("SPA", "B"), "");
    EXPECT_EQ(in("GLG", "B"), "gb");
    EXPECT_EQ(in("SPA", "C"), "sc");
}

TEST_F(LanguageFilesTest, ShortLastRecordCountsAsMissing) {
    struct Case { std::string contents; std::string expected; };
    const std::vector<Case> cases = {
        {"A,ga,oa,sa\r\nB,gb,ob", "B"},
        {"A,ga,oa,sa\r\nB,gb", "B"},
        {"A,ga,oa,sa\r\nB", "B"},
        {"A,ga,oa,sa\r\nB,gb,ob,", ""},       // the comma promises an empty fourth item
        {"A,ga,oa,sa\r\nB,gb,ob,sb", "sb"},   // no line end after the last item
        {"A,ga,oa,sa\r\nB,gb,ob,sb\r\n\r\n\r\n", "sb"},
        {"A,ga,oa,sa\r\nB,gb,ob,\"sb", "sb"}, // a quote never closed runs to the end
    };
    for (const auto& c : cases) {
        languageFile(c.contents);
        EXPECT_EQ(in("SPA", "B"), c.expected) << c.contents;
        EXPECT_EQ(in("SPA", "A"), "sa") << c.contents;
    }
}

TEST_F(LanguageFilesTest, CatalanTouchesNoFile) {
    EXPECT_EQ(in("CAT", "REBUT"), "REBUT");
    EXPECT_FALSE(testsupport::fileExists(root_ / "LOCALE"));
    EXPECT_EQ(languageFileState.languageFileName, "");
}

TEST_F(LanguageFilesTest, MissingFileIsCreatedEmpty) {
    writeFile(root_ / "LOCALE/other.txt", "");
    EXPECT_EQ(in("   ", "REBUT"), "REBUT");
    ASSERT_TRUE(testsupport::fileExists(fileName()));
    EXPECT_EQ(testsupport::readFile(fileName()), "");
    EXPECT_EQ(languageFileState.languageFileName, "RPTREBUT");
    EXPECT_EQ(in("SPA", "REBUT"), "REBUT");
}

TEST_F(LanguageFilesTest, MissingFolderLeavesCatalan) {
    EXPECT_EQ(in("SPA", "REBUT"), "REBUT");
    EXPECT_FALSE(testsupport::fileExists(root_ / "LOCALE"));
}

TEST_F(LanguageFilesTest, FileNameIsKeptFromTheFirstLookup) {
    languageFile("REBUT,gl,oc,es\r\n");
    writeFile(root_ / "LOCALE/OTHER.LNG", "REBUT,gl2,oc2,es2\r\n");
    EXPECT_EQ(in("SPA", "REBUT"), "es");
    programDriver.moduleName = "OTHER";
    EXPECT_EQ(in("SPA", "REBUT"), "es");
}

TEST_F(LanguageFilesTest, FolderAndFileNamesInAnyCase) {
    writeFile(root_ / "locale/rptrebut.lng", "REBUT,gl,oc,es\r\n");
    EXPECT_EQ(in("SPA", "REBUT"), "es");
}

TEST_F(LanguageFilesTest, DamagedFilesNeitherCrashNorHang) {
    const std::vector<std::string> contents = {
        "",
        "\r\n",
        ",,,",
        "\"",
        std::string("\x00\x01\x02,\xFF\xFE,\x00,\r\n", 11),
        std::string(200000, ','),
        std::string(100000, 'x') + "\r\n",
        "\"" + std::string(100000, 'y'),
        "A\nB\nC\nD\n",
    };
    for (const auto& c : contents) {
        languageFile(c);
        EXPECT_EQ(in("SPA", "REBUT"), "REBUT");
    }
    EXPECT_EQ(in("SPA", "A"), "D");  // lone LF line ends
}

}  // namespace
