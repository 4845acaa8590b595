// Red/blue swap in place: samples 0 and 2 of every pixel, or the palette's
// blue and red; the order bit of the type stays as it was.
#include <algorithm>
#include <cstring>

#include "imglib/ops/color_ops.h"
#include "imglib/ops/pixel_rows.h"

namespace {

template <typename T>
void SwapRows(ILImage* image) {
    const uint32_t c = image->channels;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* row = ILRowOf(image, y);
        for (uint32_t x = 0; x < image->width; ++x) {
            uint8_t* p = row + uint64_t{x} * c * sizeof(T);
            T a, b;
            std::memcpy(&a, p, sizeof(T));
            std::memcpy(&b, p + 2 * sizeof(T), sizeof(T));
            std::memcpy(p, &b, sizeof(T));
            std::memcpy(p + 2 * sizeof(T), &a, sizeof(T));
        }
    }
}

} // namespace

ILResult ILSwapRedBlue(ILImage* image) {
    if (!image || !image->data) return 0;
    if (image->palette) {
        ILPalette& palette = *image->palette;
        const uint32_t n = ILPaletteEntriesReached(*image);
        for (uint32_t i = 0; i < n; ++i) {
            ILPaletteEntry e = palette.GetEntry(i);
            std::swap(e.blue, e.red);
            palette.SetEntry(i, e);
        }
        return 1;
    }
    if (image->channels < 3) return 0;
    switch (image->bits) {
        case 8:
            SwapRows<uint8_t>(image);
            return 1;
        case 16:
            SwapRows<uint16_t>(image);
            return 1;
        case 32:
            SwapRows<uint32_t>(image);
            return 1;
        default:
            return 0;
    }
}
