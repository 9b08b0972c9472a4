// zelutil load on a sequential file of any bytes, into one of three data files:
// fixed records with duplicate keys, fixed records with a unique key, and
// variable-length records. A file that took records is made afresh for the next input.
#include <string>
#include <vector>

#include "data/data_build.h"
#include "fuzz/fuzz_support.h"
#include "tools/zelutil/commands.h"

namespace {

DataFileSpec specOf(int which) {
    DataFileSpec spec;
    switch (which) {
    case 0:
        spec.recordLength = 8;
        spec.keys = {{{1, 4, keyflag::duplicates}}};
        break;
    case 1:
        spec.recordLength = 20;
        spec.keys = {{{1, 4, 0}}, {{5, 2, keyflag::duplicates}}};
        break;
    default:
        spec.recordLength = 4;
        spec.keys = {{{1, 4, keyflag::duplicates}}};
        spec.fileFlags = 0x0001;
    }
    return spec;
}

std::string dataFile(int which) { return fuzzsupport::scratchFolder("load") + "F" + std::to_string(which) + ".dat"; }

void makeDataFile(int which) {
    os::removeFile(dataFile(which));
    if (createDataFile(dataFile(which), encodeSpecification(specOf(which))) != 0) {
        std::fprintf(stderr, "cannot create %s\n", dataFile(which).c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool made = [] {
        for (int i = 0; i < 3; ++i) makeDataFile(i);
        return true;
    }();
    (void)made;
    fuzzsupport::InputReader in(data, size);
    const int which = in.byte() % 3;
    const std::string seq = fuzzsupport::scratchFolder("load") + "input.seq";
    fuzzsupport::writeFile(seq, in.rest());

    std::vector<std::string> args = {dataFile(which), seq};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int code;
    {
        fuzzsupport::QuietStderr quiet;
        code = zelutilLoad(2, argv.data());
    }
    FUZZ_CHECK(code == 0 || code == 1);
    if (code == 0) makeDataFile(which);
    return 0;
}
