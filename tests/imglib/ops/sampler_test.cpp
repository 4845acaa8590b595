// The four-point sampler gives the one-point sampler's pixels, and declines
// groups that reach outside the source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "imglib/ops/ops_support.h"
#include "imglib/ops/sampler_core.h"

namespace {

using vxtest::Image;

template <uint32_t C, bool Extra>
void ExpectSameAsOnePoint(ILPixelType type) {
    Image image(37, 23, type);
    vxtest::FillSeeded(&image, 5);
    const uint8_t background[4] = {9, 8, 7, 6};
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> inside(-1.0f, 40.0f), coarse(0.0f, 40.0f);
    int checked = 0, declined = 0, outside = 0;
    for (int group = 0; group < 20000; ++group) {
        ILFloat4 x, y;
        for (int k = 0; k < 4; ++k) {
            // Whole and half positions too, where a fraction is 0.
            x[k] = group % 3 == 0 ? std::round(coarse(rng) * 2) / 2 : inside(rng);
            y[k] = group % 3 == 0 ? std::round(coarse(rng) * 2) / 2 * 0.6f : inside(rng) * 0.6f;
        }
        if (group % 5 == 1) {
            // Points on and about the edges of the one-pixel margin outside.
            const float edges[] = {-0.5f, -0.4999f, -0.5001f, 37.5f, 37.4999f, 36.5f,
                                   -7.0f, 50.0f,    -1e30f,   NAN,   23.5f,    23.4999f};
            for (int k = 0; k < 4; ++k) {
                x[k] = edges[rng() % 12];
                y[k] = rng() % 2 ? edges[rng() % 12] : y[k];
            }
        }
        if (group == 7) x[2] = NAN;
        uint8_t fast[16] = {}, plain[16] = {};
        if (!ilsample::Sample8x4<C, Extra>(&image, x, y, fast)) {
            ++declined;
            // Groups wholly outside are the background.
            if (ilsample::Outside4(&image, x, y)) {
                ++outside;
                for (int k = 0; k < 4; ++k) {
                    ilsample::Sample8<C, Extra, false>(&image, x[k], y[k], background, nullptr,
                                                       plain + k * C);
                    ASSERT_EQ(std::memcmp(plain + k * C, background, C), 0) << "group " << group;
                }
            }
            continue;
        }
        for (int k = 0; k < 4; ++k)
            ilsample::Sample8<C, Extra, false>(&image, x[k], y[k], background, nullptr,
                                               plain + k * C);
        ASSERT_EQ(std::memcmp(fast, plain, 4 * C), 0) << "group " << group;
        ++checked;
    }
    EXPECT_GT(checked, 1000);
    EXPECT_GT(declined, 1000);
    EXPECT_GT(outside, 10);
}

TEST(Sampler, FourPointsGiveTheOnePointPixels) {
    ExpectSameAsOnePoint<3, false>(IL_BGR8);
    ExpectSameAsOnePoint<4, true>(IL_BGRA8);
    ExpectSameAsOnePoint<1, false>(IL_GREY8);
}

} // namespace
