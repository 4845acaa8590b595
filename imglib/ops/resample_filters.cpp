// The filter table of the resampler. All kernel arithmetic is f32.
#include <cmath>

#include "imglib/ops/resample.h"

namespace {

constexpr float kPi = 3.1415927f;

float Box(float x) {
    return x >= -0.5f && x <= 0.5f ? 1.0f : 0.0f;
}

float Cosine(float x) {
    return std::fabs(x) < 1.0f ? (std::cos(kPi * x) + 1.0f) / 2.0f : 0.0f;
}

float Gauss(float x) {
    return std::fabs(x) <= 2.0f ? std::exp(-2.0f * x * x) * std::sqrt(0.63661975f) : 0.0f;
}

// B = C = 1/3.
float Mitchell(float x) {
    const float a = std::fabs(x);
    if (a <= 1.0f) return (7.0f * a * a * a - 12.0f * x * x + 16.0f / 3.0f) / 6.0f;
    if (a < 2.0f)
        return (-7.0f / 3.0f * a * a * a + 12.0f * x * x - 20.0f * a + 32.0f / 3.0f) / 6.0f;
    return 0.0f;
}

// a = -0.75.
float Cubic(float x) {
    const float a = std::fabs(x);
    if (a <= 1.0f) return 1.25f * a * a * a - 2.25f * x * x + 1.0f;
    if (a < 2.0f) return -0.75f * a * a * a + 3.75f * x * x - 6.0f * a + 3.0f;
    return 0.0f;
}

float Lanczos(float x) {
    const float a = std::fabs(x);
    if (a > 3.0f) return 0.0f;
    if (a == 0.0f) return 1.0f;
    const float t = kPi * a;
    return std::sin(t) * std::sin(t / 3.0f) / (t * t / 3.0f);
}

float Blackman(float x) {
    const float a = std::fabs(x);
    if (a > 8.0f) return 0.0f;
    if (a == 0.0f) return 1.0f;
    const float t = kPi * a;
    return (0.42f + 0.5f * std::cos(t / 8.0f) + 0.08f * std::cos(t / 4.0f)) * std::sin(t) / t;
}

constexpr ILResampleFilter kFilters[IL_RESAMPLE_FILTER_COUNT] = {
    {"Box", Box, 0.5f},           {"Cosine", Cosine, 1.0f}, {"Gauss", Gauss, 2.0f},
    {"Mitchell", Mitchell, 2.0f}, {"Cubic", Cubic, 2.0f},   {"Lanczos", Lanczos, 3.0f},
    {"Blackman", Blackman, 8.0f},
};

} // namespace

const char* const ILResampleFilterNames[IL_RESAMPLE_FILTER_COUNT] = {
    "Box", "Cosine", "Gauss", "Mitchell", "Cubic", "Lanczos", "Blackman"};

const ILResampleFilter* ILGetResampleFilter(uint8_t index) {
    return index < IL_RESAMPLE_FILTER_COUNT ? &kFilters[index] : nullptr;
}
