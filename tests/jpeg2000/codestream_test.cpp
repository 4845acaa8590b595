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
                while (t.walker().next(p))
                    ++r.packets;
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
    for (int t = 0; t < count.y * count.x; ++t)
        cs.write_tile_part_header(t, 0, 0, 1);
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
        for (int n : r.tile_parts)
            EXPECT_GE(n, 1);
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
            tile_ref tile =
                cs.fetch_tile(t / static_cast<int>(count.x), t % static_cast<int>(count.x));
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

namespace {

// The packets of tile 0 of a stream as (layer, resolution, component, precinct).
std::vector<std::tuple<int, int, int, int64_t>> walk_tile0(const std::vector<uint8_t>& bytes) {
    memory_codestream_source source(bytes);
    codestream_ref cs = codestream_ref::create_input(&source);
    std::vector<std::tuple<int, int, int, int64_t>> out;
    std::string error = failure_of([&] {
        tile_ref t = cs.fetch_tile(0, 0);
        packet_position p;
        while (t.walker().next(p))
            out.emplace_back(p.layer, p.resolution, p.component, p.precinct);
        t.release();
    });
    cs.dispose();
    if (!error.empty()) throw failure(error);
    return out;
}

void set_int(codestream_ref& cs, const char* cluster, const char* name, int value, int tile = -1,
             int comp = -1) {
    cs.access_params(cluster, tile, comp).put_int(name, 0, 0, value);
}

} // namespace

TEST(Progression, LayerDrivenOrders) {
    using P = std::tuple<int, int, int, int64_t>;
    auto stream = [](int order) {
        return written_stream(1, 16, 16, {}, [order](codestream_ref& cs) {
            set_int(cs, "COD", "Clevels", 1);
            set_int(cs, "COD", "Clayers", 2);
            set_int(cs, "COD", "Corder", order);
        });
    };
    EXPECT_EQ(walk_tile0(stream(LRCP)),
              (std::vector<P>{{0, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}}));
    EXPECT_EQ(walk_tile0(stream(RLCP)),
              (std::vector<P>{{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 1, 0, 0}}));
}

TEST(Progression, PositionDrivenOrdersFollowTheGrid) {
    using P = std::tuple<int, int, int, int64_t>;
    // Two components, one level, precincts 8 x 8 at resolution 1 and 4 x 4 at
    // resolution 0: both resolutions have 2 x 2 precincts on a 16 x 16 image.
    auto stream = [](int order) {
        return written_stream(2, 16, 16, {}, [order](codestream_ref& cs) {
            j2k_params& cod = cs.access_params("COD", -1, -1);
            cod.put_int("Clevels", 0, 0, 1);
            cod.put_int("Corder", 0, 0, order);
            cod.put_int("Cprecincts", 0, 0, 8);
            cod.put_int("Cprecincts", 0, 1, 8);
            cod.put_int("Cprecincts", 1, 0, 4);
            cod.put_int("Cprecincts", 1, 1, 4);
        });
    };
    // PCRL: position outermost, then component, then resolution.
    const auto pcrl = walk_tile0(stream(PCRL));
    ASSERT_EQ(pcrl.size(), 16u);
    EXPECT_EQ(
        std::vector<P>(pcrl.begin(), pcrl.begin() + 5),
        (std::vector<P>{{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 1, 1, 0}, {0, 0, 0, 1}}));
    // RPCL: all of resolution 0 first, position by position.
    const auto rpcl = walk_tile0(stream(RPCL));
    EXPECT_EQ(std::vector<P>(rpcl.begin(), rpcl.begin() + 4),
              (std::vector<P>{{0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {0, 0, 1, 1}}));
    // CPRL: component 0 whole first.
    const auto cprl = walk_tile0(stream(CPRL));
    EXPECT_EQ(std::vector<P>(cprl.begin(), cprl.begin() + 4),
              (std::vector<P>{{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 1, 0, 1}}));
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(std::get<2>(cprl[k]), 0);
}

TEST(Progression, OrderChangesAndRefusals) {
    using P = std::tuple<int, int, int, int64_t>;
    // Two records: layer 0 of every precinct, then layer 1.
    auto poc = written_stream(1, 16, 16, {}, [](codestream_ref& cs) {
        set_int(cs, "COD", "Clevels", 1);
        set_int(cs, "COD", "Clayers", 2);
        j2k_params& p = cs.access_params("POC", -1, -1);
        const int records[2][6] = {{0, 0, 1, 2, 1, RLCP}, {0, 0, 2, 2, 1, RLCP}};
        for (int r = 0; r < 2; ++r)
            for (int f = 0; f < 6; ++f)
                p.put_int("Porder", r, f, records[r][f]);
    });
    EXPECT_EQ(walk_tile0(poc),
              (std::vector<P>{{0, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}}));
    auto thirds = written_stream(
        1, 16, 16,
        [](j2k_params& siz) {
            siz.put_int("Ssampling", 0, 0, 3);
            siz.put_int("Ssampling", 0, 1, 3);
        },
        [](codestream_ref& cs) { set_int(cs, "COD", "Corder", RPCL); });
    EXPECT_EQ(failure_of([&] { walk_tile0(thirds); }), "Invalid sub-sampling factors");
}

TEST(Codestream, WrittenHeadersReadBack) {
    const auto bytes = written_stream(
        3, 20, 30, {}, [](codestream_ref& cs) { set_int(cs, "COD", "Clevels", 2, -1, 1); },
        {"abc"});
    const uint8_t comment[] = {0xFF, 0x64, 0x00, 0x07, 0x00, 0x01, 'a', 'b', 'c'};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), comment, comment + 9), bytes.end());
    // One tile-part: TPsot 0, TNsot 1.
    const uint8_t sot[] = {0xFF, 0x90, 0x00, 0x0A, 0x00, 0x00};
    auto at = std::search(bytes.begin(), bytes.end(), sot, sot + 6);
    ASSERT_NE(at, bytes.end());
    EXPECT_EQ(at[10], 0);
    EXPECT_EQ(at[11], 1);
    memory_codestream_source source(bytes);
    codestream_ref cs = codestream_ref::create_input(&source);
    EXPECT_EQ(cs.comments(), std::vector<std::string>{"abc"});
    tile_ref t = cs.fetch_tile(0, 0);
    EXPECT_EQ(t.component_at(1).levels(), 2);
    EXPECT_EQ(t.component_at(0).levels(), 5);
    EXPECT_EQ(failure_of([&] { cs.fetch_tile(0, 0); }),
              "You must close a tile before you can re-open it.");
    t.release();
    EXPECT_EQ(failure_of([&] { cs.fetch_tile(0, 0); }),
              "Attempting to access a tile which has already been discarded or closed!");
    EXPECT_EQ(cs.scan_tile_parts(), std::vector<int>{1});
    cs.dispose();
}

TEST(Codestream, Geometry) {
    // A component sub-sampled by 2 on a canvas from (1, 1) to (6, 7).
    auto bytes = written_stream(1, 6, 7,
                                [](j2k_params& siz) {
                                    siz.put_int("Sorigin", 0, 0, 1);
                                    siz.put_int("Sorigin", 0, 1, 1);
                                    siz.put_int("Ssampling", 0, 0, 2);
                                    siz.put_int("Ssampling", 0, 1, 2);
                                },
                                {});
    memory_codestream_source source(bytes);
    codestream_ref cs = codestream_ref::create_input(&source);
    EXPECT_EQ(cs.component_extent(0), (rect{{1, 1}, {2, 3}}));
    cs.dispose();

    struct row {
        const char* name;
        int64_t tiles_down, tiles_across;
        std::string error;
    } rows[] = {
        {"255 x 257 tiles", 257, 255, ""},
        {"256 x 257 tiles", 257, 256, "Maximum number of allowable tiles is 65535"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        auto tree = make_siz_tree();
        j2k_params* siz = tree->root();
        siz->put_int("Ssize", 0, 0, static_cast<int>(r.tiles_down));
        siz->put_int("Ssize", 0, 1, static_cast<int>(r.tiles_across));
        siz->put_int("Stiles", 0, 0, 1);
        siz->put_int("Stiles", 0, 1, 1);
        siz->put_int("Scomponents", 0, 0, 1);
        siz->put_int("Ssampling", 0, 0, 1);
        siz->put_int("Ssampling", 0, 1, 1);
        siz->put_int("Sprecision", 0, 0, 8);
        siz->put_bool("Ssigned", 0, 0, false);
        siz->complete();
        memory_codestream_sink sink;
        EXPECT_EQ(failure_of([&] {
                      codestream_ref c = codestream_ref::create_output(*siz, &sink);
                      c.dispose();
                  }),
                  r.error);
    }
}

namespace {

// A minimal stream: SOC, SIZ of one 8-bit component (16 x 16, one tile), then
// the given bytes.
std::vector<uint8_t> stream_with(std::vector<uint8_t> tail, int tiles_across = 1) {
    std::vector<uint8_t> s = {
        0xFF, 0x4F, 0xFF, 0x51, 0, 41, 0, 0, 0, 0, 0, 16, 0, 0,
        0,    16,   0,    0,    0, 0,  0, 0, 0, 0, 0, 0,  0, uint8_t(16 / tiles_across),
        0,    0,    0,    16,   0, 0,  0, 0, 0, 0, 0, 0,  0, 1,
        7,    1,    1};
    const std::vector<uint8_t> cod = {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, 1, 4, 4, 0, 1};
    const std::vector<uint8_t> qcd = {0xFF, 0x5C, 0, 7, 0x40, 0x50, 0x58, 0x58, 0x60};
    s.insert(s.end(), cod.begin(), cod.end());
    s.insert(s.end(), qcd.begin(), qcd.end());
    s.insert(s.end(), tail.begin(), tail.end());
    return s;
}

std::vector<uint8_t> sot(int tile, uint32_t psot, int tp, int tn) {
    return {0xFF,
            0x90,
            0,
            10,
            uint8_t(tile >> 8),
            uint8_t(tile),
            uint8_t(psot >> 24),
            uint8_t(psot >> 16),
            uint8_t(psot >> 8),
            uint8_t(psot),
            uint8_t(tp),
            uint8_t(tn)};
}

std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::vector<uint8_t> sod = {0xFF, 0x93};
const std::vector<uint8_t> eoc = {0xFF, 0xD9};

} // namespace

TEST(Markers, HeadersReadToleratesAndRefuses) {
    struct row {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string error;
        std::vector<std::string> warnings;
    };
    const std::vector<uint8_t> ppm = {0xFF, 0x60, 0, 8, 0, 0, 0, 0, 1, 0};
    const row rows[] = {
        {"plain", stream_with(cat({sot(0, 0, 0, 1), sod, eoc})), "", {}},
        {"unknown marker",
         stream_with(cat({{0xFF, 0x70, 0, 4, 1, 2}, sot(0, 0, 0, 1), sod})),
         "",
         {" Unrecognized marker 0xff70 found in code-stream\n"}},
        {"EOC followed by more data",
         stream_with(cat({sot(0, 16, 0, 1), sod, {0, 0}, eoc, {0xFF, 0x90, 0, 4}})),
         "",
         {" Disregarding non-terminal EOC marker\n", " Skipping over corrupt SOT marker code\n"}},
        {"corrupt SOT length skipped",
         stream_with(cat({sot(0, 14, 0, 1), sod, {0xFF, 0x90, 0, 5}, eoc})),
         "",
         {" Skipping over corrupt SOT marker code\n"}},
        {"second marker not SIZ", {0xFF, 0x4F, 0xFF, 0x52, 0, 2}, "Missing SIZ marker segment", {}},
        {"no SOC", {0xFF, 0x51}, "Missing SOC marker", {}},
        {"tile index beyond the tiles",
         stream_with(cat({sot(1, 0, 0, 1), sod})),
         "Invalid marker segment <SOT>: tile index 1 not below the 1 tiles",
         {}},
        {"Psot below 14",
         stream_with(cat({sot(0, 13, 0, 1), sod})),
         "Invalid marker segment <SOT>: Psot 13 below 14",
         {}},
        {"out-of-sequence tile-part",
         stream_with(cat({sot(0, 0, 1, 0), sod})),
         "Missing or out-of-sequence tile-parts for tile number 0 in code-stream!",
         {}},
        {"PPM and PPT",
         stream_with(cat({ppm, sot(0, 0, 0, 1), {0xFF, 0x61, 0, 4, 0, 0}, sod})),
         "Use of both PPM and PPT marker segments is illegal",
         {}},
        {"two PPT with one index",
         stream_with(cat({sot(0, 0, 0, 1), {0xFF, 0x61, 0, 4, 3, 0, 0xFF, 0x61, 0, 4, 3, 0}, sod})),
         "Multiple PPM/PPT markers with identical indices",
         {}},
        {"COD in a later tile-part",
         stream_with(cat({sot(0, 14, 0, 2),
                          sod,
                          sot(0, 0, 1, 2),
                          {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, 1, 4, 4, 0, 1},
                          sod})),
         "",
         {" Ignoring marker segment <COD> found where it may not appear\n"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        j2ktest::kept_messages sink;
        message_scope scope(&sink);
        EXPECT_EQ(failure_of([&] {
                      memory_codestream_source source(r.bytes);
                      codestream_ref cs = codestream_ref::create_input(&source);
                      try {
                          tile_ref t = cs.fetch_tile(0, 0);
                          t.read_remaining_tile_parts();
                          t.release();
                          cs.scan_tile_parts();
                      } catch (...) {
                          cs.dispose();
                          throw;
                      }
                      cs.dispose();
                  }),
                  r.error);
        EXPECT_EQ(sink.warnings, r.warnings);
    }
}

TEST(Codestream, CanvasOriginOutsideTheFirstTileIsRefused) {
    std::vector<uint8_t> bytes = stream_with(cat({sot(0, 0, 0, 1), sod}));
    bytes[35] = 5; // XTOsiz beyond XOsiz
    memory_codestream_source source(bytes);
    EXPECT_EQ(failure_of([&] { codestream_ref::create_input(&source); }),
              "Illegal canvas coordinates");
}

TEST(Markers, PacketHeadersFromPptInIndexOrder) {
    auto bytes = stream_with(cat(
        {sot(0, 0, 0, 1), {0xFF, 0x61, 0, 5, 1, 'c', 'd', 0xFF, 0x61, 0, 5, 0, 'a', 'b'}, sod}));
    memory_codestream_source source(bytes);
    codestream_ref cs = codestream_ref::create_input(&source);
    tile_ref t = cs.fetch_tile(0, 0);
    codestream_input_buffer* headers = t.packed_headers();
    ASSERT_NE(headers, nullptr);
    uint8_t got[5] = {};
    EXPECT_EQ(headers->read(got, 5), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(got), 4), "abcd");
    t.release();
    cs.dispose();
}

TEST(Codestream, HostileQuantisationIsRefused) {
    // The QCD carries 1 band where 1 level needs 4; then a shift past 31.
    const std::vector<uint8_t> short_qcd = {0xFF, 0x5C, 0, 4, 0x40, 0x50};
    auto bytes = stream_with(cat({sot(0, 0, 0, 1), short_qcd, sod}));
    memory_codestream_source source(bytes);
    codestream_ref cs = codestream_ref::create_input(&source);
    EXPECT_EQ(failure_of([&] { cs.fetch_tile(0, 0); }),
              "Invalid marker segment <QCD>: no quantisation record for every one of the 4 bands "
              "of tile 0 component 0");
    cs.dispose();
    const std::vector<uint8_t> wide_qcd = {0xFF, 0x5C, 0, 7, 0xE0, 0xF8, 0xF8, 0xF8, 0xF8};
    bytes = stream_with(cat({sot(0, 0, 0, 1), wide_qcd, sod}));
    memory_codestream_source source2(bytes);
    cs = codestream_ref::create_input(&source2);
    EXPECT_EQ(failure_of([&] { cs.fetch_tile(0, 0); }),
              "Invalid marker segment <QCD>: 37 magnitude bit-planes, above 31");
    cs.dispose();
}

TEST(Progression, TwoOrderChangeInstancesMakeTwoTileParts) {
    using P = std::tuple<int, int, int, int64_t>;
    // Tile 0 carries one POC instance per tile-part: layer 0 in the first,
    // layer 1 in the second.
    auto siz_tree = j2ktest::image_siz(1, 16, 16);
    j2k_params* siz = siz_tree->root();
    memory_codestream_sink sink;
    codestream_ref out = codestream_ref::create_output(*siz, &sink);
    set_int(out, "COD", "Clevels", 1);
    set_int(out, "COD", "Clayers", 2);
    j2k_params& first = out.access_params("POC", 0, -1);
    j2k_params* second = first.add_instance();
    ASSERT_NE(second, nullptr);
    const int a[6] = {0, 0, 1, 2, 1, LRCP}, b[6] = {0, 0, 2, 2, 1, RLCP};
    for (int f = 0; f < 6; ++f) {
        first.put_int("Porder", 0, f, a[f]);
        second->put_int("Porder", 0, f, b[f]);
    }
    out.root_siz().complete_all();
    out.write_main_header();
    out.write_tile_part_header(0, 0, 0, 0);
    out.write_tile_part_header(0, 1, 0, 2);
    out.write_eoc();
    out.dispose();
    // Each tile-part header holds one POC segment.
    const uint8_t poc[] = {0xFF, 0x5F, 0x00, 0x09};
    auto at = std::search(sink.data.begin(), sink.data.end(), poc, poc + 4);
    ASSERT_NE(at, sink.data.end());
    EXPECT_NE(std::search(at + 4, sink.data.end(), poc, poc + 4), sink.data.end());

    memory_codestream_source source(sink.data);
    codestream_ref cs = codestream_ref::create_input(&source);
    tile_ref t = cs.fetch_tile(0, 0);
    std::vector<P> walked;
    packet_position p;
    // Only the first tile-part is read: its order change ends with layer 0.
    while (t.walker().next(p))
        walked.emplace_back(p.layer, p.resolution, p.component, p.precinct);
    EXPECT_EQ(walked, (std::vector<P>{{0, 0, 0, 0}, {0, 1, 0, 0}}));
    t.read_remaining_tile_parts();
    EXPECT_EQ(t.tile_parts_read(), 2);
    while (t.walker().next(p))
        walked.emplace_back(p.layer, p.resolution, p.component, p.precinct);
    EXPECT_EQ(walked, (std::vector<P>{{0, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}}));
    t.release();
    cs.dispose();
}

TEST(Codestream, HostileSizeMakesNoObjectsUpFront) {
    // 65535 tiles of one sample and 16384 components in a few hundred bytes of
    // header: only the main header's objects exist until segments arrive.
    std::vector<uint8_t> s = {0xFF, 0x4F, 0xFF, 0x51};
    const int csiz = 16384, lsiz = 38 + 3 * csiz;
    s.insert(s.end(), {uint8_t(lsiz >> 8),
                       uint8_t(lsiz),
                       0,
                       0,
                       0,
                       0,
                       0,
                       255,
                       0,
                       0,
                       1,
                       1,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       1,
                       0,
                       0,
                       0,
                       1,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       0,
                       uint8_t(csiz >> 8),
                       uint8_t(csiz)});
    for (int c = 0; c < csiz; ++c)
        s.insert(s.end(), {7, 1, 1});
    const std::vector<uint8_t> coc = {0xFF, 0x53, 0, 10, 0x3F, 0xFF, 0, 2, 4, 4, 0, 1};
    const std::vector<uint8_t> cod = {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, 5, 4, 4, 0, 1};
    std::vector<uint8_t> qcd = {0xFF, 0x5C, 0, 19, 0x20};
    qcd.insert(qcd.end(), 16, 0x40);
    for (auto part : {cod, qcd})
        s.insert(s.end(), part.begin(), part.end());
    for (auto part : {sot(70, 0, 0, 1), coc, sod})
        s.insert(s.end(), part.begin(), part.end());
    memory_codestream_source source(s);
    codestream_ref cs = codestream_ref::create_input(&source);
    coords first, count;
    cs.tile_index_range(first, count);
    EXPECT_EQ(count.y * count.x, 65535);
    param_tree& tree = cs.root_siz().tree();
    EXPECT_EQ(tree.cluster("COD")->tile_objects(-1).size(), 1u);
    EXPECT_EQ(tree.cluster("COD")->tiles(), std::vector<int>{-1});
    // Tile 70's COC for the last component makes that tile's objects only.
    tile_ref t = cs.fetch_tile(0, 70);
    EXPECT_EQ(tree.cluster("COD")->tiles(), (std::vector<int>{-1, 70}));
    EXPECT_EQ(tree.cluster("COD")->tile_objects(70).size(), 2u);
    EXPECT_EQ(t.component_at(16383).levels(), 2);
    EXPECT_EQ(t.component_at(0).levels(), 5);
    t.release();
    EXPECT_EQ(tree.cluster("COD")->tiles(), std::vector<int>{-1});
    cs.dispose();
}

TEST(Progression, EndlessPositionWalksAreRefused) {
    // Component 0 has 4000 x 4000 precincts of one sample, nine more
    // components 33 resolutions each: PCRL would visit every position for
    // every (component, resolution) pair, some 4.8e9 visits.
    auto bytes = written_stream(10, 4000, 4000, {}, [](codestream_ref& cs) {
        j2k_params& main = cs.access_params("COD", -1, -1);
        main.put_int("Clevels", 0, 0, 32);
        main.put_bool("Creversible", 0, 0, true);
        main.put_int("Corder", 0, 0, PCRL);
        j2k_params& fine = cs.access_params("COD", -1, 0);
        fine.put_int("Clevels", 0, 0, 0);
        fine.put_int("Cprecincts", 0, 0, 1);
        fine.put_int("Cprecincts", 0, 1, 1);
    });
    EXPECT_EQ(failure_of([&] { walk_tile0(bytes); }),
              "The progression of tile 0 visits more precinct positions than the engine walks");
}
