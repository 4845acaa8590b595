// The state both block coders keep per sample and the context look-up
// tables of T.800 Tables D.1 and D.3 that they share.
#pragma once

#include <algorithm>
#include <cstdint>

#include "jpeg2000/mq_decoder.h"

namespace j2k {

// Per-sample state, in a grid with a border of one sample all round: the
// significance of the eight neighbours, the signs of the four direct ones,
// and the sample's own flags.
constexpr uint32_t sig_n = 1, sig_s = 2, sig_w = 4, sig_e = 8;
constexpr uint32_t sig_nw = 16, sig_ne = 32, sig_sw = 64, sig_se = 128;
constexpr uint32_t neg_n = 1 << 8, neg_s = 1 << 9, neg_w = 1 << 10, neg_e = 1 << 11;
constexpr uint32_t significant = 1 << 12, visited = 1 << 13, refined = 1 << 14;
constexpr uint32_t neighbours = 0xFF;
// In causal mode the stripe below counts as insignificant.
constexpr uint32_t causal_mask = ~(sig_s | sig_sw | sig_se | neg_s);

// Context indices.
constexpr int ctx_run = 9, ctx_sign = 10, ctx_refine = 15, ctx_uniform = 18;

struct context_tables {
    uint8_t zc[3][256]; // significance labels: H main (LL, LH), V main (HL), D main (HH)
    uint8_t sc[256];    // sign: label << 1 | predicted sign, by sig N S W E, neg N S W E

    context_tables();
};

extern const context_tables block_tables;

constexpr int block_context_count = 19;

// The initial states of T.800 Table D.7.
inline void reset_block_contexts(mq_context* c) {
    std::fill(c, c + block_context_count, mq_reset_context(0));
    c[0] = mq_reset_context(4);
    c[ctx_run] = mq_reset_context(3);
    c[ctx_uniform] = mq_reset_context(46);
}

// The sign context entry of a sample's neighbourhood.
inline int sign_context(uint32_t f) {
    return block_tables.sc[(f & 0xF) | ((f >> 4) & 0xF0)];
}

// Whether the cleanup pass codes a full stripe column in run mode: none of
// its samples is significant or visited or has a significant neighbour (in
// causal mode the stripe below does not count). f0: the column's top flag
// word.
inline bool starts_run(const uint32_t* f0, int stride, bool causal) {
    const uint32_t busy = significant | visited | neighbours;
    const uint32_t last = causal ? f0[3 * stride] & causal_mask : f0[3 * stride];
    return !((f0[0] | f0[stride] | f0[2 * stride] | last) & busy);
}

inline void make_significant(uint32_t* f, int stride, int negative) {
    f[0] |= significant;
    f[-stride] |= sig_s | (negative ? neg_s : 0);
    f[stride] |= sig_n | (negative ? neg_n : 0);
    f[-1] |= sig_e | (negative ? neg_e : 0);
    f[1] |= sig_w | (negative ? neg_w : 0);
    f[-stride - 1] |= sig_se;
    f[-stride + 1] |= sig_sw;
    f[stride - 1] |= sig_ne;
    f[stride + 1] |= sig_nw;
}

// Visits every sample in the coding order, stripe by stripe and column by
// column: visit(flag word, sample, row within the stripe). v holds the
// block's width, height, flag-word stride, flags and samples (row pitch
// the width).
template <typename Visit>
inline void scan_stripes(const auto& v, Visit&& visit) {
    for (int y0 = 0; y0 < v.height; y0 += 4) {
        const int rows = std::min(4, v.height - y0);
        for (int x = 0; x < v.width; ++x) {
            uint32_t* f = v.flags + (y0 + 1) * v.stride + x + 1;
            auto* s = v.samples + y0 * v.width + x;
            for (int r = 0; r < rows; ++r, f += v.stride, s += v.width)
                visit(f, s, r);
        }
    }
}

} // namespace j2k
