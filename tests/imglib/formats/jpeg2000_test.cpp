// JPEG 2000 loading: the conformance JP2 files against their references,
// the info record, and damaged files.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <sched.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/memory_owner.h"
#include "jpeg2000/codestream.h"
#include "jpeg2000/encoder.h"
#include "jpeg2000/params.h"
#include "jpeg2000/sources.h"
#include "imglib/pixel_type.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

class Jpeg2000 : public CodecTest {};

fs::path Conformance() {
    return Corpus("jpeg2000-conformance") / "jp2";
}

using Bytes = std::vector<uint8_t>;

Bytes U16(uint32_t v) {
    return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
Bytes U32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Box(const char* type, const Bytes& body) {
    return Cat({U32(static_cast<uint32_t>(body.size() + 8)), Bytes(type, type + 4), body});
}

// A lossless code-stream of the engine: one plane of unsigned samples per
// component, all of one size and precision.
Bytes Codestream(uint32_t width, uint32_t height, const std::vector<std::vector<int32_t>>& planes,
                 int precision = 8) {
    std::vector<j2k::component_image> images(planes.size());
    for (size_t c = 0; c < planes.size(); ++c)
        images[c] = {width, height, precision, false, true, false, planes[c]};
    auto tree = j2k::make_siz_tree();
    j2k::j2k_params* siz = tree->root();
    siz->put_int("Scomponents", 0, 0, static_cast<int>(planes.size()));
    siz->put_int("Sdims", 0, 0, static_cast<int>(height));
    siz->put_int("Sdims", 0, 1, static_cast<int>(width));
    siz->put_int("Sprecision", 0, 0, precision);
    siz->put_bool("Ssigned", 0, 0, false);
    siz->complete();
    j2k::memory_codestream_sink sink;
    j2k::codestream_ref cs = j2k::codestream_ref::create_output(*siz, &sink);
    cs.access_params("COD", -1, -1).put_bool("Creversible", 0, 0, true);
    cs.root_siz().complete_all();
    j2k::codestream_encoder::encode(cs, images, {});
    cs.dispose();
    return sink.data;
}

// A JP2 file around a code-stream: its image header, then the given boxes
// of the header (colour, palette, channels).
Bytes Jp2(const Bytes& codestream, uint32_t width, uint32_t height, int components, int bpc,
          const Bytes& boxes) {
    const Bytes ihdr = Box("ihdr", Cat({U32(height),
                                        U32(width),
                                        U16(static_cast<uint32_t>(components)),
                                        {static_cast<uint8_t>(bpc - 1), 7, 0, 0}}));
    return Cat({Box("jP  ", {0x0D, 0x0A, 0x87, 0x0A}),
                Box("ftyp", Cat({Bytes{'j', 'p', '2', ' '}, U32(0), Bytes{'j', 'p', '2', ' '}})),
                Box("jp2h", Cat({ihdr, boxes})), Box("jp2c", codestream)});
}

// Hand-made code-streams: marker segments of a main header, a tile-part.
Bytes Segment(uint32_t code, const Bytes& body) {
    return Cat({U16(code), U16(static_cast<uint32_t>(body.size() + 2)), body});
}
// One tile over the whole canvas, 8-bit unsigned components.
Bytes Siz(uint32_t width, uint32_t height, int components = 1) {
    Bytes body = Cat({U16(0), U32(width), U32(height), U32(0), U32(0), U32(width), U32(height),
                      U32(0), U32(0), U16(static_cast<uint32_t>(components))});
    for (int c = 0; c < components; ++c)
        body.insert(body.end(), {7, 1, 1});
    return Segment(0xFF51, body);
}
// Reversible 5/3, LRCP, one layer; code-blocks of 2^block, precincts of
// 2^precinct at every level when given.
Bytes Cod(int levels, int block = 6, int precinct = -1) {
    Bytes body = {static_cast<uint8_t>(precinct >= 0 ? 1 : 0),
                  0,
                  0,
                  1,
                  0,
                  static_cast<uint8_t>(levels),
                  static_cast<uint8_t>(block - 2),
                  static_cast<uint8_t>(block - 2),
                  0,
                  1};
    if (precinct >= 0)
        body.insert(body.end(), static_cast<size_t>(levels + 1),
                    static_cast<uint8_t>(precinct | precinct << 4));
    return Segment(0xFF52, body);
}
Bytes Qcd(int levels) {
    Bytes body = {2 << 5};
    body.insert(body.end(), static_cast<size_t>(3 * levels + 1), 9 << 3);
    return Segment(0xFF5C, body);
}
Bytes Stream(const Bytes& main, const Bytes& packets, bool with_tile = true) {
    const Bytes tile =
        with_tile
            ? Cat({Segment(0xFF90,
                           Cat({U16(0), U32(static_cast<uint32_t>(packets.size() + 14)), {0, 1}})),
                   {0xFF, 0x93},
                   packets})
            : Bytes{};
    return Cat({{0xFF, 0x4F}, main, tile, {0xFF, 0xD9}});
}

// A colour box of an enumerated space.
Bytes Colr(uint32_t space) {
    return Box("colr", Cat({{1, 0, 0}, U32(space)}));
}

// Every JP2 file of the suite (palette, sYCC with sub-sampled chroma, ICC
// profiles, 12- and 16-bit samples) is within 2 of its reference in B, G, R.
TEST_F(Jpeg2000, Jp2FilesMatchTheirReferences) {
    if (!fs::is_directory(Conformance())) GTEST_SKIP() << "no conformance files";
    h->loadMode = 1; // B, G, R 8-bit for both
    int files = 0;
    for (int n = 1; n <= 9; ++n) {
        const fs::path dir = Conformance() / ("file" + std::to_string(n));
        const fs::path file = dir / ("file" + std::to_string(n) + ".jp2");
        if (!fs::exists(file)) continue;
        SCOPED_TRACE(file.filename().string());
        ILImageOwner ours, reference;
        ASSERT_EQ(Load(file, &ours.image), IL_OK) << LastError();
        ASSERT_EQ(Load(dir / ("jp2_" + std::to_string(n) + ".tif"), &reference.image), IL_OK);
        ASSERT_EQ(ours.image.width, reference.image.width);
        ASSERT_EQ(ours.image.height, reference.image.height);
        int peak = 0;
        for (uint32_t y = 0; y < ours.image.height; ++y)
            for (uint32_t i = 0; i < ours.image.width * 3; ++i)
                peak = std::max(peak, std::abs(Row(ours.image, y)[i] - Row(reference.image, y)[i]));
        EXPECT_LE(peak, 2);
        ++files;
    }
    EXPECT_GE(files, 6);
}

TEST_F(Jpeg2000, InfoDescribesTheFile) {
    if (!fs::is_directory(Conformance())) GTEST_SKIP() << "no conformance files";
    struct expected {
        const char* path;
        uint32_t format, colour, channels, bits, width, height;
        ILPixelType type;
    };
    const std::vector<expected> cases = {
        {"file9/file9.jp2", 0x62, IL_CT_INDEXED, 1, 8, 768, 512, IL_INDEX8},
        {"file7/file7.jp2", 0x62, IL_CT_RGB, 3, 48, 480, 640, IL_BGR16},
        {"file6/file6.jp2", 0x62, IL_CT_GRAY, 1, 12, 768, 512, IL_GREY16},
        {"p0_01/p0_01.j2k", 0x61, IL_CT_GRAY, 1, 8, 128, 128, IL_GREY8},
    };
    for (const expected& e : cases) {
        SCOPED_TRACE(e.path);
        ILInfo header;
        ASSERT_EQ(Load(Conformance() / e.path, nullptr, &header), IL_OK) << LastError();
        EXPECT_EQ(header.formatId, e.format);
        EXPECT_EQ(header.colorType, e.colour);
        EXPECT_EQ(header.channels, e.channels);
        EXPECT_EQ(header.bitsPerPixel, e.bits);
        EXPECT_EQ(header.width, e.width);
        EXPECT_EQ(header.height, e.height);
        EXPECT_EQ(header.compression, 0x60u);
        ILImageOwner image;
        ASSERT_EQ(Load(Conformance() / e.path, &image.image), IL_OK) << LastError();
        EXPECT_EQ(image.image.type, e.type);
    }
}

TEST_F(Jpeg2000, DamagedFilesEndWithAMessage) {
    if (!fs::is_directory(Conformance())) GTEST_SKIP() << "no conformance files";
    const std::vector<uint8_t> jp2 = ReadBytes(Conformance() / "file5" / "file5.jp2");
    const std::vector<uint8_t> raw = ReadBytes(Conformance() / "p1_05" / "p1_05.j2k");
    ASSERT_FALSE(jp2.empty());
    ASSERT_FALSE(raw.empty());
    struct damage {
        const char* name;
        const std::vector<uint8_t>& bytes;
        size_t keep;
        std::vector<ILResult> results;
    };
    const std::vector<damage> cases = {
        {"jp2 header cut", jp2, 30, {IL_FAILED, IL_INVALID_HEADER}},
        {"jp2 main header cut", jp2, 400, {IL_FAILED}},
        {"jp2 code-stream box cut", jp2, jp2.size() / 2, {IL_FAILED, IL_PARTIAL}},
        {"raw main header cut", raw, 60, {IL_FAILED}},
        {"raw packets cut", raw, raw.size() / 2, {IL_PARTIAL}},
    };
    for (const damage& d : cases) {
        SCOPED_TRACE(d.name);
        const fs::path path = PathOf("cut.jp2");
        ASSERT_TRUE(
            WriteBytes(path, {d.bytes.begin(), d.bytes.begin() + static_cast<long>(d.keep)}));
        errors.clear();
        ILImageOwner image;
        const ILResult r = Load(path, &image.image);
        EXPECT_NE(std::find(d.results.begin(), d.results.end(), r), d.results.end())
            << "result " << static_cast<int>(r);
        EXPECT_FALSE(errors.empty());
    }
    ASSERT_TRUE(WriteBytes(PathOf("not.jp2"), std::vector<uint8_t>(16, 'x')));
    ILImageOwner image;
    EXPECT_EQ(Load(PathOf("not.jp2"), &image.image), IL_INVALID_HEADER);
}

// A tile whose packet headers cannot be read is reported and left out; the
// other tiles of the image load as from the intact file. The damage: the
// second tile's first packet header overwritten with a header that claims
// more than its code-block can hold.
TEST_F(Jpeg2000, DamagedTileIsReportedAndTheOthersLoad) {
    if (!HaveTool("opj_compress")) GTEST_SKIP() << "no opj_compress";
    std::vector<uint8_t> pgm;
    const std::string head = "P5\n64 64\n255\n";
    pgm.assign(head.begin(), head.end());
    for (int i = 0; i < 64 * 64; ++i)
        pgm.push_back(static_cast<uint8_t>((i * 7 + (i >> 6) * 13) ^ (i >> 3)));
    ASSERT_TRUE(WriteBytes(PathOf("in.pgm"), pgm));
    ASSERT_EQ(Shell("opj_compress -t 32,32 -i '" + PathOf("in.pgm") + "' -o '" +
                    PathOf("tiles.j2k") + "' >/dev/null 2>&1"),
              0);
    std::vector<uint8_t> bytes = ReadBytes(PathOf("tiles.j2k"));
    const uint8_t sot[] = {0xFF, 0x90}, sod[] = {0xFF, 0x93};
    auto at = std::search(bytes.begin(), bytes.end(), sot, sot + 2);
    at = std::search(at + 2, bytes.end(), sot, sot + 2);
    ASSERT_EQ(at[4] << 8 | at[5], 1); // Isot: the second tile
    at = std::search(at, bytes.end(), sod, sod + 2) + 2;
    ASSERT_LT(at + 8, bytes.end());
    at[0] = 0xC0;                 // a non-empty packet whose first block is included...
    std::fill(at + 1, at + 8, 0); // ...with no end to its missing bit-planes
    ASSERT_TRUE(WriteBytes(PathOf("damaged.j2k"), bytes));

    h->loadMode = 1;
    ILImageOwner intact, damaged;
    ASSERT_EQ(Load(PathOf("tiles.j2k"), &intact.image), IL_OK) << LastError();
    errors.clear();
    EXPECT_EQ(Load(PathOf("damaged.j2k"), &damaged.image), IL_PARTIAL);
    EXPECT_NE(LastError().find("Corrupt packet header"), std::string::npos) << LastError();
    ASSERT_EQ(damaged.image.width, 64u);
    ASSERT_EQ(damaged.image.height, 64u);
    const int bytes_per_pixel = 3;
    int differing = 0;
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            const bool lost = y < 32 && x >= 32;
            for (int k = 0; k < bytes_per_pixel; ++k) {
                const int i = static_cast<int>(x) * bytes_per_pixel + k;
                if (lost)
                    EXPECT_EQ(Row(damaged.image, y)[i], 0) << x << "," << y;
                else if (Row(damaged.image, y)[i] != Row(intact.image, y)[i])
                    ++differing;
            }
        }
    EXPECT_EQ(differing, 0);
}

// A CIE Lab JP2 file loads through the Lab identity on its white point (D50
// by default). Without ranges in the file, 8-bit samples are already L*
// scaled to 255 and a*, b* offset by 128: lcms2 turning those same values
// into sRGB gives the expected pixels.
TEST_F(Jpeg2000, LabFilesConvertFromTheirWhitePoint) {
    if (!HaveTool("opj_compress")) GTEST_SKIP() << "no opj_compress";
    std::vector<uint8_t> lab;
    for (int i = 0; i < 256; ++i) {
        lab.push_back(static_cast<uint8_t>(i * 7));
        lab.push_back(static_cast<uint8_t>(78 + i * 13 % 101));
        lab.push_back(static_cast<uint8_t>(68 + i * 29 % 121));
    }
    const std::string head = "P6\n16 16\n255\n";
    std::vector<uint8_t> ppm(head.begin(), head.end());
    ppm.insert(ppm.end(), lab.begin(), lab.end());
    ASSERT_TRUE(WriteBytes(PathOf("lab.ppm"), ppm));
    ASSERT_EQ(Shell("opj_compress -n 3 -i '" + PathOf("lab.ppm") + "' -o '" + PathOf("lab.jp2") +
                    "' >/dev/null 2>&1"),
              0);
    std::vector<uint8_t> bytes = ReadBytes(PathOf("lab.jp2"));
    const char colr[] = "colr";
    const auto at = std::search(bytes.begin(), bytes.end(), colr, colr + 4) - bytes.begin();
    ASSERT_LT(at + 11, static_cast<long>(bytes.size()));
    ASSERT_EQ(bytes[at + 4], 1); // an enumerated colour space...
    bytes[at + 10] = 14;         // ...now CIE Lab, without ranges
    ASSERT_TRUE(WriteBytes(PathOf("lab14.jp2"), bytes));

    ILInfo header;
    ASSERT_EQ(Load(PathOf("lab14.jp2"), nullptr, &header), IL_OK) << LastError();
    EXPECT_EQ(header.colorType, IL_CT_LAB);
    h->loadMode = 1;
    ILImageOwner image;
    ASSERT_EQ(Load(PathOf("lab14.jp2"), &image.image), IL_OK) << LastError();

    cmsHPROFILE from = cmsCreateLab4Profile(cmsD50_xyY());
    cmsHPROFILE to = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_Lab_8, to, TYPE_BGR_8, INTENT_PERCEPTUAL,
                                         cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_HIGHRESPRECALC);
    std::vector<uint8_t> expected(lab.size());
    cmsDoTransform(t, lab.data(), expected.data(), 256);
    cmsDeleteTransform(t);
    cmsCloseProfile(from);
    cmsCloseProfile(to);
    int peak = 0;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t i = 0; i < 48; ++i)
            peak = std::max(peak, std::abs(Row(image.image, y)[i] - expected[y * 48 + i]));
    EXPECT_LE(peak, 2);
}

// A JP2 channel mapped to a component the code-stream lacks is refused, not
// shown as a blank image: file9's header claims two components and maps the
// first colour channel to the second.
TEST_F(Jpeg2000, ChannelWithoutItsComponentIsRefused) {
    std::vector<uint8_t> bytes = ReadBytes(Conformance() / "file9" / "file9.jp2");
    if (bytes.empty()) GTEST_SKIP() << "no conformance files";
    auto find = [&](const char* type) {
        return std::search(bytes.begin(), bytes.end(), type, type + 4) - bytes.begin();
    };
    const auto ihdr = find("ihdr"), cmap = find("cmap");
    ASSERT_LT(cmap, static_cast<long>(bytes.size()));
    bytes[ihdr + 13] = 2; // NC
    bytes[cmap + 5] = 1;  // CMP of the first channel
    ASSERT_TRUE(WriteBytes(PathOf("badmap.jp2"), bytes));
    ILImageOwner image;
    EXPECT_EQ(Load(PathOf("badmap.jp2"), &image.image), IL_FAILED);
    EXPECT_NE(LastError().find("Unsupported data format"), std::string::npos) << LastError();
}

// 8-bit palette values widen to 16 bits exactly (v x 257), so white stays
// white through an 8-bit load.
TEST_F(Jpeg2000, PaletteColoursWidenExactly) {
    const uint8_t colours[4][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {10, 200, 128}};
    Bytes pclr = Cat({U16(4), {3, 7, 7, 7}});
    for (const auto& c : colours)
        pclr.insert(pclr.end(), c, c + 3);
    std::vector<int32_t> indices(8 * 4);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<int32_t>(i % 4);
    const Bytes file =
        Jp2(Codestream(8, 4, {indices}), 8, 4, 1, 8,
            Cat({Colr(16), Box("pclr", pclr),
                 Box("cmap", Cat({U16(0), {1, 0}, U16(0), {1, 1}, U16(0), {1, 2}}))}));
    ASSERT_TRUE(WriteBytes(PathOf("pal.jp2"), file));
    ILImageOwner indexed;
    ASSERT_EQ(Load(PathOf("pal.jp2"), &indexed.image), IL_OK) << LastError();
    ASSERT_NE(indexed.image.palette, nullptr);
    ASSERT_GE(indexed.image.palette->count, 4u);
    for (int e = 0; e < 4; ++e) {
        const ILPaletteEntry& got = indexed.image.palette->entries[e];
        EXPECT_EQ(got.red, colours[e][0] * 257) << e;
        EXPECT_EQ(got.green, colours[e][1] * 257) << e;
        EXPECT_EQ(got.blue, colours[e][2] * 257) << e;
    }
    h->loadMode = 1;
    ILImageOwner bgr;
    ASSERT_EQ(Load(PathOf("pal.jp2"), &bgr.image), IL_OK) << LastError();
    for (int x = 0; x < 4; ++x)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(Row(bgr.image, 0)[x * 3 + k], colours[x][2 - k]) << x << "," << k;
}

// A JP2 header that fails to read closes its file: each broken file of a
// folder left one open (and, on Windows, locked) before.
TEST_F(Jpeg2000, RejectedHeaderClosesItsFile) {
    const Bytes whole = Jp2(Codestream(4, 4, {std::vector<int32_t>(16, 9)}), 4, 4, 1, 8, Colr(17));
    ASSERT_TRUE(WriteBytes(PathOf("cut.jp2"), {whole.begin(), whole.begin() + 50}));
    auto open_files = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = open_files();
    for (int i = 0; i < 10; ++i) {
        ILImageOwner image;
        ILInfo header;
        EXPECT_NE(Load(PathOf("cut.jp2"), &image.image), IL_OK);
        EXPECT_NE(Load(PathOf("cut.jp2"), nullptr, &header), IL_OK);
    }
    EXPECT_EQ(open_files(), before);
}

// Flat and nearly flat images code to almost nothing and still load back
// exactly: ours and OpenJPEG's, and a stream of nothing but empty packets.
TEST_F(Jpeg2000, FlatImagesLoadBackExactly) {
    auto check = [&](const std::string& path, uint32_t width, uint32_t height, auto expected) {
        SCOPED_TRACE(path);
        ILImageOwner image;
        ASSERT_EQ(Load(path, &image.image), IL_OK) << LastError();
        ASSERT_EQ(image.image.width, width);
        ASSERT_EQ(image.image.height, height);
        ASSERT_EQ(image.image.type, IL_GREY8);
        int64_t wrong = 0;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                wrong += Row(image.image, y)[x] != expected(x, y);
        EXPECT_EQ(wrong, 0);
    };
    {
        ILImageOwner white;
        ASSERT_EQ(ILAllocImage(&white.image, 20000, 20000, IL_GREY8, nullptr), IL_OK);
        for (uint32_t y = 0; y < 20000; ++y)
            std::fill_n(white.image.data + int64_t{y} * white.image.stride, 20000, 0xFF);
        ASSERT_EQ(Save(PathOf("white.jp2"), white.image), IL_OK) << LastError();
    }
    check(PathOf("white.jp2"), 20000, 20000, [](uint32_t, uint32_t) { return 255; });

    const Bytes empty = Stream(Cat({Siz(30000, 30000), Cod(5), Qcd(5)}), Bytes(6, 0));
    ASSERT_TRUE(WriteBytes(PathOf("empty.j2k"), empty));
    check(PathOf("empty.j2k"), 30000, 30000, [](uint32_t, uint32_t) { return 128; });

    if (!HaveTool("opj_compress")) GTEST_SKIP() << "no opj_compress";
    auto dots = [](uint32_t x, uint32_t y) { return x % 997 == 5 && y % 1009 == 7 ? 0 : 255; };
    const std::string head = "P5\n6000 6000\n255\n";
    Bytes pgm(head.begin(), head.end());
    for (uint32_t y = 0; y < 6000; ++y)
        for (uint32_t x = 0; x < 6000; ++x)
            pgm.push_back(static_cast<uint8_t>(dots(x, y)));
    ASSERT_TRUE(WriteBytes(PathOf("dots.pgm"), pgm));
    ASSERT_EQ(Shell("opj_compress -i '" + PathOf("dots.pgm") + "' -o '" + PathOf("dots.j2k") +
                    "' >/dev/null 2>&1"),
              0);
    check(PathOf("dots.j2k"), 6000, 6000, dots);
}

// Streams of empty packets on every path the engine takes without coded
// data: both wavelet filters, with and without the colour transform, signed
// and unsigned samples. All show the middle level the level shift gives.
TEST_F(Jpeg2000, EmptyPacketsShowTheMiddleLevel) {
    const struct {
        int components;
        bool colour_transform, reversible, is_signed;
    } cases[] = {{1, false, true, false}, {1, false, false, true}, {3, true, true, false},
                 {3, true, false, false}, {3, true, false, true},  {4, false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.components * 8 + c.colour_transform * 4 + c.reversible * 2 + c.is_signed);
        Bytes siz = Siz(97, 53, c.components);
        if (c.is_signed)
            for (int k = 0; k < c.components; ++k)
                siz[siz.size() - 3 * static_cast<size_t>(k + 1)] = 0x87;
        const Bytes cod = Segment(0xFF52, {0, 0, 0, 1, c.colour_transform, 5, 4, 4, 0,
                                           static_cast<uint8_t>(c.reversible)});
        // The 9/7 path's steps: scalar expounded, one per band.
        Bytes steps = {2 << 5 | 2};
        for (int b = 0; b < 16; ++b)
            steps.insert(steps.end(), {0x88, 0x00});
        const Bytes qcd = c.reversible ? Qcd(5) : Segment(0xFF5C, steps);
        const Bytes packets(6 * static_cast<size_t>(c.components), 0);
        ASSERT_TRUE(WriteBytes(PathOf("empty.j2k"), Stream(Cat({siz, cod, qcd}), packets)));
        ILImageOwner image;
        ASSERT_EQ(Load(PathOf("empty.j2k"), &image.image), IL_OK) << LastError();
        ASSERT_EQ(image.image.width, 97u);
        const uint32_t samples = 97 * ILChannelCount(image.image.type);
        int64_t wrong = 0;
        for (uint32_t y = 0; y < image.image.height; ++y)
            for (uint32_t i = 0; i < samples; ++i)
                wrong += Row(image.image, y)[i] != 128;
        EXPECT_EQ(wrong, 0);
    }
}

// Headers whose structures would explode are refused whole, before the
// image is made: no tile data at all, precincts or components by the
// million, code-blocks of a vast image beyond a small budget.
TEST_F(Jpeg2000, HeadersWhoseStructuresExplodeAreRefused) {
    const Bytes zeros(64, 0);
    struct hostile {
        const char* name;
        Bytes stream;
        uint64_t budget;
        ILResult result;
        const char* message;
    };
    // A budget that admits any of these images: the structures decide.
    const uint64_t large = uint64_t{8} << 30;
    const std::vector<hostile> cases = {
        {"no tile data", Stream(Cat({Siz(60000, 60000), Cod(5), Qcd(5)}), {}, false), large,
         IL_FAILED, "SOT"},
        {"empty tile-part", Stream(Cat({Siz(60000, 60000), Cod(5), Qcd(5)}), {}), large, IL_FAILED,
         "no tile data"},
        {"1 x 1 precincts", Stream(Cat({Siz(65535, 65535), Cod(0, 6, 0), Qcd(0)}), zeros), large,
         IL_FAILED, "precincts"},
        {"2 x 2 precincts", Stream(Cat({Siz(8192, 8192), Cod(5, 6, 1), Qcd(5)}), zeros), large,
         IL_FAILED, "precincts"},
        // Data that end in empty packets make no image: refused whole, within
        // a small budget, before the image or its planes are made.
        {"16384 components", Stream(Cat({Siz(64, 64, 16384), Cod(5), Qcd(5)}), zeros), 256 << 20,
         IL_FAILED, "before any coded data"},
        {"4 MB of empty packets, 2 x 2 precincts",
         Stream(Cat({Siz(4096, 4096), Cod(5, 6, 1), Qcd(5)}), Bytes(4 << 20, 0)), 256 << 20,
         IL_FAILED, "before any coded data"},
        {"4 x 4 code-blocks", Stream(Cat({Siz(65535, 65535), Cod(5, 2), Qcd(5)}), zeros), 256 << 20,
         IL_OUT_OF_MEMORY, "Out of memory"},
    };
    for (const hostile& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ILSetImageMemoryBudget(h, &c.budget));
        ASSERT_TRUE(WriteBytes(PathOf("hostile.j2k"), c.stream));
        errors.clear();
        ILImageOwner image;
        EXPECT_EQ(Load(PathOf("hostile.j2k"), &image.image), c.result) << LastError();
        EXPECT_NE(LastError().find(c.message), std::string::npos) << LastError();
    }
}

// A damaged file says the same through the library on one processor (no
// workers) and on all of them (code-blocks and colour components decoded on
// workers): the same result and messages, and the engine's own words, never
// the bare "decoding failed" that a message lost on a worker left.
TEST_F(Jpeg2000, DamagedFilesSayTheSameOnOneProcessorAndOnAll) {
    const fs::path conformance = Conformance();
    if (!fs::is_directory(conformance)) GTEST_SKIP() << "no conformance files";
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    if (CPU_COUNT(&all) < 2) GTEST_SKIP() << "one processor only";
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    struct restore {
        cpu_set_t& set;
        ~restore() { sched_setaffinity(0, sizeof set, &set); }
    } guard{all};
    int failed = 0;
    // The loader takes its workers from the processors the thread may use.
    auto load = [&](const cpu_set_t& cpus) {
        EXPECT_EQ(sched_setaffinity(0, sizeof cpus, &cpus), 0);
        errors.clear();
        warnings.clear();
        ILImageOwner image;
        const ILResult result = Load(PathOf("damaged.j2k"), &image.image);
        failed += result != IL_OK;
        std::string said = std::to_string(result);
        for (const std::string& e : errors)
            said += "\nerror " + e;
        for (const std::string& w : warnings)
            said += "\nwarning " + w;
        return said;
    };
    for (const char* name : {"p0_09", "p1_01", "p0_10", "p0_14"}) {
        const Bytes bytes = ReadBytes(conformance / name / (std::string(name) + ".j2k"));
        if (bytes.empty()) continue;
        std::vector<Bytes> damaged;
        for (int k = 1; k < 4; ++k)
            damaged.emplace_back(bytes.begin(),
                                 bytes.begin() + static_cast<long>(bytes.size() * k / 4));
        std::mt19937 rng(static_cast<unsigned>(bytes.size()));
        for (int k = 0; k < 3; ++k) {
            Bytes flipped = bytes;
            for (int f = 0; f < 1 + k % 3; ++f)
                flipped[100 + rng() % (flipped.size() - 100)] ^=
                    static_cast<uint8_t>(1u << (rng() % 8));
            damaged.push_back(std::move(flipped));
        }
        for (const Bytes& d : damaged) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(WriteBytes(PathOf("damaged.j2k"), d));
            const std::string alone = load(one);
            EXPECT_EQ(load(all), alone);
            EXPECT_EQ(alone.find("JPEG 2000 decoding failed"), std::string::npos) << alone;
        }
    }
    // The damage reached the decoding: some loads failed or were partial.
    EXPECT_GT(failed, 0);
}

// CMYK with opacity loads with its alpha, each sample where it belongs
// (five components were written into four-channel rows).
TEST_F(Jpeg2000, CmykWithAlphaKeepsItsRows) {
    const uint32_t w = 13, hgt = 5;
    std::vector<std::vector<int32_t>> planes(5);
    for (int c = 0; c < 5; ++c)
        for (uint32_t i = 0; i < w * hgt; ++i)
            planes[c].push_back(static_cast<int32_t>((i * 7 + c * 50) % 256));
    Bytes cdef = U16(5);
    for (uint32_t c = 0; c < 5; ++c)
        cdef = Cat({cdef, U16(c), U16(c == 4 ? 1 : 0), U16(c == 4 ? 0 : c + 1)});
    ASSERT_TRUE(WriteBytes(PathOf("cmyka.jp2"), Jp2(Codestream(w, hgt, planes), w, hgt, 5, 8,
                                                    Cat({Colr(12), Box("cdef", cdef)}))));
    // The same colours without opacity, as the reference.
    Bytes cdef4 = U16(4);
    for (uint32_t c = 0; c < 4; ++c)
        cdef4 = Cat({cdef4, U16(c), U16(0), U16(c + 1)});
    ASSERT_TRUE(
        WriteBytes(PathOf("cmyk.jp2"), Jp2(Codestream(w, hgt, {planes.begin(), planes.begin() + 4}),
                                           w, hgt, 4, 8, Cat({Colr(12), Box("cdef", cdef4)}))));
    ILImageOwner image, opaque;
    ASSERT_EQ(Load(PathOf("cmyka.jp2"), &image.image), IL_OK) << LastError();
    ASSERT_EQ(Load(PathOf("cmyk.jp2"), &opaque.image), IL_OK) << LastError();
    ASSERT_TRUE(ILHasAlpha(image.image.type));
    ASSERT_EQ(ILChannelCount(image.image.type), ILChannelCount(opaque.image.type) + 1);
    ASSERT_EQ(ILBitsPerSample(image.image.type), 8u);
    const uint32_t n = ILChannelCount(opaque.image.type);
    for (uint32_t y = 0; y < hgt; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            for (uint32_t k = 0; k < n; ++k)
                ASSERT_EQ(Row(image.image, y)[x * (n + 1) + k], Row(opaque.image, y)[x * n + k])
                    << x << "," << y << "," << k;
            ASSERT_EQ(Row(image.image, y)[x * (n + 1) + n], planes[4][y * w + x]);
        }
}

// A palette with a fourth table mapped as opacity loads as an indexed image
// whose entries carry that opacity (every channel showed the raw indices).
TEST_F(Jpeg2000, PaletteWithOpacityLoadsIndexed) {
    const uint8_t entries[3][4] = {{255, 0, 0, 255}, {0, 128, 255, 128}, {20, 40, 60, 0}};
    Bytes pclr = Cat({U16(3), {4, 7, 7, 7, 7}});
    for (const auto& e : entries)
        pclr.insert(pclr.end(), e, e + 4);
    Bytes cmap, cdef = U16(4);
    for (uint32_t k = 0; k < 4; ++k) {
        cmap = Cat({cmap, U16(0), {1, static_cast<uint8_t>(k)}});
        cdef = Cat({cdef, U16(k), U16(k == 3 ? 1 : 0), U16(k == 3 ? 0 : k + 1)});
    }
    std::vector<int32_t> indices(6 * 3);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<int32_t>(i % 3);
    ASSERT_TRUE(WriteBytes(PathOf("pala.jp2"), Jp2(Codestream(6, 3, {indices}), 6, 3, 1, 8,
                                                   Cat({Colr(16), Box("pclr", pclr),
                                                        Box("cmap", cmap), Box("cdef", cdef)}))));
    ILInfo header;
    ILImageOwner image;
    ASSERT_EQ(Load(PathOf("pala.jp2"), &image.image, &header), IL_OK) << LastError();
    EXPECT_EQ(header.colorType, IL_CT_INDEXED);
    EXPECT_EQ(header.alphaKind, 1u);
    ASSERT_EQ(ILPixelModel(image.image.type), IL_MODEL_INDEXED);
    ASSERT_NE(image.image.palette, nullptr);
    for (int e = 0; e < 3; ++e) {
        const ILPaletteEntry& got = image.image.palette->entries[e];
        EXPECT_EQ(got.red, entries[e][0] * 257) << e;
        EXPECT_EQ(got.green, entries[e][1] * 257) << e;
        EXPECT_EQ(got.blue, entries[e][2] * 257) << e;
        EXPECT_EQ(got.alpha, entries[e][3] * 257) << e;
    }
    // Index 0, 1, 2 in the first columns (2 bits each, the most significant
    // first).
    EXPECT_EQ(Row(image.image, 0)[0], 0b00011000);
}

} // namespace
