// sRGB transfer: decode tables for 8 and 16-bit codes, encoders from linear
// light to each integer width, and RGB <-> CIE Lab.
#pragma once

#include <cmath>
#include <cstdint>

// Linear value of each 8-bit and each 16-bit sRGB code, computed when the
// library is built: present from program start, with or without a handle.
extern const float ILSrgbTable8[256];
extern const float ILSrgbTable16[65536];

// Row-vector matrices ([X Y Z] = [r g b] x M), fixed before any handle exists.
extern float ILMatrixRgbToXyz50[3][3];
extern float ILMatrixXyz50ToRgb[3][3];

// Entry `code` of a decode table of `codes` entries: codes below `split` lie
// on the linear segment (code / slope), the rest on the power segment.
inline float ILSrgbDecodeCode(int code, int codes, int split, float slope) {
    const float v = static_cast<float>(code);
    const float full = static_cast<float>(codes - 1);
    return code < split ? v / slope : std::pow((v / full + 0.055f) / 1.055f, 2.4f);
}

// The encoders below run once per sample in the row kernels, so they are
// inline. Every test is written so that NaN takes the "not above 0" branch:
// a NaN never reaches a float-to-integer conversion.

inline float ILSrgbToLinear(float x) {
    return x <= 0.04045f ? x / 12.92f : std::pow((x + 0.055f) / 1.055f, 2.4f);
}

// Not clamped: negative values stay on the linear segment, values above 1
// continue the curve.
inline float ILLinearToSrgb(float x) {
    if (x <= 0.0031308f) return 12.92f * x;
    return 1.055f * std::exp(std::log(x) * 0.41666666f) - 0.055f;
}

// Encoded and scaled by full scale + 0.5, truncated; 0 for x not above 0
// (and NaN), the maximum from 1 up.
inline uint16_t ILLinearToSrgb16(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 65535;
    return static_cast<uint16_t>(ILLinearToSrgb(x) * 65535.5f);
}
inline uint8_t ILLinearToSrgb8(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    return static_cast<uint8_t>(ILLinearToSrgb(x) * 255.5f);
}
inline uint8_t ILLinearToSrgb4(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 15;
    return static_cast<uint8_t>(ILLinearToSrgb(x) * 15.5f);
}
inline uint8_t ILLinearToSrgb2(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 3;
    return static_cast<uint8_t>(ILLinearToSrgb(x) * 3.5f);
}

// d is a dither offset in 0..1; the cap keeps an offset of 1 from wrapping.
inline uint8_t ILLinearToSrgb8Dither(float x, float d) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    const float v = ILLinearToSrgb(x) * 255.0f + d;
    return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

// Encoded times full scale, not truncated: a kernel adds its dither offset.
inline float ILLinearToSrgb16F(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x >= 1.0f) return 65535.0f;
    return ILLinearToSrgb(x) * 65535.0f;
}
inline float ILLinearToSrgb8F(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x >= 1.0f) return 255.0f;
    return ILLinearToSrgb(x) * 255.0f;
}
inline float ILLinearToSrgb4F(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x >= 1.0f) return 15.0f;
    return ILLinearToSrgb(x) * 15.0f;
}
inline float ILLinearToSrgb2F(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x >= 1.0f) return 3.0f;
    return ILLinearToSrgb(x) * 3.0f;
}

// Scaling without transfer, for alpha and linear data.
inline uint16_t ILClampToU16(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 65535;
    return static_cast<uint16_t>(x * 65535.5f);
}
inline uint8_t ILClampToU8(float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    return static_cast<uint8_t>(x * 255.5f);
}
inline float ILClampToU16F(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x >= 1.0f) return 65535.0f;
    return x * 65535.0f;
}
inline float ILClampToU8F(float x) {
    if (!(x > 0.0f)) return 0.0f;
    if (x >= 1.0f) return 255.0f;
    return x * 255.0f;
}
inline uint8_t ILClampToU8Dither(float x, float d) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    const float v = x * 255.0f + d;
    return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

// True (white) when the linear luminance is above 0.625.
inline bool ILLumaToBit(float y) {
    return y > 0.625f;
}

// result = a x b; result may not alias a or b.
void ILMatrix3Multiply(const float a[3][3], float result[3][3], const float b[3][3]);
// Linear sRGB <-> CIE Lab (D50), unclamped both ways.
void ILRgbToLab(float r, float g, float b, float* L, float* A, float* B);
void ILLabToRgb(float L, float A, float B, float* r, float* g, float* b);
