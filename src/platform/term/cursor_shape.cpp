#include "platform/term/cursor_shape.h"

namespace term {

std::string cursorSequence(const CursorCapabilities& caps, bool visible, CursorShape shape) {
    if (!visible) return caps.hide;
    const bool block = shape == CursorShape::block;
    if (!caps.styleLow.empty() && !caps.styleBlock.empty()) return caps.normal + (block ? caps.styleBlock : caps.styleLow);
    return block && !caps.veryVisible.empty() ? caps.veryVisible : caps.normal;
}

}  // namespace term
