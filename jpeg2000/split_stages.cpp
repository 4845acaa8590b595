#include "jpeg2000/split_stages.h"

#include <algorithm>
#include <deque>
#include <type_traits>
#include <vector>

namespace j2k {

namespace {

constexpr float kAlpha = -1.586134342059924f, kBeta = -0.052980118572961f,
                kGamma = 0.882911075530934f, kDelta = 0.443506852043971f,
                kKappa = 1.230174104914001f;

template <typename T>
void analyse(T* line, int64_t n, int64_t i0, T* work) {
    constexpr int pad = 4;
    const int64_t k0 = i0 & 1;
    if (n == 1) {
        if (k0) line[0] *= 2;
        return;
    }
    T* x = work + pad;
    std::copy(line, line + n, x);
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
        for (int64_t j = (k0 == parity) ? 0 : 1; j < n; j += 2)
            update(x[j], x[j - 1], x[j + 1]);
    };
    if constexpr (std::is_integral_v<T>) {
        step(1, [](T& t, T a, T b) { t = static_cast<T>(int64_t{t} - ((int64_t{a} + b) >> 1)); });
        step(0,
             [](T& t, T a, T b) { t = static_cast<T>(int64_t{t} + ((int64_t{a} + b + 2) >> 2)); });
    } else {
        step(1, [](T& t, T a, T b) { t += kAlpha * (a + b); });
        step(0, [](T& t, T a, T b) { t += kBeta * (a + b); });
        step(1, [](T& t, T a, T b) { t += kGamma * (a + b); });
        step(0, [](T& t, T a, T b) { t += kDelta * (a + b); });
    }
    const int64_t low = (n + 1 - k0) / 2;
    for (int64_t j = 0; j < low; ++j)
        line[j] = x[k0 + 2 * j];
    for (int64_t j = 0; j < n - low; ++j)
        line[low + j] = x[1 - k0 + 2 * j];
    if constexpr (!std::is_integral_v<T>) {
        for (int64_t j = 0; j < low; ++j)
            line[j] *= 1 / kKappa;
        for (int64_t j = low; j < n; ++j)
            line[j] *= kKappa;
    }
}

// Vertical lifting step s on a target row from its two neighbours.
template <typename T>
void lift(int s, bool wide, T* __restrict t, const T* __restrict a, const T* __restrict b,
          int64_t n) {
    if constexpr (std::is_integral_v<T>) {
        if (wide) {
            if (s == 0)
                for (int64_t i = 0; i < n; ++i)
                    t[i] = static_cast<T>(int64_t{t[i]} - ((int64_t{a[i]} + b[i]) >> 1));
            else
                for (int64_t i = 0; i < n; ++i)
                    t[i] = static_cast<T>(int64_t{t[i]} + ((int64_t{a[i]} + b[i] + 2) >> 2));
        } else if (s == 0) {
            for (int64_t i = 0; i < n; ++i)
                t[i] -= (a[i] + b[i]) >> 1;
        } else {
            for (int64_t i = 0; i < n; ++i)
                t[i] += (a[i] + b[i] + 2) >> 2;
        }
    } else {
        static constexpr float factors[4] = {kAlpha, kBeta, kGamma, kDelta};
        const float f = factors[s];
        for (int64_t i = 0; i < n; ++i)
            t[i] += f * (a[i] + b[i]);
    }
}

template <typename T>
class split_stage final : public row_sink<T> {
public:
    split_stage(const tile_component_state& tc, int r, const band_sink_maker<T>& bands,
                roi_node* mask)
        : region_(tc.resolutions[r].region),
          // Integer sums that could pass 31 bits are formed in 64.
          wide_(tc.precision + 2 * tc.levels > 26) {
        const resolution_state& rs = tc.resolutions[r];
        if (mask && rs.roi) roi_ = std::make_unique<roi_mask_decimator>(rs, *mask);
        // The lower resolution takes the LL mask when it is reached too.
        const bool lower_mask = roi_ && (r - 1 == 0 ? band_uses_mask(tc.resolutions[0].bands[0])
                                                    : tc.resolutions[r - 1].roi);
        children_[0] =
            make_split_stages(tc, r - 1, bands, lower_mask ? &roi_->band_node(0) : nullptr);
        for (int b = 0; b < 3; ++b)
            children_[b + 1] = bands(
                r, b, roi_ && band_uses_mask(rs.bands[b]) ? &roi_->band_node(b + 1) : nullptr);
        work_.resize(static_cast<size_t>(region_.size.x + 8));
    }

    void accept(T* row) override {
        const int64_t y = region_.pos.y + arrived_++;
        const int64_t w = region_.size.x;
        if (region_.size.y == 1) {
            // No vertical transform; a lone odd row is the high band's.
            if (y & 1)
                for (int64_t i = 0; i < w; ++i)
                    row[i] *= 2;
            emit(row, y);
            return;
        }
        std::vector<T> v;
        if (!spare_.empty()) {
            v = std::move(spare_.back());
            spare_.pop_back();
        }
        v.assign(row, row + w);
        rows_.push_back({std::move(v), 0});
        advance();
    }

private:
    static constexpr int kSteps = std::is_integral_v<T> ? 2 : 4;
    struct buffered {
        std::vector<T> v;
        int steps; // lifting steps applied (or passed over)
    };

    int64_t mirror(int64_t q) const {
        const int64_t y0 = region_.pos.y, y1 = region_.pos.y + region_.size.y;
        return q < y0 ? 2 * y0 - q : q >= y1 ? 2 * (y1 - 1) - q : q;
    }
    buffered& at(int64_t q) { return rows_[static_cast<size_t>(q - first_)]; }

    // Runs every lifting step whose rows are there, then hands on the rows
    // that no step needs any more.
    void advance() {
        const int64_t arrived_end = region_.pos.y + arrived_;
        for (bool progress = true; progress;) {
            progress = false;
            for (size_t i = 0; i < rows_.size(); ++i) {
                const int64_t q = first_ + static_cast<int64_t>(i);
                buffered& row = rows_[i];
                while (row.steps < kSteps) {
                    const int s = row.steps;
                    // Step s updates the odd rows when s is even.
                    if ((q & 1) == (s & 1)) {
                        ++row.steps;
                        progress = true;
                        continue;
                    }
                    const int64_t a = mirror(q - 1), b = mirror(q + 1);
                    if (b >= arrived_end || at(a).steps < s || at(b).steps < s) break;
                    lift<T>(s, wide_, row.v.data(), at(a).v.data(), at(b).v.data(), region_.size.x);
                    ++row.steps;
                    progress = true;
                }
            }
        }
        // A finished row goes once the row below it is finished too: until
        // then that row's steps still read it.
        const int64_t last = region_.pos.y + region_.size.y - 1;
        while (!rows_.empty() && rows_[0].steps == kSteps &&
               (first_ == last || (rows_.size() > 1 && rows_[1].steps == kSteps))) {
            buffered& row = rows_.front();
            if constexpr (!std::is_integral_v<T>) {
                const float scale = (first_ & 1) ? kKappa : 1 / kKappa;
                for (T& v : row.v)
                    v *= scale;
            }
            emit(row.v.data(), first_);
            spare_.push_back(std::move(row.v));
            rows_.pop_front();
            ++first_;
        }
    }

    void emit(T* row, int64_t y) {
        analyse(row, region_.size.x, region_.pos.x, work_.data());
        const int64_t low = (region_.size.x + 1 - (region_.pos.x & 1)) / 2;
        const int odd = static_cast<int>(y & 1);
        // Even rows: the next lower resolution and HL; odd rows: LH and HH.
        children_[odd ? 2 : 0]->accept(row);
        children_[odd ? 3 : 1]->accept(row + low);
    }

    rect region_;
    bool wide_;
    // Before the children, which pull its rows, so that it goes after them.
    std::unique_ptr<roi_mask_decimator> roi_;
    std::unique_ptr<row_sink<T>> children_[4];
    std::deque<buffered> rows_;
    std::vector<std::vector<T>> spare_;
    int64_t first_ = region_.pos.y, arrived_ = 0;
    std::vector<T> work_;
};

template <typename T>
std::unique_ptr<row_sink<T>> make_stages(const tile_component_state& tc, int r,
                                         const band_sink_maker<T>& bands, roi_node* mask) {
    if (r == 0) return bands(0, 0, mask);
    return std::make_unique<split_stage<T>>(tc, r, bands, mask);
}

} // namespace

bool band_uses_mask(const subband_state& sb) {
    return sb.roi_magnitude_bits > sb.magnitude_bits || sb.roi_weight >= 0;
}

std::unique_ptr<row_sink<int32_t>> make_split_stages(const tile_component_state& tc, int r,
                                                     const band_sink_maker<int32_t>& bands,
                                                     roi_node* mask) {
    return make_stages(tc, r, bands, mask);
}

std::unique_ptr<row_sink<float>> make_split_stages(const tile_component_state& tc, int r,
                                                   const band_sink_maker<float>& bands,
                                                   roi_node* mask) {
    return make_stages(tc, r, bands, mask);
}

void analyse_line(int32_t* line, int64_t n, int64_t i0, int32_t* work) {
    analyse(line, n, i0, work);
}

void analyse_line(float* line, int64_t n, int64_t i0, float* work) {
    analyse(line, n, i0, work);
}

} // namespace j2k
