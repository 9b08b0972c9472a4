#include "platform/os/os.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using testsupport::TempDir;

TEST(MapPath, BackslashesBecomeSlashesAndCaseIsMatched) {
    TempDir dir;
    testsupport::writeFile(dir / "dades/propietv.DAT", "x");
    const std::string windowsName = dir.path() + "DADES\\PropietV.dat";
    EXPECT_EQ(os::mapPath(windowsName), dir.path() + "dades/propietv.DAT");
    EXPECT_TRUE(os::fileExists(windowsName));
}

TEST(MapPath, MissingComponentsAreKeptAsWritten) {
    TempDir dir;
    testsupport::writeFile(dir / "Dades/a.txt", "x");
    EXPECT_EQ(os::mapPath(dir.path() + "DADES\\New\\File.dat"), dir.path() + "Dades/New/File.dat");
}

TEST(MapPath, ExactNameWins) {
    TempDir dir;
    testsupport::writeFile(dir / "a/X.dat", "1");
    testsupport::writeFile(dir / "a/x.dat", "2");
    EXPECT_EQ(os::mapPath(dir.path() + "a\\x.dat"), dir.path() + "a/x.dat");
}

TEST(Files, AtomicWriteReplacesWhole) {
    TempDir dir;
    ASSERT_TRUE(os::writeFileAtomically(dir / "f", "first contents"));
    ASSERT_TRUE(os::writeFileAtomically(dir / "f", "2nd"));
    std::string s;
    ASSERT_TRUE(os::readWholeFile(dir / "f", s));
    EXPECT_EQ(s, "2nd");
    EXPECT_EQ(os::fileSize(dir / "f"), 3);
    EXPECT_EQ(os::fileSize(dir / "missing"), -1);
}

TEST(Processes, RunAndWaitReportsExitCodeAndMissingProgram) {
    auto r = os::runAndWait("/bin/sh", {"-c", "exit 3"});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 3);
    auto missing = os::runAndWait("/nonexistent/ZELPRINT", {});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.error.empty());
}

TEST(Clock, OverrideFixesToday) {
    os::LocalDateTime t;
    t.year = 2025;
    t.month = 3;
    t.day = 9;
    os::setClockOverride(&t);
    EXPECT_EQ(os::localNow().year, 2025);
    os::setClockOverride(nullptr);
    EXPECT_GE(os::localNow().year, 2024);
}
