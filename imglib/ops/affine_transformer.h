// The transformer of rotation and the affine transform: each target point
// (x, y) maps to the source through one affine map.
#pragma once

#include "imglib/ops/transformer.h"

class ILAffineTransformer final : public ILTransformer {
public:
    ILAffineMap map;

    void Map(double x, double y, double* sx, double* sy) const override;
};

// Target centre to the origin, turned by -angle and scaled by the inverse
// scales, onto the source centre (shifted unless the canvas is fitted).
ILResult ILAffineTransformerInit(ILAffineTransformer* t, ILHandle* h, const ILImage* source,
                                 ILImage* target, const ILAffineParams& p);
