#include "jpeg2000/block_decoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

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

block_decoder::block_view block_decoder::view() {
    return {width_, height_, stride_, flags_.data(), samples_};
}

void block_decoder::reset_contexts() {
    reset_block_contexts(contexts_);
}

template <bool raw>
inline int block_decoder::sign_bit(mq_decoder& mq, raw_decoder& rd, uint32_t f) {
    if constexpr (raw) return rd.bit();
    const int sc = sign_context(f);
    return mq.decode(contexts_[ctx_sign + (sc >> 1)]) ^ (sc & 1);
}

template <bool causal, bool raw>
void block_decoder::significance_pass(int bit_position) {
    const int stride = stride_;
    // The coders in locals: kept in registers across the loop.
    mq_decoder mq = mq_;
    raw_decoder rawd = raw_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    scan_stripes(view(), [&](uint32_t* f, uint32_t* s, int r) {
        uint32_t fl = *f;
        if (causal && r == 3) fl &= causal_mask;
        if ((fl & (significant | visited)) || !(fl & neighbours)) return;
        const int bit = raw ? rawd.bit() : mq.decode(contexts_[zc_[fl & neighbours]]);
        if (bit) {
            const int neg = sign_bit<raw>(mq, rawd, fl);
            *s = one | half | (static_cast<uint32_t>(neg) << 31);
            make_significant(f, stride, neg);
        }
        *f |= visited;
    });
    mq_ = mq;
    raw_ = rawd;
}

template <bool causal, bool raw>
void block_decoder::refinement_pass(int bit_position) {
    // The coders in locals: kept in registers across the loop.
    mq_decoder mq = mq_;
    raw_decoder rawd = raw_;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    scan_stripes(view(), [&](uint32_t* f, uint32_t* s, int r) {
        uint32_t fl = *f;
        if ((fl & (significant | visited)) != significant) return;
        if (causal && r == 3) fl &= causal_mask;
        int bit;
        if constexpr (raw) {
            bit = rawd.bit();
        } else {
            const int ctx = (fl & refined) ? 2 : (fl & neighbours) ? 1 : 0;
            bit = mq.decode(contexts_[ctx_refine + ctx]);
        }
        // The half step set below the previous plane becomes this
        // plane's bit; a new half step goes below it.
        *s = (*s ^ (bit ? 0 : one)) | half;
        *f |= refined;
    });
    mq_ = mq;
    raw_ = rawd;
}

template <bool causal>
void block_decoder::cleanup_pass(int bit_position) {
    const auto [width, height, stride, flags, samples] = view();
    // The coder in a local: kept in registers across the loop.
    mq_decoder mq = mq_;
    raw_decoder unused;
    const uint32_t one = 1u << bit_position, half = one >> 1;
    for (int y0 = 0; y0 < height; y0 += 4) {
        const int rows = std::min(4, height - y0);
        for (int x = 0; x < width; ++x) {
            uint32_t* const f0 = flags + (y0 + 1) * stride + x + 1;
            uint32_t* const s0 = samples + y0 * width + x;
            int r = 0;
            if (rows == 4) {
                if (starts_run(f0, stride, causal)) {
                    if (!mq.decode(contexts_[ctx_run])) continue;
                    r = mq.decode(contexts_[ctx_uniform]) << 1;
                    r |= mq.decode(contexts_[ctx_uniform]);
                    uint32_t* f = f0 + r * stride;
                    uint32_t fl = *f;
                    if (causal && r == 3) fl &= causal_mask;
                    const int neg = sign_bit<false>(mq, unused, fl);
                    s0[r * width] = one | half | (static_cast<uint32_t>(neg) << 31);
                    make_significant(f, stride, neg);
                    ++r;
                }
            }
            for (; r < rows; ++r) {
                uint32_t* f = f0 + r * stride;
                uint32_t fl = *f;
                if (fl & (significant | visited)) continue;
                if (causal && r == 3) fl &= causal_mask;
                if (mq.decode(contexts_[zc_[fl & neighbours]])) {
                    const int neg = sign_bit<false>(mq, unused, fl);
                    s0[r * width] = one | half | (static_cast<uint32_t>(neg) << 31);
                    make_significant(f, stride, neg);
                }
            }
            for (r = 0; r < rows; ++r)
                f0[r * stride] &= ~visited;
        }
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
    flags_.assign(static_cast<size_t>(stride_) * (height_ + 2), 0u);
    zc_ = block_tables.zc[b.orientation == 1 ? 1 : b.orientation == 3 ? 2 : 0];
    reset_contexts();
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
                        causal ? refinement_pass<true, true>(plane)
                               : refinement_pass<false, true>(plane);
                    else
                        causal ? refinement_pass<true, false>(plane)
                               : refinement_pass<false, false>(plane);
                    break;
            }
            if (b.modes & mode_reset) reset_contexts();
        }
    }
}

} // namespace j2k
