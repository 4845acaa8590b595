// The engine of the inverse-mapping warps: for every target pixel the kind's
// Map gives the source point, and a sampler reads the source there, with
// optional N x N supersampling averaged in linear light.
#pragma once

#include <cstdint>
#include <vector>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/ops/geometry.h"

// An affine map: source = (x m00 + y m10 + m20, x m01 + y m11 + m21).
struct ILAffineMap {
    double m00 = 1, m01 = 0, m10 = 0, m11 = 1, m20 = 0, m21 = 0;

    void Map(double x, double y, double* sx, double* sy) const {
        *sx = x * m00 + y * m10 + m20;
        *sy = x * m01 + y * m11 + m21;
    }
};

class ILTransformer {
public:
    // Source position of the target point (x, y).
    virtual void Map(double x, double y, double* sourceX, double* sourceY) const = 0;

    ILHandle* handle = nullptr;
    const ILImage* source = nullptr;
    ILImage* target = nullptr;
    int32_t oversampling = 0; // d after forcing; d^2 samples per pixel from 2 up
    ILSetPixelProc set = nullptr;
    ILGetPixelProc get = nullptr;
    ILSampler sampler = nullptr;
    alignas(16) uint8_t background[16] = {};
    ILResult setup = IL_BAD_ARGUMENT;
    bool discMask = false; // pixels outside the target's inscribed ellipse get the background
    // Rows [y0, y1) through a loop made for the source's layout (interpolated
    // 8-bit samples, or the nearest pixel of whole bytes without wrap-around),
    // or null for the generic loop; both give the same pixels.
    void (*fastRows)(const ILTransformer*, uint32_t y0, uint32_t y1) = nullptr;
    // The kind's Map when it is this affine map, which the 8-bit rows then
    // compute inline (the same arithmetic) instead of calling Map per point.
    const ILAffineMap* affine = nullptr;

protected:
    ~ILTransformer() = default;
};

// Oversampling is forced to 0 (nearest) for sources below 8 bits per
// channel, palettes, and sample kinds the interpolating samplers do not
// know. -2 for an invalid source or one without raw accessors.
ILResult ILTransformerInit(ILTransformer* t, ILHandle* h, const ILImage* source, ILImage* target,
                           bool wrap, uint8_t oversampling, const ILColor* background);
// Columns [x0, x1) of target row y sampled at the positions sx[i], sy[i]
// (i from 0, one per column) without the disc mask: the pixels the generic
// loop gives at those positions.
using ILSpanAtProc = void (*)(const ILTransformer* t, uint32_t y, uint32_t x0, uint32_t x1,
                              const float* sx, const float* sy);
// For an initialised transformer interpolating (oversampling 1) an 8-bit
// source, as set up with wrap; null otherwise.
ILSpanAtProc ILSpanAt8For(const ILTransformer* t, bool wrap);
// 1, the set-up's failure, or -1 when the progress procedure cancels at the
// start of a row (the rows not started stay unwritten). Large targets are
// split into bands of rows across the work pool; Map must be safe to call
// from several threads at once.
ILResult ILTransformerRun(ILTransformer* t);
