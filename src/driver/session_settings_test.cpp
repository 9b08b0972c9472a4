#include "driver/session_settings.h"

#include "format/edit_masks.h"
#include "format/text_utils.h"
#include "platform/os/os.h"
#include "platform/term/console.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// Every variable the session reads, cleared unless a test sets it.
class SessionSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_ = std::make_unique<ScopedEnv>(std::initializer_list<std::pair<const char*, const char*>>{
            {"ZELROOT", root_.path().c_str()},
            {"ZELEXE", "/opt/zel/bin/"},
            {"ZELTMP", tmp_.path().c_str()},
            {"TERM", nullptr},
            {"HTTP_USER_AGENT", nullptr},
            {"HTTP_ACCEPT", nullptr},
            {"WINDIR", nullptr},
            {"SYSTEMROOT", nullptr},
        });
    }
    void TearDown() override { term::setStateFolder(""); }

    void set(const char* name, const char* value) { env_->set(name, value); }
    void session(const std::string& text) { writeFile(tmp_ / "Sessio.ini", text); }
    void terminal(const std::string& text) { writeFile(tmp_ / "VeskTerm.ini", text); }

    TempDir root_;
    TempDir tmp_;
    std::unique_ptr<ScopedEnv> env_;
};

TEST_F(SessionSettingsTest, EverythingFromTheFiles) {
    session("[Menu]\r\nTitol=REBUTS\r\nNomMenu=RPTREBUT\r\nMenu=KOR\r\nChnMenu=KOR2\r\nOperador=ANNA\r\n"
            "ZelTipOper=3\r\n[Terminal]\r\nDir=T:\\TERM01\r\n[Empresa]\r\nNom=FINQUES " "\x80" "ASALS, S.L.\r\n");
    terminal("[Pantalla]\r\nSeleccio=1\r\nCol1=01020304050607080910\r\n"
             "[Sistema]\r\nData=20240315\r\nSortida=LPT1\r\nIdioma=SPA\r\n");
    loadSessionSettings();
    const SessionSettings& s = sessionSettings;
    EXPECT_EQ(s.rootDir, root_.path());
    EXPECT_EQ(s.exeDir, "/opt/zel/bin/");
    EXPECT_EQ(s.tempDir, tmp_.path());
    EXPECT_EQ(s.terminalDir, "T:\\TERM01\\");
    EXPECT_EQ(s.menuTitle, " REBUTS ");
    EXPECT_EQ(s.helpTopic, "RPTREBUT");
    EXPECT_EQ(s.menuName, "KOR");
    EXPECT_EQ(s.chainMenu, "KOR2");
    EXPECT_EQ(s.operatorName, "ANNA");
    EXPECT_EQ(s.operatorType, 3);
    EXPECT_EQ(s.firmName, "FINQUES \x80" "ASALS, S.L.");
    EXPECT_EQ(s.sessionDate, packDigits("20240315"));
    EXPECT_EQ(s.outputDevice, "LPT1");
    EXPECT_EQ(s.languageCode, "SPA");
    EXPECT_EQ(s.runMode, "DOS");
    const int expected[5][2] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.colorTable[i].foreground, expected[i][0]) << i;
        EXPECT_EQ(s.colorTable[i].background, expected[i][1]) << i;
    }
}

TEST_F(SessionSettingsTest, NothingConfigured) {
    loadSessionSettings();
    const SessionSettings& s = sessionSettings;
    EXPECT_EQ(s.menuTitle, "  ");
    EXPECT_EQ(s.helpTopic, "");
    EXPECT_EQ(s.operatorType, 0);
    EXPECT_EQ(s.firmName, "");
    EXPECT_EQ(s.terminalDir, "");
    EXPECT_EQ(s.sessionDate, "");
    EXPECT_EQ(s.outputDevice, "");
    EXPECT_EQ(s.languageCode, "   ");
    const int defaults[5][2] = {{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.colorTable[i].foreground, defaults[i][0]) << i;
        EXPECT_EQ(s.colorTable[i].background, defaults[i][1]) << i;
    }
}

TEST_F(SessionSettingsTest, TemporaryFolderSeparator) {
    struct Case { const char* zeltmp; std::string expected; };
    const std::vector<Case> cases = {
        {"C:", "C:"},
        {"C:\\TMP\\", "C:\\TMP\\"},
        {"/tmp/zel/", "/tmp/zel/"},
        {"C:\\TMP", "C:\\TMP\\"},
        {"tmp", "tmp\\"},
    };
    for (const auto& c : cases) {
        set("ZELTMP", c.zeltmp);
        loadSessionSettings();
        EXPECT_EQ(sessionSettings.tempDir, c.expected) << c.zeltmp;
    }
}

TEST_F(SessionSettingsTest, TerminalFolderAndTheFallBackOfTheTemporaryFolder) {
    TempDir terminalFolder;
    const std::string withoutSlash = terminalFolder.path().substr(0, terminalFolder.path().size() - 1);
    struct Case { std::string dirKey; std::string term; std::string terminalDir; };
    const std::vector<Case> cases = {
        {"T:\\TERM01", terminalFolder.path(), "T:\\TERM01\\"},
        {"T:", "", "T:"},
        {"", terminalFolder.path(), terminalFolder.path()},
        {"", withoutSlash, withoutSlash + "\\"},
        {"", "xterm-256color", ""},  // a terminal type, not a folder
        {"", "", ""},
    };
    for (const auto& c : cases) {
        session("[Terminal]\r\nDir=" + c.dirKey + "\r\n");
        set("TERM", c.term.c_str());
        loadSessionSettings();
        EXPECT_EQ(sessionSettings.terminalDir, c.terminalDir) << c.dirKey << " / " << c.term;
        EXPECT_EQ(sessionSettings.tempDir, tmp_.path());
    }
}

TEST_F(SessionSettingsTest, EmptyTemporaryFolderReadsSessionHereAndTerminalFromTerminalFolder) {
    TempDir here;
    TempDir terminalFolder;
    writeFile(here / "Sessio.ini", "[Menu]\r\nTitol=AQUI\r\n[Terminal]\r\nDir=" + terminalFolder.path() + "\r\n");
    writeFile(terminalFolder / "VeskTerm.ini", "[Sistema]\r\nSortida=PANTALLA\r\n");
    writeFile(tmp_ / "Sessio.ini", "[Menu]\r\nTitol=ALTRE\r\n");
    set("ZELTMP", "");
    const std::string before = os::currentDirectory();
    ASSERT_TRUE(os::changeDirectory(here.path()));
    loadSessionSettings();
    os::changeDirectory(before);
    EXPECT_EQ(sessionSettings.menuTitle, " AQUI ");
    EXPECT_EQ(sessionSettings.tempDir, terminalFolder.path());
    EXPECT_EQ(sessionSettings.outputDevice, "PANTALLA");
}

TEST_F(SessionSettingsTest, ColourStrings) {
    struct Case { const char* what; std::string file; std::vector<int> expected; };
    const std::vector<Case> cases = {
        {"selection 2", "Seleccio=2\r\nCol0=11111111111111111111\r\nCol2=01020304050607080910\r\n",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"selection 2 missing: defaults, not Col0", "Seleccio=2\r\nCol0=11111111111111111111\r\n",
         {15, 0, 7, 0, 0, 7, 0, 7, 0, 7}},
        {"no selection reads Col0", "Col0=02030405060708091011\r\n", {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {"non-numeric selection reads Col0", "Seleccio=x\r\nCol0=02030405060708091011\r\n",
         {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {"short string", "Col0=1500070\r\n", {15, 0, 7, 0, 0, 0, 0, 0, 0, 0}},
        {"non-numeric pieces", "Col0=AB07xx0015000700070\r\n", {0, 7, 0, 0, 15, 0, 7, 0, 7, 0}},
    };
    for (const auto& c : cases) {
        terminal("[Pantalla]\r\n" + c.file);
        loadSessionSettings();
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(sessionSettings.colorTable[i].foreground, c.expected[2 * i]) << c.what << " slot " << i;
            EXPECT_EQ(sessionSettings.colorTable[i].background, c.expected[2 * i + 1]) << c.what << " slot " << i;
        }
    }
}

TEST_F(SessionSettingsTest, Language) {
    struct Case { std::string terminalIdioma; std::string veskIdioma; std::string expected; };
    const std::vector<Case> cases = {
        {"SPA", "GLG", "SPA"},
        {"", "GLG", "GLG"},
        {"   ", "OCI", "OCI"},
        {"ES", "GLG", "ES "},       // not blank: Vesk.ini is not consulted
        {"CATALA", "", "CAT"},
        {"", "", "   "},
        {"", "GALEGO", "GAL"},
    };
    for (const auto& c : cases) {
        terminal("[Sistema]\r\nIdioma=" + c.terminalIdioma + "\r\n");
        writeFile(root_ / "Vesk.ini", "[Usuari]\r\nIdioma=" + c.veskIdioma + "\r\n");
        loadSessionSettings();
        EXPECT_EQ(sessionSettings.languageCode, c.expected) << "'" << c.terminalIdioma << "' '" << c.veskIdioma << "'";
    }
}

TEST_F(SessionSettingsTest, RunMode) {
    struct Case { const char* agent; const char* accept; const char* windir; const char* systemroot; const char* mode; };
    const std::vector<Case> cases = {
        {"Mozilla", nullptr, nullptr, nullptr, "CGI"},
        {nullptr, "text/html", "C:\\WINDOWS", nullptr, "CGI"},
        {"", "text/html", "C:\\WINDOWS", "C:\\WINDOWS", "CGI"},
        {nullptr, nullptr, "C:\\WINDOWS", nullptr, "WIN"},
        {nullptr, "", nullptr, "C:\\WINNT", "WIN"},
        {nullptr, nullptr, nullptr, nullptr, "DOS"},
        {"", "", "", "", "DOS"},
    };
    for (const auto& c : cases) {
        set("HTTP_USER_AGENT", c.agent);
        set("HTTP_ACCEPT", c.accept);
        set("WINDIR", c.windir);
        set("SYSTEMROOT", c.systemroot);
        loadSessionSettings();
        EXPECT_EQ(sessionSettings.runMode, c.mode);
    }
}

TEST_F(SessionSettingsTest, OperatorTypeAndFirmName) {
    struct Case { std::string file; int16_t operatorType; std::string firm; };
    const std::vector<Case> cases = {
        {"[Menu]\r\nZelTipOper=12\r\n[Empresa]\r\nNom=ADMINISTRACIONS PUIG\r\n", 12, "ADMINISTRACIONS PUIG"},
        {"[Menu]\r\nZelTipOper=abc\r\n", 0, ""},
        {"[Menu]\r\nZelTipOper=99999\r\n", 0, ""},
        {"[Menu]\r\nZelTipOper= 7x\r\n[Empresa]\r\nNom=\"  LLUNA  \"\r\n", 7, "  LLUNA  "},
        {"[Empresa]\r\nNom=A\r\n[Empresa]\r\nNom=B\r\n", 0, "A"},
    };
    for (const auto& c : cases) {
        session(c.file);
        loadSessionSettings();
        EXPECT_EQ(sessionSettings.operatorType, c.operatorType) << c.file;
        EXPECT_EQ(sessionSettings.firmName, c.firm) << c.file;
    }
}

TEST_F(SessionSettingsTest, InsertToggleLivesInTheTemporaryFolder) {
    loadSessionSettings();
    term::setInsertToggle(true);
    EXPECT_TRUE(testsupport::fileExists(tmp_ / "KbdState.tmp"));
    EXPECT_TRUE(term::insertToggle());
}

TEST_F(SessionSettingsTest, PrimaryCurrencyIsTheEuro) {
    numberFormatState = NumberFormatState{};
    loadSessionSettings();
    EXPECT_EQ(numberFormatState.primaryCurrency, "E");
}

}  // namespace
