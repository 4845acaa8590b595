// Row kernels for packed colour: 10-10-10, 5-6-5, 5-5-5 and the 4-bit forms.
// A field widens by bit replication (its top bits fill the vacated low bits),
// so full scale stays full scale.
#include <cstring>

#include "imglib/convert/rows_8bit.h"

namespace {

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint32_t Load16(const uint8_t* p) {
    return p[0] | (static_cast<uint32_t>(p[1]) << 8);
}

inline uint8_t Widen5(uint32_t x) {
    return static_cast<uint8_t>((x << 3) | (x >> 2));
}
inline uint8_t Widen6(uint32_t x) {
    return static_cast<uint8_t>((x << 2) | (x >> 4));
}
inline uint8_t Widen4(uint32_t x) {
    return static_cast<uint8_t>(x * 17);
}

} // namespace

// u32: B bits 0-9, G bits 10-19, R bits 20-29.
void ILRowBGR101010ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 4, t += 3) {
        const uint32_t v = Load32(s);
        t[0] = static_cast<uint8_t>((v & 0x3FF) >> 2);
        t[1] = static_cast<uint8_t>(((v >> 10) & 0x3FF) >> 2);
        t[2] = static_cast<uint8_t>(((v >> 20) & 0x3FF) >> 2);
    }
}

// The two low bits land at bits 2-3 (1023 gives 0xFFCC).
void ILRowBGR101010ToBGR16(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint16_t* t = static_cast<uint16_t*>(target);
    auto widen = [](uint32_t f) { return static_cast<uint16_t>((f << 6) | ((f & 3) << 2)); };
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 4, t += 3) {
        const uint32_t v = Load32(s);
        t[0] = widen(v & 0x3FF);
        t[1] = widen((v >> 10) & 0x3FF);
        t[2] = widen((v >> 20) & 0x3FF);
    }
}

// u16: B bits 0-4, G bits 5-10, R bits 11-15.
void ILRowBGR565ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 2, t += 3) {
        const uint32_t v = Load16(s);
        t[0] = Widen5(v & 31);
        t[1] = Widen6((v >> 5) & 63);
        t[2] = Widen5(v >> 11);
    }
}

// u16: B bits 0-4, G bits 5-9, R bits 10-14; bit 15 ignored.
void ILRowBGR555ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 2, t += 3) {
        const uint32_t v = Load16(s);
        t[0] = Widen5(v & 31);
        t[1] = Widen5((v >> 5) & 31);
        t[2] = Widen5((v >> 10) & 31);
    }
}

// Byte 0: B low nibble, G high nibble; byte 1: R low nibble, filler high.
template <bool RgbOut>
void ILRowBGRX4ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    constexpr int b = RgbOut ? 2 : 0, r = RgbOut ? 0 : 2;
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 2, t += 3) {
        t[b] = Widen4(s[0] & 15);
        t[1] = Widen4(s[0] >> 4);
        t[r] = Widen4(s[1] & 15);
    }
}

// Nibbles R, G, B, high nibble first: two pixels in three bytes, so a pixel
// starts on a whole byte (even x) or on the low nibble of a byte (odd x).
template <bool RgbOut>
void ILRowRGB4ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    constexpr int b = RgbOut ? 2 : 0, r = RgbOut ? 0 : 2;
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += 3) {
        if ((x & 1) == 0) {
            t[r] = Widen4(s[0] >> 4);
            t[1] = Widen4(s[0] & 15);
            t[b] = Widen4(s[1] >> 4);
            s += 1;
        } else {
            t[r] = Widen4(s[0] & 15);
            t[1] = Widen4(s[1] >> 4);
            t[b] = Widen4(s[1] & 15);
            s += 2;
        }
    }
}

// Byte 0: R high nibble, G low; byte 1: B high nibble, A low.
template <bool Alpha>
void ILRowRGBA4ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    constexpr int tn = Alpha ? 4 : 3;
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 2, t += tn) {
        t[0] = Widen4(s[1] >> 4);
        t[1] = Widen4(s[0] & 15);
        t[2] = Widen4(s[0] >> 4);
        if constexpr (Alpha) t[3] = Widen4(s[1] & 15);
    }
}

template void ILRowBGRX4ToBGR8<false>(ILConverter*, const void*, void*);
template void ILRowBGRX4ToBGR8<true>(ILConverter*, const void*, void*);
template void ILRowRGB4ToBGR8<false>(ILConverter*, const void*, void*);
template void ILRowRGB4ToBGR8<true>(ILConverter*, const void*, void*);
template void ILRowRGBA4ToBGR8<false>(ILConverter*, const void*, void*);
template void ILRowRGBA4ToBGR8<true>(ILConverter*, const void*, void*);
