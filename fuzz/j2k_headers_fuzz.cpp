// The JPEG 2000 engine's headers and boxes under libFuzzer: a JP2 file (boxes
// up to the code-stream) or a raw code-stream; the main header, every tile's
// tile-part headers and geometry, the progression of every tile (bounded),
// and the settings listing. Messages go to a sink that drops them.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "jpeg2000/codestream.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/params.h"
#include "jpeg2000/progression.h"
#include "jpeg2000/sources.h"

namespace {

struct null_sink : j2k::message_sink {
    void error_line(std::string_view) override {}
    void warning(std::string_view) override {}
};

void read_codestream(j2k::codestream_source& source) {
    j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
    try {
        std::ostringstream listing;
        cs.root_siz().print_tile_settings(listing, -1, -1, false);
        j2k::coords first, count;
        cs.tile_index_range(first, count);
        for (int t = 0; t < count.y * count.x && t < 64; ++t) {
            j2k::tile_ref tile =
                cs.fetch_tile(t / static_cast<int>(count.x), t % static_cast<int>(count.x));
            tile.read_remaining_tile_parts();
            cs.root_siz().print_tile_settings(listing, t, t, false);
            j2k::packet_position p;
            for (int n = 0; n < 20000 && tile.walker().next(p); ++n) {}
            tile.release();
        }
        cs.scan_tile_parts();
    } catch (...) {
        cs.dispose();
        throw;
    }
    cs.dispose();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    null_sink sink;
    j2k::message_scope scope(&sink);
    try {
        std::span<const uint8_t> bytes(data, size);
        if (size >= 6 && data[4] == 0x6A && data[5] == 0x50) {
            j2k::boxed_file_reader jp2(bytes);
            read_codestream(jp2);
        } else {
            j2k::memory_codestream_source source(bytes);
            read_codestream(source);
        }
    } catch (const j2k::failure&) {}
    return 0;
}
