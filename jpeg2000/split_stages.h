// The forward wavelet transform of a tile-component run one row at a time
// (T.800 Annex F analysis, the exact inverse of the decoder's synthesis).
// Each resolution above 0 has a split stage: it runs the vertical lifting
// steps over the few rows they need, analyses each finished row
// horizontally and hands its low and high halves on, even rows to the next
// lower resolution and the HL band, odd rows to the LH and HH bands. So a
// tile-component holds about two rows per lifting step and level, never a
// whole plane.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "jpeg2000/codestream_state.h"
#include "jpeg2000/roi_masks.h"

namespace j2k {

// Receives the rows of a resolution or a subband, top to bottom.
template <typename T>
class row_sink {
public:
    virtual ~row_sink() = default;
    // The next row's samples; the sink may overwrite them.
    virtual void accept(T* row) = 0;
};

// The sink of band b of resolution r (the order of resolution_state::bands),
// with the band's region-of-interest mask rows when it needs them.
template <typename T>
using band_sink_maker = std::function<std::unique_ptr<row_sink<T>>(int r, int b, roi_node* mask)>;

// Whether a band's coder uses a region-of-interest mask: it has an up-shift
// or a weight.
bool band_uses_mask(const subband_state& sb);

// The stages of resolution r and below: integers through the reversible
// 5/3, floats through the 9/7. Resolution 0 is its LL band's sink itself.
// mask: the resolution's region-of-interest mask rows, or null; resolutions
// that Rlevels reaches decimate it into their bands.
std::unique_ptr<row_sink<int32_t>> make_split_stages(const tile_component_state& tc, int r,
                                                     const band_sink_maker<int32_t>& bands,
                                                     roi_node* mask);
std::unique_ptr<row_sink<float>> make_split_stages(const tile_component_state& tc, int r,
                                                   const band_sink_maker<float>& bands,
                                                   roi_node* mask);

// One-dimensional analysis of n samples starting at coordinate i0, in place:
// the low half (even coordinates) then the high half. `work` has room for
// n + 8 samples.
void analyse_line(int32_t* line, int64_t n, int64_t i0, int32_t* work);
void analyse_line(float* line, int64_t n, int64_t i0, float* work);

} // namespace j2k
