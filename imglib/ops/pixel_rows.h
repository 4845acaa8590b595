// Row addressing shared by the operations.
#pragma once

#include <cstdint>

#include "imglib/image.h"

inline uint8_t* ILRowOf(const ILImage* image, uint64_t y) {
    return image->data + static_cast<int64_t>(y) * image->stride;
}

// Bytes that hold one row's pixels, without the padding (a view's stride
// may be longer still).
inline uint64_t ILPackedRowBytes(const ILImage& image) {
    return (uint64_t{image.bits} * image.channels * image.width + 7) / 8;
}
