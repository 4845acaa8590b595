// The state both block coders keep per stripe column: one word per column
// of a stripe holds the significance (bits 0 to 5: the row above the
// stripe, its four rows, the row below) and the signs (bits 8 to 13, the
// same rows) the contexts need, and the column's own visited (16 to 19) and
// refined (20 to 23) flags. A sample's neighbourhood is then three words:
// its column's and the two beside it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "jpeg2000/block_contexts.h"

namespace j2k {

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
inline const column_tables& column_contexts() {
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

// The rows of a stripe column that a significance pass codes, in order:
// those not yet significant with a significant neighbour; visit(r, the
// row's neighbourhood). The visits may change own.
template <typename Rows, typename Visit>
inline void significance_rows(Rows rows, uint32_t left, uint32_t& own, uint32_t right,
                              Visit&& visit) {
    // Nothing where no row has a significant neighbour, or every row is
    // significant already.
    if (!((left | own | right) & 0x3F) || (own & col_sig_rows) == col_sig_rows) return;
    // Walked as a mask: a row turning significant gives the next one a
    // neighbour, so the mask is taken again after each visit.
    const uint32_t row_mask = (1u << rows) - 1;
    const uint32_t beside = left | right;
    const uint32_t near_rows = (beside | (beside >> 1) | (beside >> 2)) & row_mask;
    auto to_code = [&] { return (near_rows | own | (own >> 2)) & ~(own >> 1) & row_mask; };
    for (uint32_t todo = to_code(); todo;) {
        const int r = __builtin_ctz(todo);
        visit(r, neighbourhood(left, own, right, r));
        todo = to_code() & (~0u << (r + 1));
    }
}

// Visits the columns of every stripe in the coding order:
// visit(rows, left, own, right, col, s0, above, below), with own the
// column's word, which visit stores back (*col) when it changes it, left and
// right the words beside it (left as this pass has left it), s0 the
// column's top sample and above and below whether stripes lie there. rows
// is a constant for full stripes, so that their loops unroll.
template <typename Sample, typename Visit>
inline void scan_columns(uint32_t* columns, Sample* samples, int width, int height, Visit&& visit) {
    const int stride = width + 2;
    for (int y0 = 0; y0 < height; y0 += 4) {
        const bool above = y0 > 0, below = y0 + 4 < height;
        uint32_t* col = columns + (y0 / 4) * stride + 1;
        Sample* s0 = samples + y0 * width;
        auto stripe = [&](auto rows) {
            uint32_t left = col[-1], own = col[0];
            for (int x = 0; x < width; ++x, ++col, ++s0) {
                const uint32_t right = col[1];
                visit(rows, left, own, right, col, s0, above, below);
                left = own;
                own = right;
            }
        };
        if (height - y0 >= 4)
            stripe(std::integral_constant<int, 4>{});
        else
            stripe(height - y0);
    }
}

} // namespace j2k
