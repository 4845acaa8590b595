#include "jpeg2000/forward_wavelet.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace j2k {

namespace {

// One-dimensional analysis of n samples starting at coordinate i0, in place
// along `stride`: the low half (even coordinates) then the high half.
// `work` has room for n + 8 samples.
template <typename T>
void analysis(T* line, int64_t stride, int64_t n, int64_t i0, T* work) {
    constexpr int pad = 4;
    const int64_t k0 = i0 & 1;
    if (n == 1) {
        if (k0) line[0] *= 2;
        return;
    }
    T* x = work + pad;
    for (int64_t j = 0; j < n; ++j)
        x[j] = line[j * stride];
    const int64_t period = 2 * (n - 1);
    auto extend = [&] {
        for (int64_t k = 1; k <= pad; ++k) {
            int64_t m = k % period;
            if (m >= n) m = period - m;
            x[-k] = x[m];
            int64_t e = (n - 1 + k) % period;
            if (e >= n) e = period - e;
            x[n - 1 + k] = x[e];
        }
    };
    // A step on parity q updates the positions of that parity from their two
    // neighbours; the borders are extended symmetrically before each step.
    auto step = [&](int parity, auto&& update) {
        extend();
        int64_t j = 0;
        if (((i0 + j) & 1) != parity) ++j;
        for (; j < n; j += 2)
            update(x[j], x[j - 1], x[j + 1]);
    };
    if constexpr (std::is_integral_v<T>) {
        step(1, [](T& t, T a, T b) { t = static_cast<T>(int64_t{t} - ((int64_t{a} + b) >> 1)); });
        step(0,
             [](T& t, T a, T b) { t = static_cast<T>(int64_t{t} + ((int64_t{a} + b + 2) >> 2)); });
    } else {
        constexpr float alpha = -1.586134342059924f, beta = -0.052980118572961f,
                        gamma = 0.882911075530934f, delta = 0.443506852043971f,
                        kappa = 1.230174104914001f;
        step(1, [=](T& t, T a, T b) { t += alpha * (a + b); });
        step(0, [=](T& t, T a, T b) { t += beta * (a + b); });
        step(1, [=](T& t, T a, T b) { t += gamma * (a + b); });
        step(0, [=](T& t, T a, T b) { t += delta * (a + b); });
        for (int64_t j = 0; j < n; ++j)
            x[j] *= ((i0 + j) & 1) ? kappa : 1 / kappa;
    }
    const int64_t low = (n + 1 - k0) / 2;
    for (int64_t j = 0; j < low; ++j)
        line[j * stride] = x[k0 + 2 * j];
    for (int64_t j = 0; j < n - low; ++j)
        line[(low + j) * stride] = x[1 - k0 + 2 * j];
}

template <typename T>
void transform(const tile_component_state& tc, T* buf) {
    const int64_t width = tc.region.size.x;
    std::vector<T> work;
    for (int r = tc.levels; r >= 1; --r) {
        const rect reg = tc.resolutions[r].region;
        if (reg.empty()) continue;
        work.resize(static_cast<size_t>(std::max(reg.size.x, reg.size.y) + 8));
        for (int64_t x = 0; x < reg.size.x; ++x)
            analysis<T>(buf + x, width, reg.size.y, reg.pos.y, work.data());
        for (int64_t y = 0; y < reg.size.y; ++y)
            analysis<T>(buf + y * width, 1, reg.size.x, reg.pos.x, work.data());
    }
}

} // namespace

void forward_transform(const tile_component_state& tc, int32_t* buf) {
    transform(tc, buf);
}

void forward_transform(const tile_component_state& tc, float* buf) {
    transform(tc, buf);
}

} // namespace j2k
