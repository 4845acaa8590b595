#include "viewer/logic/affine_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "viewer/logic/control_values.h"

namespace {

std::string Printed(const char* format, double a, double b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

} // namespace

ILAffineParams DefaultAffine(const ILColor& background) {
    ILAffineParams p{};
    p.scaleX = p.scaleY = 1;
    p.background = background;
    p.oversampling = 1;
    p.fitCanvas = 1;
    return p;
}

AffineSliders AffineSlidersOf(const ILAffineParams& p) {
    return {ControlValueRounded(p.angle * 10.0, -1800, 1800),
            ControlValueRounded(p.scaleX * 1000.0, 250, 2500),
            ControlValueRounded(p.shiftX * 1000.0, -800, 800),
            ControlValueRounded(p.shiftY * 1000.0, -800, 800)};
}

void AffineFromSliders(const AffineSliders& s, ILAffineParams* p) {
    p->angle = s.angle * 0.1;
    p->scaleX = p->scaleY = s.scale * 0.001;
    p->shiftX = s.shiftX * 0.001;
    p->shiftY = s.shiftY * 0.001;
}

ILAffineParams AffineFromStored(const ILAffineParams& stored) {
    ILAffineParams p = stored;
    AffineFromSliders(AffineSlidersOf(stored), &p);
    p.oversampling = static_cast<uint8_t>(ClampToRange(stored.oversampling, 1, 8));
    p.fitCanvas = stored.fitCanvas ? 1 : 0;
    p.alignment[0] = p.alignment[1] = 0;
    return p;
}

bool AffineApplyEnabled(const ILAffineParams& p) {
    const bool still = p.angle == 0 && p.scaleX == 1 && p.scaleY == 1;
    return !(still && (p.fitCanvas || (p.shiftX == 0 && p.shiftY == 0)));
}

std::string AffineAngleText(const ILAffineParams& p) {
    return Printed("%1.1f\xB0", p.angle);
}

std::string AffineScaleText(const ILAffineParams& p) {
    return Printed("%1.1f%%", p.scaleX * 100.0);
}

std::string AffineShiftText(const ILAffineParams& p) {
    return Printed("%1.3f, %1.3f", p.shiftX, p.shiftY);
}

std::string AffineSizeText(const ILImage& unedited, const ILAffineParams& p) {
    int32_t w, h;
    if (ILAffineOutputSize(&unedited, &p, &w, &h) != IL_OK) return {};
    return std::to_string(w) + " x " + std::to_string(h) + " pixel";
}

PreviewPlacement AffinePreviewFit(uint32_t imageWidth, uint32_t imageHeight) {
    const PreviewPlacement fit = FitPreview(imageWidth, imageHeight);
    const double f = kPreviewFitSize /
                     std::hypot(static_cast<double>(fit.width), static_cast<double>(fit.height));
    const auto shrunk = [&](int32_t side) { return std::max(1, static_cast<int32_t>(side * f)); };
    const int32_t w = shrunk(fit.width), h = shrunk(fit.height);
    if (w < fit.width || h < fit.height) return CentrePreview(w, h);
    return fit;
}

ILAffineParams AffinePreviewParams(const ILAffineParams& p) {
    ILAffineParams preview = p;
    preview.oversampling = 1;
    if (p.fitCanvas) preview.scaleX = preview.scaleY = 1;
    return preview;
}
