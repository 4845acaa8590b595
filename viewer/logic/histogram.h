// The Histogram window's numbers: the value distribution of an image in 256
// bins per channel, the bar heights at a scale, and the pixel probe's values
// and texts.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/imglib.h"

enum HistogramChannel : int { HIST_RED = 0, HIST_GREEN = 1, HIST_BLUE = 2 };

inline constexpr int kHistogramBins = 256;
inline constexpr int kBarCap = 104;

struct HistogramCounts {
    uint32_t bins[3][kHistogramBins] = {}; // grey images use the green bins only
    bool color = false;                    // three graphs (indexed, RGB)
    bool wideRange = false;                // half or float samples: "sc" spaces
};

// Counts every pixel once. False (and nothing counted) for a pixel layout
// without a reader, or an indexed image without a palette.
bool ComputeHistogramCounts(const ILImage& image, HistogramCounts& counts);

struct BarHeights {
    uint32_t heights[kHistogramBins] = {};
    int first = -1; // lowest and highest non-empty bin, -1 when none
    int last = -1;
};
// Height = count x scale / pixels, capped at 104 (10 % of the pixels make 100
// pixels at scale 1000).
void ComputeBarHeights(const uint32_t (&bins)[kHistogramBins], double scale, uint64_t pixels,
                       BarHeights& out);

struct PixelProbe {
    bool valid = false;
    bool gray = false;
    bool indexed = false;
    bool alphaShown = false;
    int encoded[3] = {}; // 8-bit sRGB codes, red, green, blue
    float linear[3] = {};
    float opacity = 1;
    int index = -1;
    int marker[3] = {-1, -1, -1}; // bins of the probed value, per graph
    std::string position;         // "x / y", one-based, y from the bottom row
    std::string encodedText;
    std::string linearText;
    std::string labText;
    std::string indexText;
    std::string opacityText;
};
// The probe at image pixel (x, y); not valid outside the image or for a
// layout without a reader.
PixelProbe ProbePixel(const ILImage& image, int32_t x, int32_t y);

// "<r, g, b>" of the linear text; a single grey value (2 to 7 characters)
// three times. Empty for an empty text.
std::string ProbeClipboardText(const std::string& linearText);
