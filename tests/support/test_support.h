// Helpers shared by the tests: temporary folders, environment variables set for
// the length of a test, small files.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder, ending in "/".
    const std::string& path() const { return path_; }
    // path() + name.
    std::string operator/(std::string_view name) const { return path_ + std::string(name); }

private:
    std::string path_;
};

// Sets (or unsets, with nullptr) environment variables and restores them at the end.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> values);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    void set(const char* name, const char* value);

private:
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

void writeFile(const std::string& path, std::string_view contents);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// Bytes of a CP850 text written as UTF-8 in a test source, e.g. cp850("PÀGINA").
std::string cp850(std::string_view utf8);

// Folder of the built programs (ZEL_BIN_DIR, set by ctest) and of the sources.
std::string binDir();
std::string sourceDir();

}  // namespace testsupport
