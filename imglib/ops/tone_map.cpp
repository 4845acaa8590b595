// Tone mapping: a power curve with a linear toe, then one 3x3 colour matrix
// folded from exposure, saturation, hue rotation and white point.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <Imath/half.h>
#include <lcms2.h>

#include "imglib/convert/converter.h"
#include "imglib/convert/srgb.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/row_split.h"
#include "imglib/ops/simd.h"
#include "imglib/ops/srgb8_encoder.h"

namespace {

constexpr float kLr = 0.212656f, kLg = 0.715158f, kLb = 0.072186f;

Imath::M44f RotateX(float sn, float cs) {
    return Imath::M44f(1, 0, 0, 0, 0, cs, sn, 0, 0, -sn, cs, 0, 0, 0, 0, 1);
}
Imath::M44f RotateY(float sn, float cs) {
    return Imath::M44f(cs, 0, -sn, 0, 0, 1, 0, 0, sn, 0, cs, 0, 0, 0, 0, 1);
}
Imath::M44f RotateZ(float sn, float cs) {
    return Imath::M44f(cs, sn, 0, 0, -sn, cs, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}
Imath::M44f ShearZ(float p, float q) {
    Imath::M44f m;
    m[0][2] = p;
    m[1][2] = q;
    return m;
}

// RGB-to-XYZ (column vectors) of the sRGB primaries with white w.
void PrimariesToXyz(const cmsCIExyY& w, double m[3][3]) {
    const double xy[3][2] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
    double p[3][3];
    for (int j = 0; j < 3; ++j) {
        p[0][j] = xy[j][0];
        p[1][j] = xy[j][1];
        p[2][j] = 1 - xy[j][0] - xy[j][1];
    }
    const double det = p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) -
                       p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                       p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0]);
    double inv[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // Cofactor of p[j][i], over the determinant.
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            inv[i][j] = (p[r0][c0] * p[r1][c1] - p[r0][c1] * p[r1][c0]) / det;
        }
    const double white[3] = {w.x / w.y, 1.0, (1 - w.x - w.y) / w.y};
    for (int j = 0; j < 3; ++j) {
        const double s = inv[j][0] * white[0] + inv[j][1] * white[1] + inv[j][2] * white[2];
        for (int i = 0; i < 3; ++i)
            m[i][j] = p[i][j] * s;
    }
}

Imath::M44f TransposedXyz(int32_t kelvin) {
    cmsCIExyY w;
    cmsWhitePointFromTemp(&w, kelvin);
    double m[3][3];
    PrimariesToXyz(w, m);
    Imath::M44f out;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = static_cast<float>(m[j][i]);
    return out;
}

} // namespace

ILToneMap* ILToneMapInit(ILToneMap* t) {
    t->toeOffset = t->toeSlope = t->toeThreshold = 0;
    t->hueFrame.makeIdentity();
    t->hueFrameInverse.makeIdentity();
    ILToneMapReset(t);
    const float r2 = 1 / std::sqrt(2.0f), r3 = 1 / std::sqrt(3.0f),
                r23 = std::sqrt(2.0f) / std::sqrt(3.0f);
    // The grey axis onto z, then the luminance plane horizontal.
    Imath::M44f f;
    f = f * RotateX(r2, r2);
    f = f * RotateY(-r3, r23);
    const float lx = kLr * f[0][0] + kLg * f[1][0] + kLb * f[2][0] + f[3][0];
    const float ly = kLr * f[0][1] + kLg * f[1][1] + kLb * f[2][1] + f[3][1];
    const float lz = kLr * f[0][2] + kLg * f[1][2] + kLb * f[2][2] + f[3][2];
    t->hueFrame = f * ShearZ(lx / lz, ly / lz);
    Imath::M44f g;
    g = g * ShearZ(-lx / lz, -ly / lz);
    g = g * RotateY(r3, r23);
    g = g * RotateX(-r2, r2);
    t->hueFrameInverse = g;
    return t;
}

void ILToneMapReset(ILToneMap* t) {
    t->exposure = 1;
    t->exponent = 1;
    t->black = 0;
    t->chroma = 1;
    t->hue = 0;
    t->whitePoint = 6500;
    t->exposureMatrix.makeIdentity();
    t->saturationMatrix.makeIdentity();
    t->hueMatrix.makeIdentity();
    t->whitePointMatrix.makeIdentity();
    t->result.makeIdentity();
    t->changed = false;
}

void ILToneMapSetExposure(ILToneMap* t, float exposure, bool recompose) {
    t->exposure = exposure;
    for (int i = 0; i < 3; ++i)
        t->exposureMatrix[i][i] = exposure;
    ILToneMapChanged(t, recompose);
}

bool ILToneMapSetExponent(ILToneMap* t, float e, bool recompose) {
    if (!(e > 0) || !std::isfinite(e)) return false;
    t->exponent = e;
    if (e != 1) {
        // The toe is the line from the origin that touches ((x + a)/(1 + a))^g.
        const float g = e < 1 ? 1 / e : e;
        const float a = (g - 0.8f) / 1.6f * 0.055f;
        const float th = a / (g - 1);
        const float k =
            std::pow(a, g - 1) * std::pow(g, g) / (std::pow(a + 1, g) * std::pow(g - 1, g - 1));
        t->toeOffset = a;
        t->toeThreshold = e < 1 ? k * th : th;
        t->toeSlope = e < 1 ? 1 / k : k;
    }
    ILToneMapChanged(t, recompose);
    return true;
}

void ILToneMapSetBlack(ILToneMap* t, float black, bool recompose) {
    t->black = black;
    ILToneMapChanged(t, recompose);
}

void ILToneMapSetChroma(ILToneMap* t, float s, bool recompose) {
    t->chroma = s;
    const float w[3] = {kLr, kLg, kLb};
    Imath::M44f& m = t->saturationMatrix;
    m.makeIdentity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = w[i] * (1 - s) + (i == j ? s : 0);
    ILToneMapChanged(t, recompose);
}

void ILToneMapSetHue(ILToneMap* t, float degrees, bool recompose) {
    t->hue = degrees;
    const float theta = degrees * 3.1415927f / 180;
    t->hueMatrix = t->hueFrame * RotateZ(std::sin(theta), std::cos(theta)) * t->hueFrameInverse;
    ILToneMapChanged(t, recompose);
}

void ILToneMapSetWhitePoint(ILToneMap* t, int32_t kelvin, bool recompose) {
    // Outside this range one of 5500 -+ d falls beyond the temperatures that
    // have a white point.
    kelvin = std::clamp(kelvin, 3500, 9500);
    t->whitePoint = kelvin;
    const int32_t d = (6500 - kelvin) / 2;
    Imath::M44f x = TransposedXyz(5500 + d);
    const Imath::M44f y = TransposedXyz(5500 - d);
    x.gjInvert();
    t->whitePointMatrix = y * x;
    ILToneMapChanged(t, recompose);
}

void ILToneMapChanged(ILToneMap* t, bool recompose) {
    if (recompose)
        ILToneMapCompose(t);
    else
        t->changed = true;
}

void ILToneMapUpdate(ILToneMap* t) {
    if (t->changed) ILToneMapCompose(t);
}

void ILToneMapCompose(ILToneMap* t) {
    t->result = t->exposureMatrix * t->saturationMatrix * t->hueMatrix * t->whitePointMatrix;
    t->changed = false;
}

float ILToneMapCurve(const ILToneMap* t, float x) {
    const float g = t->exponent, a = t->toeOffset;
    if (g == 1) return x;
    if (x <= t->toeThreshold) return x * t->toeSlope;
    if (g > 1) return std::pow((x + a) / (a + 1), g);
    return std::pow(x, g) * (a + 1) - a;
}

namespace {

// The curve of float samples without a power per sample: above the toe, a
// quadratic per 2^16 float bit patterns (the top 16 bits: sign, exponent and
// 7 bits of mantissa) through the curve at the start, middle and end of
// that range. Within the range the low 16 bits grow with x linearly, so they
// are the position in it; the relative width is 2^-7, which leaves the
// quadratics within a unit or two in the last place of the curve itself.
class FloatCurve {
public:
    bool Build(const ILToneMap* t) {
        t_ = t;
        if (t->exponent == 1) return true;
        float start = std::max(t->toeThreshold, 0.0f);
        uint32_t bits;
        std::memcpy(&bits, &start, sizeof bits);
        first_ = bits >> 16;
        coefficients_.reset(new (std::nothrow) float[4 * size_t{kBuckets - first_}]);
        if (!coefficients_) return false;
        double f0 = Curve(first_ << 16);
        for (uint32_t i = first_; i < kBuckets; ++i) {
            const double fm = Curve(i << 16 | 0x8000), f1 = Curve((i + 1) << 16);
            float* c = coefficients_.get() + 4 * size_t{i - first_};
            const bool finite = std::isfinite(f0) && std::isfinite(fm) && std::isfinite(f1);
            c[0] = static_cast<float>(f0);
            c[1] = finite ? static_cast<float>(4 * fm - 3 * f0 - f1) : 0.0f;
            c[2] = finite ? static_cast<float>(2 * f0 - 4 * fm + 2 * f1) : 0.0f;
            c[3] = 0.0f;
            f0 = f1;
        }
        return true;
    }

    float operator()(float x) const {
        if (t_->exponent == 1) return x;
        if (x <= t_->toeThreshold) return x * t_->toeSlope;
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        // NaN, infinity and the toe's own range go the long way.
        if (bits >= kBuckets << 16 || (bits >> 16) < first_) return ILToneMapCurve(t_, x);
        const float* c = coefficients_.get() + 4 * size_t{(bits >> 16) - first_};
        const float u = static_cast<float>(bits & 0xFFFF) * (1.0f / 65536);
        return c[0] + u * (c[1] + u * c[2]);
    }

    // The curve of four values, each lane as operator() gives it: the toe's
    // line or the table when every lane has one of them (one record of
    // coefficients a lane, turned into a vector of each coefficient),
    // otherwise one by one.
    __attribute__((always_inline)) ILFloat4 operator()(ILFloat4 x) const {
        if (t_->exponent == 1) return x;
        ILInt4 bits;
        std::memcpy(&bits, &x, sizeof bits);
        const ILInt4 bucket = bits >> 16; // negative for negative x
        const auto first = static_cast<int32_t>(first_), end = static_cast<int32_t>(kBuckets);
        const ILFloat4 threshold = ILSplat4(t_->toeThreshold);
        const ILInt4 toe = x <= threshold; // false for NaN
        const ILInt4 table = (x > threshold) & (bucket >= first) & (bucket < end);
        const ILInt4 known = toe | table;
        if (!(known[0] & known[1] & known[2] & known[3])) {
            OneByOne(&x);
            return x;
        }
        const ILInt4 at = (table ? bucket - first : 0) * 4;
        const float* c = coefficients_.get();
        const ILFloat4 q0 = ILLoad4(c + at[0]), q1 = ILLoad4(c + at[1]), q2 = ILLoad4(c + at[2]),
                       q3 = ILLoad4(c + at[3]);
        const ILFloat4 lo01 = __builtin_shufflevector(q0, q1, 0, 4, 1, 5);
        const ILFloat4 lo23 = __builtin_shufflevector(q2, q3, 0, 4, 1, 5);
        const ILFloat4 hi01 = __builtin_shufflevector(q0, q1, 2, 6, 3, 7);
        const ILFloat4 hi23 = __builtin_shufflevector(q2, q3, 2, 6, 3, 7);
        const ILFloat4 c0 = __builtin_shufflevector(lo01, lo23, 0, 1, 4, 5);
        const ILFloat4 c1 = __builtin_shufflevector(lo01, lo23, 2, 3, 6, 7);
        const ILFloat4 c2 = __builtin_shufflevector(hi01, hi23, 0, 1, 4, 5);
        const ILFloat4 u = __builtin_convertvector(bits & 0xFFFF, ILFloat4) * (1.0f / 65536);
        return toe ? x * t_->toeSlope : c0 + u * (c1 + u * c2);
    }

#if defined(__x86_64__)
    // The same for eight values, in functions compiled for AVX2, each lane
    // as the four-lane form gives it.
    __attribute__((target("avx2"))) ILFloat8 operator()(ILFloat8 x) const {
        if (t_->exponent == 1) return x;
        ILInt8 bits;
        std::memcpy(&bits, &x, sizeof bits);
        const ILInt8 bucket = bits >> 16;
        const auto first = static_cast<int32_t>(first_), end = static_cast<int32_t>(kBuckets);
        const float threshold = t_->toeThreshold;
        const ILInt8 toe = x <= threshold;
        const ILInt8 table = (x > threshold) & (bucket >= first) & (bucket < end);
        const ILInt8 known = toe | table;
        if (_mm256_movemask_ps(reinterpret_cast<__m256>(known)) != 0xFF) {
            OneByOne(&x);
            return x;
        }
        alignas(32) int32_t at[8];
        const ILInt8 offsets = (table ? bucket - first : 0) * 4;
        std::memcpy(at, &offsets, sizeof at);
        // Lane k's record in the low half and lane k + 4's in the high one,
        // then each half turned round as the four-lane form does: loading
        // the records whole measured twice as fast as gathering each
        // coefficient.
        const float* c = coefficients_.get();
        const __m256 q0 = _mm256_loadu2_m128(c + at[4], c + at[0]);
        const __m256 q1 = _mm256_loadu2_m128(c + at[5], c + at[1]);
        const __m256 q2 = _mm256_loadu2_m128(c + at[6], c + at[2]);
        const __m256 q3 = _mm256_loadu2_m128(c + at[7], c + at[3]);
        const __m256 lo01 = _mm256_unpacklo_ps(q0, q1), lo23 = _mm256_unpacklo_ps(q2, q3);
        const __m256 hi01 = _mm256_unpackhi_ps(q0, q1), hi23 = _mm256_unpackhi_ps(q2, q3);
        const auto c0 = reinterpret_cast<ILFloat8>(_mm256_shuffle_ps(lo01, lo23, 0x44));
        const auto c1 = reinterpret_cast<ILFloat8>(_mm256_shuffle_ps(lo01, lo23, 0xEE));
        const auto c2 = reinterpret_cast<ILFloat8>(_mm256_shuffle_ps(hi01, hi23, 0x44));
        const ILFloat8 u = __builtin_convertvector(bits & 0xFFFF, ILFloat8) * (1.0f / 65536);
        return toe ? x * t_->toeSlope : c0 + u * (c1 + u * c2);
    }
#endif

    // The curve over count values (a multiple of four) in place.
    void Apply(float* v, size_t count) const {
        if (t_->exponent == 1) return;
        for (size_t i = 0; i < count; i += 4)
            ILStore4(v + i, (*this)(ILLoad4(v + i)));
    }

private:
    static constexpr uint32_t kBuckets = 0x7F80; // every positive finite float

    // By address: the eight-lane vector is called with from AVX2 code, whose
    // registers this function (compiled without AVX) would not expect.
    template <typename V>
    __attribute__((noinline)) void OneByOne(V* x) const {
        for (size_t k = 0; k < sizeof(V) / sizeof(float); ++k)
            (*x)[k] = (*this)((*x)[k]);
    }
    double Curve(uint32_t bits) const {
        float x;
        std::memcpy(&x, &bits, sizeof x);
        return ILToneMapCurve(t_, x);
    }
    const ILToneMap* t_ = nullptr;
    uint32_t first_ = 0;
    std::unique_ptr<float[]> coefficients_;
};

} // namespace

namespace {

struct Context {
    const ILToneMap* t;
    const float* table; // curve of each code's linear value, for 8 and 16 bits and half
    const FloatCurve* curve;
    float m[3][3];
    float* planes; // three rows of `padded` floats
    size_t padded; // the width rounded up to whole groups of four
};

// Per-kind linear input, curved by a table or (float) over the row's planes
// afterwards, and output.
struct Kind8 {
    static constexpr bool kPlaneCurve = false;
    using T = uint8_t;
    static float In(const Context& c, T v) { return c.table[v]; }
    static T Out(float v, const ILSrgb8Encoder& e) { return e(v); }
};
struct Kind16 {
    static constexpr bool kPlaneCurve = false;
    using T = uint16_t;
    static float In(const Context& c, T v) { return c.table[v]; }
    static T Out(float v, const ILSrgb8Encoder&) { return ILLinearToSrgb16(v); }
};
struct KindHalf {
    static constexpr bool kPlaneCurve = false;
    using T = uint16_t;
    static float In(const Context& c, T v) { return c.table[v]; }
    static T Out(float v, const ILSrgb8Encoder&) { return half(v).bits(); }
};
struct KindFloat {
    using T = float;
    static constexpr bool kPlaneCurve = true; // In gives the sample, the curve follows
    static float In(const Context&, T v) { return v; }
    static T Out(float v, const ILSrgb8Encoder&) { return v; }
};

// The row's dithered 8-bit encoders, by x mod 4.
struct RowEncoders {
    const ILSrgb8Encoder* e[4];
    explicit RowEncoders(uint32_t y) {
        for (uint32_t x = 0; x < 4; ++x)
            e[x] = &ILGetDitheredSrgb8Encoder(4 * x + (y & 3));
    }
    const ILSrgb8Encoder& operator[](uint32_t x) const { return *e[x & 3]; }
};

// A row is decoded into planes, mixed four pixels at a time, and encoded
// back.
template <typename K>
void ColourRow(const Context& c, const uint8_t* in, uint8_t* out, uint32_t width, uint32_t channels,
               bool rgbOrder, uint32_t y) {
    using T = typename K::T;
    const int ri = rgbOrder ? 0 : 2, bi = rgbOrder ? 2 : 0;
    float* const rs = c.planes;
    float* const gs = rs + c.padded;
    float* const bs = gs + c.padded;
    for (uint32_t x = 0; x < width; ++x) {
        T s[3];
        std::memcpy(s, in + uint64_t{x} * channels * sizeof(T), sizeof s);
        rs[x] = K::In(c, s[ri]);
        gs[x] = K::In(c, s[1]);
        bs[x] = K::In(c, s[bi]);
    }
    if constexpr (K::kPlaneCurve) {
        c.curve->Apply(rs, c.padded);
        c.curve->Apply(gs, c.padded);
        c.curve->Apply(bs, c.padded);
    }
    const float black = c.t->black;
    const auto& m = c.m;
    for (size_t x = 0; x < c.padded; x += 4) {
        const ILFloat4 r = ILLoad4(rs + x), g = ILLoad4(gs + x), b = ILLoad4(bs + x);
        ILStore4(rs + x, r * m[0][0] + g * m[1][0] + b * m[2][0] + black);
        ILStore4(gs + x, r * m[0][1] + g * m[1][1] + b * m[2][1] + black);
        ILStore4(bs + x, r * m[0][2] + g * m[1][2] + b * m[2][2] + black);
    }
    const RowEncoders d(y);
    for (uint32_t x = 0; x < width; ++x) {
        // One store per sample: a small array copied out whole would be
        // read back across its separate stores, which stalls.
        uint8_t* const o = out + uint64_t{x} * channels * sizeof(T);
        const T r = K::Out(rs[x], d[x]), g = K::Out(gs[x], d[x]), b = K::Out(bs[x], d[x]);
        std::memcpy(o + ri * sizeof(T), &r, sizeof r);
        std::memcpy(o + sizeof(T), &g, sizeof g);
        std::memcpy(o + bi * sizeof(T), &b, sizeof b);
    }
}

// Float R, G, B rows of three channels in one pass, without planes: four
// pixels at a time are taken apart into red, green and blue lanes, curved,
// mixed and put back together; a lane's arithmetic is ColourRow's.
void FloatRgbRow(const Context& c, const uint8_t* in, uint8_t* out, uint32_t width, bool rgbOrder) {
    const FloatCurve& curve = *c.curve;
    const float black = c.t->black;
    const auto& m = c.m;
    const int ri = rgbOrder ? 0 : 2, bi = rgbOrder ? 2 : 0;
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        float v[12];
        std::memcpy(v, in + uint64_t{x} * 12, sizeof v);
        const ILFloat4 a = ILLoad4(v), b = ILLoad4(v + 4), d = ILLoad4(v + 8);
        // Samples 0, 1 and 2 of the four pixels.
        const ILFloat4 s0 = {a[0], a[3], b[2], d[1]};
        const ILFloat4 s1 = {a[1], b[0], b[3], d[2]};
        const ILFloat4 s2 = {a[2], b[1], d[0], d[3]};
        const ILFloat4 r = curve(rgbOrder ? s0 : s2), g = curve(s1), bl = curve(rgbOrder ? s2 : s0);
        const ILFloat4 nr = r * m[0][0] + g * m[1][0] + bl * m[2][0] + black;
        const ILFloat4 ng = r * m[0][1] + g * m[1][1] + bl * m[2][1] + black;
        const ILFloat4 nb = r * m[0][2] + g * m[1][2] + bl * m[2][2] + black;
        const ILFloat4 o0 = rgbOrder ? nr : nb, o2 = rgbOrder ? nb : nr;
        ILStore4(v, ILFloat4{o0[0], ng[0], o2[0], o0[1]});
        ILStore4(v + 4, ILFloat4{ng[1], o2[1], o0[2], ng[2]});
        ILStore4(v + 8, ILFloat4{o2[2], o0[3], ng[3], o2[3]});
        std::memcpy(out + uint64_t{x} * 12, v, sizeof v);
    }
    for (; x < width; ++x) {
        float s[3];
        std::memcpy(s, in + uint64_t{x} * 12, sizeof s);
        const float r = curve(s[ri]), g = curve(s[1]), b = curve(s[bi]);
        s[ri] = r * m[0][0] + g * m[1][0] + b * m[2][0] + black;
        s[1] = r * m[0][1] + g * m[1][1] + b * m[2][1] + black;
        s[bi] = r * m[0][2] + g * m[1][2] + b * m[2][2] + black;
        std::memcpy(out + uint64_t{x} * 12, s, sizeof s);
    }
}

#if defined(__x86_64__)
// FloatRgbRow in eight lanes: the first four pixels of a group in the low
// halves of the vectors, the other four in the high halves, each half
// taken apart and put together as FloatRgbRow does; the pixels after the
// last whole group go to FloatRgbRow.
__attribute__((target("avx2"))) void FloatRgbRow8(const Context& c, const uint8_t* in, uint8_t* out,
                                                  uint32_t width, bool rgbOrder) {
    const FloatCurve& curve = *c.curve;
    const float black = c.t->black;
    const auto& m = c.m;
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const float* p = reinterpret_cast<const float*>(in + uint64_t{x} * 12);
        const auto a = reinterpret_cast<ILFloat8>(_mm256_loadu2_m128(p + 12, p));
        const auto b = reinterpret_cast<ILFloat8>(_mm256_loadu2_m128(p + 16, p + 4));
        const auto d = reinterpret_cast<ILFloat8>(_mm256_loadu2_m128(p + 20, p + 8));
        const ILFloat8 s0 =
            __builtin_shuffle(__builtin_shuffle(a, b, ILInt8{0, 3, 10, 0, 4, 7, 14, 4}), d,
                              ILInt8{0, 1, 2, 9, 4, 5, 6, 13});
        const ILFloat8 s1 =
            __builtin_shuffle(__builtin_shuffle(a, b, ILInt8{1, 8, 11, 1, 5, 12, 15, 5}), d,
                              ILInt8{0, 1, 2, 10, 4, 5, 6, 14});
        const ILFloat8 s2 =
            __builtin_shuffle(__builtin_shuffle(a, b, ILInt8{2, 9, 2, 2, 6, 13, 6, 6}), d,
                              ILInt8{0, 1, 8, 11, 4, 5, 12, 15});
        const ILFloat8 r = curve(rgbOrder ? s0 : s2), g = curve(s1), bl = curve(rgbOrder ? s2 : s0);
        const ILFloat8 nr = r * m[0][0] + g * m[1][0] + bl * m[2][0] + black;
        const ILFloat8 ng = r * m[0][1] + g * m[1][1] + bl * m[2][1] + black;
        const ILFloat8 nb = r * m[0][2] + g * m[1][2] + bl * m[2][2] + black;
        const ILFloat8 o0 = rgbOrder ? nr : nb, o2 = rgbOrder ? nb : nr;
        const ILFloat8 va =
            __builtin_shuffle(__builtin_shuffle(o0, ng, ILInt8{0, 8, 0, 1, 4, 12, 4, 5}), o2,
                              ILInt8{0, 1, 8, 3, 4, 5, 12, 7});
        const ILFloat8 vb =
            __builtin_shuffle(__builtin_shuffle(ng, o2, ILInt8{1, 9, 1, 2, 5, 13, 5, 6}), o0,
                              ILInt8{0, 1, 10, 3, 4, 5, 14, 7});
        const ILFloat8 vd =
            __builtin_shuffle(__builtin_shuffle(o2, o0, ILInt8{2, 11, 2, 3, 6, 15, 6, 7}), ng,
                              ILInt8{0, 1, 11, 3, 4, 5, 15, 7});
        float* q = reinterpret_cast<float*>(out + uint64_t{x} * 12);
        _mm256_storeu2_m128(q + 12, q, reinterpret_cast<__m256>(va));
        _mm256_storeu2_m128(q + 16, q + 4, reinterpret_cast<__m256>(vb));
        _mm256_storeu2_m128(q + 20, q + 8, reinterpret_cast<__m256>(vd));
    }
    FloatRgbRow(c, in + uint64_t{x} * 12, out + uint64_t{x} * 12, width - x, rgbOrder);
}
#endif

template <typename K>
void GreyRow(const Context& c, const uint8_t* in, uint8_t* out, uint32_t width, uint32_t channels,
             uint32_t y) {
    using T = typename K::T;
    float* const vs = c.planes;
    for (uint32_t x = 0; x < width; ++x) {
        T s;
        std::memcpy(&s, in + uint64_t{x} * channels * sizeof(T), sizeof s);
        vs[x] = K::In(c, s);
    }
    if constexpr (K::kPlaneCurve) c.curve->Apply(vs, c.padded);
    const float exposure = c.t->exposure, black = c.t->black;
    for (size_t x = 0; x < c.padded; x += 4) {
        ILStore4(vs + x, ILLoad4(vs + x) * exposure + black);
    }
    const RowEncoders d(y);
    for (uint32_t x = 0; x < width; ++x) {
        const T s = K::Out(vs[x], d[x]);
        std::memcpy(out + uint64_t{x} * channels * sizeof(T), &s, sizeof s);
    }
}

// 2- and 4-bit grey through the 8-bit table at the codes' 8-bit spacing.
template <uint32_t Bits>
void PackedGreyRow(const Context& c, const ILImage* source, ILImage* target, uint32_t y) {
    constexpr uint32_t step = Bits == 2 ? 85 : 17;
    const auto get = Bits == 2 ? ILGetPixel2 : ILGetPixel4;
    const auto set = Bits == 2 ? ILSetPixel2 : ILSetPixel4;
    const float exposure = c.t->exposure, black = c.t->black;
    for (uint32_t x = 0; x < source->width; ++x) {
        uint8_t v = 0;
        get(source, static_cast<int32_t>(x), static_cast<int32_t>(y), &v);
        const uint32_t code = ILLinearToSrgb8(c.table[step * v] * exposure + black);
        v = static_cast<uint8_t>((code + step / 2) / step);
        set(target, static_cast<int32_t>(x), static_cast<int32_t>(y), &v);
    }
}

using RowProc = void (*)(const Context&, const ILImage*, ILImage*, uint32_t y);

void FloatRgbRowOf(const Context& c, const ILImage* s, ILImage* t, uint32_t y) {
    FloatRgbRow(c, ILRowOf(s, y), ILRowOf(t, y), s->width, (s->type & IL_ORDER_RGB) != 0);
}
#if defined(__x86_64__)
void FloatRgbRow8Of(const Context& c, const ILImage* s, ILImage* t, uint32_t y) {
    FloatRgbRow8(c, ILRowOf(s, y), ILRowOf(t, y), s->width, (s->type & IL_ORDER_RGB) != 0);
}
#endif

template <typename K>
void ColourRowOf(const Context& c, const ILImage* s, ILImage* t, uint32_t y) {
    ColourRow<K>(c, ILRowOf(s, y), ILRowOf(t, y), s->width, s->channels,
                 (s->type & IL_ORDER_RGB) != 0, y);
}
template <typename K>
void GreyRowOf(const Context& c, const ILImage* s, ILImage* t, uint32_t y) {
    GreyRow<K>(c, ILRowOf(s, y), ILRowOf(t, y), s->width, s->channels, y);
}

RowProc RowProcFor(const ILImage& image, ILLanes lanes) {
    const uint32_t kind = image.type & IL_KIND_MASK;
    const uint32_t model = image.type & IL_MODEL_MASK;
    if (model == IL_MODEL_GRAY) {
        switch (kind) {
            case IL_KIND_2:
                return image.channels == 1 ? PackedGreyRow<2> : nullptr;
            case IL_KIND_4:
                return image.channels == 1 ? PackedGreyRow<4> : nullptr;
            case IL_KIND_8:
                return GreyRowOf<Kind8>;
            case IL_KIND_16:
                return GreyRowOf<Kind16>;
            case IL_KIND_HALF:
                return GreyRowOf<KindHalf>;
            case IL_KIND_FLOAT:
                return GreyRowOf<KindFloat>;
            default:
                return nullptr;
        }
    }
    // The matrix speaks of R, G, B: other models are left as they are.
    if (model != IL_MODEL_RGB || image.channels < 3) return nullptr;
    switch (kind) {
        case IL_KIND_8:
            return ColourRowOf<Kind8>;
        case IL_KIND_16:
            return ColourRowOf<Kind16>;
        case IL_KIND_HALF:
            return ColourRowOf<KindHalf>;
        case IL_KIND_FLOAT:
            if (image.channels != 3) return ColourRowOf<KindFloat>;
#if defined(__x86_64__)
            if (lanes == ILLanes::k8) return FloatRgbRow8Of;
#endif
            return FloatRgbRowOf;
        default:
            return nullptr;
    }
}

} // namespace

ILResult ILToneMapApply(const ILToneMap* t, ILHandle* h, ILImage* source, ILImage* target) {
    if (!t || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    ILImage* image = target ? target : source;
    if (image->type != source->type || image->width != source->width ||
        image->height != source->height || image->channels != source->channels ||
        !ILIsValidImage(image))
        return IL_BAD_ARGUMENT;
    Context c{t, nullptr, nullptr, {}, nullptr, (size_t{image->width} + 3) & ~size_t{3}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            c.m[i][j] = t->result[i][j];

    const uint32_t kind = image->type & IL_KIND_MASK;
    std::unique_ptr<float[]> table;
    // Every code of 8 and 16 bits and every half has its curved value here.
    const bool half = kind == IL_KIND_HALF && !image->palette;
    const uint32_t entries = kind == IL_KIND_16 || half                                  ? 65536
                             : kind >= IL_KIND_1 && kind <= IL_KIND_8 && !image->palette ? 256
                                                                                         : 0;
    if (entries) {
        table.reset(new (std::nothrow) float[entries]);
        if (!table) return IL_OUT_OF_MEMORY;
        for (uint32_t i = 0; i < entries; ++i) {
            const float v = half             ? imath_half_to_float(static_cast<uint16_t>(i))
                            : entries == 256 ? ILSrgbTable8[i]
                                             : ILSrgbTable16[i];
            table[i] = ILToneMapCurve(t, v);
        }
        c.table = table.get();
    }

    if (image->palette) {
        ILPalette& out = *image->palette;
        for (uint32_t i = 0; i < out.count; ++i) {
            const ILPaletteEntry e = source->palette && i < source->palette->count
                                         ? source->palette->GetEntry(i)
                                         : ILPaletteEntry{0, 0, 0, 0};
            const uint16_t bgra[4] = {e.blue, e.green, e.red, e.alpha};
            ILColor color;
            color.FromBGRA16(bgra);
            const float r = ILToneMapCurve(t, color.r), g = ILToneMapCurve(t, color.g),
                        b = ILToneMapCurve(t, color.b);
            color.r = r * c.m[0][0] + g * c.m[1][0] + b * c.m[2][0] + t->black;
            color.g = r * c.m[0][1] + g * c.m[1][1] + b * c.m[2][1] + t->black;
            color.b = r * c.m[0][2] + g * c.m[1][2] + b * c.m[2][2] + t->black;
            uint16_t encoded[4];
            color.ToBGRA16(encoded);
            out.SetEntry16(i, encoded[0], encoded[1], encoded[2], encoded[3]);
        }
        return IL_OK;
    }

    const RowProc row = RowProcFor(*image, ILWidestLanes());
    if (!row) return IL_OK;
    FloatCurve curve;
    if (kind == IL_KIND_FLOAT && !curve.Build(t)) return IL_OUT_OF_MEMORY;
    c.curve = &curve;
    // Each thread has its own planes.
    const ILRowPlan plan = ILPlanRows(image->width, image->height);
    const unsigned slots = plan.slots;
    std::unique_ptr<float[]> planes(new (std::nothrow) float[3 * c.padded * slots]());
    if (!planes) return ILReportOutOfMemory(h, 3 * c.padded * slots * sizeof(float));
    std::vector<Context> contexts(slots, c);
    for (unsigned i = 0; i < slots; ++i)
        contexts[i].planes = planes.get() + 3 * c.padded * i;
    return ILSplitRows(h, image->height, plan, ILProgressAt::kRowEnd,
                       [&](unsigned slot, uint32_t y0, uint32_t y1) {
                           for (uint32_t y = y0; y < y1; ++y)
                               row(contexts[slot], source, image, y);
                       });
}

ILResult ILToneMapApplyInPlace(const ILToneMap* t, ILHandle* h, ILImage* image) {
    return ILToneMapApply(t, h, image, nullptr);
}
