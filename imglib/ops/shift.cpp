// Cyclic shift: rows move as whole blocks, columns by a rotation of each row
// (two block copies for whole-byte pixels, pixel by pixel below a byte).
#include <cstring>
#include <vector>

#include "imglib/ops/destination.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/pixel_rows.h"

namespace {

// Offset brought into [0, n), negative offsets wrapping as well.
uint32_t Wrap(int32_t offset, uint32_t n) {
    const int64_t m = int64_t{offset} % int64_t{n};
    return static_cast<uint32_t>(m < 0 ? m + n : m);
}

} // namespace

ILResult ILShiftImage(ILImage* source, ILImage* target, int32_t dx, int32_t dy) {
    if (!ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    const uint32_t width = source->width, height = source->height;
    const uint32_t sx = Wrap(dx, width), sy = Wrap(dy, height);
    const uint32_t bitsPerPixel = source->bits * source->channels;

    ILSetPixelProc set = nullptr;
    ILGetPixelProc get = nullptr;
    if (sx != 0 && bitsPerPixel % 8 != 0 && !ILGetPixelAccessors(source, &set, &get))
        return IL_BAD_ARGUMENT;

    ILOpDestination destination(source, target);
    if (destination.Allocate(width, height, source->type) != IL_OK) return IL_OUT_OF_MEMORY;
    ILImage* out = destination.Image();

    const uint64_t rowBytes = ILPackedRowBytes(*source);
    if (bitsPerPixel % 8 == 0) {
        // Row i lands on row (i + sy) mod height, rotated right by sx pixels.
        const uint64_t right = uint64_t{sx} * (bitsPerPixel / 8);
        for (uint32_t i = 0; i < height; ++i) {
            const uint8_t* from = ILRowOf(source, i);
            uint8_t* to = ILRowOf(out, (uint64_t{i} + sy) % height);
            std::memcpy(to + right, from, rowBytes - right);
            std::memcpy(to, from + rowBytes - right, right);
        }
    } else {
        for (uint32_t i = 0; i < height; ++i)
            std::memcpy(ILRowOf(out, (uint64_t{i} + sy) % height), ILRowOf(source, i), rowBytes);
        if (sx != 0) {
            ILImage line;
            if (ILCreateImage(&line, width, 1, source->type, nullptr) != IL_OK)
                return IL_OUT_OF_MEMORY;
            for (uint32_t i = 0; i < height; ++i) {
                uint8_t value[16];
                for (uint32_t j = 0; j < width; ++j) {
                    get(out, static_cast<int32_t>(j), static_cast<int32_t>(i), value);
                    set(&line, static_cast<int32_t>((uint64_t{j} + sx) % width), 0, value);
                }
                std::memcpy(ILRowOf(out, i), line.data, rowBytes);
            }
            ILClearImage(&line);
        }
    }
    destination.Commit();
    return IL_OK;
}
