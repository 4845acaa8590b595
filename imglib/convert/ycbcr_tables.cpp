// YCbCr to RGB tables: the shared full-range BT.601 defaults and the tables a
// converter builds from a file's coefficients and reference black and white.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "imglib/convert/converter.h"
#include "imglib/convert/ycbcr_tables.h"

namespace {

// The full-range BT.601 defaults, computed by the compiler: no thread ever
// writes them, so converters on any thread share them safely.
struct DefaultTables {
    int32_t crR[256], cbB[256], crG[256], cbG[256], y[256];
};

constexpr DefaultTables BuildDefaults() {
    DefaultTables t{};
    for (int32_t i = 0; i < 256; ++i) {
        t.crR[i] = (91881 * i - 11728000) >> 16;
        t.cbB[i] = (116130 * i - 14831872) >> 16;
        t.crG[i] = -46802 * (i - 128);
        t.cbG[i] = -22554 * (i - 128) + 32768;
        t.y[i] = i;
    }
    return t;
}

// Not const only because converters point at them through the same fields
// as at their own tables; nothing writes them.
constinit DefaultTables gDefaults = BuildDefaults();

// Table values are summed with a luma value and each other by the kernels in
// 32-bit arithmetic; keeping them far from the int range keeps every sum
// defined whatever a file claims.
constexpr int64_t kOffsetLimit = int64_t{1} << 20;
constexpr int64_t kFixedLimit = int64_t{1} << 29;

int32_t Limit(int64_t v, int64_t limit) {
    return static_cast<int32_t>(std::clamp(v, -limit, limit));
}

// 0.5 added in double precision, then rounded down (the documented factors
// of the BT.601 coefficients, 91881, -46802, 116130 and -22553, need the
// floor for the negative ones).
bool Factor(float value, int64_t* out) {
    const double v = std::floor(static_cast<double>(value) + 0.5);
    if (!std::isfinite(v) || std::fabs(v) > 1e9) return false;
    *out = static_cast<int64_t>(v);
    return true;
}

// Truncates toward zero, held within +-2^24 so that later products fit.
int64_t Quotient(float q) {
    return static_cast<int64_t>(std::clamp(q, -16777216.0f, 16777216.0f));
}

// A float range that stays within int conversion; anything else keeps the
// defaults.
bool Sane(float v) {
    return std::isfinite(v) && std::fabs(v) <= 1e6f;
}

} // namespace

void ILConverterUseDefaultYCbCr(ILConverter* c) {
    c->ycbcrCrR = gDefaults.crR;
    c->ycbcrCbB = gDefaults.cbB;
    c->ycbcrCrG = gDefaults.crG;
    c->ycbcrCbG = gDefaults.cbG;
    c->ycbcrY = gDefaults.y;
    c->ownsYCbCr = 0;
}

void ILConverterFreeYCbCr(ILConverter* c) {
    // The five tables are one block starting at ycbcrCrR.
    if (c->ownsYCbCr) std::free(c->ycbcrCrR);
    ILConverterUseDefaultYCbCr(c);
}

void ILConverterSetYCbCr(ILConverter* c, const float luma[3], const float rb[6]) {
    const float kr = luma[0], kg = luma[1], kb = luma[2];
    for (int i = 0; i < 3; ++i)
        if (!Sane(luma[i])) return;
    for (int i = 0; i < 6; ++i)
        if (!Sane(rb[i])) return;
    if (kg == 0.0f) return;

    int64_t fR, fRG, fB, fBG;
    if (!Factor((2.0f - 2.0f * kr) * 65536.0f, &fR) ||
        !Factor(-(kr * (2.0f - 2.0f * kr) / kg * 65536.0f), &fRG) ||
        !Factor((2.0f - 2.0f * kb) * 65536.0f, &fB) ||
        !Factor(-(kb * (2.0f - 2.0f * kb) / kg * 65536.0f), &fBG))
        return;

    ILConverterFreeYCbCr(c);
    auto* block = static_cast<int32_t*>(std::malloc(5 * 256 * sizeof(int32_t)));
    if (!block) {
        // No tables at all: ILConverterPrepare refuses YCbCr sources rather
        // than decode with coefficients the file did not ask for.
        c->ycbcrCrR = c->ycbcrCbB = c->ycbcrCrG = c->ycbcrCbG = c->ycbcrY = nullptr;
        return;
    }
    c->ycbcrCrR = block;
    c->ycbcrCbB = block + 256;
    c->ycbcrCrG = block + 512;
    c->ycbcrCbG = block + 768;
    c->ycbcrY = block + 1024;
    c->ownsYCbCr = 1;

    float dCr = (rb[5] - 128.0f) - (rb[4] - 128.0f);
    float dCb = (rb[3] - 128.0f) - (rb[2] - 128.0f);
    float dY = rb[1] - rb[0];
    if (dCr == 0.0f) dCr = 1.0f;
    if (dCb == 0.0f) dCb = 1.0f;
    if (dY == 0.0f) dY = 1.0f;
    const int32_t crBase = static_cast<int32_t>(rb[4] - 128.0f);
    const int32_t cbBase = static_cast<int32_t>(rb[2] - 128.0f);
    const int32_t yBase = static_cast<int32_t>(rb[0]);

    for (int32_t j = 0; j < 256; ++j) {
        const int32_t i = j - 128;
        const int64_t cr = Quotient(static_cast<float>(i - crBase) * 127.0f / dCr);
        const int64_t cb = Quotient(static_cast<float>(i - cbBase) * 127.0f / dCb);
        c->ycbcrCrR[j] = Limit((cr * fR + 0x8000) >> 16, kOffsetLimit);
        c->ycbcrCbB[j] = Limit((cb * fB + 0x8000) >> 16, kOffsetLimit);
        c->ycbcrCrG[j] = Limit(cr * fRG, kFixedLimit);
        c->ycbcrCbG[j] = Limit(cb * fBG + 0x8000, kFixedLimit);
        c->ycbcrY[j] = Limit(Quotient(static_cast<float>(j - yBase) * 255.0f / dY), kOffsetLimit);
    }
}
