#include "viewer/logic/preview_fit.h"

#include <algorithm>

PreviewPlacement FitPreview(uint32_t imageWidth, uint32_t imageHeight) {
    uint64_t w = imageWidth, h = imageHeight;
    if (w > kPreviewFitSize || h > kPreviewFitSize) {
        if (w >= h) {
            h = h * kPreviewFitSize / w;
            w = kPreviewFitSize;
        } else {
            w = w * kPreviewFitSize / h;
            h = kPreviewFitSize;
        }
    }
    return CentrePreview(static_cast<int32_t>(std::max<uint64_t>(w, 1)),
                         static_cast<int32_t>(std::max<uint64_t>(h, 1)));
}

PreviewPlacement CentrePreview(int32_t width, int32_t height) {
    width = std::clamp(width, 1, kPreviewAreaSize);
    height = std::clamp(height, 1, kPreviewAreaSize);
    return {kPreviewAreaLeft + (kPreviewAreaSize - width) / 2, (kPreviewAreaSize - height) / 2,
            width, height};
}
