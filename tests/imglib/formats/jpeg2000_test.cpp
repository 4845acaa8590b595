// JPEG 2000 loading: the conformance JP2 files against their references,
// the info record, and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/memory_owner.h"
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

} // namespace
