// Replays a fuzz target's corpus without clang's fuzzer runtime, so the normal
// and the sanitizer builds run every saved input as a unit test.
//
//     replay_<name> FOLDER_OR_FILE...
//
// Every regular file named (or found in a folder named, in name order) is handed to
// LLVMFuzzerTestOneInput once. A fault ends the program as it would end the fuzzer;
// otherwise the exit code is 0 when at least one input was replayed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

int main(int argc, char** argv) {
    if (&LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& entry : fs::directory_iterator(argv[i], ec))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(argv[i], ec)) {
            inputs.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: not a file or folder\n", argv[i]);
            return 2;
        }
    }
    // Absolute names: a target may change the current folder (the help viewer reads from it).
    for (fs::path& p : inputs) p = fs::absolute(p);
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "%s: cannot read\n", p.c_str());
            return 2;
        }
        // A copy of exactly the input's size, so a read past its end is caught.
        std::vector<uint8_t> copy(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
