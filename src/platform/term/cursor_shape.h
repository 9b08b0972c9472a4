// What the terminal is sent to show the console's cursor: hidden, low (insert
// mode) or a full block (overwrite mode).
#pragma once

#include <string>

#include "platform/term/console.h"

namespace term {

// The terminal's cursor capabilities, already expanded (empty when it lacks one).
struct CursorCapabilities {
    std::string hide;      // civis
    std::string normal;    // cnorm
    std::string veryVisible;  // cvvis
    std::string styleLow;  // Ss with 4: steady underline
    std::string styleBlock;  // Ss with 2: steady block
    std::string styleReset;  // Se
};

// The bytes that bring the cursor to this state. Where the terminal cannot set
// the cursor style, its "very visible" cursor stands in for the block.
std::string cursorSequence(const CursorCapabilities& caps, bool visible, CursorShape shape);

}  // namespace term
