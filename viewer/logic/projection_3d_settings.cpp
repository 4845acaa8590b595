#include "viewer/logic/projection_3d_settings.h"

#include <cmath>

#include "viewer/logic/control_values.h"
#include "viewer/logic/projection_size.h"

namespace {

// An angle in degrees as its rotation field shows it: turned into
// [0, 360), then truncated.
double AngleField(double degrees) {
    if (!std::isfinite(degrees)) return 0;
    double a = std::fmod(degrees, 360.0);
    if (a < 0) a += 360.0;
    return ControlValueOf(a, 0, kProjectionAngleMaximum);
}

} // namespace

ILProjectionParams DefaultProjection3D(uint32_t imageWidth, uint32_t imageHeight,
                                       const ILColor& background) {
    ILProjectionParams p{};
    p.background = background;
    p.oversampling = 1;
    p.sizeMode = 1;
    const bool wide = imageWidth > imageHeight;
    p.sourceProjection = wide ? 0 : 2;
    p.targetProjection = wide ? 2 : 0;
    p.width = ControlValueOf(imageWidth, 1, kProjectionSizeMaximum);
    p.height = ControlValueOf(imageHeight, 1, kProjectionSizeMaximum);
    UpdateProjection3DSize(&p, imageWidth, imageHeight);
    return p;
}

void UpdateProjection3DSize(ILProjectionParams* p, uint32_t imageWidth, uint32_t imageHeight) {
    int32_t w, h;
    if (p->sizeMode == 0 || !ProjectionOutputSize(*p, imageWidth, imageHeight, &w, &h)) return;
    p->width = ClampToRange(w, 1, kProjectionSizeMaximum);
    p->height = ClampToRange(h, 1, kProjectionSizeMaximum);
}

ILProjectionParams Projection3DFromStored(const ILProjectionParams& stored, uint32_t imageWidth,
                                          uint32_t imageHeight) {
    ILProjectionParams p = stored;
    p.angleX = AngleField(stored.angleX);
    p.angleY = AngleField(stored.angleY);
    p.angleZ = AngleField(stored.angleZ);
    p.oversampling =
        static_cast<uint8_t>(ClampToRange(stored.oversampling, 1, kOversamplingMaximum));
    p.sourceProjection = static_cast<uint8_t>(ClampToRange(stored.sourceProjection, 0, 3));
    p.targetProjection = static_cast<uint8_t>(ClampToRange(stored.targetProjection, 0, 3));
    p.sizeMode = ClampToRange(stored.sizeMode, 0, 2);
    p.width = ClampToRange(stored.width, 1, kProjectionSizeMaximum);
    p.height = ClampToRange(stored.height, 1, kProjectionSizeMaximum);
    p.background = ControlColorOf(stored.background);
    UpdateProjection3DSize(&p, imageWidth, imageHeight);
    return p;
}

ILProjectionParams Projection3DRecord(const ILProjectionParams& p, uint32_t imageWidth,
                                      uint32_t imageHeight) {
    ILProjectionParams record = p;
    int32_t w, h;
    if (!ProjectionOutputSize(p, imageWidth, imageHeight, &w, &h) || w != p.width || h != p.height)
        record.sizeMode = 0;
    return record;
}
