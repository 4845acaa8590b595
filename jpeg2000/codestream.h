// The code-stream object and the handles through which callers reach it.
// Each handle is one pointer that never owns what it points to; every
// operation takes the handle first. Geometry is on the reference grid of
// ITU-T T.800 Annex B: rectangles are (vertical, horizontal) position and size.
//
// Reading: create_input (the main header is read up to the first SOT) ->
// fetch_tile (its tile-part headers are read, its components, resolutions and
// subbands built) -> the decoder pulls data -> release -> dispose.
// Writing: create_output from a completed siz_params -> set coding attributes
// on access_params() and complete_all -> per tile fetch_tile, push, release ->
// write -> dispose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg2000/util.h"

namespace j2k {

class codestream_input_buffer;
class codestream_source;
class codestream_sink;
class j2k_params;
class progression_walker;
struct codestream_state;
struct tile_state;
struct tile_component_state;
struct resolution_state;
struct subband_state;

class subband_ref {
public:
    explicit subband_ref(subband_state* s = nullptr) : s_(s) {}
    bool exists() const { return s_ != nullptr; }
    int orientation() const; // 0 LL, 1 HL, 2 LH, 3 HH
    rect extent() const;
    // First code-block index and count on each axis.
    void valid_blocks(coords& first, coords& count) const;
    // Nominal code-block size and the size of the first code-block.
    void block_partition(coords& nominal, coords& first_size) const;
    float step_size() const; // 0 on the reversible path
    bool is_reversible() const;
    int magnitude_bits() const;
    int roi_magnitude_bits() const;
    // The square of Rweight, or a negative value without one.
    float roi_weight() const;
    double energy_gain() const;
    float weight() const;

private:
    subband_state* s_;
};

class resolution_ref {
public:
    explicit resolution_ref(resolution_state* r = nullptr) : r_(r) {}
    bool exists() const { return r_ != nullptr; }
    int level_index() const;
    resolution_ref next_lower() const;
    subband_ref band_at(int band) const;
    rect extent() const;
    int decomposition_depth() const;
    int kernel_id() const;
    bool is_reversible() const;
    bool roi_levels_reached() const;
    // Precinct size (as exponents) and the index range of the precincts.
    coords precinct_exponents() const;
    void precinct_indices(coords& first, coords& count) const;

private:
    resolution_state* r_;
};

class tile_component_ref {
public:
    explicit tile_component_ref(tile_component_state* c = nullptr) : c_(c) {}
    bool exists() const { return c_ != nullptr; }
    int component_index() const;
    int sample_precision(bool with_headroom = false) const;
    bool is_reversible() const;
    resolution_ref top_resolution() const;
    coords subsampling() const;
    rect extent() const;
    int levels() const;
    coords block_size() const;
    int modes() const;

private:
    tile_component_state* c_;
};

class tile_ref {
public:
    explicit tile_ref(tile_state* t = nullptr) : t_(t) {}
    bool exists() const { return t_ != nullptr; }
    int index() const;
    rect extent() const;
    int component_count() const;
    bool uses_colour_transform() const;
    tile_component_ref component_at(int index) const;
    int layers() const;
    int order() const;
    bool uses_sop() const;
    bool uses_eph() const;
    int tile_parts_read() const;
    // Reads the tile's further tile-part headers (to its announced count, or
    // to the end of the data) so that all its order changes are known.
    void read_remaining_tile_parts();
    progression_walker& walker() const;
    // Packet headers kept from PPM or PPT segments, or none.
    codestream_input_buffer* packed_headers() const;
    // Closes the tile; a read tile can no longer be fetched.
    void release();

private:
    friend class codestream_decoder;
    friend class codestream_encoder;
    tile_state* t_;
};

class codestream_ref {
public:
    codestream_ref() = default;
    static codestream_ref create_input(codestream_source* source);
    // siz: a completed siz_params (the caller's tree is copied).
    static codestream_ref create_output(const j2k_params& siz, codestream_sink* sink);
    bool exists() const { return s_ != nullptr; }
    void dispose();

    j2k_params& root_siz() const;
    // The parameter object of a cluster for (tile, component), made when
    // missing (writers set tile and component attributes through it).
    j2k_params& access_params(const char* cluster, int tile, int component) const;

    int component_count() const;
    int sample_precision(int component) const;
    bool sample_signed(int component) const;
    coords component_subsampling(int component) const;
    // The component's region on its own grid; a negative index: the canvas.
    rect component_extent(int component) const;
    rect canvas() const;
    coords tile_size() const;
    coords tile_origin() const;
    // First tile and tiles down and across that meet the region.
    void tile_index_range(coords& first, coords& count) const;
    void limit_components(int n);

    void set_comments(std::vector<std::string> comments);
    const std::vector<std::string>& comments() const;
    void set_recovery_mode();
    void clear_check_modes();

    tile_ref fetch_tile(int y, int x);
    // Reads the remaining tile-part headers (skipping their data) and
    // answers how many tile-parts each tile had; for listings.
    std::vector<int> scan_tile_parts();

    // Writing: SOC, the main header's segments and the comments.
    void write_main_header();
    // Writing: one tile-part header (SOT with Psot, the tile-part's segments,
    // SOD) for a body of body_length bytes; 0 for tnsot when not final.
    void write_tile_part_header(int tile, int tile_part, int64_t body_length, int tnsot);
    // Writing: the body of the tile-part whose header was written last.
    void write_body(const uint8_t* bytes, int64_t count);
    void write_eoc();
    int64_t bytes_written() const;

private:
    friend class codestream_decoder;
    friend class codestream_encoder;
    explicit codestream_ref(codestream_state* s) : s_(s) {}
    codestream_state* s_ = nullptr;
};

} // namespace j2k
