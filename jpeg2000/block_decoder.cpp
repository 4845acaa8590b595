#include "jpeg2000/block_decoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <type_traits>

#include "jpeg2000/block_columns.h"
#include "jpeg2000/messages.h"

namespace j2k {

int segment_pass_limit(int modes, int first) {
    if (modes & mode_restart) return 1;
    if (modes & mode_bypass) {
        if (first < 10) return 10 - first;
        return first % 3 == 1 ? 2 : 1;
    }
    return INT_MAX;
}

template <bool causal, bool raw>
void block_decoder::significance_pass(int bit_position) {
    const int width = width_, stride = stride_;
    // The coders in locals: kept in registers across the loop.
    mq_decoder mq = mq_;
    raw_decoder rawd = raw_;
    mq_context* const cx = contexts_;
    const uint8_t* const zc = zc_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    scan_columns(columns_.data(), samples_, width_, height_,
                 [&](auto rows, uint32_t left, uint32_t& own, uint32_t right, uint32_t* col,
                     uint32_t* s0, bool above, bool below) {
                     significance_rows(rows, left, own, right, [&](int r, uint32_t n) {
                         const int bit = raw ? rawd.bit() : mq.decode(cx[zc[n]]);
                         own |= col_visited << r;
                         if (!bit) return;
                         int neg;
                         if constexpr (raw) {
                             neg = rawd.bit();
                         } else {
                             const int sc = sign_context(left, own, right, r);
                             neg = mq.decode(cx[ctx_sign + (sc >> 1)]) ^ (sc & 1);
                         }
                         s0[r * width] = one | half | (static_cast<uint32_t>(neg) << 31);
                         mark_significant<causal>(own, col, stride, r, static_cast<uint32_t>(neg),
                                                  above, below);
                     });
                     *col = own;
                 });
    mq_ = mq;
    raw_ = rawd;
}

template <bool raw>
void block_decoder::refinement_pass(int bit_position) {
    const int width = width_;
    mq_decoder mq = mq_;
    raw_decoder rawd = raw_;
    mq_context* const cx = contexts_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    scan_columns(columns_.data(), samples_, width_, height_,
                 [&](auto, uint32_t left, uint32_t& own, uint32_t right, uint32_t* col,
                     uint32_t* s0, bool, bool) {
                     // Rows significant before this plane's significance pass.
                     uint32_t todo = ((own >> 1) & 0xF) & ~(own >> 16);
                     if (!todo) return;
                     // Context 2 for rows refined before, else 1 for rows
                     // with a significant neighbour: masks of the column's
                     // rows (significance does not change in this pass).
                     const uint32_t refined = (own >> 20) & 0xF;
                     const uint32_t beside = left | right;
                     const uint32_t near =
                         (beside | (beside >> 1) | (beside >> 2) | own | (own >> 2)) & ~refined;
                     auto refine = [&](int r) {
                         int bit;
                         if constexpr (raw) {
                             bit = rawd.bit();
                         } else {
                             const int ctx = static_cast<int>(((refined >> r) & 1) << 1 |
                                                              ((near >> r) & 1));
                             bit = mq.decode(cx[ctx_refine + ctx]);
                         }
                         // The half step set below the previous plane becomes
                         // this plane's bit; a new half step goes below it.
                         uint32_t& v = s0[r * width];
                         v = (v ^ (one & (static_cast<uint32_t>(bit) - 1))) | half;
                     };
                     own |= todo << 20;
                     if (todo == 0xF) {
                         // The common case in the low planes: four rows,
                         // without a loop whose length the predictor misses.
                         refine(0);
                         refine(1);
                         refine(2);
                         refine(3);
                     } else {
                         do {
                             refine(__builtin_ctz(todo));
                             todo &= todo - 1;
                         } while (todo);
                     }
                     *col = own;
                 });
    mq_ = mq;
    raw_ = rawd;
}

template <bool causal>
void block_decoder::cleanup_pass(int bit_position) {
    const int width = width_, stride = stride_;
    mq_decoder mq = mq_;
    mq_context* const cx = contexts_;
    const uint8_t* const zc = zc_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    scan_columns(columns_.data(), samples_, width_, height_,
                 [&](auto rows, uint32_t left, uint32_t& own, uint32_t right, uint32_t* col,
                     uint32_t* s0, bool above, bool below) {
                     auto become_significant = [&](int r) {
                         const int sc = sign_context(left, own, right, r);
                         const int neg = mq.decode(cx[ctx_sign + (sc >> 1)]) ^ (sc & 1);
                         s0[r * width] = one | half | (static_cast<uint32_t>(neg) << 31);
                         mark_significant<causal>(own, col, stride, r, static_cast<uint32_t>(neg),
                                                  above, below);
                     };
                     int r = 0;
                     if (rows == 4 && !((left | own | right) & 0x3F) && !(own & (0xFu << 16))) {
                         // Run mode: four insignificant rows without a significant
                         // neighbour.
                         if (!mq.decode(cx[ctx_run])) return;
                         r = mq.decode(cx[ctx_uniform]) << 1;
                         r |= mq.decode(cx[ctx_uniform]);
                         become_significant(r);
                         ++r;
                     }
                     // The rows from r on that are neither significant nor visited.
                     uint32_t todo = ~((own >> 1) | (own >> 16)) & ((1u << rows) - 1) & (~0u << r);
                     for (; todo; todo &= todo - 1) {
                         r = __builtin_ctz(todo);
                         if (mq.decode(cx[zc[neighbourhood(left, own, right, r)]]))
                             become_significant(r);
                     }
                     own &= ~(0xFu << 16);
                     *col = own;
                 });
    mq_ = mq;
}

void block_decoder::decode(const block_coding& b, uint32_t* samples) {
    const int64_t n = int64_t{b.width} * b.height;
    std::fill(samples, samples + n, 0u);
    int passes = 0;
    for (const block_segment& s : b.segments)
        passes += s.passes;
    if (passes == 0 || n == 0) return;
    const int k = b.planes;
    if (b.missing_msbs > k || k > 31 || passes > 3 * (k - b.missing_msbs) - 2)
        fail("Code-block holds more coding passes than its bit-planes allow");
    width_ = b.width;
    height_ = b.height;
    stride_ = width_ + 2;
    samples_ = samples;
    columns_.assign(static_cast<size_t>(stride_) * ((height_ + 3) / 4), 0u);
    zc_ = column_contexts().zc[b.orientation == 1 ? 1 : b.orientation == 3 ? 2 : 0];
    reset_block_contexts(contexts_);
    const bool causal = b.modes & mode_causal;
    // Bit position of the first pass's plane: the most significant of the k
    // planes is bit 30.
    const int top = 30 - b.missing_msbs;
    const uint8_t* data = b.data;
    int pass = 0;
    for (const block_segment& seg : b.segments) {
        segment_.resize(static_cast<size_t>(seg.length) + 2);
        if (seg.length) std::memcpy(segment_.data(), data, static_cast<size_t>(seg.length));
        segment_[seg.length] = 0xFF;
        segment_[seg.length + 1] = 0xFF;
        data += seg.length;
        const bool raw = (b.modes & mode_bypass) && pass >= 10 && pass % 3 != 0;
        if (raw)
            raw_.start(segment_.data());
        else
            mq_.start(segment_.data());
        for (int i = 0; i < seg.passes; ++i, ++pass) {
            const int plane = top - (pass + 2) / 3;
            switch (pass % 3) {
                case 0:
                    if (causal)
                        cleanup_pass<true>(plane);
                    else
                        cleanup_pass<false>(plane);
                    if (b.modes & mode_segmark)
                        for (int m = 0; m < 4; ++m)
                            mq_.decode(contexts_[ctx_uniform]);
                    break;
                case 1:
                    if (raw)
                        causal ? significance_pass<true, true>(plane)
                               : significance_pass<false, true>(plane);
                    else
                        causal ? significance_pass<true, false>(plane)
                               : significance_pass<false, false>(plane);
                    break;
                default:
                    if (raw)
                        refinement_pass<true>(plane);
                    else
                        refinement_pass<false>(plane);
                    break;
            }
            if (b.modes & mode_reset) reset_block_contexts(contexts_);
        }
    }
}

} // namespace j2k
