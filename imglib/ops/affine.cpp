// Rotate and affine transform. Quarter turns without scaling move pixels
// exactly; every other case maps each target pixel back into the source
// through the affine transformer.
#include <cmath>
#include <numbers>

#include "imglib/ops/affine_transformer.h"
#include "imglib/ops/destination.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/rotate_exact.h"

namespace {

// Into [0, 360). fmod, not a loop: a stored angle of 1e300 must not hang.
double NormaliseAngle(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) a += 360.0;
    return a >= 360.0 ? 0.0 : a;
}

} // namespace

void ILAffineTransformer::Map(double x, double y, double* sx, double* sy) const {
    map.Map(x, y, sx, sy);
}

// Target centre to the origin, turn by -angle, scale by the inverse scales,
// origin to the source centre: the source centre lands at (cx, cy).
ILResult ILAffineTransformerInit(ILAffineTransformer* t, ILHandle* h, const ILImage* source,
                                 ILImage* target, const ILAffineParams& p) {
    const double angle = NormaliseAngle(p.angle);
    double cx = target->width / 2.0, cy = target->height / 2.0;
    if (!p.fitCanvas) {
        cx -= source->width * p.shiftX;
        cy -= source->height * p.shiftY;
    }
    const double r = -angle * std::numbers::pi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    ILAffineMap& m = t->map;
    m.m00 = c / p.scaleX;
    m.m10 = -s / p.scaleX;
    m.m20 = (-cx * c + cy * s) / p.scaleX + source->width / 2.0;
    m.m01 = s / p.scaleY;
    m.m11 = c / p.scaleY;
    m.m21 = (-cx * s - cy * c) / p.scaleY + source->height / 2.0;
    t->affine = &m;
    return ILTransformerInit(t, h, source, target, false, p.oversampling, &p.background);
}

namespace {

struct Size {
    uint32_t width, height;
};

// Finite numbers and scales that do not collapse the image.
bool ParamsAreUsable(const ILAffineParams* p) {
    return p && std::isfinite(p->angle) && std::isfinite(p->scaleX) && std::isfinite(p->scaleY) &&
           p->scaleX != 0 && p->scaleY != 0 && std::isfinite(p->shiftX) && std::isfinite(p->shiftY);
}

// The target size, or false when it is beyond what an image can hold.
bool TargetSize(const ILImage* source, const ILAffineParams& p, double angle, Size* size) {
    if (!p.fitCanvas) {
        *size = {source->width, source->height};
        return true;
    }
    const double w = source->width * std::fabs(p.scaleX), h = source->height * std::fabs(p.scaleY);
    double tw, th;
    if (angle == 180.0 || angle == 0.0) {
        tw = w;
        th = h;
    } else if (angle == 90.0 || angle == 270.0) {
        tw = h;
        th = w;
    } else {
        const double t = -angle * std::numbers::pi / 180.0;
        tw = std::fabs(std::cos(t) * w) + std::fabs(std::sin(t) * h);
        th = std::fabs(std::cos(t) * h) + std::fabs(std::sin(t) * w);
    }
    const int32_t iw = ILFloorD(tw + 0.5), ih = ILFloorD(th + 0.5);
    if (iw <= 0 || ih <= 0) return false;
    *size = {static_cast<uint32_t>(iw), static_cast<uint32_t>(ih)};
    return true;
}

} // namespace

ILResult ILRotateImage(ILHandle* h, ILImage* image, double degrees) {
    ILAffineParams p{};
    p.angle = degrees;
    p.scaleX = p.scaleY = 1;
    p.background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = -1};
    p.fitCanvas = 1;
    return ILAffineTransform(h, image, nullptr, &p);
}

ILResult ILAffineOutputSize(const ILImage* source, const ILAffineParams* params, int32_t* width,
                            int32_t* height) {
    *width = *height = 0;
    if (!source || !ParamsAreUsable(params)) return IL_BAD_ARGUMENT;
    Size size;
    if (!TargetSize(source, *params, NormaliseAngle(params->angle), &size)) return IL_BAD_ARGUMENT;
    *width = static_cast<int32_t>(size.width);
    *height = static_cast<int32_t>(size.height);
    return IL_OK;
}

ILResult ILAffineTransform(ILHandle* h, ILImage* source, ILImage* target,
                           const ILAffineParams* params) {
    if (!ParamsAreUsable(params) || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    const ILAffineParams& p = *params;
    const double angle = NormaliseAngle(p.angle);
    const bool unitScale = p.scaleX == 1 && p.scaleY == 1;

    if (angle == 0 && unitScale && (p.fitCanvas || (p.shiftX == 0 && p.shiftY == 0))) {
        if (!target || target == source) return IL_OK;
        return ILAssignImage(target, source);
    }

    Size size;
    if (!TargetSize(source, p, angle, &size)) return IL_BAD_ARGUMENT;
    const bool quarter = angle == 90.0 || angle == 180.0 || angle == 270.0;
    if (quarter && p.fitCanvas && !ILGetPixelAccessors(source, nullptr, nullptr))
        return IL_BAD_ARGUMENT;

    ILOpDestination destination(source, target);
    if (destination.Allocate(size.width, size.height, source->type) != IL_OK)
        return IL_OUT_OF_MEMORY;

    if (quarter && unitScale && p.fitCanvas) {
        ILRotateQuarterTurns(h, source, destination.Image(), static_cast<int>(angle / 90.0));
        destination.Commit();
        return IL_OK;
    }
    ILAffineTransformer transformer;
    ILAffineTransformerInit(&transformer, h, source, destination.Image(), p);
    const ILResult r = ILTransformerRun(&transformer);
    if (r == IL_OK) destination.Commit();
    return r;
}
