#include "jpeg2000/wavelet_kernel.h"

#include <gtest/gtest.h>

#include <cmath>

#include "jpeg2000/messages.h"
#include "support.h"

using namespace j2k;

TEST(WaveletKernel, LiftingDescriptions) {
    wavelet_kernel_desc k53(1, true);
    int n;
    float low, high;
    const auto& f53 = k53.lifting_steps(n, low, high);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(low, 1.0f);
    EXPECT_EQ(high, 1.0f);
    EXPECT_EQ(f53, (std::vector<float>{-0.5f, 0.25f}));
    EXPECT_EQ(k53.step_shifts(), (std::vector<int>{1, 2}));
    // The 5/3 analysis low-pass filter is (-1, 2, 6, 2, -1) / 8.
    int half;
    const auto& a = k53.impulse_response(0, half);
    EXPECT_EQ(half, 2);
    EXPECT_EQ(a, (std::vector<float>{-0.125f, 0.25f, 0.75f, 0.25f, -0.125f}));
    wavelet_kernel_desc k97(0, false);
    const auto& f97 = k97.lifting_steps(n, low, high);
    // The fixed-point multipliers the 16-bit stages use.
    const int want[] = {-103949, -3472, 57862, 29066};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(static_cast<int>(std::floor(65536.0 * f97[i] + 0.5)), want[i]);
    // The normalised 9/7 analysis low-pass filter has unit DC gain.
    double sum = 0;
    for (float t : k97.impulse_response(0, half))
        sum += t;
    EXPECT_EQ(half, 4);
    EXPECT_NEAR(sum, 1.0, 1e-6);
    EXPECT_EQ(j2ktest::failure_of([] { wavelet_kernel_desc(0, true); }), "Illegal DWT kernel");
    EXPECT_EQ(j2ktest::failure_of([] { wavelet_kernel_desc(2, false); }), "Illegal DWT kernel");
}

TEST(WaveletKernel, EnergyGains) {
    wavelet_kernel_desc k(0, false);
    EXPECT_EQ(k.synthesis_energy_gain(2, 0), 1.0);
    EXPECT_EQ(k.synthesis_energy_gain(3, 0), 0.0);
    EXPECT_DOUBLE_EQ(k.synthesis_energy_gain(2, 6), 4 * k.synthesis_energy_gain(2, 4));
    // The 5/3 synthesis low-pass (1/2, 1, 1/2) has energy 1.5 at depth 1.
    EXPECT_DOUBLE_EQ(wavelet_kernel_desc(1, true).synthesis_energy_gain(2, 1), 1.5);
    double low, high;
    const auto steps = k.bibo_gains(3, low, high);
    EXPECT_EQ(steps.size(), 4u);
    EXPECT_GT(low, 1.0);
    EXPECT_GT(high, 1.0);
}
