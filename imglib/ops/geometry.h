// Geometry: floor functions, projective quad maps, the samplers of the
// transformers, and the operations shift, mirror, crop and expand, rotate,
// affine and perspective transforms.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/image.h"

// Largest integer not above x. NaN and values beyond the i32 range answer
// INT32_MIN, a position outside every image.
int32_t ILFloorF(float x);
int32_t ILFloorD(double x);

// --- Shift, mirror, crop and expand -----------------------------------------

// Cyclic shift: target(x + dx mod width, y + dy mod height) = source(x, y).
// A null target, or the source itself, shifts in place.
ILResult ILShiftImage(ILImage* source, ILImage* target, int32_t dx, int32_t dy);
// leftRight 0 swaps rows (up/down), any other value swaps columns.
ILResult ILMirrorImage(ILHandle* h, ILImage* image, int32_t leftRight);
// The width x height rectangle at (x, y); a negative width or height counts
// from (x, y) backwards. Parts outside the source get the fill colour, or
// zero bytes without one. A null target, or the source itself, works in place.
ILResult ILCropImage(ILImage* source, ILImage* target, int32_t x, int32_t y, int32_t width,
                     int32_t height, const ILColor* fill);

// --- Rotate, affine and perspective transforms --------------------------------

// Parameter records stored byte for byte in the viewer's action files:
// little-endian, the layout fixed by the asserts below.
struct ILAffineParams {
    double angle; // degrees; positive turns the picture clockwise
    double scaleX, scaleY;
    double shiftX, shiftY; // fractions of the source width and height
    ILColor background;
    uint8_t oversampling; // 0 nearest, 1 interpolated, N >= 2 N x N supersampling
    uint8_t fitCanvas;    // 1: target sized to the turned source, shifts ignored
    uint8_t alignment[2];
};
static_assert(sizeof(ILAffineParams) == 64 && offsetof(ILAffineParams, background) == 40 &&
              offsetof(ILAffineParams, oversampling) == 60 &&
              offsetof(ILAffineParams, fitCanvas) == 61);

// In place, the canvas fitted to the turned image; multiples of 90 degrees
// move every pixel exactly, for every pixel type.
ILResult ILRotateImage(ILHandle* h, ILImage* image, double degrees);
// A null target, or the source itself, means in place.
ILResult ILAffineTransform(ILHandle* h, ILImage* source, ILImage* target,
                           const ILAffineParams* params);
