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
    // Rows [y0, y1) of interpolated 8-bit sources, or null for the generic loop.
    void (*rows8)(const ILTransformer*, uint32_t y0, uint32_t y1) = nullptr;

protected:
    ~ILTransformer() = default;
};

// Oversampling is forced to 0 (nearest) for sources below 8 bits per
// channel, palettes, and sample kinds the interpolating samplers do not
// know. -2 for an invalid source or one without raw accessors.
ILResult ILTransformerInit(ILTransformer* t, ILHandle* h, const ILImage* source, ILImage* target,
                           bool wrap, uint8_t oversampling, const ILColor* background);
// 1, the set-up's failure, or -1 when the progress procedure cancels at the
// start of a row (the rows not started stay unwritten). Large targets are
// split into bands of rows across the work pool; Map must be safe to call
// from several threads at once.
ILResult ILTransformerRun(ILTransformer* t);
