// A list without a data file shows what Browse.tmp holds, whoever left it there:
// a cache of any bytes, shown in a box from the input and scrolled by a few keys.
#include "console/browse_list.h"
#include "console/field_editor.h"
#include "console/form_driver.h"
#include "console/windows.h"
#include "driver/form_file.h"
#include "driver/session_settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/term/console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::scratchFolder("browse");
    static const int16_t keys[] = {keycode::down, keycode::up,   keycode::pgDn,  keycode::pgUp,
                                   keycode::left, keycode::right, keycode::down, keycode::pgDn};
    fuzzsupport::InputReader in(data, size);
    const uint8_t choice = in.byte();
    const int16_t top = static_cast<int16_t>(in.byte() % 30), left = static_cast<int16_t>(in.byte() % 90);
    const int16_t bottom = static_cast<int16_t>(in.byte() % 30), right = static_cast<int16_t>(in.byte() % 90);
    const std::string_view script = in.piece();
    sessionSettings = SessionSettings{};
    sessionSettings.rootDir = folder;
    sessionSettings.tempDir = folder;
    sessionSettings.languageCode = "CAT";
    const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
    for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
    windowState = WindowState{};
    keyboardState = KeyboardState{};
    exitKeyTable = ExitKeyTable{};
    browseChoice = BrowseChoice{};
    term::openMemory(80, 25);
    FormTables& t = formTables;
    t = FormTables{};
    t.lookupCount = 1;
    t.lookupLists.resize(2);
    t.lookupLists[1] = LookupList{0, 0, top, left, bottom, right, 0, "TRIA", 0};
    fuzzsupport::writeFile(folder + "Browse.tmp", in.rest());

    BrowseView view;
    if (openBrowseView(view, 1) == 0) {
        int16_t last = (choice & 1) ? keycode::enter : keycode::esc;
        for (char k : script) {
            const int16_t key = keys[static_cast<uint8_t>(k) % 8];
            if (!browseViewKey(view, key)) {
                last = key;
                break;
            }
        }
        if (last == keycode::enter || last == keycode::esc) browseViewKey(view, last);
        closeBrowseView(view, last);
    }
    FUZZ_CHECK(windowState.windowDepth == 0);
    formTables = FormTables{};
    term::close();
    os::removeFile(folder + "Browse.tmp");
    return 0;
}
