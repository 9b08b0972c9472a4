#include "platform/os/os.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>

extern char** environ;

namespace os {

namespace {

struct ClockState {
    bool overridden = false;
    LocalDateTime fixed;
};
ClockState clockState;

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` without regard to ASCII letter case;
// "" when there is none. The first in directory order wins, as documented.
std::string caseInsensitiveEntry(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

std::string mapPath(std::string_view name) {
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || exists(path)) return path;

    // Walk the components; keep each one that exists, otherwise look for a
    // case-insensitive match in its folder. Once a component is missing altogether,
    // the rest is kept as written.
    std::string out;
    size_t i = 0;
    if (path[0] == '/') {
        out = "/";
        i = 1;
    }
    bool resolving = true;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string comp = path.substr(i, j - i);
        if (!comp.empty()) {
            std::string candidate = out + comp;
            if (resolving && !exists(candidate) && comp != "." && comp != "..") {
                std::string match = caseInsensitiveEntry(out.empty() ? "." : out, comp);
                if (!match.empty())
                    candidate = out + match;
                else
                    resolving = false;
            }
            out = candidate;
        }
        if (j < path.size()) out += '/';
        i = j + 1;
    }
    return out;
}

std::FILE* openFile(std::string_view name, const char* mode) {
    return std::fopen(mapPath(name).c_str(), mode);
}

bool fileExists(std::string_view name) { return exists(mapPath(name)); }

bool isDirectory(std::string_view name) {
    struct stat st;
    return ::stat(mapPath(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long fileSize(std::string_view name) {
    struct stat st;
    if (::stat(mapPath(name).c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

bool removeFile(std::string_view name) { return ::unlink(mapPath(name).c_str()) == 0; }

bool readWholeFile(std::string_view name, std::string& contents) {
    contents.clear();
    std::FILE* f = openFile(name, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) contents.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool writeFileAtomically(std::string_view name, std::string_view contents) {
    const std::string target = mapPath(name);
    std::string tmp = target + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    const char* p = contents.data();
    size_t left = contents.size();
    bool ok = true;
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool makeDirectories(std::string_view name) {
    std::string path = mapPath(name);
    if (path.empty()) return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (!exists(part) && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return isDirectory(path);
}

std::string getEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool changeDirectory(std::string_view dir) { return ::chdir(mapPath(dir).c_str()) == 0; }

std::string currentDirectory() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

LocalDateTime localNow() {
    if (clockState.overridden) return clockState.fixed;
    LocalDateTime t;
    auto now = std::chrono::system_clock::now();
    std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    ::localtime_r(&secs, &tm);
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    // Whole programs under test can be given a fixed day.
    const char* fake = std::getenv("ZEL_FAKE_TODAY");
    if (fake && std::strlen(fake) == 8) {
        int v = std::atoi(fake);
        if (v > 0) {
            t.year = v / 10000;
            t.month = v / 100 % 100;
            t.day = v % 100;
        }
    }
    return t;
}

void setClockOverride(const LocalDateTime* fixed) {
    clockState.overridden = fixed != nullptr;
    if (fixed) clockState.fixed = *fixed;
}

void sleepMs(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double randomFraction() {
    static std::mt19937_64 engine{std::random_device{}()};
    static std::uniform_real_distribution<double> dist(0.0, 1.0);
    return dist(engine);
}

ProcessResult runAndWait(const std::string& program, const std::vector<std::string>& args) {
    ProcessResult result;
    const std::string path = mapPath(program);
    std::vector<std::string> argStore;
    argStore.push_back(path);
    for (const std::string& a : args) argStore.push_back(a);
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        result.error = std::strerror(rc);
        return result;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.error = std::strerror(errno);
            return result;
        }
    }
    // posix_spawnp reports an exec failure as exit status 127 from the child.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && !exists(path) && path.find('/') != std::string::npos) {
        result.error = "program not found: " + path;
        return result;
    }
    result.started = true;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace os
