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

// --- Projective maps ------------------------------------------------------------

// A 3 x 3 matrix, row-vector convention: (X, Y, W) = [x y 1] x M and the
// point (x, y) maps to (X / W, Y / W). A quadrilateral is four corners
// x0, y0 ... x3, y3.
struct ILQuadMap {
    double m[9]; // m00 m01 m02 m10 m11 m12 m20 m21 m22
};
// Unit square corners (0,0) (1,0) (1,1) (0,1) onto the quadrilateral's
// corners 0 ... 3; false (and all zero) when the quadrilateral degenerates.
bool ILQuadMapSquareToQuad(ILQuadMap* m, const double quad[8]);
bool ILQuadMapInvert(ILQuadMap* m);
// m becomes m x n: m first, n after it.
void ILQuadMapMultiply(ILQuadMap* m, const ILQuadMap* n);
// The quadrilateral onto the rectangle (left, top) (right, top)
// (right, bottom) (left, bottom).
bool ILQuadMapQuadToRect(ILQuadMap* m, const double quad[8], double left, double top, double right,
                         double bottom);

// --- Samplers -------------------------------------------------------------------

// Reads the source at the continuous position (x, y) (pixel i covers
// [i, i + 1)) into out: one raw pixel of the source's type, or one linear f32
// per channel for the linear variants. Raw pixel slots are 16 bytes. The
// wrap-around samplers ignore the background.
using ILSampler = void (*)(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                           const void* background);
void ILSampleNearest(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                     const void* background);
void ILSampleNearestWrap(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                         const void* background);
void ILSampleCosine(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                    const void* background);
void ILSampleCosineWrap(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                        const void* background);
void ILSampleCosineLinear(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                          const void* background);
void ILSampleCosineWrapLinear(float x, float y, const ILImage* source, ILGetPixelProc get,
                              void* out, const void* background);

// Four raw pixels (x0, y0), (x1, y0), (x0, y1), (x1, y1) and their weights.
struct ILSampleQuad {
    alignas(16) uint8_t pixels[4][16];
    float weights[4];
};
// By the image's sample kind (8, 16-bit, half, float; others write nothing).
// Colour is mixed in linear light, an extra channel on its codes.
void ILPixelToLinear(const ILImage* image, float* out, const void* pixel);
void ILMixToLinear(const ILImage* image, const ILSampleQuad* quad, float* out);
void ILMixToPixel(const ILImage* image, const ILSampleQuad* quad, void* out);
void ILCosineWeights(float x, float y, ILSampleQuad* quad);
// Whether the cosine-weighted samplers serve the image's sample kind.
bool ILSamplerKnowsKind(ILPixelType type);

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

struct ILPerspectiveParams {
    // Corners as fractions: x of the width from the left, y of the height
    // from the bottom edge upwards.
    double corners[8];
    double scaleX, scaleY; // target size factors
    ILColor background;
    uint8_t mapping;      // 0 selection to image, 1 image to selection, 2 adaptive
    uint8_t oversampling; // as in ILAffineParams
    uint8_t alignment[2];
};
static_assert(sizeof(ILPerspectiveParams) == 104 &&
              offsetof(ILPerspectiveParams, background) == 80 &&
              offsetof(ILPerspectiveParams, mapping) == 100 &&
              offsetof(ILPerspectiveParams, oversampling) == 101);

// In place, the canvas fitted to the turned image; multiples of 90 degrees
// move every pixel exactly, for every pixel type.
ILResult ILRotateImage(ILHandle* h, ILImage* image, double degrees);
// The target size ILAffineTransform gives the source: its own size, or with
// fitCanvas the turned and scaled source's bounds rounded half up; -2 (and
// 0 x 0) for parameters it refuses or a size an image cannot have.
ILResult ILAffineOutputSize(const ILImage* source, const ILAffineParams* params, int32_t* width,
                            int32_t* height);
// A null target, or the source itself, means in place.
ILResult ILAffineTransform(ILHandle* h, ILImage* source, ILImage* target,
                           const ILAffineParams* params);

// The target size ILPerspectiveTransform allocates; -2 (and 0 x 0) when it
// is not a size an image can have.
ILResult ILPerspectiveOutputSize(const ILImage* source, const ILPerspectiveParams* params,
                                 int32_t* width, int32_t* height);
ILResult ILPerspectiveTransform(ILHandle* h, ILImage* source, ILImage* target,
                                const ILPerspectiveParams* params);
