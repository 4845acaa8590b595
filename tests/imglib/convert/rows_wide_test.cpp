// Kernels from 16-bit, 32-bit, fixed-point, half, float, 64-bit float and
// packed 12-bit sources; the dithered 8-bit sRGB lookup; and checks that hold
// for every kernel of the deep-sample families (row bounds, one entry a key).
#include <algorithm>
#include <bit>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "imglib/color.h"
#include "imglib/convert/rows_srgb8_dither.h"
#include "imglib/convert/srgb.h"
#include "rows_wide_fixture.h"

namespace {

using namespace rowstest;

// Every float bit pattern through the lookup and the encoder. For values in
// (0, 1) the encoded value is computed once and all sixteen offsets are
// checked against it, and one offset (chosen by the pattern's low bits)
// through the encoder function itself; elsewhere the answer does not depend
// on the curve. Unoptimised builds (the sanitizer run) take every 97th pattern.
TEST(DitheredSrgb8, LookupMatchesEncoderForEveryFloat) {
    const ILSrgb8DitherTables* tables = ILSrgb8DitherTablesGet();
    ASSERT_NE(tables, nullptr);
    const float* rows[16];
    for (int b = 0; b < 16; ++b) {
        rows[b] = ILSrgb8DitherThresholds(tables, kOffsets[b]);
        ASSERT_NE(rows[b], nullptr) << kOffsets[b];
    }
    EXPECT_EQ(ILSrgb8DitherThresholds(tables, 0.5f), nullptr);
    EXPECT_EQ(ILSrgb8DitherThresholds(tables, 0.03f), nullptr);
#ifdef __OPTIMIZE__
    constexpr uint64_t kStep = 1;
#else
    constexpr uint64_t kStep = 97;
#endif
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<uint64_t> bad(threads, 0), firstBad(threads, 0);
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            const uint64_t begin = (uint64_t{1} << 32) * i / threads;
            const uint64_t end = (uint64_t{1} << 32) * (i + 1) / threads;
            for (uint64_t u = begin - begin % kStep; u < end; u += kStep) {
                if (u < begin) continue;
                const float x = std::bit_cast<float>(static_cast<uint32_t>(u));
                const int pick = static_cast<int>(u & 15);
                bool ok = ILSrgb8DitherLookup(tables, rows[pick], x) ==
                          ILLinearToSrgb8Dither(x, kOffsets[pick]);
                if (x > 0.0f && x < 1.0f) {
                    const float encoded = ILLinearToSrgb(x) * 255.0f;
                    for (int b = 0; b < 16; ++b) {
                        const float v = encoded + kOffsets[b];
                        const int want = v >= 255.0f ? 255 : static_cast<int>(v);
                        ok = ok && ILSrgb8DitherLookup(tables, rows[b], x) == want;
                    }
                }
                if (!ok && bad[i]++ == 0) firstBad[i] = u;
            }
        });
    }
    for (std::thread& t : pool)
        t.join();
    for (unsigned i = 0; i < threads; ++i)
        EXPECT_EQ(bad[i], 0u) << "first mismatch at float bits 0x" << std::hex << firstBad[i];
}

class WideSource : public RowsTest {};

// A row holding every half from 0 to 1, converted in four rows so that each
// value meets every dither phase; the codes must match the sRGB curve in
// double precision plus the pixel's offset, truncated.
TEST_F(WideSource, HalfToSrgb8MatchesTheCurve) {
    std::vector<uint16_t> row;
    for (uint16_t bits = 0; bits <= H(1.0f); ++bits)
        row.push_back(bits);
    KernelRun run(IL_GREY_HALF, IL_GREY8, row.size());
    for (uint32_t phase = 0; phase < 4; ++phase) {
        ASSERT_EQ(run.c.ditherRow, phase);
        const std::vector<uint8_t> out = run(row, std::vector<uint8_t>(row.size()));
        for (size_t x = 0; x < row.size(); ++x) {
            const double v = F(row[x]);
            const double d = run.c.ditherMatrixF[4 * (x % 4) + phase];
            const int want = v <= 0 ? 0 : v >= 1 ? 255 : -1;
            if (want >= 0)
                ASSERT_EQ(out[x], want) << v;
            else
                ASSERT_TRUE(TruncMatches(out[x], 255.0 * Encode(v) + d))
                    << v << " d " << d << " have " << +out[x];
        }
    }
    // 255 enc(0.5) is about 187.52: 188 where the offset is at least 0.53125.
    KernelRun grey(IL_GREY_HALF, IL_BGR8, 4);
    for (uint32_t phase = 0; phase < 4; ++phase) {
        const auto out = grey(std::vector<uint16_t>(4, H(0.5f)), std::vector<uint8_t>(12));
        for (int x = 0; x < 4; ++x) {
            const float d = grey.c.ditherMatrixF[4 * x + phase];
            EXPECT_EQ(out[3 * x], d >= 0.53125f ? 188 : 187);
            EXPECT_EQ(out[3 * x + 2], out[3 * x]);
        }
    }
    ILConverterSetDither(&grey.c, false);
    EXPECT_EQ(grey(std::vector<uint16_t>(4, H(0.5f)), std::vector<uint8_t>(12)),
              std::vector<uint8_t>(12, 187));
}

TEST_F(WideSource, FloatColourToSrgb8KeepsOrderAndMatchesTheCurve) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    constexpr size_t kWidth = 4096;
    std::vector<float> row(3 * kWidth);
    for (float& v : row)
        v = unit(rng) * unit(rng); // denser near black
    for (auto [s, t, reversed] : {std::tuple{IL_BGR_FLOAT, IL_BGR8, false},
                                  {IL_BGR_FLOAT, IL_RGB8, true},
                                  {IL_RGB_FLOAT, IL_BGR8, true},
                                  {IL_RGB_FLOAT, IL_RGB8, false}}) {
        SCOPED_TRACE(testing::Message() << std::hex << s << " -> " << t);
        KernelRun run(s, t, kWidth);
        const auto out = run(row, std::vector<uint8_t>(3 * kWidth));
        for (size_t x = 0; x < kWidth; ++x) {
            const double d = run.c.ditherMatrixF[4 * (x % 4)];
            for (int k = 0; k < 3; ++k) {
                const int have = out[3 * x + (reversed ? 2 - k : k)];
                ASSERT_TRUE(TruncMatches(have, 255.0 * Encode(row[3 * x + k]) + d))
                    << row[3 * x + k] << " have " << have;
            }
        }
    }
}

// 8-bit codes survive a trip through linear float or half and back, under
// every dither offset (half keeps 11 bits, enough with dithering off).
TEST_F(WideSource, EightBitCodesSurviveFloatAndHalf) {
    std::vector<uint8_t> codes(3 * 256);
    for (int v = 0; v < 256; ++v)
        codes[3 * v] = codes[3 * v + 1] = codes[3 * v + 2] = static_cast<uint8_t>(v);
    for (bool dither : {true, false}) {
        KernelRun toFloat(IL_BGR8, IL_BGR_FLOAT, 256), back(IL_BGR_FLOAT, IL_BGR8, 256);
        ILConverterSetDither(&back.c, dither);
        const auto floats = toFloat(codes, std::vector<float>(3 * 256));
        for (int phase = 0; phase < 4; ++phase)
            EXPECT_EQ(back(floats, std::vector<uint8_t>(3 * 256)), codes) << "phase " << phase;
    }
    KernelRun toHalf(IL_BGR8, IL_BGR_HALF, 256), back(IL_BGR_HALF, IL_BGR8, 256);
    ILConverterSetDither(&back.c, false);
    EXPECT_EQ(back(toHalf(codes, std::vector<uint16_t>(3 * 256)), std::vector<uint8_t>(3 * 256)),
              codes);
}

// The 16-bit writers: rounded sRGB (scale 65535.5), dithered sRGB, and
// rounded or dithered linear alpha.
TEST_F(WideSource, SixteenBitWritersMatchTheirFormulas) {
    std::vector<float> values;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < 2000; ++i)
        values.push_back(unit(rng) * unit(rng));
    for (float v : {0.0f, 0.0031308f, 0.5f, 0.99999f, 1.0f})
        values.push_back(v);
    const size_t n = values.size();
    std::vector<uint16_t> halves;
    std::vector<float> greyAlpha;
    for (float v : values) {
        halves.push_back(H(v));
        greyAlpha.push_back(0.25f);
        greyAlpha.push_back(v);
    }
    std::vector<uint16_t> halfGreyAlpha;
    for (uint16_t h : halves) {
        halfGreyAlpha.push_back(H(0.25f));
        halfGreyAlpha.push_back(h);
    }

    KernelRun rounded(IL_GREY_HALF, IL_GREY16, n), dithered(IL_GREY_FLOAT, IL_GREY16, n),
        alpha(IL_GREY_A_HALF, IL_GREY_A16, n), alphaDithered(IL_GREY_A_FLOAT, IL_GREY_A16, n);
    const auto w16 = rounded(halves, std::vector<uint16_t>(n));
    const auto w16d = dithered(values, std::vector<uint16_t>(n));
    const auto a16 = alpha(halfGreyAlpha, std::vector<uint16_t>(2 * n));
    const auto a16d = alphaDithered(greyAlpha, std::vector<uint16_t>(2 * n));
    for (size_t x = 0; x < n; ++x) {
        const double h = F(halves[x]), v = values[x];
        const double d = dithered.c.ditherMatrixF[4 * (x % 4)];
        SCOPED_TRACE(testing::Message() << "value " << v);
        EXPECT_TRUE(h >= 1 ? w16[x] == 65535 : TruncMatches(w16[x], 65535.5 * Encode(h), 1e-2));
        EXPECT_TRUE(v >= 1 ? w16d[x] == 65535
                           : TruncMatches(w16d[x], 65535.0 * Encode(v) + d, 1e-2));
        EXPECT_TRUE(h >= 1 ? a16[2 * x + 1] == 65535
                           : TruncMatches(a16[2 * x + 1], 65535.5 * h, 1e-2));
        EXPECT_TRUE(v >= 1 ? a16d[2 * x + 1] == 65535
                           : TruncMatches(a16d[2 * x + 1], 65535.0 * v + d, 1e-2));
    }
    EXPECT_EQ(rounded.c.ditherRow, 0u); // rounding writers leave the phase alone
    EXPECT_EQ(dithered.c.ditherRow, 1u);
}

// NaN and infinities: integer targets clamp (NaN and -inf to 0, +inf to full
// scale, alpha too), the 1-bit threshold clamps, float and half targets keep
// the value.
TEST_F(WideSource, NonFiniteSamplesGiveDefinedResults) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = INFINITY;
    const std::vector<float> f = {nan, inf, -inf, -1e30f, 1e30f};
    const std::vector<uint16_t> h = {H(nan), H(inf), H(-inf), H(-300.0f), H(300.0f)};
    const std::vector<uint8_t> want8 = {0, 255, 0, 0, 255};
    std::vector<float> fa;
    for (float v : f)
        fa.insert(fa.end(), {0.5f, v});

    KernelRun toGrey8(IL_GREY_FLOAT, IL_GREY8, 5), halfToGrey8(IL_GREY_HALF, IL_GREY8, 5),
        toRgb8(IL_BGR_FLOAT, IL_BGR8, 1);
    EXPECT_EQ(toGrey8(f, std::vector<uint8_t>(5)), want8);
    EXPECT_EQ(halfToGrey8(h, std::vector<uint8_t>(5)), want8);
    EXPECT_EQ(toRgb8(std::vector<float>{nan, inf, -inf}, std::vector<uint8_t>(3)),
              (std::vector<uint8_t>{0, 255, 0}));

    KernelRun toGrey16(IL_GREY_FLOAT, IL_GREY16, 5), halfToGrey16(IL_GREY_HALF, IL_GREY16, 5);
    const std::vector<uint16_t> want16 = {0, 65535, 0, 0, 65535};
    EXPECT_EQ(toGrey16(f, std::vector<uint16_t>(5)), want16);
    EXPECT_EQ(halfToGrey16(h, std::vector<uint16_t>(5)), want16);

    KernelRun alpha8(IL_GREY_A_FLOAT, IL_GREY_A8, 5), alpha16(IL_GREY_A_FLOAT, IL_GREY_A16, 5);
    const auto a8 = alpha8(fa, std::vector<uint8_t>(10));
    const auto a16 = alpha16(fa, std::vector<uint16_t>(10));
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(a8[2 * x + 1], want8[x]) << x;
        EXPECT_EQ(a16[2 * x + 1], want16[x]) << x;
    }

    KernelRun to4(IL_GREY_FLOAT, IL_GREY4, 5), to2(IL_GREY_HALF, IL_GREY2, 5),
        to1(IL_GREY_HALF, IL_GREY1, 5);
    EXPECT_EQ(to4(f, std::vector<uint8_t>(3)), (std::vector<uint8_t>{0x0F, 0x00, 0xF0}));
    EXPECT_EQ(to2(h, std::vector<uint8_t>(2)), (std::vector<uint8_t>{0x30, 0xC0}));
    EXPECT_EQ(to1(h, std::vector<uint8_t>{0x00}), std::vector<uint8_t>{0x48});

    KernelRun toFloat(IL_GREY_HALF, IL_GREY_FLOAT, 5);
    const auto passed = toFloat(h, std::vector<float>(5));
    EXPECT_TRUE(std::isnan(passed[0]));
    EXPECT_EQ(passed[1], inf);
    EXPECT_EQ(passed[4], 300.0f);
}

// Grey packed below 8 bits: 2-bit pixel x lands in bits 6 - 2 (x mod 4) of
// byte x / 4 and a new byte starts afresh; 4-bit pixels fill high then low
// nibbles; 1-bit pixels change only their own bits.
TEST_F(WideSource, GreyPacksIntoSubByteTargets) {
    const std::vector<uint16_t> ones(5, H(1.0f));
    KernelRun to2(IL_GREY_HALF, IL_GREY2, 5);
    EXPECT_EQ(to2(ones, std::vector<uint8_t>{0x00, 0x3F}), (std::vector<uint8_t>{0xFF, 0xC0}));
    KernelRun to4(IL_GREY_FLOAT, IL_GREY4, 3);
    EXPECT_EQ(to4(std::vector<float>{1.0f, 0.0f, 1.0f}, std::vector<uint8_t>{0x00, 0x0F}),
              (std::vector<uint8_t>{0xF0, 0xF0}));
    // 0.5 is white only where the offset reaches 0.5.
    KernelRun to1(IL_GREY_HALF, IL_GREY1, 12);
    const auto bits = to1(std::vector<uint16_t>(12, H(0.5f)), std::vector<uint8_t>{0x00, 0x0F});
    uint32_t want = 0;
    for (int x = 0; x < 12; ++x)
        if (to1.c.ditherMatrixF[4 * (x % 4)] >= 0.5f) want |= 0x8000u >> x;
    EXPECT_EQ(bits, (std::vector<uint8_t>{static_cast<uint8_t>(want >> 8),
                                          static_cast<uint8_t>(want | 0x0F)}));
}

// Two 12-bit samples in three bytes: the second of three-sample pixels starts
// in the low nibble of byte 4.
TEST_F(WideSource, TwelveBitRows) {
    // Samples 0x123, 0x456, 0x789 | 0xABC, 0xDEF, 0xFFF.
    const std::vector<uint8_t> rgb = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x00};
    const std::vector<uint8_t> rgbFull = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF, 0xFF};
    auto widen = [](uint16_t v) { return static_cast<uint16_t>(v << 4 | v >> 8); };
    KernelRun same(IL_BGR12, IL_BGR16, 2), reversed(IL_RGB12, IL_BGR16, 2),
        narrow(IL_BGR12, IL_RGB8, 2);
    EXPECT_EQ(same(rgbFull, std::vector<uint16_t>(6)),
              (std::vector<uint16_t>{widen(0x123), widen(0x456), widen(0x789), widen(0xABC),
                                     widen(0xDEF), 0xFFFF}));
    EXPECT_EQ(reversed(rgb, std::vector<uint16_t>(6)),
              (std::vector<uint16_t>{widen(0x789), widen(0x456), widen(0x123), widen(0x000),
                                     widen(0xDEF), widen(0xABC)}));
    EXPECT_EQ(narrow(rgb, std::vector<uint8_t>(6)),
              (std::vector<uint8_t>{0x78, 0x45, 0x12, 0x00, 0xDE, 0xAB}));
    // Grey with alpha to 8-bit colour reads the alpha and drops it.
    KernelRun greyAlpha(IL_GREY_A12, IL_BGR8, 2);
    EXPECT_EQ(greyAlpha(rgb, std::vector<uint8_t>(6)),
              (std::vector<uint8_t>{0x12, 0x12, 0x12, 0x78, 0x78, 0x78}));
    // An odd grey row ends on a high-phase sample whose second byte is the row's last.
    KernelRun grey(IL_GREY12, IL_GREY16, 3);
    EXPECT_EQ(grey(std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78, 0x90}, std::vector<uint16_t>(3)),
              (std::vector<uint16_t>{widen(0x123), widen(0x456), widen(0x789)}));
}

TEST_F(WideSource, FixedPointSamples) {
    EXPECT_EQ(ILFixed16ToFloat(0x2000), 8192.0f * (1.0f / 8191.0f));
    EXPECT_EQ(ILFixed16ToFloat(0xE000), -8192.0f * (1.0f / 8191.0f));
    EXPECT_EQ(ILFixed16ToFloat(0x8000), -32768.0f * (1.0f / 8191.0f));
    EXPECT_EQ(ILFixed32ToFloat(0xFFFFFFFF), -1.0f * (1.0f / 16777215.0f));
    EXPECT_EQ(ILFixed32ToFloat(16777215), 1.0f);
    KernelRun grey(IL_GREY_FIXED16, IL_BGR8, 2);
    EXPECT_EQ(grey(std::vector<uint16_t>{0xE000, 0x2000}, std::vector<uint8_t>(6)),
              (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
    KernelRun colour(IL_RGB_FIXED32, IL_BGR_FLOAT, 1);
    EXPECT_EQ(colour(std::vector<uint32_t>{16777215, 0, 0xFF000001}, std::vector<float>(3)),
              (std::vector<float>{ILFixed32ToFloat(0xFF000001), 0.0f, 1.0f}));
}

// Colour into grey weighs the decoded samples of a B, G, R source.
TEST_F(WideSource, LuminanceOfEachSourceKind) {
    const double r = 0.8, g = 0.3, b = 0.1;
    const double want = 0.212656 * r + 0.715158 * g + 0.072186 * b;
    KernelRun f(IL_BGR_FLOAT, IL_GREY_FLOAT, 1), h(IL_BGR_HALF, IL_GREY_FLOAT, 1),
        fa(IL_BGRA_FLOAT, IL_GREY_A_FLOAT, 1);
    EXPECT_NEAR(f(std::vector<float>{0.1f, 0.3f, 0.8f}, std::vector<float>(1))[0], want, 1e-6);
    EXPECT_NEAR(h(std::vector<uint16_t>{H(0.1f), H(0.3f), H(0.8f)}, std::vector<float>(1))[0], want,
                1e-3);
    EXPECT_EQ(fa(std::vector<float>{0.1f, 0.3f, 0.8f, 0.75f}, std::vector<float>(2))[1], 0.75f);
    // Codes: 8-bit (200, 100, 50) and 16-bit (51400, 25700, 12850) are the same colour.
    const double codeWant = 0.212656 * Decode(50 / 255.0) + 0.715158 * Decode(100 / 255.0) +
                            0.072186 * Decode(200 / 255.0);
    KernelRun c8(IL_BGR8, IL_GREY_FLOAT, 1), c16(IL_BGR16, IL_GREY_FLOAT, 1),
        c16a(IL_BGRA16, IL_GREY_A_FLOAT, 1);
    EXPECT_NEAR(c8(std::vector<uint8_t>{200, 100, 50}, std::vector<float>(1))[0], codeWant, 1e-6);
    EXPECT_NEAR(c16(std::vector<uint16_t>{51400, 25700, 12850}, std::vector<float>(1))[0], codeWant,
                1e-6);
    EXPECT_EQ(c16a(std::vector<uint16_t>{51400, 25700, 12850, 65535}, std::vector<float>(2))[1],
              1.0f);
    KernelRun s32(IL_GREY_A32, IL_GREY_A_FLOAT, 1);
    const auto grey32 = s32(std::vector<uint32_t>{0xFFFFFFFF, 0x80000000}, std::vector<float>(2));
    EXPECT_FLOAT_EQ(grey32[0], 1.0f);
    EXPECT_EQ(grey32[1], 0.5f);
}

// Kernels of a source without alpha leave the target's alpha as it was; the
// half copies move samples bit for bit.
TEST_F(WideSource, HalfSamplesMoveUnchanged) {
    const uint16_t nan = 0x7C01; // a signalling NaN half keeps its payload
    KernelRun grey(IL_GREY_HALF, IL_GREY_A_HALF, 2), colour(IL_BGR_HALF, IL_BGRA_HALF, 1),
        swap(IL_BGRA_HALF, IL_RGBA_HALF, 1);
    EXPECT_EQ(grey(std::vector<uint16_t>{nan, H(2.0f)}, std::vector<uint16_t>(4, 0xAAAA)),
              (std::vector<uint16_t>{nan, 0xAAAA, H(2.0f), 0xAAAA}));
    EXPECT_EQ(colour(std::vector<uint16_t>{1, 2, 3}, std::vector<uint16_t>(4, 0xAAAA)),
              (std::vector<uint16_t>{1, 2, 3, 0xAAAA}));
    EXPECT_EQ(swap(std::vector<uint16_t>{1, 2, 3, nan}, std::vector<uint16_t>(4)),
              (std::vector<uint16_t>{3, 2, 1, nan}));
}

TEST(CmykInks, NoInkIsTheMatrixRowSumsAndFullBlackIsBlack) {
    float r, g, b;
    ILCmykToLinearRgb(1, 1, 1, 1, &r, &g, &b);
    EXPECT_NEAR(r, 0.951473 + 0.134574 + 0.018108, 1e-6);
    EXPECT_NEAR(g, 0.060909 + 0.909772 + 0.016185, 1e-6);
    EXPECT_NEAR(b, 0.050806 + 0.100327 + 0.67203, 1e-6);
    ILCmykToLinearRgb(1, 1, 1, 0, &r, &g, &b);
    EXPECT_EQ(r + g + b, 0.0f);
    ILCmykToLinearRgb(0.5f, 1, 1, 1, &r, &g, &b);
    EXPECT_NEAR(r, 0.951473 * std::pow(0.5, 2.2) + 0.134574 + 0.018108, 1e-5);
}

// --- Every kernel of the three families ---------------------------------------

uint64_t RowBytes(ILPixelType type, uint64_t width) {
    const uint64_t bits = (type & IL_KIND_MASK) == IL_KIND_RGBE
                              ? 32
                              : uint64_t{ILBitsPerSample(type)} * ILChannelCount(type);
    return (width * bits + 7) / 8;
}

// Rows of random bytes (NaNs and huge values included) of exact size, the
// target followed by guard bytes: no kernel may touch a byte past either
// row. Indexed sources get a four-entry palette, so most codes lie past it.
TEST_F(WideSource, EveryKernelStaysInsideItsRows) {
    std::mt19937 rng(3);
    ILPalette palette(4);
    for (uint32_t i = 0; i < 4; ++i)
        palette.SetEntry16(i, 1000 * i, 20000, 65535 - i, 30000);
    for (auto table : {ILKernelsFloatTarget(), ILKernelsWideSource(), ILKernelsHalfFloatTarget()}) {
        for (const ILKernelEntry& e : table) {
            if (!e.kernel || e.variant == IL_KV_TRANSFORM) continue;
            SCOPED_TRACE(testing::Message() << std::hex << e.source << " -> " << e.target);
            for (uint64_t width = 1; width <= 9; ++width) {
                ILConverter c;
                ILConverterInit(&c);
                c.width = width;
                c.premultipliedSource = (e.source & IL_EXTRA_PREMULTIPLIED) != 0;
                if (e.paletteBuilder) {
                    ILConverterSetPalette(&c, &palette);
                    ASSERT_TRUE(e.paletteBuilder(&c));
                }
                std::vector<uint8_t> source(RowBytes(e.source, width));
                for (uint8_t& b : source)
                    b = static_cast<uint8_t>(rng());
                const uint64_t targetBytes = RowBytes(e.target, width);
                std::vector<uint8_t> target(targetBytes + 16, 0xA5);
                e.kernel(&c, source.data(), target.data());
                for (uint64_t i = targetBytes; i < target.size(); ++i)
                    ASSERT_EQ(target[i], 0xA5) << "width " << width << " byte " << i;
                ILConverterSetPalette(&c, nullptr);
                ILConverterFree(&c);
            }
        }
    }
}

// One kernel per (source, target, variant) across the three tables, and the
// table builder of an indexed source never split from its kernel twice.
TEST(KernelTables, EachKeyHasOneEntry) {
    std::set<std::tuple<ILPixelType, ILPixelType, int>> keys;
    for (auto table : {ILKernelsFloatTarget(), ILKernelsWideSource(), ILKernelsHalfFloatTarget()}) {
        for (const ILKernelEntry& e : table) {
            EXPECT_TRUE(e.kernel || e.paletteBuilder);
            EXPECT_TRUE(keys.insert({e.source, e.target, e.variant}).second)
                << std::hex << e.source << " -> " << e.target << " variant " << +e.variant;
        }
    }
}

} // namespace
