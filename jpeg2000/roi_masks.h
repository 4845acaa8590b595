// Region-of-interest masks for the encoder. A mask byte per sample tells
// whether the sample lies in the region; every subband sample that an image
// sample of the region contributes to must be coded as foreground. A
// decimator per resolution takes the resolution's mask rows, widens them by
// the support of the synthesis filters and decimates them 2:1 into the four
// bands; the detail bands' rows go to their subband coders (which apply the
// max-shift method, T.800 Annex H), the LL rows to the next lower
// resolution's decimator.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "jpeg2000/codestream_state.h"

namespace j2k {

// Gives mask rows of one resolution or band, top to bottom.
class roi_node {
public:
    virtual ~roi_node() = default;
    // Fills the next row: width bytes, non-zero inside the region.
    virtual void pull(uint8_t* line, int64_t width) = 0;
};

class roi_mask_decimator {
public:
    // resolution: level 1 or above; source: its mask rows.
    roi_mask_decimator(const resolution_state& resolution, roi_node& source);
    ~roi_mask_decimator();
    // Band 0 LL, 1 HL, 2 LH, 3 HH; only claimed bands keep rows.
    roi_node& band_node(int band);

private:
    class band;
    // The next resolution row into its bands' queues; false past the last.
    bool produce_row();

    roi_node& source_;
    std::unique_ptr<band> bands_[4];
    int64_t y0_, x0_, height_, width_;
    int64_t next_ = 0, loaded_ = 0; // rows produced and loaded, from y0_
    int s_[2];                      // supports of even and odd rows
    std::vector<std::vector<uint8_t>> ring_;
    std::vector<uint8_t> combined_;
};

} // namespace j2k
