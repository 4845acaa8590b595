// 3D panorama projection: reprojection between latitude/longitude,
// cylindrical, angular and mirror-ball images with a rotation of the
// viewing sphere in between.
#pragma once

#include <cstdint>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/image.h"

inline constexpr uint8_t IL_PROJECTION_COUNT = 4;
// "Latitude/Longitude", "Cylindrical", "Angular", "Mirror Ball", by code.
extern const char* const ILProjectionNames[IL_PROJECTION_COUNT];

struct ILProjectionParams {
    double angleX, angleY, angleZ; // degrees about the x, y (polar) and z (view) axes
    ILColor background;            // outside the disc of an angular or mirror-ball target
    uint8_t oversampling;          // 0 nearest, 1 interpolated, N >= 2 N x N supersampling
    uint8_t sourceProjection, targetProjection;
    int32_t width, height; // the size the caller allocates the target at
    int32_t sizeMode;      // 0 user size, 1 downsample, 2 upsample
};

// The record as stored in action files: 60 little-endian bytes at fixed
// offsets (the in-memory struct is padded to 64 and must not be written).
inline constexpr uint32_t IL_PROJECTION_PARAMS_BYTES = 60;
void ILProjectionParamsToBytes(const ILProjectionParams* p, uint8_t bytes[60]);
void ILProjectionParamsFromBytes(const uint8_t bytes[60], ILProjectionParams* p);

// The target is allocated by the caller in the source's type at the wanted
// size and written in full. -2 for an invalid source or target, a type
// without raw accessors, projection codes outside 0 ... 3 or angles that are
// not numbers; -1 cancelled.
ILResult ILProjectImage(ILHandle* h, ILImage* source, ILImage* target,
                        const ILProjectionParams* params);
