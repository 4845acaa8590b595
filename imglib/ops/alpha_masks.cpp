// The shaped masks of Add Alpha: full opacity inside, falling off over the
// border with a Gaussian-like edge.
#include <cmath>

#include "imglib/ops/alpha.h"

namespace {
constexpr float kTwoPi = 6.2831855f;
constexpr float kE = 2.7182817f;
} // namespace

float ILAlphaMaskRect(int32_t x, int32_t y, int32_t w, int32_t h, float opacity, int32_t border) {
    if (border < 1) return opacity;
    const int32_t dx = x >= w - border ? w - x - 1 : x;
    const int32_t dy = y >= h - border ? h - y - 1 : y;
    const float b = static_cast<float>(border);
    const float k = (b * b + 0.5f) / kTwoPi;
    auto edge = [k](float d) { return 1 - std::pow(kE, -(d * d + 0.5f) / k); };
    float fx = dx < border ? edge(static_cast<float>(dx)) : 1;
    const float fy = dy < border ? edge(static_cast<float>(dy)) : 1;
    if (dx == border && dy == border) fx = edge(b - 1);
    return fy * fx * opacity;
}

float ILAlphaMaskEllipse(int32_t x, int32_t y, int32_t w, int32_t h, float opacity,
                         int32_t border) {
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const float u = (static_cast<float>(x) + 0.5f) / fw - 0.5f,
                v = (static_cast<float>(y) + 0.5f) / fh - 0.5f;
    const float r = u * u + v * v;
    if (r >= 0.25f) return 0;
    if (border > 0) {
        const float b = static_cast<float>(border);
        const float bu = (b + 0.5f) / fw - 0.5f, bv = (b + 0.5f) / fh - 0.5f;
        const float rb = (bu * bu + bv * bv) * 0.5f;
        if (r >= rb) {
            const float d = 2 * (fh + fw) * (0.25f - r), db = 2 * (fh + fw) * (0.25f - rb);
            return (1 - std::pow(kE, -(d * d + 0.5f) / ((db * db + 0.5f) / kTwoPi))) * opacity;
        }
    }
    return opacity;
}
