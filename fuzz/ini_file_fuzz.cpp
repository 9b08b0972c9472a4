// The INI reader on any file: a section and a key from the input, the rest is the file.
#include "driver/ini_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::InputReader in(data, size);
    const std::string section(in.piece());
    const std::string key(in.piece());
    static const std::string file = fuzzsupport::scratchFolder("ini") + "Fuzz.ini";
    fuzzsupport::writeFile(file, in.rest());
    getIniValue(file, section, key);
    // The same file through a "\" name with another letter case.
    getIniValue(fuzzsupport::scratchFolder("ini") + "FUZZ.INI", "Usuari", "DatOrdre");
    return 0;
}
