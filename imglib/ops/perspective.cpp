// Perspective transform between the image and a quadrilateral: a projective
// map from target pixels to source pixels, built from unit-square maps.
#include <algorithm>
#include <cmath>

#include "imglib/ops/destination.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/transformer.h"

namespace {

class ILPerspectiveTransformer final : public ILTransformer {
public:
    ILQuadMap m{};

    // Near the horizon W goes to 0 and the quotient to infinity or NaN; the
    // samplers take either as a position outside the source.
    void Map(double x, double y, double* sx, double* sy) const override {
        const double* a = m.m;
        const double w = x * a[2] + y * a[5] + a[8];
        *sx = (x * a[0] + y * a[3] + a[6]) / w;
        *sy = (x * a[1] + y * a[4] + a[7]) / w;
    }
};

void Rectangle(double quad[8], double w, double h) {
    const double r[8] = {0, 0, w, 0, w, h, 0, h};
    std::copy(r, r + 8, quad);
}

void ILPerspectiveTransformerInit(ILPerspectiveTransformer* t, ILHandle* h, const ILImage* source,
                                  ILImage* target, const ILPerspectiveParams& p) {
    if (ILTransformerInit(t, h, source, target, false, p.oversampling, &p.background) != IL_OK)
        return;
    t->setup = IL_BAD_ARGUMENT;
    const double ws = source->width, hs = source->height;
    const double wt = target->width, ht = target->height;
    double dw, dh;
    switch (p.mapping) {
        case 0:
            dw = ws, dh = hs;
            break;
        case 1:
            dw = wt, dh = ht;
            break;
        case 2:
            dw = ws * p.scaleX, dh = hs * p.scaleY;
            break;
        default:
            return;
    }
    double quad[8], minX = INFINITY, minY = INFINITY;
    for (int i = 0; i < 4; ++i) {
        quad[2 * i] = p.corners[2 * i] * dw;
        quad[2 * i + 1] = (1 - p.corners[2 * i + 1]) * dh;
        minX = std::min(minX, quad[2 * i]);
        minY = std::min(minY, quad[2 * i + 1]);
    }
    ILQuadMap& m = t->m;
    double rect[8];
    bool ok;
    if (p.mapping == 0) { // the source quadrilateral stretched over the target
        ILQuadMap toQuad;
        Rectangle(rect, wt, ht);
        ok = ILQuadMapSquareToQuad(&m, rect) && ILQuadMapInvert(&m) &&
             ILQuadMapSquareToQuad(&toQuad, quad);
        if (ok) ILQuadMapMultiply(&m, &toQuad);
    } else if (p.mapping == 1) { // the whole source drawn into the quadrilateral
        ok = ILQuadMapQuadToRect(&m, quad, 0, 0, ws, hs);
    } else { // as 1, the target cut to the quadrilateral's bounding box
        ILQuadMap fromQuad, toSource;
        Rectangle(rect, ws, hs);
        m = ILQuadMap{{1, 0, 0, 0, 1, 0, minX, minY, 1}};
        ok = ILQuadMapSquareToQuad(&fromQuad, quad) && ILQuadMapInvert(&fromQuad) &&
             ILQuadMapSquareToQuad(&toSource, rect);
        if (ok) {
            ILQuadMapMultiply(&m, &fromQuad);
            ILQuadMapMultiply(&m, &toSource);
        }
    }
    const double* a = m.m;
    if (ok && std::fabs(a[0]) > 1e-14 && std::fabs(a[4]) > 1e-14 && std::fabs(a[8]) > 1e-14)
        t->setup = IL_OK;
}

} // namespace

ILResult ILPerspectiveOutputSize(const ILImage* source, const ILPerspectiveParams* p,
                                 int32_t* width, int32_t* height) {
    *width = *height = 0;
    if (!source || !p) return IL_BAD_ARGUMENT;
    double w = source->width * p->scaleX, h = source->height * p->scaleY;
    if (p->mapping == 2) {
        double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
        for (int i = 0; i < 4; ++i) {
            minX = std::min(minX, p->corners[2 * i]), maxX = std::max(maxX, p->corners[2 * i]);
            minY = std::min(minY, p->corners[2 * i + 1]);
            maxY = std::max(maxY, p->corners[2 * i + 1]);
        }
        w *= maxX - minX;
        h *= maxY - minY;
    }
    // Sizes from stored actions: NaN, negative or beyond i32 is no size.
    const int32_t iw = ILFloorD(w + 0.5), ih = ILFloorD(h + 0.5);
    if (iw <= 0 || ih <= 0) return IL_BAD_ARGUMENT;
    *width = iw;
    *height = ih;
    return IL_OK;
}

ILResult ILPerspectiveTransform(ILHandle* h, ILImage* source, ILImage* target,
                                const ILPerspectiveParams* params) {
    if (!params || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    int32_t w, hgt;
    if (ILPerspectiveOutputSize(source, params, &w, &hgt) != IL_OK) return IL_BAD_ARGUMENT;
    ILOpDestination destination(source, target);
    if (destination.Allocate(static_cast<uint32_t>(w), static_cast<uint32_t>(hgt), source->type) !=
        IL_OK)
        return IL_OUT_OF_MEMORY;
    ILPerspectiveTransformer transformer;
    ILPerspectiveTransformerInit(&transformer, h, source, destination.Image(), *params);
    const ILResult r = ILTransformerRun(&transformer);
    if (r == IL_OK) destination.Commit();
    return r;
}
