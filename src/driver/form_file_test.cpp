#include "driver/form_file.h"

#include "driver/form_items.h"
#include "driver/ini_file.h"
#include "driver/language_files.h"
#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testsupport::cp850;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// The records that loading reads and writes, cleared around every test.
void resetDriverState() {
    sessionSettings = SessionSettings{};
    programDriver = ProgramDriverState{};
    languageFileState = LanguageFileState{};
    formTables = FormTables{};
}

class FormFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDriverState();
        sessionSettings.rootDir = root_.path();
        sessionSettings.languageCode = "CAT";
        programDriver.moduleName = "PROVA";
    }
    void TearDown() override { resetDriverState(); }
    std::string load(const std::string& contents) {
        writeFile(root_ / "FORMS/PROVA.JPN", contents);
        return loadForm("PROVA");
    }

    TempDir root_;
};

// Two panels and one list, with comments where the loader must skip them.
const std::string kForm =
    "' The test form\r\n"
    "2,3\r\n"
    "  ' panel 1: two fields\r\n"
    "\"1b,0d,4f00\",2,2,3,1,12,80\r\n"
    "2,3,\"Nom: \",10,0,0,8,0,0,\"\"\r\n"
    "4,3,\"Data, ara: \",10,0,2,1,1,1,\"\"\r\n"
    "'panel 2\r\n"
    "\"0d\",1,0,15,20,19,60\r\n"
    "2,3,\"Confirmeu \",1,0,1,0,0,0,\"|S,S\xA1|N,No\"\r\n"
    "' the lists\r\n"
    "1\r\n"
    "506,0,5,20,20,58,0,\"CODI_NOM\",0\r\n";

TEST_F(FormFileTest, LoadsPanelsFieldsAndLists) {
    ASSERT_EQ(load(kForm), "");
    const FormTables& t = formTables;
    EXPECT_EQ(t.loadError, "");
    EXPECT_EQ(t.panelCount, 2);
    EXPECT_EQ(t.maxFields, 3);
    EXPECT_EQ(t.lookupCount, 1);
    ASSERT_EQ(t.formPanels.size(), 3u);
    ASSERT_EQ(t.formFields.size(), 3u);
    ASSERT_EQ(t.formFields[1].size(), 4u);
    ASSERT_EQ(t.lookupLists.size(), 2u);

    const FormPanel& p1 = t.formPanels[1];
    EXPECT_EQ(p1.exitKeys, "1b,0d,4f00");
    EXPECT_EQ(p1.fieldCount, 2);
    EXPECT_EQ(p1.nextPanel, 2);
    EXPECT_EQ(p1.frameTop, 3);
    EXPECT_EQ(p1.frameLeft, 1);
    EXPECT_EQ(p1.frameBottom, 12);
    EXPECT_EQ(p1.frameRight, 80);

    const FormField& f1 = t.formFields[1][1];
    EXPECT_EQ(f1.row, 2);
    EXPECT_EQ(f1.labelColumn, 3);
    EXPECT_EQ(f1.label, "Nom: ");
    EXPECT_EQ(f1.width, 10);
    EXPECT_EQ(f1.flags, 8);
    EXPECT_EQ(f1.value, std::string(10, ' '));
    const FormField& f2 = t.formFields[1][2];
    EXPECT_EQ(f2.label, "Data, ara: ");
    EXPECT_EQ(f2.clearWidth, 2);
    EXPECT_EQ(f2.flags, 1);
    EXPECT_EQ(f2.fieldType, 1);
    EXPECT_EQ(f2.lookupList, 1);
    EXPECT_EQ(t.formFields[2][1].choices, "|S,S\xA1|N,No");
    EXPECT_EQ(t.formFields[2][1].value, " ");
    EXPECT_EQ(t.formFields[1][3].label, "");  // room for maxFields, undefined beyond fieldCount

    const LookupList& l = t.lookupLists[1];
    EXPECT_EQ(l.dataFile, 506);
    EXPECT_EQ(l.keyNumber, 0);
    EXPECT_EQ(l.boxTop, 5);
    EXPECT_EQ(l.boxLeft, 20);
    EXPECT_EQ(l.boxBottom, 20);
    EXPECT_EQ(l.boxRight, 58);
    EXPECT_EQ(l.searchPanel, 0);
    EXPECT_EQ(l.heading, "CODI_NOM");
    EXPECT_EQ(l.nestedList, 0);
}

TEST_F(FormFileTest, CommentInsideAFieldListIsData) {
    ASSERT_EQ(load("1,1\r\n\"0d\",1,0,0,0,0,0\r\n'note\r\n2,3,\"A\",1,0,0,0,0,\"\"\r\n"), "");
    const FormField& f = formTables.formFields[1][1];
    EXPECT_EQ(f.row, 0);  // the comment line was read as the row
    EXPECT_EQ(f.labelColumn, 2);
    EXPECT_EQ(f.label, "3");
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.value, "");
    EXPECT_EQ(f.lineWidth, 1);
    EXPECT_EQ(f.choices, "");
    EXPECT_EQ(formTables.lookupCount, 0);
}

TEST_F(FormFileTest, EmptyLineBetweenPanelsShiftsTheNextPanel) {
    ASSERT_EQ(load("2,0\r\n\"1b\",0,0,0,0,0,0\r\n\r\n\"0d\",0,0,1,2,3\r\n"), "");
    const FormPanel& p2 = formTables.formPanels[2];
    EXPECT_EQ(p2.exitKeys, "");
    EXPECT_EQ(p2.fieldCount, 0);  // "0d" read as a number
    EXPECT_EQ(p2.frameTop, 0);
    EXPECT_EQ(p2.frameLeft, 1);
    EXPECT_EQ(p2.frameRight, 3);
}

TEST_F(FormFileTest, ItemsSpreadOverLinesAndNumbersSeparatedByBlanks) {
    ASSERT_EQ(load("1 4\r\n\"0d\" , 1\r\n0 1 2 3 4\r\n7\r\n8\r\nLabel with trailing blanks  \r\n3 0 0 0 2 0\r\nfree text\r\n"), "");
    const FormPanel& p = formTables.formPanels[1];
    EXPECT_EQ(formTables.maxFields, 4);
    EXPECT_EQ(p.exitKeys, "0d");
    EXPECT_EQ(p.frameRight, 4);
    const FormField& f = formTables.formFields[1][1];
    EXPECT_EQ(f.row, 7);
    EXPECT_EQ(f.labelColumn, 8);
    EXPECT_EQ(f.label, "Label with trailing blanks  ");
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(f.fieldType, 2);
    EXPECT_EQ(f.choices, "free text");
}

TEST_F(FormFileTest, ExactlyTheAnnouncedListsAreRead) {
    std::string form = "1,0\r\n\"1b\",0,0,0,0,0,0\r\n3\r\n";
    for (int i = 1; i <= 3; ++i) form += "50" + std::to_string(i) + ",1,2,3,4,5,0,\"L" + std::to_string(i) + "\"," +
                                         std::to_string(i == 1 ? 2 : 0) + "\r\n";
    form += "this,is,not,read\r\n\"and neither\r\n";
    ASSERT_EQ(load(form), "");
    ASSERT_EQ(formTables.lookupLists.size(), 4u);
    EXPECT_EQ(formTables.lookupLists[1].heading, "L1");
    EXPECT_EQ(formTables.lookupLists[1].nestedList, 2);
    EXPECT_EQ(formTables.lookupLists[3].dataFile, 503);
    EXPECT_EQ(formTables.lookupLists[3].heading, "L3");
}

TEST_F(FormFileTest, FileEndingAfterThePanelsHasNoLists) {
    for (const std::string tail : {"", "\r\n' only a comment\r\n", "0\r\nwhatever follows\r\n"}) {
        ASSERT_EQ(load("1,0\r\n\"1b\",0,0,0,0,0,0\r\n" + tail), "") << tail;
        EXPECT_EQ(formTables.lookupCount, 0);
        EXPECT_EQ(formTables.lookupLists.size(), 1u);
    }
}

TEST_F(FormFileTest, LabelsChoicesAndHeadingsAreTranslated) {
    writeFile(root_ / "LOCALE/PROVA.LNG",
              "\"Nom: \",\"Nome: \",\"Nom: oc\",\"Nombre: \"\r\n"
              "\"|S,S\xA1|N,No\",x,y,\"|S,S\xA1|N,No es\"\r\n"
              "CODI_NOM,a,b,CODIGO_NOMBRE\r\n");
    sessionSettings.languageCode = "SPA";
    ASSERT_EQ(load(kForm), "");
    EXPECT_EQ(formTables.formFields[1][1].label, "Nombre: ");
    EXPECT_EQ(formTables.formFields[1][1].value, std::string(10, ' '));
    EXPECT_EQ(formTables.formFields[1][2].label, "Data, ara: ");  // no record
    EXPECT_EQ(formTables.formFields[2][1].choices, "|S,S\xA1|N,No es");
    EXPECT_EQ(formTables.lookupLists[1].heading, "CODIGO_NOMBRE");
    EXPECT_EQ(formTables.formPanels[1].exitKeys, "1b,0d,4f00");  // never translated
}

TEST_F(FormFileTest, FailuresLeaveEmptyTablesAndSayWhy) {
    struct Case { const char* what; std::string contents; std::string problem; };
    const std::string panel1 = "\"1b\",1,0,0,0,0,0\r\n";
    const std::string field = "1,1,\"A\",1,0,0,0,0,0,\"\"\r\n";
    const std::vector<Case> cases = {
        {"empty file", "", "NO DEFINEIX CAP PANELL"},
        {"only comments", "' nothing\r\n  ' more\r\n", "NO DEFINEIX CAP PANELL"},
        {"no panels", "0,5\r\n", "NO DEFINEIX CAP PANELL (NOMBRE DE PANELLS 0)"},
        {"negative panels", "-1,5\r\n", "NO DEFINEIX CAP PANELL (NOMBRE DE PANELLS -1)"},
        {"too many panels", "256,1\r\n", "EL NOMBRE DE PANELLS (256) PASSA DEL MÀXIM DE 255"},
        {"negative max fields", "1,-1\r\n", "EL NOMBRE MÀXIM DE CAMPS (-1) HA DE SER DE 0 A 255"},
        {"huge max fields", "1,30000\r\n", "EL NOMBRE MÀXIM DE CAMPS (30000) HA DE SER DE 0 A 255"},
        {"beyond 16 bits", "1,40000\r\n", "HI HA UN VALOR NUMÈRIC QUE NO CAP EN 16 BITS (CAPÇALERA)"},
        {"far beyond 16 bits", "99999999999999999999999,1\r\n",
         "HI HA UN VALOR NUMÈRIC QUE NO CAP EN 16 BITS (CAPÇALERA)"},
        {"ends inside header", "1\r\n", "S'ACABA A MIG REGISTRE (CAPÇALERA)"},
        {"ends inside panel", "1,1\r\n\"1b\",1,0,0\r\n", "S'ACABA A MIG REGISTRE (PANELL 1)"},
        {"ends inside field", "1,1\r\n" + panel1 + "1,1,\"A\",1,0\r\n", "S'ACABA A MIG REGISTRE (PANELL 1, CAMP 1)"},
        {"ends before panel 2", "2,1\r\n" + panel1 + field, "S'ACABA ABANS DEL PANELL 2"},
        {"more fields than the maximum", "1,1\r\n\"1b\",2,0,0,0,0,0\r\n" + field + field,
         "EL PANELL 1 TÉ 2 CAMPS I EL MÀXIM ÉS 1"},
        {"negative field count", "1,1\r\n\"1b\",-2,0,0,0,0,0\r\n", "EL PANELL 1 TÉ -2 CAMPS I EL MÀXIM ÉS 1"},
        {"negative width", "1,1\r\n" + panel1 + "1,1,\"A\",-1,0,0,0,0,0,\"\"\r\n",
         "UNA AMPLADA ÉS NEGATIVA (PANELL 1, CAMP 1)"},
        {"negative clear width", "1,1\r\n" + panel1 + "1,1,\"A\",1,0,-5,0,0,0,\"\"\r\n",
         "UNA AMPLADA ÉS NEGATIVA (PANELL 1, CAMP 1)"},
        {"too many lists", "1,1\r\n" + panel1 + field + "300\r\n", "EL NOMBRE DE LLISTES (300) HA DE SER DE 0 A 255"},
        {"negative lists", "1,1\r\n" + panel1 + field + "-1\r\n", "EL NOMBRE DE LLISTES (-1) HA DE SER DE 0 A 255"},
        {"ends inside a list", "1,1\r\n" + panel1 + field + "1\r\n506,0,1,1\r\n", "S'ACABA A MIG REGISTRE (LLISTA 1)"},
        {"ends before list 2", "1,1\r\n" + panel1 + field + "2\r\n506,0,1,1,5,5,0,\"H\",0\r\n",
         "S'ACABA ABANS DE LA LLISTA 2"},
        {"next panel missing", "1,0\r\n\"1b\",0,2,0,0,0,0\r\n", "EL PANELL 1 CONTINUA EN EL PANELL 2, QUE NO EXISTEIX"},
        {"field names a missing list", "1,1\r\n" + panel1 + "1,1,\"A\",1,0,0,0,0,1,\"\"\r\n",
         "EL PANELL 1, CAMP 1 OBRE LA LLISTA 1, QUE NO EXISTEIX"},
        {"search panel missing", "1,1\r\n" + panel1 + field + "1\r\n506,0,1,1,5,5,3,\"H\",0\r\n",
         "LA LLISTA 1 DEMANA EL PANELL DE CERCA 3, QUE NO EXISTEIX"},
        {"nested list missing", "1,1\r\n" + panel1 + field + "1\r\n506,0,1,1,5,5,0,\"H\",2\r\n",
         "LA LLISTA 1 OBRE LA LLISTA 2, QUE NO EXISTEIX"},
        {"text too long", "1,1\r\n" + panel1 + "1,1,\"" + std::string(40000, 'x') + "\",1,0,0,0,0,0,\"\"\r\n",
         "HI HA UN TEXT MASSA LLARG (PANELL 1, CAMP 1)"},
    };
    // The operator sees the file's name as the system finds it.
    const std::string prefix = "FITXER DE FORMULARI " + root_.path() + "FORMS/PROVA.JPN: ";
    for (const auto& c : cases) {
        ASSERT_EQ(load(kForm), "");
        const std::string error = load(c.contents);
        EXPECT_EQ(error, prefix + cp850(c.problem) + ".") << c.what;
        EXPECT_EQ(formTables.loadError, error) << c.what;
        EXPECT_EQ(formTables.panelCount, 0) << c.what;
        EXPECT_EQ(formTables.maxFields, 0) << c.what;
        EXPECT_EQ(formTables.lookupCount, 0) << c.what;
        EXPECT_TRUE(formTables.formPanels.empty()) << c.what;
        EXPECT_TRUE(formTables.formFields.empty()) << c.what;
        EXPECT_TRUE(formTables.lookupLists.empty()) << c.what;
    }
}

TEST_F(FormFileTest, MissingFile) {
    ASSERT_EQ(load(kForm), "");
    EXPECT_EQ(loadForm("ABSENT"), "FITXER DE FORMULARI " + root_.path() + "FORMS/ABSENT.JPN: NO ES POT OBRIR.");
    EXPECT_TRUE(formTables.formPanels.empty());
    sessionSettings.rootDir = root_.path() + "nowhere/";
    EXPECT_NE(loadForm("PROVA"), "");
}

TEST_F(FormFileTest, DamagedFilesNeitherCrashNorHang) {
    std::string junk;
    for (unsigned i = 0; i < 300000; ++i) junk += static_cast<char>((i * 7919u) % 256);
    const std::vector<std::string> files = {
        junk,
        std::string(100000, ','),
        std::string(100000, '\n'),
        "\"",
        "1,1\r\n\"" + std::string(100000, 'q'),
        "1,0\r\n" + std::string(100000, '\''),
        "255,255\r\n",
        std::string("\x00\x00\x00", 3),
    };
    for (const auto& f : files) {
        const std::string error = load(f);
        EXPECT_NE(error, "");
        EXPECT_TRUE(formTables.formPanels.empty());
    }
}

TEST_F(FormFileTest, LargestFormWithinTheLimits) {
    std::string form = "255,255\r\n";
    for (int p = 1; p <= 255; ++p) form += "\"0d\",0,0,0,0,0,0\r\n";
    ASSERT_EQ(load(form), "");
    EXPECT_EQ(formTables.formFields.size(), 256u);
    EXPECT_EQ(formTables.formFields[255].size(), 256u);
}

TEST(FormItems, ItemRules) {
    TempDir dir;
    writeFile(dir / "items.txt",
              "  plain  ,\"q, \"uoted\"  ,\t\r\n"
              "\r\n"
              "a\tb,\"open\r\nline\"\r\n"
              "12 34,-5 ,+6x,\"7\",,\r\n");
    ItemReader r;
    ASSERT_TRUE(openItems(r, dir / "items.txt"));
    std::string s;
    int16_t n = 0;
    const std::vector<std::string> texts = {"plain  ", "q, ", "", "", "ab", "open\r\nline"};
    for (const auto& expected : texts) {
        ASSERT_EQ(readTextItem(r, s), ItemStatus::read);
        EXPECT_EQ(s, expected);
    }
    const std::vector<int16_t> numbers = {12, 34, -5, 6, 7, 0, 0};
    for (int16_t expected : numbers) {
        ASSERT_EQ(readNumberItem(r, n), ItemStatus::read);
        EXPECT_EQ(n, expected);
    }
    EXPECT_TRUE(atEndOfItems(r));
    EXPECT_EQ(readTextItem(r, s), ItemStatus::missing);
    EXPECT_EQ(readNumberItem(r, n), ItemStatus::missing);
    closeItems(r);
}

TEST(FormItems, CommentLinesOnlyAtTheReaderPosition) {
    TempDir dir;
    writeFile(dir / "items.txt", "'one\r\n   'two\n'three\r" + std::string(40000, 'c') + "\r\nfirst, 'second\r\n");
    ItemReader r;
    ASSERT_TRUE(openItems(r, dir / "items.txt"));
    std::string s;
    skipCommentLines(r);
    EXPECT_EQ(readTextItem(r, s), ItemStatus::tooLong);  // the 40000 c's are not a comment
    EXPECT_EQ(s.size(), kMaxItemLength);
    skipCommentLines(r);
    EXPECT_EQ(readTextItem(r, s), ItemStatus::read);
    EXPECT_EQ(s, "first");
    EXPECT_EQ(readTextItem(r, s), ItemStatus::read);
    EXPECT_EQ(s, "'second");
    skipCommentLines(r);
    EXPECT_TRUE(atEndOfItems(r));
    closeItems(r);
}

}  // namespace

namespace {

// The installation's own texts, as shipped in runtime/. ZEL_SOURCE_DIR names the
// sources; without it (a test run by hand elsewhere) they are found from this file.
std::string installedRoot() {
    const std::string fromEnvironment = testsupport::sourceDir() + "/runtime/";
    if (testsupport::fileExists(fromEnvironment + "FORMS")) return fromEnvironment;
    const std::string here = __FILE__;
    return here.substr(0, here.rfind("/src/driver/")) + "/runtime/";
}

class InstalledFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDriverState();
        sessionSettings.rootDir = installedRoot();
        sessionSettings.languageCode = "CAT";
        programDriver.moduleName = "RPTREBUT";
    }
    void TearDown() override { resetDriverState(); }

    // Records of the language file: Catalan text -> the other three.
    std::vector<std::vector<std::string>> languageRecords() {
        std::vector<std::vector<std::string>> records;
        ItemReader r;
        EXPECT_TRUE(openItems(r, sessionSettings.rootDir + "LOCALE\\RPTREBUT.LNG"));
        while (!atEndOfItems(r)) {
            std::vector<std::string> record(4);
            for (auto& item : record) EXPECT_EQ(readTextItem(r, item), ItemStatus::read);
            records.push_back(record);
        }
        closeItems(r);
        return records;
    }
};

TEST_F(InstalledFormTest, ShapeOfTheParameterForm) {
    ASSERT_EQ(loadForm("RPTREBUT"), "");
    const FormTables& t = formTables;
    ASSERT_EQ(t.panelCount, 2);
    ASSERT_EQ(t.lookupCount, 1);

    const FormPanel& p1 = t.formPanels[1];
    ASSERT_EQ(p1.fieldCount, 4);
    EXPECT_EQ(p1.nextPanel, 0);
    const struct { int16_t type, width, list; } expected[5] = {{}, {1, 10, 0}, {1, 10, 0}, {2, 3, 1}, {2, 3, 1}};
    for (int f = 1; f <= 4; ++f) {
        EXPECT_EQ(t.formFields[1][f].fieldType, expected[f].type) << f;
        EXPECT_EQ(t.formFields[1][f].width, expected[f].width) << f;
        EXPECT_EQ(t.formFields[1][f].lookupList, expected[f].list) << f;
        EXPECT_EQ(t.formFields[1][f].value, std::string(expected[f].width, ' ')) << f;
    }
    for (const char* key : {"1b", "0d", "5000", "4800", "4900", "5100", "4f00", "3c00", "3e00"})
        EXPECT_NE(("," + p1.exitKeys + ",").find(std::string(",") + key + ","), std::string::npos) << key;

    const FormPanel& p2 = t.formPanels[2];
    ASSERT_EQ(p2.fieldCount, 1);
    const FormField& confirm = t.formFields[2][1];
    EXPECT_EQ(confirm.width, 1);
    EXPECT_EQ(confirm.choices.rfind("|S,", 0), 0u);  // S first: a blank answer shows Yes
    EXPECT_NE(confirm.choices.find("|N,"), std::string::npos);

    const LookupList& list = t.lookupLists[1];
    EXPECT_EQ(list.dataFile, 506);
    EXPECT_EQ(list.keyNumber, 0);
    EXPECT_EQ(list.searchPanel, 0);
    EXPECT_EQ(list.nestedList, 0);
    EXPECT_GE(list.boxTop, 1);
    EXPECT_LE(list.boxBottom, 25);
    EXPECT_GE(list.boxLeft, 1);
    EXPECT_LE(list.boxRight, 80);
    EXPECT_GE(list.boxRight - list.boxLeft - 1, 35);  // three digits, two blanks, 30 letters of name
    EXPECT_LE(static_cast<int>(list.heading.size()), list.boxRight - list.boxLeft - 1);
}

// In every language each field, with its label, value and cleared area (and the
// choice markers on both sides of a choice), lies inside its panel's window, and
// the windows fit an 80 x 25 screen.
TEST_F(InstalledFormTest, LayoutFitsTheScreenInEveryLanguage) {
    for (const char* language : {"CAT", "SPA", "GLG", "OCI"}) {
        sessionSettings.languageCode = language;
        ASSERT_EQ(loadForm("RPTREBUT"), "") << language;
        for (int p = 1; p <= formTables.panelCount; ++p) {
            const FormPanel& panel = formTables.formPanels[p];
            ASSERT_GE(panel.frameTop, 1);
            ASSERT_LE(panel.frameBottom, 25);
            ASSERT_GE(panel.frameLeft, 1);
            ASSERT_LE(panel.frameRight, 80);
            const int rows = panel.frameBottom - panel.frameTop - 1;
            const int columns = panel.frameRight - panel.frameLeft - 1;
            for (int f = 1; f <= panel.fieldCount; ++f) {
                const FormField& field = formTables.formFields[p][f];
                const bool choice = !field.choices.empty();
                const int valueColumn = field.labelColumn + static_cast<int>(field.label.size());
                EXPECT_GE(field.row, 2) << language << " panel " << p << " field " << f;  // row 1: the title
                EXPECT_LE(field.row, rows) << language << " panel " << p << " field " << f;
                EXPECT_GE(field.labelColumn, 1);
                EXPECT_LE(valueColumn + field.width + field.clearWidth + (choice ? 1 : 0) - 1, columns)
                    << language << " panel " << p << " field " << f;
                if (choice) {
                    EXPECT_EQ(field.label.back(), ' ') << "room for the left marker";
                }
            }
        }
        // The values of panel 1 line up in one column in every language.
        for (int f = 1; f <= 4; ++f)
            EXPECT_EQ(formTables.formFields[1][f].label.size(), formTables.formFields[1][1].label.size()) << language;
    }
    // Panel 2 does not cover panel 1.
    EXPECT_GT(formTables.formPanels[2].frameTop, formTables.formPanels[1].frameBottom);
}

TEST_F(InstalledFormTest, EveryTranslatedTextHasARecord) {
    ASSERT_EQ(loadForm("RPTREBUT"), "");
    std::vector<std::string> texts;
    for (int p = 1; p <= formTables.panelCount; ++p)
        for (int f = 1; f <= formTables.formPanels[p].fieldCount; ++f) {
            texts.push_back(formTables.formFields[p][f].label);
            if (!formTables.formFields[p][f].choices.empty()) texts.push_back(formTables.formFields[p][f].choices);
        }
    for (int l = 1; l <= formTables.lookupCount; ++l) texts.push_back(formTables.lookupLists[l].heading);
    for (const char* report : {"P\xB7GINA ", "RELACI\xE0 DE REBUTS DE VERTICAL EMESOS ENTRE ", " I ",
                               "CORRESPONENTS A LA FINCA ", "REBUT", "DEPART.", "TITULAR", "D.EXPED.", "D.COBR.",
                               "    COBRAT", "   PENDENT", "TOTAL"})
        texts.push_back(report);
    EXPECT_EQ(cp850("PÀGINA "), texts[texts.size() - 12]);

    const auto records = languageRecords();
    for (const auto& text : texts) {
        const auto found = std::find_if(records.begin(), records.end(), [&](const auto& r) { return r[0] == text; });
        ASSERT_NE(found, records.end()) << text;
        for (int i = 1; i < 4; ++i) EXPECT_FALSE((*found)[i].empty()) << text << " item " << i + 1;
        // Choice codes stay the same: the panel check asks for "S".
        if (text[0] == '|') {
            for (int i = 1; i < 4; ++i) {
                EXPECT_EQ((*found)[i].rfind("|S,", 0), 0u) << (*found)[i];
                EXPECT_NE((*found)[i].find("|N,"), std::string::npos) << (*found)[i];
            }
        }
        // The amounts' headings stay right-aligned over the amounts.
        if (text == "    COBRAT" || text == "   PENDENT") {
            for (int i = 1; i < 4; ++i) EXPECT_EQ((*found)[i].size(), text.size()) << (*found)[i];
        }
    }
}

TEST_F(InstalledFormTest, TranslationsReachTheForm) {
    struct Case { const char* language; std::string firstLabel; std::string choices; };
    const std::vector<Case> cases = {
        {"CAT", cp850("Data d'emissió inicial .......: "), cp850("|S,Sí|N,No")},
        {"SPA", cp850("Fecha de emisión inicial .....: "), cp850("|S,Sí|N,No")},
        {"GLG", cp850("Data de emisión inicial ......: "), "|S,Si|N,Non"},
        {"OCI", cp850("Data d'emission iniciau ......: "), cp850("|S,Òc|N,Non")},
    };
    for (const auto& c : cases) {
        languageFileState = LanguageFileState{};
        sessionSettings.languageCode = c.language;
        ASSERT_EQ(loadForm("RPTREBUT"), "");
        EXPECT_EQ(formTables.formFields[1][1].label, c.firstLabel) << c.language;
        EXPECT_EQ(formTables.formFields[2][1].choices, c.choices) << c.language;
    }
}

TEST(InstalledTexts, HelpFilesAreScreenLineRecords) {
    for (const char* topic : {"RPTREBUT", "KORPANEL"}) {
        const std::string contents = testsupport::readFile(installedRoot() + "AJUDA/" + topic + ".HLP");
        ASSERT_FALSE(contents.empty()) << topic;
        ASSERT_EQ(contents.size() % 80, 0u) << topic;
        for (size_t at = 0; at < contents.size(); at += 80) {
            const std::string record = contents.substr(at, 80);
            int switches[32] = {};
            for (unsigned char c : record) {
                if (c == 30 || c == 31 || c == 16)
                    ++switches[c];
                else if (c < 32)
                    ADD_FAILURE() << topic << " line " << at / 80 + 1 << ": control byte " << int(c);
            }
            const size_t last = record.find_last_not_of(' ');
            int shown = 0;
            for (size_t i = 0; last != std::string::npos && i <= last; ++i)
                if (record[i] != 30 && record[i] != 31 && record[i] != 16) ++shown;
            EXPECT_LE(shown, 76) << topic << " line " << at / 80 + 1;
            // Every switched-on colour is switched off on the same line.
            EXPECT_EQ(switches[30] % 2, 0) << topic << " line " << at / 80 + 1;
            EXPECT_EQ(switches[16] % 2, 0) << topic << " line " << at / 80 + 1;
        }
    }
}

TEST(InstalledTexts, UserSettings) {
    const std::string vesk = installedRoot() + "Vesk.ini";
    EXPECT_EQ(getIniValue(vesk, "Usuari", "Idioma"), "CAT");
    EXPECT_EQ(getIniValue(vesk, "Usuari", "DecCaracter"), "'");
    EXPECT_EQ(getIniValue(vesk, "Usuari", "MilCaracter"), ".");
    EXPECT_EQ(getIniValue(vesk, "Usuari", "DatCaracter"), "/");
    EXPECT_EQ(getIniValue(vesk, "Usuari", "DatOrdre"), "DMA");
    EXPECT_NE(testsupport::readFile(vesk).find("\r\n"), std::string::npos);
}

}  // namespace
