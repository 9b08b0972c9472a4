// Operating-system services the module needs: names, files, environment, clock,
// pauses, a pseudo-random source and starting programs.
//
// The system builds file names with "\" as the separator (installations come from
// Windows). mapPath is the one place where such a name becomes a Linux path: every
// "\" turns into "/", and a component that does not exist under its exact name is
// matched against the entries of its folder without regard to letter case, so that
// "DADES\PropietV.dat" finds "dades/propietv.DAT". Components that match nothing
// are kept as written (the file may be about to be created).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace os {

std::string mapPath(std::string_view name);

// fopen on the mapped name; nullptr on failure (errno set).
std::FILE* openFile(std::string_view name, const char* mode);
bool fileExists(std::string_view name);
bool isDirectory(std::string_view name);
// Size in bytes, or -1 when the file cannot be examined.
long long fileSize(std::string_view name);
bool removeFile(std::string_view name);
bool readWholeFile(std::string_view name, std::string& contents);
// Writes to a temporary file beside the target and renames it over the target,
// so that readers see the old contents or the new ones, never a half-written file.
bool writeFileAtomically(std::string_view name, std::string_view contents);
bool makeDirectories(std::string_view name);

// Environment variable, "" when unset.
std::string getEnv(const char* name);
bool changeDirectory(std::string_view dir);
std::string currentDirectory();

struct LocalDateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};
LocalDateTime localNow();
// Tests fix "now" with this; nullptr returns to the real clock. The environment
// variable ZEL_FAKE_TODAY=YYYYMMDD does the same for whole programs under test.
void setClockOverride(const LocalDateTime* fixed);

void sleepMs(int milliseconds);
// Uniform in [0, 1).
double randomFraction();

struct ProcessResult {
    bool started = false;   // false: the program could not be started (error says why)
    int exitCode = -1;      // exit status, or 128 + signal number
    std::string error;
};
// Starts the program (mapped name) with the arguments and waits for it to end.
ProcessResult runAndWait(const std::string& program, const std::vector<std::string>& args);

}  // namespace os
