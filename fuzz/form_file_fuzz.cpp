// The form file on any bytes, read in Catalan or through a language file.
#include "driver/form_file.h"
#include "driver/language_files.h"
#include "driver/program_driver.h"
#include "driver/session_settings.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::InputReader in(data, size);
    static const std::string root = fuzzsupport::scratchFolder("form");
    static const std::string forms = fuzzsupport::scratchFolder("form/FORMS");
    static const std::string locale = fuzzsupport::scratchFolder("form/LOCALE");
    static const bool languageFile = [] {
        fuzzsupport::writeFile(locale + "FUZZ.LNG", "\"Nom: \",\"Nome: \",\"Nom: \",\"Nombre: \"\r\nS,Si,Oc,S\xA1\r\n");
        return true;
    }();
    (void)languageFile;
    sessionSettings = SessionSettings{};
    sessionSettings.rootDir = root;
    sessionSettings.languageCode = (in.byte() & 1) ? "SPA" : "CAT";
    programDriver = ProgramDriverState{};
    programDriver.moduleName = "FUZZ";
    languageFileState = LanguageFileState{};
    formTables = FormTables{};
    fuzzsupport::writeFile(forms + "FUZZ.JPN", in.rest());
    const std::string error = loadForm("FUZZ");

    // What the form driver relies on once the form loaded.
    const FormTables& t = formTables;
    FUZZ_CHECK(error == t.loadError);
    if (error.empty()) {
        FUZZ_CHECK(t.panelCount >= 0 && t.maxFields >= 0 && t.lookupCount >= 0);
        FUZZ_CHECK(t.formPanels.size() == static_cast<size_t>(t.panelCount) + 1);
        FUZZ_CHECK(t.formFields.size() == static_cast<size_t>(t.panelCount) + 1);
        FUZZ_CHECK(t.lookupLists.size() == static_cast<size_t>(t.lookupCount) + 1);
        for (int p = 1; p <= t.panelCount; ++p) {
            FUZZ_CHECK(t.formFields[p].size() == static_cast<size_t>(t.maxFields) + 1);
            const int used = std::min<int>(t.formPanels[p].fieldCount, t.maxFields);
            for (int i = 1; i <= used; ++i) {
                const FormField& f = t.formFields[p][i];
                FUZZ_CHECK(f.value.size() == static_cast<size_t>(std::max<int>(f.width, 0)));
            }
        }
    } else {
        FUZZ_CHECK(t.panelCount == 0);
    }
    formTables = FormTables{};
    return 0;
}
