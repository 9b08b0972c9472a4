#include "driver/language_files.h"

#include "driver/form_items.h"
#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "platform/os/os.h"

#include <cstdio>

LanguageFileState languageFileState;

namespace {

// Which item of a record holds the text of a language: the Catalan key comes
// first, then Galician, Aranese and Spanish. 0: the language has no item.
int itemOfLanguage(std::string_view code) {
    if (code == "GLG") return 2;
    if (code == "OCI") return 3;
    if (code == "SPA") return 4;
    return 0;
}

}  // namespace

std::string translateText(std::string_view text) {
    const std::string& code = sessionSettings.languageCode;
    if (code == "CAT") return std::string(text);
    if (languageFileState.languageFileName.empty()) languageFileState.languageFileName = programDriver.moduleName;

    const std::string fileName = sessionSettings.rootDir + "LOCALE\\" + languageFileState.languageFileName + ".LNG";
    // A missing language file is created empty, so that the installation shows
    // where the module looks for it.
    if (std::FILE* created = os::openFile(fileName, "ab")) std::fclose(created);

    std::string result(text);
    ItemReader reader;
    if (!openItems(reader, fileName)) return result;
    const int wanted = itemOfLanguage(code);
    std::string item[5];
    while (!atEndOfItems(reader)) {
        readTextItem(reader, item[1]);
        if (atEndOfItems(reader)) break;
        // A record that the end of the file cuts short counts as missing.
        bool complete = true;
        for (int i = 2; i <= 4 && complete; ++i) complete = readTextItem(reader, item[i]) != ItemStatus::missing;
        if (!complete) break;
        if (item[1] == text) {
            if (wanted != 0) result = item[wanted];
            break;
        }
    }
    closeItems(reader);
    return result;
}
