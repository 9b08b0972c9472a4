// The terminal's side of the clipboard. The console keeps its own copy of the
// clipboard text (what Ctrl+V pastes); copies are also handed to the terminal with
// the OSC 52 sequence, so that they reach the desktop's clipboard where the
// terminal allows it.
#pragma once

#include <string>
#include <string_view>

namespace term {

// The OSC 52 sequence that puts the text (code page 850) on the clipboard.
std::string osc52Sequence(std::string_view cp850);

// Whether a terminal of this $TERM is likely to take OSC 52 rather than show it
// or ignore it noisily (the Linux console, old hardware terminals).
bool terminalTakesOsc52(std::string_view termName);

// Longest sequence sent; terminals drop longer ones anyway.
constexpr size_t longestOsc52 = 100000;

}  // namespace term
