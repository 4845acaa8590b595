// Kernel selection: the colour-managed routes against lcms2 itself, the kind
// of plain-route kernel (copy, chain) for representative pairs, the grey
// map, and reselection when a setting changes.
#include <gtest/gtest.h>

#include <Imath/half.h>
#include <lcms2.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter.h"
#include "imglib/handle.h"
#include "suite_handle.h"

namespace {

class SelectTest : public SuiteHandleTest {
protected:
    void SetUp() override {
        ASSERT_NE(handle_, nullptr);
        ILConverterInit(&c_);
        background_.Set(0.8f, 0.3f, 0.1f);
        ILConverterSetBackground(&c_, background_);
    }
    void TearDown() override { ILConverterFree(&c_); }
    ILConverter c_;
    ILColor background_;
};

// A wide-gamut RGB source with gamma 2.2, unlike the sRGB target.
struct WideProfile {
    cmsHPROFILE p;
    WideProfile() {
        cmsCIExyY white = {0.3127, 0.3290, 1.0};
        cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
        cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
        cmsToneCurve* curves[3] = {gamma, gamma, gamma};
        p = cmsCreateRGBProfile(&white, &primaries, curves);
        cmsFreeToneCurve(gamma);
    }
    ~WideProfile() { cmsCloseProfile(p); }
};

std::vector<uint8_t> Ramp(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 37 + 11);
    return v;
}

// What lcms2 gives for the same profiles, formats, intent and flags.
std::vector<uint8_t> LcmsReference(cmsHPROFILE from, uint32_t fromFormat, cmsHPROFILE to,
                                   uint32_t toFormat, const void* source, size_t pixels,
                                   size_t targetBytes) {
    cmsHTRANSFORM t = cmsCreateTransform(from, fromFormat, to, toFormat, INTENT_PERCEPTUAL,
                                         cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_HIGHRESPRECALC);
    std::vector<uint8_t> out(targetBytes, 0);
    if (t) {
        cmsDoTransform(t, source, out.data(), static_cast<cmsUInt32Number>(pixels));
        cmsDeleteTransform(t);
    }
    return out;
}

TEST_F(SelectTest, ColourManagedRowsMatchLcms) {
    WideProfile wide;
    const size_t n = 64;
    const std::vector<uint8_t> bgr = Ramp(n * 3);

    // Integer target: "sRGB".
    ILConverterSetProfile(&c_, wide.p, TYPE_BGR_8);
    ILConverterSetModes(&c_, IL_BGR8, IL_BGR8, n);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    EXPECT_EQ(c_.rowKernel, ILConverterTransformRow);
    std::vector<uint8_t> out(n * 3);
    c_.rowKernel(&c_, bgr.data(), out.data());
    EXPECT_EQ(out,
              LcmsReference(wide.p, TYPE_BGR_8, ILProfileSRGB, TYPE_BGR_8, bgr.data(), n, n * 3));

    // Half grey target: "scGRAY", linear light rounded to half.
    ILConverterSetModes(&c_, IL_BGR8, IL_GREY_HALF, n);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    std::vector<uint16_t> halves(n);
    c_.rowKernel(&c_, bgr.data(), halves.data());
    const std::vector<uint8_t> floats =
        LcmsReference(wide.p, TYPE_BGR_8, ILProfileScGray, TYPE_GRAY_FLT, bgr.data(), n, n * 4);
    for (size_t i = 0; i < n; ++i) {
        float f;
        std::memcpy(&f, &floats[i * 4], 4);
        EXPECT_EQ(halves[i], Imath::half(f).bits()) << i;
    }
}

TEST_F(SelectTest, ColourManagedAlphaIsCarriedOrTheRouteFallsBack) {
    WideProfile wide;
    const size_t n = 32;
    const std::vector<uint8_t> bgra = Ramp(n * 4);

    // Alpha handling 1, alpha target: lcms2 converts the colour, the kernel
    // copies each alpha.
    ILConverterSetProfile(&c_, wide.p, TYPE_BGRA_8);
    ILConverterSetModes(&c_, IL_BGRA8, IL_BGRA8, n);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    std::vector<uint8_t> out(n * 4, 0);
    c_.rowKernel(&c_, bgra.data(), out.data());
    const std::vector<uint8_t> want =
        LcmsReference(wide.p, TYPE_BGRA_8, ILProfileSRGB, TYPE_BGRA_8, bgra.data(), n, n * 4);
    for (size_t x = 0; x < n; ++x) {
        EXPECT_EQ(std::memcmp(&out[x * 4], &want[x * 4], 3), 0) << x;
        EXPECT_EQ(out[x * 4 + 3], bgra[x * 4 + 3]) << x;
    }

    // Alpha handling 2 into a target without alpha composites without colour
    // management: the same row as with no profile at all.
    ILConverterSetAlphaMode(&c_, 2);
    ILConverterSetModes(&c_, IL_BGRA8, IL_BGR8, n);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    std::vector<uint8_t> managed(n * 3), plain(n * 3);
    c_.rowKernel(&c_, bgra.data(), managed.data());
    ILConverter unmanaged;
    ILConverterInit(&unmanaged);
    ILConverterSetBackground(&unmanaged, background_);
    ILConverterSetAlphaMode(&unmanaged, 2);
    ILConverterSetModes(&unmanaged, IL_BGRA8, IL_BGR8, n);
    ASSERT_TRUE(ILConverterPrepare(&unmanaged));
    unmanaged.rowKernel(&unmanaged, bgra.data(), plain.data());
    ILConverterFree(&unmanaged);
    EXPECT_EQ(managed, plain);

    // Alpha handling 0 drops alpha and keeps colour management.
    ILConverterSetAlphaMode(&c_, 0);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    EXPECT_EQ(c_.rowKernel, ILConverterTransformRow);

    // No lcms2 format for an index target: the plain route and its mapper.
    ILConverterSetProfile(&c_, wide.p, TYPE_BGR_8);
    ILConverterSetModes(&c_, IL_BGR8, IL_INDEX8, n);
    ILConverterPrepare(&c_);
    EXPECT_NE(c_.rowKernel, nullptr);
    EXPECT_NE(c_.rowKernel, ILConverterTransformRow);
    EXPECT_TRUE(c_.needsPaletteMapper);
}

TEST_F(SelectTest, PlainRouteKernelKinds) {
    struct Row {
        ILPixelType s, t;
        uint8_t alphaHandling;
        enum { kCopy, kSingle, kChain } kind;
        uint64_t rowBytesAtWidth8; // rowBytes for a width of 8
    } rows[] = {
        {IL_BGR8, IL_BGR8, 1, Row::kCopy, 24},
        {IL_GREY1, IL_GREY1, 1, Row::kCopy, 1},
        {IL_GREY2, IL_GREY2, 1, Row::kCopy, 2},
        {IL_INDEX_A1, IL_INDEX1, 1, Row::kCopy, 1},
        {IL_BGRX8, IL_BGRA8, 1, Row::kCopy, 32}, // filler and straight alpha: same bytes
        {IL_BGRA8, IL_BGR8, 1, Row::kSingle, 0},
        {IL_BGRA8, IL_BGR8, 2, Row::kSingle, 0},
        {IL_BGRA8, IL_RGB8, 2, Row::kChain, 24},
        {IL_GREY_A8, IL_RGB8, 2, Row::kChain, 24}, // background channels keep their order
        {IL_CMYK8, IL_RGB8, 1, Row::kChain, 24},
        {IL_BGRA8, IL_BGRPA16, 1, Row::kChain, 64},
        {IL_BGRA8, IL_BGRA16, 1, Row::kSingle, 0},
        {IL_BGRPA_HALF, IL_BGRA8, 1, Row::kChain, 64}, // unpremultiplied in half first
        {IL_BGRA_FLOAT, IL_RGBPA_FLOAT, 1, Row::kChain, 128},
        {IL_BGRA8, IL_BGRPA8, 1, Row::kSingle, 0},
        {IL_INDEX8, IL_BGRPA_HALF, 1, Row::kChain, 64}, // palette colours premultiplied
    };
    ILPalette palette(4);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.s << " -> " << r.t << " alpha handling "
                                        << int(r.alphaHandling));
        ILConverterSetPalette(&c_, &palette);
        ILConverterSetAlphaMode(&c_, r.alphaHandling);
        ILConverterSetModes(&c_, r.s, r.t, 8);
        ASSERT_TRUE(ILConverterPrepare(&c_));
        switch (r.kind) {
            case Row::kCopy:
                EXPECT_TRUE(ILConverterIsPlainCopy(&c_));
                break;
            case Row::kSingle:
                EXPECT_NE(c_.rowKernel, ILConverterChainRow);
                EXPECT_FALSE(ILConverterIsPlainCopy(&c_));
                break;
            case Row::kChain:
                EXPECT_EQ(c_.rowKernel, ILConverterChainRow);
                EXPECT_NE(c_.chainRow, nullptr);
                break;
        }
        if (r.kind != Row::kSingle) {
            EXPECT_EQ(c_.rowBytes, r.rowBytesAtWidth8);
        }
    }
}

TEST_F(SelectTest, OneBitPolarity) {
    const uint8_t row[2] = {0b10110000, 0b01000000};
    uint8_t copy[2] = {}, grey[10] = {};
    c_.oneBitWhite = 0;
    ILConverterSetModes(&c_, IL_GREY1, IL_GREY1, 10);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    c_.rowKernel(&c_, row, copy);
    EXPECT_EQ(copy[0], 0b01001111);
    EXPECT_EQ(copy[1], 0b10111111); // whole bytes, past the width too
    ILConverterSetModes(&c_, IL_GREY1, IL_GREY8, 10);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    c_.rowKernel(&c_, row, grey);
    const uint8_t want[10] = {0, 255, 0, 0, 255, 255, 255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(grey, want, 10), 0);
}

TEST_F(SelectTest, GreyMapServesThreeTargetsOnly) {
    uint8_t map[256];
    for (int i = 0; i < 256; ++i)
        map[i] = static_cast<uint8_t>(255 - i);
    c_.greyMap = map;
    const uint8_t row[2] = {0, 200};
    for (ILPixelType t : {IL_GREY8, IL_BGR8, IL_RGB8, IL_GREY_A8}) {
        SCOPED_TRACE(t);
        ILConverterSetModes(&c_, IL_GREY8, t, 2);
        ASSERT_TRUE(ILConverterPrepare(&c_));
        uint8_t out[6] = {};
        c_.rowKernel(&c_, row, out);
        const int step = t == IL_GREY8 ? 1 : t == IL_GREY_A8 ? 2 : 3;
        EXPECT_EQ(out[0], 255);
        EXPECT_EQ(out[step], 55);
    }
    ILConverterSetModes(&c_, IL_GREY8, IL_GREY16, 2);
    EXPECT_FALSE(ILConverterPrepare(&c_));
}

TEST_F(SelectTest, SettingsAfterTheTypesReselect) {
    // An indexed palette table follows the alpha handling set afterwards: a
    // transparent entry becomes the background only when compositing.
    ILPalette palette(2);
    palette.SetEntry16(0, 0, 0, 65535, 0); // transparent red
    palette.SetEntry16(1, 0, 65535, 0, 65535);
    ILConverterSetPalette(&c_, &palette);
    ILConverterSetModes(&c_, IL_INDEX8, IL_BGR8, 2);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    const uint8_t codes[2] = {0, 1};
    uint8_t out[6];
    c_.rowKernel(&c_, codes, out);
    EXPECT_EQ(out[2], 255);
    ILConverterSetAlphaMode(&c_, 2);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    c_.rowKernel(&c_, codes, out);
    EXPECT_EQ(std::memcmp(out, c_.backgroundBGR8, 3), 0);
    EXPECT_EQ(out[4], 255);

    // A new background reaches a compositing kernel without setting the types again.
    ILColor black;
    black.SetBlack();
    ILConverterSetBackground(&c_, black);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    c_.rowKernel(&c_, codes, out);
    EXPECT_EQ(out[0] | out[1] | out[2], 0);
}

} // namespace

TEST_F(SelectTest, PreparingSelectsOnceForAllSettings) {
    // The setters build nothing: the colour transform appears with the
    // preparation, and a second preparation without new settings keeps it.
    WideProfile wide;
    ILConverterSetProfile(&c_, wide.p, TYPE_BGR_8);
    ILConverterSetModes(&c_, IL_BGR8, IL_BGR8, 16);
    ILConverterSetAlphaMode(&c_, 2);
    ILConverterSetBackground(&c_, background_);
    EXPECT_EQ(c_.transform, nullptr);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    const cmsHTRANSFORM transform = c_.transform;
    ASSERT_NE(transform, nullptr);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    EXPECT_EQ(c_.transform, transform);

    // A changed setting is taken up by the next preparation.
    ILConverterSetModes(&c_, IL_BGR8, IL_GREY8, 16);
    ASSERT_TRUE(ILConverterPrepare(&c_));
    EXPECT_EQ(c_.rowKernel, ILConverterTransformRow);
    uint8_t row[48] = {}, grey[16];
    c_.rowKernel(&c_, row, grey);
    EXPECT_EQ(grey[0], 0);
}
