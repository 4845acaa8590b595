// Quarter turns by moving raw pixels. Whole-byte pixels go through 32 x 32
// tiles so that both images are read and written along cache lines; packed
// pixels below a byte go through the raw accessors.
//
//   90:  (x, y) -> (H-1-y, x)     180: (x, y) -> (W-1-x, H-1-y)
//   270: (x, y) -> (y, W-1-x)     (W, H: the source's size)
#include <algorithm>
#include <cstring>

#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/rotate_exact.h"

namespace {

constexpr uint32_t kTile = 32;

template <unsigned Bytes>
struct Pixel {
    uint8_t b[Bytes];
};

template <unsigned Bytes>
void Turn(ILHandle* h, const ILImage* source, ILImage* destination, int quarterTurns) {
    using P = Pixel<Bytes>;
    const uint32_t w = source->width, hgt = source->height;
    if (quarterTurns == 2) {
        for (uint32_t y = 0; y < hgt; ++y) {
            ILProgress(h, y, hgt);
            const P* from = reinterpret_cast<const P*>(ILRowOf(source, y));
            P* to = reinterpret_cast<P*>(ILRowOf(destination, hgt - 1 - y));
            std::reverse_copy(from, from + w, to);
        }
        return;
    }
    for (uint32_t y0 = 0; y0 < hgt; y0 += kTile) {
        const uint32_t y1 = std::min(hgt, y0 + kTile);
        for (uint32_t y = y0; y < y1; ++y)
            ILProgress(h, y, hgt);
        for (uint32_t x0 = 0; x0 < w; x0 += kTile) {
            const uint32_t x1 = std::min(w, x0 + kTile);
            for (uint32_t x = x0; x < x1; ++x) {
                // Destination row x (90) or W-1-x (270) takes source column x.
                P* to =
                    reinterpret_cast<P*>(ILRowOf(destination, quarterTurns == 1 ? x : w - 1 - x));
                for (uint32_t y = y0; y < y1; ++y) {
                    const P* from = reinterpret_cast<const P*>(ILRowOf(source, y)) + x;
                    to[quarterTurns == 1 ? hgt - 1 - y : y] = *from;
                }
            }
        }
    }
}

void TurnPacked(ILHandle* h, const ILImage* source, ILImage* destination, int quarterTurns) {
    ILSetPixelProc set;
    ILGetPixelProc get;
    ILGetPixelAccessors(source, &set, &get);
    const int32_t w = static_cast<int32_t>(source->width),
                  hgt = static_cast<int32_t>(source->height);
    uint8_t value[16];
    for (int32_t y = 0; y < hgt; ++y) {
        ILProgress(h, static_cast<uint32_t>(y), source->height);
        for (int32_t x = 0; x < w; ++x) {
            get(source, x, y, value);
            switch (quarterTurns) {
                case 1:
                    set(destination, hgt - 1 - y, x, value);
                    break;
                case 2:
                    set(destination, w - 1 - x, hgt - 1 - y, value);
                    break;
                default:
                    set(destination, y, w - 1 - x, value);
                    break;
            }
        }
    }
}

} // namespace

void ILRotateQuarterTurns(ILHandle* h, const ILImage* source, ILImage* destination,
                          int quarterTurns) {
    const uint32_t bitsPerPixel = source->bits * source->channels;
    switch (bitsPerPixel % 8 == 0 ? bitsPerPixel / 8 : 0) {
        case 1:
            return Turn<1>(h, source, destination, quarterTurns);
        case 2:
            return Turn<2>(h, source, destination, quarterTurns);
        case 3:
            return Turn<3>(h, source, destination, quarterTurns);
        case 4:
            return Turn<4>(h, source, destination, quarterTurns);
        case 6:
            return Turn<6>(h, source, destination, quarterTurns);
        case 8:
            return Turn<8>(h, source, destination, quarterTurns);
        case 12:
            return Turn<12>(h, source, destination, quarterTurns);
        case 16:
            return Turn<16>(h, source, destination, quarterTurns);
        default:
            return TurnPacked(h, source, destination, quarterTurns);
    }
}
