// The Photo CD reader against ImageMagick: the corpus pack and image packs
// built here (Base planes, 4Base and 16Base luma residuals coded with a
// small Huffman table) decode to its pixels within its own colour
// conversion's rounding. The rotations, overview files, thumbnail loads,
// sample kinds and the refusals are pinned on the same built packs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/convert/converter.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;
using Plane = std::function<uint8_t(uint32_t x, uint32_t y)>;

// Bits most significant first, written out in whole bytes.
struct BitWriter {
    Bytes bytes;
    uint32_t used = 0; // bits in the last byte
    void Put(uint32_t value, uint32_t n) {
        for (uint32_t i = n; i-- > 0;) {
            if (used % 8 == 0) bytes.push_back(0), used = 0;
            bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << (7 - used));
            ++used;
        }
    }
    void Align() { used = 8; }
};

// Codes: "0" adds 0, "10" adds 8, "11" subtracts 8.
const Bytes kTable = {2, 0, 0x00, 0x00, 0, 1, 0x80, 0x00, 8, 1, 0xC0, 0x00, 0xF8};

// Residual rows of (plane, row number) at the width of their plane, each
// after a synchronisation pattern; a last row numbered `limit` ends them.
Bytes ResidualRows(const std::vector<std::pair<uint32_t, uint32_t>>& rows, uint32_t lumaWidth,
                   uint32_t limit) {
    BitWriter w;
    auto sync = [&](uint32_t plane, uint32_t row) {
        w.Align();
        w.Put(0xFFFFFE, 24);
        w.Put(plane << 14 | row << 1, 16);
    };
    for (const auto& [plane, row] : rows) {
        sync(plane, row);
        const uint32_t width = plane == 0 ? lumaWidth : lumaWidth / 2;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t m = (x / 16 + row / 4 + plane) % 3;
            if (m == 2)
                w.Put(0, 1);
            else
                w.Put(m == 0 ? 0b10 : 0b11, 2);
        }
    }
    sync(0, limit);
    return w.bytes;
}

struct PackSpec {
    Plane luma, c1, c2;
    uint8_t rotation = 0;
    bool fourBase = true, sixteenBase = true;
    Bytes table = kTable;
};

// An image pack: signature, the three stored resolutions from the planes
// (sampled at their scale), and when asked the 4Base and 16Base data.
Bytes MakePack(const PackSpec& s) {
    Bytes b(0xC0000, 0);
    std::memcpy(b.data() + 0x800, "PCD_IPI", 7);
    b[72] = s.rotation;
    const struct {
        uint32_t scale;
        size_t offset;
    } stored[] = {{4, 0x2000}, {2, 0xB800}, {1, 0x30000}};
    for (const auto& r : stored) {
        const uint32_t w = 768 / r.scale, h = 512 / r.scale;
        uint8_t* p = b.data() + r.offset;
        for (uint32_t k = 0; k < h / 2; ++k) {
            for (uint32_t y = 2 * k; y < 2 * k + 2; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    *p++ = s.luma(x * r.scale, y * r.scale);
            for (const Plane* chroma : {&s.c1, &s.c2})
                for (uint32_t x = 0; x < w / 2; ++x)
                    *p++ = (*chroma)(x * r.scale, k * r.scale);
        }
    }
    if (!s.fourBase) return b;
    b.resize(0xC2000, 0);
    b.insert(b.end(), s.table.begin(), s.table.end());
    const size_t start4 = (b.size() + 0x7FF) & ~size_t{0x3FF};
    b.resize(start4, 0);
    std::vector<std::pair<uint32_t, uint32_t>> rows4;
    for (uint32_t r = 0; r < 1024; r += 3)
        rows4.push_back({0, r});
    const Bytes data4 = ResidualRows(rows4, 1536, 1024);
    b.insert(b.end(), data4.begin(), data4.end());
    if (s.sixteenBase) {
        b.resize(start4 + ((data4.size() + 0x67FF) & ~size_t{0x7FF}), 0);
        for (int k = 0; k < 3; ++k)
            b.insert(b.end(), s.table.begin(), s.table.end());
        b.resize((b.size() + 0x7FF) & ~size_t{0x3FF}, 0);
        std::vector<std::pair<uint32_t, uint32_t>> rows16;
        for (uint32_t r = 0; r < 2048; r += 5)
            rows16.push_back({0, r});
        const Bytes data16 = ResidualRows(rows16, 3072, 2048);
        b.insert(b.end(), data16.begin(), data16.end());
    }
    b.resize(b.size() + 4096, 0);
    return b;
}

// A smooth picture whose brightest luma is 255, as in real scans.
PackSpec Picture() {
    PackSpec s;
    s.luma = [](uint32_t x, uint32_t y) {
        return static_cast<uint8_t>(x < 8 && y < 8 ? 255 : 40 + x * 150 / 768 + y * 40 / 512);
    };
    s.c1 = [](uint32_t x, uint32_t) { return static_cast<uint8_t>(120 + x * 70 / 384); };
    s.c2 = [](uint32_t, uint32_t y) { return static_cast<uint8_t>(110 + y * 60 / 256); };
    return s;
}

class PcdTest : public CodecTest {
protected:
    fs::path WritePack(const Bytes& bytes, const std::string& name = "t.pcd") {
        const fs::path p = dir / name;
        WriteBytes(p, bytes);
        return p;
    }
    // Loads at a resolution as 8-bit B, G, R.
    ILResult LoadAt(const fs::path& p, uint32_t resolution, ILImage* image,
                    uint32_t kind = IL_KIND_8, ILInfo* info = nullptr) {
        h->pcd.resolution = resolution;
        h->pcd.sampleKind = kind;
        return Load(p, image, info);
    }
    // The largest difference of our 8-bit samples from ImageMagick's R, G,
    // B at the given size.
    int MagickDifference(const fs::path& p, const ILImage& image) {
        const std::string raw =
            RunOutput("convert-im6.q16 -size " + std::to_string(image.width) + "x" +
                      std::to_string(image.height) + " '" + p.string() + "' -depth 8 rgb:-");
        if (raw.size() != size_t{image.width} * image.height * 3) return 256;
        int worst = 0;
        for (uint32_t y = 0; y < image.height; ++y)
            for (uint32_t x = 0; x < image.width; ++x)
                for (uint32_t k = 0; k < 3; ++k) {
                    const int theirs =
                        static_cast<uint8_t>(raw[(size_t{y} * image.width + x) * 3 + k]);
                    worst = std::max(worst, std::abs(Row(image, y)[3 * x + 2 - k] - theirs));
                }
        return worst;
    }
};

// ImageMagick converts PhotoYCC with its own rounding: up to 5 apart.
constexpr int kMagickTolerance = 5;

TEST_F(PcdTest, PacksDecodeAsImageMagickReadsThem) {
    if (!HaveTool("convert-im6.q16")) GTEST_SKIP() << "ImageMagick missing";
    // A pack holding Base alone (a little longer than Base) loads at Base
    // whatever the option asks.
    const fs::path corpus = Corpus("pillow-tests") / "pcd" / "hopper.pcd";
    if (fs::exists(corpus)) {
        OwnedImage image;
        ASSERT_EQ(LoadAt(corpus, 5, &image), IL_OK) << LastError();
        EXPECT_EQ(image.width, 768u);
        EXPECT_LE(MagickDifference(corpus, image), kMagickTolerance);
    }
    const fs::path p = WritePack(MakePack(Picture()));
    for (const uint32_t resolution : {1u, 2u, 3u, 4u, 5u}) {
        OwnedImage image;
        ASSERT_EQ(LoadAt(p, resolution, &image), IL_OK) << resolution << ": " << LastError();
        ASSERT_EQ(image.type, IL_BGR8);
        EXPECT_EQ(image.width, 3072u >> (5 - resolution));
        EXPECT_LE(MagickDifference(p, image), kMagickTolerance) << "resolution " << resolution;
    }
}

TEST_F(PcdTest, RotationsOverviewsThumbnailsAndSampleKinds) {
    PackSpec s = Picture();
    s.fourBase = false;
    OwnedImage upright;
    ASSERT_EQ(LoadAt(WritePack(MakePack(s)), 1, &upright), IL_OK);
    // Where upright pixel (x, y) lands for rotation codes 1 to 3.
    const std::function<std::pair<uint32_t, uint32_t>(uint32_t, uint32_t)> moves[] = {
        [](uint32_t x, uint32_t y) {
            return std::pair{y, 191 - x};
        },
        [](uint32_t x, uint32_t y) {
            return std::pair{191 - x, 127 - y};
        },
        [](uint32_t x, uint32_t y) {
            return std::pair{127 - y, x};
        },
    };
    for (uint8_t rotation = 1; rotation <= 3; ++rotation) {
        s.rotation = rotation;
        OwnedImage image;
        ILInfo info;
        ASSERT_EQ(LoadAt(WritePack(MakePack(s)), 1, &image, IL_KIND_8, &info), IL_OK);
        EXPECT_EQ(info.width, rotation == 2 ? 192u : 128u);
        ASSERT_EQ(image.width, info.width);
        for (uint32_t y = 0; y < 128; ++y)
            for (uint32_t x = 0; x < 192; ++x) {
                const auto [tx, ty] = moves[rotation - 1](x, y);
                ASSERT_EQ(std::memcmp(Row(image, ty) + 3 * tx, Row(upright, y) + 3 * x, 3), 0)
                    << "rotation " << int{rotation} << " at " << x << ", " << y;
            }
    }

    // An overview file shows its first thumbnail whatever the option.
    Bytes overview(0x2800, 0);
    std::memcpy(overview.data(), "PCD_OPA", 7);
    overview[11] = 1;
    const Bytes pack = MakePack(Picture());
    overview.insert(overview.end(), pack.begin() + 0x2000, pack.begin() + 0xB800);
    OwnedImage thumbnail;
    ASSERT_EQ(LoadAt(WritePack(overview, "o.pcd"), 5, &thumbnail), IL_OK) << LastError();
    EXPECT_EQ(thumbnail.width, 192u);
    OwnedImage packThumbnail;
    ASSERT_EQ(LoadAt(WritePack(pack), 1, &packThumbnail), IL_OK);
    for (uint32_t y = 0; y < 128; ++y)
        ASSERT_EQ(std::memcmp(Row(thumbnail, y), Row(packThumbnail, y), 192 * 3), 0) << y;
    // Cut short, it is refused.
    overview.resize(0x5000);
    EXPECT_EQ(LoadAt(WritePack(overview, "o.pcd"), 5, &thumbnail), IL_INVALID_HEADER);

    // With a thumbnail edge a 16Base pack is read at Base/4 in 8 bits.
    h->thumbnailEdge = 100;
    OwnedImage small;
    ASSERT_EQ(LoadAt(WritePack(pack), 5, &small, IL_KIND_16), IL_OK);
    EXPECT_EQ(small.width, 384u);
    EXPECT_EQ(small.type, IL_BGR8);
    h->thumbnailEdge = 0;

    // Neutral grey (Y 128, C1 156, C2 137) has equal R, G and B in every kind.
    PackSpec grey;
    grey.luma = [](uint32_t, uint32_t) { return uint8_t{128}; };
    grey.c1 = [](uint32_t, uint32_t) { return uint8_t{156}; };
    grey.c2 = [](uint32_t, uint32_t) { return uint8_t{137}; };
    grey.fourBase = false;
    const fs::path neutral = WritePack(MakePack(grey));
    for (const uint32_t kind : {IL_KIND_8, IL_KIND_16, IL_KIND_HALF, IL_KIND_FLOAT}) {
        OwnedImage image;
        ASSERT_EQ(LoadAt(neutral, 1, &image, kind), IL_OK);
        EXPECT_EQ(image.type, kind | IL_MODEL_RGB);
        const uint32_t bytes = ILBitsPerSample(image.type) / 8;
        const uint8_t* p = Row(image, 50) + 3 * bytes * 70;
        EXPECT_EQ(std::memcmp(p, p + bytes, bytes), 0) << std::hex << kind;
        EXPECT_EQ(std::memcmp(p, p + 2 * bytes, bytes), 0) << std::hex << kind;
        EXPECT_NE(p[bytes - 1], 0) << std::hex << kind;
    }
}

TEST_F(PcdTest, Refusals) {
    struct Case {
        const char* name;
        Bytes bytes;
        uint32_t resolution;
        ILResult want;
    };
    PackSpec overlapping = Picture();
    overlapping.table = {1, 0, 0x00, 0x00, 0, 1, 0x00, 0x00, 8}; // "0" and "00"
    PackSpec tooLong = Picture();
    tooLong.table = {0, 16, 0x00, 0x00, 0}; // a code of 17 bits
    Bytes unsigned_ = MakePack(Picture());
    std::memset(unsigned_.data() + 0x800, 0, 7);
    Bytes cut = MakePack(Picture());
    cut.resize(0xC2000 + 0x1000);
    const Case cases[] = {
        {"overlapping codes", MakePack(overlapping), 4, IL_FAILED},
        {"code longer than 16 bits", MakePack(tooLong), 4, IL_FAILED},
        {"residuals cut short", cut, 4, IL_FAILED},
        {"no pack signature", unsigned_, 3, IL_INVALID_HEADER},
        {"shorter than Base", Bytes(0xBFFFF, 0), 3, IL_INVALID_HEADER},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        EXPECT_EQ(LoadAt(WritePack(c.bytes), c.resolution, &image), c.want) << c.name;
        EXPECT_EQ(image.data, nullptr) << c.name;
        if (c.want == IL_FAILED) {
            EXPECT_EQ(LastError(), "PCD: Decompression failed") << c.name;
        }
    }
}

// The whole file is read and held while the image is made, so the budget
// takes the file, then the file and the image together.
TEST_F(PcdTest, FileAndImageCountInTheBudget) {
    PackSpec s = Picture();
    s.fourBase = false;
    const Bytes pack = MakePack(s);
    const fs::path p = WritePack(pack);
    const uint64_t image = 192 * 128 * 3; // Base/16, 8-bit B, G, R
    const struct {
        uint64_t budget;
        ILResult want;
    } cases[] = {
        {pack.size() / 2, IL_OUT_OF_MEMORY},
        {pack.size() + image / 2, IL_OUT_OF_MEMORY},
        {pack.size() + 2 * image, IL_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budget);
        ASSERT_TRUE(ILSetImageMemoryBudget(h, &c.budget));
        OwnedImage loaded;
        EXPECT_EQ(LoadAt(p, 1, &loaded), c.want);
        EXPECT_EQ(loaded.data == nullptr, c.want != IL_OK);
    }
}

} // namespace
