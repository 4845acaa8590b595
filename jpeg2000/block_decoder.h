// The code-block decoder: turns the coding passes of one code-block into
// sign-magnitude samples (bit 31 the sign, the block's most significant
// magnitude plane at bit 30, and a 1 half a step below the last plane
// decoded, so that truncated blocks are reconstructed mid-interval). It
// implements the three passes of ITU-T T.800 Annex D with the coding modes
// BYPASS, RESET, RESTART, CAUSAL, ERTERM and SEGMARK.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jpeg2000/block_contexts.h"

namespace j2k {

enum block_modes : int {
    mode_bypass = 1,
    mode_reset = 2,
    mode_restart = 4,
    mode_causal = 8,
    mode_erterm = 16,
    mode_segmark = 32,
};

// A codeword segment: its passes and its bytes (which follow the previous
// segment's in the block's data).
struct block_segment {
    int passes = 0;
    int64_t length = 0;
};

struct block_coding {
    int width = 0, height = 0;
    int orientation = 0; // 0 LL, 1 HL, 2 LH, 3 HH
    int modes = 0;
    int planes = 0; // magnitude bit-planes, with any ROI up-shift
    int missing_msbs = 0;
    std::span<const block_segment> segments;
    const uint8_t* data = nullptr;
};

// The most passes a segment starting at pass `first` may hold under modes.
int segment_pass_limit(int modes, int first);

class block_decoder {
public:
    // Decodes into width x height samples with row pitch width. The passes
    // are the segments' total; a count beyond what the planes allow is an
    // error (j2k::failure).
    void decode(const block_coding& block, uint32_t* samples);

private:
    template <bool causal, bool raw>
    void significance_pass(int plane);
    template <bool raw>
    void refinement_pass(int plane);
    template <bool causal>
    void cleanup_pass(int plane);

    // One word per column of each stripe of four rows, with a border column
    // on each side: the significance of the row above the stripe, its four
    // rows and the row below (bits 0 to 5), their signs (bits 8 to 13), and
    // the visited (16 to 19) and refined (20 to 23) flags of the four rows.
    // A sample's context then comes from three words, loaded once a column.
    std::vector<uint32_t> columns_;
    std::vector<uint8_t> segment_;
    uint32_t* samples_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0;
    const uint8_t* zc_ = nullptr;
    mq_context contexts_[block_context_count] = {};
    mq_decoder mq_;
    raw_decoder raw_;
};

} // namespace j2k
