// Row kernels into 32-bit float targets (grey, grey+alpha, B, G, R and R, G, B
// with or without alpha) from 1- to 16-bit integer grey and colour, from float
// itself (order, alpha handling, premultiplication), from 64-bit and 24-bit
// floats and from RGBE, plus the colour-managed 24-bit float kernels that
// carry alpha past the transform.
//
// Float samples are linear light and alpha a plain 0..1 fraction, so integer
// colour is decoded through the sRGB tables and only integer alpha is scaled
// linearly. None of these kernels dithers.
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
void Grey4ToFloat(ILConverter* c, const void* s, void* t) {
    float levels[16];
    for (int n = 0; n < 16; ++n)
        levels[n] = ILSrgbTable8[n * 17];
    UnpackGreyRow<4, float, N>(c, s, t, levels);
}

template <int N>
void Grey2ToFloat(ILConverter* c, const void* s, void* t) {
    UnpackGreyRow<2, float, N>(c, s, t, kGrey2Levels);
}

template <bool White, int N>
void Grey1ToFloat(ILConverter* c, const void* s, void* t) {
    static constexpr float kLevels[2] = {White ? 0.0f : 1.0f, White ? 1.0f : 0.0f};
    UnpackGreyRow<1, float, N>(c, s, t, kLevels);
}

// --- Compositing onto the background (alpha handling 2) -----------------------

// Lays each pixel over the linear background: out = bg (1 - a) + (c, or c a
// for straight alpha). A grey source composites onto every channel of a
// colour target, each with its own background channel; a grey target uses
// the background's luminance.
template <class CR, int SN, class AR, int TN>
void CompositeToFloat(ILConverter* c, const void* source, void* target) {
    constexpr size_t kSourceBytes = CR::kSize * SN + AR::kSize;
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const bool premultiplied = c->premultipliedSource != 0;
    float bg[3];
    if constexpr (TN == 1)
        bg[0] = c->backgroundGrayF;
    else
        for (int k = 0; k < 3; ++k)
            bg[k] = c->backgroundBGRF[k];
    const CR readColour;
    const AR readAlpha;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += kSourceBytes, t += TN * sizeof(float)) {
        const float a = readAlpha(s + SN * CR::kSize);
        const float rest = 1.0f - a;
        for (int k = 0; k < TN; ++k) {
            const float v = readColour(s + (SN == 1 ? 0 : k) * CR::kSize);
            Store(t + k * sizeof(float), bg[k] * rest + (premultiplied ? v : v * a));
        }
    }
}

// --- Straight <-> premultiplied float ---------------------------------------

// A straight source is multiplied by its alpha; a premultiplied one divided.
// A pixel without coverage has no colour to recover and gets 1e8, full scale
// in any integer target. When the row goes on into half (the first stage of a
// float to half chain) it gets the largest finite half instead: 1e8 would
// become infinity there, and premultiplying that again gives NaN.
template <int N>
void PremultiplyFloat(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const bool premultiplied = c->premultipliedSource != 0;
    const float uncovered = (c->targetType & IL_KIND_MASK) == IL_KIND_HALF ? 65504.0f : 1e8f;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += (N + 1) * 4, t += (N + 1) * 4) {
        const float a = Load<float>(s + N * 4);
        for (int k = 0; k < N; ++k) {
            const float v = Load<float>(s + k * 4);
            Store(t + k * 4, premultiplied ? (a > 0.0f ? v / a : uncovered) : v * a);
        }
        Store(t + N * 4, a);
    }
}

// --- RGBE ----------------------------------------------------------------------

// Mantissas R, G, B and a shared exponent E: (m + 0.5) 2^(E - 136); E = 0 is black.
void RGBEToBGRFloat(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += 4, t += 12) {
        float out[3] = {0.0f, 0.0f, 0.0f};
        if (s[3] != 0) {
            const float f = std::ldexp(1.0f, s[3] - 136);
            for (int k = 0; k < 3; ++k)
                out[k] = (static_cast<float>(s[2 - k]) + 0.5f) * f;
        }
        std::memcpy(t, out, sizeof out);
    }
}

// --- Colour-managed 24-bit float sources with alpha ---------------------------

// The transform writes the colour (lcms2 skips the extra sample); the alpha,
// the last of SN 24-bit samples, is widened into the last of TN floats.
template <int SN, int TN>
void TransformFloat24Alpha(ILConverter* c, const void* source, void* target) {
    cmsDoTransform(c->transform, source, target, static_cast<cmsUInt32Number>(c->width));
    const uint8_t* s = static_cast<const uint8_t*>(source) + (SN - 1) * 3;
    uint8_t* t = static_cast<uint8_t*>(target) + (TN - 1) * 4;
    const ReadFloat24 read;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += SN * 3, t += TN * 4)
        Store(t, read(s));
}

// Shorthands for the plain conversions into float.
template <class CR, int SN, class AR, int TN, bool TA, bool Reverse = false>
constexpr ILRowKernel ToFloat = ConvertRow<CR, SN, AR, !std::is_same_v<AR, NoAlpha>, WF, TN,
                                           std::conditional_t<TA, WF, NoAlpha>, TA, Reverse>;

template <int SN, bool SA, int TN, bool TA, bool Reverse = false>
constexpr ILRowKernel MoveFloat = RearrangeRow<float, SN, SA, TN, TA, Reverse>;

std::vector<ILKernelEntry> BuildTable() {
    constexpr auto kComposite = IL_KV_COMPOSITE;
    return ILExpandKernelGroups({
        // 1-, 2- and 4-bit grey.
        {{IL_GREY1}, {IL_GREY_FLOAT}, Grey1ToFloat<true, 1>, nullptr, IL_KV_ONE_BIT_WHITE},
        {{IL_GREY1}, {IL_GREY_FLOAT}, Grey1ToFloat<false, 1>, nullptr, IL_KV_ONE_BIT_BLACK},
        {{IL_GREY1},
         {IL_BGR_FLOAT, IL_RGB_FLOAT},
         Grey1ToFloat<true, 3>,
         nullptr,
         IL_KV_ONE_BIT_WHITE},
        {{IL_GREY1},
         {IL_BGR_FLOAT, IL_RGB_FLOAT},
         Grey1ToFloat<false, 3>,
         nullptr,
         IL_KV_ONE_BIT_BLACK},
        {{IL_GREY2}, {IL_GREY_FLOAT}, Grey2ToFloat<1>},
        {{IL_GREY2}, {IL_BGR_FLOAT, IL_RGB_FLOAT}, Grey2ToFloat<3>},
        {{IL_GREY4}, {IL_GREY_FLOAT}, Grey4ToFloat<1>},
        {{IL_GREY4}, {IL_BGR_FLOAT, IL_RGB_FLOAT}, Grey4ToFloat<3>},

        // 8-bit grey and colour.
        {{IL_GREY8}, {IL_GREY_FLOAT}, ToFloat<ReadS8, 1, NoAlpha, 1, false>},
        {{IL_GREY8}, {IL_BGR_FLOAT, IL_RGB_FLOAT}, ToFloat<ReadS8, 1, NoAlpha, 3, false>},
        {{IL_GREY_A8, IL_GREY_PA8},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         ToFloat<ReadS8, 1, ReadAlpha8, 1, true>},
        {{IL_GREY_A8, IL_GREY_PA8},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         ToFloat<ReadS8, 1, ReadAlpha8, 3, true>},
        {{IL_GREY_A8, IL_GREY_PA8}, {IL_BGR_FLOAT}, ToFloat<ReadS8, 1, ReadAlpha8, 3, false>},
        {{IL_GREY_A8, IL_GREY_PA8},
         {IL_BGR_FLOAT},
         CompositeToFloat<ReadS8, 1, ReadAlpha8, 3>,
         nullptr,
         kComposite},
        {{IL_BGR8, IL_RGB8},
         {IL_BGR_FLOAT, IL_RGB_FLOAT},
         ToFloat<ReadS8, 3, NoAlpha, 3, false>,
         ToFloat<ReadS8, 3, NoAlpha, 3, false, true>},
        {{IL_BGRX8, IL_BGRA8, IL_BGRPA8}, {IL_BGR_FLOAT}, ToFloat<ReadS8, 3, ReadAlpha8, 3, false>},
        {{IL_BGRX8, IL_BGRA8, IL_BGRPA8},
         {IL_BGR_FLOAT},
         CompositeToFloat<ReadS8, 3, ReadAlpha8, 3>,
         nullptr,
         kComposite},
        {{IL_BGRX8, IL_BGRA8, IL_BGRPA8},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         ToFloat<ReadS8, 3, ReadAlpha8, 3, true>},

        // 16-bit grey and colour.
        {{IL_GREY16}, {IL_GREY_FLOAT}, ToFloat<ReadS16, 1, NoAlpha, 1, false>},
        {{IL_GREY16}, {IL_BGR_FLOAT, IL_RGB_FLOAT}, ToFloat<ReadS16, 1, NoAlpha, 3, false>},
        {{IL_GREY_A16, IL_GREY_PA16},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         ToFloat<ReadS16, 1, ReadAlpha16, 1, true>},
        {{IL_GREY_A16, IL_GREY_PA16},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         ToFloat<ReadS16, 1, ReadAlpha16, 3, true>},
        {{IL_GREY_A16, IL_GREY_PA16}, {IL_BGR_FLOAT}, ToFloat<ReadS16, 1, ReadAlpha16, 3, false>},
        {{IL_GREY_A16, IL_GREY_PA16},
         {IL_BGR_FLOAT},
         CompositeToFloat<ReadS16, 1, ReadAlpha16, 3>,
         nullptr,
         kComposite},
        {{IL_BGR16}, {IL_BGR_FLOAT}, ToFloat<ReadS16, 3, NoAlpha, 3, false>},
        {{IL_BGRA16, IL_BGRPA16}, {IL_BGR_FLOAT}, ToFloat<ReadS16, 3, ReadAlpha16, 3, false>},
        {{IL_BGRA16, IL_BGRPA16},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         ToFloat<ReadS16, 3, ReadAlpha16, 3, true>},

        // Float to float.
        {{IL_GREY_FLOAT}, {IL_BGR_FLOAT, IL_RGB_FLOAT}, MoveFloat<1, false, 3, false>},
        {{IL_GREY_FLOAT}, {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT}, MoveFloat<1, false, 1, true>},
        {{IL_BGR_FLOAT}, {IL_BGRA_FLOAT}, MoveFloat<3, false, 3, true>},
        {{IL_BGR_FLOAT}, {IL_RGB_FLOAT}, MoveFloat<3, false, 3, false, true>},
        {{IL_RGB_FLOAT}, {IL_BGR_FLOAT}, MoveFloat<3, false, 3, false, true>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT}, {IL_GREY_FLOAT}, MoveFloat<1, true, 1, false>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_GREY_FLOAT},
         CompositeToFloat<ReadFloat, 1, ReadFloat, 1>,
         nullptr,
         kComposite},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT}, {IL_BGR_FLOAT}, MoveFloat<1, true, 3, false>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_BGR_FLOAT},
         CompositeToFloat<ReadFloat, 1, ReadFloat, 3>,
         nullptr,
         kComposite},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         MoveFloat<1, true, 3, true>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT}, {IL_BGR_FLOAT}, MoveFloat<3, true, 3, false>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_BGR_FLOAT},
         CompositeToFloat<ReadFloat, 3, ReadFloat, 3>,
         nullptr,
         kComposite},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         MoveFloat<3, true, 3, true, true>},
        {{IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         MoveFloat<3, true, 3, true, true>},
        {{IL_BGRA_FLOAT}, {IL_BGRPA_FLOAT}, PremultiplyFloat<3>},
        {{IL_BGRPA_FLOAT}, {IL_BGRA_FLOAT}, PremultiplyFloat<3>},
        {{IL_GREY_A_FLOAT}, {IL_GREY_PA_FLOAT}, PremultiplyFloat<1>},
        {{IL_GREY_PA_FLOAT}, {IL_GREY_A_FLOAT}, PremultiplyFloat<1>},

        // Wider and narrower floats; 64-bit and 24-bit colour is R, G, B.
        {{IL_GREY_DOUBLE}, {IL_GREY_FLOAT}, ToFloat<ReadDouble, 1, NoAlpha, 1, false>},
        {{IL_GREY_A_DOUBLE, IL_GREY_PA_DOUBLE},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         ToFloat<ReadDouble, 1, ReadDouble, 1, true>},
        {{IL_RGB_DOUBLE}, {IL_BGR_FLOAT}, ToFloat<ReadDouble, 3, NoAlpha, 3, false, true>},
        {{IL_RGBA_DOUBLE, IL_RGBPA_DOUBLE},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         ToFloat<ReadDouble, 3, ReadDouble, 3, true, true>},
        {{IL_GREY_FLOAT24}, {IL_GREY_FLOAT}, ToFloat<ReadFloat24, 1, NoAlpha, 1, false>},
        {{IL_GREY_A_FLOAT24, IL_GREY_PA_FLOAT24},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         ToFloat<ReadFloat24, 1, ReadFloat24, 1, true>},
        {{IL_RGB_FLOAT24}, {IL_BGR_FLOAT}, ToFloat<ReadFloat24, 3, NoAlpha, 3, false, true>},
        {{IL_RGBA_FLOAT24, IL_RGBPA_FLOAT24},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         ToFloat<ReadFloat24, 3, ReadFloat24, 3, true, true>},
        {{IL_BGR_RGBE}, {IL_BGR_FLOAT}, RGBEToBGRFloat},

        // Colour-managed: four-colour (15 bytes), colour (12) and grey (6) with alpha.
        {{IL_CMYK_A_FLOAT24},
         {IL_BGRA_FLOAT},
         TransformFloat24Alpha<5, 4>,
         nullptr,
         IL_KV_TRANSFORM},
        {{IL_BGRA_FLOAT24}, {IL_BGRA_FLOAT}, TransformFloat24Alpha<4, 4>, nullptr, IL_KV_TRANSFORM},
        {{IL_GREY_A_FLOAT24},
         {IL_GREY_A_FLOAT},
         TransformFloat24Alpha<2, 2>,
         nullptr,
         IL_KV_TRANSFORM},
    });
}

} // namespace

std::span<const ILKernelEntry> ILKernelsFloatTarget() {
    static const std::vector<ILKernelEntry> table = BuildTable();
    return table;
}
