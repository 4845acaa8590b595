#include "jpeg2000/block_decoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <type_traits>

#include "jpeg2000/block_contexts.h"
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

namespace {

constexpr uint32_t col_visited = 1u << 16, col_refined = 1u << 20;
constexpr uint32_t col_sig_rows = 0x1E; // bits 1 to 4: the stripe's own rows

// The significance context labels by a 9-bit neighbourhood: bits 0 to 2 the
// column on the left (rows r - 1, r, r + 1), 3 to 5 the sample's own column,
// 6 to 8 the column on the right.
struct column_tables {
    uint8_t zc[3][512];
    column_tables() {
        for (int o = 0; o < 3; ++o)
            for (int i = 0; i < 512; ++i) {
                uint32_t f = 0;
                if (i & 1) f |= sig_nw;
                if (i & 2) f |= sig_w;
                if (i & 4) f |= sig_sw;
                if (i & 8) f |= sig_n;
                if (i & 32) f |= sig_s;
                if (i & 64) f |= sig_ne;
                if (i & 128) f |= sig_e;
                if (i & 256) f |= sig_se;
                zc[o][i] = block_tables.zc[o][f];
            }
    }
};
// Built on first use: the tables it derives from belong to another file's
// static initialisation.
const column_tables& column_contexts() {
    static const column_tables tables;
    return tables;
}

inline uint32_t neighbourhood(uint32_t left, uint32_t own, uint32_t right, int r) {
    return ((left >> r) & 7) | (((own >> r) & 7) << 3) | (((right >> r) & 7) << 6);
}

// The sign context entry of row r from the direct neighbours' significance
// and signs.
inline int sign_context(uint32_t left, uint32_t own, uint32_t right, int r) {
    const uint32_t sig = ((own >> r) & 1) | ((own >> (r + 1)) & 2) |
                         (((left >> (r + 1)) & 1) << 2) | (((right >> (r + 1)) & 1) << 3);
    const uint32_t neg = ((own >> (r + 8)) & 1) | ((own >> (r + 9)) & 2) |
                         (((left >> (r + 9)) & 1) << 2) | (((right >> (r + 9)) & 1) << 3);
    return block_tables.sc[sig | neg << 4];
}

// Row r of a stripe's column turns significant: its own word, and the word
// of the stripe above (unless the stripe below stays unseen, in causal
// mode) or below that sees it as a neighbour.
template <bool causal>
inline void mark_significant(uint32_t& own, uint32_t* column, int stride, int r, uint32_t negative,
                             bool has_above, bool has_below) {
    own |= (1u << (r + 1)) | (negative << (r + 9));
    if (r == 0 && !causal && has_above) column[-stride] |= (1u << 5) | (negative << 13);
    if (r == 3 && has_below) column[stride] |= 1u | (negative << 8);
}

} // namespace

template <bool causal, bool raw>
void block_decoder::significance_pass(int bit_position) {
    const int width = width_, height = height_, stride = stride_;
    // The coders in locals: kept in registers across the loop.
    mq_decoder mq = mq_;
    raw_decoder rawd = raw_;
    mq_context* const cx = contexts_;
    const uint8_t* const zc = zc_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    for (int y0 = 0; y0 < height; y0 += 4) {
        const bool above = y0 > 0, below = y0 + 4 < height;
        uint32_t* col = columns_.data() + (y0 / 4) * stride + 1;
        uint32_t* s0 = samples_ + y0 * width;
        // Full stripes with the row count a constant: the rows unrolled,
        // every shift by a constant.
        auto stripe = [&](auto rows) {
            uint32_t left = col[-1], own = col[0];
            for (int x = 0; x < width; ++x, ++col, ++s0) {
                const uint32_t right = col[1];
                // Nothing to code where no row has a significant neighbour, or
                // every row is significant already.
                if (((left | own | right) & 0x3F) && (own & col_sig_rows) != col_sig_rows) {
                    for (int r = 0; r < rows; ++r) {
                        if (own & (1u << (r + 1))) continue;
                        const uint32_t n = neighbourhood(left, own, right, r);
                        if (!n) continue;
                        const int bit = raw ? rawd.bit() : mq.decode(cx[zc[n]]);
                        own |= col_visited << r;
                        if (!bit) continue;
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
                    }
                    *col = own;
                }
                left = own;
                own = right;
            }
        };
        if (height - y0 >= 4)
            stripe(std::integral_constant<int, 4>{});
        else
            stripe(height - y0);
    }
    mq_ = mq;
    raw_ = rawd;
}

template <bool raw>
void block_decoder::refinement_pass(int bit_position) {
    const int width = width_, height = height_, stride = stride_;
    mq_decoder mq = mq_;
    raw_decoder rawd = raw_;
    mq_context* const cx = contexts_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    for (int y0 = 0; y0 < height; y0 += 4) {
        uint32_t* col = columns_.data() + (y0 / 4) * stride + 1;
        uint32_t* s0 = samples_ + y0 * width;
        uint32_t left = col[-1], own = col[0];
        for (int x = 0; x < width; ++x, ++col, ++s0) {
            const uint32_t right = col[1];
            // Rows significant before this plane's significance pass.
            uint32_t todo = ((own >> 1) & 0xF) & ~(own >> 16);
            if (todo) {
                do {
                    const int r = __builtin_ctz(todo);
                    todo &= todo - 1;
                    int bit;
                    if constexpr (raw) {
                        bit = rawd.bit();
                    } else {
                        const int ctx = (own & (col_refined << r))                     ? 2
                                        : (neighbourhood(left, own, right, r) & 0x1EF) ? 1
                                                                                       : 0;
                        bit = mq.decode(cx[ctx_refine + ctx]);
                    }
                    // The half step set below the previous plane becomes this
                    // plane's bit; a new half step goes below it.
                    uint32_t& v = s0[r * width];
                    v = (v ^ (bit ? 0 : one)) | half;
                    own |= col_refined << r;
                } while (todo);
                *col = own;
            }
            left = own;
            own = right;
        }
    }
    mq_ = mq;
    raw_ = rawd;
}

template <bool causal>
void block_decoder::cleanup_pass(int bit_position) {
    const int width = width_, height = height_, stride = stride_;
    mq_decoder mq = mq_;
    mq_context* const cx = contexts_;
    const uint8_t* const zc = zc_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    for (int y0 = 0; y0 < height; y0 += 4) {
        const bool above = y0 > 0, below = y0 + 4 < height;
        uint32_t* col = columns_.data() + (y0 / 4) * stride + 1;
        uint32_t* s0 = samples_ + y0 * width;
        auto stripe = [&](auto rows) {
            uint32_t left = col[-1], own = col[0];
            for (int x = 0; x < width; ++x, ++col, ++s0) {
                const uint32_t right = col[1];
                int r = 0;
                if (rows == 4 && !((left | own | right) & 0x3F) && !(own & (0xFu << 16))) {
                    // Run mode: four insignificant rows without a significant
                    // neighbour.
                    if (!mq.decode(cx[ctx_run])) {
                        left = own;
                        own = right;
                        continue;
                    }
                    r = mq.decode(cx[ctx_uniform]) << 1;
                    r |= mq.decode(cx[ctx_uniform]);
                    const int sc = sign_context(left, own, right, r);
                    const int neg = mq.decode(cx[ctx_sign + (sc >> 1)]) ^ (sc & 1);
                    s0[r * width] = one | half | (static_cast<uint32_t>(neg) << 31);
                    mark_significant<causal>(own, col, stride, r, static_cast<uint32_t>(neg), above,
                                             below);
                    ++r;
                }
                for (; r < rows; ++r) {
                    if ((own & (1u << (r + 1))) || (own & (col_visited << r))) continue;
                    if (!mq.decode(cx[zc[neighbourhood(left, own, right, r)]])) continue;
                    const int sc = sign_context(left, own, right, r);
                    const int neg = mq.decode(cx[ctx_sign + (sc >> 1)]) ^ (sc & 1);
                    s0[r * width] = one | half | (static_cast<uint32_t>(neg) << 31);
                    mark_significant<causal>(own, col, stride, r, static_cast<uint32_t>(neg), above,
                                             below);
                }
                own &= ~(0xFu << 16);
                *col = own;
                left = own;
                own = right;
            }
        };
        if (height - y0 >= 4)
            stripe(std::integral_constant<int, 4>{});
        else
            stripe(height - y0);
    }
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
