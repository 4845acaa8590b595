// JP2 boxes: the conformance files, hand-made boxes that probe each rule, and
// files the writer makes, read back here and by peers.
#include "jpeg2000/jp2_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "jpeg2000/codestream.h"
#include "support.h"
#include "support/test_folder.h"
#include "support/tools.h"

using namespace j2k;
using j2ktest::failure_of;
namespace fs = std::filesystem;

namespace {

using bytes = std::vector<uint8_t>;

bytes u32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
bytes u16(uint32_t v) {
    return {uint8_t(v >> 8), uint8_t(v)};
}

bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

bytes box(const char (&type)[5], const bytes& payload) {
    return cat({u32(static_cast<uint32_t>(payload.size() + 8)), u32(box_type(type)), payload});
}

const bytes signature = box("jP  ", u32(0x0D0A870A));
const bytes ftyp = box("ftyp", cat({u32(box_type("jp2 ")), u32(0), u32(box_type("jp2 "))}));
const bytes ihdr8x3 = box("ihdr", cat({u32(16), u32(32), u16(3), {7, 7, 1, 0}}));
const bytes srgb = box("colr", cat({{1, 0, 0}, u32(16)}));
const bytes codestream = box("jp2c", {0xFF, 0x4F, 0xFF, 0xD9});

bytes file_with(const bytes& header_boxes) {
    return cat({signature, ftyp, box("jp2h", header_boxes), codestream});
}

// An ICC profile of n bytes with the given device class and colour space.
bytes profile(size_t n, const char (&device)[5], const char (&space)[5]) {
    bytes p(n, 0);
    bytes d = u32(box_type(device)), s = u32(box_type(space));
    std::copy(d.begin(), d.end(), p.begin() + 12);
    std::copy(s.begin(), s.end(), p.begin() + 16);
    return p;
}

std::string read_error(const bytes& file) {
    return failure_of([&] { boxed_file_reader reader(file); });
}

} // namespace

TEST(Jp2, ConformanceFilesParse) {
    const fs::path dir = fs::path(VX_CORPUS_DIR) / "jpeg2000-conformance" / "jp2";
    if (!fs::exists(dir)) GTEST_SKIP() << "no corpus";
    // What the boxes hold, as exiftool and a box listing show them.
    struct row {
        const char* file;
        uint32_t height, width;
        int components, depth, space, icc, palette_tables;
        std::vector<std::pair<int, int>> channels;
    } rows[] = {
        {"file3/file3.jp2", 640, 480, 3, 8, cs_sycc, 0, 0, {{0, -1}, {1, -1}, {2, -1}}},
        {"file5/file5.jp2", 512, 768, 3, 8, cs_srgb, 546, 0, {{0, -1}, {1, -1}, {2, -1}}},
        {"file6/file6.jp2", 512, 768, 1, 12, cs_grey, 0, 0, {{0, -1}}},
        {"file7/file7.jp2", 640, 480, 3, 16, cs_srgb, 13332, 0, {{0, -1}, {1, -1}, {2, -1}}},
        {"file8/file8.jp2", 400, 700, 1, 8, cs_grey, 414, 0, {{0, -1}}},
        {"file9/file9.jp2", 512, 768, 1, 8, cs_srgb, 0, 3, {{0, 0}, {0, 1}, {0, 2}}},
        {"subsampling_2/subsampling_2.jp2",
         1024,
         1280,
         3,
         8,
         cs_srgb,
         0,
         0,
         {{0, -1}, {1, -1}, {2, -1}}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.file);
        FILE* f = std::fopen((dir / r.file).c_str(), "rb");
        ASSERT_NE(f, nullptr);
        boxed_file_reader reader(f);
        EXPECT_EQ(reader.image_header().height, r.height);
        EXPECT_EQ(reader.image_header().width, r.width);
        EXPECT_EQ(reader.image_header().components, r.components);
        EXPECT_EQ(reader.image_header().depths.at(0), r.depth);
        EXPECT_EQ(reader.colour().space(), r.space);
        int icc = 0;
        reader.colour().icc_bytes(icc);
        EXPECT_EQ(icc, r.icc);
        EXPECT_EQ(reader.palette().table_count(), r.palette_tables);
        std::vector<std::pair<int, int>> channels;
        for (int k = 0; k < reader.channels().count(); ++k) {
            int c = -2, t = -2;
            reader.channels().mapping(k, c, t);
            channels.emplace_back(c, t);
        }
        EXPECT_EQ(channels, r.channels);
        // The code-stream box delivers the code-stream.
        codestream_ref cs = codestream_ref::create_input(&reader);
        EXPECT_EQ(cs.canvas().size.y, r.height);
        cs.dispose();
        reader.close();
    }
}

TEST(Jp2, BoxRules) {
    struct row {
        const char* name;
        bytes file;
        std::string error;
    };
    const bytes sig16 = box("jP  ", cat({u32(0x0D0A870A), u32(0)}));
    const bytes jpx_compat =
        box("ftyp", cat({u32(box_type("jpx ")), u32(0), u32(box_type("jp2 "))}));
    const bytes no_compat = box("ftyp", cat({u32(box_type("jp2 ")), u32(0)}));
    const row rows[] = {
        {"plain", file_with(cat({ihdr8x3, srgb})), ""},
        {"signature of 16 bytes", cat({sig16, ftyp, codestream}), "Invalid signature box"},
        {"jpx brand, jp2 compatible",
         cat({signature, jpx_compat, box("jp2h", cat({ihdr8x3, srgb})), codestream}), ""},
        {"empty compatibility list", cat({signature, no_compat, codestream}),
         "File is not compatible with the JP2 or JPX format"},
        {"header before file type", cat({signature, box("jp2h", cat({ihdr8x3, srgb})), ftyp}),
         "File is not compatible with the JP2 or JPX format"},
        {"no code-stream box", cat({signature, ftyp}),
         "File contains no contiguous code-stream box"},
        {"box length 5", cat({signature, u32(5), u32(box_type("ftyp"))}),
         "Illegal box length field"},
        {"64-bit length past the file",
         cat({signature, ftyp, u32(1), u32(box_type("jp2c")), u32(0), u32(0x10000000)}),
         "Box length exceeds the data that holds it"},
        {"sub-box longer than its header box",
         cat({signature, ftyp, u32(20), u32(box_type("jp2h")), u32(40), u32(box_type("ihdr")),
              u32(0), codestream}),
         "Box length exceeds the data that holds it"},
        {"no colour", file_with(ihdr8x3), "No color information available"},
        {"two image headers", file_with(cat({ihdr8x3, ihdr8x3, srgb})),
         "multiple image header boxes"},
        {"38-bit depth byte",
         file_with(cat({box("ihdr", cat({u32(1), u32(1), u16(1), {38, 7, 1, 0}})), srgb})),
         "Malformed image header box"},
        {"compression 6",
         file_with(cat({box("ihdr", cat({u32(1), u32(1), u16(1), {7, 6, 1, 0}})), srgb})),
         "Unsupported compression"},
        {"unknown colour space", file_with(cat({ihdr8x3, box("colr", cat({{1, 0, 0}, u32(21)}))})),
         "Illegal colour space"},
        {"resolution with a zero denominator",
         file_with(cat({ihdr8x3, srgb,
                        box("res ", box("resc", cat({u16(1), u16(0), u16(1), u16(1), {0, 0}})))})),
         "Malformed resolution sub-box"},
        {"cmap of 3 bytes", file_with(cat({ihdr8x3, srgb, box("cmap", {0, 0, 0})})),
         "Malformed component mapping box"},
        {"cdef of an undefined channel",
         file_with(cat({ihdr8x3, srgb, box("cdef", cat({u16(1), u16(5), u16(0), u16(1)}))})),
         "Invalid color channel"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        j2ktest::kept_messages sink;
        message_scope scope(&sink);
        EXPECT_EQ(read_error(r.file), r.error);
    }
}

TEST(Jp2, HeaderValues) {
    j2ktest::kept_messages sink;
    message_scope scope(&sink);
    // METH 3 replaces an enumerated colour; a second enumerated one is skipped;
    // the device class is held as 'scnr'.
    {
        boxed_file_reader r(
            file_with(cat({ihdr8x3, srgb, box("colr", cat({{1, 0, 0}, u32(17)})),
                           box("colr", cat({{3, 0, 0}, profile(200, "mntr", "GRAY")}))})));
        int n = 0;
        const uint8_t* icc = r.colour().icc_bytes(n);
        ASSERT_EQ(n, 200);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(icc) + 12, 4), "scnr");
        EXPECT_EQ(r.colour().space(), cs_grey);
    }
    // A profile shorter than its header is dropped with a warning; a colour
    // box running to the end of its header box is read to it.
    {
        boxed_file_reader r(file_with(cat({ihdr8x3, srgb, u32(0), u32(box_type("colr")),
                                           bytes{3, 0, 0}, profile(100, "scnr", "RGB ")})));
        int n = 0;
        EXPECT_EQ(r.colour().icc_bytes(n), nullptr);
        EXPECT_EQ(r.colour().space(), cs_srgb);
        ASSERT_EQ(sink.warnings.size(), 1u);
        EXPECT_EQ(sink.warnings[0], " ICC profile does not have a complete header\n");
    }
    // Palette values, signed depths, ignored channel types, resolution.
    {
        bytes pclr = cat({u16(2), {1, 7}, {0, 255}});
        bytes ihdr = box("ihdr", cat({u32(4), u32(4), u16(1), {0x87, 7, 1, 0}}));
        boxed_file_reader r(file_with(cat(
            {ihdr, box("colr", cat({{1, 0, 0}, u32(17)})), box("pclr", pclr),
             box("cmap", cat({u16(0), {1, 0}})),
             box("cdef", cat({u16(2), u16(0), u16(0), u16(1), u16(1), u16(65535), u16(0)})),
             box("res ", cat({box("resc", cat({u16(11811), u16(1), u16(11811), u16(1), {0, 0}})),
                              box("resd", cat({u16(1), u16(1), u16(1), u16(1), {127, 127}}))}))})));
        EXPECT_EQ(r.image_header().depths[0], -8);
        float values[2];
        r.palette().table_as_floats(0, values);
        EXPECT_EQ(values[1], 0.49609375f);
        EXPECT_EQ(values[0], -0.5f);
        EXPECT_EQ(r.resolution().capture_resolution(), 11811.0f);
        EXPECT_EQ(r.resolution().display_aspect(), 1.0f);
    }
}

TEST(Jp2, WrittenFilesReadBackHereAndByPeers) {
    const fs::path dir = vxtest::MakeTestFolder("j2k_jp2");
    // A placeholder code-stream: main header and one empty tile-part.
    auto siz_tree = j2ktest::image_siz(2, 24, 40);
    j2k_params* siz = siz_tree->root();
    const fs::path path = dir / "out.jp2";
    {
        boxed_file_writer writer(std::fopen(path.c_str(), "wb"));
        writer.image_header().from_siz(*siz);
        writer.colour().set_space(cs_srgb);
        writer.palette().init(2);
        const uint16_t table[2] = {0, 65535};
        for (int t = 0; t < 3; ++t)
            writer.palette().set_table(t, table);
        writer.channels().set_colour_channels_3();
        for (int k = 0; k < 3; ++k)
            writer.channels().set_mapping(k, 0, k);
        writer.channels().set_mapping(3, 1, -1); // component 1: opacity
        writer.resolution().set_aspect(1);
        writer.resolution().set_capture_resolution(11811.02f);
        codestream_ref cs = codestream_ref::create_output(*siz, &writer);
        cs.root_siz().complete_all();
        cs.write_main_header();
        cs.write_tile_part_header(0, 0, 0, 1);
        cs.write_eoc();
        cs.dispose();
        writer.close();
    }
    {
        FILE* f = std::fopen(path.c_str(), "rb");
        boxed_file_reader reader(f);
        EXPECT_EQ(reader.image_header().height, 24u);
        EXPECT_EQ(reader.palette().entry_count(), 2);
        int c, t;
        ASSERT_TRUE(reader.channels().mapping(2, c, t));
        EXPECT_EQ(c, 0);
        EXPECT_EQ(t, 2);
        ASSERT_TRUE(reader.channels().mapping(3, c, t));
        EXPECT_EQ(c, 1);
        EXPECT_EQ(t, -1);
        // Written as 3870 / 32768 x 10^5: within the fraction's step.
        EXPECT_NEAR(reader.resolution().capture_resolution(), 11811.02f, 1.0f);
        codestream_ref cs = codestream_ref::create_input(&reader);
        EXPECT_EQ(cs.component_count(), 2);
        cs.dispose();
    }
    // Peers read the header boxes and the code-stream (jpylyzer is not
    // packaged for this system; exiftool and opj_dump stand in).
    if (vxtest::HaveTool("exiftool")) {
        const std::string out = vxtest::RunOutput("exiftool -s " + path.string());
        EXPECT_NE(out.find("ImageHeight                     : 24"), std::string::npos) << out;
        EXPECT_NE(out.find("CompatibleBrands                : jp2"), std::string::npos);
        EXPECT_NE(out.find("CaptureXResolution              : 0.1181"), std::string::npos) << out;
        EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
    }
    if (vxtest::HaveTool("opj_dump")) {
        const std::string out = vxtest::RunOutput("opj_dump -i " + path.string() + " 2>&1");
        EXPECT_NE(out.find("x1=40, y1=24"), std::string::npos) << out;
        EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    }
    // A writer that never received a byte writes nothing.
    const fs::path empty = dir / "empty.jp2";
    boxed_file_writer(std::fopen(empty.c_str(), "wb")).close();
    EXPECT_EQ(fs::file_size(empty), 0u);
    fs::remove_all(dir);
}

TEST(Jp2, ResolutionIsWrittenAsAFraction) {
    const fs::path dir = vxtest::MakeTestFolder("j2k_res");
    const fs::path path = dir / "res.jp2";
    {
        boxed_file_writer writer(std::fopen(path.c_str(), "wb"));
        writer.image_header().init(1, 1, 1);
        writer.image_header().set_precision(0, 8, false);
        writer.colour().set_space(cs_grey);
        writer.resolution().set_aspect(1);
        writer.resolution().set_capture_resolution(11811.02f);
        const uint8_t cs[] = {0xFF, 0x4F};
        writer.write(cs, 2);
    }
    std::ifstream in(path, std::ios::binary);
    bytes file{std::istreambuf_iterator<char>(in), {}};
    const bytes resc =
        cat({u32(box_type("resc")), u16(3870), u16(32768), u16(3870), u16(32768), {5, 5}});
    EXPECT_NE(std::search(file.begin(), file.end(), resc.begin(), resc.end()), file.end());
    fs::remove_all(dir);
}
