#include "viewer/logic/mode_rules.h"

#include "resources/commands.h"
#include "viewer/logic/preferences.h"

namespace {

// Targets of more than 8 bits per sample never dither.
bool IsDeepTarget(uint32_t command) {
    return command == CMD_MODE_GRAY16 || command == CMD_MODE_GRAY_HALF ||
           command == CMD_MODE_GRAY_FLOAT || command >= CMD_MODE_RGB16;
}

// A conversion that cannot lose levels: the image has no more bits per
// channel than the target keeps.
bool KeepsAllLevels(uint32_t command, uint32_t bits) {
    switch (command) {
        case CMD_MODE_RGB8:
        case CMD_MODE_GRAY8:
            return bits <= 8;
        case CMD_MODE_INDEX4:
        case CMD_MODE_GRAY4:
            return bits == 4;
        case CMD_MODE_INDEX2:
        case CMD_MODE_GRAY2:
            return bits == 2;
        default:
            return false;
    }
}

} // namespace

DitherDecision DecideDither(uint32_t command, uint32_t bitsPerChannel, uint8_t preference) {
    if (KeepsAllLevels(command, bitsPerChannel)) return DitherDecision::Off;
    if (preference == 0) return DitherDecision::Off;
    if (preference == 1) return DitherDecision::On;
    return IsDeepTarget(command) ? DitherDecision::Off : DitherDecision::Ask;
}

int MonochromeDitherKind(uint8_t preference) {
    if (preference & kMonochromeDitherAsk) return -1;
    return LastMonochromeDither(preference);
}

int LastMonochromeDither(uint8_t preference) {
    const int kind = preference & 0xF;
    return kind <= 3 ? kind : 0;
}

uint32_t IndexedTargetBits(uint32_t command) {
    switch (command) {
        case CMD_MODE_INDEX1:
            return 1;
        case CMD_MODE_INDEX2:
            return 2;
        case CMD_MODE_INDEX4:
            return 4;
        case CMD_MODE_INDEX8:
            return 8;
        default:
            return 0;
    }
}

int32_t QuantizerHistogramBits(uint32_t indexBits) {
    if (indexBits <= 2) return 4;
    return indexBits == 4 ? 5 : 6;
}
