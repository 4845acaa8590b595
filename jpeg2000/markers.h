// The code-stream's markers: one table of every code the reader knows, with
// where each may appear and what reads its segment, and the marker reader
// with its resynchronisation rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace j2k {

class codestream_input_buffer;

// Where a marker may appear.
enum marker_place : unsigned {
    in_main_header = 1,
    in_first_tile_part = 2, // the first tile-part header of a tile
    in_later_tile_part = 4,
    in_tile_parts = in_first_tile_part | in_later_tile_part,
    in_headers = in_main_header | in_tile_parts,
    in_packets = 8,
};

// What reads a marker's segment.
enum class marker_reader_kind {
    none,        // no segment (SOC, SOD, EPH, EOC, 0xFF30)
    parameters,  // offered to the parameter tree
    packed_main, // PPM: packet headers of every tile
    packed_tile, // PPT: packet headers of one tile-part
    comment,     // COM
    ignored,     // TLM, PLM, PLT: lengths the reader does not need
    framing,     // SOT, SOP: read by the code-stream itself
};

struct marker_info {
    uint16_t code;
    const char* name;
    bool has_segment;
    unsigned places;
    marker_reader_kind reader;
};

// The entry of a code, or none for codes the engine does not know.
const marker_info* find_marker(int code);
// "<SIZ>", or "0xff70" for an unknown code.
std::string marker_name(int code);

// Reads markers and their segments from an input buffer.
class marker_reader {
public:
    explicit marker_reader(codestream_input_buffer* in) : in_(in) {}
    // True with a marker read; false (code 0) at the end of the data or, when
    // not skipping, at a byte that does not start a marker (it is put back).
    bool next(bool high_codes_only, bool skip_to_marker);
    int code() const { return code_; }
    // Bytes after the length field.
    int length() const { return length_; }
    const uint8_t* bytes() const { return segment_.data(); }

private:
    codestream_input_buffer* in_;
    int code_ = 0;
    int length_ = 0;
    std::vector<uint8_t> segment_;
};

} // namespace j2k
