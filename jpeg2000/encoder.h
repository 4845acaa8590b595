// Encoding component samples into a code-stream: the DC level shift, the
// forward colour and wavelet transforms, quantisation, the code-block
// encoder, rate control over the layers and the packets (headers with their
// tag trees, then the blocks' bytes), one tile-part per tile. Samples are
// pulled a row at a time and each tile-component runs through line-based
// stages, so the encoder holds the coded blocks and a few rows per
// resolution, never whole planes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"

namespace j2k {

// Supplies the components' samples, as unshifted integers of the
// components' precision.
class sample_source {
public:
    virtual ~sample_source() = default;
    // Row y of component c from column x0, n samples (coordinates relative
    // to the component's extent). Rows are asked for top to bottom within a
    // tile, all components of a row together.
    virtual void row(int c, int64_t y, int64_t x0, int64_t n, int32_t* out) = 0;
    // A region of interest: the encoder then asks for its mask, a byte per
    // sample, non-zero inside, in the same coordinates. Only tile-components
    // with an up-shift (Rshift) or a weight (Rweight) use it.
    virtual bool has_region() const { return false; }
    virtual void region_row(int /*c*/, int64_t /*y*/, int64_t /*x0*/, int64_t n, uint8_t* out) {
        std::fill_n(out, n, 0);
    }
};

class codestream_encoder {
public:
    // cs: an output code-stream whose parameters are complete. layer_bytes:
    // the cumulative size of the code-stream after each layer, 0 for no
    // limit (the number of entries is the tiles' layer count). Writes the
    // main header, every tile and EOC. Errors throw j2k::failure.
    static void encode(codestream_ref cs, sample_source& source,
                       const std::vector<int64_t>& layer_bytes);
    // The same from whole images, one per component, of the components'
    // sizes.
    static void encode(codestream_ref cs, const std::vector<component_image>& images,
                       const std::vector<int64_t>& layer_bytes);
};

} // namespace j2k
