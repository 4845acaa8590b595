// Palette-table builders: all colour arithmetic of an indexed conversion
// (transfer, luminance, compositing) runs once per palette entry here.
#include "imglib/convert/palette_tables.h"

#include <cstring>

#include "imglib/convert/srgb.h"
#include "imglib/image.h"

namespace {

// Allocates the table and calls fill(entry, out) for every palette entry.
template <typename Fill>
bool Build(ILConverter* c, uint32_t entryBytes, Fill fill) {
    if (!ILConverterAllocPaletteTable(c, entryBytes) || !c->palette || !c->paletteTable)
        return false;
    uint8_t* out = static_cast<uint8_t*>(c->paletteTable);
    const ILPalette& p = *c->palette;
    for (uint32_t i = 0; i < p.count; ++i, out += entryBytes)
        fill(p.entries[i], out);
    return true;
}

template <typename T>
void Store(uint8_t* out, uint32_t index, T value) {
    std::memcpy(out + index * sizeof(T), &value, sizeof(T));
}

float Luminance16(const ILPaletteEntry& e) {
    return ILLuminance(ILSrgbTable16[e.red], ILSrgbTable16[e.green], ILSrgbTable16[e.blue]);
}

} // namespace

bool ILBuildPaletteGrey8(ILConverter* c) {
    return Build(c, 1, [](const ILPaletteEntry& e, uint8_t* out) {
        out[0] = ILGray8FromRGB16(e.red, e.green, e.blue);
    });
}

// Alpha is rounded to 8 bits here, unlike the truncated colour forms.
bool ILBuildPaletteGreyA8(ILConverter* c) {
    return Build(c, 2, [](const ILPaletteEntry& e, uint8_t* out) {
        out[0] = ILGray8FromRGB16(e.red, e.green, e.blue);
        out[1] = static_cast<uint8_t>((e.alpha + 128u) / 257u);
    });
}

bool ILBuildPaletteGrey16(ILConverter* c) {
    return Build(c, 2, [](const ILPaletteEntry& e, uint8_t* out) {
        Store<uint16_t>(out, 0, ILGray16FromRGB16(e.red, e.green, e.blue));
    });
}

bool ILBuildPaletteGreyA16(ILConverter* c) {
    return Build(c, 4, [](const ILPaletteEntry& e, uint8_t* out) {
        Store<uint16_t>(out, 0, ILGray16FromRGB16(e.red, e.green, e.blue));
        Store<uint16_t>(out, 1, e.alpha);
    });
}

bool ILBuildPaletteGreyFloat(ILConverter* c) {
    return Build(
        c, 4, [](const ILPaletteEntry& e, uint8_t* out) { Store<float>(out, 0, Luminance16(e)); });
}

bool ILBuildPaletteGreyAFloat(ILConverter* c) {
    return Build(c, 8, [](const ILPaletteEntry& e, uint8_t* out) {
        Store<float>(out, 0, Luminance16(e));
        Store<float>(out, 1, e.alpha / 65535.0f);
    });
}

// B, G, R, A 8 (or its R, G, B twin, with or without the fourth byte). Laid
// over the background, an entry becomes opaque.
bool ILBuildPaletteColor8(ILConverter* c) {
    const bool fourth = (c->targetType & IL_EXTRA_MASK) != 0;
    const bool rgb = (c->targetType & IL_ORDER_RGB) != 0;
    const bool composite = c->alphaHandling == 2;
    return Build(c, fourth ? 4 : 3,
                 [c, fourth, rgb, composite](const ILPaletteEntry& e, uint8_t* out) {
                     uint8_t bgr[3] = {static_cast<uint8_t>(e.blue / 257),
                                       static_cast<uint8_t>(e.green / 257),
                                       static_cast<uint8_t>(e.red / 257)};
                     uint8_t alpha = static_cast<uint8_t>(e.alpha / 257);
                     if (composite) {
                         uint8_t mixed[3];
                         ILConverterCompositeBGR8(c, mixed, bgr[0], bgr[1], bgr[2], alpha);
                         std::memcpy(bgr, mixed, 3);
                         alpha = 255;
                     }
                     out[0] = bgr[rgb ? 2 : 0];
                     out[1] = bgr[1];
                     out[2] = bgr[rgb ? 0 : 2];
                     if (fourth) out[3] = alpha;
                 });
}

bool ILBuildPaletteBGR16(ILConverter* c) {
    return Build(c, 6, [](const ILPaletteEntry& e, uint8_t* out) {
        Store<uint16_t>(out, 0, e.blue);
        Store<uint16_t>(out, 1, e.green);
        Store<uint16_t>(out, 2, e.red);
    });
}

bool ILBuildPaletteBGRA16(ILConverter* c) {
    return Build(c, 8, [](const ILPaletteEntry& e, uint8_t* out) {
        Store<uint16_t>(out, 0, e.blue);
        Store<uint16_t>(out, 1, e.green);
        Store<uint16_t>(out, 2, e.red);
        Store<uint16_t>(out, 3, e.alpha);
    });
}

bool ILBuildPaletteBGRFloat(ILConverter* c) {
    return Build(c, 12, [](const ILPaletteEntry& e, uint8_t* out) {
        Store<float>(out, 0, ILSrgbTable16[e.blue]);
        Store<float>(out, 1, ILSrgbTable16[e.green]);
        Store<float>(out, 2, ILSrgbTable16[e.red]);
    });
}
