#include "jpeg2000/roi_masks.h"

#include <algorithm>

#include "jpeg2000/wavelet_kernel.h"

namespace j2k {

// A band's rows, queued until its coder (or the next decimator) pulls them.
class roi_mask_decimator::band final : public roi_node {
public:
    band(roi_mask_decimator& owner, int64_t width) : owner_(owner), width_(width) {}

    void pull(uint8_t* line, int64_t width) override {
        while (rows_.empty())
            if (!owner_.produce_row()) {
                std::fill_n(line, width, 0); // past the resolution's rows
                return;
            }
        std::copy_n(rows_.front().begin(), std::min(width, width_), line);
        rows_.pop_front();
    }
    // A row to fill, or null when nobody pulls this band's rows.
    uint8_t* next_row() {
        if (!claimed) return nullptr;
        rows_.emplace_back(static_cast<size_t>(width_));
        return rows_.back().data();
    }

    bool claimed = false;

private:
    roi_mask_decimator& owner_;
    int64_t width_;
    std::deque<std::vector<uint8_t>> rows_;
};

roi_mask_decimator::roi_mask_decimator(const resolution_state& resolution, roi_node& source)
    : source_(source),
      y0_(resolution.region.pos.y),
      x0_(resolution.region.pos.x),
      height_(resolution.region.size.y),
      width_(resolution.region.size.x) {
    const tile_component_state& tc = *resolution.component;
    const wavelet_kernel_desc& kernel = wavelet_kernel_desc::standard(tc.kernels, tc.reversible);
    kernel.impulse_response(2, s_[0]);
    kernel.impulse_response(3, s_[1]);
    ring_.resize(static_cast<size_t>(2 * std::max(s_[0], s_[1]) + 1),
                 std::vector<uint8_t>(static_cast<size_t>(width_)));
    combined_.resize(static_cast<size_t>(width_));
    // LL takes the next lower resolution's width; the others their bands'.
    const rect lower = tc.resolutions[resolution.level - 1].region;
    bands_[0] = std::make_unique<band>(*this, lower.size.x);
    for (int b = 1; b < 4; ++b)
        bands_[b] = std::make_unique<band>(*this, resolution.bands[b - 1].region.size.x);
}

roi_mask_decimator::~roi_mask_decimator() = default;

roi_node& roi_mask_decimator::band_node(int b) {
    bands_[b]->claimed = true;
    return *bands_[b];
}

bool roi_mask_decimator::produce_row() {
    if (next_ >= height_) return false;
    const int64_t y = y0_ + next_++, last = y0_ + height_ - 1;
    const int s = s_[y & 1];
    const size_t ring = ring_.size();
    // Rows of the resolution up to y + s, the ring keeping the latest.
    while (loaded_ < height_ && y0_ + loaded_ <= std::min(y + s, last))
        source_.pull(ring_[static_cast<size_t>(loaded_++) % ring].data(), width_);
    std::fill(combined_.begin(), combined_.end(), 0);
    for (int64_t r = std::max(y - s, y0_); r <= std::min(y + s, last); ++r) {
        const std::vector<uint8_t>& row = ring_[static_cast<size_t>(r - y0_) % ring];
        for (int64_t x = 0; x < width_; ++x)
            combined_[x] |= row[x];
    }
    // Even rows feed LL and HL, odd rows LH and HH; horizontally low-pass
    // samples sit at even columns, high-pass ones at odd columns.
    const int first = (y & 1) ? 2 : 0;
    for (int n = 0; n < 2; ++n) {
        uint8_t* out = bands_[first + n]->next_row();
        if (!out) continue;
        const int sn = s_[n];
        int64_t k = 0;
        for (int64_t c = (n + x0_) & 1; c < width_; c += 2, ++k) {
            uint8_t v = 0;
            for (int64_t i = std::max<int64_t>(c - sn, 0); i <= std::min(c + sn, width_ - 1); ++i)
                v |= combined_[i];
            out[k] = v;
        }
    }
    return true;
}

} // namespace j2k
