// The receipts report on real data files in a temporary installation, checked
// line by line against print files written by hand from the layout rules.
#include "report/receipts_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "data/data_build.h"
#include "data/data_files.h"
#include "data/record_layouts.h"
#include "driver/language_files.h"
#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "format/dates.h"
#include "format/edit_masks.h"
#include "platform/os/os.h"
#include "report/print_file.h"
#include "report/report_run.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::cp850;
using testsupport::readFile;
using testsupport::writeFile;

std::vector<std::string> splitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t at = text.find(end, start);
        if (at == std::string::npos) {
            lines.push_back(text.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + end.size();
    }
    return lines;
}

// The hand-written print files beside the sources, also when the test runs
// without ZEL_SOURCE_DIR.
std::string fixture(const std::string& name) {
    if (const char* dir = std::getenv("ZEL_SOURCE_DIR"); dir && *dir)
        return readFile(std::string(dir) + "/tests/fixtures/report/" + name);
    const std::string here = __FILE__;
    return readFile(here.substr(0, here.rfind("/src/report/")) + "/tests/fixtures/report/" + name);
}

// A hand-written print file (UTF-8, LF) in the bytes the program writes (CP850, CR LF).
std::string golden(const std::string& name) { return cp850(fixture(name)); }

void expectSameLines(const std::string& actual, const std::string& expectedLf) {
    const std::vector<std::string> got = splitLines(actual, "\r\n");
    const std::vector<std::string> want = splitLines(expectedLf, "\n");
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
    EXPECT_EQ(got.size(), want.size()) << "number of lines";
    EXPECT_EQ(actual.find('\n'), actual.find("\r\n") + 1) << "every line ends with CR LF";
}

// The installation of the main cases: several properties and units, every state
// letter, receipts of other kinds, issue dates on and beyond the range limits,
// properties marked "P" with and without their owner, a negative amount and
// amounts at and beyond the width of their column.
struct Installation {
    std::vector<std::string> owners, properties, units, receipts;
};

Installation marchInstallation() {
    Installation in;
    in.owners = {ownerRecord(10, "JOSEP ROCA"), ownerRecord(20, "PERE MARTI")};
    in.properties = {
        propertyRecord(1, 10, "EDIFICI SOL"),
        propertyRecord(2, 20, "CASA NOVA", 'P'),
        propertyRecord(3, 99, "TORRE", 'P'),  // owner 99 does not exist
        propertyRecord(4, 10, "MAGATZEM"),    // no listed receipt
        propertyRecord(5, 10, "SOLAR"),       // no units
        propertyRecord(999, 10, "ULTIMA"),    // last code of the range
        propertyRecord(1234, 10, "FORA"),     // beyond the range
    };
    in.units = {
        unitRecord(1, 1, "JOAN PUIG", "1r 1a"),     unitRecord(1, 2, "MARIA SOLER", "BAIXOS"),
        unitRecord(2, 1, "ANNA VIDAL", "ATIC"),     unitRecord(3, 1, "LLUIS FONT", "2n 2a"),
        unitRecord(4, 1, "X", "X"),                 unitRecord(999, 1, "BOTIGA SA", "LOCAL"),
        unitRecord(1234, 1, "Y", "Y"),
    };
    auto r = [](int p, int u, long issue, int n, long collected, int32_t amount, char state, char kind = 'P') {
        return receiptRecord({p, u, issue, n, collected, amount, state, kind});
    };
    in.receipts = {
        r(1, 1, 20240229, 1, 20240301, 1000, 'C'),       // the day before the range
        r(1, 1, 20240301, 2, 20240305, 123456, 'C'),     // first day
        r(1, 1, 20240315, 3, 0, 50000, 'P'),
        r(1, 1, 20240320, 4, 20240320, 3000, 'C', 'A'),  // another kind
        r(1, 1, 20240331, 5, 0, 7500, 'D'),              // last day
        r(1, 1, 20240401, 6, 20240402, 2000, 'C'),       // the day after
        r(1, 2, 20240310, 1, 20240311, -1234, 'I'),
        r(1, 2, 20240312, 2, 20240312, 100, 'X'),        // shown collected, counted pending
        r(2, 1, 20240302, 7, 20240302, 99999999, 'C'),   // fills its column
        r(2, 1, 20240303, 8, 0, 2147483647, 'P'),        // too large for its column
        r(3, 1, 20240320, 1, 20240325, 2500, 'C'),
        r(4, 1, 20240315, 1, 20240315, 5000, 'C', 'R'),
        r(4, 1, 20240401, 2, 20240401, 5000, 'C'),
        r(999, 1, 20240331, 1, 20240331, 0, 'C'),
        r(1234, 1, 20240310, 1, 20240310, 100, 'C'),
    };
    return in;
}

class ReceiptsReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("ZELROOT", root.path().c_str());
        sessionSettings = SessionSettings{};
        sessionSettings.rootDir = root.path();
        sessionSettings.tempDir = root.path();
        sessionSettings.firmName = "FINQUES PROVA SL";
        sessionSettings.outputDevice = "LPT1";
        sessionSettings.languageCode = "CAT";
        programDriver.moduleName = "RPTREBUT";
        languageFileState = LanguageFileState{};
        numberFormatState = NumberFormatState{};
        dateDisplayState = DateDisplayState{};
        printFileState = PrintFileState{};
        reportParameters = ReportParameters{};
        reportState = ReportState{};
        setCurrency("a,E");
        ASSERT_TRUE(writeSuiteDictionaries(root.path()));
    }
    void TearDown() override {
        int16_t status = 0;
        closeAllDataFiles(status);
    }
    void build(const Installation& in) {
        ASSERT_EQ(buildSuiteDataFile(root.path(), ownersFile, in.owners), 0);
        ASSERT_EQ(buildSuiteDataFile(root.path(), propertiesFile, in.properties), 0);
        ASSERT_EQ(buildSuiteDataFile(root.path(), unitsFile, in.units), 0);
        ASSERT_EQ(buildSuiteDataFile(root.path(), receiptsFile, in.receipts), 0);
        int16_t status = 0;
        openReportDataFiles(status);
        ASSERT_EQ(status, 0);
    }
    // Runs the report as the module does after its form and returns the print file.
    std::string run(const char* from, const char* to, const char* first, const char* last) {
        EXPECT_TRUE(packReportParameters(from, to, first, last));
        EXPECT_TRUE(runReceiptsReportToPrintFile());
        return readFile(root / "zelprint.tmp");
    }
    testsupport::TempDir root;
    testsupport::ScopedEnv env;
};

TEST_F(ReceiptsReportTest, PropertiesUnitsStatesAndRangeLimits) {
    build(marchInstallation());
    expectSameLines(run("1/3/2024", "31/3/2024", "1", "999"), golden("march_2024.txt"));
}

TEST_F(ReceiptsReportTest, LanguageFileSeparatorsAndDateOrder) {
    writeFile(root / "Vesk.ini",
              "[Usuari]\r\nDecCaracter=,\r\nMilCaracter=.\r\nDatCaracter=-\r\nDatOrdre=AMD\r\n");
    ASSERT_TRUE(os::makeDirectories(root / "LOCALE"));
    writeFile(root / "LOCALE/RPTREBUT.LNG", cp850(fixture("RPTREBUT.LNG")));
    sessionSettings.languageCode = "SPA";
    sessionSettings.outputDevice = "IMPRESSORA 2";
    build(marchInstallation());
    expectSameLines(run("01.03.2024", "31-03-2024", "1", "1"), golden("march_2024_spanish.txt"));
}

TEST_F(ReceiptsReportTest, ASecondRunUnderOtherSettingsFormatsAfresh) {
    build(marchInstallation());
    expectSameLines(run("1/3/2024", "31/3/2024", "1", "999"), golden("march_2024.txt"));
    writeFile(root / "Vesk.ini",
              "[Usuari]\r\nDecCaracter=,\r\nMilCaracter=.\r\nDatCaracter=-\r\nDatOrdre=AMD\r\n");
    ASSERT_TRUE(os::makeDirectories(root / "LOCALE"));
    writeFile(root / "LOCALE/RPTREBUT.LNG", cp850(fixture("RPTREBUT.LNG")));
    numberFormatState = NumberFormatState{};
    dateDisplayState = DateDisplayState{};
    setCurrency("a,E");
    sessionSettings.languageCode = "SPA";
    sessionSettings.outputDevice = "IMPRESSORA 2";
    expectSameLines(run("01.03.2024", "31-03-2024", "1", "1"), golden("march_2024_spanish.txt"));
}

TEST_F(ReceiptsReportTest, ARangeWithoutPropertiesGivesOnlyTheDeviceLine) {
    build(marchInstallation());
    EXPECT_EQ(run("1/3/2024", "31/3/2024", "1000", "1100"), "DEVICELPT1\r\n");
    EXPECT_EQ(run("1/3/2024", "31/3/2024", "5000", "9999"), "DEVICELPT1\r\n");
    // Properties in range, but no receipt of kind P in the dates.
    EXPECT_EQ(run("1/1/2020", "31/12/2020", "1", "9999"), "DEVICELPT1\r\n");
}

TEST_F(ReceiptsReportTest, TheOwnerNameOfTheProperty) {
    // The same owner name, found or missing, whichever property came before.
    Installation in;
    in.owners = {ownerRecord(20, "PERE MARTI")};
    in.properties = {propertyRecord(2, 20, "CASA NOVA", 'P'), propertyRecord(3, 99, "TORRE", 'P'),
                     propertyRecord(4, 20, "PIS", ' ')};
    for (int p = 2; p <= 4; ++p) {
        in.units.push_back(unitRecord(p, 1, "H", "D"));
        in.receipts.push_back(receiptRecord({p, 1, 20240305, 1, 0, 100, 'P', 'P'}));
    }
    build(in);
    const std::string out = run("1/3/2024", "31/3/2024", "1", "999");
    EXPECT_NE(out.find(" 27 ,CORRESPONENTS A LA FINCA 002 - PERE MARTI, 2 \r\n"), std::string::npos);
    EXPECT_NE(out.find(" 32 ,CORRESPONENTS A LA FINCA 003 - , 2 \r\n"), std::string::npos);
    EXPECT_NE(out.find(" 31 ,CORRESPONENTS A LA FINCA 004 - PIS, 2 \r\n"), std::string::npos);
}

// The print file as a sequence of tokens: Hn for the heading of page n, D for a
// run of detail lines with their count, R the totals' rule, T the TOTAL line.
std::string pageShape(const std::string& printFile) {
    std::string shape;
    int details = 0;
    auto flush = [&] {
        if (details) shape += "D" + std::to_string(details) + " ";
        details = 0;
    };
    for (const std::string& line : splitLines(printFile, "\r\n")) {
        if (line.rfind(" 85 ,", 0) == 0) {
            flush();
            shape += "H" + std::to_string(std::stoi(line.substr(line.size() - 8, 4))) + " ";
        } else if (line.rfind(" 1 ,", 0) == 0 && line.size() > 13 && line[10] == 'V') {
            ++details;
        } else if (line.rfind(" 107 ,---", 0) == 0) {
            flush();
            shape += "R ";
        } else if (line.rfind(" 74 ,TOTAL", 0) == 0) {
            flush();
            shape += "T";
        }
    }
    flush();
    return shape;
}

TEST_F(ReceiptsReportTest, PageBreaksOnTheLastPageOfAProperty) {
    struct Case {
        int receipts;
        const char* shape;
    };
    const Case cases[] = {
        {1, "H1 D1 R T"},
        {51, "H1 D51 R T"},
        {52, "H1 D52 R H2 T"},
        {53, "H1 D53 R H2 T"},
        {54, "H1 D54 R H2 T"},
        {55, "H1 D54 H2 D1 R T"},
        {105, "H1 D54 H2 D51 R T"},
        {106, "H1 D54 H2 D52 R H3 T"},
        {109, "H1 D54 H2 D54 H3 D1 R T"},
    };
    int property = 0;
    Installation in;
    for (const Case& c : cases) {
        ++property;
        in.properties.push_back(propertyRecord(property, 1, "P"));
        in.units.push_back(unitRecord(property, 1, "H", "D"));
        for (int i = 0; i < c.receipts; ++i)
            in.receipts.push_back(receiptRecord({property, 1, 20240301 + i % 28, i / 28, 0, 100, 'C', 'P'}));
    }
    build(in);
    property = 0;
    for (const Case& c : cases) {
        ++property;
        const std::string code = std::to_string(property);
        const std::string out = run("1/3/2024", "31/3/2024", code.c_str(), code.c_str());
        EXPECT_EQ(pageShape(out), c.shape) << c.receipts << " receipts";
        // No page outgrows the 66 lines announced, heading included.
        int lines = 0;
        for (const std::string& line : splitLines(out, "\r\n")) {
            if (line == "PAGE 66 ") lines = 0;
            if (line.size() > 2 && line.compare(line.size() - 2, 2, "1 ") == 0 && line.find(',') != std::string::npos)
                lines += std::stoi(line.substr(line.rfind(',') + 1));
            if (line.size() > 2 && line.compare(line.size() - 2, 2, "2 ") == 0 && line.find(',') != std::string::npos)
                lines += 2;
            EXPECT_LE(lines, 64) << c.receipts << " receipts";
        }
    }
}

TEST_F(ReceiptsReportTest, TheSecondPageCarriesTheFullHeadingAndItsNumber) {
    Installation in;
    in.properties = {propertyRecord(12, 1, "P")};
    in.units = {unitRecord(12, 305, "H", "D")};
    for (int i = 0; i < 55; ++i) in.receipts.push_back(receiptRecord({12, 305, 20240301 + i % 28, i / 28, 0, 100, 'C', 'P'}));
    build(in);
    const std::string out = run("1/3/2024", "31/3/2024", "12", "12");
    const std::string heading2 = cp850("PAGE 66 \r\n*@e\r\n 1 ,FINQUES PROVA SL, 0 \r\nJUSD\r\n 85 ,PÀGINA    2, 2 \r\n");
    EXPECT_NE(out.find(heading2), std::string::npos);
    EXPECT_NE(out.find(" 1 ,012305V00, 0 \r\n"), std::string::npos);  // property 0012, unit 0305, receipt 0
    EXPECT_NE(out.find(" 1 ,012305V01, 0 \r\n"), std::string::npos);
}

TEST_F(ReceiptsReportTest, TotalsAreTheSumsOfThePrintedAmounts) {
    // Pages of amounts with every letter: the totals follow the letter rules
    // across page breaks, negative amounts included.
    Installation in;
    in.properties = {propertyRecord(1, 1, "P"), propertyRecord(2, 1, "Q")};
    in.units = {unitRecord(1, 1, "H", "D"), unitRecord(2, 1, "H", "D")};
    const char states[] = {'C', 'I', 'P', 'D', 'X', ' '};
    long long collected = 0, pending = 0;
    for (int i = 0; i < 60; ++i) {
        const char s = states[i % 6];
        const int32_t amount = (i % 7 == 0 ? -1 : 1) * (100 + i);
        in.receipts.push_back(receiptRecord({1, 1, 20240301 + i % 28, i / 28, 0, amount, s, 'P'}));
        (s == 'C' || s == 'I' ? collected : pending) += amount;
    }
    in.receipts.push_back(receiptRecord({2, 1, 20240301, 1, 0, 500, 'D', 'P'}));
    build(in);
    run("1/3/2024", "31/3/2024", "1", "2");
    // The second property starts again from nothing.
    EXPECT_EQ(reportState.collectedTotal, 0);
    EXPECT_EQ(reportState.pendingTotal, 500);
    EXPECT_EQ(reportState.pageNumber, 1);
    run("1/3/2024", "31/3/2024", "1", "1");
    EXPECT_EQ(reportState.collectedTotal, collected);
    EXPECT_EQ(reportState.pendingTotal, pending);
    EXPECT_EQ(reportState.pageNumber, 2);
}

TEST_F(ReceiptsReportTest, PackingTheFormValues) {
    EXPECT_TRUE(packReportParameters("1/3/2024", "1/3/2024", "5", "5"));
    EXPECT_EQ(reportParameters.firstDateKey, std::string("\x94\x98\x83\x81"));
    EXPECT_EQ(reportParameters.firstPropertyKey, std::string("\x80\x85"));
    EXPECT_TRUE(packReportParameters("1/3/2024", "2/3/2024", "", "999"));  // empty code = 0
    EXPECT_EQ(reportParameters.firstPropertyKey, std::string("\x80\x80"));
    EXPECT_EQ(reportParameters.lastPropertyKey, std::string("\x89\xE3"));
    EXPECT_FALSE(packReportParameters("2/3/2024", "1/3/2024", "1", "999"));
    EXPECT_FALSE(packReportParameters("1/3/2024", "1/3/2024", "10", "9"));
    // Stored whatever the outcome.
    EXPECT_EQ(reportParameters.firstPropertyKey, std::string("\x80\x8A"));
    EXPECT_EQ(reportParameters.lastPropertyKey, std::string("\x80\x89"));
}

TEST_F(ReceiptsReportTest, APrintFileThatCannotBeWrittenIsReported) {
    build(marchInstallation());
    sessionSettings.tempDir = root / "missing/";
    EXPECT_TRUE(packReportParameters("1/3/2024", "31/3/2024", "1", "999"));
    EXPECT_FALSE(runReceiptsReportToPrintFile());
    // The currency is given back whatever happened.
    EXPECT_EQ(numberFormatState.displayCurrency, "E");
}

TEST_F(ReceiptsReportTest, DataFilesThatCannotBeOpenedAreNamedBeforeAnyOpen) {
    // Without the data folder nothing can be created.
    EXPECT_NE(checkReportDataFiles().find(root.path() + "DADES\\CobramV: cannot be created from its dictionary"),
              std::string::npos);
    // Dictionaries present: the missing files are created from them.
    ASSERT_TRUE(os::makeDirectories(root / "DADES"));
    EXPECT_EQ(checkReportDataFiles(), "");
    EXPECT_TRUE(testsupport::fileExists(root / "DADES/CobramV.dat"));
    int16_t status = 0;
    closeAllDataFiles(status);

    ASSERT_TRUE(os::removeFile(root / "DADES/CobramV.dat"));
    ASSERT_TRUE(os::removeFile(root / "ddf/CobramV.xdf"));
    writeFile(root / "DADES/DepartaV.dat", "not a data file");
    const std::string problems = checkReportDataFiles();
    EXPECT_NE(problems.find(root.path() + "DADES\\DepartaV: cannot be opened (status "), std::string::npos) << problems;
    EXPECT_NE(problems.find(root.path() + "DADES\\CobramV: missing, and its dictionary"), std::string::npos)
        << problems;
    EXPECT_EQ(problems.find("PropietV"), std::string::npos) << problems;
}

}  // namespace
