// The aids of every input on the real RPTREBUT in a terminal (tmux, 80 x 25), on a
// demo installation laid out by "zelutil demo": the property list of F4, the Alt+C
// calendar and the Alt+X calculator, each handing its result to the form's field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "tests/support/module_session.h"
#include "tests/support/test_support.h"
#include "tests/support/tmux_session.h"

namespace {

using testsupport::TempDir;
using testsupport::TmuxSession;

using testsupport::shellQuoted;

class PopupsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = std::make_unique<TempDir>();
        demoStatus = testsupport::makeDemoInstallation(*shared / "inst", 12, 5);
    }
    static void TearDownTestSuite() { shared.reset(); }

    void SetUp() override {
        ASSERT_EQ(demoStatus, 0) << "zelutil demo failed";
        session = dir / "session/";
        ASSERT_EQ(std::system(("mkdir -p " + shellQuoted(session)).c_str()), 0);
        // The calculator keeps its file in the terminal's folder: the session folder here.
        testsupport::writeSessionFiles(session, "CAT", "[Terminal]\r\nDir=" + session + "\r\n",
                                       "[Pantalla]\r\nCol0=15010701000315010007\r\n");
        ASSERT_TRUE(tmux.start(shellQuoted(testsupport::binDir() + "/RPTREBUT"),
                               testsupport::moduleOptions(*shared / "inst/", session, session)))
            << tmux.error();
        ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial")) << tmux.lastScreen();
    }

    void send(std::initializer_list<std::string_view> keys) { ASSERT_TRUE(tmux.sendKeys(keys)); }
    void see(std::string_view text) { ASSERT_TRUE(tmux.waitFor(text)) << text << "\n" << tmux.lastScreen(); }
    // Esc goes back to the first field and leaves the form there: the module ends.
    void quit() {
        send({"Escape"});
        ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial .......: 15/3/2025")) << tmux.lastScreen();
        send({"Escape"});
        EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState() << "\n" << tmux.lastScreen();
        EXPECT_FALSE(testsupport::fileExists(session + "Browse.tmp"));
        EXPECT_FALSE(testsupport::fileExists(session + "WinPush.tmp"));
    }

    static std::unique_ptr<TempDir> shared;
    static int demoStatus;
    TempDir dir;
    std::string session;
    TmuxSession tmux;
};

std::unique_ptr<TempDir> PopupsTest::shared;
int PopupsTest::demoStatus = -1;

TEST_F(PopupsTest, PropertyListPutsThePickedCodeInTheField) {
    send({"Tab"});
    send({"Tab"});
    send({"F4"});
    see("╔CODI NOM DE LA FINCA═");
    see("║012  ");
    send({"Down"});
    send({"Down"});
    send({"Enter"});
    ASSERT_TRUE(tmux.waitForGone("CODI NOM DE LA FINCA")) << tmux.lastScreen();
    see("Codi de finca inicial ........: 003");
    // The pick moved on to the last field; Esc there leaves the others as they are.
    send({"Escape"});
    ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial .......: 15/3/2025")) << tmux.lastScreen();
    EXPECT_NE(tmux.lastScreen().find("Codi de finca inicial ........: 003"), std::string::npos);
    send({"Escape"});
    EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState() << "\n" << tmux.lastScreen();
    EXPECT_FALSE(testsupport::fileExists(session + "Browse.tmp"));
}

TEST_F(PopupsTest, CalendarTypesThePickedDate) {
    send({"M-c"});
    see("─ 2025 ─");
    see("MARÇ");
    send({"Right"});
    send({"Right"});
    send({"Down"});
    send({"f"});
    ASSERT_TRUE(tmux.waitForGone("MARÇ")) << tmux.lastScreen();
    see("Data d'emissió inicial .......: 24/3/2025");
    send({"Tab"});  // accepted as typed
    see("Data d'emissió final .........:      ");
    send({"Escape"});
    send({"Escape"});
    EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState() << "\n" << tmux.lastScreen();
}

TEST_F(PopupsTest, CalculatorTypesTheAmountInHundredths) {
    send({"Tab"});
    send({"M-x"});
    see("┌────────────────────────┐");
    ASSERT_TRUE(tmux.sendText("12.5"));
    see("12'5  │");
    send({"F"});
    ASSERT_TRUE(tmux.waitForGone("┌────────────────────────┐")) << tmux.lastScreen();
    see("Data d'emissió final .........: 1250");
    // The calculator's state is kept for the next time.
    const std::string saved = testsupport::readFile(session + "ZELCALC.TMP");
    EXPECT_EQ(saved.substr(0, saved.find('\r')), "1,23,12.5,0");
    quit();
}

}  // namespace
