#include "data/data_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data/data_test_fixture.h"
#include "platform/os/os.h"
#include "platform/recman/btrcall.h"

namespace {

using datatest::DataFileTest;
using testsupport::cp850;

TEST(DataFileNames, PathAndDictionaryFollowTheLastSeparator) {
    sessionSettings = SessionSettings{};
    sessionSettings.rootDir = "R:\\ZEL\\";
    struct Case {
        const char* name;
        const char* path;
        const char* dictionary;
    };
    const Case cases[] = {
        {"C:\\DATA\\X", "C:\\DATA\\X.dat", "R:\\ZEL\\ddf\\X.xdf"},
        {"C:\\DATA\\X.BTR", "C:\\DATA\\X.BTR", "R:\\ZEL\\ddf\\X.xdf"},
        {"C:\\DAT.A\\X", "C:\\DAT.A\\X.dat", "R:\\ZEL\\ddf\\X.xdf"},
        {"A.B.C", "A.B.C", "R:\\ZEL\\ddf\\A.xdf"},
        {"D:X", "D:X.dat", "R:\\ZEL\\ddf\\X.xdf"},
        {"/srv/zel.d/dades/Y", "/srv/zel.d/dades/Y.dat", "R:\\ZEL\\ddf\\Y.xdf"},
        {"X.", "X.", "R:\\ZEL\\ddf\\X.xdf"},
        {"", ".dat", "R:\\ZEL\\ddf\\.xdf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dataFilePath(c.name), c.path) << c.name;
        EXPECT_EQ(dataDictionaryName(c.name), c.dictionary) << c.name;
    }
}

TEST(DataFileNames, FailureMessageInTheSessionLanguage) {
    sessionSettings = SessionSettings{};
    struct Case {
        const char* language;
        std::string text;
    };
    const Case cases[] = {
        {"SPA", "NO SE PUEDE ACCEDER AL FICHERO "},
        {"GLG", "NOM SE PODE ACEDER AO FICHEIRO "},
        {"OCI", cp850("NON SE PÒT ACCEDIR ATH FICHÈR ")},
        {"CAT", "NO ES POT ACCEDIR AL FITXER "},
        {"ENG", "NO ES POT ACCEDIR AL FITXER "},
        {"   ", "NO ES POT ACCEDIR AL FITXER "},
    };
    for (const Case& c : cases) {
        sessionSettings.languageCode = c.language;
        EXPECT_EQ(dataFileOpenMessage("DADES\\PropietV", 46), c.text + "DADES\\PropietV (46)") << c.language;
    }
    sessionSettings.languageCode = "CAT";
    EXPECT_EQ(dataFileOpenMessage("X", -3), "NO ES POT ACCEDIR AL FITXER X (-3)");
}

TEST_F(DataFileTest, OpenTakesTheHighestFreeSlotAndStartsOnKeyZero) {
    const std::string path = buildSmallFile();
    uint8_t buffer[20];
    int16_t status = -1;
    openDataFile(100, root / "SMALL", buffer, sizeof buffer, status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(findFileSlot(100), 40);
    const FileSlot& slot = dataFileTable.slots[40];
    EXPECT_EQ(slot.recordLength, 20);
    EXPECT_EQ(slot.keyNumber, 0);
    EXPECT_EQ(slot.keyValue, std::string(4, '\0'));
    EXPECT_EQ(slot.lockMode, 0);
    EXPECT_EQ(slot.recordBuffer, buffer);

    openDataFile(101, path, buffer, sizeof buffer, status);  // a name with its extension
    ASSERT_EQ(status, 0);
    EXPECT_EQ(findFileSlot(101), 39);
    EXPECT_EQ(findFileSlot(102), -38);
}

TEST_F(DataFileTest, SameNumberTwiceOrNumberZeroGives1002AndLeavesTheTableAlone) {
    buildSmallFile();
    uint8_t buffer[20], other[20];
    int16_t status = -1;
    openDataFile(7, root / "SMALL", buffer, sizeof buffer, status);
    ASSERT_EQ(status, 0);
    openDataFile(7, root / "ELSEWHERE", other, sizeof other, status);
    EXPECT_EQ(status, 1002);
    EXPECT_EQ(slotOf(7).recordBuffer, buffer);
    EXPECT_EQ(slotOf(7).recordLength, 20);
    EXPECT_FALSE(testsupport::fileExists(root / "ELSEWHERE.dat"));

    // 0 matches a free slot, so it reads as "already open".
    openDataFile(0, root / "SMALL", other, sizeof other, status);
    EXPECT_EQ(status, 1002);
    EXPECT_EQ(findFileSlot(8), -39);
}

TEST_F(DataFileTest, FortyOpenFilesFillTheTableFromTheTop) {
    buildSmallFile();
    uint8_t buffer[20];
    int16_t status = -1;
    for (int16_t n = 1; n <= 40; ++n) {
        openDataFile(n, root / "SMALL", buffer, sizeof buffer, status);
        ASSERT_EQ(status, 0) << n;
        EXPECT_EQ(findFileSlot(n), 41 - n);
    }
    EXPECT_EQ(findFileSlot(41), 0);
    openDataFile(41, root / "SMALL", buffer, sizeof buffer, status);
    EXPECT_EQ(status, 1003);

    closeAllDataFiles(status);
    EXPECT_EQ(status, 0);
    for (int i = 1; i <= dataFileSlotCount; ++i) {
        EXPECT_EQ(dataFileTable.slots[i].fileNumber, 0);
        EXPECT_EQ(dataFileTable.slots[i].recordBuffer, nullptr);
        EXPECT_EQ(dataFileTable.slots[i].recordLength, 0);
    }
    EXPECT_EQ(findFileSlot(1), -40);
}

TEST_F(DataFileTest, KeyLengthsComeFromTheSegments) {
    buildSmallFile();
    uint8_t buffer[20];
    int16_t status = -1;
    openDataFile(5, root / "SMALL", buffer, sizeof buffer, status);
    ASSERT_EQ(status, 0);
    const struct {
        int16_t key, length;
    } cases[] = {{0, 4}, {1, 10}, {2, 2}, {3, 12}, {4, 0}, {-1, 0}, {99, 0}};
    for (auto c : cases) {
        int16_t keyLength = -1, recordLength = -1;
        queryKeyLength(5, c.key, keyLength, recordLength);
        EXPECT_EQ(keyLength, c.length) << c.key;
        EXPECT_EQ(recordLength, 20) << c.key;
    }
    int16_t keyLength = -1, recordLength = -1;
    queryKeyLength(6, 0, keyLength, recordLength);  // not open
    EXPECT_EQ(keyLength, 0);
    EXPECT_EQ(recordLength, 0);
}

TEST_F(DataFileTest, MissingFileIsCreatedFromItsDictionaryAndOpened) {
    testsupport::writeFile(root / "ddf/NOU.xdf", encodeDictionary(datatest::smallSpec()));
    std::filesystem::create_directories(root / "DADES");
    uint8_t buffer[20];
    int16_t status = -1;
    openDataFile(509, root.path() + "DADES\\NOU", buffer, sizeof buffer, status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(testsupport::fileExists(root / "DADES/NOU.dat"));
    EXPECT_EQ(slotOf(509).recordLength, 20);
    EXPECT_EQ(slotOf(509).keyValue, std::string(4, '\0'));

    // A name with two dots takes its dictionary from the part before the first.
    testsupport::writeFile(root / "ddf/A.xdf", encodeDictionary(datatest::smallSpec()));
    openDataFile(510, root / "A.B.C", buffer, sizeof buffer, status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(testsupport::fileExists(root / "A.B.C"));
}

TEST_F(DataFileTest, FailureMessageShowsInABoxWithABeep) {
    sessionSettings.languageCode = "SPA";
    showDataFileFailure("DADES\\CobramV", 12);
    EXPECT_NE(term::screenText().find("NO SE PUEDE ACCEDER AL FICHERO DADES\\CobramV (12)"), std::string::npos)
        << term::screenText();
    EXPECT_NE(term::rowText(10).find("NO SE PUEDE"), std::string::npos) << term::screenText();
    EXPECT_EQ(term::beepCount(), 1);
    EXPECT_EQ(windowState.windowDepth, 1);
    popWindow();
    EXPECT_EQ(term::screenText().find("NO SE PUEDE"), std::string::npos);
}

// ---- The fatal path: the program ends with exit code 0 -----------------------

void printFailureAtExit() {
    std::fprintf(stderr, "[%s]\n", dataFileTable.failureMessage.c_str());
}

class DataFileDeathTest : public DataFileTest {};

// The status a create reports when it receives no specification.
int16_t statusOfBlankCreate(const std::string& dir) {
    return createDataFile(dir + "probe.dat", "");
}

TEST_F(DataFileDeathTest, MissingDictionaryEndsTheProgramAndLeavesNoFileBehind) {
    std::filesystem::create_directories(root / "DADES");
    std::filesystem::create_directories(root / "ddf");
    const int16_t expected = statusOfBlankCreate(root / "DADES/");
    ASSERT_NE(expected, 0);
    std::filesystem::remove(root / "DADES/probe.dat");
    std::filesystem::remove(root / "DADES/probe.dat.lck");
    const std::string name = root.path() + "DADES\\GONE";
    EXPECT_EXIT(
        {
            std::atexit(printFailureAtExit);
            term::queueText("S");  // typed ahead: discarded, not taken as the answer
            uint8_t buffer[20];
            int16_t status = -1;
            openDataFile(505, name, buffer, sizeof buffer, status);
            std::fprintf(stderr, "returned %d\n", status);
        },
        ::testing::ExitedWithCode(0), "\\[NO ES POT ACCEDIR AL FITXER .*DADES.GONE \\(" + std::to_string(expected) + "\\)\\]");
    EXPECT_FALSE(testsupport::fileExists(root / "ddf/GONE.xdf"));
    EXPECT_FALSE(testsupport::fileExists(root / "DADES/GONE.dat"));
}

TEST_F(DataFileDeathTest, ShortDictionaryFailsCleanly) {
    std::filesystem::create_directories(root / "DADES");
    std::string dictionary = encodeDictionary(datatest::smallSpec()).substr(0, 40);  // declares more than it holds
    testsupport::writeFile(root / "ddf/SHORT.xdf", dictionary);
    const std::string name = root.path() + "DADES\\SHORT";
    sessionSettings.languageCode = "OCI";
    EXPECT_EXIT(
        {
            std::atexit(printFailureAtExit);
            uint8_t buffer[20];
            int16_t status = -1;
            openDataFile(506, name, buffer, sizeof buffer, status);
        },
        ::testing::ExitedWithCode(0), "ACCEDIR ATH .*DADES.SHORT \\([0-9]+\\)\\]");
    EXPECT_EQ(testsupport::readFile(root / "ddf/SHORT.xdf"), dictionary);
    EXPECT_FALSE(testsupport::fileExists(root / "DADES/SHORT.dat"));
}

TEST_F(DataFileDeathTest, PathTooLongForTheRecordManagerIsNotCut) {
    testsupport::writeFile(root / "ddf/X.xdf", encodeDictionary(datatest::smallSpec()));
    const std::string name = root.path() + std::string(260, 'd') + "\\X";
    EXPECT_EXIT(
        {
            std::atexit(printFailureAtExit);
            uint8_t buffer[20];
            int16_t status = -1;
            openDataFile(507, name, buffer, sizeof buffer, status);
        },
        ::testing::ExitedWithCode(0), "AL FITXER .*X \\(11\\)\\]");
}

// ---- Another program holding the file -----------------------------------------

// Opens the file exclusively in a child process, tells the parent, and lets go
// after holdMs milliseconds.
pid_t holdFileExclusively(const std::string& path, int holdMs) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        uint8_t block[128] = {};
        uint8_t owner[1] = {0};
        uint8_t key[256] = {};
        std::memcpy(key, path.data(), path.size());
        uint32_t length = 0;
        int16_t status = btrcall(recman::opOpen, block, owner, &length, key, static_cast<uint8_t>(path.size()),
                                 recman::openExclusive);
        char c = status == 0 ? 'L' : 'E';
        if (write(ready[1], &c, 1) != 1) _exit(3);
        os::sleepMs(holdMs);
        _exit(0);
    }
    close(ready[1]);
    char c = 0;
    if (read(ready[0], &c, 1) != 1 || c != 'L') {
        close(ready[0]);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    close(ready[0]);
    return pid;
}

TEST_F(DataFileTest, FileLockedByAnotherProgramIsWaitedOut) {
    const std::string path = buildSmallFile();
    pid_t holder = holdFileExclusively(path, 500);
    ASSERT_GT(holder, 0);
    uint8_t buffer[20];
    int16_t status = -1;
    openDataFile(12, root / "SMALL", buffer, sizeof buffer, status);  // waits in steps of 3 s
    EXPECT_EQ(status, 0);
    int wstatus = 0;
    waitpid(holder, &wstatus, 0);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_EQ(term::screenText().find("FITXER"), std::string::npos);  // no message for a locked open
}

}  // namespace
