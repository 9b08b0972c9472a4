// The print program as a whole: options, reading the print file, rendering and
// delivery. main() only hands its arguments here.
#pragma once

namespace zelprint {

// Exit codes: 0 printed (or written), 1 failure, 2 bad usage.
int runZelprint(int argc, char** argv);

}  // namespace zelprint
