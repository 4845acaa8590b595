// j2kinfo: lists the settings of a JPEG 2000 code-stream (raw, or inside a
// JP2 file): image and tile geometry, the main header's and every tile's
// coding parameters, the packets of each tile, tile-parts and comments, and
// the JP2 header boxes.
//   usage: j2kinfo FILE...
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "jpeg2000/codestream.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/params.h"
#include "jpeg2000/progression.h"
#include "jpeg2000/sources.h"

namespace {

struct stderr_sink : j2k::message_sink {
    void error_line(std::string_view line) override { std::cerr << "error:" << line << "\n"; }
    void warning(std::string_view text) override { std::cerr << "warning:" << text; }
};

void list_codestream(j2k::codestream_source& source) {
    j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
    struct disposer {
        j2k::codestream_ref& cs;
        ~disposer() { cs.dispose(); }
    } guard{cs};
    const j2k::rect canvas = cs.canvas();
    std::cout << "canvas: origin (" << canvas.pos.y << "," << canvas.pos.x << ") size ("
              << canvas.size.y << "," << canvas.size.x << ")\n";
    j2k::coords first, count;
    cs.tile_index_range(first, count);
    std::cout << "tiles: " << count.y << " x " << count.x << " of (" << cs.tile_size().y << ","
              << cs.tile_size().x << ") from (" << cs.tile_origin().y << "," << cs.tile_origin().x
              << ")\n";
    for (int c = 0; c < cs.component_count(); ++c) {
        const j2k::rect e = cs.component_extent(c);
        const j2k::coords s = cs.component_subsampling(c);
        std::cout << "component " << c << ": " << cs.sample_precision(c)
                  << (cs.sample_signed(c) ? " bits signed" : " bits unsigned") << ", size ("
                  << e.size.y << "," << e.size.x << "), sub-sampling (" << s.y << "," << s.x
                  << ")\n";
    }
    for (const std::string& text : cs.comments())
        std::cout << "comment: " << text << "\n";
    std::cout << "main header:\n";
    cs.root_siz().print_tile_settings(std::cout, -1, -1, false);
    for (int ty = 0; ty < count.y; ++ty)
        for (int tx = 0; tx < count.x; ++tx) {
            j2k::tile_ref tile = cs.fetch_tile(ty, tx);
            tile.read_remaining_tile_parts();
            // Every packet of the tile in code-stream order.
            int64_t packets = 0;
            j2k::packet_position p;
            while (tile.walker().next(p))
                ++packets;
            std::cout << "tile " << tile.index() << ": " << tile.layers() << " layers, " << packets
                      << " packets\n";
            cs.root_siz().print_tile_settings(std::cout, tile.index(), tile.index(), false);
            tile.release();
        }
    std::vector<int> parts = cs.scan_tile_parts();
    std::cout << "tile-parts:";
    for (int n : parts)
        std::cout << " " << n;
    std::cout << "\n";
}

void list_jp2(j2k::boxed_file_reader& jp2) {
    const j2k::image_header_info& ih = jp2.image_header();
    std::cout << "jp2 image header: height " << ih.height << " width " << ih.width << " components "
              << ih.components << "\n";
    const j2k::colour_info& colour = jp2.colour();
    std::cout << "jp2 colour: space " << colour.space() << " channels " << colour.channel_count();
    int icc = 0;
    if (colour.icc_bytes(icc)) std::cout << " icc " << icc << " bytes";
    std::cout << "\n";
    if (jp2.palette().table_count())
        std::cout << "jp2 palette: " << jp2.palette().table_count() << " tables of "
                  << jp2.palette().entry_count() << " entries\n";
    const j2k::channel_info& ch = jp2.channels();
    for (int k = 0; k < ch.count(); ++k) {
        int comp, table;
        if (ch.mapping(k, comp, table))
            std::cout << "jp2 channel " << k << ": component " << comp << " table " << table
                      << "\n";
    }
    const j2k::resolution_info& res = jp2.resolution();
    if (res.capture_resolution() > 0 || res.display_aspect() != 1)
        std::cout << "jp2 resolution: capture " << res.capture_resolution() << " aspect "
                  << res.display_aspect() << "\n";
    if (!jp2.xml().empty()) std::cout << "jp2 xml: " << jp2.xml().size() << " bytes\n";
    list_codestream(jp2);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: j2kinfo FILE...\n";
        return 2;
    }
    stderr_sink sink;
    j2k::message_scope scope(&sink);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (argc > 2) std::cout << argv[i] << ":\n";
        FILE* f = std::fopen(argv[i], "rb");
        if (!f) {
            std::cerr << argv[i] << ": cannot open\n";
            status = 1;
            continue;
        }
        try {
            unsigned char head[6] = {};
            const size_t n = std::fread(head, 1, sizeof head, f);
            std::rewind(f);
            if (n >= 6 && head[4] == 0x6A && head[5] == 0x50) {
                j2k::boxed_file_reader jp2(f);
                list_jp2(jp2);
            } else {
                j2k::file_codestream_source source(f);
                list_codestream(source);
            }
        } catch (const j2k::failure&) {
            status = 1; // the sink has shown the text
        } catch (const std::bad_alloc&) {
            std::cerr << argv[i] << ": out of memory\n";
            status = 1;
        }
    }
    return status;
}
