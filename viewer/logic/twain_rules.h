// What the viewer decides about a TWAIN scan without talking to a source:
// which pixel type an announced image becomes and how a source is named in
// the Acquire submenu. The numbers are those of the TWAIN standard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "imglib/pixel_type.h"

// TW_IMAGEINFO.PixelType values the viewer takes.
constexpr uint16_t kTwainBlackWhite = 0; // TWPT_BW
constexpr uint16_t kTwainGrey = 1;       // TWPT_GRAY
constexpr uint16_t kTwainRgb = 2;        // TWPT_RGB

struct ScanPixelType {
    ILPixelType type = 0;   // 0: the viewer cannot take the scan
    uint32_t colorType = 0; // of the source info: 1 monochrome, 2 grey, 4 RGB
};

// From the image information's PixelType and its first three BitsPerSample:
// 1-bit black and white, 8 or 16-bit grey, RGB with three equal 8 or 16-bit
// samples. RGB arrives in R,G,B order and is kept as B,G,R.
ScanPixelType ScanPixelTypeFor(uint16_t pixelType, const int16_t (&bitsPerSample)[3]);

// "Scanner - 2.1": the product name (at most 48 characters, cut at its
// terminator), " - ", major and minor version in decimal.
std::string FormatTwainSourceName(std::string_view productName, unsigned major, unsigned minor);

// A TW_FIX32 as an integer: Whole + Frac / 65536, truncated.
int32_t Fix32ToInt(int16_t whole, uint16_t frac);
