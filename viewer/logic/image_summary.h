// Short texts that describe the current image's pixel type (caption tooltip).
#pragma once

#include <cstdint>
#include <string>

// "Monochrome" for 1-bit grey, else "Gray", "Index" or "RGB" with " 1 bps",
// " 2 bps", " 4 bps", " 8 bps", " 16 bps", " half" or " float".
std::string FormatModeName(uint32_t pixelType);
// "\r\nAlpha enabled" / "\r\nAlpha disabled" for a type with alpha, else "".
std::string FormatAlphaState(uint32_t pixelType, bool useAlpha);
