// The terminal input decoder on any byte stream, cut into reads where the input
// says, with the waits running out in between.
#include "fuzz/fuzz_support.h"
#include "platform/term/input_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::InputReader in(data, size);
    const uint8_t choice = in.byte();
    term::DecoderOptions options;
    options.utf8 = !(choice & 1);
    term::InputDecoder decoder(options);
    const size_t chunk = 1 + (choice >> 2);
    const std::string_view bytes = in.rest();
    std::vector<term::InputEvent> events;
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        decoder.feed(bytes.substr(at, chunk), events);
        // Every other read, the wait for more bytes runs out.
        if ((choice & 2) && decoder.waitMs() >= 0 && (at / chunk) % 2) decoder.expire(events);
    }
    decoder.expire(events);
    decoder.expire(events);
    FUZZ_CHECK(decoder.waitMs() == -1 || decoder.pasting());
    for (const term::InputEvent& e : events) FUZZ_CHECK(e.kind != term::InputEvent::Kind::none);
    decoder.reset();
    FUZZ_CHECK(decoder.waitMs() == -1);
    return 0;
}
