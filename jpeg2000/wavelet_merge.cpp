// The wavelet merge stage: synthesis of one resolution level, one row at a
// time. A row is built from its low and high halves (an even row from the
// next lower resolution and the HL band, an odd row from the LH and HH bands)
// by undoing the horizontal lifting steps on the halves; then the vertical
// steps are undone across a ring of rows, each row advanced step by step as
// the rows it depends on arrive. The ring holds the few rows the lifting
// steps reach, never a whole subband.
#include <algorithm>
#include <cstring>

#include "jpeg2000/line_stages.h"

namespace j2k {

namespace {

// The synthesis steps, in order; step s updates the samples whose absolute
// coordinate has parity s & 1 from their two neighbours a and b.
constexpr int reversible_steps = 2, irreversible_steps = 4;
constexpr float synthesis_factors[irreversible_steps] = {0.443506852043971f, 0.882911075530934f,
                                                         -0.052980118572961f, -1.586134342059924f};
constexpr float kappa = 1.230174104914001f;

// Damaged data may hold any 32-bit values: the sums wrap instead of
// overflowing (valid data never comes near).
inline int32_t wrapping_sum(int32_t a, int32_t b, uint32_t c) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b) + c);
}

__attribute__((target_clones("avx2", "default"))) void lift(int step, int32_t* __restrict t,
                                                            const int32_t* __restrict a,
                                                            const int32_t* __restrict b,
                                                            int64_t n) {
    if (step == 0)
        for (int64_t i = 0; i < n; ++i)
            t[i] -= wrapping_sum(a[i], b[i], 2) >> 2;
    else
        for (int64_t i = 0; i < n; ++i)
            t[i] += wrapping_sum(a[i], b[i], 0) >> 1;
}

__attribute__((target_clones("avx2", "default"))) void lift(int step, float* __restrict t,
                                                            const float* __restrict a,
                                                            const float* __restrict b, int64_t n) {
    const float f = synthesis_factors[step];
    for (int64_t i = 0; i < n; ++i)
        t[i] -= f * (a[i] + b[i]);
}

__attribute__((target_clones("avx2", "default"))) void scale(float* t, float f, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        t[i] *= f;
}

// A lone sample, or a lone row, at an odd coordinate was doubled.
template <typename T>
void halve(T* t, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        if constexpr (std::is_integral_v<T>)
            t[i] >>= 1;
        else
            t[i] /= 2;
    }
}

template <typename T>
class wavelet_merge_stage final : public line_stage {
public:
    wavelet_merge_stage(const tile_component_state& tc, int level, const tile_sources& from);
    void produce_line(sample_line& line) override;

private:
    static constexpr int steps = std::is_integral_v<T> ? reversible_steps : irreversible_steps;

    void build_row(int64_t y, T* out);
    void fetch_rows(int64_t last);
    void advance(int64_t y, int step);
    T* row(int64_t y) { return ring_[static_cast<size_t>(y % ring_size)].template samples<T>(); }
    int& stage(int64_t y) { return stage_[static_cast<size_t>(y % ring_size)]; }

    // Rows from the one before the wanted one to `steps` after it.
    static constexpr int ring_size = steps + 3;

    // In order: the next lower resolution (or the LL band), LH, HL, HH; a
    // row of parity p takes its low half from child p, its high half from
    // child 2 + p.
    std::unique_ptr<line_stage> children_[4];
    int64_t x0_ = 0, width_ = 0, y0_ = 0, height_ = 0, low_width_ = 0, high_width_ = 0;
    sample_line low_, high_;
    sample_line ring_[ring_size];
    int stage_[ring_size] = {};
    int64_t fetched_ = 0, next_ = 0;
};

template <typename T>
wavelet_merge_stage<T>::wavelet_merge_stage(const tile_component_state& tc, int level,
                                            const tile_sources& from) {
    const rect reg = tc.resolutions[static_cast<size_t>(level)].region;
    if (reg.empty()) return;
    x0_ = reg.pos.x;
    width_ = reg.size.x;
    y0_ = reg.pos.y;
    height_ = reg.size.y;
    const int64_t x1 = x0_ + width_;
    low_width_ = ceil_div(x1, 2) - ceil_div(x0_, 2);
    high_width_ = x1 / 2 - x0_ / 2;
    constexpr bool ints = std::is_integral_v<T>;
    from.pool.pre_create(low_, low_width_, ints);
    from.pool.pre_create(high_, high_width_, ints);
    for (sample_line& r : ring_)
        from.pool.pre_create(r, width_, ints);
    children_[0] = level == 1
                       ? create_subband_decoding_stage(tc.resolutions[0].bands[0],
                                                       from.packets.blocks(tc.index, 0, 0), from)
                       : create_wavelet_merge_stage(tc, level - 1, from);
    const resolution_state& res = tc.resolutions[static_cast<size_t>(level)];
    for (size_t b = 0; b < res.bands.size(); ++b) {
        // Orientation 1 HL, 2 LH, 3 HH to child 2, 1, 3.
        const int o = res.bands[b].orientation;
        const int child = o == 1 ? 2 : o == 2 ? 1 : 3;
        children_[child] = create_subband_decoding_stage(
            res.bands[b], from.packets.blocks(tc.index, level, static_cast<int>(b)), from);
    }
}

template <typename T>
void wavelet_merge_stage<T>::build_row(int64_t y, T* out) {
    const int p = static_cast<int>((y0_ + y) & 1);
    T* low = low_.samples<T>();
    T* high = high_.samples<T>();
    if (low_width_) children_[p]->produce_line(low_);
    if (high_width_) children_[2 + p]->produce_line(high_);
    const int k0 = static_cast<int>(x0_ & 1);
    if (width_ == 1) {
        out[0] = k0 ? high[0] : low[0];
        if (k0) halve(out, 1);
        return;
    }
    if constexpr (!std::is_integral_v<T>) {
        scale(low, kappa, low_width_);
        scale(high, 1 / kappa, high_width_);
    }
    for (int s = 0; s < steps; ++s) {
        // The half this step updates takes its neighbours from the other,
        // extended by one sample at each end (whole-sample symmetry).
        const int parity = s & 1;
        T* t = parity ? high : low;
        T* o = parity ? low : high;
        const int64_t nt = parity ? high_width_ : low_width_;
        const int64_t no = parity ? low_width_ : high_width_;
        o[-1] = o[0];
        o[no] = o[no - 1];
        const T* a = o + (parity == k0 ? -1 : 0);
        lift(s, t, a, a + 1, nt);
    }
    for (int64_t i = 0; i < low_width_; ++i)
        out[2 * i + k0] = low[i];
    for (int64_t i = 0; i < high_width_; ++i)
        out[2 * i + 1 - k0] = high[i];
}

template <typename T>
void wavelet_merge_stage<T>::fetch_rows(int64_t last) {
    for (; fetched_ <= last; ++fetched_) {
        T* r = row(fetched_);
        build_row(fetched_, r);
        if constexpr (!std::is_integral_v<T>)
            scale(r, ((y0_ + fetched_) & 1) ? 1 / kappa : kappa, width_);
        stage(fetched_) = 0;
    }
}

// Brings row y through the vertical steps up to `step` (1-based count of
// steps done). A row reaches step s only once its neighbours have reached
// s - 1, and a neighbour never passes s + 1 before it: each row read holds
// the value the step needs.
template <typename T>
void wavelet_merge_stage<T>::advance(int64_t y, int step) {
    fetch_rows(y);
    if (stage(y) >= step) return;
    if (stage(y) < step - 1) advance(y, step - 1);
    const int s = step - 1;
    if (((y0_ + y) & 1) == (s & 1)) {
        const int64_t ya = y == 0 ? 1 : y - 1;
        const int64_t yb = y == height_ - 1 ? height_ - 2 : y + 1;
        advance(ya, s);
        advance(yb, s);
        lift(s, row(y), row(ya), row(yb), width_);
    }
    stage(y) = step;
}

template <typename T>
void wavelet_merge_stage<T>::produce_line(sample_line& line) {
    if (height_ == 0 || width_ == 0) return;
    T* out = line.samples<T>();
    if (height_ == 1) {
        build_row(0, out);
        if ((y0_ & 1)) halve(out, width_);
        return;
    }
    advance(next_, steps);
    std::memcpy(out, row(next_), static_cast<size_t>(width_) * sizeof(T));
    ++next_;
}

// Resolutions no packet brought a coding pass for: every coefficient is
// zero, and so is their synthesis on both paths (each lifting step adds a
// multiple of a sum of zeros, and the 5/3 steps round (0 + 2) >> 2 and
// 0 >> 1 to zero), so its lines are filled without running the wavelet.
class zero_stage final : public line_stage {
public:
    explicit zero_stage(int64_t width) : width_(std::max<int64_t>(width, 0)) {}
    void produce_line(sample_line& line) override {
        std::memset(line.storage, 0, static_cast<size_t>(width_) * sizeof(int32_t));
    }

private:
    int64_t width_;
};

// Some code-block of resolutions 0 to `level` has coding passes.
bool coded_up_to(const tile_component_state& tc, int level, const tile_packets& packets) {
    for (int r = 0; r <= level; ++r) {
        const resolution_state& res = tc.resolutions[static_cast<size_t>(r)];
        for (size_t b = 0; b < res.bands.size(); ++b)
            if (packets.blocks(tc.index, r, static_cast<int>(b)).coded) return true;
    }
    return false;
}

} // namespace

std::unique_ptr<line_stage> create_wavelet_merge_stage(const tile_component_state& tc, int level,
                                                       const tile_sources& from) {
    if (!coded_up_to(tc, level, from.packets))
        return std::make_unique<zero_stage>(
            tc.resolutions[static_cast<size_t>(level)].region.size.x);
    if (tc.reversible) return std::make_unique<wavelet_merge_stage<int32_t>>(tc, level, from);
    return std::make_unique<wavelet_merge_stage<float>>(tc, level, from);
}

std::unique_ptr<line_stage> create_tile_component_stages(const tile_component_state& tc,
                                                         const tile_sources& from) {
    if (tc.levels > 0) return create_wavelet_merge_stage(tc, tc.levels, from);
    return create_subband_decoding_stage(tc.resolutions[0].bands[0],
                                         from.packets.blocks(tc.index, 0, 0), from);
}

} // namespace j2k
