// The converter benchmarks' inputs: 24-megapixel images of fixed-seed pixels
// for the conversions every load and display goes through, and the
// converter each one is timed with. Shared by convert_bench (Google
// Benchmark) and convert_vs_vips (the same conversions against vips).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/handle.h"

namespace vxbench {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

struct Input {
    const char* name;
    ILPixelType source, target;
    uint8_t alphaHandling;
    uint32_t bytesPerPixel;
    bool dither = true;
    bool shapes = false; // alpha from discs with soft edges instead of random
};

inline const Input kInputs[] = {
    {"rgb8_to_grey8", IL_BGR8, IL_GREY8, 1, 3},
    {"rgb16_to_rgb8", IL_BGR16, IL_BGR8, 1, 6},
    {"rgb16_to_rgb8_plain", IL_BGR16, IL_BGR8, 1, 6, false},
    {"linear_float_to_srgb8", IL_BGR_FLOAT, IL_BGR8, 1, 12},
    {"rgba8_composite", IL_BGRA8, IL_BGR8, 2, 4},
    {"rgba8_composite_shapes", IL_BGRA8, IL_BGR8, 2, 4, true, true},
    {"greya8_composite_shapes", IL_GREY_A8, IL_BGR8, 2, 2, true, true},
    {"greya16_composite_shapes", IL_GREY_A16, IL_BGR8, 2, 4, true, true},
    {"rgba16_composite_shapes", IL_BGRA16, IL_BGR8, 2, 8, true, true},
    {"ycbcr8_to_rgb8", IL_YCBCR8, IL_BGR8, 1, 3},
    {"index8_to_rgb8", IL_INDEX8, IL_BGR8, 1, 1},
};

inline uint32_t TargetBytes(const Input& in) {
    return in.target == IL_GREY8 ? 1 : 3;
}

// Fixed-seed pixels: codes spread over the whole range, floats over 0..1.
inline std::vector<uint8_t> MakePixels(const Input& in) {
    std::vector<uint8_t> data(size_t{kWidth} * kHeight * in.bytesPerPixel);
    std::mt19937 rng(12345);
    if (in.source == IL_BGR_FLOAT) {
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (size_t i = 0; i < data.size(); i += 4) {
            const float v = unit(rng);
            std::memcpy(&data[i], &v, 4);
        }
    } else {
        for (size_t i = 0; i + 4 <= data.size(); i += 4) {
            const uint32_t r = rng();
            std::memcpy(&data[i], &r, 4);
        }
    }
    // Opaque discs of radius 300 on an 800-pixel grid, transparent between
    // them, with an edge two pixels wide: what cut-outs and icons look like.
    // The alpha sample is the last of the pixel.
    if (in.shapes) {
        const uint32_t alphaBytes = ILBitsPerSample(in.source) / 8;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                const double dx = x % 800 - 400.0, dy = y % 800 - 400.0;
                const double cover =
                    std::clamp((301.0 - std::sqrt(dx * dx + dy * dy)) / 2.0, 0.0, 1.0);
                uint8_t* alpha =
                    data.data() + (size_t{y} * kWidth + x + 1) * in.bytesPerPixel - alphaBytes;
                if (alphaBytes == 1) {
                    *alpha = static_cast<uint8_t>(std::lround(255.0 * cover));
                } else {
                    const auto a16 = static_cast<uint16_t>(std::lround(65535.0 * cover));
                    std::memcpy(alpha, &a16, 2);
                }
            }
    }
    return data;
}

// 256 grey-to-colour entries.
inline ILPalette MakePalette() {
    ILPalette palette(256);
    for (uint32_t i = 0; i < 256; ++i)
        palette.SetEntryBGR8(i, uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
    return palette;
}

// The converter for an input, composited onto one background colour; false
// when the library has no such conversion.
inline bool PrepareConverter(const Input& in, ILPalette* palette, ILConverter* c) {
    ILConverterInit(c);
    ILColor background;
    background.Set(0.8f, 0.3f, 0.1f);
    ILConverterSetBackground(c, background);
    ILConverterSetAlphaMode(c, in.alphaHandling);
    ILConverterSetDither(c, in.dither);
    if (in.source == IL_INDEX8) ILConverterSetPalette(c, palette);
    ILConverterSetModes(c, in.source, in.target, kWidth);
    return ILConverterPrepare(c);
}

} // namespace vxbench
