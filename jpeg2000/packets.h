// The decoding side of the packet layer: the packets of one tile read in
// their progression order (headers with their tag trees, SOP and EPH markers,
// packed headers from PPM or PPT), each code-block left with its passes,
// codeword segments and the places of its bytes in the tile's data.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "jpeg2000/block_decoder.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/tag_tree.h"

namespace j2k {

// A run of a code-block's bytes within the tile's data.
struct block_chunk {
    int64_t offset = 0, length = 0;
};

struct code_block {
    std::vector<block_chunk> chunks;
    std::vector<block_segment> segments;
    int passes = 0, missing = 0, lblock = 3;
    bool included = false;
};

struct band_blocks {
    const subband_state* band = nullptr;
    std::vector<code_block> blocks; // rows of the band's code-blocks
};

class tile_packets {
public:
    // The tile's data: the bodies of all its tile-parts, one after another.
    tile_packets(tile_state& tile, std::vector<uint8_t> data);
    // Reads every packet; false when the data ended before the last one.
    bool read_packets();
    const band_blocks& blocks(int component, int resolution, int band) const {
        return comps_[static_cast<size_t>(component)][static_cast<size_t>(resolution)]
            .bands[static_cast<size_t>(band)];
    }
    const std::vector<uint8_t>& data() const { return data_; }

private:
    struct precinct_band {
        coords first, count; // code-blocks, as indices within the band
        tag_tree inclusion, zero_planes;
    };
    struct precinct {
        std::vector<precinct_band> bands;
    };
    struct resolution_blocks {
        const resolution_state* resolution = nullptr;
        std::vector<band_blocks> bands;
        std::unordered_map<int64_t, precinct> precincts;
    };

    precinct& precinct_at(int c, int r, int64_t p);
    void read_packet(const packet_position& pos);

    tile_state& tile_;
    std::vector<uint8_t> data_;
    size_t at_ = 0;
    std::vector<uint8_t> packed_;
    size_t packed_at_ = 0;
    std::vector<std::vector<resolution_blocks>> comps_;
};

} // namespace j2k
