#include "viewer/tool_settings/resample_settings.h"

#include <cmath>

#include "imglib/ops/resample.h"
#include "viewer/logic/control_values.h"

namespace {

// floor(v + 0.5) as a size field takes it: a 0 becomes 1.
int32_t SideOf(int32_t imageSide, double scale) {
    return ControlValueRounded(imageSide * scale, 1, kResampleSizeMaximum);
}

int32_t PercentOf(double scale) {
    return ControlValueRounded(scale * 100.0, 0, kResamplePercentMaximum);
}

double ScaleOf(int32_t side, int32_t imageSide) {
    return static_cast<double>(side) / imageSide;
}

void FollowWidth(ResampleSettings* s, double scale) {
    if (!s->keepAspect) return;
    s->targetHeight = SideOf(s->imageHeight, scale);
    s->heightPercent = s->widthPercent;
}

void FollowHeight(ResampleSettings* s, double scale) {
    if (!s->keepAspect) return;
    s->targetWidth = SideOf(s->imageWidth, scale);
    s->widthPercent = s->heightPercent;
}

int32_t ImageSide(uint32_t side) {
    return ClampToRange(side, 1, INT32_MAX);
}

} // namespace

ResampleSettings ResampleDefaults(uint32_t imageWidth, uint32_t imageHeight, uint8_t filter,
                                  bool keepAspect) {
    ResampleSettings s;
    s.imageWidth = ImageSide(imageWidth);
    s.imageHeight = ImageSide(imageHeight);
    s.targetWidth = ClampToRange(s.imageWidth, 1, kResampleSizeMaximum);
    s.targetHeight = ClampToRange(s.imageHeight, 1, kResampleSizeMaximum);
    s.filter = filter < IL_RESAMPLE_FILTER_COUNT ? filter : 4;
    s.keepAspect = keepAspect;
    return s;
}

ResampleSettings ResampleFromStored(const ResampleBlock& stored, uint32_t imageWidth,
                                    uint32_t imageHeight) {
    ResampleSettings s = ResampleDefaults(imageWidth, imageHeight, stored.filter, false);
    s.targetWidth = ClampToRange(stored.width, 1, kResampleSizeMaximum);
    s.targetHeight = ClampToRange(stored.height, 1, kResampleSizeMaximum);
    s.widthPercent = PercentOf(ScaleOf(s.targetWidth, s.imageWidth));
    s.heightPercent = PercentOf(ScaleOf(s.targetHeight, s.imageHeight));
    s.keepAspect = s.widthPercent == s.heightPercent;
    return s;
}

void ResampleWidthTyped(ResampleSettings* s, int32_t width) {
    s->targetWidth = ClampToRange(width, 1, kResampleSizeMaximum);
    const double scale = ScaleOf(s->targetWidth, s->imageWidth);
    s->widthPercent = PercentOf(scale);
    FollowWidth(s, scale);
}

void ResampleHeightTyped(ResampleSettings* s, int32_t height) {
    s->targetHeight = ClampToRange(height, 1, kResampleSizeMaximum);
    const double scale = ScaleOf(s->targetHeight, s->imageHeight);
    s->heightPercent = PercentOf(scale);
    FollowHeight(s, scale);
}

void ResampleWidthPercentTyped(ResampleSettings* s, int32_t percent) {
    s->widthPercent = ClampToRange(percent, 0, kResamplePercentMaximum);
    const double scale = s->widthPercent / 100.0;
    s->targetWidth = SideOf(s->imageWidth, scale);
    // A width of no pixel became one: the percentage says what one pixel is.
    if (std::floor(s->imageWidth * scale + 0.5) < 1)
        s->widthPercent = SaturatingTruncate(100.0 / s->imageWidth);
    FollowWidth(s, scale);
}

void ResampleHeightPercentTyped(ResampleSettings* s, int32_t percent) {
    s->heightPercent = ClampToRange(percent, 0, kResamplePercentMaximum);
    const double scale = s->heightPercent / 100.0;
    s->targetHeight = SideOf(s->imageHeight, scale);
    if (std::floor(s->imageHeight * scale + 0.5) < 1)
        s->heightPercent = SaturatingTruncate(100.0 / s->imageHeight);
    FollowHeight(s, scale);
}

void ResampleToggleKeepAspect(ResampleSettings* s) {
    s->keepAspect = !s->keepAspect;
    FollowWidth(s, ScaleOf(s->targetWidth, s->imageWidth));
}

void ResampleSetZoom(ResampleSettings* s, double scale) {
    s->targetWidth = SideOf(s->imageWidth, scale);
    s->targetHeight = SideOf(s->imageHeight, scale);
    s->widthPercent = s->heightPercent = PercentOf(scale);
}

ResampleBlock ResampleBlockOf(const ResampleSettings& s) {
    return {s.targetWidth, s.targetHeight, s.filter};
}
