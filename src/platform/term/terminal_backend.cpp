// Terminal back end on ncursesw. (Being written; until then there is no terminal.)
#include "platform/term/backend.h"

namespace term {
Backend* createTerminalBackend() { return nullptr; }
}  // namespace term
