// The decoding pipeline of one tile-component, pulled one line at a time: a
// wavelet merge stage per resolution level above 0, each fed by the stage of
// the next lower resolution (the LL band at level 0) and by subband decoding
// stages for its HL, LH and HH bands. A subband stage decodes one row of
// code-blocks whenever its lines run out, so the tile-component never holds
// more than a row of code-blocks per band and a few rows per level.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jpeg2000/block_decoder.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/packets.h"
#include "jpeg2000/sample_lines.h"

namespace j2k {

class line_stage {
public:
    virtual ~line_stage() = default;
    // Fills the next line, top to bottom: `line.width` samples.
    virtual void produce_line(sample_line& line) = 0;
};

// A block decoder and its scratch arrays: the caller's, shared by the
// subband stages of a tile (one stage decodes at a time), and one per worker.
struct block_work {
    block_decoder decoder;
    std::vector<uint32_t> samples;
};

class block_row_workers;

// The stages' view of a tile's coded data.
struct tile_sources {
    const tile_packets& packets;
    block_work& work;
    sample_pool& pool;
    block_row_workers* workers; // none: every block on the caller's thread
};

std::unique_ptr<line_stage> create_subband_decoding_stage(const subband_state& band,
                                                          const band_blocks& blocks,
                                                          const tile_sources& from);
// The stage of resolution `level` (at least 1) of a tile-component.
std::unique_ptr<line_stage> create_wavelet_merge_stage(const tile_component_state& tc, int level,
                                                       const tile_sources& from);
// The top stage of a tile-component: full-resolution lines.
std::unique_ptr<line_stage> create_tile_component_stages(const tile_component_state& tc,
                                                         const tile_sources& from);

} // namespace j2k
