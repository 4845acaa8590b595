// Small arithmetic shared by the row kernels: alpha scaling, luminance and
// the decoders of the wide sample kinds.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "imglib/convert/converter.h"
#include "imglib/convert/srgb.h"

// A zero alpha has no colour to recover: it gives full scale, as the
// unpremultiplying kernels do for transparent pixels.
uint32_t ILUnpremultiply16(uint32_t v, uint32_t a) {
    if (a == 0) return 65535;
    return std::min<uint32_t>(v * 65535u / a, 65535u);
}

uint32_t ILPremultiply16(uint32_t v, uint32_t a) {
    return v * a / 65535u;
}

uint32_t ILUnpremultiply8(uint32_t v, uint32_t a) {
    if (a == 0) return 255;
    return std::min<uint32_t>(v * 255u / a, 255u);
}

uint32_t ILPremultiply8(uint32_t v, uint32_t a) {
    return v * a / 255u;
}

uint8_t ILUnpremultiply8F(float v, float a) {
    if (!(a > 0.0f)) return 255;
    const float q = v / a;
    if (q > 255.0f) return 255;
    if (!(q > 0.0f)) return 0; // also NaN
    return static_cast<uint8_t>(q);
}

float ILLuminance(float r, float g, float b) {
    return 0.212656f * r + 0.715158f * g + 0.072186f * b;
}

uint16_t ILGray16FromRGB16(uint16_t r, uint16_t g, uint16_t b) {
    return ILLinearToSrgb16(ILLuminance(ILSrgbTable16[r], ILSrgbTable16[g], ILSrgbTable16[b]));
}

uint8_t ILGray8FromRGB16(uint16_t r, uint16_t g, uint16_t b) {
    return ILLinearToSrgb8(ILLuminance(ILSrgbTable16[r], ILSrgbTable16[g], ILSrgbTable16[b]));
}

uint16_t ILGray16FromRGB8(uint8_t r, uint8_t g, uint8_t b) {
    return ILLinearToSrgb16(ILLuminance(ILSrgbTable8[r], ILSrgbTable8[g], ILSrgbTable8[b]));
}

uint8_t ILGray8FromRGB8(uint8_t r, uint8_t g, uint8_t b) {
    return ILLinearToSrgb8(ILLuminance(ILSrgbTable8[r], ILSrgbTable8[g], ILSrgbTable8[b]));
}

float ILGray16FFromLinear(float r, float g, float b) {
    return ILLinearToSrgb16F(ILLuminance(r, g, b));
}

float ILGray8FFromLinear(float r, float g, float b) {
    return ILLinearToSrgb8F(ILLuminance(r, g, b));
}

double ILSrgb32ToLinear(uint32_t v) {
    if (v > 173731427u) return std::pow((v / 4294967295.0 + 0.055) / 1.055, 2.4);
    return v / 55490977451.4;
}

// Sign bit 23, exponent bits 16-22 (bias 63), mantissa bits 0-15.
float ILFloat24ToFloat(uint32_t v) {
    const uint32_t sign = (v & 0x800000u) << 8;
    const uint32_t e = (v >> 16) & 0x7Fu;
    const uint32_t m = v & 0xFFFFu;
    if (e == 0) {
        const float magnitude = std::ldexp(static_cast<float>(m), -78);
        return sign ? -magnitude : magnitude;
    }
    const uint32_t exponent = e == 127 ? 255u : e + 64u;
    return std::bit_cast<float>(sign | (exponent << 23) | (m << 7));
}

void ILConverterCompositeBGR8(const ILConverter* c, uint8_t* out, uint8_t b, uint8_t g, uint8_t r,
                              uint8_t alpha) {
    const float a = alpha / 255.0f;
    const uint8_t codes[3] = {b, g, r};
    for (int k = 0; k < 3; ++k)
        out[k] = ILLinearToSrgb8(a * ILSrgbTable8[codes[k]] + (1.0f - a) * c->backgroundBGRF[k]);
}
