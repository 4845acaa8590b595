// The live previews of the Tonemapping and Color Filter dialogs. They are
// drawn on the preview images alone (at most 380 x 380 pixels, or a
// palette), never on the image, so that every slider step redraws at once.
#pragma once

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/ops/color_ops.h"

// An image without palette: previewSource holds it resampled to the
// preview size as linear float B, G, R (IL_BGR_FLOAT); previewImage, 8-bit
// B, G, R of the same size, gets the filtered preview as sRGB. An indexed
// image: previewImage is the indexed preview with its own palette, whose
// entries become the image's own entries (`palette`) filtered. False for
// images that do not fit these forms, or without memory.
bool RenderToneMapPreview(const ILToneMap& t, ILHandle* h, const ILImage& previewSource,
                          const ILPalette* palette, ILImage* previewImage);
bool RenderColorFilterPreview(const ILColorFilterParams& p, ILHandle* h,
                              const ILImage& previewSource, const ILPalette* palette,
                              ILImage* previewImage);
