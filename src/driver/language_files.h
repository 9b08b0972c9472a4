// Translation of the module's Catalan texts through its language file.
#pragma once

#include <string>
#include <string_view>

struct LanguageFileState {
    std::string languageFileName;  // empty until the first lookup
};
extern LanguageFileState languageFileState;

std::string translateText(std::string_view text);
