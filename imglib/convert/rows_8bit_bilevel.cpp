// Row kernels for grey pixels of 1, 2 and 4 bits: unpacking them into 8- and
// 16-bit samples, and packing 8-bit samples (indices or grey) and grey floats
// into them. Sub-byte rows start at the most significant bits of their first
// byte; only the bytes that hold the row's pixels are read or written.
#include "imglib/convert/rows_8bit.h"

namespace {

// Calls put(x, bit) for each pixel of a 1-bit row, whole bytes first.
template <typename Put>
inline void ForEachBit(const uint8_t* s, uint64_t width, Put put) {
    const uint64_t full = width / 8;
    for (uint64_t i = 0; i < full; ++i) {
        const uint32_t b = s[i];
        for (uint32_t k = 0; k < 8; ++k)
            put(8 * i + k, (b >> (7 - k)) & 1u);
    }
    for (uint64_t x = full * 8; x < width; ++x)
        put(x, (s[x >> 3] >> (7 - (x & 7))) & 1u);
}

// The code of pixel x in a row of Bits-bit codes.
template <int Bits>
inline uint32_t CodeAt(const uint8_t* s, uint64_t x) {
    constexpr uint32_t perByte = 8 / Bits;
    const uint32_t shift = 8 - Bits * (static_cast<uint32_t>(x % perByte) + 1);
    return (s[x / perByte] >> shift) & ((1u << Bits) - 1);
}

// Full-scale replication factors of 2- and 4-bit codes.
template <int Bits>
constexpr uint32_t kTo8 = Bits == 4 ? 17 : 85;
template <int Bits>
constexpr uint32_t kTo16 = Bits == 4 ? 4369 : 21845;

} // namespace

template <bool White>
void ILRowGrey1ToGrey8(ILConverter* c, const void* source, void* target) {
    uint8_t* t = static_cast<uint8_t*>(target);
    ForEachBit(static_cast<const uint8_t*>(source), c->width,
               [t](uint64_t x, uint32_t bit) { t[x] = (bit != 0) == White ? 255 : 0; });
}

template <bool White>
void ILRowGrey1ToBGR8(ILConverter* c, const void* source, void* target) {
    uint8_t* t = static_cast<uint8_t*>(target);
    ForEachBit(static_cast<const uint8_t*>(source), c->width, [t](uint64_t x, uint32_t bit) {
        const uint8_t v = (bit != 0) == White ? 255 : 0;
        t[3 * x] = t[3 * x + 1] = t[3 * x + 2] = v;
    });
}

template <bool White>
void ILRowGrey1ToGrey16(ILConverter* c, const void* source, void* target) {
    uint16_t* t = static_cast<uint16_t*>(target);
    ForEachBit(static_cast<const uint8_t*>(source), c->width,
               [t](uint64_t x, uint32_t bit) { t[x] = (bit != 0) == White ? 65535 : 0; });
}

template <bool White>
void ILRowGrey1ToBGR16(ILConverter* c, const void* source, void* target) {
    uint16_t* t = static_cast<uint16_t*>(target);
    ForEachBit(static_cast<const uint8_t*>(source), c->width, [t](uint64_t x, uint32_t bit) {
        const uint16_t v = (bit != 0) == White ? 65535 : 0;
        t[3 * x] = t[3 * x + 1] = t[3 * x + 2] = v;
    });
}

template <int Bits>
void ILRowGreyNToGrey8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x)
        t[x] = static_cast<uint8_t>(CodeAt<Bits>(s, x) * kTo8<Bits>);
}

template <int Bits>
void ILRowGreyNToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += 3)
        t[0] = t[1] = t[2] = static_cast<uint8_t>(CodeAt<Bits>(s, x) * kTo8<Bits>);
}

template <int Bits>
void ILRowGreyNToGrey16(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint16_t* t = static_cast<uint16_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x)
        t[x] = static_cast<uint16_t>(CodeAt<Bits>(s, x) * kTo16<Bits>);
}

template <int Bits>
void ILRowGreyNToBGR16(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint16_t* t = static_cast<uint16_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += 3)
        t[0] = t[1] = t[2] = static_cast<uint16_t>(CodeAt<Bits>(s, x) * kTo16<Bits>);
}

// 2-bit level n becomes the 4-bit level n * 5; an odd width leaves the low
// nibble of the last byte cleared.
void ILRowGrey2ToGrey4(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x) {
        const uint32_t v = CodeAt<2>(s, x) * 5;
        if ((x & 1) == 0)
            t[x >> 1] = static_cast<uint8_t>(v << 4);
        else
            t[x >> 1] = static_cast<uint8_t>(t[x >> 1] | v);
    }
}

// Bits past the row's end keep what the target held.
void ILRowPackTo1(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        if (s[x] >= 128)
            t[x >> 3] |= mask;
        else
            t[x >> 3] &= static_cast<uint8_t>(~mask);
    }
}

// The first pixel of each byte starts it afresh.
void ILRowPackTo2(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x) {
        const uint32_t code = s[x] >> 6;
        const uint32_t shift = 6 - 2 * static_cast<uint32_t>(x & 3);
        if ((x & 3) == 0)
            t[x >> 2] = static_cast<uint8_t>(code << 6);
        else
            t[x >> 2] = static_cast<uint8_t>(t[x >> 2] | (code << shift));
    }
}

void ILRowPackTo4(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x) {
        const uint8_t v = s[x];
        if ((x & 1) == 0)
            t[x >> 1] = static_cast<uint8_t>(v & 0xF0);
        else
            t[x >> 1] = static_cast<uint8_t>(t[x >> 1] | (v >> 4));
    }
}

// Linear grey float to 1 bit: white where v + d >= 1, so with dithering off
// (d = 0.46875) from 0.53125 up. NaN compares false and gives black.
void ILRowGreyFloatTo1(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const float* s = static_cast<const float*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        if (s[x] + o.f[x & 3] >= 1.0f)
            t[x >> 3] |= mask;
        else
            t[x >> 3] &= static_cast<uint8_t>(~mask);
    }
    ILAdvanceDitherRow(c);
}

template void ILRowGrey1ToGrey8<true>(ILConverter*, const void*, void*);
template void ILRowGrey1ToGrey8<false>(ILConverter*, const void*, void*);
template void ILRowGrey1ToBGR8<true>(ILConverter*, const void*, void*);
template void ILRowGrey1ToBGR8<false>(ILConverter*, const void*, void*);
template void ILRowGrey1ToGrey16<true>(ILConverter*, const void*, void*);
template void ILRowGrey1ToGrey16<false>(ILConverter*, const void*, void*);
template void ILRowGrey1ToBGR16<true>(ILConverter*, const void*, void*);
template void ILRowGrey1ToBGR16<false>(ILConverter*, const void*, void*);
template void ILRowGreyNToGrey8<2>(ILConverter*, const void*, void*);
template void ILRowGreyNToGrey8<4>(ILConverter*, const void*, void*);
template void ILRowGreyNToBGR8<2>(ILConverter*, const void*, void*);
template void ILRowGreyNToBGR8<4>(ILConverter*, const void*, void*);
template void ILRowGreyNToGrey16<2>(ILConverter*, const void*, void*);
template void ILRowGreyNToGrey16<4>(ILConverter*, const void*, void*);
template void ILRowGreyNToBGR16<2>(ILConverter*, const void*, void*);
template void ILRowGreyNToBGR16<4>(ILConverter*, const void*, void*);
