// The window stack file (WinPush.tmp) of any bytes under popWindow, on memory
// consoles of several sizes; then a fresh push and pop over what is left.
#include "console/windows.h"
#include "driver/session_settings.h"
#include "fuzz/fuzz_support.h"
#include "platform/term/console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::scratchFolder("windows");
    static const int sizes[][2] = {{80, 25}, {120, 30}, {40, 10}, {132, 110}};
    fuzzsupport::InputReader in(data, size);
    const uint8_t choice = in.byte();
    sessionSettings = SessionSettings{};
    sessionSettings.tempDir = folder;
    const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
    for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
    windowState = WindowState{};
    windowState.windowDepth = static_cast<int16_t>(choice >> 4);
    term::openMemory(sizes[choice & 3][0], sizes[choice & 3][1]);
    term::setStateFolder(folder);

    fuzzsupport::writeFile(folder + "WinPush.tmp", in.rest());
    if (choice & 4) {
        // A push over the damaged file, then pops past it.
        pushWindow(2, 3, 5, 20);
        drawFrame(1);
        popWindow();
    }
    popWindow();
    popWindow();
    FUZZ_CHECK(windowState.windowDepth >= 0);
    term::close();
    os::removeFile(folder + "WinPush.tmp");
    return 0;
}
