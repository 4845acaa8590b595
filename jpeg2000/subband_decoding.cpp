// The subband decoding stage: hands out a subband's lines top to bottom,
// decoding the next row of code-blocks whenever the lines of the current one
// run out, dequantising each block into the rows (integers on the
// reversible path, floats on the irreversible one) after undoing any ROI
// up-shift.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "jpeg2000/block_row_workers.h"
#include "jpeg2000/line_stages.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {

template <typename T>
class subband_decoding_stage final : public line_stage {
public:
    subband_decoding_stage(const subband_state& band, const band_blocks& blocks,
                           const tile_sources& from);
    void produce_line(sample_line& line) override;

private:
    void decode_row();
    rect block_rect(int64_t bx) const;
    void decode_block(int64_t bx, block_work& work);

    const subband_state& band_;
    const band_blocks& blocks_;
    const tile_packets& packets_;
    block_work& work_;
    block_row_workers* workers_;
    int shift_;  // of the sign-magnitude samples down to integers
    float step_; // irreversible: the value of one unit of the shifted magnitude
    int64_t block_row_ = 0, row_height_ = 0, handed_ = 0;
    std::vector<sample_line> rows_; // one row of code-blocks
};

template <typename T>
subband_decoding_stage<T>::subband_decoding_stage(const subband_state& band,
                                                  const band_blocks& blocks,
                                                  const tile_sources& from)
    : band_(band),
      blocks_(blocks),
      packets_(from.packets),
      work_(from.work),
      workers_(from.workers) {
    const tile_component_state& tc = *band.resolution->component;
    const int k = band.magnitude_bits;
    // At most 31 once a block decodes (the block decoder checks the planes).
    shift_ = 31 - k;
    const int gain = band.orientation == 0 ? 0 : band.orientation == 3 ? 2 : 1;
    step_ = static_cast<float>(band.step * std::ldexp(1.0, tc.precision + gain - shift_));
    if (band.region.empty()) return;
    rows_.resize(static_cast<size_t>(std::min(band.block_size.y, band.region.size.y)));
    for (sample_line& row : rows_)
        from.pool.pre_create(row, band.region.size.x, std::is_integral_v<T>);
}

template <typename T>
void subband_decoding_stage<T>::produce_line(sample_line& line) {
    if (rows_.empty()) return;
    if (handed_ == row_height_) decode_row();
    std::memcpy(line.samples<T>(), rows_[static_cast<size_t>(handed_)].samples<T>(),
                static_cast<size_t>(band_.region.size.x) * sizeof(T));
    ++handed_;
}

template <typename T>
rect subband_decoding_stage<T>::block_rect(int64_t bx) const {
    const subband_state& sb = band_;
    const rect area = {{sb.block_origin.y + (sb.first_block.y + block_row_) * sb.block_size.y,
                        sb.block_origin.x + (sb.first_block.x + bx) * sb.block_size.x},
                       sb.block_size};
    return rect_intersect(area, sb.region);
}

template <typename T>
void subband_decoding_stage<T>::decode_row() {
    const subband_state& sb = band_;
    const int64_t y0 = sb.block_origin.y + (sb.first_block.y + block_row_) * sb.block_size.y;
    const int64_t top = std::max(y0, sb.region.pos.y);
    row_height_ = std::min(y0 + sb.block_size.y, sb.region.end().y) - top;
    handed_ = 0;
    // The blocks' bytes, gathered here from the packets that brought them
    // (the source is read by one thread); then the blocks decode on any.
    const int64_t n = sb.block_count.x;
    std::vector<std::vector<uint8_t>>& bytes = work_.block_bytes;
    if (static_cast<int64_t>(bytes.size()) < n) bytes.resize(static_cast<size_t>(n));
    int64_t coded = 0;
    for (int64_t bx = 0; bx < n; ++bx) {
        const code_block& cb = blocks_.at(block_row_ * n + bx);
        std::vector<uint8_t>& b = bytes[static_cast<size_t>(bx)];
        b.clear();
        if (!cb.passes) continue;
        ++coded;
        if (sb.roi_magnitude_bits > 31)
            fail("Code-block holds more coding passes than its bit-planes allow");
        for (const block_chunk& c : cb.chunks) {
            const size_t at = b.size();
            b.resize(at + static_cast<size_t>(c.length));
            packets_.data().read(c.offset, b.data() + at, c.length);
        }
    }
    if (coded == 0) {
        // Nothing coded in the row (flat areas, empty packets): zeros, with
        // no work handed out.
        for (int64_t y = 0; y < row_height_; ++y)
            std::fill_n(rows_[static_cast<size_t>(y)].samples<T>(), band_.region.size.x, T{});
        ++block_row_;
        return;
    }
    const std::function<void(int, block_work&)> job = [this](int bx, block_work& work) {
        decode_block(bx, work);
    };
    if (workers_)
        workers_->run(static_cast<int>(n), work_, job);
    else
        for (int64_t bx = 0; bx < n; ++bx)
            decode_block(bx, work_);
    ++block_row_;
}

template <typename T>
void subband_decoding_stage<T>::decode_block(int64_t bx, block_work& work) {
    const code_block& cb = blocks_.at(block_row_ * band_.block_count.x + bx);
    const rect blk = block_rect(bx);
    const int64_t column = blk.pos.x - band_.region.pos.x;
    const size_t width = static_cast<size_t>(blk.size.x);
    if (!cb.passes) {
        for (int64_t y = 0; y < blk.size.y; ++y)
            std::fill_n(rows_[static_cast<size_t>(y)].samples<T>() + column, width, T{});
        return;
    }
    std::vector<uint32_t>& samples = work.samples;
    samples.resize(width * static_cast<size_t>(blk.size.y));
    const tile_component_state& tc = *band_.resolution->component;
    block_coding coding;
    coding.width = static_cast<int>(blk.size.x);
    coding.height = static_cast<int>(blk.size.y);
    coding.orientation = band_.orientation;
    coding.modes = tc.modes;
    coding.planes = band_.roi_magnitude_bits;
    coding.missing_msbs = cb.missing;
    coding.segments = cb.segments;
    coding.data = work_.block_bytes[static_cast<size_t>(bx)].data();
    work.decoder.decode(coding, samples.data());
    const int k = band_.magnitude_bits, kr = band_.roi_magnitude_bits;
    if (kr > k) {
        // Samples with no magnitude bit among the top k were shifted down.
        const uint32_t background = 0x7FFFFFFFu >> k;
        for (uint32_t& w : samples)
            if ((w & 0x7FFFFFFF) && !((w & 0x7FFFFFFF) & ~background))
                w = (w & 0x80000000u) | ((w & 0x7FFFFFFF) << (kr - k));
    }
    for (int64_t y = 0; y < blk.size.y; ++y) {
        const uint32_t* src = samples.data() + static_cast<size_t>(y) * width;
        T* dst = rows_[static_cast<size_t>(y)].samples<T>() + column;
        if constexpr (std::is_integral_v<T>) {
            const int shift = shift_;
            for (size_t x = 0; x < width; ++x) {
                const uint32_t w = src[x];
                const int32_t v = static_cast<int32_t>((w & 0x7FFFFFFF) >> shift);
                dst[x] = (w >> 31) ? -v : v;
            }
        } else {
            // The sign bit moves over as the float's sign bit.
            const float step = step_;
            for (size_t x = 0; x < width; ++x) {
                const uint32_t w = src[x];
                float f = static_cast<float>(static_cast<int32_t>(w & 0x7FFFFFFF)) * step;
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                bits |= w & 0x80000000u;
                std::memcpy(&dst[x], &bits, 4);
            }
        }
    }
}

} // namespace

std::unique_ptr<line_stage> create_subband_decoding_stage(const subband_state& band,
                                                          const band_blocks& blocks,
                                                          const tile_sources& from) {
    if (band.resolution->component->reversible)
        return std::make_unique<subband_decoding_stage<int32_t>>(band, blocks, from);
    return std::make_unique<subband_decoding_stage<float>>(band, blocks, from);
}

} // namespace j2k
