// Rotate and affine transform. Quarter turns without scaling move pixels
// exactly; every other case maps each target pixel back into the source
// through the affine transformer.
#include <cmath>
#include <numbers>

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

struct Size {
    uint32_t width, height;
};

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

ILResult ILAffineTransform(ILHandle* h, ILImage* source, ILImage* target,
                           const ILAffineParams* params) {
    if (!params || !std::isfinite(params->angle) || !std::isfinite(params->scaleX) ||
        !std::isfinite(params->scaleY) || params->scaleX == 0 || params->scaleY == 0)
        return IL_BAD_ARGUMENT;
    if (!ILIsValidImage(source)) return IL_BAD_ARGUMENT;
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
    return IL_UNSUPPORTED_PIXEL_TYPE; // free angles come with the transformer
}
