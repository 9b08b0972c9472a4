#include "report/print_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/session_settings.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::readFile;

class PrintFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (printFileState.file) closePrintFile();
        printFileState = PrintFileState{};
        sessionSettings = SessionSettings{};
        sessionSettings.tempDir = dir.path();
    }
    void TearDown() override {
        if (printFileState.file) closePrintFile();
        printFileState = PrintFileState{};
    }
    std::string contents() {
        closePrintFile();
        return readFile(dir / "zelprint.tmp");
    }
    testsupport::TempDir dir;
};

TEST_F(PrintFileTest, PathIsInTheTemporaryFolder) {
    sessionSettings.tempDir = "C:\\TMP\\";
    EXPECT_EQ(printFilePath(), "C:\\TMP\\zelprint.tmp");
}

TEST_F(PrintFileTest, DeviceLinePageAndPlacedTextsInPrintForm) {
    openPrintFile("LPT1");
    startPrintPage(66);
    printAt(1, "REBUT", 0);
    printAt(107, "COBRAT", 1);
    EXPECT_EQ(contents(), "DEVICELPT1\r\nPAGE 66 \r\n 1 ,REBUT, 0 \r\n 107 ,COBRAT, 1 \r\n");
    EXPECT_FALSE(printFileState.writeFailed);
}

TEST_F(PrintFileTest, NegativeNumbersCarryTheirMinusInPlaceOfTheBlank) {
    openPrintFile("");
    startPrintPage(66);
    printAt(-12, "x", -1);
    EXPECT_EQ(printFileState.linesOnPage, -1);
    startPrintPage(-3);
    EXPECT_EQ(contents(), "DEVICE\r\nPAGE 66 \r\n-12 ,x,-1 \r\nPAGE-3 \r\n");
}

TEST_F(PrintFileTest, OpeningEmptiesAnEarlierFile) {
    testsupport::writeFile(dir / "zelprint.tmp", std::string(5000, 'x'));
    openPrintFile("PANTALLA");
    EXPECT_EQ(contents(), "DEVICEPANTALLA\r\n");
}

TEST_F(PrintFileTest, ControlCharactersInATextBecomeBlanksAndCommasStay) {
    openPrintFile("LPT1");
    startPrintPage(66);
    printAt(5, std::string("a\tb\nc\rd") + '\0' + "e\x7F" "f\xFFg,h,\x80\xB7", 0);
    EXPECT_EQ(contents(), std::string("DEVICELPT1\r\nPAGE 66 \r\n 5 ,a b c d e f g,h,\x80\xB7, 0 \r\n"));
}

TEST_F(PrintFileTest, DirectivesPassUnchanged) {
    openPrintFile("LPT1");
    printControl("@e");
    printControl("q");
    EXPECT_EQ(contents(), "DEVICELPT1\r\n*@e\r\n*q\r\n");
}

TEST_F(PrintFileTest, AFullPageStartsANewOneOfTheSameLength) {
    openPrintFile("LPT1");
    startPrintPage(3);
    printAt(1, "a", 2);
    EXPECT_EQ(printFileState.linesOnPage, 2);
    printAt(1, "b", 0);  // 2 < 3: same page
    printAt(1, "c", 1);
    EXPECT_EQ(printFileState.linesOnPage, 3);
    printAt(1, "d", 2);  // page full: new page first, then the advance counts
    EXPECT_EQ(printFileState.linesOnPage, 2);
    EXPECT_EQ(printFileState.pageLength, 3);
    EXPECT_EQ(contents(),
              "DEVICELPT1\r\nPAGE 3 \r\n 1 ,a, 2 \r\n 1 ,b, 0 \r\n 1 ,c, 1 \r\nPAGE 3 \r\n 1 ,d, 2 \r\n");
}

TEST_F(PrintFileTest, PlacingBeforeAnyPageStartsAPageOfZeroEachTime) {
    openPrintFile("LPT1");
    printAt(1, "a", 0);
    printAt(2, "b", 1);
    EXPECT_EQ(contents(), "DEVICELPT1\r\nPAGE 0 \r\n 1 ,a, 0 \r\nPAGE 0 \r\n 2 ,b, 1 \r\n");
}

TEST_F(PrintFileTest, EachFileStartsWithoutPageState) {
    openPrintFile("LPT1");
    startPrintPage(66);
    printAt(1, "a", 5);
    closePrintFile();
    openPrintFile("LPT2");
    EXPECT_EQ(printFileState.pageLength, 0);
    EXPECT_EQ(printFileState.linesOnPage, 0);
    EXPECT_EQ(contents(), "DEVICELPT2\r\n");
}

TEST_F(PrintFileTest, PrintModeRequestsBecomeJustificationCodes) {
    struct Case {
        std::string request, line, code;
    };
    const std::vector<Case> cases = {
        {"right", "JUSD", "D"},  {"r", "JUSD", "D"},         {"D", "JUSD", "D"},
        {"d", "JUSD", "D"},      {"  Dreta  ", "JUSD", "D"}, {"C", "JUSC", "C"},
        {"centre", "JUSC", "C"}, {"A", "JUSA", "A"},         {"b", "JUSA", "A"},
        {"", "JUSE", "E"},       {"   ", "JUSE", "E"},       {"x", "JUSE", "E"},
        {"E", "JUSE", "E"},      {"N2\\ZZ9\\", "JUSN 2 \\ZZ9\\", "N 2 \\ZZ9\\"},
        {"n-3.7\\Z9\\rest\\", "JUSN 3 \\Z9\\", "N 3 \\Z9\\"},
        {"N12", "JUSN 12 ", "N 12 "},
        {"N\\Z\\", "JUSN 0 \\Z\\", "N 0 \\Z\\"},
    };
    openPrintFile("LPT1");
    std::string expected = "DEVICELPT1\r\n";
    for (const Case& c : cases) {
        std::string request = c.request;
        setPrintMode(request);
        EXPECT_EQ(request, c.code) << "request '" << c.request << "'";
        expected += c.line + "\r\n";
    }
    EXPECT_EQ(contents(), expected);
}

TEST_F(PrintFileTest, AFileThatCannotBeCreatedIsReportedAndNothingBreaks) {
    sessionSettings.tempDir = dir / "no-such-folder/";
    openPrintFile("LPT1");
    EXPECT_TRUE(printFileState.writeFailed);
    startPrintPage(66);
    printAt(1, "a", 1);
    EXPECT_EQ(printFileState.linesOnPage, 1);
    closePrintFile();
    EXPECT_TRUE(printFileState.writeFailed);
}

TEST_F(PrintFileTest, AFullDiskIsReported) {
    // /dev/full accepts the open and fails every write, as a full disk does.
    printFileState.file = std::fopen("/dev/full", "wb");
    ASSERT_NE(printFileState.file, nullptr);
    startPrintPage(66);
    for (int i = 0; i < 100; ++i) printAt(1, std::string(100, 'x'), 1);
    closePrintFile();
    EXPECT_TRUE(printFileState.writeFailed);
}

}  // namespace
