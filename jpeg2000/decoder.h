// Decoding a whole code-stream into component images: the packet reader
// (packet headers with their tag trees, bodies appended to each code-block),
// the code-block decoder, dequantisation, the inverse wavelet transform, the
// inverse colour transform and the DC level shift.
#pragma once

#include <cstdint>
#include <vector>

#include "jpeg2000/codestream.h"

namespace j2k {

struct component_image {
    int64_t width = 0, height = 0;
    int precision = 0;
    bool is_signed = false;
    // As coded in the last tile: reversibly, and through the colour transform.
    bool reversible = true, colour_transform = false;
    std::vector<int32_t> samples; // rows one after another
};

class codestream_decoder {
public:
    // Decodes every tile of an input code-stream at full resolution. Errors
    // throw j2k::failure; data that ends early leaves the missing passes out
    // and clears `complete` (with a warning).
    static std::vector<component_image> decode(codestream_ref cs, bool* complete = nullptr);
    // The same over a code-stream of its own, opened on the source.
    static std::vector<component_image> decode(codestream_source& source, bool* complete = nullptr);
};

} // namespace j2k
