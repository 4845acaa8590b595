// Crop and expand: the destination is the requested rectangle of the source;
// where it reaches beyond the source it is filled first, then the overlap is
// copied (whole row segments from 8 bits per pixel up, pixel by pixel below).
//
//        x<0: expand          source            crop: x, y inside
//   +----------------+     +---------+          +---------+
//   | fill  +------+ |     |  +---+  |   ->     |  +---+  |  -> +---+
//   |       |source| |     |  |   |  |          |  +---+  |     +---+
//   |       +------+ |     +--+---+--+          +---------+
//   +----------------+
#include <algorithm>
#include <cstring>

#include "imglib/ops/destination.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/pixel_rows.h"

ILResult ILCropImage(ILImage* source, ILImage* target, int32_t x, int32_t y, int32_t width,
                     int32_t height, const ILColor* fill) {
    if (!ILIsValidImage(source) || width == 0 || height == 0) return IL_BAD_ARGUMENT;
    // 64-bit arithmetic: -INT32_MIN and x + width must not wrap.
    int64_t left = x, top = y, w = width, hgt = height;
    if (w < 0) {
        left += w;
        w = -w;
    }
    if (hgt < 0) {
        top += hgt;
        hgt = -hgt;
    }
    if (w > UINT32_MAX || hgt > UINT32_MAX) return IL_BAD_ARGUMENT;

    const uint32_t bitsPerPixel = source->bits * source->channels;
    ILSetPixelProc set = nullptr;
    ILGetPixelProc get = nullptr;
    if (bitsPerPixel < 8 && !ILGetPixelAccessors(source, &set, &get)) return IL_BAD_ARGUMENT;

    ILOpDestination destination(source, target);
    if (destination.Allocate(static_cast<uint32_t>(w), static_cast<uint32_t>(hgt), source->type) !=
        IL_OK)
        return IL_FAILED;
    ILImage* out = destination.Image();

    const int64_t sw = source->width, sh = source->height;
    if (left < 0 || top < 0 || left + w > sw || top + hgt > sh) {
        // A colour the type cannot take leaves zero bytes.
        if (!fill || ILFillImage(out, *fill) != IL_OK)
            std::memset(out->data, 0, static_cast<size_t>(out->stride) * out->height);
    }

    const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min(left + w, sw);
    const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min(top + hgt, sh);
    if (x0 < x1 && y0 < y1) {
        if (bitsPerPixel >= 8) {
            const uint64_t bytesPerPixel = bitsPerPixel / 8;
            const uint64_t count = static_cast<uint64_t>(x1 - x0) * bytesPerPixel;
            for (int64_t row = y0; row < y1; ++row)
                std::memcpy(ILRowOf(out, row - top) + (x0 - left) * bytesPerPixel,
                            ILRowOf(source, row) + x0 * bytesPerPixel, count);
        } else {
            uint8_t value[16];
            for (int64_t row = y0; row < y1; ++row)
                for (int64_t col = x0; col < x1; ++col) {
                    get(source, static_cast<int32_t>(col), static_cast<int32_t>(row), value);
                    set(out, static_cast<int32_t>(col - left), static_cast<int32_t>(row - top),
                        value);
                }
        }
    }
    destination.Commit();
    return IL_OK;
}
