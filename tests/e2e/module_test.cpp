// The module end to end: the real RPTREBUT in a terminal (tmux, 80 x 25) on a demo
// installation laid out by "zelutil demo", with session files written here and a
// stand-in print program that keeps the print file it was started for.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "tests/support/module_session.h"
#include "tests/support/test_support.h"
#include "tests/support/tmux_session.h"

namespace {

using testsupport::cp850;
using testsupport::TempDir;
using testsupport::TmuxSession;

using testsupport::shellQuoted;
constexpr const char* today = testsupport::moduleToday;

int runCommand(const std::string& command) { return std::system(command.c_str()); }

// One demo installation for all tests; the module only reads it.
class ModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = std::make_unique<TempDir>();
        demoStatus = testsupport::makeDemoInstallation(*shared / "inst", 12, 5);
    }
    static void TearDownTestSuite() { shared.reset(); }

    void SetUp() override {
        ASSERT_EQ(demoStatus, 0) << "zelutil demo failed";
        root = *shared / "inst/";
        session = dir / "session/";
        out = dir / "out/";
        printBin = dir / "bin/";
        for (const std::string& d : {session, out, printBin}) ASSERT_EQ(runCommand("mkdir -p " + shellQuoted(d)), 0);
        writeSession("CAT");
        // The print program: keeps a copy of the print file and notes that it ran.
        testsupport::writePrintProgram(printBin, "cp " + shellQuoted(session + "zelprint.tmp") + " " +
                                                     shellQuoted(out + "printed.tmp") + "\necho run >> " +
                                                     shellQuoted(out + "runs"));
    }

    void writeSession(const std::string& language) {
        testsupport::writeSessionFiles(session, language, "[Empresa]\r\nNom=Finques de Prova, SL\r\n",
                                       "[Pantalla]\r\nCol0=15010701000315010007\r\n");
    }

    TmuxSession::Options options(const std::string& installation) const {
        return testsupport::moduleOptions(installation, session, printBin);
    }

    // Starts the module; echo $$ before exec leaves the module's process id behind.
    void start(const std::string& installation = "") {
        const std::string command =
            "echo $$ > " + shellQuoted(out + "pid") + "; exec " + shellQuoted(testsupport::binDir() + "/RPTREBUT") + " x y";
        ASSERT_TRUE(tmux.start(command, options(installation.empty() ? root : installation))) << tmux.error();
    }
    void startOnForm() {
        start();
        ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial")) << tmux.lastScreen();
    }
    void send(std::initializer_list<std::string_view> keys) { ASSERT_TRUE(tmux.sendKeys(keys)); }
    void type(std::string_view text) { ASSERT_TRUE(tmux.sendText(text)); }
    void expectExitZero() { EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState() << "\n" << tmux.lastScreen(); }
    // Fills panel 1 (Tab moves on; Enter leaves the panel from any field).
    void fillRanges(const std::string& from, const std::string& to, const std::string& first, const std::string& last) {
        type(from);
        send({"Tab"});
        type(to);
        send({"Tab"});
        type(first);
        send({"Tab"});
        type(last);
        send({"Enter"});
    }
    void endBySignal(int sig) {
        const std::string pid = testsupport::readFile(out + "pid");
        ASSERT_FALSE(pid.empty());
        ASSERT_EQ(runCommand("kill -" + std::to_string(sig) + " " + pid), 0);
        EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState();
        EXPECT_FALSE(testsupport::fileExists(session + "zelprint.tmp"));
        // The form's window was open; the stack file did not exist before the module.
        EXPECT_FALSE(testsupport::fileExists(session + "WinPush.tmp"));
    }
    bool printed() const { return testsupport::fileExists(out + "runs"); }

    static std::unique_ptr<TempDir> shared;
    static int demoStatus;
    TempDir dir;
    std::string root, session, out, printBin;
    TmuxSession tmux;
};

std::unique_ptr<TempDir> ModuleTest::shared;
int ModuleTest::demoStatus = -1;

TEST_F(ModuleTest, EscapeOnTheFirstFormEndsWithoutPrinting) {
    startOnForm();
    // The initial values: the session date and the codes 1 and 999 (field 1 is
    // being edited and starts blank).
    EXPECT_NE(tmux.capture().find("Data d'emissió final .........: 15/3/2025"), std::string::npos) << tmux.lastScreen();
    EXPECT_NE(tmux.lastScreen().find("Codi de finca final ..........: 999"), std::string::npos);
    EXPECT_NE(tmux.lastScreen().find("Relació de rebuts"), std::string::npos);
    send({"Escape"});
    expectExitZero();
    EXPECT_FALSE(testsupport::fileExists(session + "zelprint.tmp"));
    EXPECT_FALSE(printed());
}

TEST_F(ModuleTest, FullReportIsPrintedAndTheFormComesBackWithTheValues) {
    startOnForm();
    fillRanges("1/2/25", "28/2/25", "2", "11");
    ASSERT_TRUE(tmux.waitFor("Voleu imprimir la relació?")) << tmux.lastScreen();
    send({"Enter"});  // "Sí" is the first answer
    ASSERT_TRUE(tmux.waitForGone("Voleu imprimir")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.waitFor("Codi de finca final ..........: 11")) << tmux.lastScreen();
    EXPECT_TRUE(printed());
    EXPECT_NE(tmux.lastScreen().find("Data d'emissió final .........: 28/2/2025"), std::string::npos);
    EXPECT_NE(tmux.lastScreen().find("Codi de finca inicial ........: 2"), std::string::npos);

    // The same report from the batch command of the same session is the oracle.
    const std::string report = testsupport::readFile(out + "printed.tmp");
    const std::string batchSession = dir / "batch/";
    ASSERT_EQ(runCommand("mkdir -p " + shellQuoted(batchSession) + " && cp " + shellQuoted(session) + "*.ini " +
                         shellQuoted(batchSession)),
              0);
    ASSERT_EQ(runCommand("ZELROOT=" + shellQuoted(root) + " ZELTMP=" + shellQuoted(batchSession) + " ZEL_FAKE_TODAY=" + today +
                         " " + shellQuoted(testsupport::binDir() + "/zelutil") +
                         " report --from 1/2/25 --to 28/2/25 --first 2 --last 11 >/dev/null"),
              0);
    EXPECT_EQ(report, testsupport::readFile(batchSession + "zelprint.tmp"));
    EXPECT_NE(report.find("DEVICEPANTALLA"), std::string::npos);
    EXPECT_NE(report.find(cp850("RELACIÓ DE REBUTS DE VERTICAL EMESOS ENTRE")), std::string::npos);
    EXPECT_NE(report.find("1/2/2025"), std::string::npos);
    EXPECT_NE(report.find("002"), std::string::npos);
    EXPECT_EQ(report.find(cp850("FINCA 001")), std::string::npos);
    EXPECT_EQ(report.find(cp850("FINCA 012")), std::string::npos);

    send({"Escape"});
    expectExitZero();
}

TEST_F(ModuleTest, CrossedRangeReturnsToFieldOne) {
    startOnForm();
    fillRanges("15/3/25", "1/3/25", "1", "9");
    // No confirmation: the cursor is on field 1 again, so this date lands there.
    type("2/3/25");
    send({"Tab"});
    ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial .......: 2/3/2025")) << tmux.lastScreen();
    EXPECT_EQ(tmux.lastScreen().find("Voleu imprimir"), std::string::npos);
    send({"Escape"});
    send({"Escape"});
    expectExitZero();
    EXPECT_FALSE(printed());
}

TEST_F(ModuleTest, ImpossibleDateIsRefusedAndTheFieldStays) {
    startOnForm();
    type("31/02/2025");
    send({"Tab"});
    // Still in field 1, holding the rejected text: overwrite its first digit.
    type("0");
    send({"Tab"});
    ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial .......: 1/2/2025")) << tmux.lastScreen();
    send({"Escape"});
    send({"Escape"});
    expectExitZero();
}

TEST_F(ModuleTest, AnswerOtherThanSReturnsToTheForm) {
    startOnForm();
    fillRanges("1/3/25", "15/3/25", "1", "5");
    ASSERT_TRUE(tmux.waitFor("Voleu imprimir la relació?")) << tmux.lastScreen();
    send({"Right"});
    ASSERT_TRUE(tmux.waitFor("◄No►")) << tmux.lastScreen();
    send({"Enter"});
    ASSERT_TRUE(tmux.waitForGone("Voleu imprimir")) << tmux.lastScreen();
    send({"Escape"});
    expectExitZero();
    EXPECT_FALSE(printed());
    EXPECT_FALSE(testsupport::fileExists(session + "zelprint.tmp"));
}

TEST_F(ModuleTest, HelpKeyShowsTheHelpAndEscapeGivesTheScreenBack) {
    startOnForm();
    type("1/3/25");
    send({"Tab"});
    ASSERT_TRUE(tmux.waitFor("1/3/2025")) << tmux.lastScreen();
    const std::string before = tmux.capture();
    send({"F1"});
    ASSERT_TRUE(tmux.waitFor("Aquest programa imprimeix")) << tmux.lastScreen();
    send({"Escape"});
    ASSERT_TRUE(tmux.waitForGone("Aquest programa imprimeix")) << tmux.lastScreen();
    EXPECT_EQ(tmux.capture(), before);
    send({"Escape"});
    send({"Escape"});
    expectExitZero();
}

TEST_F(ModuleTest, SpanishLabels) {
    writeSession("SPA");
    start();
    ASSERT_TRUE(tmux.waitFor("Fecha de emisión inicial .....:")) << tmux.lastScreen();
    EXPECT_NE(tmux.lastScreen().find("Código de finca final ........: 999"), std::string::npos);
    fillRanges("1/3/25", "15/3/25", "1", "5");
    ASSERT_TRUE(tmux.waitFor("¿Desea imprimir la relación?")) << tmux.lastScreen();
    send({"Escape"});
    send({"Escape"});
    expectExitZero();
}

TEST_F(ModuleTest, MissingDataFolderAndDictionaryStopAfterAKey) {
    // An installation with the texts but neither DADES nor ddf.
    const std::string bare = dir / "bare/";
    ASSERT_EQ(runCommand("mkdir -p " + shellQuoted(bare) + " && cp -r " + shellQuoted(root + "FORMS") + " " +
                         shellQuoted(root + "LOCALE") + " " + shellQuoted(root + "AJUDA") + " " + shellQuoted(bare)),
              0);
    start(bare);
    ASSERT_TRUE(tmux.waitFor("NO ES POT ACCEDIR AL FITXER")) << tmux.lastScreen();
    EXPECT_NE(tmux.lastScreen().find("PropietV"), std::string::npos) << tmux.lastScreen();
    EXPECT_FALSE(tmux.exited());
    send({"Enter"});
    expectExitZero();
}

TEST_F(ModuleTest, UnusableFormFileStopsWithItsMessageAfterAKey) {
    struct Case {
        const char* name;
        std::string form;
        const char* message;
    } cases[] = {
        // The header promises two panels of four fields; the file ends inside panel 1.
        {"cut", "2,4\r\n\"1b,0d\",4,0,3,1,12,80\r\n3,19,\"Data\",10\r\n", "FITXER DE FORMULARI"},
        // A whole form, but without the confirmation panel the report needs.
        {"one panel",
         "1,4\r\n\"1b,0d\",4,0,3,1,12,80\r\n3,19,\"A: \",10,0,0,1,1,0,\"\"\r\n4,19,\"B: \",10,0,0,1,1,0,\"\"\r\n"
         "6,19,\"C: \",3,0,0,1,2,0,\"\"\r\n7,19,\"D: \",3,0,0,1,2,0,\"\"\r\n0\r\n",
         "NO TÉ ELS PANELLS DE LA RELACIÓ"},
    };
    for (const Case& c : cases) {
        const std::string broken = dir / (std::string("broken ") + c.name + "/");
        ASSERT_EQ(runCommand("mkdir -p " + shellQuoted(broken) + " && cp -r " + shellQuoted(root + ".") + " " +
                             shellQuoted(broken)),
                  0);
        testsupport::writeFile(broken + "FORMS/RPTREBUT.JPN", c.form);
        TmuxSession t;
        ASSERT_TRUE(t.start(shellQuoted(testsupport::binDir() + "/RPTREBUT"), options(broken))) << t.error();
        ASSERT_TRUE(t.waitFor(c.message)) << c.name << "\n" << t.lastScreen();
        EXPECT_NE(t.lastScreen().find("RPTREBUT.JPN"), std::string::npos) << t.lastScreen();
        EXPECT_FALSE(t.exited());
        ASSERT_TRUE(t.sendKeys({"Escape"}));
        EXPECT_EQ(t.waitForExit(), 0) << c.name << " " << t.paneState();
    }
    EXPECT_FALSE(printed());
}

TEST_F(ModuleTest, PrintFileThatCannotBeWrittenIsReportedAndNotPrinted) {
    // A folder where the print file should go: it can be neither created nor written.
    ASSERT_EQ(runCommand("mkdir -p " + shellQuoted(session + "zelprint.tmp") + " && touch " +
                         shellQuoted(session + "zelprint.tmp/keep")),
              0);
    startOnForm();
    fillRanges("1/3/25", "15/3/25", "1", "3");
    ASSERT_TRUE(tmux.waitFor("Voleu imprimir la relació?")) << tmux.lastScreen();
    send({"Enter"});
    ASSERT_TRUE(tmux.waitFor("NO S'HA POGUT ESCRIURE SENCER EL FITXER D'IMPRESSIÓ")) << tmux.lastScreen();
    send({"Enter"});
    ASSERT_TRUE(tmux.waitFor("Codi de finca final ..........: 3")) << tmux.lastScreen();
    send({"Escape"});
    expectExitZero();
    EXPECT_FALSE(printed());
    EXPECT_TRUE(testsupport::fileExists(session + "zelprint.tmp/keep"));
}

TEST_F(ModuleTest, UnstartablePrintProgramIsReportedAndTheFormComesBack) {
    ::unlink((printBin + "ZELPRINT").c_str());
    startOnForm();
    fillRanges("1/3/25", "15/3/25", "1", "3");
    ASSERT_TRUE(tmux.waitFor("Voleu imprimir la relació?")) << tmux.lastScreen();
    send({"Enter"});
    ASSERT_TRUE(tmux.waitFor("NO ES POT EXECUTAR EL PROGRAMA D'IMPRESSIÓ")) << tmux.lastScreen();
    send({"Enter"});
    ASSERT_TRUE(tmux.waitForGone("NO ES POT EXECUTAR")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.waitFor("Codi de finca final ..........: 3")) << tmux.lastScreen();
    send({"Escape"});
    expectExitZero();
}

// The terminal closing (SIGHUP) or the session being ended (SIGTERM) while the
// form waits: the module ends with code 0 and leaves no print file.
TEST_F(ModuleTest, TerminalClosedEndsWithCodeZero) {
    startOnForm();
    endBySignal(SIGHUP);
}

TEST_F(ModuleTest, SessionEndedEndsWithCodeZero) {
    startOnForm();
    endBySignal(SIGTERM);
}

TEST_F(ModuleTest, EmptyRootWorksFromTheCurrentFolder) {
    TmuxSession::Options o = options("");
    o.workDir = root;
    ASSERT_TRUE(tmux.start("exec " + shellQuoted(testsupport::binDir() + "/RPTREBUT"), o)) << tmux.error();
    ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial")) << tmux.lastScreen();
    send({"Escape"});
    expectExitZero();
}

TEST_F(ModuleTest, WithoutATerminalItSaysSoAndEndsWithCodeZero) {
    const std::string command = "ZELROOT=" + shellQuoted(root) + " ZELTMP=" + shellQuoted(session) + " setsid -w " +
                                shellQuoted(testsupport::binDir() + "/RPTREBUT") + " </dev/null >/dev/null 2>" +
                                shellQuoted(out + "err");
    const int status = runCommand(command);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(testsupport::readFile(out + "err").find("RPTREBUT: cal un terminal"), std::string::npos);
}

}  // namespace
