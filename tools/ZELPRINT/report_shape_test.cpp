// The report's own print-file writer feeding the print program: the two sides must
// agree on every command.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/session_settings.h"
#include "print_file_reader.h"
#include "report/print_file.h"
#include "tests/support/test_support.h"
#include "text_output.h"

namespace zelprint {
namespace {

using testsupport::cp850;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

TEST(ReportShape, HeadingDetailLinesAndTotalsOnTheirPages) {
    testsupport::TempDir dir;
    sessionSettings = SessionSettings{};
    sessionSettings.tempDir = dir.path();
    printFileState = PrintFileState{};

    int page = 0;
    auto heading = [&]() {
        ++page;
        startPrintPage(66);
        printControl("@e");
        printAt(1, cp850("FINQUES PROVA, S.L."), 0);
        std::string mode = "D";
        setPrintMode(mode);
        std::string number = std::to_string(page);
        printAt(85, cp850("PÀGINA ") + std::string(4 - number.size(), ' ') + number, 2);
        const std::string title = cp850("RELACIÓ DE REBUTS DE VERTICAL EMESOS ENTRE 01/01/25 I 31/12/25");
        printAt(static_cast<int16_t>((96 - title.size()) / 2), title, 1);
        printAt(25, "CORRESPONENTS A LA FINCA 012 - C. MALLORCA, 245", 2);
        printControl("q");
        printAt(1, "REBUT", 0);
        printAt(36, "TITULAR", 0);
        setPrintMode(mode);
        printAt(107, "    COBRAT", 0);
        printAt(126, "   PENDENT", 1);
        printAt(1, std::string(135, '-'), 1);
    };
    openPrintFile("PANTALLA");
    for (int i = 1; i <= 54; ++i) {
        if (page == 0 || printFileState.linesOnPage > 60) heading();
        printAt(1, "012" + std::to_string(100 + i) + "V01", 0);
        printAt(36, cp850("GARCIA ÑÚÑEZ, JOSÉ") + "            ", 0);
        std::string mode = "D";
        setPrintMode(mode);
        printAt(i % 2 ? 107 : 126, "1.234,56  ", 1);  // trailing blanks: moved in front
    }
    printAt(107, std::string(29, '-'), 1);
    if (printFileState.linesOnPage > 59) heading();
    printAt(74, "TOTAL", 0);
    printAt(107, "    33.333,12", 1);
    closePrintFile();
    ASSERT_FALSE(printFileState.writeFailed);

    PrintDocument doc;
    std::string error;
    ASSERT_TRUE(loadPrintFile(printFilePath(), doc, error)) << error;
    EXPECT_TRUE(doc.notices.empty());
    EXPECT_EQ(doc.device, "PANTALLA");
    EXPECT_EQ(doc.printerResets, 2);
    EXPECT_EQ(doc.condensedSelects, 2);
    ASSERT_EQ(doc.pages.size(), 2u);

    const std::string text = renderText(doc);
    const std::size_t feed = text.find('\f');
    ASSERT_NE(feed, std::string::npos);
    const std::vector<std::string> first = linesOf(text.substr(0, feed));
    const std::vector<std::string> second = linesOf(text.substr(feed + 1));
    ASSERT_EQ(first.size(), 62u);  // 7 heading lines, 54 receipts, the rule of the totals
    EXPECT_EQ(first[0], "FINQUES PROVA, S.L." + std::string(65, ' ') + "PÀGINA    1");
    EXPECT_EQ(first[2], std::string(16, ' ') + "RELACIÓ DE REBUTS DE VERTICAL EMESOS ENTRE 01/01/25 I 31/12/25");
    EXPECT_EQ(first[5].substr(106), "    COBRAT            PENDENT");
    EXPECT_EQ(first[7], "012101V01" + std::string(26, ' ') + "GARCIA ÑÚÑEZ, JOSÉ" + std::string(55, ' ') + "1.234,56");
    // Ends at column 135; Ñ, Ú, Ñ and É take two bytes each in UTF-8.
    EXPECT_EQ(first[8].size(), 135u + 4);
    EXPECT_EQ(first[8].substr(first[8].size() - 10), "  1.234,56");
    EXPECT_EQ(first[61], std::string(106, ' ') + std::string(29, '-'));
    ASSERT_EQ(second.size(), 8u);
    EXPECT_EQ(second[0].substr(84), "PÀGINA    2");
    EXPECT_EQ(second[7], std::string(73, ' ') + "TOTAL" + std::string(28, ' ') + "    33.333,12");
}

}  // namespace
}  // namespace zelprint
