// Where a preview tool dialog shows its small preview: the image fitted into
// 380 x 380 pixels and centred in the 384 x 384 preview area right of the
// dialog's controls.
#pragma once

#include <cstdint>

inline constexpr int32_t kPreviewAreaLeft = 270;
inline constexpr int32_t kPreviewAreaSize = 384;
inline constexpr int32_t kPreviewFitSize = 380;

struct PreviewPlacement {
    int32_t x = 0, y = 0; // client coordinates of the top-left pixel
    int32_t width = 1, height = 1;
};

// An image of at most 380 x 380 keeps its size; a larger one is scaled so
// that its longer side is 380 (the other truncated), each side at least 1.
PreviewPlacement FitPreview(uint32_t imageWidth, uint32_t imageHeight);
// A preview of the given size centred in the preview area.
PreviewPlacement CentrePreview(int32_t width, int32_t height);
