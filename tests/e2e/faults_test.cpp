// The module under faults of its surroundings, end to end: a temporary folder it
// cannot use, data files that are not data files, a terminal resized under an
// open window. Whatever happens, the module neither crashes nor hangs, says what
// is wrong, and ends with code 0.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>
#include <memory>
#include <string>

#include "platform/recman/btrcall.h"
#include "tests/support/module_session.h"
#include "tests/support/test_support.h"
#include "tests/support/tmux_session.h"

namespace {

using testsupport::TempDir;
using testsupport::TmuxSession;

constexpr const char* today = testsupport::moduleToday;

std::string shq(const std::string& s) { return testsupport::shellQuoted(s); }
int run(const std::string& command) { return std::system(command.c_str()); }

class FaultsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = std::make_unique<TempDir>();
        demoStatus = testsupport::makeDemoInstallation(*shared / "inst", 6, 3);
    }
    static void TearDownTestSuite() { shared.reset(); }

    void SetUp() override {
        ASSERT_EQ(demoStatus, 0) << "zelutil demo failed";
        root = *shared / "inst/";
        session = dir / "session/";
        printBin = dir / "bin/";
        ASSERT_EQ(run("mkdir -p " + shq(session) + " " + shq(printBin)), 0);
        testsupport::writeSessionFiles(session, "CAT", "", "");
        testsupport::writePrintProgram(printBin, "echo run >> " + shq(dir / "runs"));
    }

    // A copy of the demo installation this test may spoil.
    std::string ownInstallation() {
        const std::string own = dir / "own/";
        EXPECT_EQ(run("mkdir -p " + shq(own) + " && cp -r " + shq(root + ".") + " " + shq(own)), 0);
        return own;
    }

    void start(const std::string& tempDir, const std::string& installation = "") {
        TmuxSession::Options o;
        o.env = {{"ZELROOT", installation.empty() ? root : installation},
                 {"ZELTMP", tempDir},
                 {"ZELEXE", printBin},
                 {"ZEL_FAKE_TODAY", today}};
        ASSERT_TRUE(tmux.start("exec " + shq(testsupport::binDir() + "/RPTREBUT"), o)) << tmux.error();
    }
    void send(std::initializer_list<std::string_view> keys) { ASSERT_TRUE(tmux.sendKeys(keys)); }
    void expectExitZero() { EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState() << "\n" << tmux.lastScreen(); }
    void expectWholeForm() {
        for (const char* label : {"Data d'emissió inicial .......:", "Data d'emissió final .........:",
                                  "Codi de finca inicial ........:", "Codi de finca final ..........:"})
            EXPECT_NE(tmux.lastScreen().find(label), std::string::npos) << label << "\n" << tmux.lastScreen();
    }

    static std::unique_ptr<TempDir> shared;
    static int demoStatus;
    TempDir dir;
    std::string root, session, printBin;
    TmuxSession tmux;
};

std::unique_ptr<TempDir> FaultsTest::shared;
int FaultsTest::demoStatus = -1;

// The temporary folder missing, not a folder, or refusing new files (/proc takes
// none, not even from root): a box naming it comes first, then the form works,
// and a report is refused with its own message instead of being printed.
TEST_F(FaultsTest, UnusableTemporaryFolderIsReportedAndTheFormStillWorks) {
    testsupport::writeFile(dir / "plain", "not a folder");
    const struct {
        const char* name;
        std::string folder;
        std::string shown;
    } cases[] = {
        {"missing", dir / "absent/", dir / "absent/"},
        {"a file", dir / "plain/", dir / "plain"},
        {"read-only", "/proc/", "/proc/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TmuxSession t;
        TmuxSession::Options o;
        o.width = 160;  // the whole path in one line of the box
        o.env = {{"ZELROOT", root}, {"ZELTMP", c.folder}, {"ZELEXE", printBin}, {"ZEL_FAKE_TODAY", today}};
        ASSERT_TRUE(t.start("exec " + shq(testsupport::binDir() + "/RPTREBUT"), o)) << t.error();
        ASSERT_TRUE(t.waitFor("LA CARPETA TEMPORAL")) << t.lastScreen();
        EXPECT_NE(t.lastScreen().find(c.shown), std::string::npos) << t.lastScreen();
        EXPECT_NE(t.lastScreen().find("NO EXISTEIX O NO ES POT"), std::string::npos) << t.lastScreen();
        EXPECT_FALSE(t.exited());
        ASSERT_TRUE(t.sendKeys({"Enter"}));
        ASSERT_TRUE(t.waitForGone("LA CARPETA TEMPORAL")) << t.lastScreen();
        ASSERT_TRUE(t.waitFor("Codi de finca final")) << t.lastScreen();
        // No session file could be read from there, so no working date either.
        ASSERT_TRUE(t.sendText("1/3/25"));
        ASSERT_TRUE(t.sendKeys({"Tab"}));
        ASSERT_TRUE(t.sendText("15/3/25"));
        ASSERT_TRUE(t.sendKeys({"Enter"}));
        ASSERT_TRUE(t.waitFor("Voleu imprimir la relació?")) << t.lastScreen();
        ASSERT_TRUE(t.sendKeys({"Enter"}));
        ASSERT_TRUE(t.waitFor("NO S'HA POGUT ESCRIURE SENCER EL FITXER D'IMPRESSIÓ")) << t.lastScreen();
        ASSERT_TRUE(t.sendKeys({"Enter"}));
        ASSERT_TRUE(t.waitForGone("NO S'HA POGUT")) << t.lastScreen();
        ASSERT_TRUE(t.sendKeys({"Escape"}));
        EXPECT_EQ(t.waitForExit(), 0) << t.paneState() << "\n" << t.lastScreen();
    }
    EXPECT_FALSE(testsupport::fileExists(dir / "runs"));
    EXPECT_FALSE(testsupport::fileExists(dir / "absent"));
}

TEST_F(FaultsTest, UsableTemporaryFolderShowsNoBox) {
    start(session);
    ASSERT_TRUE(tmux.waitFor("Codi de finca final")) << tmux.lastScreen();
    EXPECT_EQ(tmux.capture().find("CARPETA TEMPORAL"), std::string::npos) << tmux.lastScreen();
    // The probe leaves nothing behind.
    EXPECT_EQ(run("ls -A " + shq(session) + " | grep -q zelprobe"), 256);
    send({"Escape"});
    expectExitZero();
}

// A receipts file that is text, or only the first 1000 bytes of a real one: the
// fatal box with the name and a status, code 0 after a key, and the file as it was.
TEST_F(FaultsTest, DataFileThatIsNotOneOfOursStopsWithItsBox) {
    const std::string installation = ownInstallation();
    const std::string receipts = installation + "DADES/CobramV.dat";
    ASSERT_TRUE(testsupport::fileExists(receipts));
    const std::string real = testsupport::readFile(receipts);
    ASSERT_GT(real.size(), 1000u);
    const struct {
        const char* name;
        std::string contents;
    } cases[] = {
        {"text", "Aquest fitxer no és de dades.\nNomés text.\n"},
        {"truncated", real.substr(0, 1000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(receipts, c.contents);
        ::unlink((receipts + "-wal").c_str());
        ::unlink((receipts + "-shm").c_str());
        TmuxSession t;
        TmuxSession::Options o;
        o.env = {{"ZELROOT", installation}, {"ZELTMP", session}, {"ZELEXE", printBin}, {"ZEL_FAKE_TODAY", today}};
        ASSERT_TRUE(t.start("exec " + shq(testsupport::binDir() + "/RPTREBUT"), o)) << t.error();
        ASSERT_TRUE(t.waitFor("NO ES POT ACCEDIR AL FITXER")) << t.lastScreen();
        EXPECT_NE(t.lastScreen().find("CobramV"), std::string::npos) << t.lastScreen();
        EXPECT_NE(t.lastScreen().find("("), std::string::npos) << t.lastScreen();
        EXPECT_FALSE(t.exited());
        ASSERT_TRUE(t.sendKeys({"Enter"}));
        EXPECT_EQ(t.waitForExit(), 0) << t.paneState() << "\n" << t.lastScreen();
        EXPECT_EQ(testsupport::readFile(receipts), c.contents);
    }
}

// The terminal resized while the help window is open: the module repaints at the
// new size, Escape gives back the whole form, and it still ends normally.
TEST_F(FaultsTest, ResizeUnderTheHelpWindowKeepsTheForm) {
    start(session);
    ASSERT_TRUE(tmux.waitFor("Codi de finca final")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendText("1/3/25"));
    send({"Tab"});
    ASSERT_TRUE(tmux.waitFor("1/3/2025")) << tmux.lastScreen();
    const struct {
        int width, height;
    } sizes[] = {{100, 30}, {60, 15}, {80, 25}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        send({"F1"});
        ASSERT_TRUE(tmux.waitFor("Aquest programa imprimeix")) << tmux.lastScreen();
        ASSERT_TRUE(tmux.resize(s.width, s.height));
        // The screen goes blank for a moment while the terminal repaints, so the
        // form's rows showing again, not the help text going, tells Escape was read.
        send({"Escape"});
        ASSERT_TRUE(tmux.waitFor("Codi de finca final ......")) << tmux.lastScreen();
        EXPECT_EQ(tmux.lastScreen().find("Aquest programa imprimeix"), std::string::npos) << tmux.lastScreen();
        EXPECT_FALSE(tmux.exited()) << tmux.paneState();
    }
    // Back at 80 x 25 the whole form is there, with the value typed before.
    ASSERT_TRUE(tmux.waitFor("Data d'emissió inicial .......: 1/3/2025")) << tmux.lastScreen();
    expectWholeForm();
    // The frame's right-hand side was off the screen at 60 columns; it is back.
    ASSERT_TRUE(tmux.waitFor("╗")) << tmux.lastScreen();
    const std::string screen = tmux.capture();
    for (int r = 1; r <= 25; ++r) {
        const std::string line = tmux.row(r);
        if (line.rfind("╔", 0) == 0) {
            EXPECT_NE(line.find("╗"), std::string::npos) << r << "\n" << screen;
        }
        if (line.rfind("║", 0) == 0) {
            EXPECT_NE(line.rfind("║"), 0u) << r << "\n" << screen;
        }
    }
    send({"Escape"});
    send({"Escape"});
    expectExitZero();
}

// The terminal closed while the report is being written: the print file is a pipe
// nobody empties, so the report stands still inside it until the hang-up comes.
// The module ends with code 0 and leaves no half print file behind.
TEST_F(FaultsTest, TerminalClosedDuringTheReportLeavesNoPrintFile) {
    const std::string printFile = session + "zelprint.tmp";
    ASSERT_EQ(::mkfifo(printFile.c_str(), 0644), 0);
    const int reader = ::open(printFile.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    TmuxSession::Options o;
    o.env = {{"ZELROOT", root}, {"ZELTMP", session}, {"ZELEXE", printBin}, {"ZEL_FAKE_TODAY", today}};
    ASSERT_TRUE(tmux.start("echo $$ > " + shq(dir / "pid") + "; exec " + shq(testsupport::binDir() + "/RPTREBUT"), o))
        << tmux.error();
    ASSERT_TRUE(tmux.waitFor("Codi de finca final")) << tmux.lastScreen();
    ASSERT_TRUE(tmux.sendText("1/1/23"));
    send({"Tab"});
    ASSERT_TRUE(tmux.sendText("15/3/25"));
    send({"Enter"});
    ASSERT_TRUE(tmux.waitFor("Voleu imprimir la relació?")) << tmux.lastScreen();
    send({"Enter"});
    // Wait until the pipe is full: the report is blocked in the middle of a write.
    int queued = 0;
    for (int waited = 0; waited < 5000 && queued < 60000; waited += 10) {
        ::ioctl(reader, FIONREAD, &queued);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(queued, 60000) << "the report did not fill the pipe\n" << tmux.capture();
    const std::string pid = testsupport::readFile(dir / "pid");
    ASSERT_EQ(run("kill -HUP " + pid), 0);
    EXPECT_EQ(tmux.waitForExit(), 0) << tmux.paneState();
    ::close(reader);
    EXPECT_FALSE(testsupport::fileExists(printFile));
    EXPECT_FALSE(testsupport::fileExists(dir / "runs"));
}

// Another program changing a data file all the time: records deleted and written
// back at both ends of the file, until `stop` exists; the number of changes goes
// into `done`.
[[noreturn]] void keepChanging(const std::string& data, const std::string& stop, const std::string& done) {
    uint8_t block[128] = {};
    uint8_t key[256] = {};
    uint8_t none[1] = {0};
    uint32_t length = 0;
    std::memcpy(key, data.data(), data.size());
    if (btrcall(recman::opOpen, block, none, &length, key, static_cast<uint8_t>(data.size()), recman::openNormal) != 0)
        ::_exit(1);
    long changes = 0;
    std::vector<uint8_t> record(4096);
    const pid_t parent = ::getppid();
    for (long i = 0; !std::filesystem::exists(stop) && ::getppid() == parent; ++i) {
        length = static_cast<uint32_t>(record.size());
        if (btrcall(i % 2 ? recman::opGetFirst : recman::opGetLast, block, record.data(), &length, key, 255, 0) != 0)
            continue;
        const uint32_t recordLength = length;
        if (btrcall(recman::opDelete, block, record.data(), &length, key, 255, 0) != 0) continue;
        length = recordLength;
        if (btrcall(recman::opInsert, block, record.data(), &length, key, 255, 0) == 0) ++changes;
    }
    btrcall(recman::opClose, block, none, &length, key, 0, 0);
    testsupport::writeFile(done, std::to_string(changes));
    ::_exit(0);
}

// The property list (F4) walked up and down while another program keeps deleting
// and rewriting properties: the list neither crashes nor hangs, closes with Esc,
// and the module ends normally.
TEST_F(FaultsTest, PropertyListWalkedWhileAnotherProgramWritesTheFile) {
    const std::string installation = ownInstallation();
    start(session, installation);
    ASSERT_TRUE(tmux.waitFor("Codi de finca final")) << tmux.lastScreen();
    const pid_t writer = ::fork();
    if (writer == 0) keepChanging(installation + "DADES/FinquesV.dat", dir / "stop", dir / "done");
    ASSERT_GT(writer, 0);
    // The writer stops whatever way this test ends.
    struct StopWriter {
        std::string stop;
        pid_t pid;
        int status = -1;
        void now() {
            if (pid <= 0) return;
            testsupport::writeFile(stop, "");
            ::waitpid(pid, &status, 0);
            pid = 0;
        }
        ~StopWriter() { now(); }
    } stopWriter{dir / "stop", writer};
    send({"Tab", "Tab", "F4"});
    ASSERT_TRUE(tmux.waitFor("CODI NOM DE LA FINCA")) << tmux.lastScreen();
    for (int round = 0; round < 5; ++round)
        for (const char* key : {"NPage", "End", "Up", "Home", "Down", "Down", "PPage"}) {
            send({key});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    stopWriter.now();
    const int status = stopWriter.status;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_GT(std::atol(testsupport::readFile(dir / "done").c_str()), 0) << "the writer changed nothing";
    EXPECT_FALSE(tmux.exited()) << tmux.paneState() << "\n" << tmux.lastScreen();
    send({"Escape"});
    ASSERT_TRUE(tmux.waitFor("Codi de finca final ......")) << tmux.lastScreen();
    send({"Escape"});
    send({"Escape"});
    expectExitZero();
}

}  // namespace
