// The forward wavelet transform of a tile-component (T.800 Annex F analysis,
// the exact inverse of the decoder's synthesis): each level splits its
// resolution's region, vertically then horizontally, into the next lower
// resolution at the top left and the HL, LH and HH bands beside and below.
#pragma once

#include <cstdint>

#include "jpeg2000/codestream_state.h"

namespace j2k {

// buf holds the tile-component's samples with row pitch region width:
// integers through the reversible 5/3, floats through the 9/7.
void forward_transform(const tile_component_state& tc, int32_t* buf);
void forward_transform(const tile_component_state& tc, float* buf);

} // namespace j2k
