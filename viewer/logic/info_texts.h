// The texts of the Info window, built from the source info record and the
// image the viewer holds; the file dates are added by the window (they need
// the user's locale).
#pragma once

#include <cstdint>
#include <string>

#include "imglib/imglib.h"

// 1234567 gives "1.234.567".
std::string FormatThousands(uint64_t value);
const char* CompressionName(uint32_t code);
const char* ResolutionUnitName(int unit);
// The format's description with the variant of the id ("GIF 89a",
// "TIFF (motorola)", "Portable Graymap"); "Acquired", "Clipboard" or "NONE"
// for ids of 0 and below.
std::string FormatText(int32_t formatId);
std::string ColorText(const ILInfo& info);
std::string GammaText(const ILInfo& info);
// "%d ppi (%1.2f x %1.2f %s)", or "%d x %d ppi (...)" for unequal values;
// "-" without a resolution.
std::string ResolutionText(uint32_t width, uint32_t height, uint32_t ppiX, uint32_t ppiY, int unit);
// "alpha enabled", "alpha disabled" or "no alpha channel".
const char* AlphaStateText(ILPixelType type, bool useAlpha);

struct InfoTexts {
    std::string format;
    std::string fileSize;
    std::string compression;
    std::string imageSize;
    std::string color;
    std::string gamma;
    std::string resolution;
    std::string currentSize;
    std::string mode;
    std::string currentResolution;
    bool hasFile = false; // the dates are to be shown
};

struct InfoViewFacts {
    int resolutionUnit = 0; // 0 cm, 1 inch
    bool useAlpha = false;
    uint32_t viewPpiX = 0; // the viewer's resolution of the current image
    uint32_t viewPpiY = 0;
};

InfoTexts BuildInfoTexts(const ILInfo& info, const ILImage& image, const InfoViewFacts& facts);

// The metadata pages: 1 texts, 2 IPTC, 3 EXIF, 4 XMP, 5 ICC. Empty when the
// record has no such data.
inline constexpr int kInfoPageCount = 5;
bool InfoPageHasData(const ILInfo& info, int page);
std::string InfoPageText(const ILInfo& info, int page);
