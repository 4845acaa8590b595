// Walks every pair of pixel types the plain route converts: each one must
// prepare and turn a row of varied pixels into what an independent model
// computes (double precision, std::pow sRGB curves, Imath half), within the
// error that the kernels' own quantisation allows. Every other pair of the
// 102 source and 49 target types must be refused.
#include <gtest/gtest.h>

#include <Imath/half.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/pixel_type_spelling.h"
#include "suite_handle.h"

namespace {

using Imath::half;

// ---------------------------------------------------------------------------
// The supported pairs, read from the table as written (so that the table in
// the library and this list are two independent transcriptions).

const char* kPairText = R"(
IL_GREY1 | IL_GREY1, IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT
IL_GREY2 | IL_GREY2, IL_GREY4, ONEBIT
IL_GREY4 | IL_GREY4, ONEBIT
IL_GREY8 | IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_GREY_A8, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT
IL_INDEX1, IL_INDEX_A1 | IL_INDEX1, IL_INDEX_A1, INDEXED
IL_INDEX2, IL_INDEX_A2 | IL_INDEX2, IL_INDEX4, IL_INDEX_A2, IL_INDEX_A4, INDEXED
IL_INDEX4, IL_INDEX_A4 | IL_INDEX4, IL_INDEX_A4, INDEXED
IL_INDEX8, IL_INDEX_A8 | IL_INDEX1, IL_INDEX2, IL_INDEX4, INDEXED
IL_BGR8 | IL_GREY8, IL_INDEX8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_BGRX8, IL_BGRA8, IL_BGRPA8, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT
IL_GREY16 | IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_GREY_A16, IL_GREY_PA16, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT
IL_BGR16 | IL_GREY8, IL_INDEX8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_BGRA16, IL_RGB8, IL_RGB16
IL_GREY_HALF, IL_GREY_FLOAT | IL_GREY1, IL_GREY2, IL_GREY4, IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, PLUS2000, PLUS4000, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT
IL_BGR_HALF | IL_GREY8, IL_INDEX8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_BGRA_HALF, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT
IL_BGR_FLOAT | IL_GREY8, IL_INDEX8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_BGRA_FLOAT, IL_RGB8, IL_RGB_FLOAT
IL_RGB8 | IL_BGR8, IL_BGR16, IL_BGR_HALF, IL_BGR_FLOAT, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT, IL_RGBX8, IL_RGBA8, IL_RGBPA8
IL_RGB16 | IL_BGR8, IL_BGR16, IL_RGB8, IL_RGB16
IL_RGB_HALF | IL_BGR8, IL_BGR16, IL_BGR_HALF, IL_BGR_FLOAT, IL_RGB8, IL_RGB_HALF, IL_RGB_FLOAT
IL_BGRX8, IL_BGRA8, IL_BGRPA8 | IL_BGR8, IL_BGR_FLOAT, IL_BGRX8, IL_GREY_A8, IL_BGRA8, IL_GREY_A16, IL_BGRA16, IL_GREY_A_HALF, IL_BGRA_HALF, IL_GREY_A_FLOAT, IL_BGRA_FLOAT, IL_GREY_PA8, IL_BGRPA8, IL_GREY_PA16, IL_BGRPA16, IL_GREY_PA_HALF, IL_BGRPA_HALF, IL_GREY_PA_FLOAT, IL_BGRPA_FLOAT, IL_RGB8, IL_RGBX8, IL_RGBA8, IL_RGBPA8
IL_GREY_A8, IL_GREY_PA8 | IL_GREY1, IL_GREY2, IL_GREY4, IL_GREY8, IL_BGR8, IL_BGR_FLOAT, ALPHA, IL_RGB8, IL_RGBA8, IL_RGBA16, IL_RGBA_HALF, IL_RGBA_FLOAT, IL_RGBPA8, IL_RGBPA16, IL_RGBPA_HALF, IL_RGBPA_FLOAT
IL_GREY_A16, IL_GREY_PA16 | IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR_FLOAT, ALPHA, IL_RGB8, RGBA
IL_GREY_A_HALF, IL_GREY_PA_HALF | IL_GREY8, IL_BGR8, IL_GREY_HALF, IL_BGR_FLOAT, ALPHA, IL_RGB8, RGBA
IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT | IL_GREY8, IL_BGR8, IL_GREY_FLOAT, IL_BGR_FLOAT, ALPHA, IL_RGB8, RGBA
IL_BGRA16, IL_BGRPA16 | IL_BGR8, IL_BGR16, IL_BGR_FLOAT, ALPHA, IL_RGB8, IL_RGBA16, IL_RGBPA16
IL_BGRA_HALF, IL_BGRPA_HALF | IL_BGR8, IL_BGR_HALF, IL_BGR_FLOAT, ALPHA, IL_RGB8, IL_RGBA_HALF, IL_RGBPA_HALF
IL_BGRA_FLOAT, IL_BGRPA_FLOAT | IL_BGR8, IL_BGR_FLOAT, ALPHA, IL_RGB8, IL_RGBA_FLOAT, IL_RGBPA_FLOAT
IL_RGBX8, IL_RGBA8, IL_RGBPA8 | IL_BGR8, IL_BGRX8, IL_BGRA8, IL_BGRA16, IL_BGRPA8, IL_RGB8
IL_CMYK8, IL_BGR_555, IL_BGR_565, IL_BGRX4, IL_RGB4 | IL_BGR8, IL_RGB8
IL_YCBCR8 | IL_BGR8
IL_GREY12 | IL_BGR8, IL_GREY16, IL_RGB8
IL_BGR12, IL_CMYK16, IL_BGR_101010, IL_RGB12 | IL_BGR8, IL_BGR16, IL_RGB8
IL_GREY32, IL_GREY_FLOAT24, IL_GREY_DOUBLE, IL_GREY_FIXED32 | IL_BGR8, IL_GREY_FLOAT, IL_RGB8
IL_GREY_FIXED16 | IL_BGR8, IL_GREY_HALF, IL_RGB8
IL_BGR_FIXED16, IL_RGB_FIXED16 | IL_BGR8, IL_BGR_HALF, IL_RGB8
IL_BGR_FIXED32, IL_RGB_FLOAT24, IL_RGB_FLOAT, IL_RGB_FIXED32 | IL_BGR8, IL_BGR_FLOAT, IL_RGB8
IL_BGR_RGBE | IL_BGR8, IL_BGR_HALF, IL_BGR_FLOAT, IL_RGB8
IL_RGB_DOUBLE | IL_BGR8, IL_BGR_FLOAT
IL_CMYK_A8 | IL_BGR8, IL_BGRA8, IL_RGB8
IL_YCBCR_A8, IL_YCBCR_PA8 | IL_BGR8, IL_BGRA8, IL_BGRPA8
IL_GREY_A12, IL_GREY_PA12 | IL_BGR8, IL_GREY_A16, IL_GREY_PA16, IL_RGB8
IL_BGRA12, IL_BGRPA12, IL_RGBA12, IL_RGBA16, IL_RGBPA12, IL_RGBPA16 | IL_BGR8, IL_BGRA16, IL_BGRPA16, IL_RGB8
IL_CMYK_A16 | IL_BGR8, IL_BGRA16, IL_RGB8
IL_GREY_A32, IL_GREY_A_FLOAT24, IL_GREY_A_DOUBLE, IL_GREY_PA32, IL_GREY_PA_FLOAT24, IL_GREY_PA_DOUBLE | IL_BGR8, IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT, IL_RGB8
IL_BGRA_FIXED16, IL_BGRPA_FIXED16, IL_RGBA_HALF, IL_RGBA_FIXED16, IL_RGBPA_HALF, IL_RGBPA_FIXED16 | IL_BGR8, IL_BGRA_HALF, IL_BGRPA_HALF, IL_RGB8
IL_BGRA_FIXED32, IL_BGRPA_FIXED32, IL_RGBA_FLOAT, IL_RGBA_FIXED32, IL_RGBPA_FLOAT, IL_RGBPA_FIXED32 | IL_BGR8, IL_BGRA_FLOAT, IL_BGRPA_FLOAT, IL_RGB8
IL_RGBA4, IL_RGBPA4 | IL_BGR8, IL_BGRA8, IL_BGRPA8, IL_RGB8
IL_RGBA_FLOAT24, IL_RGBA_DOUBLE, IL_RGBPA_FLOAT24, IL_RGBPA_DOUBLE | IL_BGR8, IL_BGRA_FLOAT, IL_BGRPA_FLOAT
)";

const char* kIndexedSet =
    "IL_GREY8, IL_INDEX8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, "
    "IL_BGR_FLOAT, IL_BGRX8, IL_GREY_A8, IL_INDEX_A8, IL_BGRA8, "
    "IL_GREY_A16, IL_BGRA16, IL_GREY_A_HALF, IL_BGRA_HALF, IL_GREY_A_FLOAT, IL_BGRA_FLOAT, "
    "IL_GREY_PA_HALF, IL_BGRPA_HALF, IL_RGB8, IL_RGBX8, IL_RGBA8";
const char* kAlphaSet =
    "IL_GREY_A8, IL_BGRA8, IL_GREY_A16, IL_BGRA16, IL_GREY_A_HALF, IL_BGRA_HALF, IL_GREY_A_FLOAT, "
    "IL_BGRA_FLOAT, IL_GREY_PA8, IL_BGRPA8, IL_GREY_PA16, "
    "IL_BGRPA16, IL_GREY_PA_HALF, IL_BGRPA_HALF, IL_GREY_PA_FLOAT, IL_BGRPA_FLOAT";
const char* kRgbaSet =
    "IL_RGBA8, IL_RGBA16, IL_RGBA_HALF, IL_RGBA_FLOAT, IL_RGBPA8, IL_RGBPA16, IL_RGBPA_HALF, "
    "IL_RGBPA_FLOAT";
const char* kOneBitSet =
    "IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR16, IL_GREY_HALF, IL_BGR_HALF, IL_GREY_FLOAT, "
    "IL_BGR_FLOAT, IL_RGB8, IL_RGB16, IL_RGB_HALF, IL_RGB_FLOAT";

const std::vector<uint32_t> kSources = {
    IL_GREY1,           IL_INDEX1,        IL_GREY2,         IL_INDEX2,         IL_GREY4,
    IL_INDEX4,          IL_GREY8,         IL_INDEX8,        IL_BGR8,           IL_CMYK8,
    IL_YCBCR8,          IL_GREY12,        IL_BGR12,         IL_GREY16,         IL_BGR16,
    IL_CMYK16,          IL_GREY32,        IL_GREY_HALF,     IL_BGR_HALF,       IL_GREY_FLOAT24,
    IL_GREY_FLOAT,      IL_BGR_FLOAT,     IL_GREY_DOUBLE,   IL_GREY_FIXED16,   IL_BGR_FIXED16,
    IL_GREY_FIXED32,    IL_BGR_FIXED32,   IL_BGR_RGBE,      IL_BGR_555,        IL_BGR_565,
    IL_BGR_101010,      IL_BGRX4,         IL_BGRX8,         IL_INDEX_A1,       IL_INDEX_A2,
    IL_INDEX_A4,        IL_GREY_A8,       IL_INDEX_A8,      IL_BGRA8,          IL_CMYK_A8,
    IL_YCBCR_A8,        IL_GREY_A12,      IL_BGRA12,        IL_GREY_A16,       IL_BGRA16,
    IL_CMYK_A16,        IL_GREY_A32,      IL_GREY_A_HALF,   IL_BGRA_HALF,      IL_GREY_A_FLOAT24,
    IL_GREY_A_FLOAT,    IL_BGRA_FLOAT,    IL_GREY_A_DOUBLE, IL_BGRA_FIXED16,   IL_BGRA_FIXED32,
    IL_GREY_PA8,        IL_BGRPA8,        IL_YCBCR_PA8,     IL_GREY_PA12,      IL_BGRPA12,
    IL_GREY_PA16,       IL_BGRPA16,       IL_GREY_PA32,     IL_GREY_PA_HALF,   IL_BGRPA_HALF,
    IL_GREY_PA_FLOAT24, IL_GREY_PA_FLOAT, IL_BGRPA_FLOAT,   IL_GREY_PA_DOUBLE, IL_BGRPA_FIXED16,
    IL_BGRPA_FIXED32,   IL_RGB4,          IL_RGB8,          IL_RGB12,          IL_RGB16,
    IL_RGB_HALF,        IL_RGB_FLOAT24,   IL_RGB_FLOAT,     IL_RGB_DOUBLE,     IL_RGB_FIXED16,
    IL_RGB_FIXED32,     IL_RGBX8,         IL_RGBA4,         IL_RGBA8,          IL_RGBA12,
    IL_RGBA16,          IL_RGBA_HALF,     IL_RGBA_FLOAT24,  IL_RGBA_FLOAT,     IL_RGBA_DOUBLE,
    IL_RGBA_FIXED16,    IL_RGBA_FIXED32,  IL_RGBPA4,        IL_RGBPA8,         IL_RGBPA12,
    IL_RGBPA16,         IL_RGBPA_HALF,    IL_RGBPA_FLOAT24, IL_RGBPA_FLOAT,    IL_RGBPA_DOUBLE,
    IL_RGBPA_FIXED16,   IL_RGBPA_FIXED32};
const std::vector<uint32_t> kTargets = {
    IL_GREY1,       IL_INDEX1,     IL_GREY2,        IL_INDEX2,     IL_GREY4,         IL_INDEX4,
    IL_GREY8,       IL_INDEX8,     IL_BGR8,         IL_GREY16,     IL_BGR16,         IL_GREY_HALF,
    IL_BGR_HALF,    IL_GREY_FLOAT, IL_BGR_FLOAT,    IL_BGRX8,      IL_INDEX_A1,      IL_INDEX_A2,
    IL_INDEX_A4,    IL_GREY_A8,    IL_INDEX_A8,     IL_BGRA8,      IL_GREY_A16,      IL_BGRA16,
    IL_GREY_A_HALF, IL_BGRA_HALF,  IL_GREY_A_FLOAT, IL_BGRA_FLOAT, IL_GREY_PA8,      IL_BGRPA8,
    IL_GREY_PA16,   IL_BGRPA16,    IL_GREY_PA_HALF, IL_BGRPA_HALF, IL_GREY_PA_FLOAT, IL_BGRPA_FLOAT,
    IL_RGB8,        IL_RGB16,      IL_RGB_HALF,     IL_RGB_FLOAT,  IL_RGBX8,         IL_RGBA8,
    IL_RGBA16,      IL_RGBA_HALF,  IL_RGBA_FLOAT,   IL_RGBPA8,     IL_RGBPA16,       IL_RGBPA_HALF,
    IL_RGBPA_FLOAT};

std::vector<uint32_t> ParseCodes(const std::string& list, uint32_t source) {
    std::vector<uint32_t> codes;
    std::stringstream ss(list);
    std::string item;
    while (std::getline(ss, item, ',')) {
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (item.empty()) continue;
        if (item == "INDEXED") {
            for (uint32_t c : ParseCodes(kIndexedSet, 0))
                codes.push_back(c);
        } else if (item == "ALPHA") {
            for (uint32_t c : ParseCodes(kAlphaSet, 0))
                codes.push_back(c);
        } else if (item == "RGBA") {
            for (uint32_t c : ParseCodes(kRgbaSet, 0))
                codes.push_back(c);
        } else if (item == "ONEBIT") {
            for (uint32_t c : ParseCodes(kOneBitSet, 0))
                codes.push_back(c);
        } else if (item == "PLUS2000") {
            codes.push_back(source + 0x2000);
        } else if (item == "PLUS4000") {
            codes.push_back(source + 0x4000);
        } else {
            codes.push_back(CodeFromName(item));
        }
    }
    return codes;
}

std::set<std::pair<uint32_t, uint32_t>> ListedPairs() {
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    std::stringstream lines(kPairText);
    std::string line;
    while (std::getline(lines, line)) {
        const auto bar = line.find('|');
        if (bar == std::string::npos) continue;
        for (uint32_t s : ParseCodes(line.substr(0, bar), 0))
            for (uint32_t t : ParseCodes(line.substr(bar + 1), s))
                pairs.insert({s, t});
    }
    return pairs;
}

// ---------------------------------------------------------------------------
// Independent arithmetic.

double Enc(double x) {
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
}
double Dec(double e) {
    return e <= 0.04045 ? e / 12.92 : std::pow((e + 0.055) / 1.055, 2.4);
}
double Clamp01(double v) {
    return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0);
}
double Lum(const double* rgb) {
    return 0.212656 * rgb[0] + 0.715158 * rgb[1] + 0.072186 * rgb[2];
}
double HalfOf(double v) {
    return static_cast<float>(half(static_cast<float>(v)));
}
double HalfBits(uint16_t b) {
    half h;
    h.setBits(b);
    return static_cast<float>(h);
}

uint32_t Model(uint32_t t) {
    return t & 0xF;
}
uint32_t Kind(uint32_t t) {
    return t & 0xFF0;
}
uint32_t Extra(uint32_t t) {
    return t & 0xF000;
}
bool RgbOrder(uint32_t t) {
    return t & 0x10000;
}
bool HasAlpha(uint32_t t) {
    return t & 0x6000;
}
bool IsIndexed(uint32_t t) {
    return Model(t) == 2;
}
int ColourCount(uint32_t t) {
    switch (Model(t)) {
        case 1:
        case 2:
            return 1;
        case 4:
            return 4;
        default:
            return 3;
    }
}

enum Domain { kEnc, kLin };

// A pixel as the model sees it: colour (R, G, B; grey in all three) both
// encoded and linear, which of the two the kernels carry, alpha, and the
// error that earlier quantisation allows.
struct Px {
    double enc[3] = {0, 0, 0};
    double lin[3] = {0, 0, 0};
    Domain domain = kEnc;
    bool grey = false;
    bool hasAlpha = false; // alpha or filler sample present
    double alpha = 1;
    double abs = 0, rel = 0; // error budget of the values (normalised units)
    int index = -1;          // indexed source code
};

void SetEnc(Px& p, int k, double e) {
    p.enc[k] = e;
    p.lin[k] = Dec(e);
}
void SetLin(Px& p, int k, double l) {
    p.lin[k] = l;
    p.enc[k] = Clamp01(Enc(std::max(l, 0.0)));
}

// ---------------------------------------------------------------------------
// Source rows: random samples written by type, decoded by the model.

constexpr uint32_t kWidth = 11;

struct Bits { // big-endian bit writer for 12-bit and 4-4-4 streams
    std::vector<uint8_t>& out;
    size_t bit = 0;
    void Put(uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i, ++bit) {
            if (out.size() <= bit / 8) out.resize(bit / 8 + 1, 0);
            if ((v >> i) & 1) out[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
    }
};

template <typename T>
void Append(std::vector<uint8_t>& v, T x) {
    uint8_t b[sizeof(T)];
    std::memcpy(b, &x, sizeof(T));
    v.insert(v.end(), b, b + sizeof(T));
}

double Float24Value(uint32_t v) {
    const double sign = (v & 0x800000) ? -1 : 1;
    const int e = (v >> 16) & 0x7F;
    const int m = v & 0xFFFF;
    if (e == 0) return sign * std::ldexp(m, -78);
    return sign * std::ldexp(1.0 + m / 65536.0, e - 63);
}

// The CMYK model: inverted inks, powers, then the colour matrix.
void CmykToLinear(double c, double m, double y, double k, double* rgb) {
    const double f = std::pow(k, 1.2);
    const double r = std::pow(c, 2.2) * f, g = std::pow(m, 2.2) * f, b = std::pow(y, 2.2) * f;
    rgb[0] = 0.951473 * r + 0.134574 * g + 0.018108 * b;
    rgb[1] = 0.060909 * r + 0.909772 * g + 0.016185 * b;
    rgb[2] = 0.050806 * r + 0.100327 * g + 0.67203 * b;
}

struct SourceRow {
    std::vector<uint8_t> bytes;
    std::vector<Px> pixels;
};

class Generator {
public:
    explicit Generator(uint32_t seed) : rng_(seed) {}
    uint32_t Int(uint32_t max) { return std::uniform_int_distribution<uint32_t>(0, max)(rng_); }
    double Real(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng_);
    }

    // Alpha as a fraction: transparent, opaque, then varied.
    double AlphaFraction(uint32_t x) {
        if (x == 0) return 0;
        if (x == 1) return 1;
        return Real(0.05, 1.0);
    }

private:
    std::mt19937 rng_;
};

// Writes one sample of a kind holding the normalised value or code chosen
// here, and returns what the model reads from it.
struct SampleOut {
    double enc = 0, lin = 0;
    Domain domain = kEnc;
};

// scale: premultiplied colour is drawn no larger than its alpha.
SampleOut WriteSample(uint32_t kind, std::vector<uint8_t>& b, Generator& g, bool isAlpha,
                      double alpha, double scale = 1) {
    SampleOut s;
    switch (kind) {
        case 0x40: {
            const uint32_t v =
                static_cast<uint32_t>(std::lround(isAlpha ? alpha * 255 : g.Int(255) * scale));
            b.push_back(static_cast<uint8_t>(v));
            s.enc = v / 255.0;
            s.lin = Dec(s.enc);
            break;
        }
        case 0x60: {
            const uint32_t v =
                static_cast<uint32_t>(std::lround(isAlpha ? alpha * 65535 : g.Int(65535) * scale));
            Append<uint16_t>(b, static_cast<uint16_t>(v));
            s.enc = v / 65535.0;
            s.lin = Dec(s.enc);
            break;
        }
        case 0x70: {
            const uint32_t v = isAlpha ? static_cast<uint32_t>(std::llround(alpha * 4294967295.0))
                                       : static_cast<uint32_t>(g.Int(0xFFFFFFFFu));
            Append<uint32_t>(b, v);
            // Integer targets see the high 16 bits; alpha reads as v * 2^-32.
            s.enc = isAlpha ? std::ldexp(v, -32) : (v >> 16) / 65535.0;
            s.lin = isAlpha ? s.enc
                            : (v > 173731427u ? std::pow((v / 4294967295.0 + 0.055) / 1.055, 2.4)
                                              : v / 55490977451.4);
            break;
        }
        case 0x100: {
            const float v = static_cast<float>(isAlpha ? alpha : g.Real(-0.05, 1.2) * scale);
            const half h(v);
            Append<uint16_t>(b, h.bits());
            s.lin = static_cast<float>(h);
            s.domain = kLin;
            break;
        }
        case 0x110: {
            uint32_t v;
            if (isAlpha) {
                // 0, 1, or a value in [0.5, 1) with a random mantissa.
                v = alpha == 0 ? 0 : alpha == 1 ? 0x3F0000u : (62u << 16) | g.Int(0xFFFF);
            } else {
                v = (static_cast<uint32_t>(55 + g.Int(8)) << 16) | g.Int(0xFFFF);
                if (g.Int(9) == 0) v |= 0x800000;
            }
            b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(v >> 8));
            b.push_back(static_cast<uint8_t>(v >> 16));
            s.lin = Float24Value(v);
            s.domain = kLin;
            break;
        }
        case 0x120: {
            const float v = static_cast<float>(isAlpha ? alpha : g.Real(-0.05, 1.2) * scale);
            Append<float>(b, v);
            s.lin = v;
            s.domain = kLin;
            break;
        }
        case 0x130: {
            const double v = isAlpha ? alpha : g.Real(-0.05, 1.2);
            Append<double>(b, v);
            s.lin = static_cast<float>(v);
            s.domain = kLin;
            break;
        }
        case 0x140: {
            const int32_t n = isAlpha ? static_cast<int32_t>(std::lround(alpha * 8191))
                                      : static_cast<int32_t>(g.Int(9500)) - 400;
            Append<int16_t>(b, static_cast<int16_t>(n));
            s.lin = n / 8191.0;
            s.domain = kLin;
            break;
        }
        case 0x150: {
            const int64_t n = isAlpha ? std::llround(alpha * 16777215)
                                      : static_cast<int64_t>(g.Int(19000000)) - 700000;
            Append<int32_t>(b, static_cast<int32_t>(n));
            s.lin = n / 16777215.0;
            s.domain = kLin;
            break;
        }
        default:
            ADD_FAILURE() << "no sample writer for kind " << kind;
    }
    if (s.domain == kLin) s.enc = Clamp01(Enc(std::max(s.lin, 0.0)));
    if (isAlpha) {
        s.lin = s.domain == kLin ? s.lin : s.enc;
        s.enc = s.lin;
    }
    return s;
}

SourceRow MakeSource(uint32_t type, Generator& g, bool oneBitWhite) {
    SourceRow row;
    auto& b = row.bytes;
    const uint32_t kind = Kind(type), model = Model(type);
    const bool alpha = Extra(type) != 0;
    const bool reversed = !RgbOrder(type); // stored B, G, R
    for (uint32_t x = 0; x < kWidth; ++x) {
        Px p;
        p.hasAlpha = alpha;
        p.alpha = alpha ? g.AlphaFraction(x) : 1;
        row.pixels.push_back(p);
    }

    // Packed and special layouts first.
    if (kind <= 0x30 && (model == 1 || model == 2)) {
        const int bits = kind == 0x10 ? 1 : kind == 0x20 ? 2 : 4;
        Bits w{b};
        for (Px& p : row.pixels) {
            const uint32_t n = g.Int((1u << bits) - 1);
            w.Put(n, bits);
            p.grey = true;
            p.index = static_cast<int>(n);
            double e = n / double((1u << bits) - 1);
            if (bits == 1 && !oneBitWhite) e = 1 - e;
            for (int k = 0; k < 3; ++k)
                SetEnc(p, k, e);
            if (bits == 2) {
                static const double kLevels[4] = {0, 0.0892, 0.40983, 1.0};
                for (double& l : p.lin)
                    l = kLevels[n];
            }
        }
        return row;
    }
    if (model == 2) { // 8-bit indices
        for (Px& p : row.pixels) {
            p.index = static_cast<int>(g.Int(255));
            b.push_back(static_cast<uint8_t>(p.index));
        }
        return row;
    }
    if (kind == 0x50) { // 12-bit stream
        Bits w{b};
        const int n = ColourCount(type) + (alpha ? 1 : 0);
        for (Px& p : row.pixels) {
            p.grey = model == 1;
            double values[4];
            for (int s = 0; s < n; ++s) {
                const bool isA = alpha && s == n - 1;
                const uint32_t v =
                    isA ? static_cast<uint32_t>(std::lround(p.alpha * 4095)) : g.Int(4095);
                w.Put(v, 12);
                values[s] = (v * 16 + v / 256) / 65535.0;
            }
            if (alpha) p.alpha = values[n - 1];
            for (int k = 0; k < 3; ++k)
                SetEnc(p, k, values[p.grey ? 0 : (reversed ? 2 - k : k)]);
        }
        return row;
    }
    if (kind == 0x200 || kind == 0x210 || kind == 0x220) {
        for (Px& p : row.pixels) {
            double rgb[3];
            if (kind == 0x220) {
                uint32_t f[3], v = 0;
                for (int k = 0; k < 3; ++k)
                    f[k] = g.Int(1023), v |= f[k] << (10 * k);
                Append<uint32_t>(b, v);
                for (int k = 0; k < 3; ++k)
                    rgb[2 - k] = ((f[k] << 6) | ((f[k] & 3) << 2)) / 65535.0;
            } else {
                const int gBits = kind == 0x210 ? 6 : 5;
                const uint32_t bl = g.Int(31), gr = g.Int((1u << gBits) - 1), rd = g.Int(31);
                Append<uint16_t>(b, static_cast<uint16_t>(bl | (gr << 5) | (rd << (5 + gBits)) |
                                                          (kind == 0x200 ? g.Int(1) << 15 : 0)));
                rgb[0] = ((rd << 3) | (rd >> 2)) / 255.0;
                rgb[1] = (gBits == 6 ? ((gr << 2) | (gr >> 4)) : ((gr << 3) | (gr >> 2))) / 255.0;
                rgb[2] = ((bl << 3) | (bl >> 2)) / 255.0;
            }
            for (int k = 0; k < 3; ++k)
                SetEnc(p, k, rgb[k]);
        }
        return row;
    }
    if (kind == 0x30) { // 4-4-4 colour
        Bits w{b};
        for (uint32_t x = 0; x < kWidth; ++x) {
            Px& p = row.pixels[x];
            uint32_t n[4] = {g.Int(15), g.Int(15), g.Int(15), g.Int(15)};
            if (type == IL_BGRX4) { // byte 0: B low, G high; byte 1: R low, filler high
                b.push_back(static_cast<uint8_t>(n[2] | (n[1] << 4)));
                b.push_back(static_cast<uint8_t>(n[0] | (n[3] << 4)));
            } else if (type == IL_RGB4) {
                w.Put(n[0], 4), w.Put(n[1], 4), w.Put(n[2], 4);
            } else { // RGBA: byte 0 R high, G low; byte 1 B high, A low
                n[3] = static_cast<uint32_t>(std::lround(p.alpha * 15));
                p.alpha = n[3] / 15.0;
                b.push_back(static_cast<uint8_t>((n[0] << 4) | n[1]));
                b.push_back(static_cast<uint8_t>((n[2] << 4) | n[3]));
            }
            for (int k = 0; k < 3; ++k)
                SetEnc(p, k, n[k] / 15.0);
            if (type == IL_BGRX4) p.hasAlpha = false;
        }
        return row;
    }
    if (kind == 0x160) { // RGBE
        for (uint32_t x = 0; x < kWidth; ++x) {
            Px& p = row.pixels[x];
            const uint32_t m[3] = {g.Int(255), g.Int(255), g.Int(255)};
            const uint32_t e = x == 3 ? 0 : 128 + g.Int(3);
            for (uint32_t v : m)
                b.push_back(static_cast<uint8_t>(v));
            b.push_back(static_cast<uint8_t>(e));
            for (int k = 0; k < 3; ++k)
                SetLin(p, k, e == 0 ? 0 : (m[k] + 0.5) * std::ldexp(1.0, int(e) - 136));
            p.domain = kLin;
        }
        return row;
    }
    if (model == 5) { // YCbCr 8
        for (Px& p : row.pixels) {
            const double y = g.Int(255), cb = g.Int(255), cr = g.Int(255);
            b.push_back(uint8_t(y)), b.push_back(uint8_t(cb)), b.push_back(uint8_t(cr));
            const double rgb[3] = {y + 1.402 * (cr - 128),
                                   y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128),
                                   y + 1.772 * (cb - 128)};
            for (int k = 0; k < 3; ++k)
                SetEnc(p, k, Clamp01(rgb[k] / 255));
            p.abs = 1.0 / 255; // the tables round each term
            if (alpha) {
                const uint32_t a = static_cast<uint32_t>(std::lround(p.alpha * 255));
                b.push_back(static_cast<uint8_t>(a));
                p.alpha = a / 255.0;
            }
        }
        return row;
    }
    if (model == 4) { // CMYK 8 or 16
        for (Px& p : row.pixels) {
            double inv[4];
            for (double& v : inv) {
                const SampleOut s = WriteSample(kind, b, g, false, 0);
                v = 1 - s.enc;
            }
            double rgb[3];
            CmykToLinear(inv[0], inv[1], inv[2], inv[3], rgb);
            for (int k = 0; k < 3; ++k)
                SetLin(p, k, rgb[k]);
            p.domain = kLin;
            if (alpha) p.alpha = WriteSample(kind, b, g, true, p.alpha).lin;
        }
        return row;
    }

    // Grey and RGB in the plain sample kinds.
    const int colours = ColourCount(type);
    for (Px& p : row.pixels) {
        p.grey = colours == 1;
        SampleOut s[3];
        const double scale = Extra(type) == 0x4000 ? p.alpha : 1;
        for (int i = 0; i < colours; ++i)
            s[i] = WriteSample(kind, b, g, false, 0, scale);
        for (int k = 0; k < 3; ++k) {
            const SampleOut& o = s[p.grey ? 0 : (reversed ? 2 - k : k)];
            p.enc[k] = o.enc;
            p.lin[k] = o.lin;
            p.domain = o.domain;
        }
        if (Extra(type)) {
            // A filler sample counts as alpha where a kernel reads it.
            const SampleOut a = WriteSample(kind, b, g, true, p.alpha);
            p.alpha = a.lin;
        }
    }
    if (kind == 0x70 || kind == 0x60 || kind == 0x40)
        for (Px& p : row.pixels)
            p.domain = kEnc;
    return row;
}

// ---------------------------------------------------------------------------
// The background and palettes of the walk.

struct Background {
    double lin[3] = {0.8, 0.3, 0.1}; // R, G, B
    double greyLin() const { return Lum(lin); }
};

std::vector<ILPaletteEntry> MakePalette(Generator& g, uint32_t count) {
    std::vector<ILPaletteEntry> entries(count);
    for (uint32_t i = 0; i < count; ++i) {
        ILPaletteEntry& e = entries[i];
        e.blue = static_cast<uint16_t>(g.Int(65535));
        e.green = static_cast<uint16_t>(g.Int(65535));
        e.red = static_cast<uint16_t>(g.Int(65535));
        e.alpha = static_cast<uint16_t>(i % 3 == 0 ? 65535 : i % 3 == 1 ? 0 : g.Int(65535));
    }
    return entries;
}

// ---------------------------------------------------------------------------
// The model of one conversion.

struct Expect {
    bool sentinel = false; // the sample must keep what the row held
    double value = 0;      // in target units (codes for integers, values for floats)
    double tolerance = 0;
    bool infinite = false;
};

uint32_t FormOf(uint32_t t) {
    if (IsIndexed(t)) return 0x2000;
    if (t & 0x4000) return 0x4000;
    if (t & 0x3000) return 0x2000;
    return 0;
}

bool AlphaFormKind(uint32_t t) {
    const uint32_t k = Kind(t);
    return (Model(t) == 1 || Model(t) == 3) && (k == 0x40 || k == 0x60 || k == 0x100 || k == 0x120);
}

// Straight <-> premultiplied in the domain of the kind that does it. A
// transparent pixel bound for half gets the largest half, else 1e8.
void ChangeForm(Px& p, uint32_t kind, uint32_t to, uint32_t targetKind) {
    const bool lin = kind >= 0x100;
    double a = p.alpha;
    if (kind == 0x100) {
        a = HalfOf(a);
        p.rel += std::ldexp(1.0, -11);
    }
    for (int k = 0; k < 3; ++k) {
        if (lin) {
            double v = p.lin[k];
            if (to == 0x4000)
                v *= a;
            else
                v = a > 0 ? v / a : (targetKind == 0x100 ? 65504.0 : 1e8);
            SetLin(p, k, v);
        } else {
            double v = p.enc[k];
            if (to == 0x4000)
                v *= a;
            else
                v = a > 0 ? std::min(v / a, 1.0) : 1.0;
            SetEnc(p, k, v);
        }
    }
    p.domain = lin ? kLin : kEnc;
    // Earlier errors scale with the colour.
    if (to == 0x4000)
        p.abs *= a;
    else if (a > 0)
        p.abs /= a;
}

// Precision of a source kind's codes as the model holds them.
double CodeScale(uint32_t kind) {
    switch (kind) {
        case 0x30:
            return 15;
        case 0x40:
            return 255;
        default:
            return 65535;
    }
}

// Brings the pixel into the sample kind of an intermediate row; codes lose
// precision only when they come from light or from a finer kind.
void Quantise(Px& p, uint32_t kind, uint32_t fromKind, bool greyTarget) {
    if (greyTarget && !p.grey) {
        const double y = Lum(p.lin);
        p.grey = true;
        if (kind >= 0x100) {
            for (int k = 0; k < 3; ++k)
                SetLin(p, k, y);
        } else {
            for (int k = 0; k < 3; ++k)
                SetEnc(p, k, Clamp01(Enc(std::max(y, 0.0))));
            p.domain = kLin; // a code made from light
        }
    }
    if (kind >= 0x100) {
        p.domain = kLin;
        if (kind == 0x100) p.rel += std::ldexp(1.0, -11);
        return;
    }
    const double scale = kind == 0x60 ? 65535 : 255;
    if (p.domain == kLin || CodeScale(fromKind) > scale) p.abs += 1 / scale;
    p.domain = kEnc;
}

struct Case {
    uint32_t s, t;
    int alphaHandling;
    bool oneBitWhite;
};

bool IsComposite(uint32_t s, uint32_t t) {
    static const std::map<uint32_t, std::vector<uint32_t>> kList = [] {
        std::map<uint32_t, std::vector<uint32_t>> m;
        auto add = std::initializer_list<std::pair<std::vector<uint32_t>, std::vector<uint32_t>>>{
            {{IL_BGRA8, IL_BGRPA8, IL_BGRA_FLOAT, IL_BGRPA_FLOAT},
             {IL_BGR8, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_GREY_A8, IL_GREY_PA8}, {IL_GREY8, IL_BGR8, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_GREY_A16, IL_GREY_PA16}, {IL_GREY8, IL_BGR8, IL_GREY16, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_GREY_A_HALF, IL_GREY_PA_HALF},
             {IL_GREY8, IL_BGR8, IL_GREY_HALF, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT},
             {IL_GREY8, IL_BGR8, IL_GREY_FLOAT, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_BGRA16, IL_BGRPA16}, {IL_BGR8, IL_BGR16, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_BGRA_HALF, IL_BGRPA_HALF}, {IL_BGR8, IL_BGR_HALF, IL_BGR_FLOAT, IL_RGB8}},
            {{IL_RGBA8, IL_RGBA16, IL_RGBA_HALF, IL_RGBPA8, IL_RGBPA16, IL_RGBPA_HALF},
             {IL_BGR8, IL_RGB8}}};
        for (auto& [ss, ts] : add)
            for (uint32_t x : ss)
                m[x] = ts;
        return m;
    }();
    auto it = kList.find(s);
    return it != kList.end() &&
           std::find(it->second.begin(), it->second.end(), t) != it->second.end();
}

// Composites p over the background; returns the pixel in the domain the
// kernel writes from.
void Composite(Px& p, uint32_t s, uint32_t t, const Background& bg) {
    const bool prem = s & 0x4000;
    const bool greyTarget = Model(t) == 1;
    const double a = p.alpha;
    const bool encoded =
        prem && (Kind(s) == 0x40 || Kind(s) == 0x60) && (t != IL_BGR_FLOAT || s == IL_BGRPA16);
    for (int k = 0; k < 3; ++k) {
        const double bgLin = greyTarget ? bg.greyLin() : bg.lin[k];
        if (encoded) {
            const double v = std::min(a, p.enc[k]) + (1 - a) * Enc(bgLin);
            SetEnc(p, k, v);
        } else {
            const double c = p.lin[k];
            SetLin(p, k, prem ? c + (1 - a) * bgLin : a * c + (1 - a) * bgLin);
        }
    }
    p.domain = encoded ? kEnc : kLin;
    p.abs += 2 / 65535.0; // background codes
}

double FullScale(uint32_t kind) {
    switch (kind) {
        case 0x10:
            return 1;
        case 0x20:
            return 3;
        case 0x30:
            return 15;
        case 0x40:
            return 255;
        case 0x60:
            return 65535;
        default:
            return 0;
    }
}

Expect IntegerExpect(double v, double full, const Px& p, bool throughEnc) {
    Expect e;
    e.value = full * Clamp01(v);
    // Every writer truncates a value within one code: dithered ones add an
    // offset in (0, 1), rounding ones scale by full + 0.5; a value that float
    // arithmetic puts just below a whole code truncates to the code below.
    e.tolerance = 1 + full * (p.abs + p.rel * (throughEnc ? 1.2 : 1) * std::fabs(v) + 2e-6);
    return e;
}

Expect RealExpect(double v, uint32_t kind, const Px& p) {
    Expect e;
    if (kind == 0x100) {
        const double h = HalfOf(v);
        if (std::isinf(h)) {
            e.infinite = true;
            e.value = h;
            return e;
        }
        const double ulp =
            std::ldexp(1.0, std::max(std::ilogb(std::max(std::fabs(v), 6.2e-5)), -14) - 10);
        e.value = v;
        e.tolerance = 0.5 * ulp + 2.5 * p.abs + (p.rel + 2e-6) * std::fabs(v) + 1e-9;
        return e;
    }
    e.value = v;
    // Codes carried to light: the decoding slope is at most 2.5.
    e.tolerance = 2.5 * p.abs + (p.rel + 2e-6) * std::fabs(v) + 1e-7;
    return e;
}

// Expected samples of one target pixel, in the target's sample order.
std::vector<Expect> ExpectPixel(Px p, const Case& c, const Background& bg) {
    const uint32_t s = c.s, t = c.t;
    const uint32_t tk = Kind(t);
    const bool greyTarget = Model(t) == 1;

    if (c.alphaHandling == 2 && IsComposite(s, t)) {
        Composite(p, s, t, bg);
        p.hasAlpha = false;
    } else {
        const uint32_t fs = FormOf(s), ft = FormOf(t);
        if (fs && ft && fs != ft && (HasAlpha(t) || Extra(t))) {
            const bool sameLayout = (s & ~0xF000u) == (t & ~0xF000u);
            const bool sourceWider = Kind(s) > Kind(t);
            const bool onSource =
                !IsIndexed(s) && AlphaFormKind(s) && (sourceWider || !AlphaFormKind(t));
            if (sameLayout || onSource) {
                ChangeForm(p, Kind(s), ft, tk);
                if (!sameLayout) Quantise(p, tk, Kind(s), greyTarget);
            } else {
                Quantise(p, tk, Kind(s), greyTarget);
                ChangeForm(p, tk, ft, tk);
            }
        }
    }

    std::vector<Expect> out;
    const double full = FullScale(tk);
    double colour[3];
    bool throughEnc = p.domain == kLin;
    if (greyTarget && !p.grey) {
        const double y = Lum(p.lin);
        colour[0] = full ? Clamp01(Enc(std::max(y, 0.0))) : y;
        throughEnc = true;
    } else {
        for (int k = 0; k < 3; ++k) {
            if (full)
                colour[k] = p.enc[k];
            else
                colour[k] = p.lin[k];
        }
    }
    // One-bit targets of linear sources threshold the linear value.
    if (tk == 0x10 && p.domain == kLin) colour[0] = Clamp01(p.lin[0]);

    const int n = greyTarget ? 1 : 3;
    for (int i = 0; i < n; ++i) {
        const int k = greyTarget ? 0 : (RgbOrder(t) ? i : 2 - i);
        out.push_back(full ? IntegerExpect(colour[k], full, p, throughEnc)
                           : RealExpect(colour[k], tk, p));
    }
    if (Extra(t)) {
        if (!p.hasAlpha) {
            Expect e;
            e.sentinel = true;
            out.push_back(e);
        } else if (full) {
            out.push_back(IntegerExpect(p.alpha, full, p, false));
        } else {
            Px alphaBudget = p;
            alphaBudget.abs = 0;
            out.push_back(RealExpect(p.alpha, tk, alphaBudget));
        }
    }
    return out;
}

// Palette entry i as a pixel, composited per entry by 8-bit colour tables
// under alpha handling 2.
Px PalettePixel(const ILPaletteEntry& e, uint32_t t, int alphaHandling, const Background& bg) {
    Px p;
    const double rgb[3] = {e.red / 65535.0, e.green / 65535.0, e.blue / 65535.0};
    for (int k = 0; k < 3; ++k)
        SetEnc(p, k, rgb[k]);
    p.hasAlpha = true;
    p.alpha = e.alpha / 65535.0;
    const bool eightBitColour = Kind(t) == 0x40 && Model(t) == 3;
    if (eightBitColour) {
        const int codes[3] = {e.red / 257, e.green / 257, e.blue / 257};
        for (int k = 0; k < 3; ++k)
            SetEnc(p, k, codes[k] / 255.0);
        if (alphaHandling == 2) {
            const double a = (e.alpha / 257) / 255.0;
            for (int k = 0; k < 3; ++k)
                SetLin(p, k, a * p.lin[k] + (1 - a) * bg.lin[k]);
            p.domain = kLin;
            p.alpha = 1;
            p.abs += 1 / 65535.0;
        }
        p.abs += 1 / 255.0; // entries reduced to 8 bits first
    }
    return p;
}

// ---------------------------------------------------------------------------
// Reading target rows.

// Indexed types with the palette-alpha flag still hold one code a pixel.
int SamplesPerPixel(uint32_t t) {
    return IsIndexed(t) ? 1 : ColourCount(t) + (Extra(t) ? 1 : 0);
}

double ReadSample(const std::vector<uint8_t>& row, uint32_t t, uint32_t x, int sample) {
    const uint32_t kind = Kind(t);
    if (kind <= 0x30) {
        const int bits = kind == 0x10 ? 1 : kind == 0x20 ? 2 : 4;
        const uint32_t bit = x * bits;
        return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    }
    const uint32_t i = x * SamplesPerPixel(t) + sample;
    switch (kind) {
        case 0x40:
            return row[i];
        case 0x60: {
            uint16_t v;
            std::memcpy(&v, &row[i * 2], 2);
            return v;
        }
        case 0x100: {
            uint16_t v;
            std::memcpy(&v, &row[i * 2], 2);
            return HalfBits(v);
        }
        case 0x120: {
            float v;
            std::memcpy(&v, &row[i * 4], 4);
            return v;
        }
    }
    return NAN;
}

size_t SampleBytes(uint32_t t) {
    return Kind(t) == 0x40 ? 1 : Kind(t) == 0x120 ? 4 : 2;
}

size_t RowBytes(uint32_t t) {
    const uint32_t kind = Kind(t);
    if (kind <= 0x30) return (kWidth * (kind == 0x10 ? 1 : kind == 0x20 ? 2 : 4) + 7) / 8;
    return kWidth * SamplesPerPixel(t) * SampleBytes(t);
}

constexpr uint8_t kSentinel = 0xA5;

class PairTableTest : public SuiteHandleTest {};

// One conversion; returns the failure text, empty on success.
std::string RunCase(const Case& c, Generator& g, const Background& bg) {
    std::ostringstream why;
    why << std::hex << "0x" << c.s << " -> 0x" << c.t << std::dec << " alpha handling "
        << c.alphaHandling << (c.s == IL_GREY1 ? (c.oneBitWhite ? " white" : " black") : "")
        << ": ";

    // Colour to index maps exact palette colours back to their entries.
    const bool toIndex = c.t == IL_INDEX8 && !IsIndexed(c.s);
    SourceRow src = MakeSource(c.s, g, c.oneBitWhite);
    ILPalette palette;
    std::vector<ILPaletteEntry> entries;
    if (IsIndexed(c.s)) {
        const uint32_t bits = Kind(c.s) == 0x10   ? 1
                              : Kind(c.s) == 0x20 ? 2
                              : Kind(c.s) == 0x30 ? 4
                                                  : 8;
        entries = MakePalette(g, 1u << bits);
    } else if (toIndex) {
        const uint8_t colours[8][3] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},
                                       {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
                                       {0, 255, 255}, {128, 128, 128}};
        for (auto& col : colours)
            entries.push_back(
                {uint16_t(col[2] * 257), uint16_t(col[1] * 257), uint16_t(col[0] * 257), 65535});
        src.bytes.clear();
        for (uint32_t x = 0; x < kWidth; ++x) {
            const int i = static_cast<int>(g.Int(7));
            src.pixels[x].index = i;
            for (int k = 2; k >= 0; --k) { // B, G, R
                const uint8_t code = colours[i][k];
                switch (Kind(c.s)) {
                    case 0x40:
                        src.bytes.push_back(code);
                        break;
                    case 0x60:
                        Append<uint16_t>(src.bytes, uint16_t(code * 257));
                        break;
                    case 0x100:
                        Append<uint16_t>(src.bytes, half(float(Dec(code / 255.0))).bits());
                        break;
                    default:
                        Append<float>(src.bytes, float(Dec(code / 255.0)));
                }
            }
        }
    }
    if (!entries.empty()) {
        palette.Resize(static_cast<uint32_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i)
            palette.entries[i] = entries[i];
    }
    src.bytes.resize(src.bytes.size() + 16,
                     0); // kernels must not need it, but packers read whole bytes

    ILConverter conv;
    ILConverterInit(&conv);
    conv.oneBitWhite = c.oneBitWhite;
    if (!entries.empty()) ILConverterSetPalette(&conv, &palette);
    ILColor background;
    background.Set(static_cast<float>(bg.lin[0]), static_cast<float>(bg.lin[1]),
                   static_cast<float>(bg.lin[2]));
    ILConverterSetBackground(&conv, background);
    ILConverterSetAlphaMode(&conv, static_cast<uint8_t>(c.alphaHandling));
    ILConverterSetModes(&conv, c.s, c.t, kWidth);
    if (!ILConverterPrepare(&conv)) {
        ILConverterFree(&conv);
        return why.str() + "does not prepare";
    }
    std::vector<uint8_t> target(RowBytes(c.t) + 16, kSentinel);
    conv.rowKernel(&conv, src.bytes.data(), target.data());
    ILConverterFree(&conv);
    for (size_t i = RowBytes(c.t); i < target.size(); ++i)
        if (target[i] != kSentinel) return why.str() + "wrote past the row";

    // Copies and repacking of codes are exact.
    if (c.s == c.t || (IsIndexed(c.s) && IsIndexed(c.t))) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const int have = static_cast<int>(ReadSample(target, c.t, x, 0));
            int want;
            if (IsIndexed(c.s)) {
                const int tb = Kind(c.t) == 0x10   ? 1
                               : Kind(c.t) == 0x20 ? 2
                               : Kind(c.t) == 0x30 ? 4
                                                   : 8;
                const int sb = Kind(c.s) == 0x10   ? 1
                               : Kind(c.s) == 0x20 ? 2
                               : Kind(c.s) == 0x30 ? 4
                                                   : 8;
                want = sb == 8 && tb < 8 ? src.pixels[x].index >> (8 - tb) : src.pixels[x].index;
            } else if (c.s == IL_GREY1) {
                want = static_cast<int>(src.pixels[x].enc[0]);
            } else {
                continue; // compared bytewise below
            }
            if (have != want)
                return why.str() + "pixel " + std::to_string(x) + ": have " + std::to_string(have) +
                       ", want " + std::to_string(want);
        }
        if (!IsIndexed(c.s) && c.s != IL_GREY1 &&
            std::memcmp(target.data(), src.bytes.data(), RowBytes(c.t)) != 0)
            return why.str() + "copy differs";
        return {};
    }
    if (toIndex) {
        for (uint32_t x = 0; x < kWidth; ++x)
            if (target[x] != src.pixels[x].index)
                return why.str() + "pixel " + std::to_string(x) + ": have index " +
                       std::to_string(target[x]) + ", want " + std::to_string(src.pixels[x].index);
        return {};
    }

    const int samples = Kind(c.t) <= 0x30 ? 1 : SamplesPerPixel(c.t);
    for (uint32_t x = 0; x < kWidth; ++x) {
        Px p = IsIndexed(c.s) ? PalettePixel(entries[src.pixels[x].index], c.t, c.alphaHandling, bg)
                              : src.pixels[x];
        const std::vector<Expect> want = ExpectPixel(p, c, bg);
        for (int i = 0; i < samples && i < static_cast<int>(want.size()); ++i) {
            const Expect& e = want[i];
            if (e.sentinel) {
                const size_t bytes = SampleBytes(c.t);
                const size_t at = (x * samples + i) * bytes;
                for (size_t b = 0; b < bytes; ++b)
                    if (target[at + b] != kSentinel)
                        return why.str() + "pixel " + std::to_string(x) +
                               " wrote alpha the source lacks";
                continue;
            }
            const double have = ReadSample(target, c.t, x, i);
            const bool ok = e.infinite ? have == e.value : std::fabs(have - e.value) <= e.tolerance;
            if (!ok) {
                std::ostringstream m;
                m << why.str() << "pixel " << x << " sample " << i << ": have " << have << ", want "
                  << e.value << " +- " << e.tolerance;
                return m.str();
            }
        }
    }
    return {};
}

TEST_F(PairTableTest, TheTableHoldsTheDocumentedNumberOfPairs) {
    const auto pairs = ListedPairs();
    EXPECT_EQ(pairs.size(), 1045u);
    for (const auto& [s, t] : pairs) {
        EXPECT_NE(std::find(kSources.begin(), kSources.end(), s), kSources.end()) << std::hex << s;
        EXPECT_NE(std::find(kTargets.begin(), kTargets.end(), t), kTargets.end()) << std::hex << t;
    }
}

TEST_F(PairTableTest, EveryListedPairConvertsLikeTheModel) {
    const auto pairs = ListedPairs();
    const Background bg;
    Generator g(20240611);
    std::vector<std::string> failures;
    size_t cases = 0;
    for (const auto& [s, t] : pairs) {
        for (int ah : {1, 2}) {
            for (bool white : {true, false}) {
                if (!white && s != IL_GREY1) continue;
                ++cases;
                const std::string f = RunCase({s, t, ah, white}, g, bg);
                if (!f.empty()) failures.push_back(f);
            }
        }
    }
    std::ostringstream report;
    for (size_t i = 0; i < failures.size() && i < 60; ++i)
        report << failures[i] << "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << cases << " cases fail:\n"
                                  << report.str();
}

TEST_F(PairTableTest, EveryOtherPairIsRefused) {
    const auto pairs = ListedPairs();
    std::vector<std::string> accepted;
    for (uint32_t s : kSources) {
        for (uint32_t t : kTargets) {
            if (pairs.count({s, t})) continue;
            for (uint8_t ah : {1, 2}) {
                ILConverter conv;
                ILConverterInit(&conv);
                ILPalette palette(4);
                ILConverterSetPalette(&conv, &palette);
                ILConverterSetAlphaMode(&conv, ah);
                ILConverterSetModes(&conv, s, t, kWidth);
                ILConverterPrepare(&conv);
                if (conv.rowKernel) {
                    std::ostringstream m;
                    m << std::hex << "0x" << s << " -> 0x" << t;
                    accepted.push_back(m.str());
                }
                ILConverterFree(&conv);
            }
        }
    }
    EXPECT_TRUE(accepted.empty()) << accepted.size() << " unlisted pairs accepted, first "
                                  << (accepted.empty() ? "" : accepted.front());
}

} // namespace
