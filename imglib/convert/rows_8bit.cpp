// Row kernels into 8- and 16-bit integer samples: rearranging and widening
// samples, 16- and 32-bit samples to 8 bits with ordered dithering, the grey
// map, premultiplied compositing into 8-bit colour, and the table of every
// pair this family serves. The other stages live in rows_8bit_*.cpp.
#include "imglib/convert/rows_8bit.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "imglib/convert/kernel_table.h"
#include "imglib/convert/rows_entries.h"
#include "imglib/convert/srgb.h"

namespace {

template <typename S, typename T>
inline T Widen(S v) {
    if constexpr (sizeof(S) == 1 && sizeof(T) == 2)
        return static_cast<T>(v * 257);
    else
        return static_cast<T>(v);
}

} // namespace

// Target sample k is source sample Ik (-1: not written), 8-bit samples widened
// to 16 bits as v * 257 when the target is 16-bit. A target sample that no
// source sample feeds (a new alpha or filler) keeps what the row held.
template <typename S, typename T, int SN, int TN, int I0, int I1 = -1, int I2 = -1, int I3 = -1>
void ILRowShuffle(ILConverter* c, const void* source, void* target) {
    const S* s = static_cast<const S*>(source);
    T* t = static_cast<T*>(target);
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += SN, t += TN) {
        if constexpr (I0 >= 0) t[0] = Widen<S, T>(s[I0]);
        if constexpr (I1 >= 0) t[1] = Widen<S, T>(s[I1]);
        if constexpr (I2 >= 0) t[2] = Widen<S, T>(s[I2]);
        if constexpr (I3 >= 0) t[3] = Widen<S, T>(s[I3]);
    }
}

// 16- and 32-bit samples to 8 bits: (v + d) div 257 with the pixel's dither
// offset d; a 32-bit sample keeps its high half first. Never above 255, since
// 65535 + 256 < 256 * 257.
template <typename S, int SN, int TN, int I0, int I1 = -1, int I2 = -1, int I3 = -1>
void ILRowDitherTo8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const S* s = static_cast<const S*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    auto narrow = [](S v, int32_t d) -> uint8_t {
        uint32_t w = v;
        if constexpr (sizeof(S) == 4) w >>= 16;
        return static_cast<uint8_t>((w + static_cast<uint32_t>(d)) / 257u);
    };
    for (uint64_t x = 0; x < n; ++x, s += SN, t += TN) {
        const int32_t d = o.d[x & 3];
        if constexpr (I0 >= 0) t[0] = narrow(s[I0], d);
        if constexpr (I1 >= 0) t[1] = narrow(s[I1], d);
        if constexpr (I2 >= 0) t[2] = narrow(s[I2], d);
        if constexpr (I3 >= 0) t[3] = narrow(s[I3], d);
    }
    ILAdvanceDitherRow(c);
}

// Grey 1 to grey 1 with a set bit meaning black: the target wants white set.
// Whole bytes, so the padding bits of the last byte are inverted too.
void ILRowInvertBytes(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t bytes = (c->width + 7) / 8;
    for (uint64_t i = 0; i < bytes; ++i)
        t[i] = static_cast<uint8_t>(~s[i]);
}

void ILRowGreyMapGrey8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint8_t* map = c->greyMap;
    for (uint64_t x = 0, n = c->width; x < n; ++x)
        t[x] = map[s[x]];
}

void ILRowGreyMapBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint8_t* map = c->greyMap;
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += 3)
        t[0] = t[1] = t[2] = map[s[x]];
}

void ILRowGreyMapGreyAlpha8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint8_t* map = c->greyMap;
    for (uint64_t x = 0, n = c->width; x < n; ++x)
        t[2 * x] = map[s[x]];
}

namespace {

// One premultiplied colour sample v (full scale A) with alpha a, 0 < a < A,
// laid over background channel k. The sample is limited to the alpha so that
// a pixel brighter than its coverage allows cannot exceed white.
inline uint8_t CompositePremul(const ILConverter* c, int k, float v, float alpha, float scale,
                               float d) {
    const float col = std::min(v / scale, alpha);
    return ILClampToU8Dither(c->backgroundBGR16[k] / 65535.0f * (1.0f - alpha) + col, d);
}

} // namespace

void ILRowCompositePremulGreyAlpha8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 2, t += 3) {
        const uint8_t v = s[0], a = s[1];
        if (a == 0) {
            std::memcpy(t, c->backgroundBGR8, 3);
        } else if (a == 255) {
            t[0] = t[1] = t[2] = v;
        } else {
            const float alpha = a / 255.0f;
            for (int k = 0; k < 3; ++k)
                t[k] = CompositePremul(c, k, v, alpha, 255.0f, o.f[x & 3]);
        }
    }
    ILAdvanceDitherRow(c);
}

void ILRowCompositePremulGreyAlpha16(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const uint16_t* s = static_cast<const uint16_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 2, t += 3) {
        const uint16_t v = s[0], a = s[1];
        if (a == 0) {
            std::memcpy(t, c->backgroundBGR8, 3);
        } else if (a == 65535) {
            t[0] = t[1] = t[2] = static_cast<uint8_t>((v + o.d[x & 3]) / 257);
        } else {
            const float alpha = a / 65535.0f;
            for (int k = 0; k < 3; ++k)
                t[k] = CompositePremul(c, k, v, alpha, 65535.0f, o.f[x & 3]);
        }
    }
    ILAdvanceDitherRow(c);
}

void ILRowCompositePremulBGRA16(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const uint16_t* s = static_cast<const uint16_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 4, t += 3) {
        const uint16_t a = s[3];
        if (a == 0) {
            std::memcpy(t, c->backgroundBGR8, 3);
        } else if (a == 65535) {
            for (int k = 0; k < 3; ++k)
                t[k] = static_cast<uint8_t>((s[k] + o.d[x & 3]) / 257);
        } else {
            const float alpha = a / 65535.0f;
            for (int k = 0; k < 3; ++k)
                t[k] = CompositePremul(c, k, s[k], alpha, 65535.0f, o.f[x & 3]);
        }
    }
    ILAdvanceDitherRow(c);
}

namespace {

using U8 = uint8_t;
using U16 = uint16_t;
using U32 = uint32_t;

constexpr ILKernelVariant ANY = IL_KV_ANY;
constexpr ILKernelVariant COMPOSITE = IL_KV_COMPOSITE;
constexpr ILKernelVariant WHITE = IL_KV_ONE_BIT_WHITE;
constexpr ILKernelVariant BLACK = IL_KV_ONE_BIT_BLACK;
constexpr ILKernelVariant GREY_MAP = IL_KV_GREY_MAP;

// Rearranging and widening.
constexpr ILRowKernel kGrey8ToBGR8 = ILRowShuffle<U8, U8, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGrey8ToGreyAlpha8 = ILRowShuffle<U8, U8, 1, 2, 0>;
constexpr ILRowKernel kGrey8ToGrey16 = ILRowShuffle<U8, U16, 1, 1, 0>;
constexpr ILRowKernel kGrey8ToBGR16 = ILRowShuffle<U8, U16, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyAlpha8ToGreyAlpha16 = ILRowShuffle<U8, U16, 2, 2, 0, 1>;
constexpr ILRowKernel kGreyAlpha8ToBGRA16 = ILRowShuffle<U8, U16, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGreyAlpha8ToBGRA8 = ILRowShuffle<U8, U8, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGreyAlpha8ToBGR8 = ILRowShuffle<U8, U8, 2, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyAlpha8ToGrey8 = ILRowShuffle<U8, U8, 2, 1, 0>;
constexpr ILRowKernel kBGR8ToBGR16 = ILRowShuffle<U8, U16, 3, 3, 0, 1, 2>;
constexpr ILRowKernel kBGR8ToRGB16 = ILRowShuffle<U8, U16, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kBGRX8ToBGRA16 = ILRowShuffle<U8, U16, 4, 4, 0, 1, 2, 3>;
constexpr ILRowKernel kRGBX8ToBGRA16 = ILRowShuffle<U8, U16, 4, 4, 2, 1, 0, 3>;
constexpr ILRowKernel kBGR8ToBGRX8 = ILRowShuffle<U8, U8, 3, 4, 0, 1, 2>;
constexpr ILRowKernel kSwapBGRX8 = ILRowShuffle<U8, U8, 4, 4, 2, 1, 0, 3>;
constexpr ILRowKernel kBGRX8ToRGB8 = ILRowShuffle<U8, U8, 4, 3, 2, 1, 0>;
constexpr ILRowKernel kBGRX8ToBGR8 = ILRowShuffle<U8, U8, 4, 3, 0, 1, 2>;
constexpr ILRowKernel kSwapBGR8 = ILRowShuffle<U8, U8, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kGrey16ToBGR16 = ILRowShuffle<U16, U16, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyAlpha16ToBGRA16 = ILRowShuffle<U16, U16, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGreyAlpha16ToGrey16 = ILRowShuffle<U16, U16, 2, 1, 0>;
constexpr ILRowKernel kBGRA16ToBGR16 = ILRowShuffle<U16, U16, 4, 3, 0, 1, 2>;
constexpr ILRowKernel kGrey16ToGreyAlpha16 = ILRowShuffle<U16, U16, 1, 2, 0>;
constexpr ILRowKernel kBGR16ToBGRA16 = ILRowShuffle<U16, U16, 3, 4, 0, 1, 2>;
constexpr ILRowKernel kSwapBGR16 = ILRowShuffle<U16, U16, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kSwapBGRA16 = ILRowShuffle<U16, U16, 4, 4, 2, 1, 0, 3>;

// Dithered narrowing.
constexpr ILRowKernel kGrey16ToGrey8 = ILRowDitherTo8<U16, 1, 1, 0>;
constexpr ILRowKernel kGrey16ToBGR8 = ILRowDitherTo8<U16, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyAlpha16ToGrey8 = ILRowDitherTo8<U16, 2, 1, 0>;
constexpr ILRowKernel kGreyAlpha16ToGreyAlpha8 = ILRowDitherTo8<U16, 2, 2, 0, 1>;
constexpr ILRowKernel kGreyAlpha16ToBGR8 = ILRowDitherTo8<U16, 2, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyAlpha16ToBGRA8 = ILRowDitherTo8<U16, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGrey32ToBGR8 = ILRowDitherTo8<U32, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyAlpha32ToBGR8 = ILRowDitherTo8<U32, 2, 3, 0, 0, 0>;
constexpr ILRowKernel kBGR16ToBGR8 = ILRowDitherTo8<U16, 3, 3, 0, 1, 2>;
constexpr ILRowKernel kBGR16ToRGB8 = ILRowDitherTo8<U16, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kBGRA16ToBGRA8 = ILRowDitherTo8<U16, 4, 4, 0, 1, 2, 3>;
constexpr ILRowKernel kBGRA16ToBGR8 = ILRowDitherTo8<U16, 4, 3, 0, 1, 2>;
constexpr ILRowKernel kBGRA16ToRGB8 = ILRowDitherTo8<U16, 4, 3, 2, 1, 0>;

std::vector<ILKernelEntry> BuildEntries() {
    const auto bgra8 = {0x1043u, 0x2043u, 0x4043u};
    const auto rgba8 = {0x11043u, 0x12043u, 0x14043u};
    const auto greyAlpha8 = {0x2041u, 0x4041u};
    const auto greyAlpha16 = {0x2061u, 0x4061u};
    const auto bgra16 = {0x2063u, 0x4063u};
    const auto rgba16 = {0x12063u, 0x14063u};
    const auto bgr8Both = {0x43u, 0x10043u};
    const auto bgr16Both = {0x63u, 0x10063u};
    const auto alpha8Out = {0x2043u, 0x4043u, 0x12043u, 0x14043u};
    const auto alpha16Out = {0x2063u, 0x4063u, 0x12063u, 0x14063u};
    return ILExpandKernelGroups({
        // 1-bit grey, one kernel per polarity; white-set to itself is the copy.
        {{0x11}, {0x11}, ILRowInvertBytes, nullptr, BLACK},
        {{0x11}, {0x41}, ILRowBit1ToGrey8<true>, nullptr, WHITE},
        {{0x11}, {0x41}, ILRowBit1ToGrey8<false>, nullptr, BLACK},
        {{0x11}, bgr8Both, ILRowBit1ToBGR8<true>, nullptr, WHITE},
        {{0x11}, bgr8Both, ILRowBit1ToBGR8<false>, nullptr, BLACK},
        {{0x11}, {0x61}, ILRowBit1ToGrey16<true>, nullptr, WHITE},
        {{0x11}, {0x61}, ILRowBit1ToGrey16<false>, nullptr, BLACK},
        {{0x11}, bgr16Both, ILRowBit1ToBGR16<true>, nullptr, WHITE},
        {{0x11}, bgr16Both, ILRowBit1ToBGR16<false>, nullptr, BLACK},

        // 2- and 4-bit grey.
        {{0x21}, {0x31}, ILRowGrey2ToGrey4},
        {{0x21}, {0x41}, ILRowGreyNToGrey8<2>},
        {{0x21}, bgr8Both, ILRowGreyNToBGR8<2>},
        {{0x21}, {0x61}, ILRowGreyNToGrey16<2>},
        {{0x21}, bgr16Both, ILRowGreyNToBGR16<2>},
        {{0x31}, {0x41}, ILRowGreyNToGrey8<4>},
        {{0x31}, bgr8Both, ILRowGreyNToBGR8<4>},
        {{0x31}, {0x61}, ILRowGreyNToGrey16<4>},
        {{0x31}, bgr16Both, ILRowGreyNToBGR16<4>},

        // Grey 8, and through the grey map.
        {{0x41}, bgr8Both, kGrey8ToBGR8},
        {{0x41}, {0x61}, kGrey8ToGrey16},
        {{0x41}, bgr16Both, kGrey8ToBGR16},
        {{0x41}, {0x2041}, kGrey8ToGreyAlpha8},
        {{0x41}, {0x41}, ILRowGreyMapGrey8, nullptr, GREY_MAP},
        {{0x41}, bgr8Both, ILRowGreyMapBGR8, nullptr, GREY_MAP},
        {{0x41}, {0x2041}, ILRowGreyMapGreyAlpha8, nullptr, GREY_MAP},

        // B, G, R 8 and R, G, B 8.
        {{0x43}, {0x41}, ILRowBGR8ToGrey8<3, 1>},
        {{0x43}, {0x61}, ILRowBGR8ToGrey16<3, 1>},
        {bgr8Both, bgr16Both, kBGR8ToBGR16, kBGR8ToRGB16},
        {{0x43}, {0x1043, 0x2043, 0x4043}, kBGR8ToBGRX8},
        {{0x10043}, rgba8, kBGR8ToBGRX8},
        {{0x43}, {0x10043}, kSwapBGR8},
        {{0x10043}, {0x43}, kSwapBGR8},

        // Grey 16.
        {{0x61}, {0x41}, kGrey16ToGrey8},
        {{0x61}, bgr8Both, kGrey16ToBGR8},
        {{0x61}, bgr16Both, kGrey16ToBGR16},
        {{0x61}, greyAlpha16, kGrey16ToGreyAlpha16},

        // B, G, R 16 and R, G, B 16.
        {{0x63}, {0x41}, ILRowBGR16ToGrey8<3, 1>},
        {{0x63}, {0x61}, ILRowBGR16ToGrey16<3, 1>},
        {bgr16Both, bgr8Both, kBGR16ToBGR8, kBGR16ToRGB8},
        {{0x63}, {0x2063}, kBGR16ToBGRA16},
        {{0x63}, {0x10063}, kSwapBGR16},
        {{0x10063}, {0x63}, kSwapBGR16},

        // B, G, R plus a filler or alpha byte, and its R, G, B twin.
        {bgra8, {0x43}, kBGRX8ToBGR8},
        {bgra8, {0x10043}, kBGRX8ToRGB8},
        {bgra8, {0x2041, 0x4041}, ILRowBGR8ToGrey8<4, 2>},
        {bgra8, {0x2061, 0x4061}, ILRowBGR8ToGrey16<4, 2>},
        {bgra8, {0x2063, 0x4063}, kBGRX8ToBGRA16},
        {bgra8, rgba8, kSwapBGRX8},
        {rgba8, {0x43}, kBGRX8ToRGB8},
        {rgba8, {0x10043}, kBGRX8ToBGR8},
        {rgba8, bgra8, kSwapBGRX8},
        {rgba8, {0x2063}, kRGBX8ToBGRA16},

        // Grey+alpha 8; the premultiplied form composites here, the straight
        // one with the other compositing kernels.
        {greyAlpha8, {0x41}, kGreyAlpha8ToGrey8},
        {greyAlpha8, bgr8Both, kGreyAlpha8ToBGR8},
        {{0x4041}, bgr8Both, ILRowCompositePremulGreyAlpha8, nullptr, COMPOSITE},
        {greyAlpha8, alpha8Out, kGreyAlpha8ToBGRA8},
        {greyAlpha8, greyAlpha16, kGreyAlpha8ToGreyAlpha16},
        {greyAlpha8, alpha16Out, kGreyAlpha8ToBGRA16},

        // Grey+alpha 16.
        {greyAlpha16, {0x41}, kGreyAlpha16ToGrey8},
        {greyAlpha16, bgr8Both, kGreyAlpha16ToBGR8},
        {{0x4061}, bgr8Both, ILRowCompositePremulGreyAlpha16, nullptr, COMPOSITE},
        {greyAlpha16, {0x61}, kGreyAlpha16ToGrey16},
        {greyAlpha16, greyAlpha8, kGreyAlpha16ToGreyAlpha8},
        {greyAlpha16, alpha8Out, kGreyAlpha16ToBGRA8},
        {greyAlpha16, alpha16Out, kGreyAlpha16ToBGRA16},

        // B, G, R, A 16 and R, G, B, A 16.
        {bgra16, bgr8Both, kBGRA16ToBGR8, kBGRA16ToRGB8},
        {rgba16, bgr8Both, kBGRA16ToBGR8, kBGRA16ToRGB8},
        {{0x4063}, {0x43}, ILRowCompositePremulBGRA16, nullptr, COMPOSITE},
        {bgra16, {0x63}, kBGRA16ToBGR16},
        {bgra16, greyAlpha8, ILRowBGR16ToGrey8<4, 2>},
        {bgra16, {0x2043, 0x4043}, kBGRA16ToBGRA8},
        {bgra16, greyAlpha16, ILRowBGR16ToGrey16<4, 2>},
        {bgra16, rgba16, kSwapBGRA16},
        {rgba16, bgra16, kSwapBGRA16},

        // 32-bit grey: the high half of each sample.
        {{0x71}, bgr8Both, kGrey32ToBGR8},
        {{0x2071, 0x4071}, bgr8Both, kGreyAlpha32ToBGR8},

        // Packed colour; R, G, B 8 targets of the B, G, R-only kernels are
        // chained with the swap by the selection.
        {{0x223}, {0x43}, ILRowBGR101010ToBGR8},
        {{0x223}, {0x63}, ILRowBGR101010ToBGR16},
        {{0x213}, {0x43}, ILRowBGR565ToBGR8},
        {{0x203}, {0x43}, ILRowBGR555ToBGR8},
        {{0x1033}, {0x43}, ILRowBGRX4444ToRGB8<false>},
        {{0x1033}, {0x10043}, ILRowBGRX4444ToRGB8<true>},
        {{0x10033}, {0x43}, ILRowRGB444ToRGB8<false>},
        {{0x10033}, {0x10043}, ILRowRGB444ToRGB8<true>},
        {{0x12033, 0x14033}, {0x43}, ILRowRGBA4444ToBGR8<false>},
        {{0x12033, 0x14033}, {0x2043, 0x4043}, ILRowRGBA4444ToBGR8<true>},

        // YCbCr 8.
        {{0x45}, {0x43}, ILRowYCbCr8ToBGR8<3, 3>},
        {{0x2045, 0x4045}, {0x43}, ILRowYCbCr8ToBGR8<4, 3>},
        {{0x2045, 0x4045}, {0x2043, 0x4043}, ILRowYCbCr8ToBGR8<4, 4>},

        // CMYK 8 and 16.
        {{0x44}, {0x43}, ILRowCmykToBGR<U8, 4, U8, 3>},
        {{0x2044}, {0x43}, ILRowCmykToBGR<U8, 5, U8, 3>},
        {{0x2044}, {0x2043}, ILRowCmykToBGR<U8, 5, U8, 4>},
        {{0x64}, {0x43}, ILRowCmykToBGR<U16, 4, U8, 3>},
        {{0x64}, {0x63}, ILRowCmykToBGR<U16, 4, U16, 3>},
        {{0x2064}, {0x43}, ILRowCmykToBGR<U16, 5, U8, 3>},
        {{0x2064}, {0x2063}, ILRowCmykToBGR<U16, 5, U16, 4>},

        // Linear float and half colour to grey.
        {{0x123}, {0x41}, ILRowLinearToGrey8<false, 3, 1>},
        {{0x123}, {0x61}, ILRowLinearToGrey16<false, 3, 1>},
        {{0x2123, 0x4123}, greyAlpha8, ILRowLinearToGrey8<false, 4, 2>},
        {{0x2123, 0x4123}, greyAlpha16, ILRowLinearToGrey16<false, 4, 2>},
        {{0x103}, {0x41}, ILRowLinearToGrey8<true, 3, 1>},
        {{0x103}, {0x61}, ILRowLinearToGrey16<true, 3, 1>},
        {{0x2103, 0x4103}, greyAlpha8, ILRowLinearToGrey8<true, 4, 2>},
        {{0x2103, 0x4103}, greyAlpha16, ILRowLinearToGrey16<true, 4, 2>},

        // Grey float to 1 bit.
        {{0x121}, {0x11}, ILRowGreyFloatTo1},

        // 24-bit float and RGBE to 8-bit colour.
        {{0x111}, bgr8Both, ILRowGreyFloat24ToBGR8<1>},
        {{0x2111, 0x4111}, bgr8Both, ILRowGreyFloat24ToBGR8<2>},
        {{0x10113}, bgr8Both, ILRowRGBFloat24ToRGB8<3, false>, ILRowRGBFloat24ToRGB8<3, true>},
        {{0x12113, 0x14113}, {0x43}, ILRowRGBFloat24ToRGB8<4, true>},
        {{0x163}, {0x43}, ILRowRGBEToBGR8},
    });
}

} // namespace

std::span<const ILKernelEntry> ILKernels8Bit() {
    static const std::vector<ILKernelEntry> table = BuildEntries();
    return table;
}
