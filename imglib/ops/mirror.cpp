// Mirror in place: up/down swaps whole rows through one row buffer;
// left/right swaps pixels within each row, by whole pixels where they fill
// bytes and through the raw accessors below a byte.
#include <algorithm>
#include <cstring>

#include "imglib/memory_owner.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/pixel_rows.h"

namespace {

template <unsigned Bytes>
void ReverseRow(uint8_t* row, uint32_t width) {
    struct Pixel {
        uint8_t b[Bytes];
    };
    Pixel* p = reinterpret_cast<Pixel*>(row);
    std::reverse(p, p + width);
}

using ReverseProc = void (*)(uint8_t* row, uint32_t width);

ReverseProc ReverseFor(uint32_t bytesPerPixel) {
    switch (bytesPerPixel) {
        case 1:
            return ReverseRow<1>;
        case 2:
            return ReverseRow<2>;
        case 3:
            return ReverseRow<3>;
        case 4:
            return ReverseRow<4>;
        case 6:
            return ReverseRow<6>;
        case 8:
            return ReverseRow<8>;
        case 12:
            return ReverseRow<12>;
        case 16:
            return ReverseRow<16>;
        default:
            return nullptr;
    }
}

} // namespace

ILResult ILMirrorImage(ILHandle* h, ILImage* image, int32_t leftRight) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const uint32_t width = image->width, height = image->height;
    if (leftRight == 0) {
        const uint64_t rowBytes = ILPackedRowBytes(*image);
        ILBuffer<uint8_t> buffer(static_cast<uint8_t*>(ILAlloc(h, rowBytes)));
        if (!buffer) return IL_OUT_OF_MEMORY;
        for (uint32_t i = 0; i < height / 2; ++i) {
            uint8_t* a = ILRowOf(image, i);
            uint8_t* b = ILRowOf(image, height - 1 - i);
            std::memcpy(buffer.get(), a, rowBytes);
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, buffer.get(), rowBytes);
        }
        return IL_OK;
    }

    const uint32_t bitsPerPixel = image->bits * image->channels;
    if (ReverseProc reverse = bitsPerPixel % 8 == 0 ? ReverseFor(bitsPerPixel / 8) : nullptr) {
        for (uint32_t i = 0; i < height; ++i)
            reverse(ILRowOf(image, i), width);
        return IL_OK;
    }
    ILSetPixelProc set;
    ILGetPixelProc get;
    if (!ILGetPixelAccessors(image, &set, &get)) return IL_BAD_ARGUMENT;
    for (uint32_t i = 0; i < height; ++i) {
        const int32_t y = static_cast<int32_t>(i);
        for (uint32_t j = 0; j < width / 2; ++j) {
            uint8_t a[16], b[16];
            const int32_t left = static_cast<int32_t>(j),
                          right = static_cast<int32_t>(width - 1 - j);
            get(image, left, y, a);
            get(image, right, y, b);
            set(image, left, y, b);
            set(image, right, y, a);
        }
    }
    return IL_OK;
}
