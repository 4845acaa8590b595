// The code-stream object's own records, shared by the engine files that
// build and walk them (geometry, tile-part headers, progression); callers
// use the handles of codestream.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/codestream.h"
#include "jpeg2000/markers.h"
#include "jpeg2000/params.h"
#include "jpeg2000/progression.h"

namespace j2k {

struct subband_state {
    resolution_state* resolution;
    int orientation; // 0 LL, 1 HL, 2 LH, 3 HH
    rect region;
    float step = 0;   // relative to the nominal range (irreversible)
    int exponent = 0; // range exponent, or the step's exponent
    int magnitude_bits = 0, roi_magnitude_bits = 0;
    float roi_weight = -1;
    float weight = 1;
    double energy_gain = 1;
    coords block_origin, block_size; // code-block partition
    coords first_block, block_count;
};

struct resolution_state {
    tile_component_state* component;
    int level; // 0 the lowest
    int depth; // decomposition depth of its high-pass bands
    bool roi = false;
    rect region;
    coords precinct_exponent; // log2 of the precinct size
    coords first_precinct, precinct_count;
    std::vector<subband_state> bands; // LL only at level 0, else HL, LH, HH
    // Per precinct: the next layer due, and its saved copy.
    std::vector<uint16_t> next_layer, saved_layer;
    // Cursor of the position-driven orders.
    coords cursor, saved_cursor;
};

struct tile_component_state {
    tile_state* tile;
    int index;
    coords subsampling;
    rect region;
    int levels = 0, kernels = 0, modes = 0, precision = 0;
    bool reversible = false, is_signed = false;
    coords block; // nominal code-block size
    std::vector<resolution_state> resolutions;
};

struct tile_state {
    codestream_state* codestream;
    int index;
    rect region;
    bool open = false, closed = false, built = false, read_completely = false;
    bool ycc = false, sop = false, eph = false;
    int layers = 1, order = 0;
    coords align;
    int tile_parts_read = 0, tnsot = 0;
    int64_t packets = 0, packets_done = 0;
    std::vector<tile_component_state> components;
    std::unique_ptr<progression_walker> walker;
    std::unique_ptr<packed_header_input> packed_headers;
};

// A kept PPM or PPT segment.
struct pp_segment {
    int index;
    std::vector<uint8_t> bytes; // after the index byte
    size_t pos = 0;
};

struct component_info {
    coords subsampling;
    int precision = 0;
    bool is_signed = false;
};

struct codestream_state {
    std::unique_ptr<codestream_input_buffer> in;
    std::unique_ptr<marker_reader> markers;
    std::unique_ptr<codestream_output_buffer> out;
    std::unique_ptr<param_tree> tree;
    std::vector<component_info> components;
    rect canvas;
    coords tile_origin, tile_size, tiles;
    // The decoding restriction.
    int first_component = 0, visible_components = 0, discard_levels = 0, max_layers = 0xFFFF;
    rect region;
    bool resilient = false, expect_sop = false, strict = false;
    // Declared before the tiles, whose packed headers return blocks to it.
    chunk_pool pool;
    // The tile table: live tiles, and the released ones.
    std::vector<std::unique_ptr<tile_state>> tiles_live;
    std::vector<uint8_t> released;
    std::vector<uint16_t> tile_parts_seen;
    std::vector<pp_segment> ppm;
    bool had_ppm = false;
    std::vector<std::string> comments;
    // Reading: the tile-part whose data comes next, and the bytes of it left
    // (-1: to the end of the data).
    int current_tile = -1;
    int64_t current_left = 0;
    bool at_end = false;

    int tile_count() const { return static_cast<int>(tiles.y * tiles.x); }
    void read_main_header();
    void build_geometry();
    static void check_canvas(const int v[2][4]);
    bool read_tile_part_header();
    void handle_header_segment(unsigned place, int tile, int tile_part,
                               std::vector<pp_segment>* ppt);
    tile_state& make_tile(int index);
    void build_tile(tile_state& tile);
    void destroy_tile(int index);
};

} // namespace j2k
