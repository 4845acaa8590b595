// The settings of the Shift dialog over the Shift action block.
#pragma once

#include <cstdint>

#include "viewer/actions/action_blocks.h"

// A shift field's range for an image side of `size` pixels: 1 - size to
// size - 1; disabled for a side of one pixel.
struct ShiftFieldRange {
    int32_t minimum = 0, maximum = 0;
    bool enabled = false;
};
ShiftFieldRange ShiftRangeFor(uint32_t size);
// A stored block as the fields take it: each shift clamped to its range.
ShiftBlock ShiftFromStored(const ShiftBlock& stored, uint32_t imageWidth, uint32_t imageHeight);
inline bool ShiftApplyEnabled(const ShiftBlock& shift) {
    return shift.dx != 0 || shift.dy != 0;
}
