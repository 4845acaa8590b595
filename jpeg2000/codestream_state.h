// The code-stream object's own records, shared by the engine files that
// build and walk them (geometry, tile-part headers, progression); callers
// use the handles of codestream.h.
#pragma once

#include <array>
#include <cstdint>
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

// The one or three bands of a resolution, kept in place: a tile of
// thousands of components makes no allocation per resolution for them.
class band_list {
public:
    subband_state* begin() { return items_.data(); }
    subband_state* end() { return items_.data() + n_; }
    const subband_state* begin() const { return items_.data(); }
    const subband_state* end() const { return items_.data() + n_; }
    size_t size() const { return n_; }
    subband_state& operator[](size_t i) { return items_[i]; }
    const subband_state& operator[](size_t i) const { return items_[i]; }
    void push_back(const subband_state& sb) { items_[n_++] = sb; }
    void resize(size_t n) { n_ = n; }

private:
    std::array<subband_state, 3> items_{};
    size_t n_ = 0;
};

struct resolution_state {
    tile_component_state* component;
    int level; // 0 the lowest
    int depth; // decomposition depth of its high-pass bands
    bool roi = false;
    rect region;
    coords precinct_exponent; // log2 of the precinct size
    coords first_precinct, precinct_count;
    band_list bands; // LL only at level 0, else HL, LH, HH
    // Per precinct: the next layer due, in the walker's table of the tile.
    uint16_t* next_layer = nullptr;
    // Cursor of the position-driven orders.
    coords cursor, saved_cursor;
};

// A component's resolutions, lowest first: a slice of its tile's table (one
// allocation for every component of the tile), or records of its own for a
// component made by hand.
class resolution_list {
public:
    resolution_list() = default;
    resolution_list(const resolution_list& o) { *this = o; }
    resolution_list& operator=(const resolution_list& o) {
        own_ = o.own_;
        items_ = own_.empty() ? o.items_ : own_.data();
        n_ = o.n_;
        return *this;
    }
    resolution_state* begin() { return items_; }
    resolution_state* end() { return items_ + n_; }
    const resolution_state* begin() const { return items_; }
    const resolution_state* end() const { return items_ + n_; }
    size_t size() const { return n_; }
    resolution_state& operator[](size_t i) { return items_[i]; }
    const resolution_state& operator[](size_t i) const { return items_[i]; }
    void place(resolution_state* items, size_t n) {
        own_.clear();
        items_ = items;
        n_ = n;
    }
    void resize(size_t n) {
        own_.resize(n);
        items_ = own_.data();
        n_ = n;
    }

private:
    std::vector<resolution_state> own_;
    resolution_state* items_ = nullptr;
    size_t n_ = 0;
};

struct tile_component_state {
    tile_state* tile;
    int index;
    coords subsampling;
    rect region;
    int levels = 0, kernels = 0, modes = 0, precision = 0;
    bool reversible = false, is_signed = false;
    coords block; // nominal code-block size
    resolution_list resolutions;
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
    // The resolutions of every component, the components' in turn.
    std::vector<resolution_state> resolution_table;
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
    // Bytes a tile's component and resolution records may take (the
    // decoder's share of the memory allowed).
    int64_t structure_limit = INT64_MAX;
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
