// Helpers shared by the fuzz targets: a scratch folder for the whole process,
// files written from the input, and a reader that cuts the input into the pieces
// a target hands to the code under test.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/os/os.h"

// Sanitizer runtimes, when linked, let the report go to another descriptor; a
// target that silences stderr around a call keeps the reports visible with it.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace fuzzsupport {

// A folder under $TMPDIR (or /tmp), made on first use and removed at exit. Ends in "/".
inline const std::string& scratchDir() {
    struct Scratch {
        std::string path;
        Scratch() {
            const char* base = std::getenv("TMPDIR");
            std::string pattern = std::string(base && *base ? base : "/tmp") + "/zel-fuzz-XXXXXX";
            if (!mkdtemp(pattern.data())) {
                std::perror("mkdtemp");
                std::abort();
            }
            path = pattern + "/";
        }
        ~Scratch() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static Scratch scratch;
    return scratch.path;
}

// A sub-folder of the scratch folder, made when missing. Ends in "/".
inline std::string scratchFolder(std::string_view name) {
    std::string path = scratchDir() + std::string(name) + "/";
    os::makeDirectories(path);
    return path;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::abort();
    }
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Cuts the input into pieces. Reading past the end gives zeros and empty pieces,
// so every input is usable.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : bytes_(reinterpret_cast<const char*>(data), size) {}

    uint8_t byte() { return at_ < bytes_.size() ? static_cast<uint8_t>(bytes_[at_++]) : 0; }
    uint16_t u16() {
        uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    // A piece of at most 255 bytes: its length byte, then the bytes.
    std::string_view piece() { return take(byte()); }
    std::string_view take(size_t n) {
        n = std::min(n, bytes_.size() - at_);
        std::string_view out = bytes_.substr(at_, n);
        at_ += n;
        return out;
    }
    std::string_view rest() { return take(bytes_.size() - at_); }
    double number() {
        char raw[sizeof(double)] = {};
        std::string_view got = take(sizeof raw);
        std::memcpy(raw, got.data(), got.size());
        double value;
        std::memcpy(&value, raw, sizeof value);
        return value;
    }
    bool empty() const { return at_ >= bytes_.size(); }

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

// Sends stderr to /dev/null for as long as it lives, for code that reports every
// refused input there; sanitizer reports still reach the real stderr.
class QuietStderr {
public:
    QuietStderr() {
        static const int original = [] {
            int fd = dup(STDERR_FILENO);
            if (&__sanitizer_set_report_fd) __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
            return fd;
        }();
        original_ = original;
        std::fflush(stderr);
        int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        ::close(null);
    }
    ~QuietStderr() {
        std::fflush(stderr);
        dup2(original_, STDERR_FILENO);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int original_ = -1;
};

// A broken promise of the code under test: abort so the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

}  // namespace fuzzsupport
