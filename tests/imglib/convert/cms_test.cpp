#include <gtest/gtest.h>

#include <Imath/half.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/convert/srgb.h"

namespace {

using Profile = ILProfilePtr;

struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

Transform MakeTransform(const Profile& in, uint32_t inFormat, const Profile& out,
                        uint32_t outFormat, uint32_t flags = 0) {
    return Transform(
        cmsCreateTransform(in.get(), inFormat, out.get(), outFormat, INTENT_PERCEPTUAL, flags));
}

// The library's lcms2 formats: byte code 5 is half, 3 is 24-bit float.
constexpr uint32_t kHalfRGB = FLOAT_SH(1) | COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | BYTES_SH(5);
constexpr uint32_t kHalfBGR = kHalfRGB | DOSWAP_SH(1);
constexpr uint32_t kHalfBGRA = kHalfBGR | EXTRA_SH(1) | SWAPFIRST_SH(1);
constexpr uint32_t kFloatBGRA = TYPE_BGRA_FLT; // 4-byte floats with the same flags
constexpr uint32_t kFloat24GrayAlpha =
    FLOAT_SH(1) | COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | EXTRA_SH(1) | BYTES_SH(3);
constexpr uint32_t kSignedLab8 = 0x1E0019;
constexpr uint32_t kSignedLab16 = 0x1E001A;

std::string InfoText(cmsHPROFILE p, cmsInfoType type) {
    char text[64] = {};
    cmsGetProfileInfoASCII(p, type, "en", "US", text, sizeof text);
    return text;
}

// Through the ICC bytes that savers embed, as a reader would see it.
Profile Reopened(cmsHPROFILE p) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(p, nullptr, &size)) return nullptr;
    std::vector<uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(p, bytes.data(), &size)) return nullptr;
    return Profile(cmsOpenProfileFromMem(bytes.data(), size));
}

TEST(BuiltInProfiles, CarryTheirNamesCurvesAndColorants) {
    Profile reference(cmsCreate_sRGBProfile());
    struct Case {
        cmsHPROFILE (*build)();
        const char* name;
        bool rgb;
        bool linear;
    } cases[] = {
        {ILCreateSRgbProfile, "sRGB", true, false},
        {ILCreateSGrayProfile, "sGRAY", false, false},
        {ILCreateScRgbProfile, "scRGB (gamma 1.0)", true, true},
        {ILCreateScGrayProfile, "scGRAY (gamma 1.0)", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Profile built(c.build());
        ASSERT_NE(built, nullptr);
        Profile p = Reopened(built.get());
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(InfoText(p.get(), cmsInfoDescription), c.name);
        EXPECT_EQ(InfoText(p.get(), cmsInfoCopyright), "No copyright, use freely");
        EXPECT_EQ(cmsGetColorSpace(p.get()), c.rgb ? cmsSigRgbData : cmsSigGrayData);

        const auto* curve = static_cast<const cmsToneCurve*>(
            cmsReadTag(p.get(), c.rgb ? cmsSigRedTRCTag : cmsSigGrayTRCTag));
        ASSERT_NE(curve, nullptr);
        for (float x : {0.0f, 0.02f, 0.04045f, 0.0405f, 0.2f, 0.5f, 0.9f, 1.0f})
            EXPECT_NEAR(cmsEvalToneCurveFloat(curve, x), c.linear ? x : ILSrgbToLinear(x), 1e-5)
                << x;

        if (!c.rgb) continue;
        for (cmsTagSignature tag :
             {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
            const auto* want = static_cast<const cmsCIEXYZ*>(cmsReadTag(reference.get(), tag));
            const auto* have = static_cast<const cmsCIEXYZ*>(cmsReadTag(p.get(), tag));
            ASSERT_TRUE(want && have);
            EXPECT_NEAR(have->X, want->X, 1e-3);
            EXPECT_NEAR(have->Y, want->Y, 1e-3);
            EXPECT_NEAR(have->Z, want->Z, 1e-3);
        }
    }
}

// lcms2's own sRGB profile and ours describe the same colours: converting
// between them moves no 8-bit code by more than one, and our grey and linear
// profiles line up with our sRGB.
TEST(BuiltInProfiles, AgreeWithLcms2Srgb) {
    Profile ours(ILCreateSRgbProfile()), theirs(cmsCreate_sRGBProfile());
    Profile gray(ILCreateSGrayProfile()), linear(ILCreateScRgbProfile());
    Transform forth = MakeTransform(ours, TYPE_RGB_8, theirs, TYPE_RGB_8);
    Transform back = MakeTransform(theirs, TYPE_RGB_8, ours, TYPE_RGB_8);
    Transform toLinear = MakeTransform(theirs, TYPE_RGB_8, linear, TYPE_RGB_DBL);
    Transform grayToRgb = MakeTransform(gray, TYPE_GRAY_8, ours, TYPE_RGB_8);
    ASSERT_TRUE(forth && back && toLinear && grayToRgb);
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 51) {
                const uint8_t in[3] = {uint8_t(r), uint8_t(g), uint8_t(b)};
                uint8_t there[3], here[3];
                double lin[3];
                cmsDoTransform(forth.get(), in, there, 1);
                cmsDoTransform(back.get(), in, here, 1);
                cmsDoTransform(toLinear.get(), in, lin, 1);
                for (int i = 0; i < 3; ++i) {
                    ASSERT_NEAR(there[i], in[i], 1) << r << " " << g << " " << b;
                    ASSERT_NEAR(here[i], in[i], 1) << r << " " << g << " " << b;
                }
                if (r == g && g == b) {
                    for (int i = 0; i < 3; ++i)
                        ASSERT_NEAR(lin[i], ILSrgbToLinear(r / 255.0f), 2e-3) << r;
                }
            }
    for (int v = 0; v < 256; ++v) {
        const uint8_t grey = uint8_t(v);
        uint8_t rgb[3];
        cmsDoTransform(grayToRgb.get(), &grey, rgb, 1);
        for (uint8_t c : rgb)
            ASSERT_NEAR(c, v, 1) << v;
    }
}

TEST(FormatterFactory, ServesOnlyTheLibrarysFormats) {
    const uint32_t halfRGB5 =
        FLOAT_SH(1) | COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | EXTRA_SH(2) | BYTES_SH(5);
    const uint32_t halfCMYKA =
        FLOAT_SH(1) | COLORSPACE_SH(PT_CMYK) | CHANNELS_SH(4) | EXTRA_SH(1) | BYTES_SH(5);
    const uint32_t half6 =
        FLOAT_SH(1) | COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | EXTRA_SH(3) | BYTES_SH(5);
    struct Case {
        const char* name;
        uint32_t format;
        cmsFormatterDirection direction;
        uint32_t flags;
        bool served;
    } cases[] = {
        {"half in, float path", kHalfBGR, cmsFormatterInput, CMS_PACK_FLAGS_FLOAT, true},
        {"half in, 16-bit path", kHalfBGR, cmsFormatterInput, CMS_PACK_FLAGS_16BITS, true},
        {"float24 in, 16-bit path", kFloat24GrayAlpha, cmsFormatterInput, CMS_PACK_FLAGS_16BITS,
         true},
        {"float in, float path", TYPE_RGB_FLT, cmsFormatterInput, CMS_PACK_FLAGS_FLOAT, true},
        {"float in, 16-bit path", TYPE_RGB_FLT, cmsFormatterInput, CMS_PACK_FLAGS_16BITS, false},
        {"five halves in", halfCMYKA, cmsFormatterInput, CMS_PACK_FLAGS_FLOAT, true},
        {"six halves in", half6, cmsFormatterInput, CMS_PACK_FLAGS_FLOAT, false},
        {"signed Lab 8", kSignedLab8, cmsFormatterInput, CMS_PACK_FLAGS_16BITS, true},
        {"signed Lab 16", kSignedLab16, cmsFormatterInput, CMS_PACK_FLAGS_16BITS, true},
        {"signed Lab on the float path", kSignedLab8, cmsFormatterInput, CMS_PACK_FLAGS_FLOAT,
         false},
        {"Lab v4 8", TYPE_Lab_8, cmsFormatterInput, CMS_PACK_FLAGS_16BITS, false},
        {"8-bit in", TYPE_RGB_8, cmsFormatterInput, CMS_PACK_FLAGS_16BITS, false},
        {"half out, float path", kHalfBGRA, cmsFormatterOutput, CMS_PACK_FLAGS_FLOAT, true},
        {"float out, float path", TYPE_RGB_FLT, cmsFormatterOutput, CMS_PACK_FLAGS_FLOAT, true},
        {"half out, 16-bit path", kHalfRGB, cmsFormatterOutput, CMS_PACK_FLAGS_16BITS, false},
        {"five halves out", halfRGB5, cmsFormatterOutput, CMS_PACK_FLAGS_FLOAT, false},
        {"float24 out", kFloat24GrayAlpha, cmsFormatterOutput, CMS_PACK_FLAGS_FLOAT, false},
        {"signed Lab out", kSignedLab8, cmsFormatterOutput, CMS_PACK_FLAGS_16BITS, false},
    };
    for (const Case& c : cases) {
        const cmsFormatter f = ILLcmsFormatterFactory(c.format, c.direction, c.flags);
        EXPECT_EQ(f.Fmt16 != nullptr, c.served) << c.name;
    }
}

// Real transforms through the registered plug-in.
class FormatterPlugin : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ILRegisterLcmsPlugin()); }
    // Profiles close before the plug-ins go, as when the last handle dies:
    // lcms2 leaks memory for each profile still open when plug-ins are
    // unregistered.
    void TearDown() override {
        for (Profile* p : {&srgb, &sgray, &scrgb, &scgray})
            p->reset();
        ILUnregisterLcmsPlugin();
    }

    Profile srgb{ILCreateSRgbProfile()}, sgray{ILCreateSGrayProfile()};
    Profile scrgb{ILCreateScRgbProfile()}, scgray{ILCreateScGrayProfile()};
};

const uint16_t kHalves[] = {
    0x0000,
    0x8000,
    0x0001 /* smallest denormal */,
    0x03FF,
    0x1400,
    0x3555 /* ~1/3 */,
    0x3800 /* 0.5 */,
    0x3BFF,
    0x3C00 /* 1 */,
    0x4100 /* 2.5 */,
    0xB800 /* -0.5 */,
    0x2E66,
};
constexpr size_t kHalfCount = sizeof kHalves / sizeof kHalves[0];

TEST_F(FormatterPlugin, HalfRowsReadAsImathDecodesThem) {
    // Linear in, linear out: the transform keeps the values, so the doubles
    // show exactly what the unpacker read, in R, G, B order.
    Transform t = MakeTransform(scrgb, kHalfBGR, scrgb, TYPE_RGB_DBL);
    ASSERT_TRUE(t);
    std::vector<uint16_t> in(kHalves, kHalves + kHalfCount); // four B, G, R pixels
    std::vector<double> out(kHalfCount);
    cmsDoTransform(t.get(), in.data(), out.data(), kHalfCount / 3);
    for (size_t p = 0; p < kHalfCount / 3; ++p)
        for (int i = 0; i < 3; ++i) {
            const float want = imath_half_to_float(in[3 * p + 2 - i]);
            EXPECT_NEAR(out[3 * p + i], want, 1e-6 * std::max(1.0f, std::abs(want)))
                << "pixel " << p << " channel " << i;
        }
}

TEST_F(FormatterPlugin, HalfAndFloatRowsWrittenWithoutTouchingAlpha) {
    const float sentinel = 0.125f;
    const uint16_t sentinelHalf = imath_float_to_half(sentinel);
    const std::vector<float> values = {0.0f, 1e-7f, 0.001f, 0.25f, 0.3333f,
                                       0.5f, 0.7f,  1.0f,   1.75f};
    const size_t pixels = values.size() / 3;
    // B, G, R, A floats in; alpha in the source differs from the target's.
    std::vector<float> in;
    for (size_t p = 0; p < pixels; ++p)
        in.insert(in.end(), {values[3 * p], values[3 * p + 1], values[3 * p + 2], 0.9f});

    Transform toHalf = MakeTransform(scrgb, kFloatBGRA, scrgb, kHalfBGRA);
    Transform toFloat = MakeTransform(scrgb, kFloatBGRA, scrgb, kFloatBGRA);
    ASSERT_TRUE(toHalf && toFloat);
    std::vector<uint16_t> halves(4 * pixels, sentinelHalf);
    std::vector<float> floats(4 * pixels, sentinel);
    cmsDoTransform(toHalf.get(), in.data(), halves.data(), static_cast<cmsUInt32Number>(pixels));
    cmsDoTransform(toFloat.get(), in.data(), floats.data(), static_cast<cmsUInt32Number>(pixels));
    for (size_t p = 0; p < pixels; ++p) {
        for (int i = 0; i < 3; ++i) {
            const float v = in[4 * p + i];
            EXPECT_EQ(halves[4 * p + i], imath_float_to_half(v)) << p << " " << i;
            EXPECT_NEAR(floats[4 * p + i], v, 1e-6 * std::max(1.0f, v)) << p << " " << i;
        }
        EXPECT_EQ(halves[4 * p + 3], sentinelHalf) << p;
        EXPECT_EQ(floats[4 * p + 3], sentinel) << p;
    }
}

// On the 16-bit path our half unpacker must quantise as lcms2's own float
// unpacker does: same 8-bit results from the same values.
TEST_F(FormatterPlugin, HalfRowsOnThe16BitPathMatchLcms2FloatRows) {
    Transform ours = MakeTransform(scrgb, kHalfRGB, srgb, TYPE_RGB_8, 0x2400);
    Transform theirs = MakeTransform(scrgb, TYPE_RGB_DBL, srgb, TYPE_RGB_8, 0x2400);
    ASSERT_TRUE(ours && theirs);
    std::vector<uint16_t> in;
    for (uint32_t v = 0; v <= 0x3C00; v += 0x1F3)
        in.push_back(uint16_t(v));
    in.insert(in.end(), {0x3C00, 0x4000, 0xBC00, 0x7E00 /* NaN */, 0x7C00, 0xFC00});
    while (in.size() % 3)
        in.push_back(0x3800);
    std::vector<double> asDouble;
    for (uint16_t h : in) {
        const float f = imath_half_to_float(h);
        asDouble.push_back(std::isnan(f) ? 0.0 : std::min(std::max(f, 0.0f), 1.0f));
    }
    const auto pixels = static_cast<cmsUInt32Number>(in.size() / 3);
    std::vector<uint8_t> have(in.size()), want(in.size());
    cmsDoTransform(ours.get(), in.data(), have.data(), pixels);
    cmsDoTransform(theirs.get(), asDouble.data(), want.data(), pixels);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_NEAR(have[i], want[i], 1) << "half 0x" << std::hex << in[i];
        ASSERT_NEAR(have[i], ILLinearToSrgb8(float(asDouble[i])), 1)
            << "half 0x" << std::hex << in[i];
    }
}

TEST_F(FormatterPlugin, Float24GreyAlphaRows) {
    // Grey, alpha pairs of three little-endian bytes each.
    const uint32_t samples[] = {0x3F0000 /* 1 */,  0x3E0000 /* 0.5 */, 0x3D8000 /* 0.375 */,
                                0x800000 /* -0 */, 0x3C4000,           0x3F0000};
    std::vector<uint8_t> in;
    for (uint32_t s : samples)
        in.insert(in.end(), {uint8_t(s), uint8_t(s >> 8), uint8_t(s >> 16)});
    Transform toFloat = MakeTransform(scgray, kFloat24GrayAlpha, scgray, TYPE_GRAY_DBL);
    Transform to8 = MakeTransform(scgray, kFloat24GrayAlpha, sgray, TYPE_GRAY_8);
    ASSERT_TRUE(toFloat && to8);
    double grey[3];
    uint8_t grey8[3];
    cmsDoTransform(toFloat.get(), in.data(), grey, 3);
    cmsDoTransform(to8.get(), in.data(), grey8, 3);
    const double want[3] = {1.0, 0.375, ILFloat24ToFloat(0x3C4000)};
    for (int p = 0; p < 3; ++p) {
        EXPECT_NEAR(grey[p], want[p], 1e-6) << p;
        EXPECT_NEAR(grey8[p], ILLinearToSrgb8(float(want[p])), 1) << p;
    }
}

// Signed Lab rows against lcms2's own Lab doubles: a and b are two's
// complement (256 per unit in 16 bits), L spans 0..100 over the full code
// range. The rows land within a fraction of a Lab unit, two 8-bit codes at most.
TEST_F(FormatterPlugin, SignedLabRowsMatchLcms2Lab) {
    Profile lab2(cmsCreateLab2Profile(nullptr)), lab4(cmsCreateLab4Profile(nullptr));
    Transform from8 = MakeTransform(lab2, kSignedLab8, srgb, TYPE_RGB_8);
    Transform from16 = MakeTransform(lab2, kSignedLab16, srgb, TYPE_RGB_8);
    Transform oracle = MakeTransform(lab4, TYPE_Lab_DBL, srgb, TYPE_RGB_8);
    ASSERT_TRUE(from8 && from16 && oracle);
    struct Lab {
        double L, a, b;
    } colours[] = {{100, 0, 0},   {50, 0, 0},    {0, 0, 0},    {60, 40, -30},
                   {45, -50, 20}, {80, -10, 70}, {30, 25, 25}, {70, -60, -40}};
    for (const Lab& c : colours) {
        SCOPED_TRACE(testing::Message() << c.L << " " << c.a << " " << c.b);
        const int8_t a8 = int8_t(std::lround(c.a)), b8 = int8_t(std::lround(c.b));
        const uint8_t in8[3] = {uint8_t(std::lround(c.L * 2.55)), uint8_t(a8), uint8_t(b8)};
        const int16_t a16 = int16_t(std::lround(c.a * 256)), b16 = int16_t(std::lround(c.b * 256));
        const uint16_t in16[3] = {uint16_t(std::lround(c.L * 655.35)), uint16_t(a16),
                                  uint16_t(b16)};
        uint8_t have8[3], have16[3], want[3];
        cmsDoTransform(from8.get(), in8, have8, 1);
        cmsDoTransform(from16.get(), in16, have16, 1);
        cmsDoTransform(oracle.get(), &c, want, 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(have8[i], want[i], 2) << i;
            EXPECT_NEAR(have16[i], want[i], 2) << i;
        }
    }
}

} // namespace
