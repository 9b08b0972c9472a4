// Turns the bytes a terminal sends into the console's input events: characters in
// code page 850, extended keys as BIOS scan codes with the control-key state of
// their modifiers, and mouse button releases.
//
// The decoder keeps what it cannot decide yet (an Escape that may start a sequence
// or be an Alt prefix, a sequence or character cut between two reads, a paste in
// progress). The caller waits at most waitMs() for more bytes and calls expire()
// when none came: a lone Escape is then the Esc key. Nothing here touches the
// terminal, so the whole of it is tested with byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/term/console.h"

namespace term {

struct DecoderOptions {
    // Bytes 0x80-0xFF are UTF-8 (otherwise ISO 8859-1, one byte a character).
    bool utf8 = true;
    // How long an Escape waits for a following byte before it is the Esc key. Short,
    // because a terminal sends a whole sequence (or Alt + key) in one write.
    int escapeTimeoutMs = 40;
    // How long a sequence or a UTF-8 character that is already under way waits.
    int sequenceTimeoutMs = 250;
    // A paste whose end marker does not come within this time of silence ends.
    int pasteTimeoutMs = 1000;
};

class InputDecoder {
public:
    explicit InputDecoder(DecoderOptions options = {}) : options_(options) {}

    // Decodes what can be decided of the bytes (after those held back), appending
    // the events to `out`.
    void feed(std::string_view bytes, std::vector<InputEvent>& out);
    // How long to wait for more bytes before calling expire(); -1 when nothing is
    // held back.
    int waitMs() const;
    // Nothing more came in time: decides what is held back.
    void expire(std::vector<InputEvent>& out);
    // Forgets everything held back (input flushed).
    void reset();
    bool pasting() const { return pasting_; }

private:
    void decode(bool expired, std::vector<InputEvent>& out);
    size_t decodeOne(size_t at, bool expired, std::vector<InputEvent>& out);
    size_t decodeEscape(size_t at, bool expired, std::vector<InputEvent>& out);
    size_t decodeCsi(size_t at, size_t from, bool expired, uint32_t alt, std::vector<InputEvent>& out);
    size_t decodeSs3(size_t at, size_t from, bool expired, uint32_t alt, std::vector<InputEvent>& out);
    size_t decodePaste(size_t at, bool expired, std::vector<InputEvent>& out);
    size_t decodeCharacter(size_t at, bool expired, uint32_t state, std::vector<InputEvent>& out);
    void dispatchCsi(std::string_view params, uint8_t final, uint32_t alt, std::vector<InputEvent>& out);
    void emitPastedText(std::string_view bytes, std::vector<InputEvent>& out);

    DecoderOptions options_;
    std::string held_;
    bool pasting_ = false;
    // Button of the last press reported in the X10 encoding, whose releases do not
    // say which button was released.
    int x10Pressed_ = 0;
};

}  // namespace term
