#include "viewer/logic/projection_size.h"

#include <algorithm>
#include <limits>

bool ProjectionOutputSize(const ILProjectionParams& p, uint32_t width, uint32_t height,
                          int32_t* outWidth, int32_t* outHeight) {
    int64_t w = p.width, hgt = p.height;
    if (p.sizeMode != 0) {
        const int64_t s = p.sizeMode == 2 ? std::max(width, height) : std::min(width, height);
        const bool fromWide = p.sourceProjection <= 1, toWide = p.targetProjection <= 1;
        if (fromWide && !toWide) {
            w = hgt = s;
        } else if (!fromWide && toWide) {
            w = 2 * s;
            hgt = s;
        } else {
            w = width;
            hgt = height;
        }
    }
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (w < 1 || hgt < 1 || w > kMax || hgt > kMax) return false;
    *outWidth = static_cast<int32_t>(w);
    *outHeight = static_cast<int32_t>(hgt);
    return true;
}
