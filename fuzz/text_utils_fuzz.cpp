// Text utilities on any bytes: compact numbers both ways, packed-date texts,
// folding, and the text stack when its contents are damaged.
#include "format/text_utils.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const os::LocalDateTime now{2026, 3, 15, 10, 30, 0, 0};
    os::setClockOverride(&now);
    fuzzsupport::InputReader in(data, size);
    textUtilsState = TextUtilsState{};
    const uint8_t choice = in.byte();
    textUtilsState.foldAccents = choice & 1;
    const int16_t width = static_cast<int16_t>(in.u16() % 512 - 256);
    const double number = in.number();
    const std::string text(in.piece());
    const std::string stack(in.rest());

    packDigits(text);
    unpackDigits(text);
    packedDateText(text);
    FUZZ_CHECK(foldText(text).size() == text.size());
    isAllChar(text, static_cast<int16_t>(choice));
    centerOffset(text, width);
    zeroPad(number, width);

    // A stack whose lengths may point anywhere: pops must stay inside it.
    textUtilsState.textStack = stack;
    for (int i = 0; i < 4; ++i) popText();
    // A text pushed on what is left comes back as it went in.
    pushText(text);
    FUZZ_CHECK(popText() == text);
    textUtilsState = TextUtilsState{};
    os::setClockOverride(nullptr);
    return 0;
}
