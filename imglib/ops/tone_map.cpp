// Tone mapping: a power curve with a linear toe, then one 3x3 colour matrix
// folded from exposure, saturation, hue rotation and white point.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#if defined(__x86_64__) && !defined(__clang__)
// GCC 12's AVX-512 shifts start from a self-initialised "undefined" vector,
// which its uninitialised-use analysis takes for a read.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
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

// The curve of float samples without a power per sample. Above the toe the
// power's base v (x + a for exponents above 1, x below) is m * 2^E with m in
// [1, 2), and v^g = m^g * 2^(g E): m^g from a quartic on each eighth of
// [1, 2) (picked by the top three mantissa bits; the other twenty are the
// position in it), 2^(g E) with the curve's constant factor from one factor
// for each of sixteen exponents upwards from the smallest above the toe.
// The eight-lane form keeps both in registers and picks them by lane
// permutes. Values above those exponents, NaN and infinity go the long way,
// as does every value when the quartics would not be within about a unit
// in the last place (exponents above about 5.1, beyond the dialog's 5).
class FloatCurve {
public:
    void Build(const ILToneMap* t) {
        t_ = t;
        if (t->exponent == 1) return;
        const double g = t->exponent, a = t->toeOffset;
        const bool rising = g > 1;
        before_ = rising ? t->toeOffset : 0.0f;
        after_ = rising ? 0.0f : t->toeOffset;
        // The smallest base above the toe fixes the first exponent; it
        // must be a positive normal float for every base above the toe to
        // fall at or above it.
        const float th = t->toeThreshold;
        if (!std::isfinite(th) || !std::isfinite(t->toeOffset)) return;
        const float lowest = std::nextafter(th, INFINITY) + before_;
        if (!(lowest >= FLT_MIN) || !std::isfinite(lowest)) return;
        double worst = 0;
        for (uint32_t s = 0; s < 8; ++s)
            worst = std::max(worst, Fit(g, s));
        if (worst > 1e-7) return;
        uint32_t bits;
        std::memcpy(&bits, &lowest, sizeof bits);
        first_ = static_cast<int32_t>(bits >> 23);
        const double scale = rising ? std::pow(1 + a, -g) : 1 + a;
        for (int32_t i = 0; i < 16 && first_ + i < 255; ++i) {
            const double f = std::exp2(g * (first_ + i - 127)) * scale;
            // Room for m^g and a normal result.
            if (!(f >= 0x1p-100 && f <= 0x1p100)) break;
            factors_[i] = static_cast<float>(f);
            exponents_ = i + 1;
        }
    }

    float operator()(float x) const {
        if (t_->exponent == 1) return x;
        if (x <= t_->toeThreshold) return x * t_->toeSlope;
        const float v = x + before_;
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        const int32_t e = static_cast<int32_t>(bits >> 23) - first_;
        if (!(e < exponents_)) return ILToneMapCurve(t_, x);
        const uint32_t s = bits >> 20 & 7;
        const uint32_t mbits = (bits & 0xFFFFF) | 0x3F800000;
        float m;
        std::memcpy(&m, &mbits, sizeof m);
        const float u = m - 1.0625f;
        const float u2 = u * u;
        const float p =
            (c_[0][s] + c_[1][s] * u) + u2 * ((c_[2][s] + c_[3][s] * u) + c_[4][s] * u2);
        return p * factors_[e] - after_;
    }

    // The curve of four values, each lane as operator() gives it: the toe's
    // line or the quartic when every lane has one of them, otherwise one by
    // one.
    __attribute__((always_inline)) ILFloat4 operator()(ILFloat4 x) const {
        if (t_->exponent == 1) return x;
        const ILFloat4 v = x + before_;
        ILUint4 bits;
        std::memcpy(&bits, &v, sizeof bits);
        const ILInt4 e = reinterpret_cast<ILInt4>(bits >> 23) - first_;
        const ILInt4 toe = x <= t_->toeThreshold; // false for NaN
        const ILInt4 known = toe | (e < exponents_);
        if (!(known[0] & known[1] & known[2] & known[3])) {
            OneByOne(&x);
            return x;
        }
        const ILUint4 s = bits >> 20 & 7;
        const ILInt4 at = e & 15; // any place for the toe's lanes
        const ILUint4 mbits = (bits & 0xFFFFF) | 0x3F800000;
        ILFloat4 m;
        std::memcpy(&m, &mbits, sizeof m);
        const ILFloat4 u = m - 1.0625f;
        const auto c = [&](int j) {
            return ILFloat4{c_[j][s[0]], c_[j][s[1]], c_[j][s[2]], c_[j][s[3]]};
        };
        const ILFloat4 u2 = u * u;
        const ILFloat4 p = (c(0) + c(1) * u) + u2 * ((c(2) + c(3) * u) + c(4) * u2);
        const ILFloat4 f = {factors_[at[0]], factors_[at[1]], factors_[at[2]], factors_[at[3]]};
        return toe ? x * t_->toeSlope : p * f - after_;
    }

#if defined(__x86_64__)
    // The same for eight values, in functions compiled for AVX2, each lane
    // as the four-lane form gives it: the coefficients of the eight quartics
    // and the sixteen factors are picked from registers. The curve's
    // numbers are spread over the lanes once a row (read through the curve
    // itself they would be loaded again after every store of the row).
    struct Lanes8 {
        __m256 c[5], f[2], before, after, threshold, slope;
        __m256i first, exponents;
    };
    __attribute__((target("avx2"))) Lanes8 Spread8() const {
        Lanes8 k;
        for (int j = 0; j < 5; ++j)
            k.c[j] = _mm256_load_ps(c_[j]);
        k.f[0] = _mm256_load_ps(factors_);
        k.f[1] = _mm256_load_ps(factors_ + 8);
        k.before = _mm256_set1_ps(before_);
        k.after = _mm256_set1_ps(after_);
        k.threshold = _mm256_set1_ps(t_->toeThreshold);
        k.slope = _mm256_set1_ps(t_->toeSlope);
        k.first = _mm256_set1_epi32(first_);
        k.exponents = _mm256_set1_epi32(exponents_);
        return k;
    }
    // Which way the curve bends, for callers that pick their loop by it:
    // the offset before the power and the one after it are each zero on one
    // side, where adding them would change no value above the toe.
    enum class Bend { kNone, kRising, kFalling };
    Bend Way() const {
        return t_->exponent == 1 ? Bend::kNone : t_->exponent > 1 ? Bend::kRising : Bend::kFalling;
    }
    template <Bend B>
    __attribute__((target("avx2"), always_inline)) ILFloat8 Lanes(const Lanes8& k,
                                                                  ILFloat8 x) const {
        if constexpr (B == Bend::kNone) return x;
        const __m256 xs = reinterpret_cast<__m256>(x);
        const __m256i bits =
            _mm256_castps_si256(B == Bend::kRising ? _mm256_add_ps(xs, k.before) : xs);
        const __m256i e = _mm256_sub_epi32(_mm256_srli_epi32(bits, 23), k.first);
        const __m256 toe = _mm256_cmp_ps(xs, k.threshold, _CMP_LE_OQ); // false for NaN
        const __m256 known =
            _mm256_or_ps(toe, _mm256_castsi256_ps(_mm256_cmpgt_epi32(k.exponents, e)));
        if (_mm256_movemask_ps(known) != 0xFF) {
            OneByOne(&x);
            return x;
        }
        // The permutes read the low three bits of each index.
        const __m256i s = _mm256_srli_epi32(bits, 20);
        const __m256 m = _mm256_castsi256_ps(_mm256_or_si256(
            _mm256_and_si256(bits, _mm256_set1_epi32(0xFFFFF)), _mm256_set1_epi32(0x3F800000)));
        const __m256 u = _mm256_sub_ps(m, _mm256_set1_ps(1.0625f));
        // The quartic in two halves (a shorter chain than Horner's), as
        // the four-lane form has it.
        const __m256 u2 = _mm256_mul_ps(u, u);
        const __m256 low = _mm256_add_ps(_mm256_permutevar8x32_ps(k.c[0], s),
                                         _mm256_mul_ps(_mm256_permutevar8x32_ps(k.c[1], s), u));
        const __m256 mid = _mm256_add_ps(_mm256_permutevar8x32_ps(k.c[2], s),
                                         _mm256_mul_ps(_mm256_permutevar8x32_ps(k.c[3], s), u));
        const __m256 high =
            _mm256_add_ps(mid, _mm256_mul_ps(_mm256_permutevar8x32_ps(k.c[4], s), u2));
        const __m256 p = _mm256_add_ps(low, _mm256_mul_ps(u2, high));
        const __m256 f = _mm256_blendv_ps(_mm256_permutevar8x32_ps(k.f[0], e),
                                          _mm256_permutevar8x32_ps(k.f[1], e),
                                          _mm256_castsi256_ps(_mm256_slli_epi32(e, 28)));
        const __m256 pf = _mm256_mul_ps(p, f);
        const __m256 r = B == Bend::kFalling ? _mm256_sub_ps(pf, k.after) : pf;
        return reinterpret_cast<ILFloat8>(_mm256_blendv_ps(r, _mm256_mul_ps(xs, k.slope), toe));
    }

    // The same for sixteen values, in functions compiled for AVX-512: the
    // eight quartics' coefficients twice over (the permutes read four bits
    // of each index, the fourth of which is the exponent's lowest) and the
    // sixteen factors in one register each.
    struct Lanes16 {
        __m512 c[5], f, before, after, threshold, slope;
        __m512i first, exponents;
    };
    __attribute__((target("avx512f"))) Lanes16 Spread16() const {
        Lanes16 k;
        for (int j = 0; j < 5; ++j) {
            alignas(64) float twice[16];
            std::memcpy(twice, c_[j], sizeof c_[j]);
            std::memcpy(twice + 8, c_[j], sizeof c_[j]);
            k.c[j] = _mm512_load_ps(twice);
        }
        k.f = _mm512_loadu_ps(factors_);
        k.before = _mm512_set1_ps(before_);
        k.after = _mm512_set1_ps(after_);
        k.threshold = _mm512_set1_ps(t_->toeThreshold);
        k.slope = _mm512_set1_ps(t_->toeSlope);
        k.first = _mm512_set1_epi32(first_);
        k.exponents = _mm512_set1_epi32(exponents_);
        return k;
    }
    template <Bend B>
    __attribute__((target("avx512f"), always_inline)) __m512 Lanes(const Lanes16& k,
                                                                   __m512 x) const {
        if constexpr (B == Bend::kNone) return x;
        const __m512i bits =
            _mm512_castps_si512(B == Bend::kRising ? _mm512_add_ps(x, k.before) : x);
        const __m512i e = _mm512_sub_epi32(_mm512_srli_epi32(bits, 23), k.first);
        const __mmask16 toe = _mm512_cmp_ps_mask(x, k.threshold, _CMP_LE_OQ); // not NaN
        const __mmask16 known = toe | _mm512_cmpgt_epi32_mask(k.exponents, e);
        if (known != 0xFFFF) {
            OneByOne(&x);
            return x;
        }
        const __m512i s = _mm512_srli_epi32(bits, 20);
        const __m512 m = _mm512_castsi512_ps(_mm512_or_si512(
            _mm512_and_si512(bits, _mm512_set1_epi32(0xFFFFF)), _mm512_set1_epi32(0x3F800000)));
        const __m512 u = _mm512_sub_ps(m, _mm512_set1_ps(1.0625f));
        const __m512 u2 = _mm512_mul_ps(u, u);
        const __m512 low = _mm512_add_ps(_mm512_permutexvar_ps(s, k.c[0]),
                                         _mm512_mul_ps(_mm512_permutexvar_ps(s, k.c[1]), u));
        const __m512 mid = _mm512_add_ps(_mm512_permutexvar_ps(s, k.c[2]),
                                         _mm512_mul_ps(_mm512_permutexvar_ps(s, k.c[3]), u));
        const __m512 high = _mm512_add_ps(mid, _mm512_mul_ps(_mm512_permutexvar_ps(s, k.c[4]), u2));
        const __m512 p = _mm512_add_ps(low, _mm512_mul_ps(u2, high));
        const __m512 pf = _mm512_mul_ps(p, _mm512_permutexvar_ps(e, k.f));
        const __m512 r = B == Bend::kFalling ? _mm512_sub_ps(pf, k.after) : pf;
        return _mm512_mask_blend_ps(toe, r, _mm512_mul_ps(x, k.slope));
    }
#endif

    // The curve over count values (a multiple of four) in place.
    void Apply(float* v, size_t count) const {
        if (t_->exponent == 1) return;
        for (size_t i = 0; i < count; i += 4)
            ILStore4(v + i, (*this)(ILLoad4(v + i)));
    }

private:
    // The quartic in u = m - (1 + (s + 0.5) / 8) through m^g at the
    // Chebyshev points of eighth s of [1, 2), into c_[.][s]; its largest
    // relative error with the coefficients as floats.
    double Fit(double g, uint32_t s) {
        constexpr int n = 5;
        double a[n][n + 1];
        for (int k = 0; k < n; ++k) {
            // w in [-1/2, 1/2] is 8 u, so coefficient j is 8^j times w's.
            const double w = 0.5 * std::cos((2 * k + 1) * M_PI / (2 * n));
            double power = 1;
            for (int j = 0; j < n; ++j, power *= w)
                a[k][j] = power;
            a[k][n] = std::pow(1 + (s + 0.5 + w) / 8, g);
        }
        for (int i = 0; i < n; ++i) {
            int pivot = i;
            for (int r = i + 1; r < n; ++r)
                if (std::fabs(a[r][i]) > std::fabs(a[pivot][i])) pivot = r;
            std::swap(a[i], a[pivot]);
            for (int r = 0; r < n; ++r)
                if (r != i) {
                    const double q = a[r][i] / a[i][i];
                    for (int j = i; j <= n; ++j)
                        a[r][j] -= q * a[i][j];
                }
        }
        for (int j = 0; j < n; ++j)
            c_[j][s] = static_cast<float>(a[j][n] / a[j][j] * std::exp2(3 * j));
        double worst = 0;
        for (int i = 0; i <= 256; ++i) {
            const double u = (i / 256.0 - 0.5) / 8;
            double p = 0;
            for (int j = n - 1; j >= 0; --j)
                p = p * u + c_[j][s];
            worst = std::max(worst, std::fabs(p / std::pow(1 + (s + 0.5) / 8 + u, g) - 1));
        }
        return worst;
    }

    // By address: the eight- and sixteen-lane vectors are called with from
    // AVX2 and AVX-512 code, whose registers this function (compiled without
    // them) would not expect.
    template <typename V>
    __attribute__((noinline)) void OneByOne(V* x) const {
        for (size_t k = 0; k < sizeof(V) / sizeof(float); ++k)
            (*x)[k] = (*this)((*x)[k]);
    }

    const ILToneMap* t_ = nullptr;
    float before_ = 0, after_ = 0; // added to x before the power, taken off after
    int32_t first_ = 0;            // the biased exponent of factors_[0]
    int32_t exponents_ = 0;        // how many factors there are (none: every value the long way)
    alignas(32) float c_[5][8] = {};
    alignas(32) float factors_[16] = {};
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
template <FloatCurve::Bend B>
__attribute__((target("avx2"))) void FloatRgbRow8(const Context& c, const uint8_t* in, uint8_t* out,
                                                  uint32_t width, bool rgbOrder) {
    const FloatCurve& curve = *c.curve;
    const FloatCurve::Lanes8 k = curve.Spread8();
    // The matrix and black in registers for the whole row.
    ILFloat8 m[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = reinterpret_cast<ILFloat8>(_mm256_set1_ps(c.m[i][j]));
    const auto black = reinterpret_cast<ILFloat8>(_mm256_set1_ps(c.t->black));
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const float* p = reinterpret_cast<const float*>(in + uint64_t{x} * 12);
        const auto a = reinterpret_cast<ILFloat8>(_mm256_loadu2_m128(p + 12, p));
        const auto b = reinterpret_cast<ILFloat8>(_mm256_loadu2_m128(p + 16, p + 4));
        const auto d = reinterpret_cast<ILFloat8>(_mm256_loadu2_m128(p + 20, p + 8));
        const ILFloat8 s0 = __builtin_shufflevector(
            __builtin_shufflevector(a, b, 0, 3, 10, 0, 4, 7, 14, 4), d, 0, 1, 2, 9, 4, 5, 6, 13);
        const ILFloat8 s1 = __builtin_shufflevector(
            __builtin_shufflevector(a, b, 1, 8, 11, 1, 5, 12, 15, 5), d, 0, 1, 2, 10, 4, 5, 6, 14);
        const ILFloat8 s2 = __builtin_shufflevector(
            __builtin_shufflevector(a, b, 2, 9, 2, 2, 6, 13, 6, 6), d, 0, 1, 8, 11, 4, 5, 12, 15);
        const ILFloat8 r = curve.Lanes<B>(k, rgbOrder ? s0 : s2), g = curve.Lanes<B>(k, s1),
                       bl = curve.Lanes<B>(k, rgbOrder ? s2 : s0);
        const ILFloat8 nr = r * m[0][0] + g * m[1][0] + bl * m[2][0] + black;
        const ILFloat8 ng = r * m[0][1] + g * m[1][1] + bl * m[2][1] + black;
        const ILFloat8 nb = r * m[0][2] + g * m[1][2] + bl * m[2][2] + black;
        const ILFloat8 o0 = rgbOrder ? nr : nb, o2 = rgbOrder ? nb : nr;
        const ILFloat8 va = __builtin_shufflevector(
            __builtin_shufflevector(o0, ng, 0, 8, 0, 1, 4, 12, 4, 5), o2, 0, 1, 8, 3, 4, 5, 12, 7);
        const ILFloat8 vb = __builtin_shufflevector(
            __builtin_shufflevector(ng, o2, 1, 9, 1, 2, 5, 13, 5, 6), o0, 0, 1, 10, 3, 4, 5, 14, 7);
        const ILFloat8 vd =
            __builtin_shufflevector(__builtin_shufflevector(o2, o0, 2, 11, 2, 3, 6, 15, 6, 7), ng,
                                    0, 1, 11, 3, 4, 5, 15, 7);
        float* q = reinterpret_cast<float*>(out + uint64_t{x} * 12);
        _mm256_storeu2_m128(q + 12, q, reinterpret_cast<__m256>(va));
        _mm256_storeu2_m128(q + 16, q + 4, reinterpret_cast<__m256>(vb));
        _mm256_storeu2_m128(q + 20, q + 8, reinterpret_cast<__m256>(vd));
    }
    FloatRgbRow(c, in + uint64_t{x} * 12, out + uint64_t{x} * 12, width - x, rgbOrder);
}

// FloatRgbRow in sixteen lanes: sixteen pixels are three vectors, taken
// apart into red, green and blue by two-source permutes and put back the
// same way; the pixels after the last whole group go to FloatRgbRow8.
struct Shuffles16 {
    // Taking apart: channel c from the first two vectors, then the third.
    int32_t split[3][2][16];
    // Putting together: output vector v from channels 0 and 1, then 2.
    int32_t join[3][2][16];
};
constexpr Shuffles16 MakeShuffles16() {
    Shuffles16 t{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 16; ++i) {
            const int at = 3 * i + c;
            t.split[c][0][i] = at < 32 ? at : 0;
            t.split[c][1][i] = at < 32 ? i : at - 16;
        }
    for (int v = 0; v < 3; ++v)
        for (int i = 0; i < 16; ++i) {
            const int at = 16 * v + i, channel = at % 3, lane = at / 3;
            t.join[v][0][i] = channel == 1 ? 16 + lane : lane;
            t.join[v][1][i] = channel == 2 ? 16 + lane : i;
        }
    return t;
}
alignas(64) constexpr Shuffles16 kShuffles16 = MakeShuffles16();

// Column j of the matrix over the three channels, in ColourRow's order.
__attribute__((target("avx512f"), always_inline)) inline __m512 Mix16(__m512 r, __m512 g, __m512 b,
                                                                      const __m512 (&m)[3][3],
                                                                      int j, __m512 black) {
    return _mm512_add_ps(
        _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(r, m[0][j]), _mm512_mul_ps(g, m[1][j])),
                      _mm512_mul_ps(b, m[2][j])),
        black);
}

template <FloatCurve::Bend B>
__attribute__((target("avx512f"))) void FloatRgbRow16(const Context& c, const uint8_t* in,
                                                      uint8_t* out, uint32_t width, bool rgbOrder) {
    const FloatCurve& curve = *c.curve;
    const FloatCurve::Lanes16 k = curve.Spread16();
    __m512 m[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = _mm512_set1_ps(c.m[i][j]);
    const __m512 black = _mm512_set1_ps(c.t->black);
    __m512i split[3][2], join[3][2];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) {
            split[i][j] = _mm512_load_si512(kShuffles16.split[i][j]);
            join[i][j] = _mm512_load_si512(kShuffles16.join[i][j]);
        }
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const float* p = reinterpret_cast<const float*>(in + uint64_t{x} * 12);
        const __m512 a = _mm512_loadu_ps(p), b = _mm512_loadu_ps(p + 16),
                     d = _mm512_loadu_ps(p + 32);
        __m512 s[3];
        for (int ch = 0; ch < 3; ++ch)
            s[ch] =
                _mm512_permutex2var_ps(_mm512_permutex2var_ps(a, split[ch][0], b), split[ch][1], d);
        const __m512 r = curve.Lanes<B>(k, s[rgbOrder ? 0 : 2]), g = curve.Lanes<B>(k, s[1]),
                     bl = curve.Lanes<B>(k, s[rgbOrder ? 2 : 0]);
        const __m512 nr = Mix16(r, g, bl, m, 0, black), ng = Mix16(r, g, bl, m, 1, black),
                     nb = Mix16(r, g, bl, m, 2, black);
        const __m512 o0 = rgbOrder ? nr : nb, o2 = rgbOrder ? nb : nr;
        float* q = reinterpret_cast<float*>(out + uint64_t{x} * 12);
        for (int v = 0; v < 3; ++v)
            _mm512_storeu_ps(
                q + 16 * v,
                _mm512_permutex2var_ps(_mm512_permutex2var_ps(o0, join[v][0], ng), join[v][1], o2));
    }
    FloatRgbRow8<B>(c, in + uint64_t{x} * 12, out + uint64_t{x} * 12, width - x, rgbOrder);
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
    using Bend = FloatCurve::Bend;
    const auto row = c.curve->Way() == Bend::kNone     ? FloatRgbRow8<Bend::kNone>
                     : c.curve->Way() == Bend::kRising ? FloatRgbRow8<Bend::kRising>
                                                       : FloatRgbRow8<Bend::kFalling>;
    row(c, ILRowOf(s, y), ILRowOf(t, y), s->width, (s->type & IL_ORDER_RGB) != 0);
}
void FloatRgbRow16Of(const Context& c, const ILImage* s, ILImage* t, uint32_t y) {
    using Bend = FloatCurve::Bend;
    const auto row = c.curve->Way() == Bend::kNone     ? FloatRgbRow16<Bend::kNone>
                     : c.curve->Way() == Bend::kRising ? FloatRgbRow16<Bend::kRising>
                                                       : FloatRgbRow16<Bend::kFalling>;
    row(c, ILRowOf(s, y), ILRowOf(t, y), s->width, (s->type & IL_ORDER_RGB) != 0);
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
            if (lanes == ILLanes::k16) return FloatRgbRow16Of;
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
    if (kind == IL_KIND_FLOAT) curve.Build(t);
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
