#include "viewer/tool_settings/shift_settings.h"

#include "viewer/logic/control_values.h"

ShiftFieldRange ShiftRangeFor(uint32_t size) {
    const int32_t reach = ClampToRange(int64_t{size} - 1, 0, INT32_MAX);
    return {-reach, reach, reach > 0};
}

ShiftBlock ShiftFromStored(const ShiftBlock& stored, uint32_t imageWidth, uint32_t imageHeight) {
    const ShiftFieldRange x = ShiftRangeFor(imageWidth), y = ShiftRangeFor(imageHeight);
    return {ClampToRange(stored.dx, x.minimum, x.maximum),
            ClampToRange(stored.dy, y.minimum, y.maximum)};
}
