// The code-stream object over real streams (the conformance set and streams
// made by opj_compress and grk_compress, checked against opj_dump), over
// streams this engine writes, and over hostile ones.
#include "jpeg2000/codestream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "jpeg2000/clusters.h"
#include "jpeg2000/progression.h"
#include "jpeg2000/sources.h"
#include "oracle.h"
#include "support.h"
#include "support/test_folder.h"
#include "support/tools.h"

using namespace j2k;
using j2ktest::failure_of;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Reads a whole stream: main header, every tile, the tile-part count.
struct read_result {
    std::vector<int> tile_parts;
    int64_t packets = 0;
};

read_result read_all(codestream_ref cs, bool walk) {
    read_result r;
    coords first, count;
    cs.tile_index_range(first, count);
    for (int y = 0; y < count.y; ++y)
        for (int x = 0; x < count.x; ++x) {
            tile_ref t = cs.fetch_tile(y, x);
            if (walk) {
                packet_position p;
                while (t.walker().next(p)) ++r.packets;
            }
            t.release();
        }
    r.tile_parts = cs.scan_tile_parts();
    return r;
}

// The main header values opj_dump lists, read through the engine.
void expect_header_agrees(codestream_ref cs, const std::string& path) {
    const j2ktest::dumped_header d = j2ktest::opj_dump_header(path);
    const rect canvas = cs.canvas();
    EXPECT_EQ(canvas.pos.x, d.x0);
    EXPECT_EQ(canvas.pos.y, d.y0);
    EXPECT_EQ(canvas.end().x, d.x1);
    EXPECT_EQ(canvas.end().y, d.y1);
    EXPECT_EQ(cs.tile_size().x, d.tdx);
    EXPECT_EQ(cs.tile_size().y, d.tdy);
    coords first, count;
    cs.tile_index_range(first, count);
    EXPECT_EQ(count.x, d.tw);
    EXPECT_EQ(count.y, d.th);
    const j2k_params& cod = cs.access_params("COD", -1, -1);
    int layers = 0, order = 0;
    bool ycc = false, sop = false, eph = false;
    cod.read_int("Clayers", 0, 0, layers);
    cod.read_int("Corder", 0, 0, order);
    cod.read_bool("Cycc", 0, 0, ycc);
    cod.read_bool("Cuse_sop", 0, 0, sop);
    cod.read_bool("Cuse_eph", 0, 0, eph);
    EXPECT_EQ(layers, d.layers);
    EXPECT_EQ(order, d.order);
    EXPECT_EQ(ycc ? 1 : 0, d.mct);
    EXPECT_EQ(sop, (d.csty & 2) != 0);
    EXPECT_EQ(eph, (d.csty & 4) != 0);
    ASSERT_EQ(static_cast<int>(d.components.size()), cs.component_count());
    for (int c = 0; c < cs.component_count(); ++c) {
        SCOPED_TRACE("component " + std::to_string(c));
        const j2k_params& cc = cs.access_params("COD", -1, c);
        const j2k_params& qc = cs.access_params("QCD", -1, c);
        const j2k_params& rc = cs.access_params("RGN", -1, c);
        int levels = 0, blk_h = 0, blk_w = 0, guard = 0, shift = 0;
        bool reversible = false;
        cc.read_int("Clevels", 0, 0, levels);
        cc.read_int("Cblk", 0, 0, blk_h);
        cc.read_int("Cblk", 0, 1, blk_w);
        cc.read_bool("Creversible", 0, 0, reversible);
        qc.read_int("Qguard", 0, 0, guard);
        rc.read_int("Rshift", 0, 0, shift);
        EXPECT_EQ(levels + 1, d.components[c].resolutions);
        EXPECT_EQ(blk_w, d.components[c].cblkw);
        EXPECT_EQ(blk_h, d.components[c].cblkh);
        EXPECT_EQ(reversible ? 1 : 0, d.components[c].qmfbid);
        EXPECT_EQ(guard, d.components[c].guard);
        EXPECT_EQ(shift, d.components[c].roishift);
    }
}

// A code-stream written by the engine with empty tile-part bodies.
std::vector<uint8_t> written_stream(int components, int height, int width,
                                    const std::function<void(j2k_params&)>& set_siz,
                                    const std::function<void(codestream_ref&)>& set,
                                    std::vector<std::string> comments = {}) {
    auto tree = make_siz_tree();
    j2k_params* siz = tree->root();
    siz->put_int("Scomponents", 0, 0, components);
    siz->put_int("Ssize", 0, 0, height);
    siz->put_int("Ssize", 0, 1, width);
    siz->put_int("Ssampling", 0, 0, 1);
    siz->put_int("Ssampling", 0, 1, 1);
    siz->put_int("Sprecision", 0, 0, 8);
    siz->put_bool("Ssigned", 0, 0, false);
    if (set_siz) set_siz(*siz);
    siz->complete();
    memory_codestream_sink sink;
    codestream_ref cs = codestream_ref::create_output(*siz, &sink);
    if (set) set(cs);
    cs.root_siz().complete_all();
    cs.set_comments(std::move(comments));
    cs.write_main_header();
    coords first, count;
    cs.tile_index_range(first, count);
    for (int t = 0; t < count.y * count.x; ++t) cs.write_tile_part_header(t, 0, 0, 1);
    cs.write_eoc();
    cs.dispose();
    return sink.data;
}

} // namespace

TEST(Codestream, ConformanceStreamsAgreeWithOpjDump) {
    const fs::path dir = fs::path(VX_CORPUS_DIR) / "jpeg2000-conformance" / "jp2";
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus";
    if (!vxtest::HaveTool("opj_dump")) GTEST_SKIP() << "no opj_dump";
    int streams = 0;
    for (auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.path().extension() != ".j2k") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<uint8_t> bytes = file_bytes(entry.path());
        memory_codestream_source source(bytes);
        codestream_ref cs = codestream_ref::create_input(&source);
        expect_header_agrees(cs, entry.path().string());
        const read_result r = read_all(cs, true);
        for (int n : r.tile_parts) EXPECT_GE(n, 1);
        cs.dispose();
        ++streams;
    }
    EXPECT_GE(streams, 15);
}

TEST(Codestream, PeerEncoderOptionsAgreeWithOpjDump) {
    if (!vxtest::HaveTool("opj_compress") || !vxtest::HaveTool("opj_dump"))
        GTEST_SKIP() << "no OpenJPEG tools";
    const fs::path dir = vxtest::MakeTestFolder("j2k_peer");
    // A 53 x 67 RGB image of noise.
    {
        std::ofstream ppm(dir / "in.ppm", std::ios::binary);
        ppm << "P6\n67 53\n255\n";
        uint32_t seed = 12345;
        for (int i = 0; i < 67 * 53 * 3; ++i) {
            seed = seed * 1103515245 + 12345;
            ppm.put(static_cast<char>(seed >> 24));
        }
    }
    struct row {
        const char* tool;
        const char* options;
    } rows[] = {
        {"opj_compress", "-n 3"},
        {"opj_compress", "-b 32,16"},
        {"opj_compress", "-M 63"},
        {"opj_compress", "-p RLCP -r 30,10"},
        {"opj_compress", "-p RPCL -r 30,10"},
        {"opj_compress", "-p PCRL -c [32,32],[16,16]"},
        {"opj_compress", "-p CPRL -c [64,64],[32,32]"},
        {"opj_compress", "-SOP -EPH"},
        {"opj_compress", "-t 32,20 -n 3"},
        {"opj_compress", "-t 32,32 -d 5,3 -T 2,1"},
        {"opj_compress", "-r 40,20,10"},
        {"opj_compress", "-I"},
        {"opj_compress", "-PLT -TLM"},
        {"opj_compress", "-r 20,10 -POC T0=0,0,1,3,3,CPRL/T0=0,0,2,6,3,LRCP"},
        {"opj_compress", "-p RPCL -TP R -t 32,32"},
        {"opj_compress", "-p LRCP -TP L -r 20,10,5"},
        {"grk_compress", "-n 4 -p PCRL"},
        {"grk_compress", "-t 40,40 -p RLCP -r 20,10"},
    };
    int n = 0;
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.tool) + " " + r.options);
        if (!vxtest::HaveTool(r.tool)) continue;
        const fs::path out = dir / ("out" + std::to_string(n++) + ".j2k");
        ASSERT_EQ(vxtest::Shell(std::string(r.tool) + " -i " + (dir / "in.ppm").string() + " -o " +
                                out.string() + " " + r.options + " >/dev/null 2>&1"),
                  0);
        const std::vector<uint8_t> bytes = file_bytes(out);
        memory_codestream_source source(bytes);
        codestream_ref cs = codestream_ref::create_input(&source);
        expect_header_agrees(cs, out.string());
        // Every packet of every tile comes out of the walker exactly once.
        coords first, count;
        cs.tile_index_range(first, count);
        for (int t = 0; t < count.y * count.x; ++t) {
            tile_ref tile = cs.fetch_tile(t / static_cast<int>(count.x), t % static_cast<int>(count.x));
            tile.read_remaining_tile_parts();
            int64_t packets = 0, expected = 0;
            packet_position p;
            std::set<std::tuple<int, int, int, int64_t>> seen;
            while (tile.walker().next(p)) {
                ++packets;
                EXPECT_TRUE(seen.insert({p.layer, p.resolution, p.component, p.precinct}).second);
            }
            for (int c = 0; c < tile.component_count(); ++c)
                for (resolution_ref res = tile.component_at(c).top_resolution(); res.exists();
                     res = res.next_lower()) {
                    coords f, k;
                    res.precinct_indices(f, k);
                    expected += k.y * k.x * tile.layers();
                }
            EXPECT_EQ(packets, expected) << "tile " << t;
            tile.release();
        }
        cs.dispose();
    }
    fs::remove_all(dir);
}
