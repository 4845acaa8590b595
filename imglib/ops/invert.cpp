// Invert in place: the palette when there is one, else the whole buffer as
// one array (row padding included), so that no row arithmetic is needed.
#include <cstring>

#include <Imath/half.h>

#include "imglib/ops/color_ops.h"

namespace {

// Complements the first `colours` of every group of `channels` samples.
template <typename T, typename F>
void InvertSamples(uint8_t* data, uint64_t bytes, uint32_t channels, uint32_t colours, F flip) {
    const uint64_t count = bytes / sizeof(T);
    for (uint64_t i = 0; i + channels <= count; i += channels) {
        for (uint32_t c = 0; c < colours; ++c) {
            T v;
            std::memcpy(&v, data + (i + c) * sizeof(T), sizeof(T));
            v = flip(v);
            std::memcpy(data + (i + c) * sizeof(T), &v, sizeof(T));
        }
    }
}

void InvertPalette(ILImage* image) {
    ILPalette& palette = *image->palette;
    const uint32_t n = ILPaletteEntriesReached(*image);
    for (uint32_t i = 0; i < n; ++i) {
        ILPaletteEntry e = palette.GetEntry(i);
        e.blue = static_cast<uint16_t>(65535 - e.blue);
        e.green = static_cast<uint16_t>(65535 - e.green);
        e.red = static_cast<uint16_t>(65535 - e.red);
        palette.SetEntry(i, e);
    }
}

} // namespace

ILResult ILInvertImage(ILImage* image) {
    if (!image || !image->data) return 1;
    if (image->palette) {
        InvertPalette(image);
        return 1;
    }
    const uint64_t bytes = uint64_t{image->height} * static_cast<uint64_t>(image->stride);
    const uint32_t channels = image->channels;
    // Grey + alpha and four-channel pixels keep their last sample.
    const uint32_t colours = channels == 2 || channels == 4 ? channels - 1 : channels;
    if (channels < 1 || channels > 4) return 1;
    uint8_t* data = image->data;
    switch (image->type & IL_KIND_MASK) {
        case IL_KIND_1:
        case IL_KIND_2:
        case IL_KIND_4:
            if (channels == 1)
                for (uint64_t i = 0; i < bytes; ++i)
                    data[i] = static_cast<uint8_t>(~data[i]);
            break;
        case IL_KIND_8:
            if (colours == channels) {
                for (uint64_t i = 0; i < bytes; ++i)
                    data[i] = static_cast<uint8_t>(~data[i]);
            } else {
                InvertSamples<uint8_t>(data, bytes, channels, colours,
                                       [](uint8_t v) { return static_cast<uint8_t>(255 - v); });
            }
            break;
        case IL_KIND_16:
            InvertSamples<uint16_t>(data, bytes, channels, colours,
                                    [](uint16_t v) { return static_cast<uint16_t>(65535 - v); });
            break;
        case IL_KIND_HALF:
            InvertSamples<uint16_t>(data, bytes, channels, colours, [](uint16_t v) {
                half h;
                h.setBits(v);
                return half(1.0f - static_cast<float>(h)).bits();
            });
            break;
        case IL_KIND_FLOAT:
            InvertSamples<float>(data, bytes, channels, colours, [](float v) { return 1.0f - v; });
            break;
        default:
            break;
    }
    return 1;
}
