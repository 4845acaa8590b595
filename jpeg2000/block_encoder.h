// The code-block encoder: codes the sign-magnitude samples of one code-block
// into the coding passes of T.800 Annex D (the block decoder's passes, modes
// and contexts) and measures, for every pass, the bytes it adds and the
// distortion it removes. Rate control cuts a block after any pass with a
// non-zero slope: those passes lie on the convex hull of the block's
// rate-distortion curve, and their slopes strictly decrease.
#pragma once

#include <cstdint>
#include <vector>

#include "jpeg2000/block_columns.h"
#include "jpeg2000/block_decoder.h"
#include "jpeg2000/mq_encoder.h"

namespace j2k {

struct block_source {
    int width = 0, height = 0;
    int orientation = 0; // 0 LL, 1 HL, 2 LH, 3 HH
    int modes = 0;
    int planes = 0; // magnitude bit-planes (at most 31); the top one is bit 30
    // Sign-magnitude samples, bit 31 the sign, rows one after another.
    const uint32_t* samples = nullptr;
    bool reversible = false;
    // Squared-error weight of magnitude bit 30; 0 or less: no slopes.
    double weight = 0;
};

struct encoded_block {
    int missing_msbs = 0;
    std::vector<uint8_t> data; // the segments one after another
    // Per pass: the length of the data that decodes passes 0..i, and the
    // pass's 16-bit log slope (0: no truncation point).
    std::vector<int64_t> ends;
    std::vector<uint16_t> slopes;
    int passes() const { return static_cast<int>(ends.size()); }
};

// 16-bit logarithmic slopes: 65536 + (256 / ln 2) ln(min(slope / 2^32, 1)),
// kept within 2..0xFFFF.
uint16_t slope_to_log(double slope);
double log_to_slope(int v);

// Slopes of the convex hull of passes with the given lengths and distortion
// reductions; passes off the hull get 0.
void convex_hull_slopes(const int64_t* lengths, const double* reductions, uint16_t* slopes,
                        int passes);

class block_encoder {
public:
    void encode(const block_source& block, encoded_block& out);

private:
    template <bool causal, bool raw>
    int64_t significance_pass(int plane, bool lossless);
    template <bool raw>
    int64_t refinement_pass(int plane, bool lossless);
    template <bool causal>
    int64_t cleanup_pass(int plane, bool lossless);
    template <bool raw>
    void code(int bit, int context) {
        if constexpr (raw)
            raw_.bit(bit);
        else
            mq_.encode(bit, contexts_[context]);
    }
    // The sign of row r of a stripe column (sample v, bit 31 the sign).
    template <bool raw>
    void code_sign(uint32_t v, uint32_t left, uint32_t own, uint32_t right, int r) {
        const int neg = static_cast<int>(v >> 31);
        if constexpr (raw) {
            raw_.bit(neg);
        } else {
            const int sc = sign_context(left, own, right, r);
            mq_.encode(neg ^ (sc & 1), contexts_[ctx_sign + (sc >> 1)]);
        }
    }

    std::vector<uint32_t> columns_; // a word per stripe column (block_columns.h)
    std::vector<uint8_t> bytes_;    // a guard byte, then the segments
    const uint32_t* samples_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0;
    const uint8_t* zc_ = nullptr;
    mq_context contexts_[block_context_count] = {};
    mq_encoder mq_;
    raw_encoder raw_;
};

} // namespace j2k
