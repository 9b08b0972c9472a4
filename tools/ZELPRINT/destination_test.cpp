#include "destination.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace zelprint {
namespace {

using testsupport::cp850;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(ClassifyDestination, ByTheDeviceLine) {
    struct Case {
        std::string device;
        DestinationKind kind;
        std::string name;
    };
    const Case cases[] = {
        {"", DestinationKind::Screen, ""},
        {"   ", DestinationKind::Screen, ""},
        {"PANTALLA", DestinationKind::Screen, "PANTALLA"},
        {" pantalla ", DestinationKind::Screen, "pantalla"},
        {"C:\\INFORMES\\rebuts.pdf", DestinationKind::PdfFile, "C:\\INFORMES\\rebuts.pdf"},
        {"/tmp/x.PDF", DestinationKind::PdfFile, "/tmp/x.PDF"},
        {"llistat.txt", DestinationKind::TextFile, "llistat.txt"},
        {cp850("relació.TXT"), DestinationKind::TextFile, "relació.TXT"},
        {"LPT1", DestinationKind::Device, "LPT1"},
        {"OFICINA", DestinationKind::Device, "OFICINA"},
        {"informe.pdf.bak", DestinationKind::Device, "informe.pdf.bak"},
    };
    for (const Case& c : cases) {
        const Destination d = classifyDestination(c.device);
        EXPECT_EQ(d.kind, c.kind) << c.name;
        EXPECT_EQ(d.name, c.name);
        if (c.kind == DestinationKind::PdfFile || c.kind == DestinationKind::TextFile) {
            EXPECT_EQ(d.path, c.name);
        }
    }
}

// The built program, run with its output caught in files.
struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

class ZelprintProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("ZELTMP", session.path().c_str());
        env.set("ZELEXE", "");
        env.set("PAGER", "cat");
        // No spooler and no pager but the ones a test puts there.
        writeFile(tools / "placeholder", "");
        env.set("PATH", (tools.path() + ":/usr/bin:/bin").c_str());
    }

    RunResult run(const std::vector<std::string>& args) {
        const std::string program = testsupport::binDir() + "/ZELPRINT";
        std::vector<std::string> all{"-c", "out=$1; err=$2; shift 2; exec \"$@\" >\"$out\" 2>\"$err\" </dev/null",
                                     "sh", output / "out", output / "err", program};
        all.insert(all.end(), args.begin(), args.end());
        const os::ProcessResult r = os::runAndWait("/bin/sh", all);
        EXPECT_TRUE(r.started) << r.error;
        RunResult result;
        result.exitCode = r.exitCode;
        result.out = readFile(output / "out");
        result.err = readFile(output / "err");
        return result;
    }

    // A small report in the session's print file.
    void writePrintFile(const std::string& device) {
        writeFile(session / "zelprint.tmp", "DEVICE" + device + "\r\nPAGE 66 \r\n*@e\r\n 1 ,FINQUES PROVA, 0 \r\nJUSD\r\n 85 ," +
                                                cp850("PÀGINA") + "    1, 2 \r\n 1 ," + cp850("RELACIÓ") + ", 1 \r\n");
    }

    // A stand-in for the spooler: lpstat knows the queue OFICINA; lp copies the file
    // it is given and notes the queue.
    void installSpooler() {
        writeFile(tools / "lpstat", "#!/bin/sh\n[ \"$1\" = -p ] && [ \"$2\" = OFICINA ] && { echo printer OFICINA idle; exit 0; }\n"
                                    "echo \"lpstat: Invalid destination name\" >&2; exit 1\n");
        writeFile(tools / "lp", "#!/bin/sh\necho \"$2\" > \"" + output / "queue" + "\"\ncp \"$4\" \"" +
                                    output / "printed.pdf" + "\"\necho request id is OFICINA-1\n");
        ::chmod((tools / "lpstat").c_str(), 0755);
        ::chmod((tools / "lp").c_str(), 0755);
    }

    static constexpr const char* expectedText = "FINQUES PROVA                                                                       PÀGINA    1\n\nRELACIÓ\n";

    void expectKeptInSession() {
        EXPECT_EQ(readFile(session / "zelprint.txt"), expectedText);
        EXPECT_EQ(readFile(session / "zelprint.pdf").rfind("%PDF", 0), 0u);
    }

    TempDir session, output, tools;
    ScopedEnv env;
};

TEST_F(ZelprintProgramTest, TextFileDestinationWithASystemFileName) {
    ASSERT_TRUE(os::makeDirectories(output / "Informes"));
    writePrintFile(output.path() + "INFORMES\\rebuts.txt");
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(output / "Informes/rebuts.txt"), expectedText);
    expectKeptInSession();
}

TEST_F(ZelprintProgramTest, PdfFileDestination) {
    writePrintFile(output / "rebuts.pdf");
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(output / "rebuts.pdf").rfind("%PDF", 0), 0u);
    expectKeptInSession();
}

TEST_F(ZelprintProgramTest, ScreenShowsTheTextInThePager) {
    for (const char* device : {"PANTALLA", ""}) {
        writePrintFile(device);
        const RunResult r = run({});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, expectedText) << device;
        expectKeptInSession();
    }
}

TEST_F(ZelprintProgramTest, ScreenWithoutAPagerWritesToStandardOutput) {
    env.set("PAGER", nullptr);
    env.set("PATH", tools.path().c_str());  // no less either
    writePrintFile("PANTALLA");
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expectedText);
}

TEST_F(ZelprintProgramTest, UnknownDeviceFailsAndKeepsThePages) {
    writePrintFile("LPT1");
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("LPT1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(session / "zelprint.pdf"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(session / "zelprint.txt"), std::string::npos) << r.err;
    expectKeptInSession();

    installSpooler();  // a spooler that does not know LPT1 either
    const RunResult again = run({});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("neither a printer queue"), std::string::npos) << again.err;
    EXPECT_FALSE(fileExists(output / "printed.pdf"));
}

TEST_F(ZelprintProgramTest, PrinterQueueGetsThePdf) {
    installSpooler();
    writePrintFile("OFICINA");
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(output / "queue"), "OFICINA\n");
    EXPECT_EQ(readFile(output / "printed.pdf"), readFile(session / "zelprint.pdf"));
    expectKeptInSession();
}

TEST_F(ZelprintProgramTest, UnwritableDestinationFailsAndKeepsThePages) {
    writePrintFile(output / "no-such-folder/rebuts.pdf");
    const RunResult r = run({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no-such-folder/rebuts.pdf"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("kept in"), std::string::npos) << r.err;
    expectKeptInSession();
}

TEST_F(ZelprintProgramTest, ByHandWithInputAndOutputs) {
    writeFile(output / "in.tmp", "DEVICELPT1\r\nPAGE 66 \r\n 1 ,A, 1 \r\ngarbage\r\n 1 ,B, 1 \r\n");
    const RunResult r = run({"--input", output / "in.tmp", "--pdf", output / "a.pdf", "--text=" + output / "a.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(output / "a.txt"), "A\nB\n");
    EXPECT_EQ(readFile(output / "a.pdf").rfind("%PDF", 0), 0u);
    EXPECT_NE(r.err.find("in.tmp line 4: not a print command"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(session / "zelprint.txt"));  // only what was asked for

    // --input alone follows the DEVICE line and keeps the pages beside the input.
    writeFile(output / "in.tmp", "DEVICEPANTALLA\r\nPAGE 66 \r\n 1 ,A, 1 \r\n");
    const RunResult shown = run({"--input", output / "in.tmp"});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, "A\n");
    EXPECT_EQ(readFile(output / "zelprint.txt"), "A\n");
    EXPECT_TRUE(fileExists(output / "zelprint.pdf"));
}

TEST_F(ZelprintProgramTest, UsageAndMissingInput) {
    const RunResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: ZELPRINT"), std::string::npos);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--pdf"}, {"--input", "a", "--input", "b"}, {"--text="}, {"stray"}}) {
        const RunResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("ZELPRINT"), std::string::npos);
    }

    const RunResult missing = run({});  // no print file in the session
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read the print file"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace zelprint
