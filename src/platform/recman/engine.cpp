// Record manager engine. (Being written.)
#include "platform/recman/btrcall.h"

int16_t btrcall(uint16_t, uint8_t*, void*, uint32_t*, void*, uint8_t, int8_t) {
    return recman::statusInvalidOperation;
}
