// The language file on any bytes: a language and a text from the input, the rest
// is the module's .LNG file.
#include "driver/language_files.h"
#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::InputReader in(data, size);
    static const char* const languages[] = {"SPA", "GLG", "OCI", "CAT", "ES "};
    static const std::string root = fuzzsupport::scratchFolder("language");
    static const std::string folder = fuzzsupport::scratchFolder("language/LOCALE");
    sessionSettings = SessionSettings{};
    sessionSettings.rootDir = root;
    sessionSettings.languageCode = languages[in.byte() % 5];
    programDriver = ProgramDriverState{};
    programDriver.moduleName = "FUZZ";
    languageFileState = LanguageFileState{};
    const std::string text(in.piece());
    fuzzsupport::writeFile(folder + "FUZZ.LNG", in.rest());
    translateText(text);
    translateText("REBUT");
    return 0;
}
