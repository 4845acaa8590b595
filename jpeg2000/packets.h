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
#include "jpeg2000/sources.h"
#include "jpeg2000/tag_tree.h"

namespace j2k {

// A tile's coded data: the bodies of its tile-parts one after another, held
// in memory, or (from a random-access source) left in the source and read
// when wanted, so that a tile never holds its whole coded data.
class tile_data {
public:
    // Bytes kept in memory.
    void append(const uint8_t* bytes, int64_t n);
    // A body left at `position` of the source.
    void add_part(codestream_source* source, int64_t position, int64_t length);
    int64_t size() const { return size_; }
    // Copies [offset, offset + n) out; bytes the source no longer gives
    // read as 0xFF.
    void read(int64_t offset, uint8_t* out, int64_t n) const;
    // A contiguous run of the data from `offset` to `end` (at least one byte
    // when offset is below size()), valid until the next call.
    void view(int64_t offset, const uint8_t*& begin, const uint8_t*& end);

private:
    struct part {
        int64_t offset, position, length;
    };
    std::vector<uint8_t> bytes_;
    std::vector<part> parts_;
    codestream_source* source_ = nullptr;
    std::vector<uint8_t> window_;
    int64_t window_at_ = 0; // where the window starts in the data
    int64_t size_ = 0;
};

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
    // Rows of the band's code-blocks, made with the first packet that brings
    // one of them: a band of empty packets holds none.
    std::vector<code_block> blocks;
    // Some block has coding passes: without any, the band is all zeros.
    bool coded = false;
    // Block i (raster order), empty when none came.
    const code_block& at(int64_t i) const {
        static const code_block none;
        return blocks.empty() ? none : blocks[static_cast<size_t>(i)];
    }
};

class tile_packets {
public:
    // The precinct records made as packets arrive may take `room` bytes;
    // beyond that the code-stream is refused.
    tile_packets(tile_state& tile, tile_data data, int64_t room = INT64_MAX);
    // Reads every packet; false when the data ended before the last one.
    bool read_packets();
    const band_blocks& blocks(int c, int resolution, int band) const {
        return component(c)[static_cast<size_t>(resolution)].bands[static_cast<size_t>(band)];
    }
    const tile_data& data() const { return data_; }
    // Some packet brought bytes of a code-block.
    bool coded() const { return coded_; }

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

    std::vector<resolution_blocks>& component(int c) const;
    precinct& precinct_at(int c, int r, int64_t p);
    void read_packet(const packet_position& pos);

    tile_state& tile_;
    tile_data data_;
    int64_t room_;
    int64_t at_ = 0;
    bool coded_ = false;
    std::vector<uint8_t> packed_;
    size_t packed_at_ = 0;
    // Per component, made on first use.
    mutable std::vector<std::vector<resolution_blocks>> comps_;
};

} // namespace j2k
