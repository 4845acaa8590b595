// Kernels into 32-bit float targets: integer decoding, sub-byte grey,
// compositing, premultiplication, sample moves, wider and narrower floats,
// RGBE and the colour-managed 24-bit float kernels.
#include <bit>
#include <limits>

#include "imglib/convert/cms.h"
#include "rows_wide_fixture.h"

namespace {

using namespace rowstest;

class FloatTarget : public RowsTest {};

// Every 8- and 16-bit code against the sRGB curve in double precision; full
// scale is exactly 1 and 0 exactly 0. Colour lands in its own slot.
TEST_F(FloatTarget, IntegerCodesDecodeToLinearLight) {
    std::vector<uint8_t> codes8(256);
    for (int v = 0; v < 256; ++v)
        codes8[v] = static_cast<uint8_t>(v);
    KernelRun grey8(IL_GREY8, IL_GREY_FLOAT, 256);
    const auto out8 = grey8(codes8, std::vector<float>(256));
    for (int v = 0; v < 256; ++v)
        EXPECT_NEAR(out8[v], Decode(v / 255.0), 2e-7 + 1e-6 * out8[v]) << v;
    EXPECT_EQ(out8[255], 1.0f);
    EXPECT_EQ(out8[0], 0.0f);

    std::vector<uint16_t> codes16(65536);
    for (int v = 0; v < 65536; ++v)
        codes16[v] = static_cast<uint16_t>(v);
    KernelRun grey16(IL_GREY16, IL_GREY_FLOAT, 65536);
    const auto out16 = grey16(codes16, std::vector<float>(65536));
    for (int v = 0; v < 65536; ++v)
        ASSERT_NEAR(out16[v], Decode(v / 65535.0), 2e-7 + 1e-6 * out16[v]) << v;
    EXPECT_EQ(out16[65535], 1.0f);

    const float lin50 = ILSrgbTable8[50], lin100 = ILSrgbTable8[100], lin200 = ILSrgbTable8[200];
    KernelRun same(IL_BGR8, IL_BGR_FLOAT, 1), reversed(IL_RGB8, IL_BGR_FLOAT, 1),
        bgra(IL_BGRA8, IL_BGRA_FLOAT, 1);
    EXPECT_EQ(same(std::vector<uint8_t>{50, 100, 200}, std::vector<float>(3)),
              (std::vector<float>{lin50, lin100, lin200}));
    EXPECT_EQ(reversed(std::vector<uint8_t>{50, 100, 200}, std::vector<float>(3)),
              (std::vector<float>{lin200, lin100, lin50}));
    EXPECT_EQ(bgra(std::vector<uint8_t>{50, 100, 200, 51}, std::vector<float>(4)),
              (std::vector<float>{lin50, lin100, lin200, 51.0f / 255.0f}));
    KernelRun bgra16(IL_BGRA16, IL_BGRA_FLOAT, 1);
    EXPECT_EQ(bgra16(std::vector<uint16_t>{0, 65535, 0, 32768}, std::vector<float>(4)),
              (std::vector<float>{0.0f, 1.0f, 0.0f, 32768.0f / 65535.0f}));
}

// 4-bit grey decodes its 8-bit code n * 17; 2-bit grey takes fixed levels
// near (n / 3)^2.2, not the sRGB values of codes 85 and 170; 1-bit grey
// follows the polarity. Nine pixels run into a second source byte.
TEST_F(FloatTarget, SubByteGreyLevels) {
    const float* lin8 = ILSrgbTable8;
    KernelRun grey4(IL_GREY4, IL_GREY_FLOAT, 9);
    const auto g4 =
        grey4(std::vector<uint8_t>{0x0F, 0x1E, 0x2D, 0x3C, 0x50}, std::vector<float>(9));
    EXPECT_EQ(g4, (std::vector<float>{lin8[0], lin8[255], lin8[17], lin8[238], lin8[34], lin8[221],
                                      lin8[51], lin8[204], lin8[85]}));

    KernelRun grey2(IL_GREY2, IL_BGR_FLOAT, 5);
    const auto g2 = grey2(std::vector<uint8_t>{0x1B, 0x80}, std::vector<float>(15));
    const float levels[5] = {0.0f, 0.0892f, 0.40983f, 1.0f, 0.40983f};
    for (int x = 0; x < 5; ++x)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(g2[3 * x + k], levels[x]) << x;

    KernelRun white(IL_GREY1, IL_GREY_FLOAT, 9, IL_KV_ONE_BIT_WHITE),
        black(IL_GREY1, IL_GREY_FLOAT, 9, IL_KV_ONE_BIT_BLACK);
    const std::vector<uint8_t> bits = {0xA0, 0x80};
    EXPECT_EQ(white(bits, std::vector<float>(9)), (std::vector<float>{1, 0, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(black(bits, std::vector<float>(9)), (std::vector<float>{0, 1, 0, 1, 1, 1, 1, 1, 0}));
}

// Alpha handling 2 lays each pixel over the linear background:
// bg (1 - a) + c a for straight alpha, bg (1 - a) + c for premultiplied.
TEST_F(FloatTarget, CompositesOntoTheBackground) {
    const float bg[3] = {0.2f, 0.5f, 0.9f}; // B, G, R
    const float bgY = 0.6f;
    struct Case {
        const char* name;
        ILPixelType source, target;
        std::vector<uint8_t> pixel;
        std::vector<double> colour; // linear colour of the pixel, B, G, R (grey: one value)
        double alpha;
    };
    auto f = [](float v) { return Bytes({std::bit_cast<uint32_t>(v)}, 4); };
    auto cat = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const double lin200 = Decode(200 / 255.0), lin40000 = Decode(40000 / 65535.0);
    const Case cases[] = {
        {"transparent grey 8", IL_GREY_A8, IL_BGR_FLOAT, {200, 0}, {lin200}, 0.0},
        {"straight grey 8", IL_GREY_A8, IL_BGR_FLOAT, {200, 128}, {lin200}, 128 / 255.0},
        {"premultiplied grey 8", IL_GREY_PA8, IL_BGR_FLOAT, {200, 128}, {lin200}, 128 / 255.0},
        {"straight grey 16",
         IL_GREY_A16,
         IL_BGR_FLOAT,
         Bytes({40000, 30000}, 2),
         {lin40000},
         30000 / 65535.0},
        {"filler taken as alpha",
         IL_BGRX8,
         IL_BGR_FLOAT,
         {200, 200, 200, 64},
         {lin200, lin200, lin200},
         64 / 255.0},
        {"premultiplied BGRA 8",
         IL_BGRPA8,
         IL_BGR_FLOAT,
         {0, 200, 200, 255},
         {0, lin200, lin200},
         1.0},
        {"straight grey float to grey",
         IL_GREY_A_FLOAT,
         IL_GREY_FLOAT,
         cat(f(0.3f), f(0.25f)),
         {0.3},
         0.25},
        {"premultiplied grey float",
         IL_GREY_PA_FLOAT,
         IL_BGR_FLOAT,
         cat(f(0.3f), f(0.5f)),
         {0.3},
         0.5},
        {"straight BGRA float",
         IL_BGRA_FLOAT,
         IL_BGR_FLOAT,
         cat(cat(f(0.1f), f(0.2f)), cat(f(0.4f), f(0.75f))),
         {0.1, 0.2, 0.4},
         0.75},
        {"premultiplied BGRA float",
         IL_BGRPA_FLOAT,
         IL_BGR_FLOAT,
         cat(cat(f(0.1f), f(0.2f)), cat(f(0.4f), f(0.75f))),
         {0.1, 0.2, 0.4},
         0.75},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        KernelRun run(k.source, k.target, 1, IL_KV_COMPOSITE);
        std::copy(bg, bg + 3, run.c.backgroundBGRF);
        run.c.backgroundGrayF = bgY;
        const int n = k.target == IL_GREY_FLOAT ? 1 : 3;
        const auto out = run(k.pixel, std::vector<float>(n));
        const bool premultiplied = (k.source & IL_EXTRA_PREMULTIPLIED) != 0;
        for (int i = 0; i < n; ++i) {
            const double c = k.colour.size() == 1 ? k.colour[0] : k.colour[i];
            const double b = n == 1 ? bgY : bg[i];
            EXPECT_NEAR(out[i], b * (1 - k.alpha) + (premultiplied ? c : c * k.alpha), 2e-7) << i;
        }
    }
}

// Between straight and premultiplied float; a pixel without coverage
// unpremultiplies to 1e8 and premultiplies back to 0, never NaN.
TEST_F(FloatTarget, PremultipliesAndUnpremultiplies) {
    KernelRun toStraight(IL_BGRPA_FLOAT, IL_BGRA_FLOAT, 3),
        toPremultiplied(IL_BGRA_FLOAT, IL_BGRPA_FLOAT, 3);
    const std::vector<float> premultiplied = {0.25f, 0.1f, 0.5f, 0.5f, 0.2f, 0.2f,
                                              0.2f,  0.0f, 0.3f, 0.0f, 0.7f, -0.0f};
    const auto straight = toStraight(premultiplied, std::vector<float>(12));
    EXPECT_EQ(straight, (std::vector<float>{0.5f, 0.2f, 1.0f, 0.5f, 1e8f, 1e8f, 1e8f, 0.0f, 1e8f,
                                            1e8f, 1e8f, -0.0f}));
    const auto again = toPremultiplied(straight, std::vector<float>(12));
    EXPECT_EQ(again, (std::vector<float>{0.25f, 0.1f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0}));

    KernelRun greyStraight(IL_GREY_PA_FLOAT, IL_GREY_A_FLOAT, 2),
        greyPremultiplied(IL_GREY_A_FLOAT, IL_GREY_PA_FLOAT, 1);
    EXPECT_EQ(greyStraight(std::vector<float>{0.25f, 0.5f, 0.3f, 0.0f}, std::vector<float>(4)),
              (std::vector<float>{0.5f, 0.5f, 1e8f, 0.0f}));
    EXPECT_EQ(greyPremultiplied(std::vector<float>{2.0f, 0.5f}, std::vector<float>(2)),
              (std::vector<float>{1.0f, 0.5f}));
}

// Premultiplied float into straight half runs through the float
// unpremultiplier: a transparent pixel must stay finite in half, so that
// premultiplying it again gives 0 and not NaN.
TEST_F(FloatTarget, TransparentPixelsSurviveAHalfRoundTrip) {
    const std::vector<float> pixels = {0.25f, 0.1f, 0.5f, 0.5f, 0.3f, 0.3f, 0.3f, 0.0f};
    ILConverter toHalf, back;
    ILConverterInitModes(&toHalf, IL_BGRPA_FLOAT, IL_BGRA_HALF, 2);
    ILConverterInitModes(&back, IL_BGRA_HALF, IL_BGRPA_HALF, 2);
    ASSERT_TRUE(ILConverterPrepare(&toHalf));
    ASSERT_TRUE(ILConverterPrepare(&back));
    std::vector<uint16_t> straight(8), premultiplied(8);
    toHalf.rowKernel(&toHalf, pixels.data(), straight.data());
    back.rowKernel(&back, straight.data(), premultiplied.data());
    ILConverterFree(&toHalf);
    ILConverterFree(&back);
    EXPECT_EQ(F(straight[0]), 0.5f);
    for (int k = 4; k < 7; ++k)
        EXPECT_TRUE(std::isfinite(F(straight[k]))) << k;
    EXPECT_EQ(premultiplied,
              (std::vector<uint16_t>{H(0.25f), H(0.1f), H(0.5f), H(0.5f), 0, 0, 0, 0}));
}

// Moves between float layouts: replication, dropping, keeping and swapping,
// and a target alpha that a source without alpha leaves as it was.
TEST_F(FloatTarget, MovesSamplesBetweenLayouts) {
    const float keep = -7.0f;
    struct Case {
        ILPixelType source, target;
        std::vector<float> in, before, want;
    };
    const Case cases[] = {
        {IL_GREY_FLOAT, IL_RGB_FLOAT, {0.5f}, {0, 0, 0}, {0.5f, 0.5f, 0.5f}},
        {IL_GREY_FLOAT, IL_GREY_A_FLOAT, {0.5f}, {0, keep}, {0.5f, keep}},
        {IL_BGR_FLOAT, IL_BGRA_FLOAT, {1, 2, 3}, {0, 0, 0, keep}, {1, 2, 3, keep}},
        {IL_BGR_FLOAT, IL_RGB_FLOAT, {1, 2, 3}, {0, 0, 0}, {3, 2, 1}},
        {IL_RGB_FLOAT, IL_BGR_FLOAT, {1, 2, 3}, {0, 0, 0}, {3, 2, 1}},
        {IL_GREY_PA_FLOAT, IL_GREY_FLOAT, {0.5f, 0.25f}, {0}, {0.5f}},
        {IL_GREY_A_FLOAT, IL_BGR_FLOAT, {0.5f, 0.25f}, {0, 0, 0}, {0.5f, 0.5f, 0.5f}},
        {IL_GREY_A_FLOAT, IL_RGBPA_FLOAT, {0.5f, 0.25f}, {0, 0, 0, 0}, {0.5f, 0.5f, 0.5f, 0.25f}},
        {IL_BGRPA_FLOAT, IL_BGR_FLOAT, {1, 2, 3, 0.5f}, {0, 0, 0}, {1, 2, 3}},
        {IL_BGRA_FLOAT, IL_RGBA_FLOAT, {1, 2, 3, 0.5f}, {0, 0, 0, 0}, {3, 2, 1, 0.5f}},
        {IL_RGBPA_FLOAT, IL_BGRPA_FLOAT, {1, 2, 3, 0.5f}, {0, 0, 0, 0}, {3, 2, 1, 0.5f}},
    };
    for (const Case& k : cases) {
        KernelRun run(k.source, k.target, 1);
        EXPECT_EQ(run(k.in, k.before), k.want) << std::hex << k.source << " -> " << k.target;
    }
}

// 64-bit floats round to float, 24-bit floats widen exactly, and R, G, B
// sources come out B, G, R with alpha last; RGBE scales its mantissas.
TEST_F(FloatTarget, WiderNarrowerAndSharedExponentSources) {
    KernelRun rgbDouble(IL_RGBA_DOUBLE, IL_BGRA_FLOAT, 1);
    EXPECT_EQ(rgbDouble(std::vector<double>{0.1, 1e300, -2.5, 0.75}, std::vector<float>(4)),
              (std::vector<float>{-2.5f, INFINITY, 0.1f, 0.75f}));
    KernelRun greyDouble(IL_GREY_A_DOUBLE, IL_GREY_A_FLOAT, 1);
    EXPECT_EQ(greyDouble(std::vector<double>{1.0 / 3, 0.5}, std::vector<float>(2)),
              (std::vector<float>{1.0f / 3, 0.5f}));

    // 24-bit floats: 0x3F0000 is 1.0, 0x3E8000 is 0.75, 0xBF0000 is -1.0, 0x800000 is -0.
    KernelRun rgb24(IL_RGBPA_FLOAT24, IL_BGRPA_FLOAT, 1);
    EXPECT_EQ(rgb24(Bytes({0x3F0000, 0x3E8000, 0xBF0000, 0x3E0000}, 3), std::vector<float>(4)),
              (std::vector<float>{-1.0f, 0.75f, 1.0f, 0.5f}));
    KernelRun grey24(IL_GREY_FLOAT24, IL_GREY_FLOAT, 2);
    const auto g24 = grey24(Bytes({0x800000, 0x3F0000}, 3), std::vector<float>(2));
    EXPECT_TRUE(g24[0] == 0.0f && std::signbit(g24[0]));
    EXPECT_EQ(g24[1], 1.0f);

    // RGBE: (m + 0.5) 2^(E - 136), B from the third mantissa; E = 0 is black.
    KernelRun rgbe(IL_BGR_RGBE, IL_BGR_FLOAT, 2);
    EXPECT_EQ(
        rgbe(std::vector<uint8_t>{128, 64, 32, 128, 200, 200, 200, 0}, std::vector<float>(6, 1)),
        (std::vector<float>{32.5f / 256, 64.5f / 256, 128.5f / 256, 0, 0, 0}));
}

// The colour-managed 24-bit float kernels: lcms2 converts the colour (here
// between identical linear profiles, so it comes out nearly unchanged and in
// the target's order), the kernel widens the alpha exactly.
TEST_F(FloatTarget, ColourManagedFloat24CarriesAlpha) {
    ASSERT_TRUE(ILUseColorManagement());
    struct Case {
        ILPixelType source, target, key;
        cmsHPROFILE profile;
        std::vector<uint32_t> in;
        std::vector<float> want;
    };
    const Case cases[] = {
        {IL_GREY_A_FLOAT24,
         IL_GREY_A_FLOAT,
         IL_GREY_A_FLOAT24,
         ILProfileScGray,
         {0x3E8000, 0x3E0000},
         {0.75f, 0.5f}},
        {IL_RGBA_FLOAT24,
         IL_BGRA_FLOAT,
         IL_BGRA_FLOAT24,
         ILProfileScRGB,
         {0x3E8000, 0x3E0000, 0x3F0000, 0x3D0000},
         {1.0f, 0.5f, 0.75f, 0.25f}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.source);
        ASSERT_NE(k.profile, nullptr);
        cmsHTRANSFORM transform = cmsCreateTransform(k.profile, ILPixelTypeToLcmsFormat(k.source),
                                                     k.profile, ILPixelTypeToLcmsFormat(k.target),
                                                     INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
        ASSERT_NE(transform, nullptr);
        const size_t n = k.want.size();
        KernelRun run(k.key, k.target, 2, IL_KV_TRANSFORM);
        run.c.transform = transform; // freed with the converter
        std::vector<uint8_t> in = Bytes(k.in, 3);
        const std::vector<uint8_t> once = in;
        in.insert(in.end(), once.begin(), once.end()); // two pixels
        const auto out = run(in, std::vector<float>(2 * n));
        for (size_t x = 0; x < 2; ++x) {
            for (size_t i = 0; i + 1 < n; ++i)
                EXPECT_NEAR(out[x * n + i], k.want[i], 1e-4) << i;
            EXPECT_EQ(out[x * n + n - 1], k.want[n - 1]);
        }
    }
}

} // namespace
