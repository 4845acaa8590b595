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
void RGBEToBGRHalf(ILConverter* c, const void* source, void* target) {
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
void BGRAHalfToGreyAHalf(ILConverter* c, const void* source, void* target) {
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
void IndexToGreyHalf(ILConverter* c, const void* source, void* target) {
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

bool BuildGreyAHalfTable(ILConverter* c) {
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
    const auto indexed = {IL_INDEX1, IL_INDEX_A1, IL_INDEX2, IL_INDEX_A2,
                          IL_INDEX4, IL_INDEX_A4, IL_INDEX8, IL_INDEX_A8};
    std::vector<ILKernelEntry> entries = ILExpandKernelGroups({
        {{IL_BGR_RGBE}, {IL_BGR_HALF}, RGBEToBGRHalf},

        // Fixed point and float.
        {{IL_GREY_FIXED16}, {IL_GREY_HALF}, ToHalf<ReadFixed16, 1, N, 1>},
        {{IL_BGR_FIXED16, IL_RGB_FIXED16},
         {IL_BGR_HALF},
         ToHalf<ReadFixed16, 3, N, 3>,
         ToHalf<ReadFixed16, 3, N, 3, true>},
        {{IL_BGRA_FIXED16, IL_BGRPA_FIXED16, IL_RGBA_FIXED16, IL_RGBPA_FIXED16},
         {IL_BGRA_HALF, IL_BGRPA_HALF},
         ToHalf<ReadFixed16, 3, ReadFixed16, 3>,
         ToHalf<ReadFixed16, 3, ReadFixed16, 3, true>},
        {{IL_BGR_FLOAT}, {IL_BGR_HALF}, ToHalf<ReadFloat, 3, N, 3>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_BGRA_HALF, IL_BGRPA_HALF},
         ToHalf<ReadFloat, 3, ReadFloat, 3>},
        {{IL_GREY_FLOAT}, {IL_GREY_HALF}, ToHalf<ReadFloat, 1, N, 1>},
        {{IL_GREY_FLOAT}, {IL_BGR_HALF, IL_RGB_HALF}, ToHalf<ReadFloat, 1, N, 3>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_GREY_A_HALF, IL_GREY_PA_HALF},
         ToHalf<ReadFloat, 1, ReadFloat, 1>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGBA_HALF, IL_RGBPA_HALF},
         ToHalf<ReadFloat, 1, ReadFloat, 3>},

        // 16-bit.
        {{IL_BGR16}, {IL_BGR_HALF}, ToHalf<ReadS16, 3, N, 3>},
        {{IL_BGRA16, IL_BGRPA16},
         {IL_BGRA_HALF, IL_BGRPA_HALF},
         ToHalf<ReadS16, 3, ReadAlpha16, 3>},
        {{IL_GREY16}, {IL_GREY_HALF}, ToHalf<ReadS16, 1, N, 1>},
        {{IL_GREY16}, {IL_BGR_HALF, IL_RGB_HALF}, ToHalf<ReadS16, 1, N, 3>},
        {{IL_GREY_A16, IL_GREY_PA16},
         {IL_GREY_A_HALF, IL_GREY_PA_HALF},
         ToHalf<ReadS16, 1, ReadAlpha16, 1>},
        {{IL_GREY_A16, IL_GREY_PA16},
         {IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGBA_HALF, IL_RGBPA_HALF},
         ToHalf<ReadS16, 1, ReadAlpha16, 3>},

        // 8-bit; a filler byte counts as alpha where the selection routes it here.
        {{IL_BGR8, IL_RGB8},
         {IL_BGR_HALF, IL_RGB_HALF},
         ToHalf<ReadS8, 3, N, 3>,
         ToHalf<ReadS8, 3, N, 3, true>},
        {{IL_BGRX8, IL_BGRA8, IL_BGRPA8},
         {IL_BGRA_HALF, IL_BGRPA_HALF},
         ToHalf<ReadS8, 3, ReadAlpha8, 3>},
        {{IL_GREY8}, {IL_GREY_HALF}, ToHalf<ReadS8, 1, N, 1>},
        {{IL_GREY8}, {IL_BGR_HALF, IL_RGB_HALF}, ToHalf<ReadS8, 1, N, 3>},
        {{IL_GREY_A8, IL_GREY_PA8},
         {IL_GREY_A_HALF, IL_GREY_PA_HALF},
         ToHalf<ReadS8, 1, ReadAlpha8, 1>},
        {{IL_GREY_A8, IL_GREY_PA8},
         {IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGBA_HALF, IL_RGBPA_HALF},
         ToHalf<ReadS8, 1, ReadAlpha8, 3>},

        // 1-, 2- and 4-bit grey.
        {{IL_GREY4}, {IL_GREY_HALF}, Grey4ToHalf<1>},
        {{IL_GREY4}, {IL_BGR_HALF, IL_RGB_HALF}, Grey4ToHalf<3>},
        {{IL_GREY2}, {IL_GREY_HALF}, Grey2ToHalf<1>},
        {{IL_GREY2}, {IL_BGR_HALF, IL_RGB_HALF}, Grey2ToHalf<3>},
        {{IL_GREY1}, {IL_GREY_HALF}, Grey1ToHalf<true, 1>, nullptr, IL_KV_ONE_BIT_WHITE},
        {{IL_GREY1}, {IL_GREY_HALF}, Grey1ToHalf<false, 1>, nullptr, IL_KV_ONE_BIT_BLACK},
        {{IL_GREY1},
         {IL_BGR_HALF, IL_RGB_HALF},
         Grey1ToHalf<true, 3>,
         nullptr,
         IL_KV_ONE_BIT_WHITE},
        {{IL_GREY1},
         {IL_BGR_HALF, IL_RGB_HALF},
         Grey1ToHalf<false, 3>,
         nullptr,
         IL_KV_ONE_BIT_BLACK},

        // Luminance into half grey.
        {{IL_BGR16}, {IL_GREY_HALF}, ToHalf<ReadS16, 3, N, 1>},
        {{IL_BGRA16, IL_BGRPA16},
         {IL_GREY_A_HALF, IL_GREY_PA_HALF},
         ToHalf<ReadS16, 3, ReadAlpha16, 1>},
        {{IL_BGR8}, {IL_GREY_HALF}, ToHalf<ReadS8, 3, N, 1>},
        {{IL_BGRX8, IL_BGRA8, IL_BGRPA8},
         {IL_GREY_A_HALF, IL_GREY_PA_HALF},
         ToHalf<ReadS8, 3, ReadAlpha8, 1>},
        {{IL_BGR_FLOAT}, {IL_GREY_HALF}, ToHalf<ReadFloat, 3, N, 1>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_GREY_A_HALF, IL_GREY_PA_HALF},
         ToHalf<ReadFloat, 3, ReadFloat, 1>},
        {{IL_BGR_HALF}, {IL_GREY_HALF}, ToHalf<ReadHalf, 3, N, 1>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF}, {IL_GREY_A_HALF, IL_GREY_PA_HALF}, BGRAHalfToGreyAHalf},
    });
    // Indexed sources: half grey has its own lookup kernels; the other
    // tables are read by the indexed family's lookup kernels.
    const ILRowKernel toGrey[4] = {IndexToGreyHalf<1>, IndexToGreyHalf<2>, IndexToGreyHalf<4>,
                                   IndexToGreyHalf<8>};
    for (ILPixelType s : indexed) {
        const ILPixelType kind = s & IL_KIND_MASK;
        const ILRowKernel grey = toGrey[kind == IL_KIND_1   ? 0
                                        : kind == IL_KIND_2 ? 1
                                        : kind == IL_KIND_4 ? 2
                                                            : 3];
        entries.push_back({s, IL_GREY_HALF, IL_KV_ANY, grey, BuildGreyHalfTable});
        entries.push_back({s, IL_GREY_A_HALF, IL_KV_ANY, nullptr, BuildGreyAHalfTable});
        entries.push_back({s, IL_GREY_PA_HALF, IL_KV_ANY, nullptr, BuildGreyAHalfTable});
        entries.push_back({s, IL_BGR_HALF, IL_KV_ANY, nullptr, BuildBGRHalfTable});
        entries.push_back({s, IL_BGRA_HALF, IL_KV_ANY, nullptr, BuildBGRAHalfTable});
        entries.push_back({s, IL_BGRPA_HALF, IL_KV_ANY, nullptr, BuildBGRAHalfTable});
        entries.push_back({s, IL_BGRA_FLOAT, IL_KV_ANY, nullptr, BuildBGRAFloatTable});
    }
    return entries;
}

} // namespace

std::span<const ILKernelEntry> ILKernelsHalfFloatTarget() {
    static const std::vector<ILKernelEntry> table = BuildEntries();
    return table;
}
