// The half-to-float table, computed by the compiler. Bits rather than floats,
// so that NaN payloads (signalling ones too) pass unchanged.
#include "imglib/convert/half_float.h"

namespace {

constexpr uint32_t FloatBits(uint32_t half) {
    const uint32_t sign = (half & 0x8000u) << 16;
    const uint32_t exponent = (half >> 10) & 0x1F;
    uint32_t mantissa = half & 0x3FF;
    if (exponent == 0x1F) return sign | 0x7F800000u | mantissa << 13; // infinity, NaN
    if (exponent != 0) return sign | (exponent + 112) << 23 | mantissa << 13;
    if (mantissa == 0) return sign;
    uint32_t shift = 0; // subnormal: normalise
    while (!(mantissa & 0x400)) {
        mantissa <<= 1;
        ++shift;
    }
    return sign | (113 - shift) << 23 | (mantissa & 0x3FF) << 13;
}

constexpr std::array<uint32_t, 65536> MakeTable() {
    std::array<uint32_t, 65536> table{};
    for (uint32_t h = 0; h < table.size(); ++h)
        table[h] = FloatBits(h);
    return table;
}

} // namespace

constinit const std::array<uint32_t, 65536> ILHalfFloatBits = MakeTable();
