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

void ILRowGreyMapGreyA8(ILConverter* c, const void* source, void* target) {
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

void ILRowCompositeGreyPA8ToBGR8(ILConverter* c, const void* source, void* target) {
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

void ILRowCompositeGreyPA16ToBGR8(ILConverter* c, const void* source, void* target) {
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

void ILRowCompositeBGRPA16ToBGR8(ILConverter* c, const void* source, void* target) {
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
constexpr ILRowKernel kGrey8ToGreyA8 = ILRowShuffle<U8, U8, 1, 2, 0>;
constexpr ILRowKernel kGrey8ToGrey16 = ILRowShuffle<U8, U16, 1, 1, 0>;
constexpr ILRowKernel kGrey8ToBGR16 = ILRowShuffle<U8, U16, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyA8ToGreyA16 = ILRowShuffle<U8, U16, 2, 2, 0, 1>;
constexpr ILRowKernel kGreyA8ToBGRA16 = ILRowShuffle<U8, U16, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGreyA8ToBGRA8 = ILRowShuffle<U8, U8, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGreyA8ToBGR8 = ILRowShuffle<U8, U8, 2, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyA8ToGrey8 = ILRowShuffle<U8, U8, 2, 1, 0>;
constexpr ILRowKernel kBGR8ToBGR16 = ILRowShuffle<U8, U16, 3, 3, 0, 1, 2>;
constexpr ILRowKernel kBGR8ToRGB16 = ILRowShuffle<U8, U16, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kBGRX8ToBGRA16 = ILRowShuffle<U8, U16, 4, 4, 0, 1, 2, 3>;
constexpr ILRowKernel kRGBX8ToBGRA16 = ILRowShuffle<U8, U16, 4, 4, 2, 1, 0, 3>;
constexpr ILRowKernel kBGR8ToBGRX8 = ILRowShuffle<U8, U8, 3, 4, 0, 1, 2>;
constexpr ILRowKernel kSwapBGRX8 = ILRowShuffle<U8, U8, 4, 4, 2, 1, 0, 3>;
constexpr ILRowKernel kBGRX8ToRGB8 = ILRowShuffle<U8, U8, 4, 3, 2, 1, 0>;
constexpr ILRowKernel kBGRX8ToBGR8 = ILRowShuffle<U8, U8, 4, 3, 0, 1, 2>;
constexpr ILRowKernel kSwapBGR8 = ILRowSwapBGR8;
constexpr ILRowKernel kGrey16ToBGR16 = ILRowShuffle<U16, U16, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyA16ToBGRA16 = ILRowShuffle<U16, U16, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGreyA16ToGrey16 = ILRowShuffle<U16, U16, 2, 1, 0>;
constexpr ILRowKernel kBGRA16ToBGR16 = ILRowShuffle<U16, U16, 4, 3, 0, 1, 2>;
constexpr ILRowKernel kGrey16ToGreyA16 = ILRowShuffle<U16, U16, 1, 2, 0>;
constexpr ILRowKernel kBGR16ToBGRA16 = ILRowShuffle<U16, U16, 3, 4, 0, 1, 2>;
constexpr ILRowKernel kSwapBGR16 = ILRowShuffle<U16, U16, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kSwapBGRA16 = ILRowShuffle<U16, U16, 4, 4, 2, 1, 0, 3>;

// Dithered narrowing.
constexpr ILRowKernel kGrey16ToGrey8 = ILRowNarrow16To8<1>;
constexpr ILRowKernel kGrey16ToBGR8 = ILRowDitherTo8<U16, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyA16ToGrey8 = ILRowDitherTo8<U16, 2, 1, 0>;
constexpr ILRowKernel kGreyA16ToGreyA8 = ILRowNarrow16To8<2>;
constexpr ILRowKernel kGreyA16ToBGR8 = ILRowDitherTo8<U16, 2, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyA16ToBGRA8 = ILRowDitherTo8<U16, 2, 4, 0, 0, 0, 1>;
constexpr ILRowKernel kGrey32ToBGR8 = ILRowDitherTo8<U32, 1, 3, 0, 0, 0>;
constexpr ILRowKernel kGreyA32ToBGR8 = ILRowDitherTo8<U32, 2, 3, 0, 0, 0>;
constexpr ILRowKernel kBGR16ToBGR8 = ILRowNarrow16To8<3>;
constexpr ILRowKernel kBGR16ToRGB8 = ILRowDitherTo8<U16, 3, 3, 2, 1, 0>;
constexpr ILRowKernel kBGRA16ToBGRA8 = ILRowNarrow16To8<4>;
constexpr ILRowKernel kBGRA16ToBGR8 = ILRowDitherTo8<U16, 4, 3, 0, 1, 2>;
constexpr ILRowKernel kBGRA16ToRGB8 = ILRowDitherTo8<U16, 4, 3, 2, 1, 0>;

std::vector<ILKernelEntry> BuildEntries() {
    const auto bgra8 = {IL_BGRX8, IL_BGRA8, IL_BGRPA8};
    const auto rgba8 = {IL_RGBX8, IL_RGBA8, IL_RGBPA8};
    const auto greyAlpha8 = {IL_GREY_A8, IL_GREY_PA8};
    const auto greyAlpha16 = {IL_GREY_A16, IL_GREY_PA16};
    const auto bgra16 = {IL_BGRA16, IL_BGRPA16};
    const auto rgba16 = {IL_RGBA16, IL_RGBPA16};
    const auto bgr8Both = {IL_BGR8, IL_RGB8};
    const auto bgr16Both = {IL_BGR16, IL_RGB16};
    const auto alpha8Out = {IL_BGRA8, IL_BGRPA8, IL_RGBA8, IL_RGBPA8};
    const auto alpha16Out = {IL_BGRA16, IL_BGRPA16, IL_RGBA16, IL_RGBPA16};
    return ILExpandKernelGroups({
        // 1-bit grey, one kernel per polarity; white-set to itself is the copy.
        {{IL_GREY1}, {IL_GREY1}, ILRowInvertBytes, nullptr, BLACK},
        {{IL_GREY1}, {IL_GREY8}, ILRowGrey1ToGrey8<true>, nullptr, WHITE},
        {{IL_GREY1}, {IL_GREY8}, ILRowGrey1ToGrey8<false>, nullptr, BLACK},
        {{IL_GREY1}, bgr8Both, ILRowGrey1ToBGR8<true>, nullptr, WHITE},
        {{IL_GREY1}, bgr8Both, ILRowGrey1ToBGR8<false>, nullptr, BLACK},
        {{IL_GREY1}, {IL_GREY16}, ILRowGrey1ToGrey16<true>, nullptr, WHITE},
        {{IL_GREY1}, {IL_GREY16}, ILRowGrey1ToGrey16<false>, nullptr, BLACK},
        {{IL_GREY1}, bgr16Both, ILRowGrey1ToBGR16<true>, nullptr, WHITE},
        {{IL_GREY1}, bgr16Both, ILRowGrey1ToBGR16<false>, nullptr, BLACK},

        // 2- and 4-bit grey.
        {{IL_GREY2}, {IL_GREY4}, ILRowGrey2ToGrey4},
        {{IL_GREY2}, {IL_GREY8}, ILRowGreyNToGrey8<2>},
        {{IL_GREY2}, bgr8Both, ILRowGreyNToBGR8<2>},
        {{IL_GREY2}, {IL_GREY16}, ILRowGreyNToGrey16<2>},
        {{IL_GREY2}, bgr16Both, ILRowGreyNToBGR16<2>},
        {{IL_GREY4}, {IL_GREY8}, ILRowGreyNToGrey8<4>},
        {{IL_GREY4}, bgr8Both, ILRowGreyNToBGR8<4>},
        {{IL_GREY4}, {IL_GREY16}, ILRowGreyNToGrey16<4>},
        {{IL_GREY4}, bgr16Both, ILRowGreyNToBGR16<4>},

        // Grey 8, and through the grey map.
        {{IL_GREY8}, bgr8Both, kGrey8ToBGR8},
        {{IL_GREY8}, {IL_GREY16}, kGrey8ToGrey16},
        {{IL_GREY8}, bgr16Both, kGrey8ToBGR16},
        {{IL_GREY8}, {IL_GREY_A8}, kGrey8ToGreyA8},
        {{IL_GREY8}, {IL_GREY8}, ILRowGreyMapGrey8, nullptr, GREY_MAP},
        {{IL_GREY8}, bgr8Both, ILRowGreyMapBGR8, nullptr, GREY_MAP},
        {{IL_GREY8}, {IL_GREY_A8}, ILRowGreyMapGreyA8, nullptr, GREY_MAP},

        // B, G, R 8 and R, G, B 8.
        {{IL_BGR8}, {IL_GREY8}, ILRowBGR8ToGrey8<3, 1>},
        {{IL_BGR8}, {IL_GREY16}, ILRowBGR8ToGrey16<3, 1>},
        {bgr8Both, bgr16Both, kBGR8ToBGR16, kBGR8ToRGB16},
        {{IL_BGR8}, {IL_BGRX8, IL_BGRA8, IL_BGRPA8}, kBGR8ToBGRX8},
        {{IL_RGB8}, rgba8, kBGR8ToBGRX8},
        {{IL_BGR8}, {IL_RGB8}, kSwapBGR8},
        {{IL_RGB8}, {IL_BGR8}, kSwapBGR8},

        // Grey 16.
        {{IL_GREY16}, {IL_GREY8}, kGrey16ToGrey8},
        {{IL_GREY16}, bgr8Both, kGrey16ToBGR8},
        {{IL_GREY16}, bgr16Both, kGrey16ToBGR16},
        {{IL_GREY16}, greyAlpha16, kGrey16ToGreyA16},

        // B, G, R 16 and R, G, B 16.
        {{IL_BGR16}, {IL_GREY8}, ILRowBGR16ToGrey8<3, 1>},
        {{IL_BGR16}, {IL_GREY16}, ILRowBGR16ToGrey16<3, 1>},
        {bgr16Both, bgr8Both, kBGR16ToBGR8, kBGR16ToRGB8},
        {{IL_BGR16}, {IL_BGRA16}, kBGR16ToBGRA16},
        {{IL_BGR16}, {IL_RGB16}, kSwapBGR16},
        {{IL_RGB16}, {IL_BGR16}, kSwapBGR16},

        // B, G, R plus a filler or alpha byte, and its R, G, B twin.
        {bgra8, {IL_BGR8}, kBGRX8ToBGR8},
        {bgra8, {IL_RGB8}, kBGRX8ToRGB8},
        {bgra8, {IL_GREY_A8, IL_GREY_PA8}, ILRowBGR8ToGrey8<4, 2>},
        {bgra8, {IL_GREY_A16, IL_GREY_PA16}, ILRowBGR8ToGrey16<4, 2>},
        {bgra8, {IL_BGRA16, IL_BGRPA16}, kBGRX8ToBGRA16},
        {bgra8, rgba8, kSwapBGRX8},
        {rgba8, {IL_BGR8}, kBGRX8ToRGB8},
        {rgba8, {IL_RGB8}, kBGRX8ToBGR8},
        {rgba8, bgra8, kSwapBGRX8},
        {rgba8, {IL_BGRA16}, kRGBX8ToBGRA16},

        // Grey+alpha 8; the premultiplied form composites here, the straight
        // one with the other compositing kernels.
        {greyAlpha8, {IL_GREY8}, kGreyA8ToGrey8},
        {greyAlpha8, bgr8Both, kGreyA8ToBGR8},
        {{IL_GREY_PA8}, bgr8Both, ILRowCompositeGreyPA8ToBGR8, nullptr, COMPOSITE},
        {greyAlpha8, alpha8Out, kGreyA8ToBGRA8},
        {greyAlpha8, greyAlpha16, kGreyA8ToGreyA16},
        {greyAlpha8, alpha16Out, kGreyA8ToBGRA16},

        // Grey+alpha 16.
        {greyAlpha16, {IL_GREY8}, kGreyA16ToGrey8},
        {greyAlpha16, bgr8Both, kGreyA16ToBGR8},
        {{IL_GREY_PA16}, bgr8Both, ILRowCompositeGreyPA16ToBGR8, nullptr, COMPOSITE},
        {greyAlpha16, {IL_GREY16}, kGreyA16ToGrey16},
        {greyAlpha16, greyAlpha8, kGreyA16ToGreyA8},
        {greyAlpha16, alpha8Out, kGreyA16ToBGRA8},
        {greyAlpha16, alpha16Out, kGreyA16ToBGRA16},

        // B, G, R, A 16 and R, G, B, A 16.
        {bgra16, bgr8Both, kBGRA16ToBGR8, kBGRA16ToRGB8},
        {rgba16, bgr8Both, kBGRA16ToBGR8, kBGRA16ToRGB8},
        {{IL_BGRPA16}, {IL_BGR8}, ILRowCompositeBGRPA16ToBGR8, nullptr, COMPOSITE},
        {bgra16, {IL_BGR16}, kBGRA16ToBGR16},
        {bgra16, greyAlpha8, ILRowBGR16ToGrey8<4, 2>},
        {bgra16, {IL_BGRA8, IL_BGRPA8}, kBGRA16ToBGRA8},
        {bgra16, greyAlpha16, ILRowBGR16ToGrey16<4, 2>},
        {bgra16, rgba16, kSwapBGRA16},
        {rgba16, bgra16, kSwapBGRA16},

        // 32-bit grey: the high half of each sample.
        {{IL_GREY32}, bgr8Both, kGrey32ToBGR8},
        {{IL_GREY_A32, IL_GREY_PA32}, bgr8Both, kGreyA32ToBGR8},

        // Packed colour; R, G, B 8 targets of the B, G, R-only kernels are
        // chained with the swap by the selection.
        {{IL_BGR_101010}, {IL_BGR8}, ILRowBGR101010ToBGR8},
        {{IL_BGR_101010}, {IL_BGR16}, ILRowBGR101010ToBGR16},
        {{IL_BGR_565}, {IL_BGR8}, ILRowBGR565ToBGR8},
        {{IL_BGR_555}, {IL_BGR8}, ILRowBGR555ToBGR8},
        {{IL_BGRX4}, {IL_BGR8}, ILRowBGRX4ToBGR8<false>},
        {{IL_BGRX4}, {IL_RGB8}, ILRowBGRX4ToBGR8<true>},
        {{IL_RGB4}, {IL_BGR8}, ILRowRGB4ToBGR8<false>},
        {{IL_RGB4}, {IL_RGB8}, ILRowRGB4ToBGR8<true>},
        {{IL_RGBA4, IL_RGBPA4}, {IL_BGR8}, ILRowRGBA4ToBGR8<false>},
        {{IL_RGBA4, IL_RGBPA4}, {IL_BGRA8, IL_BGRPA8}, ILRowRGBA4ToBGR8<true>},

        // YCbCr 8.
        {{IL_YCBCR8}, {IL_BGR8}, ILRowYCbCr8ToBGR8<3, 3>},
        {{IL_YCBCR_A8, IL_YCBCR_PA8}, {IL_BGR8}, ILRowYCbCr8ToBGR8<4, 3>},
        {{IL_YCBCR_A8, IL_YCBCR_PA8}, {IL_BGRA8, IL_BGRPA8}, ILRowYCbCr8ToBGR8<4, 4>},

        // CMYK 8 and 16.
        {{IL_CMYK8}, {IL_BGR8}, ILRowCMYKToBGR<U8, 4, U8, 3>},
        {{IL_CMYK_A8}, {IL_BGR8}, ILRowCMYKToBGR<U8, 5, U8, 3>},
        {{IL_CMYK_A8}, {IL_BGRA8}, ILRowCMYKToBGR<U8, 5, U8, 4>},
        {{IL_CMYK16}, {IL_BGR8}, ILRowCMYKToBGR<U16, 4, U8, 3>},
        {{IL_CMYK16}, {IL_BGR16}, ILRowCMYKToBGR<U16, 4, U16, 3>},
        {{IL_CMYK_A16}, {IL_BGR8}, ILRowCMYKToBGR<U16, 5, U8, 3>},
        {{IL_CMYK_A16}, {IL_BGRA16}, ILRowCMYKToBGR<U16, 5, U16, 4>},

        // Linear float and half colour to grey.
        {{IL_BGR_FLOAT}, {IL_GREY8}, ILRowLinearToGrey8<false, 3, 1>},
        {{IL_BGR_FLOAT}, {IL_GREY16}, ILRowLinearToGrey16<false, 3, 1>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT}, greyAlpha8, ILRowLinearToGrey8<false, 4, 2>},
        {{IL_BGRA_FLOAT, IL_BGRPA_FLOAT}, greyAlpha16, ILRowLinearToGrey16<false, 4, 2>},
        {{IL_BGR_HALF}, {IL_GREY8}, ILRowLinearToGrey8<true, 3, 1>},
        {{IL_BGR_HALF}, {IL_GREY16}, ILRowLinearToGrey16<true, 3, 1>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF}, greyAlpha8, ILRowLinearToGrey8<true, 4, 2>},
        {{IL_BGRA_HALF, IL_BGRPA_HALF}, greyAlpha16, ILRowLinearToGrey16<true, 4, 2>},

        // Grey float to 1 bit.
        {{IL_GREY_FLOAT}, {IL_GREY1}, ILRowGreyFloatTo1},

        // 24-bit float and RGBE to 8-bit colour.
        {{IL_GREY_FLOAT24}, bgr8Both, ILRowGreyFloat24ToBGR8<1>},
        {{IL_GREY_A_FLOAT24, IL_GREY_PA_FLOAT24}, bgr8Both, ILRowGreyFloat24ToBGR8<2>},
        {{IL_RGB_FLOAT24},
         bgr8Both,
         ILRowRGBFloat24ToRGB8<3, false>,
         ILRowRGBFloat24ToRGB8<3, true>},
        {{IL_RGBA_FLOAT24, IL_RGBPA_FLOAT24}, {IL_BGR8}, ILRowRGBFloat24ToRGB8<4, true>},
        {{IL_BGR_RGBE}, {IL_BGR8}, ILRowRGBEToBGR8},
    });
}

} // namespace

std::span<const ILKernelEntry> ILKernels8Bit() {
    static const std::vector<ILKernelEntry> table = BuildEntries();
    return table;
}
