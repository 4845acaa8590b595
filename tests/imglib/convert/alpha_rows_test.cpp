// Compositing and alpha-form kernels at their boundaries: shortcuts, encoded
// compositing, straight <-> premultiplied, half transparency, packing of grey
// with alpha, and sources whose fourth byte is no alpha; the step entries of
// the dithered 8-bit encoder that 8-bit compositing uses.
#include <gtest/gtest.h>

#include <Imath/half.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/convert/rows_srgb8_dither.h"
#include "imglib/convert/srgb.h"
#include "imglib/handle.h"

namespace {

using Imath::half;

uint16_t H(float v) {
    return half(v).bits();
}
float F(uint16_t bits) {
    half h;
    h.setBits(bits);
    return h;
}

class AlphaRowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { handle_ = ILCreateHandle("alpha rows test"); }
    static void TearDownTestSuite() { ILDestroyHandle(handle_); }
    void SetUp() override {
        ASSERT_NE(handle_, nullptr);
        ILConverterInit(&c_);
    }
    void TearDown() override { ILConverterFree(&c_); }

    // Selects and converts one row.
    template <typename In, typename Out>
    void Convert(ILPixelType s, ILPixelType t, uint8_t alphaHandling, const In* in, Out* out,
                 uint64_t width) {
        ILConverterSetAlphaMode(&c_, alphaHandling);
        ILConverterSetModes(&c_, s, t, width);
        ASSERT_TRUE(ILConverterPrepare(&c_));
        c_.rowKernel(&c_, in, out);
    }
    void Background(float r, float g, float b) {
        ILColor color;
        color.Set(r, g, b);
        ILConverterSetBackground(&c_, color);
    }

    static ILHandle* handle_;
    ILConverter c_;
};
ILHandle* AlphaRowsTest::handle_ = nullptr;

TEST_F(AlphaRowsTest, SixteenBitCompositingShortcuts) {
    Background(0.2f, 0.5f, 0.9f);
    ILConverterSetDither(&c_, false);
    const uint16_t row[8] = {1000, 30000, 65535, 0, // transparent
                             1000, 30000, 65535, 65535};
    uint8_t out[6];
    Convert(IL_BGRA16, IL_BGR8, 2, row, out, 2);
    EXPECT_EQ(std::memcmp(out, c_.backgroundBGR8, 3), 0);
    EXPECT_EQ(out[3], (1000 + 120) / 257);
    EXPECT_EQ(out[4], (30000 + 120) / 257);
    EXPECT_EQ(out[5], 255);
}

TEST_F(AlphaRowsTest, EightBitCompositingIsTheDitheredEncoderForEveryCodeAndAlpha) {
    // Every (value, alpha) pair against the formula evaluated with the
    // library's own encoder. Alpha changes every 256 pixels, so wide rows
    // also hold runs that are wholly opaque or transparent. Rows of 37 mix
    // whole chunks, groups of four and single pixels; rows of 3 are single
    // pixels only. Backgrounds past 0..1 reach both ends of the encoder; a
    // NaN background must still give what the formula gives.
    struct Case {
        const char* name;
        uint64_t width;
        float r, g, b;
        bool dither;
        int passes; // each pass meets every pair once
    };
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"wide rows", 65536, 0.8f, 0.3f, 0.1f, true, 4},
        {"white, rows of 37", 37, 1, 1, 1, true, 2},
        {"black, no dither", 65536, 0, 0, 0, false, 1},
        {"rows of 3", 3, 0.8f, 0.3f, 0.1f, true, 1},
        {"background past 0..1", 65536, -0.5f, 1.5f, inf, true, 2},
        {"NaN background", 37, nan, 0.5f, 0.5f, true, 1},
    };
    constexpr uint64_t kPairs = 65536;
    std::vector<uint8_t> pairs(kPairs * 4);
    for (uint32_t i = 0; i < kPairs; ++i) {
        pairs[i * 4 + 0] = static_cast<uint8_t>(i);
        pairs[i * 4 + 1] = static_cast<uint8_t>(i * 7);
        pairs[i * 4 + 2] = static_cast<uint8_t>(255 - i);
        pairs[i * 4 + 3] = static_cast<uint8_t>(i >> 8);
    }
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        ILConverterFree(&c_);
        ILConverterInit(&c_);
        Background(t.r, t.g, t.b);
        ILConverterSetDither(&c_, t.dither);
        ILConverterSetAlphaMode(&c_, 2);
        ILConverterSetModes(&c_, IL_BGRA8, IL_BGR8, t.width);
        ASSERT_TRUE(ILConverterPrepare(&c_));
        std::vector<uint8_t> row(t.width * 4), out(t.width * 3);
        int wrong = 0;
        for (uint64_t start = 0; start < kPairs * t.passes; start += t.width) {
            for (uint64_t x = 0; x < t.width; ++x)
                std::memcpy(&row[x * 4], &pairs[(start + x) % kPairs * 4], 4);
            const uint32_t r = c_.ditherRow;
            c_.rowKernel(&c_, row.data(), out.data());
            for (uint64_t x = 0; x < t.width; ++x) {
                const uint8_t a = row[x * 4 + 3];
                const float alpha = a / 255.0f, d = c_.ditherMatrixF[(x % 4) * 4 + r];
                for (int k = 0; k < 3; ++k) {
                    const uint8_t v = row[x * 4 + k];
                    const uint8_t want =
                        a == 255 ? v
                        : a == 0 ? c_.backgroundBGR8[k]
                                 : ILLinearToSrgb8Dither(alpha * ILSrgbTable8[v] +
                                                             (1.0f - alpha) * c_.backgroundBGRF[k],
                                                         d);
                    if (out[x * 3 + k] != want && wrong++ == 0)
                        ADD_FAILURE() << "value " << int(v) << " alpha " << int(a) << " at x " << x
                                      << " channel " << k << ": have " << int(out[x * 3 + k])
                                      << ", want " << int(want);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The step entries the compositing kernel encodes with, against the encoder
// for every float where they hold a curve (2^-17 up to 1), under all sixteen
// offsets; below and above that they are constant, which the edge values
// check. Unoptimised builds (the sanitizer run) take every 97th float.
TEST(DitheredSrgb8Steps, MatchTheEncoder) {
    const ILSrgb8DitherTables* tables = ILSrgb8DitherTablesGet();
    ASSERT_NE(tables, nullptr);
    float offsets[16];
    const uint32_t* steps[16];
    for (int b = 0; b < 16; ++b) {
        offsets[b] = (2 * b + 1) / 32.0f;
        steps[b] = ILSrgb8DitherSteps(tables, offsets[b]);
        ASSERT_NE(steps[b], nullptr) << offsets[b];
    }
    EXPECT_EQ(ILSrgb8DitherSteps(tables, 0.5f), nullptr);

    const float inf = std::numeric_limits<float>::infinity();
    const float edges[] = {-inf,
                           -1.0f,
                           -0.0f,
                           0.0f,
                           1e-45f,
                           1e-30f,
                           std::nextafter(0x1p-17f, 0.0f),
                           0x1p-17f,
                           0.0031308f,
                           0.5f,
                           std::nextafter(1.0f, 0.0f),
                           1.0f,
                           1.0078125f,
                           2.0f,
                           1e30f,
                           inf};
    for (float x : edges)
        for (int b = 0; b < 16; ++b)
            EXPECT_EQ(ILSrgb8DitherStep(steps[b], x), ILLinearToSrgb8Dither(x, offsets[b]))
                << "x " << x << " offset " << offsets[b];

#ifdef __OPTIMIZE__
    constexpr uint32_t kStride = 1;
#else
    constexpr uint32_t kStride = 97;
#endif
    constexpr uint32_t kBegin = 0x37000000, kEnd = 0x3F800000; // 2^-17 .. 1
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<uint64_t> bad(threads, 0);
    std::vector<uint32_t> firstBad(threads, 0);
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            const uint32_t span = (kEnd - kBegin) / kStride / threads + 1;
            for (uint32_t n = span * i; n < span * (i + 1); ++n) {
                const uint32_t bits = kBegin + n * kStride;
                if (bits >= kEnd) break;
                const float x = std::bit_cast<float>(bits);
                const float encoded = ILLinearToSrgb(x) * 255.0f;
                for (int b = 0; b < 16; ++b) {
                    const float v = encoded + offsets[b];
                    const int want = v >= 255.0f ? 255 : static_cast<int>(v);
                    if (ILSrgb8DitherStep(steps[b], x) != want && bad[i]++ == 0) firstBad[i] = bits;
                }
            }
        });
    }
    for (std::thread& t : pool)
        t.join();
    for (unsigned i = 0; i < threads; ++i)
        EXPECT_EQ(bad[i], 0u) << "first mismatch at float bits 0x" << std::hex << firstBad[i];
}

TEST_F(AlphaRowsTest, PremultipliedGreyCompositesInEncodedValues) {
    // Grey 200 at alpha 100 over a black background: min(100, 200) / 255.
    Background(0, 0, 0);
    ILConverterSetDither(&c_, false);
    const uint8_t row[2] = {200, 100};
    uint8_t out[1];
    Convert(IL_GREY_PA8, IL_GREY8, 2, row, out, 1);
    EXPECT_EQ(out[0], 100);
}

TEST_F(AlphaRowsTest, EightBitStraightAndPremultipliedRoundTrip) {
    const uint8_t straight[8] = {200, 100, 50, 128, 10, 20, 30, 0};
    uint8_t prem[8], back[8];
    Convert(IL_BGRA8, IL_BGRPA8, 1, straight, prem, 2);
    const uint8_t wantPrem[8] = {100, 50, 25, 128, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(prem, wantPrem, 8), 0);
    Convert(IL_BGRPA8, IL_BGRA8, 1, prem, back, 2);
    EXPECT_EQ(back[0], 199); // 100 / (128 / 255), truncated
    EXPECT_EQ(back[3], 128);
    const uint8_t transparent[4] = {255, 255, 255, 0};
    EXPECT_EQ(std::memcmp(back + 4, transparent, 4), 0);

    const uint16_t grey16[4] = {40000, 32768, 1234, 0};
    uint16_t p16[4], s16[4];
    Convert(IL_GREY_A16, IL_GREY_PA16, 1, grey16, p16, 2);
    EXPECT_EQ(p16[0], uint16_t(40000u * 32768u / 65535u));
    Convert(IL_GREY_PA16, IL_GREY_A16, 1, p16, s16, 2);
    EXPECT_NEAR(s16[0], 40000, 2);
    EXPECT_EQ(s16[2], 65535); // transparent: full scale
    EXPECT_EQ(s16[3], 0);
}

TEST_F(AlphaRowsTest, HalfAlphaForms) {
    // Premultiplying never clamps.
    const uint16_t straight[8] = {H(2.0f), H(4.0f), H(0.25f), H(0.5f), H(1), H(1), H(1), H(0)};
    uint16_t prem[8];
    Convert(IL_BGRA_HALF, IL_BGRPA_HALF, 1, straight, prem, 2);
    EXPECT_EQ(F(prem[0]), 1.0f);
    EXPECT_EQ(F(prem[1]), 2.0f);
    EXPECT_EQ(F(prem[2]), 0.125f);
    EXPECT_EQ(prem[3], H(0.5f));

    // Unpremultiplying a transparent pixel gives the largest finite half,
    // so premultiplying again restores 0 instead of NaN.
    const uint16_t premRow[8] = {H(0.25f), H(0.25f), H(0.25f), H(0.5f),
                                 H(0.3f),  H(0.3f),  H(0.3f),  H(0)};
    uint16_t back[8], again[8];
    Convert(IL_BGRPA_HALF, IL_BGRA_HALF, 1, premRow, back, 2);
    EXPECT_EQ(F(back[0]), 0.5f);
    EXPECT_EQ(F(back[4]), 65504.0f);
    EXPECT_EQ(back[7], H(0));
    Convert(IL_BGRA_HALF, IL_BGRPA_HALF, 1, back, again, 2);
    for (int k = 4; k < 7; ++k)
        EXPECT_EQ(F(again[k]), 0.0f);

    const uint16_t grey[4] = {H(0.2f), H(0.5f), H(0.7f), H(0)};
    uint16_t greyBack[4];
    Convert(IL_GREY_PA_HALF, IL_GREY_A_HALF, 1, grey, greyBack, 2);
    EXPECT_EQ(F(greyBack[0]), F(H(0.2f)) / F(H(0.5f)));
    EXPECT_TRUE(std::isfinite(F(greyBack[2])));
}

TEST_F(AlphaRowsTest, HalfCompositingOfATransparentPixelIsTheBackground) {
    Background(0.3f, 0.6f, 0.05f);
    const uint16_t white[4] = {H(1), H(1), H(1), H(0)};
    uint16_t out[3];
    Convert(IL_BGRA_HALF, IL_BGR_HALF, 2, white, out, 1);
    EXPECT_EQ(out[0], H(0.05f));
    EXPECT_EQ(out[1], H(0.6f));
    EXPECT_EQ(out[2], H(0.3f));
}

TEST_F(AlphaRowsTest, GreyWithAlphaPacksItsGreySample) {
    // Alphas are the opposite of the greys: only the grey may decide.
    const uint8_t row[10] = {0, 255, 64, 191, 128, 127, 192, 63, 255, 0};
    uint8_t one[1] = {0xFF}, two[2] = {0xFF, 0xFF}, four[3] = {0xFF, 0xFF, 0xFF};
    Convert(IL_GREY_A8, IL_GREY1, 1, row, one, 5);
    EXPECT_EQ(one[0], 0b00111111); // bits past the row keep their value
    Convert(IL_GREY_PA8, IL_GREY2, 1, row, two, 5);
    EXPECT_EQ(two[0], 0b00011011);
    EXPECT_EQ(two[1] >> 6, 3);
    Convert(IL_GREY_A8, IL_GREY4, 1, row, four, 5);
    EXPECT_EQ(four[0], 0x04);
    EXPECT_EQ(four[1], 0x8C);
    EXPECT_EQ(four[2] >> 4, 0xF);
}

TEST_F(AlphaRowsTest, FillerIsNotCoverage) {
    // A zero filler byte must not turn the picture into background.
    Background(1, 0, 0);
    const uint8_t bgrx[8] = {10, 20, 30, 0, 40, 50, 60, 0};
    uint8_t out[6];
    for (ILPixelType s : {IL_BGRX8, IL_RGBX8}) {
        Convert(s, IL_BGR8, 2, bgrx, out, 2);
        const bool reversed = s == IL_RGBX8;
        EXPECT_EQ(out[0], reversed ? 30 : 10);
        EXPECT_EQ(out[4], 50);
    }
}

TEST_F(AlphaRowsTest, GreyOverColouredBackgroundKeepsTheChannelOrder) {
    Background(1, 0, 0); // red
    const uint8_t grey8[2] = {77, 0};
    const uint16_t grey16[2] = {500, 0};
    const uint16_t greyHalf[2] = {H(0.5f), H(0)};
    uint8_t rgb[3];
    Convert(IL_GREY_A8, IL_RGB8, 2, grey8, rgb, 1);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[2], 0);
    Convert(IL_GREY_PA16, IL_RGB8, 2, grey16, rgb, 1);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[2], 0);
    float bgr[3];
    Convert(IL_GREY_A_HALF, IL_BGR_FLOAT, 2, greyHalf, bgr, 1);
    EXPECT_EQ(bgr[2], 1.0f);
    EXPECT_EQ(bgr[0], 0.0f);
}

} // namespace
