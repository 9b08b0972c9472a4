// The help viewer on a help file of any bytes, on memory consoles of several
// sizes, driven by a few keys from the input.
#include "console/field_editor.h"
#include "console/help_viewer.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/term/console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::scratchFolder("help");
    static const std::string topics = fuzzsupport::scratchFolder("help/AJUDA");
    static const bool inFolder = os::changeDirectory(folder);
    (void)inFolder;
    static const int sizes[][2] = {{80, 25}, {120, 30}, {40, 8}, {20, 6}};
    static const int16_t keys[] = {keycode::down, keycode::up,  keycode::pgDn, keycode::pgUp,
                                   keycode::home, keycode::end, keycode::f1,   keycode::enter};
    fuzzsupport::InputReader in(data, size);
    const uint8_t choice = in.byte();
    const std::string_view script = in.take(choice >> 4);
    sessionSettings = SessionSettings{};
    sessionSettings.tempDir = folder;
    sessionSettings.runMode = "DOS";
    const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
    for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
    windowState = WindowState{};
    keyboardState = KeyboardState{};
    term::openMemory(sizes[choice & 3][0], sizes[choice & 3][1]);
    setColor("u");
    fuzzsupport::writeFile(topics + "FUZZ.HLP", in.rest());

    HelpView view;
    if (openHelpView(view, "FUZZ")) {
        for (char k : script) {
            if (!helpViewKey(view, keys[static_cast<uint8_t>(k) % 8])) break;
        }
        // Every record from just before the file to just past it, on the rows there are.
        for (int16_t record = 0; record <= view.lineCount + 1; record += 1 + view.lineCount / 8)
            showHelpLine(view, record, static_cast<int16_t>(1 + record % std::max<int16_t>(view.pageRows, 1)));
        closeHelpView(view);
    }
    term::close();
    os::removeFile(folder + "WinPush.tmp");
    return 0;
}
