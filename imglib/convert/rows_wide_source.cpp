// Row kernels from deep samples into integer, float and half targets: 64-bit
// float, 32-bit integer, signed 16- and 32-bit fixed point, half and float
// sources, 8- and 16-bit colour into float grey, and packed 12-bit rows.
//
// Colour samples convert as they are, whatever the alpha form: these kernels
// drop, copy or rescale alpha but never (un)premultiply; the selection chains
// an alpha-form kernel where the forms differ. Integer targets encode linear
// light with the writers of rows_samples.h; values outside 0..1 (and NaN)
// clamp there, float and half targets keep them.
#include <span>
#include <vector>

#include "imglib/convert/kernel_table.h"
#include "imglib/convert/rows_entries.h"
#include "imglib/convert/rows_samples.h"

namespace {

using namespace ilrows;

// --- Float and half grey packed into 1, 2 and 4 bits --------------------------

// 4-bit: even pixels start a byte in the high nibble, odd pixels fill the low
// one. 2-bit: four pixels a byte from the top bits down. Both dithered.
template <class CR, int Bits>
void LinearToGreyPacked(ILConverter* c, const void* source, void* target) {
    constexpr uint64_t kPerByte = 8 / Bits;
    constexpr float kMax = Bits == 4 ? 15.0f : 3.0f;
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const RowDither dither(c, false);
    const CR read;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += CR::kSize) {
        const float v = read(s);
        const float encoded = Bits == 4 ? ILLinearToSrgb4F(v) : ILLinearToSrgb2F(v);
        const uint32_t code = TruncDither(encoded, dither[x].d, kMax);
        const unsigned slot = static_cast<unsigned>(x % kPerByte);
        const unsigned shift = 8 - Bits * (slot + 1);
        uint8_t& byte = t[x / kPerByte];
        byte = static_cast<uint8_t>(slot == 0 ? code << shift : byte | code << shift);
    }
    AdvanceDither(c);
}

// 1-bit: white where value + offset reaches 1, a linear threshold. Values far
// outside 0..1 clamp (huge ones white, negative ones and NaN black). Bits past
// the row's end keep their earlier values.
void HalfToGrey1(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const RowDither dither(c, false);
    const ReadHalf read;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += 2) {
        const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
        if (read(s) + dither[x].d >= 1.0f)
            t[x >> 3] |= bit;
        else
            t[x >> 3] &= static_cast<uint8_t>(~bit);
    }
    AdvanceDither(c);
}

// --- Packed 12-bit rows ----------------------------------------------------------

// SN samples a source pixel (1 grey, 2 grey+alpha, 3 colour, 4 colour+alpha),
// read as one continuous stream whose phase alternates sample by sample; TN
// samples a target pixel of 16 bits (Wide) or 8. A grey source fills all three
// colour samples; an alpha sample the target has no room for is dropped.
template <int SN, int TN, bool Wide, bool Reverse = false>
void Unpack12(ILConverter* c, const void* source, void* target) {
    using Sample = std::conditional_t<Wide, uint16_t, uint8_t>;
    constexpr bool kSourceColour = SN >= 3;
    constexpr bool kTargetColour = TN >= 3;
    constexpr bool kKeepAlpha = SN % 2 == 0 && TN % 2 == 0;
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    bool high = true;
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, t += TN * sizeof(Sample)) {
        Sample v[SN];
        for (int i = 0; i < SN; ++i, high = !high)
            v[i] = Wide ? static_cast<Sample>(ILRead12To16(high, &s)) : ILRead12To8(high, &s);
        Sample out[TN];
        if constexpr (!kTargetColour)
            out[0] = v[0];
        else if constexpr (!kSourceColour)
            out[0] = out[1] = out[2] = v[0];
        else
            for (int i = 0; i < 3; ++i)
                out[Reverse ? 2 - i : i] = v[i];
        if constexpr (kKeepAlpha) out[TN - 1] = v[SN - 1];
        std::memcpy(t, out, sizeof out);
    }
}

// Shorthands: colour reader CR with SN samples and alpha reader AR (NoAlpha
// for none) into colour writer CW with TN samples and alpha writer AW.
template <class CR, int SN, class AR, class CW, int TN, class AW, bool Reverse = false>
constexpr ILRowKernel Conv = ConvertRow<CR, SN, AR, !std::is_same_v<AR, NoAlpha>, CW, TN, AW,
                                        !std::is_same_v<AW, NoAlpha>, Reverse>;

// As Conv, the source alpha read but not written (the target has none).
template <class CR, int SN, class AR, class CW, int TN, bool Reverse = false>
constexpr ILRowKernel ConvDrop = ConvertRow<CR, SN, AR, true, CW, TN, NoAlpha, false, Reverse>;

template <int SN, bool SA, int TN, bool TA, bool Reverse = false>
constexpr ILRowKernel MoveHalf = RearrangeRow<uint16_t, SN, SA, TN, TA, Reverse>;

using N = NoAlpha;

std::vector<ILKernelEntry> BuildTable() {
    return ILExpandKernelGroups({
        // 64-bit float (R, G, B) into 8-bit colour.
        {{IL_GREY_DOUBLE}, {IL_BGR8, IL_RGB8}, Conv<ReadDouble, 1, N, W8, 3, N>},
        {{IL_GREY_A_DOUBLE, IL_GREY_PA_DOUBLE},
         {IL_BGR8, IL_RGB8},
         ConvDrop<ReadDouble, 1, ReadDouble, W8, 3>},
        {{IL_RGB_DOUBLE}, {IL_BGR8}, Conv<ReadDouble, 3, N, W8, 3, N, true>},
        {{IL_RGBA_DOUBLE, IL_RGBPA_DOUBLE},
         {IL_BGR8},
         ConvDrop<ReadDouble, 3, ReadDouble, W8, 3, true>},

        // Signed fixed point.
        {{IL_GREY_FIXED32}, {IL_GREY_FLOAT}, Conv<ReadFixed32, 1, N, WF, 1, N>},
        {{IL_GREY_FIXED32}, {IL_BGR8, IL_RGB8}, Conv<ReadFixed32, 1, N, W8, 3, N>},
        {{IL_GREY_FIXED16}, {IL_BGR8, IL_RGB8}, Conv<ReadFixed16, 1, N, W8, 3, N>},
        {{IL_BGR_FIXED32, IL_RGB_FIXED32},
         {IL_BGR_FLOAT},
         Conv<ReadFixed32, 3, N, WF, 3, N>,
         Conv<ReadFixed32, 3, N, WF, 3, N, true>},
        {{IL_BGRA_FIXED32, IL_BGRPA_FIXED32, IL_RGBA_FIXED32, IL_RGBPA_FIXED32},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         Conv<ReadFixed32, 3, ReadFixed32, WF, 3, WF>,
         Conv<ReadFixed32, 3, ReadFixed32, WF, 3, WF, true>},
        {{IL_BGR_FIXED32, IL_RGB_FIXED32},
         {IL_BGR8, IL_RGB8},
         Conv<ReadFixed32, 3, N, W8, 3, N>,
         Conv<ReadFixed32, 3, N, W8, 3, N, true>},
        {{IL_BGR_FIXED16, IL_RGB_FIXED16},
         {IL_BGR8, IL_RGB8},
         Conv<ReadFixed16, 3, N, W8, 3, N>,
         Conv<ReadFixed16, 3, N, W8, 3, N, true>},
        {{IL_BGRA_FIXED32, IL_BGRPA_FIXED32, IL_RGBA_FIXED32, IL_RGBPA_FIXED32},
         {IL_BGR8, IL_RGB8},
         ConvDrop<ReadFixed32, 3, ReadFixed32, W8, 3>,
         ConvDrop<ReadFixed32, 3, ReadFixed32, W8, 3, true>},
        {{IL_BGRA_FIXED16, IL_BGRPA_FIXED16, IL_RGBA_FIXED16, IL_RGBPA_FIXED16},
         {IL_BGR8, IL_RGB8},
         ConvDrop<ReadFixed16, 3, ReadFixed16, W8, 3>,
         ConvDrop<ReadFixed16, 3, ReadFixed16, W8, 3, true>},

        // Half grey.
        {{IL_GREY_HALF}, {IL_GREY_FLOAT}, Conv<ReadHalf, 1, N, WF, 1, N>},
        {{IL_GREY_HALF}, {IL_BGR_FLOAT, IL_RGB_FLOAT}, Conv<ReadHalf, 1, N, WF, 3, N>},
        {{IL_GREY_HALF}, {IL_BGR_HALF, IL_RGB_HALF}, MoveHalf<1, false, 3, false>},
        {{IL_GREY_HALF}, {IL_GREY_A_HALF, IL_GREY_PA_HALF}, MoveHalf<1, false, 1, true>},
        {{IL_GREY_HALF}, {IL_GREY16}, Conv<ReadHalf, 1, N, W16, 1, N>},
        {{IL_GREY_HALF}, {IL_BGR16, IL_RGB16}, Conv<ReadHalf, 1, N, W16, 3, N>},
        {{IL_GREY_HALF}, {IL_GREY8}, Conv<ReadHalf, 1, N, W8, 1, N>},
        {{IL_GREY_HALF}, {IL_BGR8, IL_RGB8}, Conv<ReadHalf, 1, N, W8, 3, N>},
        {{IL_GREY_HALF}, {IL_GREY4}, LinearToGreyPacked<ReadHalf, 4>},
        {{IL_GREY_HALF}, {IL_GREY2}, LinearToGreyPacked<ReadHalf, 2>},
        {{IL_GREY_HALF}, {IL_GREY1}, HalfToGrey1},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF}, {IL_GREY_HALF}, MoveHalf<1, true, 1, false>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF}, {IL_BGR_FLOAT}, ConvDrop<ReadHalf, 1, ReadHalf, WF, 3>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         Conv<ReadHalf, 1, ReadHalf, WF, 1, WF>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         Conv<ReadHalf, 1, ReadHalf, WF, 3, WF>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGBA_HALF, IL_RGBPA_HALF},
         MoveHalf<1, true, 3, true>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_GREY_A16, IL_GREY_PA16},
         Conv<ReadHalf, 1, ReadHalf, W16, 1, A16>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_BGRA16, IL_BGRPA16, IL_RGBA16, IL_RGBPA16},
         Conv<ReadHalf, 1, ReadHalf, W16, 3, A16>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF}, {IL_GREY8}, ConvDrop<ReadHalf, 1, ReadHalf, W8, 1>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_BGR8, IL_RGB8},
         ConvDrop<ReadHalf, 1, ReadHalf, W8, 3>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_GREY_A8, IL_GREY_PA8},
         Conv<ReadHalf, 1, ReadHalf, W8, 1, A8>},
        {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
         {IL_BGRA8, IL_BGRPA8, IL_RGBA8, IL_RGBPA8},
         Conv<ReadHalf, 1, ReadHalf, W8, 3, A8>},

        // Half colour. The reversed kernel into 16 bits dithers, the
        // same-order one rounds.
        {{IL_BGR_HALF, IL_RGB_HALF},
         {IL_BGR_FLOAT, IL_RGB_FLOAT},
         Conv<ReadHalf, 3, N, WF, 3, N>,
         Conv<ReadHalf, 3, N, WF, 3, N, true>},
        {{IL_BGR_HALF}, {IL_RGB_HALF}, MoveHalf<3, false, 3, false, true>},
        {{IL_RGB_HALF}, {IL_BGR_HALF}, MoveHalf<3, false, 3, false, true>},
        {{IL_BGR_HALF}, {IL_BGRA_HALF}, MoveHalf<3, false, 3, true>},
        {{IL_BGR_HALF}, {IL_BGR16}, Conv<ReadHalf, 3, N, W16, 3, N>},
        {{IL_BGR_HALF}, {IL_RGB16}, Conv<ReadHalf, 3, N, W16d, 3, N, true>},
        {{IL_RGB_HALF}, {IL_BGR16}, Conv<ReadHalf, 3, N, W16d, 3, N, true>},
        {{IL_BGR_HALF, IL_RGB_HALF},
         {IL_BGR8, IL_RGB8},
         Conv<ReadHalf, 3, N, W8, 3, N>,
         Conv<ReadHalf, 3, N, W8, 3, N, true>},
        {{IL_BGR_HALF}, {IL_GREY_FLOAT}, Conv<ReadHalf, 3, N, WF, 1, N>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF}, {IL_BGR_HALF}, MoveHalf<3, true, 3, false>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF}, {IL_BGR_FLOAT}, ConvDrop<ReadHalf, 3, ReadHalf, WF, 3>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF},
         {IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         Conv<ReadHalf, 3, ReadHalf, WF, 3, WF>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF},
         {IL_RGBA_HALF, IL_RGBPA_HALF},
         MoveHalf<3, true, 3, true, true>},
        {{IL_RGBA_HALF, IL_RGBPA_HALF},
         {IL_BGRA_HALF, IL_BGRPA_HALF},
         MoveHalf<3, true, 3, true, true>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF},
         {IL_BGRA16, IL_BGRPA16},
         Conv<ReadHalf, 3, ReadHalf, W16, 3, A16>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF},
         {IL_BGRA8, IL_BGRPA8},
         Conv<ReadHalf, 3, ReadHalf, W8, 3, A8>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGBA_HALF, IL_RGBPA_HALF},
         {IL_BGR8, IL_RGB8},
         ConvDrop<ReadHalf, 3, ReadHalf, W8, 3>,
         ConvDrop<ReadHalf, 3, ReadHalf, W8, 3, true>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         Conv<ReadHalf, 3, ReadHalf, WF, 1, WF>},

        // Float grey.
        {{IL_GREY_FLOAT}, {IL_GREY16}, Conv<ReadFloat, 1, N, W16d, 1, N>},
        {{IL_GREY_FLOAT}, {IL_BGR16, IL_RGB16}, Conv<ReadFloat, 1, N, W16d, 3, N>},
        {{IL_GREY_FLOAT}, {IL_GREY8}, FloatToSrgb8<1, false, 1>},
        {{IL_GREY_FLOAT}, {IL_BGR8, IL_RGB8}, FloatToSrgb8<1, false, 3>},
        {{IL_GREY_FLOAT}, {IL_GREY4}, LinearToGreyPacked<ReadFloat, 4>},
        {{IL_GREY_FLOAT}, {IL_GREY2}, LinearToGreyPacked<ReadFloat, 2>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_GREY_A16, IL_GREY_PA16},
         Conv<ReadFloat, 1, ReadFloat, W16d, 1, A16d>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_BGRA16, IL_BGRPA16, IL_RGBA16, IL_RGBPA16},
         Conv<ReadFloat, 1, ReadFloat, W16d, 3, A16d>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT}, {IL_GREY8}, FloatToSrgb8<1, true, 1>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT}, {IL_BGR8, IL_RGB8}, FloatToSrgb8<1, true, 3>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_GREY_A8, IL_GREY_PA8},
         Conv<ReadFloat, 1, ReadFloat, W8, 1, A8>},
        {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         {IL_BGRA8, IL_BGRPA8, IL_RGBA8, IL_RGBPA8},
         Conv<ReadFloat, 1, ReadFloat, W8, 3, A8>},

        // Float colour.
        {{IL_BGR_FLOAT}, {IL_BGR16}, Conv<ReadFloat, 3, N, W16d, 3, N>},
        {{IL_BGR_FLOAT, IL_RGB_FLOAT},
         {IL_BGR8, IL_RGB8},
         FloatToSrgb8<3, false, 3>,
         FloatToSrgb8<3, false, 3, true>},
        {{IL_BGR_FLOAT}, {IL_GREY_FLOAT}, Conv<ReadFloat, 3, N, WF, 1, N>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_BGRA16, IL_BGRPA16},
         Conv<ReadFloat, 3, ReadFloat, W16d, 3, A16d>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_BGRA8, IL_BGRPA8},
         Conv<ReadFloat, 3, ReadFloat, W8, 3, A8>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGBA_FLOAT, IL_RGBPA_FLOAT},
         {IL_BGR8, IL_RGB8},
         FloatToSrgb8<3, true, 3>,
         FloatToSrgb8<3, true, 3, true>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         Conv<ReadFloat, 3, ReadFloat, WF, 1, WF>},

        // 32-bit integer grey, and 8- and 16-bit colour, into float grey.
        {{IL_GREY32}, {IL_GREY_FLOAT}, Conv<ReadS32, 1, N, WF, 1, N>},
        {{IL_GREY_A32, IL_GREY_PA32},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         Conv<ReadS32, 1, ReadAlpha32, WF, 1, WF>},
        {{IL_BGR16}, {IL_GREY_FLOAT}, Conv<ReadS16, 3, N, WF, 1, N>},
        {{IL_BGRA16, IL_BGRPA16},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         Conv<ReadS16, 3, ReadAlpha16, WF, 1, WF>},
        {{IL_BGR8}, {IL_GREY_FLOAT}, Conv<ReadS8, 3, N, WF, 1, N>},
        {{IL_BGRX8, IL_BGRA8, IL_BGRPA8},
         {IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
         Conv<ReadS8, 3, ReadAlpha8, WF, 1, WF>},

        // Packed 12-bit rows.
        {{IL_GREY12}, {IL_GREY16}, Unpack12<1, 1, true>},
        {{IL_GREY_A12, IL_GREY_PA12}, {IL_GREY_A16, IL_GREY_PA16}, Unpack12<2, 2, true>},
        {{IL_BGR12, IL_RGB12}, {IL_BGR16}, Unpack12<3, 3, true>, Unpack12<3, 3, true, true>},
        {{IL_BGRA12, IL_BGRPA12, IL_RGBA12, IL_RGBPA12},
         {IL_BGRA16, IL_BGRPA16},
         Unpack12<4, 4, true>,
         Unpack12<4, 4, true, true>},
        {{IL_GREY12}, {IL_BGR8, IL_RGB8}, Unpack12<1, 3, false>},
        {{IL_GREY_A12, IL_GREY_PA12}, {IL_BGR8, IL_RGB8}, Unpack12<2, 3, false>},
        {{IL_BGR12, IL_RGB12},
         {IL_BGR8, IL_RGB8},
         Unpack12<3, 3, false>,
         Unpack12<3, 3, false, true>},
        {{IL_BGRA12, IL_BGRPA12, IL_RGBA12, IL_RGBPA12},
         {IL_BGR8, IL_RGB8},
         Unpack12<4, 3, false>,
         Unpack12<4, 3, false, true>},
    });
}

} // namespace

std::span<const ILKernelEntry> ILKernelsWideSource() {
    static const std::vector<ILKernelEntry> table = BuildTable();
    return table;
}
