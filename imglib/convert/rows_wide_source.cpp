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
        {{0x131}, {0x43, 0x10043}, Conv<ReadDouble, 1, N, W8, 3, N>},
        {{0x2131, 0x4131}, {0x43, 0x10043}, ConvDrop<ReadDouble, 1, ReadDouble, W8, 3>},
        {{0x10133}, {0x43}, Conv<ReadDouble, 3, N, W8, 3, N, true>},
        {{0x12133, 0x14133}, {0x43}, ConvDrop<ReadDouble, 3, ReadDouble, W8, 3, true>},

        // Signed fixed point.
        {{0x151}, {0x121}, Conv<ReadFixed32, 1, N, WF, 1, N>},
        {{0x151}, {0x43, 0x10043}, Conv<ReadFixed32, 1, N, W8, 3, N>},
        {{0x141}, {0x43, 0x10043}, Conv<ReadFixed16, 1, N, W8, 3, N>},
        {{0x153, 0x10153},
         {0x123},
         Conv<ReadFixed32, 3, N, WF, 3, N>,
         Conv<ReadFixed32, 3, N, WF, 3, N, true>},
        {{0x2153, 0x4153, 0x12153, 0x14153},
         {0x2123, 0x4123},
         Conv<ReadFixed32, 3, ReadFixed32, WF, 3, WF>,
         Conv<ReadFixed32, 3, ReadFixed32, WF, 3, WF, true>},
        {{0x153, 0x10153},
         {0x43, 0x10043},
         Conv<ReadFixed32, 3, N, W8, 3, N>,
         Conv<ReadFixed32, 3, N, W8, 3, N, true>},
        {{0x143, 0x10143},
         {0x43, 0x10043},
         Conv<ReadFixed16, 3, N, W8, 3, N>,
         Conv<ReadFixed16, 3, N, W8, 3, N, true>},
        {{0x2153, 0x4153, 0x12153, 0x14153},
         {0x43, 0x10043},
         ConvDrop<ReadFixed32, 3, ReadFixed32, W8, 3>,
         ConvDrop<ReadFixed32, 3, ReadFixed32, W8, 3, true>},
        {{0x2143, 0x4143, 0x12143, 0x14143},
         {0x43, 0x10043},
         ConvDrop<ReadFixed16, 3, ReadFixed16, W8, 3>,
         ConvDrop<ReadFixed16, 3, ReadFixed16, W8, 3, true>},

        // Half grey.
        {{0x101}, {0x121}, Conv<ReadHalf, 1, N, WF, 1, N>},
        {{0x101}, {0x123, 0x10123}, Conv<ReadHalf, 1, N, WF, 3, N>},
        {{0x101}, {0x103, 0x10103}, MoveHalf<1, false, 3, false>},
        {{0x101}, {0x2101, 0x4101}, MoveHalf<1, false, 1, true>},
        {{0x101}, {0x61}, Conv<ReadHalf, 1, N, W16, 1, N>},
        {{0x101}, {0x63, 0x10063}, Conv<ReadHalf, 1, N, W16, 3, N>},
        {{0x101}, {0x41}, Conv<ReadHalf, 1, N, W8, 1, N>},
        {{0x101}, {0x43, 0x10043}, Conv<ReadHalf, 1, N, W8, 3, N>},
        {{0x101}, {0x31}, LinearToGreyPacked<ReadHalf, 4>},
        {{0x101}, {0x21}, LinearToGreyPacked<ReadHalf, 2>},
        {{0x101}, {0x11}, HalfToGrey1},
        {{0x2101, 0x4101}, {0x101}, MoveHalf<1, true, 1, false>},
        {{0x2101, 0x4101}, {0x123}, ConvDrop<ReadHalf, 1, ReadHalf, WF, 3>},
        {{0x2101, 0x4101}, {0x2121, 0x4121}, Conv<ReadHalf, 1, ReadHalf, WF, 1, WF>},
        {{0x2101, 0x4101},
         {0x2123, 0x4123, 0x12123, 0x14123},
         Conv<ReadHalf, 1, ReadHalf, WF, 3, WF>},
        {{0x2101, 0x4101}, {0x2103, 0x4103, 0x12103, 0x14103}, MoveHalf<1, true, 3, true>},
        {{0x2101, 0x4101}, {0x2061, 0x4061}, Conv<ReadHalf, 1, ReadHalf, W16, 1, A16>},
        {{0x2101, 0x4101},
         {0x2063, 0x4063, 0x12063, 0x14063},
         Conv<ReadHalf, 1, ReadHalf, W16, 3, A16>},
        {{0x2101, 0x4101}, {0x41}, ConvDrop<ReadHalf, 1, ReadHalf, W8, 1>},
        {{0x2101, 0x4101}, {0x43, 0x10043}, ConvDrop<ReadHalf, 1, ReadHalf, W8, 3>},
        {{0x2101, 0x4101}, {0x2041, 0x4041}, Conv<ReadHalf, 1, ReadHalf, W8, 1, A8>},
        {{0x2101, 0x4101},
         {0x2043, 0x4043, 0x12043, 0x14043},
         Conv<ReadHalf, 1, ReadHalf, W8, 3, A8>},

        // Half colour. The reversed kernel into 16 bits dithers, the
        // same-order one rounds.
        {{0x103, 0x10103},
         {0x123, 0x10123},
         Conv<ReadHalf, 3, N, WF, 3, N>,
         Conv<ReadHalf, 3, N, WF, 3, N, true>},
        {{0x103}, {0x10103}, MoveHalf<3, false, 3, false, true>},
        {{0x10103}, {0x103}, MoveHalf<3, false, 3, false, true>},
        {{0x103}, {0x2103}, MoveHalf<3, false, 3, true>},
        {{0x103}, {0x63}, Conv<ReadHalf, 3, N, W16, 3, N>},
        {{0x103}, {0x10063}, Conv<ReadHalf, 3, N, W16d, 3, N, true>},
        {{0x10103}, {0x63}, Conv<ReadHalf, 3, N, W16d, 3, N, true>},
        {{0x103, 0x10103},
         {0x43, 0x10043},
         Conv<ReadHalf, 3, N, W8, 3, N>,
         Conv<ReadHalf, 3, N, W8, 3, N, true>},
        {{0x103}, {0x121}, Conv<ReadHalf, 3, N, WF, 1, N>},
        {{0x2103, 0x4103}, {0x103}, MoveHalf<3, true, 3, false>},
        {{0x2103, 0x4103}, {0x123}, ConvDrop<ReadHalf, 3, ReadHalf, WF, 3>},
        {{0x2103, 0x4103}, {0x2123, 0x4123}, Conv<ReadHalf, 3, ReadHalf, WF, 3, WF>},
        {{0x2103, 0x4103}, {0x12103, 0x14103}, MoveHalf<3, true, 3, true, true>},
        {{0x12103, 0x14103}, {0x2103, 0x4103}, MoveHalf<3, true, 3, true, true>},
        {{0x2103, 0x4103}, {0x2063, 0x4063}, Conv<ReadHalf, 3, ReadHalf, W16, 3, A16>},
        {{0x2103, 0x4103}, {0x2043, 0x4043}, Conv<ReadHalf, 3, ReadHalf, W8, 3, A8>},
        {{0x2103, 0x4103, 0x12103, 0x14103},
         {0x43, 0x10043},
         ConvDrop<ReadHalf, 3, ReadHalf, W8, 3>,
         ConvDrop<ReadHalf, 3, ReadHalf, W8, 3, true>},
        {{0x2103, 0x4103}, {0x2121, 0x4121}, Conv<ReadHalf, 3, ReadHalf, WF, 1, WF>},

        // Float grey.
        {{0x121}, {0x61}, Conv<ReadFloat, 1, N, W16d, 1, N>},
        {{0x121}, {0x63, 0x10063}, Conv<ReadFloat, 1, N, W16d, 3, N>},
        {{0x121}, {0x41}, FloatToSrgb8<1, false, 1>},
        {{0x121}, {0x43, 0x10043}, FloatToSrgb8<1, false, 3>},
        {{0x121}, {0x31}, LinearToGreyPacked<ReadFloat, 4>},
        {{0x121}, {0x21}, LinearToGreyPacked<ReadFloat, 2>},
        {{0x2121, 0x4121}, {0x2061, 0x4061}, Conv<ReadFloat, 1, ReadFloat, W16d, 1, A16d>},
        {{0x2121, 0x4121},
         {0x2063, 0x4063, 0x12063, 0x14063},
         Conv<ReadFloat, 1, ReadFloat, W16d, 3, A16d>},
        {{0x2121, 0x4121}, {0x41}, FloatToSrgb8<1, true, 1>},
        {{0x2121, 0x4121}, {0x43, 0x10043}, FloatToSrgb8<1, true, 3>},
        {{0x2121, 0x4121}, {0x2041, 0x4041}, Conv<ReadFloat, 1, ReadFloat, W8, 1, A8>},
        {{0x2121, 0x4121},
         {0x2043, 0x4043, 0x12043, 0x14043},
         Conv<ReadFloat, 1, ReadFloat, W8, 3, A8>},

        // Float colour.
        {{0x123}, {0x63}, Conv<ReadFloat, 3, N, W16d, 3, N>},
        {{0x123, 0x10123},
         {0x43, 0x10043},
         FloatToSrgb8<3, false, 3>,
         FloatToSrgb8<3, false, 3, true>},
        {{0x123}, {0x121}, Conv<ReadFloat, 3, N, WF, 1, N>},
        {{0x2123, 0x4123}, {0x2063, 0x4063}, Conv<ReadFloat, 3, ReadFloat, W16d, 3, A16d>},
        {{0x2123, 0x4123}, {0x2043, 0x4043}, Conv<ReadFloat, 3, ReadFloat, W8, 3, A8>},
        {{0x2123, 0x4123, 0x12123, 0x14123},
         {0x43, 0x10043},
         FloatToSrgb8<3, true, 3>,
         FloatToSrgb8<3, true, 3, true>},
        {{0x2123, 0x4123}, {0x2121, 0x4121}, Conv<ReadFloat, 3, ReadFloat, WF, 1, WF>},

        // 32-bit integer grey, and 8- and 16-bit colour, into float grey.
        {{0x71}, {0x121}, Conv<ReadS32, 1, N, WF, 1, N>},
        {{0x2071, 0x4071}, {0x2121, 0x4121}, Conv<ReadS32, 1, ReadAlpha32, WF, 1, WF>},
        {{0x63}, {0x121}, Conv<ReadS16, 3, N, WF, 1, N>},
        {{0x2063, 0x4063}, {0x2121, 0x4121}, Conv<ReadS16, 3, ReadAlpha16, WF, 1, WF>},
        {{0x43}, {0x121}, Conv<ReadS8, 3, N, WF, 1, N>},
        {{0x1043, 0x2043, 0x4043}, {0x2121, 0x4121}, Conv<ReadS8, 3, ReadAlpha8, WF, 1, WF>},

        // Packed 12-bit rows.
        {{0x51}, {0x61}, Unpack12<1, 1, true>},
        {{0x2051, 0x4051}, {0x2061, 0x4061}, Unpack12<2, 2, true>},
        {{0x53, 0x10053}, {0x63}, Unpack12<3, 3, true>, Unpack12<3, 3, true, true>},
        {{0x2053, 0x4053, 0x12053, 0x14053},
         {0x2063, 0x4063},
         Unpack12<4, 4, true>,
         Unpack12<4, 4, true, true>},
        {{0x51}, {0x43, 0x10043}, Unpack12<1, 3, false>},
        {{0x2051, 0x4051}, {0x43, 0x10043}, Unpack12<2, 3, false>},
        {{0x53, 0x10053}, {0x43, 0x10043}, Unpack12<3, 3, false>, Unpack12<3, 3, false, true>},
        {{0x2053, 0x4053, 0x12053, 0x14053},
         {0x43, 0x10043},
         Unpack12<4, 3, false>,
         Unpack12<4, 3, false, true>},
    });
}

} // namespace

std::span<const ILKernelEntry> ILKernelsWideSource() {
    static const std::vector<ILKernelEntry> table = BuildTable();
    return table;
}
