#include "viewer/actions/action_names.h"

#include <iterator>

#include "imglib/ops/projection.h"
#include "imglib/ops/resample.h"

const char* const ActionNames[kActionNameCount] = {
    "left",
    "center",
    "right",
    "NONE",
    "Open",
    "Save",
    "Mode",
    "Alpha Channel",
    "Tonemapping",
    "Color Filter",
    "Gauss Filter",
    "Crop",
    "Expand",
    "Shift",
    "Rotate",
    "Mirror",
    "Resample",
    "Invert",
    "Swap red/blue",
    "Write Text",
    "Affine Projection",
    "Perspective Projection",
    "3D Projection",
    "top-left",
    "top-center",
    "top-right",
    "middle-left",
    "middle-center",
    "middle-right",
    "bottom-left",
    "bottom-center",
    "bottom-right",
    "normal",
    "90\xB0 clockwise",
    "180\xB0",
    "270\xB0 clockwise",
};

namespace {

constexpr int kAlignmentFirst = 0, kTypeFirst = 3, kAnchorFirst = 23, kOrientationFirst = 32;

const char* Entry(int first, int count, int32_t value) {
    return value >= 0 && value < count ? ActionNames[first + value] : kUnknownName;
}

template <size_t N>
const char* Pick(const char* const (&table)[N], int32_t value) {
    return value >= 0 && static_cast<size_t>(value) < N ? table[value] : kUnknownName;
}

} // namespace

const char* ActionTypeName(int32_t type) {
    return Entry(kTypeFirst, 20, type);
}
const char* AlignmentName(int32_t alignment) {
    return Entry(kAlignmentFirst, 3, alignment & 3);
}
const char* AnchorName(int32_t anchor) {
    return Entry(kAnchorFirst, 9, anchor);
}
const char* OrientationName(int32_t orientation) {
    return Entry(kOrientationFirst, 4, orientation);
}

const char* ResampleFilterName(int32_t filter) {
    return filter >= 0 && filter < IL_RESAMPLE_FILTER_COUNT ? ILResampleFilterNames[filter]
                                                            : kUnknownName;
}

const char* ProjectionName(int32_t projection) {
    return projection >= 0 && projection < IL_PROJECTION_COUNT ? ILProjectionNames[projection]
                                                               : kUnknownName;
}

const char* MappingName(int32_t mapping) {
    static const char* const kNames[] = {"Selection to image", "Image to selection",
                                         "Image to selection (adaptive)"};
    return Pick(kNames, mapping);
}

const char* GaussOperationName(int32_t operation) {
    static const char* const kNames[] = {"sharpen", "blur", "bloom"};
    // Any 32-bit value may come from a file: the lowest has no predecessor.
    return operation > 0 ? Pick(kNames, operation - 1) : kUnknownName;
}
