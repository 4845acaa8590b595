#include "viewer/logic/perspective_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "viewer/logic/control_values.h"

namespace {

// span / steps, or 0 when there are no steps to divide by.
double Factor(int32_t span, int32_t steps) {
    return steps > 0 ? static_cast<double>(span) / steps : 0.0;
}

int32_t Last(uint32_t side) {
    return ClampToRange(int64_t{side} - 1, 0, INT32_MAX);
}

} // namespace

PerspectiveGeometry PerspectiveGeometryFor(uint32_t imageWidth, uint32_t imageHeight,
                                           const PreviewPlacement& preview) {
    PerspectiveGeometry g;
    g.maxX = Last(imageWidth);
    g.maxY = Last(imageHeight);
    g.toImageX = Factor(g.maxX, preview.width - 1);
    g.toImageY = Factor(g.maxY, preview.height - 1);
    g.preview = preview;
    return g;
}

ILPerspectiveParams DefaultPerspective(const ILColor& background) {
    ILPerspectiveParams p{};
    std::copy(kDefaultCorners, kDefaultCorners + 8, p.corners);
    p.scaleX = p.scaleY = 1;
    p.background = background;
    p.oversampling = 1;
    return p;
}

ILPerspectiveParams PerspectiveFromStored(const ILPerspectiveParams& stored,
                                          bool oversampleAllowed) {
    ILPerspectiveParams p = stored;
    for (int i = 0; i < 8; ++i)
        p.corners[i] = std::isfinite(stored.corners[i]) ? std::clamp(stored.corners[i], 0.0, 1.0)
                                                        : kDefaultCorners[i];
    p.scaleX = PerspectiveScaleSlider(stored.scaleX) / 1000.0;
    p.scaleY = PerspectiveScaleSlider(stored.scaleY) / 1000.0;
    p.mapping = static_cast<uint8_t>(std::min<int>(stored.mapping, 2));
    p.oversampling =
        oversampleAllowed ? static_cast<uint8_t>(ClampToRange(stored.oversampling, 1, 8)) : 1;
    p.alignment[0] = p.alignment[1] = 0;
    return p;
}

int32_t CornerFieldX(const PerspectiveGeometry& g, double x) {
    return ControlValueRounded(g.maxX * x, 0, g.maxX);
}

int32_t CornerFieldY(const PerspectiveGeometry& g, double y) {
    return ControlValueRounded(g.maxY * y, 0, g.maxY);
}

double CornerFromFieldX(const PerspectiveGeometry& g, int32_t v, double current) {
    return g.maxX > 0 ? Factor(v, g.maxX) : current;
}

double CornerFromFieldY(const PerspectiveGeometry& g, int32_t v, double current) {
    return g.maxY > 0 ? Factor(v, g.maxY) : current;
}

ClientPoint CornerHandle(const PerspectiveGeometry& g, double x, double y) {
    const PreviewPlacement& p = g.preview;
    return {p.x + ControlValueRounded((p.width - 1) * x, 0, p.width - 1),
            p.y + ControlValueRounded((1 - y) * (p.height - 1), 0, p.height - 1)};
}

int32_t HandleFieldX(const PerspectiveGeometry& g, int32_t handleX) {
    return ControlValueRounded((handleX - g.preview.x) * g.toImageX, 0, g.maxX);
}

int32_t HandleFieldY(const PerspectiveGeometry& g, int32_t handleY) {
    const int32_t up = g.preview.y + g.preview.height - 1 - handleY;
    return ControlValueRounded(up * g.toImageY, 0, g.maxY);
}

bool CornerMoved(const ILPerspectiveParams& p, int corner) {
    return p.corners[2 * corner] != kDefaultCorners[2 * corner] ||
           p.corners[2 * corner + 1] != kDefaultCorners[2 * corner + 1];
}

bool PerspectiveApplyEnabled(const ILPerspectiveParams& p, bool valid) {
    if (!valid) return false;
    if (p.scaleX != 1 || p.scaleY != 1) return true;
    for (int k = 0; k < 4; ++k)
        if (CornerMoved(p, k)) return true;
    return false;
}

int32_t PerspectiveScaleSlider(double scale) {
    return ControlValueRounded(scale * 1000.0, 250, 2500);
}

std::string PerspectiveScaleText(double scale) {
    char text[32];
    std::snprintf(text, sizeof text, "%1.1f%%", scale * 100.0);
    return text;
}

std::string PerspectiveSizeText(const ILImage& unedited, const ILPerspectiveParams& p) {
    int32_t w, h;
    if (ILPerspectiveOutputSize(&unedited, &p, &w, &h) != IL_OK) return {};
    return std::to_string(w) + " x " + std::to_string(h) + " pixel";
}

bool MapPerspectivePreview(ILHandle* h, ILImage* previewSource, ILImage* previewImage,
                           const ILPerspectiveParams& p, uint8_t oversampling) {
    if (p.mapping == 0) return true;
    ILPerspectiveParams preview = p;
    preview.scaleX = preview.scaleY = 1;
    preview.mapping = 1;
    preview.oversampling = oversampling;
    return ILPerspectiveTransform(h, previewSource, previewImage, &preview) == IL_OK;
}
