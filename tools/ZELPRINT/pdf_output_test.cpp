#include "pdf_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "print_file_reader.h"
#include "tests/support/test_support.h"

namespace zelprint {
namespace {

using testsupport::cp850;

// Standard output of a command line (the tools of poppler).
std::string commandOutput(const std::string& command) {
    std::string out;
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    ::pclose(p);
    return out;
}

std::string pdfField(const std::string& info, const std::string& field) {
    std::istringstream in(info);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) {
            const std::size_t value = line.find_first_not_of(' ', field.size() + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
    return {};
}

class PdfOutputTest : public ::testing::Test {
protected:
    std::string writePdf(const std::string& printFileText) {
        const PrintDocument doc = readPrintFile(printFileText);
        std::string pdf, error;
        EXPECT_TRUE(renderPdf(doc, pdf, error)) << error;
        testsupport::writeFile(dir / "out.pdf", pdf);
        return dir / "out.pdf";
    }
    testsupport::TempDir dir;
};

TEST_F(PdfOutputTest, LandscapeA4PagesWithTheTextOfTheReport) {
    std::string file = "DEVICEx.pdf\r\n";
    for (int page = 1; page <= 3; ++page) {
        file += "PAGE 66 \r\n*@e\r\n 1 ,FINQUES PROVA, 0 \r\nJUSD\r\n 85 ," + cp850("PÀGINA") + "    " +
                std::to_string(page) + ", 2 \r\n";
        file += " 10 ," + cp850("RELACIÓ DE REBUTS DE VERTICAL EMESOS ENTRE 01/01/25 I 31/12/25") + ", 1 \r\n";
        file += "*q\r\n 1 ," + std::string(135, '-') + ", 1 \r\n";
        file += " 1 ," + cp850("012305V07         1r 2a     GARCIA ÑÚÑEZ, JOSÉ") + ", 0 \r\n 126 ,  1.234,56, 1 \r\n";
    }
    const std::string pdf = writePdf(file);
    const std::string info = commandOutput("pdfinfo '" + pdf + "' 2>&1");
    EXPECT_EQ(pdfField(info, "Pages"), "3") << info;
    const std::string size = pdfField(info, "Page size");
    EXPECT_NE(size.find("841.89 x 595.28"), std::string::npos) << size;  // width before height: landscape
    EXPECT_NE(size.find("A4"), std::string::npos) << size;

    const std::string page2 = commandOutput("pdftotext -layout -f 2 -l 2 '" + pdf + "' - 2>&1");
    // pdftotext -layout approximates the blanks between words.
    EXPECT_TRUE(std::regex_search(page2, std::regex("PÀGINA +2\n"))) << page2;
    EXPECT_NE(page2.find("RELACIÓ DE REBUTS DE VERTICAL EMESOS ENTRE 01/01/25 I 31/12/25"), std::string::npos)
        << page2;
    EXPECT_NE(page2.find("GARCIA ÑÚÑEZ, JOSÉ"), std::string::npos) << page2;
    EXPECT_NE(page2.find("1.234,56"), std::string::npos) << page2;
    EXPECT_FALSE(std::regex_search(page2, std::regex("PÀGINA +1"))) << page2;
}

// Words of a page with their boxes, as pdftotext -bbox reports them.
struct Word {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::string text;
};
std::vector<Word> wordsOf(const std::string& pdf) {
    std::vector<Word> words;
    const std::string html = commandOutput("pdftotext -bbox '" + pdf + "' - 2>&1");
    std::size_t at = 0;
    while ((at = html.find("<word ", at)) != std::string::npos) {
        Word w;
        std::sscanf(html.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">", &w.xMin, &w.yMin,
                    &w.xMax, &w.yMax);
        const std::size_t open = html.find('>', at) + 1;
        w.text = html.substr(open, html.find('<', open) - open);
        words.push_back(w);
        at = open;
    }
    return words;
}

TEST_F(PdfOutputTest, ColumnsAndLinesFitTheSheet) {
    // Column 1 and column 136 of the first and the 66th line; then a wider and longer
    // page, which is set smaller rather than cut.
    std::string file = "DEVICE\r\nPAGE 66 \r\n 1 ,TOPLEFT, 0 \r\n 130 ,TOPEND, 65 \r\n 1 ,FOOT, 0 \r\n 133 ,END, 1 \r\n";
    file += "PAGE 100 \r\n 1 ,WIDE, 99 \r\n 245 ,FARRIGHT, 1 \r\n";
    const std::vector<Word> words = wordsOf(writePdf(file));
    ASSERT_EQ(words.size(), 6u);
    auto word = [&](const std::string& text) {
        for (const Word& w : words)
            if (w.text == text) return w;
        ADD_FAILURE() << "no word " << text;
        return Word{};
    };
    for (const Word& w : words) {
        EXPECT_GE(w.xMin, pdfMarginX - 1) << w.text;
        EXPECT_LE(w.xMax, pdfPageWidth - pdfMarginX + 1) << w.text;
        EXPECT_GE(w.yMin, pdfMarginY - 4) << w.text;
        EXPECT_LE(w.yMax, pdfPageHeight - pdfMarginY + 4) << w.text;
    }
    // Monospaced cells: TOPEND (column 130) and END (column 133) end at the same place.
    EXPECT_NEAR(word("TOPEND").xMax, word("END").xMax, 0.5);
    EXPECT_NEAR(word("TOPLEFT").xMin, word("FOOT").xMin, 0.5);
    EXPECT_GT(word("FOOT").yMin - word("TOPLEFT").yMin, 0.9 * (pdfPageHeight - 2 * pdfMarginY) * 65 / 66);
    // The 136 columns use most of the width of the sheet.
    EXPECT_GT(word("END").xMax - word("FOOT").xMin, 0.85 * (pdfPageWidth - 2 * pdfMarginX));
}

TEST_F(PdfOutputTest, AReportWithoutPagesGivesOneBlankSheet) {
    const std::string pdf = writePdf("DEVICEx.pdf\r\n");
    EXPECT_EQ(pdfField(commandOutput("pdfinfo '" + pdf + "' 2>&1"), "Pages"), "1");
}

}  // namespace
}  // namespace zelprint
