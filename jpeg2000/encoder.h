// Encoding component images into a code-stream: the DC level shift, the
// forward colour and wavelet transforms, quantisation, the code-block
// encoder, rate control over the layers and the packets (headers with their
// tag trees, then the blocks' bytes), one tile-part per tile.
#pragma once

#include <cstdint>
#include <vector>

#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"

namespace j2k {

class codestream_encoder {
public:
    // cs: an output code-stream whose parameters are complete; images: one
    // per component, of the components' sizes. layer_bytes: the cumulative
    // size of the code-stream after each layer, 0 for no limit (the number
    // of entries is the tiles' layer count). Writes the main header, every
    // tile and EOC. Errors throw j2k::failure.
    static void encode(codestream_ref cs, const std::vector<component_image>& images,
                       const std::vector<int64_t>& layer_bytes);
};

} // namespace j2k
