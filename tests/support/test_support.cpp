#include "tests/support/test_support.h"

#include "platform/term/code_page.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zeltest-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (auto& [name, value] : values) set(name, value);
}

void ScopedEnv::set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, {old != nullptr, old ? old : ""}});
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second.first)
            setenv(it->first.c_str(), it->second.second.c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
}

void writeFile(const std::string& path, std::string_view contents) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists(const std::string& path) { return fs::exists(path); }

std::string cp850(std::string_view utf8) {
    return term::utf8ToCp850(utf8);
}

std::string binDir() {
    const char* d = std::getenv("ZEL_BIN_DIR");
    return d && *d ? d : ZEL_DEFAULT_BIN_DIR;
}

std::string sourceDir() {
    const char* d = std::getenv("ZEL_SOURCE_DIR");
    return d && *d ? d : ZEL_DEFAULT_SOURCE_DIR;
}

}  // namespace testsupport
