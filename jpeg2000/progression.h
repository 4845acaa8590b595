// The progression walker: yields, one at a time, the precinct whose next
// packet comes next in a tile, for the five orders of ITU-T T.800 B.12.1 and
// the order changes of POC. The packet writer, rate control's simulation and
// the packet reader all walk a tile through it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jpeg2000/util.h"

namespace j2k {

struct tile_state;
struct resolution_state;

struct packet_position {
    int layer = 0, resolution = 0, component = 0;
    int64_t precinct = 0; // raster index within the resolution's precincts
};

class progression_walker {
public:
    // Limit on the precincts of one tile the walker keeps layer counts for.
    static constexpr int64_t max_precincts = int64_t{1} << 24;

    explicit progression_walker(tile_state& tile);
    // The next packet: false when the tile has none left or its progressions
    // are exhausted. The packet counts as done.
    bool next(packet_position& out);
    // Keep and reinstate every precinct's layer count and the POC position.
    void save();
    void restore();

private:
    bool setup();
    bool next_layer_driven(packet_position& out);
    bool next_position_driven(packet_position& out);
    bool offer(int c, int r, packet_position& out);
    void check_walk_size() const;
    void take(int c, int r, int64_t p, packet_position& out);
    coords precinct_position(int c, int r, coords cell) const;

    tile_state& tile_;
    // The current progression (ends exclusive).
    int order_ = 0, first_res_ = 0, first_comp_ = 0, layer_end_ = 0, res_end_ = 0, comp_end_ = 0;
    // Loop counters.
    int layer_ = 0, res_ = 0, comp_ = 0;
    int64_t precinct_ = 0;
    coords pos_;
    // The position grid.
    coords grid_start_, grid_step_, tile_end_;
    int max_levels_ = 0;
    bool powers_of_two_ = true;
    bool started_ = false, have_changes_ = false, exhausted_ = false;
    int poc_instance_ = 0, poc_record_ = 0;
    int saved_instance_ = 0;
    int64_t saved_done_ = 0;
    // Every precinct's next layer, the resolutions' in turn, and the copy
    // kept by save().
    std::unique_ptr<uint16_t[]> layers_;
    size_t layers_count_ = 0;
    std::vector<uint16_t> saved_layers_;
};

} // namespace j2k
