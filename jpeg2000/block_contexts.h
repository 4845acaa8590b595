// The context look-up tables of T.800 Tables D.1 and D.3 that both block
// coders share, indexed by a sample's neighbourhood, and their contexts'
// initial states.
#pragma once

#include <algorithm>
#include <cstdint>

#include "jpeg2000/mq_decoder.h"

namespace j2k {

// A neighbourhood: the significance of the eight neighbours (the table
// index), and for the sign table the signs of the four direct ones.
constexpr uint32_t sig_n = 1, sig_s = 2, sig_w = 4, sig_e = 8;
constexpr uint32_t sig_nw = 16, sig_ne = 32, sig_sw = 64, sig_se = 128;

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

} // namespace j2k
