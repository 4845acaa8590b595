// What a save format cannot store of the current image, as the save dialog's
// panel tells it, and whether the format has an option dialog.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/pixel_type.h"

// The format's id as the format table gives it (the codec variant in the
// low 4 bits is ignored).
bool HasFormatOptions(uint32_t formatId);
// Empty when the format stores the image as it is.
std::string FormatLimitsText(uint32_t formatId, ILPixelType type);
