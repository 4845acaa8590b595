// 4-bit and 2-bit grey and monochrome: each row reaches 8-bit grey through
// the converter, then every pixel is quantised with its own dithering.
#include <cmath>
#include <memory>

#include "imglib/convert/converter_owner.h"
#include "imglib/convert/diffusion.h"
#include "imglib/convert/modes.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/alpha.h"
#include "imglib/ops/pixel_rows.h"

namespace {

// Thresholds at [(x mod n) * n + (y mod n)].
constexpr uint8_t kOrdered4[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
constexpr uint8_t kBayer8[64] = {0,  32, 8,  40, 2,  34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26,
                                 12, 44, 4,  36, 14, 46, 6,  38, 60, 28, 52, 20, 62, 30, 54, 22,
                                 3,  35, 11, 43, 1,  33, 9,  41, 51, 19, 59, 27, 49, 17, 57, 25,
                                 15, 47, 7,  39, 13, 45, 5,  37, 63, 31, 55, 23, 61, 29, 53, 21};
constexpr uint8_t kHalftone8[64] = {24, 10, 12, 26, 35, 47, 49, 37, 8,  0,  2,  14, 45, 59, 61, 51,
                                    22, 6,  4,  16, 43, 57, 63, 53, 30, 20, 18, 28, 33, 41, 55, 39,
                                    34, 46, 48, 36, 25, 11, 13, 27, 44, 58, 60, 50, 9,  1,  3,  15,
                                    42, 56, 62, 52, 23, 7,  5,  17, 32, 40, 54, 38, 31, 21, 19, 29};

// floor(scale * (v / 255)^1.8): the grey value in the monochrome's light scale.
struct Gamma18 {
    int32_t of64[256], of255[256];
    Gamma18() {
        for (int v = 0; v < 256; ++v) {
            const double p = std::pow(v / 255.0, 1.8);
            of64[v] = static_cast<int32_t>(std::floor(64 * p));
            of255[v] = static_cast<int32_t>(std::floor(255 * p));
        }
    }
};
const Gamma18& TheGamma() {
    static const Gamma18 g;
    return g;
}

// Serpentine Floyd-Steinberg on one channel, without limit or clamping.
class Diffusion {
public:
    bool Allocate(uint32_t width) {
        width_ = width;
        rows_.reset(new (std::nothrow) int32_t[2 * (uint64_t{width} + 2)]());
        current_ = rows_.get();
        next_ = current_ + width + 2;
        return rows_ != nullptr;
    }
    void Row(const uint8_t* grey, ILImage* result, uint32_t y) {
        const int64_t w = width_, d = y % 2 == 0 ? 1 : -1;
        const int64_t start = d > 0 ? 0 : w;
        next_[start] = next_[start + 1] = 0;
        const int32_t* light = TheGamma().of255;
        for (int64_t i = 0; i < w; ++i) {
            const int64_t x = d > 0 ? i : w - 1 - i;
            const int32_t s = current_[x + 1] + light[grey[x]];
            const uint8_t bit = s >= 128;
            int32_t p7, p3, p5, p1;
            ILSplitDiffusionError(s - 255 * bit, &p7, &p3, &p5, &p1);
            current_[x + 1 + d] += p7;
            next_[x + 1 - d] += p3;
            next_[x + 1] += p5;
            next_[x + 1 + d] = p1;
            ILSetPixel1(result, static_cast<int32_t>(x), static_cast<int32_t>(y), &bit);
        }
        std::swap(current_, next_);
    }

private:
    uint32_t width_ = 0;
    std::unique_ptr<int32_t[]> rows_;
    int32_t* current_ = nullptr;
    int32_t* next_ = nullptr;
};

// v, x, y -> the result pixel.
using PixelRule = uint8_t (*)(uint32_t v, uint32_t x, uint32_t y);

uint8_t Grey4Dithered(uint32_t v, uint32_t x, uint32_t y) {
    return static_cast<uint8_t>((v + kOrdered4[(x & 3) * 4 + (y & 3)] + 1) / 17);
}
uint8_t Grey4(uint32_t v, uint32_t, uint32_t) {
    return static_cast<uint8_t>((v + 8) / 17);
}
uint8_t Grey2Dithered(uint32_t v, uint32_t x, uint32_t y) {
    return static_cast<uint8_t>((v + 5 * kOrdered4[(x & 3) * 4 + (y & 3)] + 5) / 85);
}
uint8_t Grey2(uint32_t v, uint32_t, uint32_t) {
    return static_cast<uint8_t>((v + 42) / 85);
}
uint8_t MonoThreshold(uint32_t v, uint32_t, uint32_t) {
    return static_cast<uint8_t>((v + 127) / 255);
}
uint8_t MonoOrdered(uint32_t v, uint32_t x, uint32_t y) {
    return TheGamma().of64[v] + kBayer8[(x & 7) * 8 + (y & 7)] >= 64;
}
uint8_t MonoHalftone(uint32_t v, uint32_t x, uint32_t y) {
    return TheGamma().of64[v] + kHalftone8[(x & 7) * 8 + (y & 7)] >= 64;
}

// rule null: error diffusion.
ILResult ToLowBitGrey(ILHandle* h, ILImage* image, ILPixelType type, ILSetPixelProc set,
                      PixelRule rule) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (image->type == type) return IL_OK;
    ILImageOwner result;
    if (ILAllocImage(&result.image, image->width, image->height, type, nullptr) != IL_OK)
        return IL_OUT_OF_MEMORY;
    // Alpha goes on a copy: the image stays whole until the result moves in.
    ILImageOwner opaque;
    const ILImage* source = image;
    if (ILExtraChannel(image->type) != 0) {
        if (const ILResult r = ILCopyWithoutAlpha(h, image, &opaque.image); r != IL_OK) return r;
        source = &opaque.image;
    }
    ILConverterOwner converter;
    ILConverterSetImageTarget(&converter.c, source, IL_GREY8);
    if (!ILConverterPrepare(&converter.c)) return IL_UNSUPPORTED_PIXEL_TYPE;
    std::unique_ptr<uint8_t[]> grey(new (std::nothrow) uint8_t[image->width]);
    if (!grey) return IL_OUT_OF_MEMORY;
    Diffusion diffusion;
    if (!rule && !diffusion.Allocate(image->width)) return IL_OUT_OF_MEMORY;
    for (uint32_t y = 0; y < image->height; ++y) {
        converter.c.rowKernel(&converter.c, ILRowOf(source, y), grey.get());
        if (!rule) {
            diffusion.Row(grey.get(), &result.image, y);
            continue;
        }
        for (uint32_t x = 0; x < image->width; ++x) {
            const uint8_t v = rule(grey[x], x, y);
            set(&result.image, static_cast<int32_t>(x), static_cast<int32_t>(y), &v);
        }
    }
    ILMoveImage(image, &result.image, true, false);
    return IL_OK;
}

} // namespace

ILResult ILConvertToGray4(ILHandle* h, ILImage* image, int32_t dither) {
    return ToLowBitGrey(h, image, IL_GREY4, ILSetPixel4, dither == 1 ? Grey4Dithered : Grey4);
}

ILResult ILConvertToGray2(ILHandle* h, ILImage* image, int32_t dither) {
    return ToLowBitGrey(h, image, IL_GREY2, ILSetPixel2, dither == 1 ? Grey2Dithered : Grey2);
}

ILResult ILConvertToMonochrome(ILHandle* h, ILImage* image, int32_t kind) {
    const PixelRule rule = kind == 1   ? MonoOrdered
                           : kind == 2 ? nullptr
                           : kind == 3 ? MonoHalftone
                                       : MonoThreshold;
    return ToLowBitGrey(h, image, IL_GREY1, ILSetPixel1, rule);
}
