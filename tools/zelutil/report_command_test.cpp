// zelutil report as a program: the session, the arguments, the data files and the
// print run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "data/data_build.h"
#include "data/record_layouts.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::cp850;
using testsupport::readFile;
using testsupport::writeFile;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

class ReportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("ZELROOT", root.path().c_str());
        env.set("ZELTMP", tmp.path().c_str());
        env.set("ZELEXE", exe.path().c_str());
        env.set("ZEL_FAKE_TODAY", "20240320");
        for (const char* v : {"HTTP_USER_AGENT", "HTTP_ACCEPT", "WINDIR", "SYSTEMROOT"}) env.set(v, nullptr);
        writeFile(tmp / "Sessio.ini", "[Empresa]\r\nNom=FINQUES PROVA SL\r\n");
        writeFile(tmp / "VeskTerm.ini", "[Sistema]\r\nData=20240320\r\nSortida=LPT1\r\nIdioma=CAT\r\n");
        ASSERT_TRUE(writeSuiteDictionaries(root.path()));
        ASSERT_EQ(buildSuiteDataFile(root.path(), ownersFile, {ownerRecord(20, "PERE MARTI")}), 0);
        ASSERT_EQ(buildSuiteDataFile(root.path(), propertiesFile,
                                     {propertyRecord(1, 20, "EDIFICI SOL"), propertyRecord(2, 20, "CASA NOVA", 'P')}),
                  0);
        ASSERT_EQ(buildSuiteDataFile(root.path(), unitsFile,
                                     {unitRecord(1, 1, "JOAN PUIG", "1r 1a"), unitRecord(2, 1, "ANNA VIDAL", "ATIC")}),
                  0);
        ASSERT_EQ(buildSuiteDataFile(root.path(), receiptsFile,
                                     {receiptRecord({1, 1, 20240301, 2, 20240305, 123456, 'C', 'P'}),
                                      receiptRecord({1, 1, 20240320, 3, 0, 50000, 'P', 'P'}),
                                      receiptRecord({2, 1, 20240302, 7, 20240302, 1000, 'D', 'P'})}),
                  0);
    }

    Outcome run(const std::vector<std::string>& args) {
        std::string command = "'" + testsupport::binDir() + "/zelutil' report";
        for (const std::string& a : args) command += " '" + a + "'";
        command += " >'" + (tmp / "out.txt") + "' 2>'" + (tmp / "err.txt") + "' </dev/null";
        const int status = std::system(command.c_str());
        Outcome o;
        o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.out = readFile(tmp / "out.txt");
        o.err = readFile(tmp / "err.txt");
        return o;
    }

    std::string printFile() { return readFile(tmp / "zelprint.tmp"); }

    testsupport::TempDir root, tmp, exe;
    testsupport::ScopedEnv env;
};

// Written by hand from the layout rules: the first property of the installation.
const char* const firstPropertyPage =
    "DEVICELPT1\r\n"
    "PAGE 66 \r\n"
    "*@e\r\n"
    " 1 ,FINQUES PROVA SL, 0 \r\n"
    "JUSD\r\n"
    " 85 ,PÀGINA    1, 2 \r\n"
    " 15 ,RELACIÓ DE REBUTS DE VERTICAL EMESOS ENTRE 1/3/2024   I 20/3/2024 , 1 \r\n"
    " 27 ,CORRESPONENTS A LA FINCA 001 - EDIFICI SOL, 2 \r\n"
    "*q\r\n"
    " 1 ,REBUT, 0 \r\n"
    " 18 ,DEPART., 0 \r\n"
    " 36 ,TITULAR, 0 \r\n"
    " 74 ,D.EXPED., 0 \r\n"
    " 90 ,D.COBR., 0 \r\n"
    "JUSD\r\n"
    " 107 ,    COBRAT, 0 \r\n"
    " 126 ,   PENDENT, 1 \r\n"
    " 1 ,---------------------------------------------------------------------------------------------------------------------------------------, 1 \r\n"
    " 1 ,001001V02, 0 \r\n"
    " 18 ,1r 1a     , 0 \r\n"
    " 36 ,JOAN PUIG                     , 0 \r\n"
    " 74 ,1/3/2024  , 0 \r\n"
    " 90 ,5/3/2024  , 0 \r\n"
    "JUSD\r\n"
    " 107 ,  1.234'56, 1 \r\n"
    " 1 ,001001V03, 0 \r\n"
    " 18 ,1r 1a     , 0 \r\n"
    " 36 ,JOAN PUIG                     , 0 \r\n"
    " 74 ,20/3/2024 , 0 \r\n"
    " 90 ,          , 0 \r\n"
    "JUSD\r\n"
    " 126 ,    500'00, 1 \r\n"
    " 107 ,-----------------------------, 1 \r\n"
    " 74 ,TOTAL, 0 \r\n"
    "JUSD\r\n"
    " 107 ,  1.234'56, 0 \r\n"
    " 126 ,    500'00, 1 \r\n"
    " 74 ,==============================================================, 1 \r\n";

TEST_F(ReportCommandTest, WritesThePrintFileOfTheGivenRanges) {
    const Outcome o = run({"--from", "1/3/2024", "--to", "20/3/2024", "--first", "1", "--last", "1"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_NE(o.out.find(tmp / "zelprint.tmp"), std::string::npos) << o.out;
    EXPECT_EQ(printFile(), cp850(firstPropertyPage));
}

TEST_F(ReportCommandTest, MissingValuesTakeTheFormsInitialValues) {
    // Session date 20/3/2024 on both ends, codes 1 to 999: receipt 3 of property 1.
    const Outcome o = run({});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    const std::string out = printFile();
    EXPECT_NE(out.find(" 1 ,001001V03, 0 \r\n"), std::string::npos);
    EXPECT_EQ(out.find("001001V02"), std::string::npos);
    EXPECT_EQ(out.find("002001V07"), std::string::npos);
}

TEST_F(ReportCommandTest, RefusesWhatTheFormRefuses) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"--from", "20/3/2024", "--to", "1/3/2024"}, "first date is after the last: 20/3/2024 > 1/3/2024"},
        {{"--from", "1/3/2024", "--to", "20/3/2024", "--first", "10", "--last", "9"}, "first property code is greater than the last: 10 > 9"},
        {{"--from", "31/2/2024", "--to", "20/3/2024"}, "not a valid date: --from 31/2/2024"},
        {{"--from", "1/3/2024", "--to", "1/3"}, "not a valid date: --to 1/3"},
        {{"--from", "1/3/2024", "--to", "x"}, "not a valid date: --to x"},
        {{"--first", "1a"}, "not a property code: --first 1a"},
        {{"--last", "-5"}, "not a property code: --last -5"},
        {{"--from"}, "a value is missing after --from"},
        {{"--sideways"}, "unknown argument --sideways"},
    };
    for (const Case& c : cases) {
        const Outcome o = run(c.args);
        EXPECT_EQ(o.exitCode, 2) << c.message;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_FALSE(testsupport::fileExists(tmp / "zelprint.tmp")) << c.message;
    }
}

TEST_F(ReportCommandTest, AMissingDataFileIsNamedAndFails) {
    ASSERT_EQ(std::remove((root / "DADES/DepartaV.dat").c_str()), 0);
    ASSERT_EQ(std::remove((root / "ddf/DepartaV.xdf").c_str()), 0);
    const Outcome o = run({"--from", "1/3/2024", "--to", "20/3/2024"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("DADES\\DepartaV"), std::string::npos) << o.err;
    EXPECT_FALSE(testsupport::fileExists(tmp / "zelprint.tmp"));
}

TEST_F(ReportCommandTest, ABrokenDataFileIsNamedAndFailsWithoutWaitingForAKey) {
    writeFile(root / "DADES/CobramV.dat", "this is not a data file");
    const Outcome o = run({"--from", "1/3/2024", "--to", "20/3/2024"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("DADES\\CobramV: cannot be opened"), std::string::npos) << o.err;
}

TEST_F(ReportCommandTest, APrintFileThatCannotBeWrittenFails) {
    env.set("ZELTMP", (tmp / "missing").c_str());
    const Outcome o = run({"--from", "1/3/2024", "--to", "20/3/2024"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("could not be written"), std::string::npos) << o.err;
}

TEST_F(ReportCommandTest, PrintStartsThePrintProgramAndWaitsForIt) {
    // A stand-in print program that keeps a copy of what it was given.
    writeFile(exe / "ZELPRINT", "#!/bin/sh\nsleep 0.2\ncp \"$ZELTMP/zelprint.tmp\" \"$ZELTMP/printed.tmp\"\n");
    ASSERT_EQ(::chmod((exe / "ZELPRINT").c_str(), 0755), 0);
    const Outcome o = run({"--from", "1/3/2024", "--to", "20/3/2024", "--first", "1", "--last", "1", "--print"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(readFile(tmp / "printed.tmp"), cp850(firstPropertyPage));
}

TEST_F(ReportCommandTest, APrintProgramThatCannotRunFails) {
    Outcome o = run({"--from", "1/3/2024", "--to", "20/3/2024", "--print"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("ZELPRINT"), std::string::npos) << o.err;

    writeFile(exe / "ZELPRINT", "#!/bin/sh\nexit 3\n");
    ASSERT_EQ(::chmod((exe / "ZELPRINT").c_str(), 0755), 0);
    o = run({"--from", "1/3/2024", "--to", "20/3/2024", "--print"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("exit code 3"), std::string::npos) << o.err;
}

TEST_F(ReportCommandTest, Help) {
    const Outcome o = run({"--help"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_NE(o.out.find("usage: zelutil report"), std::string::npos);
}

}  // namespace
