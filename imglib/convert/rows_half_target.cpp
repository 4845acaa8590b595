// Row kernels into half-float targets (grey, grey+alpha, B, G, R and R, G, B
// with or without alpha) from integer, fixed-point, float and RGBE sources;
// indexed rows into half grey; and the palette tables for half and B, G, R, A
// float targets.
//
// Half keeps linear light without quantising to codes, so nothing here
// dithers: every sample is written with the nearest-even float-to-half
// conversion, overflow giving infinity.
#include <cmath>
#include <span>
#include <vector>

#include "imglib/convert/kernel_table.h"
#include "imglib/convert/rows_entries.h"
#include "imglib/convert/rows_samples.h"

namespace {

using namespace ilrows;

// --- 1-, 2- and 4-bit grey ----------------------------------------------------

template <int N>
void Grey4ToHalf(ILConverter* c, const void* s, void* t) {
    uint16_t levels[16];
    for (int n = 0; n < 16; ++n)
        levels[n] = FloatToHalf(ILSrgbTable8[n * 17]);
    UnpackGreyRow<4, uint16_t, N>(c, s, t, levels);
}

template <int N>
void Grey2ToHalf(ILConverter* c, const void* s, void* t) {
    uint16_t levels[4];
    for (int n = 0; n < 4; ++n)
        levels[n] = FloatToHalf(kGrey2Levels[n]);
    UnpackGreyRow<2, uint16_t, N>(c, s, t, levels);
}

template <bool White, int N>
void Grey1ToHalf(ILConverter* c, const void* s, void* t) {
    const uint16_t one = FloatToHalf(1.0f);
    const uint16_t levels[2] = {White ? uint16_t{0} : one, White ? one : uint16_t{0}};
    UnpackGreyRow<1, uint16_t, N>(c, s, t, levels);
}

// --- RGBE ----------------------------------------------------------------------

// Mantissas R, G, B and a shared exponent E: (m + 0.5) 2^(E - 136); E = 0 is black.
void RgbeToBGRHalf(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += 4, t += 6) {
        uint16_t out[3] = {0, 0, 0};
        if (s[3] != 0) {
            const float f = static_cast<float>(std::ldexp(1.0, s[3] - 136));
            for (int k = 0; k < 3; ++k)
                out[k] = FloatToHalf((static_cast<float>(s[2 - k]) + 0.5f) * f);
        }
        std::memcpy(t, out, sizeof out);
    }
}

// B, G, R, A half to grey+alpha half: the luminance of the colour, the alpha
// sample copied bit for bit (a round trip through float would quiet NaNs).
void HalfBGRAToGreyAlphaHalf(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const ReadHalf read;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += 8, t += 4) {
        Store(t, FloatToHalf(ILLuminance(read(s + 4), read(s + 2), read(s))));
        std::memcpy(t + 2, s + 6, 2);
    }
}

// --- Indexed rows into half grey ------------------------------------------------

// Each pixel copies the 2-byte table entry of its code. Codes at or beyond
// the palette's count (a 1-bit row with a one-entry palette, a damaged file)
// give 0 rather than reading past the table.
template <int Bits>
void IndexedToGreyHalf(ILConverter* c, const void* source, void* target) {
    uint16_t lut[256] = {};
    if (c->palette && c->paletteTable) {
        const uint32_t count = c->palette->count < 256 ? c->palette->count : 256;
        std::memcpy(lut, c->paletteTable, count * sizeof(uint16_t));
    }
    if constexpr (Bits == 8) {
        const uint8_t* s = static_cast<const uint8_t*>(source);
        uint8_t* t = static_cast<uint8_t*>(target);
        const uint64_t n = c->width;
        for (uint64_t x = 0; x < n; ++x)
            Store(t + 2 * x, lut[s[x]]);
    } else {
        UnpackGreyRow<Bits, uint16_t, 1>(c, source, target, lut);
    }
}

// --- Palette tables --------------------------------------------------------------

// Fills one entry per palette colour, decoded to linear light (16-bit sRGB
// table for the colour, alpha / 65535), after allocating the table.
template <size_t kBytes, class Fill>
bool BuildTable(ILConverter* c, Fill fill) {
    if (!ILConverterAllocPaletteTable(c, kBytes)) return false;
    const float* s16 = ILSrgbTable16;
    uint8_t* out = static_cast<uint8_t*>(c->paletteTable);
    for (uint32_t i = 0; i < c->palette->count; ++i, out += kBytes) {
        const ILPaletteEntry e = c->palette->GetEntry(i);
        const float b = s16[e.blue], g = s16[e.green], r = s16[e.red];
        const float a = static_cast<float>(e.alpha) / 65535.0f;
        fill(out, b, g, r, a);
    }
    return true;
}

bool BuildGreyHalfTable(ILConverter* c) {
    return BuildTable<2>(c, [](uint8_t* out, float b, float g, float r, float) {
        Store(out, FloatToHalf(ILLuminance(r, g, b)));
    });
}

bool BuildGreyAlphaHalfTable(ILConverter* c) {
    return BuildTable<4>(c, [](uint8_t* out, float b, float g, float r, float a) {
        const uint16_t v[2] = {FloatToHalf(ILLuminance(r, g, b)), FloatToHalf(a)};
        std::memcpy(out, v, sizeof v);
    });
}

bool BuildBGRHalfTable(ILConverter* c) {
    return BuildTable<6>(c, [](uint8_t* out, float b, float g, float r, float) {
        const uint16_t v[3] = {FloatToHalf(b), FloatToHalf(g), FloatToHalf(r)};
        std::memcpy(out, v, sizeof v);
    });
}

bool BuildBGRAHalfTable(ILConverter* c) {
    return BuildTable<8>(c, [](uint8_t* out, float b, float g, float r, float a) {
        const uint16_t v[4] = {FloatToHalf(b), FloatToHalf(g), FloatToHalf(r), FloatToHalf(a)};
        std::memcpy(out, v, sizeof v);
    });
}

bool BuildBGRAFloatTable(ILConverter* c) {
    return BuildTable<16>(c, [](uint8_t* out, float b, float g, float r, float a) {
        const float v[4] = {b, g, r, a};
        std::memcpy(out, v, sizeof v);
    });
}

// Shorthands: colour reader CR with SN samples and alpha reader AR (NoAlpha
// for none) into TN half samples, with a half alpha when AR reads one.
template <class CR, int SN, class AR, int TN, bool Reverse = false>
constexpr ILRowKernel ToHalf =
    ConvertRow<CR, SN, AR, !std::is_same_v<AR, NoAlpha>, WH, TN,
               std::conditional_t<std::is_same_v<AR, NoAlpha>, NoAlpha, WH>,
               !std::is_same_v<AR, NoAlpha>, Reverse>;

using N = NoAlpha;

std::vector<ILKernelEntry> BuildEntries() {
    // Index widths with and without the palette-alpha flag.
    const auto indexed = {0x12u, 0x2012u, 0x22u, 0x2022u, 0x32u, 0x2032u, 0x42u, 0x2042u};
    std::vector<ILKernelEntry> entries = ILExpandKernelGroups({
        {{0x163}, {0x103}, RgbeToBGRHalf},

        // Fixed point and float.
        {{0x141}, {0x101}, ToHalf<ReadFixed16, 1, N, 1>},
        {{0x143, 0x10143},
         {0x103},
         ToHalf<ReadFixed16, 3, N, 3>,
         ToHalf<ReadFixed16, 3, N, 3, true>},
        {{0x2143, 0x4143, 0x12143, 0x14143},
         {0x2103, 0x4103},
         ToHalf<ReadFixed16, 3, ReadFixed16, 3>,
         ToHalf<ReadFixed16, 3, ReadFixed16, 3, true>},
        {{0x123}, {0x103}, ToHalf<ReadFloat, 3, N, 3>},
        {{0x2123, 0x4123}, {0x2103, 0x4103}, ToHalf<ReadFloat, 3, ReadFloat, 3>},
        {{0x121}, {0x101}, ToHalf<ReadFloat, 1, N, 1>},
        {{0x121}, {0x103, 0x10103}, ToHalf<ReadFloat, 1, N, 3>},
        {{0x2121, 0x4121}, {0x2101, 0x4101}, ToHalf<ReadFloat, 1, ReadFloat, 1>},
        {{0x2121, 0x4121}, {0x2103, 0x4103, 0x12103, 0x14103}, ToHalf<ReadFloat, 1, ReadFloat, 3>},

        // 16-bit.
        {{0x63}, {0x103}, ToHalf<ReadS16, 3, N, 3>},
        {{0x2063, 0x4063}, {0x2103, 0x4103}, ToHalf<ReadS16, 3, ReadAlpha16, 3>},
        {{0x61}, {0x101}, ToHalf<ReadS16, 1, N, 1>},
        {{0x61}, {0x103, 0x10103}, ToHalf<ReadS16, 1, N, 3>},
        {{0x2061, 0x4061}, {0x2101, 0x4101}, ToHalf<ReadS16, 1, ReadAlpha16, 1>},
        {{0x2061, 0x4061}, {0x2103, 0x4103, 0x12103, 0x14103}, ToHalf<ReadS16, 1, ReadAlpha16, 3>},

        // 8-bit; a filler byte counts as alpha where the selection routes it here.
        {{0x43, 0x10043}, {0x103, 0x10103}, ToHalf<ReadS8, 3, N, 3>, ToHalf<ReadS8, 3, N, 3, true>},
        {{0x1043, 0x2043, 0x4043}, {0x2103, 0x4103}, ToHalf<ReadS8, 3, ReadAlpha8, 3>},
        {{0x41}, {0x101}, ToHalf<ReadS8, 1, N, 1>},
        {{0x41}, {0x103, 0x10103}, ToHalf<ReadS8, 1, N, 3>},
        {{0x2041, 0x4041}, {0x2101, 0x4101}, ToHalf<ReadS8, 1, ReadAlpha8, 1>},
        {{0x2041, 0x4041}, {0x2103, 0x4103, 0x12103, 0x14103}, ToHalf<ReadS8, 1, ReadAlpha8, 3>},

        // 1-, 2- and 4-bit grey.
        {{0x31}, {0x101}, Grey4ToHalf<1>},
        {{0x31}, {0x103, 0x10103}, Grey4ToHalf<3>},
        {{0x21}, {0x101}, Grey2ToHalf<1>},
        {{0x21}, {0x103, 0x10103}, Grey2ToHalf<3>},
        {{0x11}, {0x101}, Grey1ToHalf<true, 1>, nullptr, IL_KV_ONE_BIT_WHITE},
        {{0x11}, {0x101}, Grey1ToHalf<false, 1>, nullptr, IL_KV_ONE_BIT_BLACK},
        {{0x11}, {0x103, 0x10103}, Grey1ToHalf<true, 3>, nullptr, IL_KV_ONE_BIT_WHITE},
        {{0x11}, {0x103, 0x10103}, Grey1ToHalf<false, 3>, nullptr, IL_KV_ONE_BIT_BLACK},

        // Luminance into half grey.
        {{0x63}, {0x101}, ToHalf<ReadS16, 3, N, 1>},
        {{0x2063, 0x4063}, {0x2101, 0x4101}, ToHalf<ReadS16, 3, ReadAlpha16, 1>},
        {{0x43}, {0x101}, ToHalf<ReadS8, 3, N, 1>},
        {{0x1043, 0x2043, 0x4043}, {0x2101, 0x4101}, ToHalf<ReadS8, 3, ReadAlpha8, 1>},
        {{0x123}, {0x101}, ToHalf<ReadFloat, 3, N, 1>},
        {{0x2123, 0x4123}, {0x2101, 0x4101}, ToHalf<ReadFloat, 3, ReadFloat, 1>},
        {{0x103}, {0x101}, ToHalf<ReadHalf, 3, N, 1>},
        {{0x2103, 0x4103}, {0x2101, 0x4101}, HalfBGRAToGreyAlphaHalf},
    });
    // Indexed sources: half grey has its own lookup kernels; the other
    // tables are read by the indexed family's lookup kernels.
    const ILRowKernel toGrey[4] = {IndexedToGreyHalf<1>, IndexedToGreyHalf<2>, IndexedToGreyHalf<4>,
                                   IndexedToGreyHalf<8>};
    for (ILPixelType s : indexed) {
        const ILPixelType kind = s & IL_KIND_MASK;
        const ILRowKernel grey = toGrey[kind == IL_KIND_1   ? 0
                                        : kind == IL_KIND_2 ? 1
                                        : kind == IL_KIND_4 ? 2
                                                            : 3];
        entries.push_back({s, 0x101, IL_KV_ANY, grey, BuildGreyHalfTable});
        entries.push_back({s, 0x2101, IL_KV_ANY, nullptr, BuildGreyAlphaHalfTable});
        entries.push_back({s, 0x4101, IL_KV_ANY, nullptr, BuildGreyAlphaHalfTable});
        entries.push_back({s, 0x103, IL_KV_ANY, nullptr, BuildBGRHalfTable});
        entries.push_back({s, 0x2103, IL_KV_ANY, nullptr, BuildBGRAHalfTable});
        entries.push_back({s, 0x4103, IL_KV_ANY, nullptr, BuildBGRAHalfTable});
        entries.push_back({s, 0x2123, IL_KV_ANY, nullptr, BuildBGRAFloatTable});
    }
    return entries;
}

} // namespace

std::span<const ILKernelEntry> ILKernelsHalfFloatTarget() {
    static const std::vector<ILKernelEntry> table = BuildEntries();
    return table;
}
