// Alpha channel operations.
#pragma once

#include "imglib/handle.h"
#include "imglib/image.h"

// Drops the extra channel (alpha or filler): the handle's alpha mode says
// whether alpha is dropped (0, 1) or composited onto its background (2).
// 1 (also without an extra channel), -2 invalid image, -100 out of memory,
// -4 when no conversion leads there; on failure the image is unchanged.
ILResult ILRemoveAlpha(ILHandle* h, ILImage* image);
