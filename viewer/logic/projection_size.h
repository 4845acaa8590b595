// The size a 3D projection produces: the one rule that the 3D Projection
// dialog shows and applies and that replaying its action uses.
#pragma once

#include <cstdint>

#include "imglib/ops/projection.h"

// Size mode 0 takes the record's width and height. Modes 1 (downsample) and
// 2 (upsample) take s, the smaller or larger image side: a wide source
// (latitude/longitude, cylindrical) onto a square target (angular, mirror
// ball) gives s x s, a square source onto a wide target 2s x s, and a
// projection within one group keeps the image's size. False when the result
// is not a size an image can have.
bool ProjectionOutputSize(const ILProjectionParams& p, uint32_t width, uint32_t height,
                          int32_t* outWidth, int32_t* outHeight);
