// The calculator's ZELCALC.TMP of any bytes: loaded, then the strip opened on a
// memory console and driven by a few keys from the input, and saved again; what
// it saved must load again.
#include "console/calculator.h"
#include "console/field_editor.h"
#include "console/windows.h"
#include "driver/session_settings.h"
#include "format/edit_masks.h"
#include "fuzz/fuzz_support.h"
#include "platform/term/console.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzsupport::scratchFolder("calculator");
    static const int sizes[][2] = {{80, 25}, {132, 43}, {26, 25}, {40, 10}};
    static const int16_t extended[] = {keycode::left, keycode::right, keycode::ctrlLeft, keycode::ctrlRight,
                                       keycode::altF, keycode::enter, keycode::backspace, keycode::esc};
    fuzzsupport::InputReader in(data, size);
    const uint8_t choice = in.byte();
    const std::string_view script = in.piece();
    sessionSettings = SessionSettings{};
    sessionSettings.tempDir = folder;
    sessionSettings.terminalDir = folder;
    const ColorSlot colors[5] = {{15, 0}, {7, 0}, {0, 7}, {1, 7}, {14, 1}};
    for (int i = 0; i < 5; ++i) sessionSettings.colorTable[i] = colors[i];
    windowState = WindowState{};
    keyboardState = KeyboardState{};
    numberFormatState = NumberFormatState{};
    numberFormatState.decimalChar = ',';
    numberFormatState.thousandsChar = '.';
    term::openMemory(sizes[choice & 3][0], sizes[choice & 3][1]);
    fuzzsupport::writeFile(calculatorFileName(), in.rest());

    CalculatorState state;
    loadCalculatorFile(state);
    for (const CalculatorTapeLine& line : state.tape) calculatorDisplay(line.value, line.pointTyped, line.decimals);
    calculatorDisplay(state.entry, state.pointTyped, state.decimals);

    if (openCalculatorView(state)) {
        std::string result;
        for (char k : script) {
            // Bytes 0xF8 and up stand for the extended keys; the rest are characters.
            const uint8_t b = static_cast<uint8_t>(k);
            const int16_t key = b >= 0xF8 ? extended[b - 0xF8] : static_cast<int16_t>(b);
            if (!calculatorViewKey(state, key, result)) break;
        }
        closeCalculatorView(state);
        CalculatorState again;
        FUZZ_CHECK(loadCalculatorFile(again));
    }
    term::close();
    return 0;
}
