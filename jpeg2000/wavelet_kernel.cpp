#include "jpeg2000/wavelet_kernel.h"

#include <cmath>

#include "jpeg2000/messages.h"

namespace j2k {

namespace {
constexpr int level_cap = 4;
}

wavelet_kernel_desc::wavelet_kernel_desc(int kernel_id, bool reversible)
    : id_(kernel_id), reversible_(reversible) {
    if (kernel_id == 0 && !reversible) {
        factors_ = {-1.5861343f, -0.052980117f, 0.8829111f, 0.44350687f};
    } else if (kernel_id == 1) {
        factors_ = {-0.5f, 0.25f};
        if (reversible) shifts_ = {1, 2};
    } else {
        fail("Illegal DWT kernel");
    }
    const int n = static_cast<int>(factors_.size());
    // Synthesis responses: undo the lifting steps on a unit impulse at an
    // even (low-pass) or odd (high-pass) position.
    const int span = 2 * n + 3, mid = span / 2 + 1;
    for (int branch = 0; branch < 2; ++branch) {
        std::vector<double> x(static_cast<size_t>(2 * mid + 2), 0.0);
        x[mid + branch] = 1.0;
        for (int i = n - 1; i >= 0; --i) {
            const int parity = (i % 2 == 0) ? 1 : 0;
            std::vector<double> y = x;
            for (int j = 1; j + 1 < static_cast<int>(x.size()); ++j)
                if (((j - mid) & 1) == parity) y[j] -= factors_[i] * (x[j - 1] + x[j + 1]);
            x = y;
        }
        const int half = branch == 0 ? n - 1 : n;
        const int centre = mid + branch;
        std::vector<float>& r = responses_[2 + branch];
        for (int k = -half; k <= half; ++k)
            r.push_back(static_cast<float>(x[centre - k]));
        half_[2 + branch] = half;
    }
    // Analysis responses from the synthesis ones.
    half_[0] = half_[3];
    half_[1] = half_[2];
    for (int kind = 0; kind < 2; ++kind) {
        const std::vector<float>& s = responses_[kind == 0 ? 3 : 2];
        const int half = half_[kind];
        for (int k = -half; k <= half; ++k)
            responses_[kind].push_back((k & 1 ? -1.0f : 1.0f) * s[k + half]);
    }
    if (!reversible) {
        double u = 0;
        for (float t : responses_[0])
            u += t;
        low_norm_ = static_cast<float>(1.0 / u);
        for (float& t : responses_[0])
            t = static_cast<float>(t / u);
        for (float& t : responses_[2])
            t = static_cast<float>(t * u);
        const int h = half_[1];
        double w = responses_[1][h];
        for (int i = 1; i <= h; ++i)
            w += 2.0 * (i & 1 ? -1.0 : 1.0) * responses_[1][h + i];
        high_norm_ = static_cast<float>(1.0 / w);
        for (float& t : responses_[1])
            t = static_cast<float>(t / w);
        for (float& t : responses_[3])
            t = static_cast<float>(t * w);
    }
    for (int b = 0; b < 2; ++b)
        for (int d = 0; d <= level_cap; ++d)
            gains_[b][d] = energy_gain(2 + b, d);
}

const std::vector<float>& wavelet_kernel_desc::lifting_steps(int& count, float& low_norm,
                                                             float& high_norm) const {
    count = static_cast<int>(factors_.size());
    low_norm = low_norm_;
    high_norm = high_norm_;
    return factors_;
}

const std::vector<float>& wavelet_kernel_desc::impulse_response(int kind, int& half_length) const {
    half_length = half_[kind];
    return responses_[kind];
}

const wavelet_kernel_desc& wavelet_kernel_desc::standard(int kernel_id, bool reversible) {
    static const wavelet_kernel_desc k97(0, false), k53r(1, true), k53i(1, false);
    if (kernel_id == 0 && !reversible) return k97;
    if (kernel_id == 1) return reversible ? k53r : k53i;
    fail("Illegal DWT kernel");
}

double wavelet_kernel_desc::synthesis_energy_gain(int branch, int depth) const {
    if (depth <= level_cap) return gains_[branch - 2][std::max(depth, 0)];
    double gain = gains_[branch - 2][level_cap];
    for (int e = level_cap; e < depth; ++e)
        gain *= 2;
    return gain;
}

double wavelet_kernel_desc::energy_gain(int branch, int depth) const {
    if (depth == 0) return branch == 2 ? 1.0 : 0.0;
    const int extra = std::max(0, depth - level_cap);
    const int d = depth - extra;
    const std::vector<float>& low = responses_[2];
    const int lh = half_[2];
    std::vector<double> h(responses_[branch].begin(), responses_[branch].end());
    for (int l = 1; l < d; ++l) {
        // Up-sample by 2 and filter with the low-pass synthesis filter.
        std::vector<double> next(2 * h.size() - 1 + 2 * lh, 0.0);
        for (size_t k = 0; k < h.size(); ++k)
            for (int j = -lh; j <= lh; ++j)
                next[2 * k + j + lh] += h[k] * low[j + lh];
        h.swap(next);
    }
    double gain = 0;
    for (double v : h)
        gain += v * v;
    for (int e = 0; e < extra; ++e)
        gain *= 2;
    return gain;
}

std::vector<double> wavelet_kernel_desc::bibo_gains(int levels, double& low_gain,
                                                    double& high_gain) const {
    low_gain = 1;
    high_gain = 0;
    std::vector<double> step_gains;
    if (levels <= 0) return step_gains;
    const int n = static_cast<int>(factors_.size());
    int support = n + 1;
    for (int l = 1; l < level_cap; ++l)
        support = n + 2 * support;
    const int size = 4 * support + 8, mid = size / 2;
    std::vector<double> p(size, 0.0);
    p[mid] = 1;
    int s = 1;
    for (int level = 0; level < std::min(levels, level_cap); ++level) {
        std::vector<double> q = p;
        step_gains.assign(n, 0.0);
        for (int k = 0; k < n; ++k) {
            std::vector<double>& src = (k % 2 == 0) ? p : q;
            std::vector<double>& dst = (k % 2 == 0) ? q : p;
            std::vector<double> add(size, 0.0);
            for (int j = s; j + s < size; ++j) {
                add[j - s] += factors_[k] * src[j];
                add[j + s] += factors_[k] * src[j];
            }
            double g = 0;
            for (int j = 0; j < size; ++j) {
                dst[j] += add[j];
                g += std::fabs(dst[j]);
            }
            step_gains[k] = g;
        }
        low_gain = high_gain = 0;
        for (int j = 0; j < size; ++j) {
            q[j] *= high_norm_;
            p[j] *= low_norm_;
            high_gain += std::fabs(q[j]);
            low_gain += std::fabs(p[j]);
        }
        s *= 2;
    }
    return step_gains;
}

} // namespace j2k
