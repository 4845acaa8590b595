// The state both block coders keep per stripe column: one word per column
// of a stripe holds the significance (bits 0 to 5: the row above the
// stripe, its four rows, the row below) and the signs (bits 8 to 13, the
// same rows) the contexts need, and the column's own visited (16 to 19) and
// refined (20 to 23) flags. A sample's neighbourhood is then three words:
// its column's and the two beside it.
#pragma once

#include <cstdint>

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

} // namespace j2k
