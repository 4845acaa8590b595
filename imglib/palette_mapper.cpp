// ILPaletteMapper: the nearest-entry search cached per 24-bit sRGB colour, for
// the row kernels that map true-colour pixels to palette indices.
#include <cstdlib>

#include "imglib/color.h"

namespace {

constexpr size_t kCacheBytes = size_t{1} << 24;

} // namespace

// calloc: the 16 MiB cache comes as untouched zero pages, so a conversion
// pays only for the keys it meets.
ILPaletteMapper::ILPaletteMapper(const ILPalette* p)
    : palette(p), cache(static_cast<uint8_t*>(std::calloc(kCacheBytes, 1))) {
    palette->FindNearest(&blackEntry);
}

ILPaletteMapper::~ILPaletteMapper() {
    std::free(cache);
}

void ILPaletteMapper::Map(ILColor* color) {
    uint8_t bgr[3];
    color->ToBGR8(bgr);
    const uint32_t key = uint32_t{bgr[0]} << 16 | uint32_t{bgr[1]} << 8 | bgr[2];
    if (key == 0) {
        *color = blackEntry;
        return;
    }
    const uint8_t cached = cache ? cache[key] : 0;
    if (cached != 0) {
        palette->GetColor(cached, color);
        return;
    }
    palette->FindNearest(color);
    // A cache byte of 0 means "not met yet", so entry 0 is searched again each
    // time; indices past 255 do not fit a byte and are not remembered either.
    if (cache && color->index > 0 && color->index < 256)
        cache[key] = static_cast<uint8_t>(color->index);
}
