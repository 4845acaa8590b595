// The subband decoding stage: hands out a subband's lines top to bottom,
// decoding the next row of code-blocks whenever the lines of the current one
// run out, dequantising each block into the rows (integers on the
// reversible path, floats on the irreversible one) after undoing any ROI
// up-shift.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "jpeg2000/block_row_workers.h"
#include "jpeg2000/line_stages.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {

// The lines of one row of code-blocks and the bytes of its blocks.
struct block_row {
    int64_t index = 0;
    std::vector<sample_line> lines;
    std::vector<std::vector<uint8_t>> bytes;
    block_row_workers::batch batch;
    bool pending = false; // decoding on the workers
};

template <typename T>
class subband_decoding_stage final : public line_stage {
public:
    subband_decoding_stage(const subband_state& band, const band_blocks& blocks,
                           const tile_sources& from);
    ~subband_decoding_stage() override;
    void produce_line(sample_line& line) override;

private:
    void decode_row();
    void gather(block_row& row, int64_t index);
    void start(block_row& row, int64_t index);
    rect block_rect(int64_t by, int64_t bx) const;
    void decode_block(block_row& row, int64_t bx, block_work& work);

    const subband_state& band_;
    const band_blocks& blocks_;
    const tile_packets& packets_;
    block_work& work_;
    block_row_workers* workers_;
    int shift_;  // of the sign-magnitude samples down to integers
    float step_; // irreversible: the value of one unit of the shifted magnitude
    int64_t block_row_ = 0, row_height_ = 0, handed_ = 0;
    // With workers the next row of code-blocks decodes in the second while
    // the first is handed out.
    block_row rows_[2];
    block_row* current_ = nullptr;
    std::vector<uint8_t> span_; // the coded bytes of a row read in one piece
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
    const size_t height = static_cast<size_t>(std::min(band.block_size.y, band.region.size.y));
    for (block_row& row : rows_) {
        row.lines.resize(height);
        for (sample_line& line : row.lines)
            from.pool.pre_create(line, band.region.size.x, std::is_integral_v<T>);
        if (!workers_ || band.block_count.y < 2) break;
    }
}

template <typename T>
subband_decoding_stage<T>::~subband_decoding_stage() {
    for (block_row& row : rows_)
        if (row.pending) workers_->cancel(row.batch);
}

template <typename T>
void subband_decoding_stage<T>::produce_line(sample_line& line) {
    if (rows_[0].lines.empty()) return;
    if (handed_ == row_height_) decode_row();
    std::memcpy(line.samples<T>(), current_->lines[static_cast<size_t>(handed_)].samples<T>(),
                static_cast<size_t>(band_.region.size.x) * sizeof(T));
    ++handed_;
}

template <typename T>
rect subband_decoding_stage<T>::block_rect(int64_t by, int64_t bx) const {
    const subband_state& sb = band_;
    const rect area = {{sb.block_origin.y + (sb.first_block.y + by) * sb.block_size.y,
                        sb.block_origin.x + (sb.first_block.x + bx) * sb.block_size.x},
                       sb.block_size};
    return rect_intersect(area, sb.region);
}

// The blocks' bytes, gathered here from the packets that brought them (the
// source is read by one thread); then the blocks decode on any.
template <typename T>
void subband_decoding_stage<T>::gather(block_row& row, int64_t index) {
    const subband_state& sb = band_;
    const int64_t n = sb.block_count.x;
    const code_block* blocks = blocks_.blocks.data() + index * n; // none empty: see decode_row
    row.index = index;
    if (static_cast<int64_t>(row.bytes.size()) < n) row.bytes.resize(static_cast<size_t>(n));
    // The row's blocks mostly lie close together in the data: read in one
    // piece where that reads little more than the blocks themselves (each
    // read from a file costs system calls).
    int64_t lo = INT64_MAX, hi = 0, total = 0;
    for (int64_t bx = 0; bx < n; ++bx)
        if (blocks[bx].passes)
            for (const block_chunk& c : blocks[bx].chunks) {
                lo = std::min(lo, c.offset);
                hi = std::max(hi, c.offset + c.length);
                total += c.length;
            }
    const bool in_one = total > 0 && hi - lo <= 2 * total + 65536;
    std::unique_lock<std::mutex> hold;
    if (workers_) hold = std::unique_lock<std::mutex>(workers_->source_lock());
    if (in_one) {
        span_.resize(static_cast<size_t>(hi - lo));
        packets_.data().read(lo, span_.data(), hi - lo);
    }
    for (int64_t bx = 0; bx < n; ++bx) {
        const code_block& cb = blocks[bx];
        std::vector<uint8_t>& b = row.bytes[static_cast<size_t>(bx)];
        b.clear();
        if (!cb.passes) continue;
        if (sb.roi_magnitude_bits > 31)
            fail("Code-block holds more coding passes than its bit-planes allow");
        for (const block_chunk& c : cb.chunks) {
            if (in_one) {
                const uint8_t* from = span_.data() + (c.offset - lo);
                b.insert(b.end(), from, from + c.length);
                continue;
            }
            const size_t at = b.size();
            b.resize(at + static_cast<size_t>(c.length));
            packets_.data().read(c.offset, b.data() + at, c.length);
        }
    }
}

template <typename T>
void subband_decoding_stage<T>::start(block_row& row, int64_t index) {
    gather(row, index);
    workers_->submit(row.batch, static_cast<int>(band_.block_count.x),
                     [this, &row](int bx, block_work& work) { decode_block(row, bx, work); });
    row.pending = true;
}

template <typename T>
void subband_decoding_stage<T>::decode_row() {
    const subband_state& sb = band_;
    const int64_t y0 = sb.block_origin.y + (sb.first_block.y + block_row_) * sb.block_size.y;
    const int64_t top = std::max(y0, sb.region.pos.y);
    row_height_ = std::min(y0 + sb.block_size.y, sb.region.end().y) - top;
    handed_ = 0;
    if (!blocks_.coded) {
        // No packet brought coding passes for a block of the band (flat
        // areas, empty packets): zeros, with no work handed out.
        current_ = &rows_[0];
        for (int64_t y = 0; y < row_height_; ++y)
            std::fill_n(current_->lines[static_cast<size_t>(y)].samples<T>(), sb.region.size.x, T{});
        ++block_row_;
        return;
    }
    if (!workers_) {
        current_ = &rows_[0];
        gather(*current_, block_row_);
        for (int64_t bx = 0; bx < sb.block_count.x; ++bx)
            decode_block(*current_, bx, work_);
        ++block_row_;
        return;
    }
    current_ = &rows_[block_row_ & 1];
    if (!current_->pending) start(*current_, block_row_);
    current_->pending = false;
    workers_->wait(current_->batch, work_);
    if (block_row_ + 1 < sb.block_count.y) start(rows_[(block_row_ + 1) & 1], block_row_ + 1);
    ++block_row_;
}

template <typename T>
void subband_decoding_stage<T>::decode_block(block_row& row, int64_t bx, block_work& work) {
    const code_block& cb = blocks_.at(row.index * band_.block_count.x + bx);
    const rect blk = block_rect(row.index, bx);
    const int64_t column = blk.pos.x - band_.region.pos.x;
    const size_t width = static_cast<size_t>(blk.size.x);
    if (!cb.passes) {
        for (int64_t y = 0; y < blk.size.y; ++y)
            std::fill_n(row.lines[static_cast<size_t>(y)].samples<T>() + column, width, T{});
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
    coding.data = row.bytes[static_cast<size_t>(bx)].data();
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
        T* dst = row.lines[static_cast<size_t>(y)].samples<T>() + column;
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
