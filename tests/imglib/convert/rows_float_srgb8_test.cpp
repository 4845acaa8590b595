// The float to dithered 8-bit sRGB kernels against the encoder itself, over
// rows of values where a fast path can go wrong: every code boundary of
// every offset (the first float of a code and the float before it), NaNs of
// both signs and any payload, infinities, negative zero, values from 1 up,
// denormals and the tiny values below the first step bucket.
#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "imglib/convert/rows_srgb8_dither.h"
#include "rows_wide_fixture.h"

namespace {

using namespace rowstest;

std::vector<float> HardValues() {
    std::vector<float> v;
    const ILSrgb8DitherTables* tables = ILSrgb8DitherTablesGet();
    EXPECT_NE(tables, nullptr);
    if (!tables) return v;
    for (float d : kOffsets) {
        const float* row = ILSrgb8DitherThresholds(tables, d);
        for (int k = 1; k <= 255; ++k)
            v.insert(v.end(), {row[k], std::nextafter(row[k], 0.0f)});
    }
    const float inf = std::numeric_limits<float>::infinity();
    v.insert(v.end(), {0.0f, -0.0f, -1.0f, -1e-30f, -inf, inf, 1.0f, std::nextafter(1.0f, 2.0f),
                       1.0078125f, 2.0f, 1e30f, std::numeric_limits<float>::max(), 1e-45f,
                       std::numeric_limits<float>::min(), 1e-30f, 0x1p-17f,
                       std::nextafter(0x1p-17f, 0.0f), 0.0031308f, 0.5f});
    for (uint32_t bits : {0x7F800001u, 0x7F80FFFFu, 0x7FC00000u, 0x7FFFFFFFu, 0xFF800001u,
                          0xFFC00000u, 0xFFFFFFFFu})
        v.push_back(std::bit_cast<float>(bits));
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < 2000; ++i)
        v.push_back(unit(rng) * unit(rng));
    if (v.size() % 2 == 0) v.push_back(0.25f); // odd: each value meets every column
    return v;
}

struct Pair {
    ILPixelType source, target;
    int colours, alpha, targetSamples; // per pixel
    bool reversed;
};

// The colour samples cycle through the values; alpha samples hold junk
// (NaN included) that must not matter. Four rows give every dither phase,
// and the width (four per value, plus three) leaves a short group at the end.
TEST_F(RowsTest, FloatToSrgb8EqualsTheEncoder) {
    const std::vector<float> values = HardValues();
    const uint64_t width = 4 * values.size() + 3;
    const Pair pairs[] = {
        {IL_BGR_FLOAT, IL_BGR8, 3, 0, 3, false},     {IL_BGR_FLOAT, IL_RGB8, 3, 0, 3, true},
        {IL_RGB_FLOAT, IL_BGR8, 3, 0, 3, true},      {IL_RGB_FLOAT, IL_RGB8, 3, 0, 3, false},
        {IL_BGRA_FLOAT, IL_BGR8, 3, 1, 3, false},    {IL_BGRPA_FLOAT, IL_RGB8, 3, 1, 3, true},
        {IL_RGBA_FLOAT, IL_BGR8, 3, 1, 3, true},     {IL_RGBPA_FLOAT, IL_RGB8, 3, 1, 3, false},
        {IL_GREY_FLOAT, IL_GREY8, 1, 0, 1, false},   {IL_GREY_FLOAT, IL_BGR8, 1, 0, 3, false},
        {IL_GREY_FLOAT, IL_RGB8, 1, 0, 3, false},    {IL_GREY_A_FLOAT, IL_GREY8, 1, 1, 1, false},
        {IL_GREY_PA_FLOAT, IL_BGR8, 1, 1, 3, false},
    };
    const float junk[] = {std::nanf(""), -1.0f, 0.5f, 1e30f};
    for (const Pair& p : pairs) {
        SCOPED_TRACE(testing::Message() << std::hex << p.source << " -> " << p.target);
        const int stride = p.colours + p.alpha;
        std::vector<float> source(width * stride);
        size_t next = 0;
        for (uint64_t x = 0; x < width; ++x) {
            for (int i = 0; i < p.colours; ++i)
                source[x * stride + i] = values[next++ % values.size()];
            if (p.alpha) source[x * stride + p.colours] = junk[x % 4];
        }
        KernelRun run(p.source, p.target, width);
        for (uint32_t phase = 0; phase < 4; ++phase) {
            ASSERT_EQ(run.c.ditherRow, phase);
            const auto out = run(source, std::vector<uint8_t>(width * p.targetSamples));
            uint64_t bad = 0;
            for (uint64_t x = 0; x < width; ++x) {
                const float d = run.c.ditherMatrixF[4 * (x % 4) + phase];
                for (int i = 0; i < p.targetSamples; ++i) {
                    const int from = p.colours == 1 ? 0 : p.reversed ? 2 - i : i;
                    const float v = source[x * stride + from];
                    const int want = ILLinearToSrgb8Dither(v, d);
                    if (out[x * p.targetSamples + i] != want && bad++ < 5)
                        ADD_FAILURE() << "phase " << phase << " pixel " << x << " sample " << i
                                      << " value " << v << " (bits 0x" << std::hex
                                      << std::bit_cast<uint32_t>(v) << std::dec << ") offset " << d
                                      << ": " << +out[x * p.targetSamples + i] << ", want " << want;
                }
            }
            EXPECT_EQ(bad, 0u) << "phase " << phase;
        }
    }
}

// Offsets that have no step entries (a matrix of the caller's) still give
// the encoder's codes, short rows included.
TEST_F(RowsTest, FloatToSrgb8WithOtherOffsets) {
    static const float kMatrix[16] = {0.5f,  0.1f,  0.9f, 0.25f, 0.0f, 0.75f, 0.3f, 0.6f,
                                      0.99f, 0.45f, 0.2f, 0.8f,  0.4f, 0.05f, 0.7f, 0.15f};
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(-0.1f, 1.1f);
    for (uint64_t width : {1u, 5u, 64u}) {
        std::vector<float> source(3 * width);
        for (float& v : source)
            v = unit(rng);
        KernelRun run(IL_BGR_FLOAT, IL_BGR8, width);
        run.c.ditherMatrixF = kMatrix;
        for (uint32_t phase = 0; phase < 4; ++phase) {
            const auto out = run(source, std::vector<uint8_t>(3 * width));
            for (uint64_t x = 0; x < width; ++x)
                for (int i = 0; i < 3; ++i)
                    ASSERT_EQ(out[3 * x + i], ILLinearToSrgb8Dither(source[3 * x + i],
                                                                    kMatrix[4 * (x % 4) + phase]))
                        << "width " << width << " phase " << phase << " pixel " << x;
        }
    }
}

} // namespace
