// Kernels into half-float targets, indexed rows into half grey, and the
// palette tables for half and B, G, R, A float targets.
#include "imglib/color.h"
#include "rows_wide_fixture.h"

namespace {

using namespace rowstest;

class HalfTarget : public RowsTest {};

// Nearest even on ties, infinity from 65520 up, subnormals kept; the bit
// patterns are written out, not computed with the half type.
TEST_F(HalfTarget, FloatRoundsToNearestEvenHalf) {
    const std::vector<float> in = {1.0f + 0x1p-11f,
                                   1.0f + 3 * 0x1p-11f,
                                   65504.0f,
                                   65519.0f,
                                   65520.0f,
                                   0x1p-24f,
                                   0x1p-26f,
                                   -0.0f,
                                   -1e9f};
    const std::vector<uint16_t> want = {0x3C00, 0x3C02, 0x7BFF, 0x7BFF, 0x7C00,
                                        0x0001, 0x0000, 0x8000, 0xFC00};
    KernelRun grey(IL_GREY_FLOAT, IL_GREY_HALF, in.size());
    EXPECT_EQ(grey(in, std::vector<uint16_t>(in.size())), want);
}

// Integer codes decode to linear light and then round to half: within half
// a half step of the sRGB curve in double precision. Alpha is linear.
TEST_F(HalfTarget, IntegerSourcesDecodeBeforeRounding) {
    auto close = [](uint16_t have, double want) {
        return std::abs(F(have) - want) <= want * 0x1p-11 + 0x1p-25;
    };
    std::vector<uint16_t> codes16(65536);
    for (int v = 0; v < 65536; ++v)
        codes16[v] = static_cast<uint16_t>(v);
    KernelRun grey16(IL_GREY16, IL_GREY_HALF, 65536);
    const auto out16 = grey16(codes16, std::vector<uint16_t>(65536));
    for (int v = 0; v < 65536; ++v)
        ASSERT_TRUE(close(out16[v], Decode(v / 65535.0))) << v;

    KernelRun same(IL_BGR8, IL_BGR_HALF, 1), reversed(IL_BGR8, IL_RGB_HALF, 1),
        alpha(IL_GREY_A8, IL_RGBA_HALF, 1);
    const double b = Decode(10 / 255.0), g = Decode(128 / 255.0), r = Decode(250 / 255.0);
    const auto s = same(std::vector<uint8_t>{10, 128, 250}, std::vector<uint16_t>(3));
    EXPECT_TRUE(close(s[0], b) && close(s[1], g) && close(s[2], r));
    EXPECT_EQ(reversed(std::vector<uint8_t>{10, 128, 250}, std::vector<uint16_t>(3)),
              (std::vector<uint16_t>{s[2], s[1], s[0]}));
    EXPECT_EQ(alpha(std::vector<uint8_t>{128, 51}, std::vector<uint16_t>(4)),
              (std::vector<uint16_t>{s[1], s[1], s[1], H(0.2f)}));
    KernelRun alpha16(IL_BGRPA16, IL_BGRPA_HALF, 1);
    EXPECT_EQ(alpha16(std::vector<uint16_t>{0, 65535, 0, 13107}, std::vector<uint16_t>(4)),
              (std::vector<uint16_t>{0, H(1.0f), 0, H(0.2f)}));
}

// RGBE (128, 64, 32, 129): f = 2^-7, so red 128.5 / 128, green 64.5 / 128,
// blue 32.5 / 128, all exact in half; E = 0 is black whatever the mantissas.
TEST_F(HalfTarget, RgbeScalesItsMantissas) {
    KernelRun rgbe(IL_BGR_RGBE, IL_BGR_HALF, 2);
    EXPECT_EQ(rgbe(std::vector<uint8_t>{128, 64, 32, 129, 255, 255, 255, 0},
                   std::vector<uint16_t>(6, 0xFFFF)),
              (std::vector<uint16_t>{0x3410, 0x3808, 0x3C04, 0, 0, 0}));
}

// 2-bit level 2 is the half nearest 0.40983, not the sRGB value of code 170;
// 4-bit 15 is 1; 1-bit follows the polarity, grey fills all three samples.
TEST_F(HalfTarget, SubByteGreyLevels) {
    KernelRun grey2(IL_GREY2, IL_GREY_HALF, 4), grey4(IL_GREY4, IL_RGB_HALF, 2);
    EXPECT_EQ(grey2(std::vector<uint8_t>{0x1B}, std::vector<uint16_t>(4)),
              (std::vector<uint16_t>{0, H(0.0892f), H(0.40983f), H(1.0f)}));
    EXPECT_EQ(grey4(std::vector<uint8_t>{0xF0}, std::vector<uint16_t>(6)),
              (std::vector<uint16_t>{H(1.0f), H(1.0f), H(1.0f), 0, 0, 0}));
    KernelRun white(IL_GREY1, IL_GREY_HALF, 3, IL_KV_ONE_BIT_WHITE),
        black(IL_GREY1, IL_BGR_HALF, 3, IL_KV_ONE_BIT_BLACK);
    const uint16_t one = H(1.0f);
    EXPECT_EQ(white(std::vector<uint8_t>{0xA0}, std::vector<uint16_t>(3)),
              (std::vector<uint16_t>{one, 0, one}));
    EXPECT_EQ(black(std::vector<uint8_t>{0xA0}, std::vector<uint16_t>(9)),
              (std::vector<uint16_t>{0, 0, 0, one, one, one, 0, 0, 0}));
}

// Luminance of B, G, R, A half into grey+alpha half: the alpha sample moves
// bit for bit, even a signalling NaN.
TEST_F(HalfTarget, LuminanceKeepsTheHalfAlphaBits) {
    KernelRun run(IL_BGRA_HALF, IL_GREY_A_HALF, 2);
    const auto out = run(std::vector<uint16_t>{H(0.1f), H(0.3f), H(0.8f), 0x7C01, 0, 0, 0, H(0.5f)},
                         std::vector<uint16_t>(4));
    const double want = 0.212656 * F(H(0.8f)) + 0.715158 * F(H(0.3f)) + 0.072186 * F(H(0.1f));
    EXPECT_NEAR(F(out[0]), want, want * 0x1p-11);
    EXPECT_EQ(out[1], 0x7C01);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], H(0.5f));
}

// Palette tables, one entry per palette colour in the target's form.
class PaletteTables : public RowsTest {
protected:
    void SetUp() override {
        RowsTest::SetUp();
        for (uint32_t i = 0; i < 256; ++i)
            palette_.SetEntry16(i, static_cast<uint16_t>(i * 257), 40000, 65535 - i * 200,
                                static_cast<uint16_t>(i * 256));
    }
    // The builder of (indexed source, target) run on a fresh converter.
    const void* Build(ILConverter* c, ILPixelType source, ILPixelType target) {
        ILConverterInit(c);
        ILConverterSetPalette(c, &palette_);
        const ILKernelEntry* e = FindEntry(source, target);
        EXPECT_TRUE(e && e->paletteBuilder);
        if (!e || !e->paletteBuilder || !e->paletteBuilder(c)) return nullptr;
        return c->paletteTable;
    }
    ILPalette palette_{256};
};

TEST_F(PaletteTables, EntriesHoldDecodedColourAndLinearAlpha) {
    const ILPaletteEntry e = palette_.GetEntry(255);
    const double b = Decode(e.blue / 65535.0), g = Decode(e.green / 65535.0),
                 r = Decode(e.red / 65535.0), a = e.alpha / 65535.0;
    const double y = 0.212656 * r + 0.715158 * g + 0.072186 * b;

    ILConverter c;
    const auto* bgraFloat = static_cast<const float*>(Build(&c, IL_INDEX8, IL_BGRA_FLOAT));
    ASSERT_NE(bgraFloat, nullptr);
    EXPECT_NEAR(bgraFloat[4 * 255 + 0], b, 1e-6);
    EXPECT_NEAR(bgraFloat[4 * 255 + 1], g, 1e-6);
    EXPECT_NEAR(bgraFloat[4 * 255 + 2], r, 1e-6);
    EXPECT_EQ(bgraFloat[4 * 255 + 3], static_cast<float>(e.alpha) / 65535.0f);
    ILConverterSetPalette(&c, nullptr);
    ILConverterFree(&c);

    struct Case {
        ILPixelType target;
        std::vector<double> want;
    };
    for (const Case& k : {Case{IL_GREY_HALF, {y}}, Case{IL_GREY_PA_HALF, {y, a}},
                          Case{IL_BGR_HALF, {b, g, r}}, Case{IL_BGRA_HALF, {b, g, r, a}}}) {
        SCOPED_TRACE(testing::Message() << std::hex << k.target);
        const auto* table = static_cast<const uint16_t*>(Build(&c, IL_INDEX_A4, k.target));
        ASSERT_NE(table, nullptr);
        const size_t n = k.want.size();
        for (size_t i = 0; i < n; ++i)
            EXPECT_NEAR(F(table[n * 255 + i]), k.want[i], k.want[i] * 0x1p-11 + 1e-7) << i;
        ILConverterSetPalette(&c, nullptr);
        ILConverterFree(&c);
    }

    ILConverterInit(&c); // no palette: no table
    EXPECT_FALSE(FindEntry(IL_INDEX8, IL_GREY_HALF)->paletteBuilder(&c));
    EXPECT_EQ(c.paletteTable, nullptr);
    ILConverterFree(&c);
}

// Indexed rows of every width into half grey copy their entries; codes past
// the palette's end give 0 instead of reading beyond the table.
TEST_F(PaletteTables, IndexedRowsIntoHalfGrey) {
    ILPalette small(3);
    small.SetEntry16(0, 0, 0, 0, 65535);
    small.SetEntry16(1, 65535, 65535, 65535, 65535);
    small.SetEntry16(2, 0, 65535, 0, 65535); // green
    const uint16_t green = H(0.715158f), white = H(1.0f);
    struct Case {
        ILPixelType source;
        std::vector<uint8_t> row;
        std::vector<uint16_t> want;
    };
    const Case cases[] = {
        {IL_INDEX8, {2, 1, 0, 3, 255}, {green, white, 0, 0, 0}},
        {IL_INDEX_A4, {0x21, 0x0F, 0x20}, {green, white, 0, 0, green}},
        {IL_INDEX2, {0x9C, 0x40}, {green, white, 0, 0, white}},
        {IL_INDEX1, {0xA0}, {white, 0, white, 0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << k.source);
        ILConverter c;
        ILConverterInit(&c);
        c.width = k.want.size();
        ILConverterSetPalette(&c, &small);
        const ILKernelEntry* e = FindEntry(k.source, IL_GREY_HALF);
        ASSERT_TRUE(e && e->kernel && e->paletteBuilder);
        ASSERT_TRUE(e->paletteBuilder(&c));
        std::vector<uint16_t> out(k.want.size(), 0xAAAA);
        e->kernel(&c, k.row.data(), out.data());
        for (size_t x = 0; x < out.size(); ++x)
            EXPECT_NEAR(F(out[x]), F(k.want[x]), 1e-3) << x;
        ILConverterSetPalette(&c, nullptr);
        ILConverterFree(&c);
    }
}

} // namespace
