// JPEG 2000 saving: a matrix of pixel types and options read back by our
// loader and by opj_decompress and grk_decompress, the boxes and layers the
// peers' tools see, and the byte targets of the layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/handle.h"
#include "imglib/memory_owner.h"
#include "imglib/pixel_type.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

class Jpeg2000Save : public CodecTest {};

// A photograph-like image: gradients, edges and noise; indexed images use
// every index up to the palette's count only.
void MakeImage(ILImageOwner& out, ILPixelType type, uint32_t w, uint32_t hgt, uint32_t palette) {
    ASSERT_EQ(ILAllocImage(&out.image, w, hgt, type, nullptr), IL_OK);
    std::mt19937 rng(7);
    const uint32_t bits = ILBitsPerSample(type);
    if (ILPixelModel(type) == IL_MODEL_INDEXED || bits < 8) {
        const int per_byte = 8 / static_cast<int>(bits);
        const uint32_t top = palette ? palette - 1 : (1u << bits) - 1;
        for (uint32_t y = 0; y < hgt; ++y) {
            uint8_t* row = out.image.data + int64_t{y} * out.image.stride;
            std::fill(row, row + out.image.stride, 0);
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t v =
                    std::min<uint32_t>(top, (x * 3 + y + rng() % 3) * (top + 1) / (w * 4));
                row[x / per_byte] |= static_cast<uint8_t>(v << (8 - bits * (1 + x % per_byte)));
            }
        }
        if (palette) {
            out.image.palette = new ILPalette(palette);
            for (uint32_t e = 0; e < palette; ++e)
                out.image.palette->entries[e] = {static_cast<uint16_t>(e * 9000 % 65536),
                                                 static_cast<uint16_t>(65535 - e * 4000 % 65536),
                                                 static_cast<uint16_t>(e * 30000 % 65536), 0xFFFF};
        }
        return;
    }
    const uint32_t n = ILChannelCount(type);
    for (uint32_t y = 0; y < hgt; ++y) {
        uint8_t* row = out.image.data + int64_t{y} * out.image.stride;
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t k = 0; k < n; ++k) {
                double v = (x * (k + 1.0) + y * 2.0) / (w * (k + 1.0) + hgt * 2.0);
                v += ((x / 8 + y / 5) % 4 == 0) * 0.15 + std::normal_distribution<>(0, 0.02)(rng);
                v = std::clamp(v, 0.0, 1.0);
                if (bits == 16)
                    reinterpret_cast<uint16_t*>(row)[x * n + k] = static_cast<uint16_t>(v * 65535);
                else
                    row[x * n + k] = static_cast<uint8_t>(v * 255);
            }
    }
}

// The image as grey or B, G, R (and A) pixels of 8 or 16 bits.
std::vector<uint16_t> Pixels(const ILImage& image, bool deep) {
    const uint32_t bits = ILBitsPerSample(image.type);
    if (image.type == IL_GREY1 || image.type == IL_GREY2 || image.type == IL_GREY4) {
        // Scaled to 8 bits by hand: the converter has no 1-bit grey source.
        std::vector<uint16_t> px;
        const uint32_t per_byte = 8 / bits, top = (1u << bits) - 1;
        for (uint32_t y = 0; y < image.height; ++y)
            for (uint32_t x = 0; x < image.width; ++x) {
                const uint32_t v =
                    (Row(image, y)[x / per_byte] >> (8 - bits * (1 + x % per_byte))) & top;
                const uint16_t g = static_cast<uint16_t>(v * 255 / top);
                px.push_back(g);
            }
        return px;
    }
    ILImageOwner out;
    // Grey stays grey: the converter makes no colour of it.
    const bool grey = ILPixelModel(image.type) == IL_MODEL_GRAY;
    const bool alpha = ILHasAlpha(image.type);
    const ILPixelType type =
        grey    ? (alpha ? (deep ? IL_GREY_A16 : IL_GREY_A8) : (deep ? IL_GREY16 : IL_GREY8))
        : alpha ? (deep ? IL_BGRA16 : IL_BGRA8)
                : (deep ? IL_BGR16 : IL_BGR8);
    const uint32_t n = ILChannelCount(type);
    EXPECT_EQ(ILAllocImage(&out.image, image.width, image.height, type, nullptr), IL_OK);
    ILConverterOwner c;
    ILConverterSetImageTarget(&c.c, &image, type);
    EXPECT_TRUE(ILConverterPrepare(&c.c));
    for (uint32_t y = 0; y < image.height; ++y)
        c.c.rowKernel(&c.c, Row(image, y), out.image.data + int64_t{y} * out.image.stride);
    std::vector<uint16_t> px;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = Row(out.image, y);
        for (uint32_t i = 0; i < n * image.width; ++i)
            px.push_back(deep ? reinterpret_cast<const uint16_t*>(row)[i] : row[i]);
    }
    return px;
}

double Psnr(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b, double top) {
    if (a.size() != b.size() || a.empty()) return 0;
    double mse = 0;
    for (size_t i = 0; i < a.size(); ++i)
        mse += (static_cast<double>(a[i]) - b[i]) * (static_cast<double>(a[i]) - b[i]);
    mse /= static_cast<double>(a.size());
    return 10 * std::log10(top * top / std::max(mse, 1e-9));
}

struct Case {
    const char* name;
    ILPixelType type;
    uint32_t palette; // entries of a short palette
    ILJPEG2000Options options;
    double min_psnr; // 0: exact
};

constexpr ILJPEG2000Options kLossless{90, 4, 1, 1, 1, 1};

TEST_F(Jpeg2000Save, MatrixReadsBackHereAndInThePeers) {
    std::vector<std::string> peers;
    if (HaveTool("opj_decompress")) peers.push_back("opj_decompress -threads 1");
    if (HaveTool("grk_decompress")) peers.push_back("grk_decompress -H 1");
    const Case cases[] = {
        {"grey 1-bit", IL_GREY1, 0, kLossless, 0},
        {"grey 2-bit", IL_GREY2, 0, kLossless, 0},
        {"grey 4-bit", IL_GREY4, 0, kLossless, 0},
        {"grey 8-bit", IL_GREY8, 0, kLossless, 0},
        {"grey 16-bit", IL_GREY16, 0, kLossless, 0},
        {"RGB 8-bit", IL_BGR8, 0, kLossless, 0},
        {"RGB 16-bit", IL_RGB16, 0, kLossless, 0},
        {"RGBA 8-bit", IL_BGRA8, 0, kLossless, 0},
        {"grey with alpha", IL_GREY_A8, 0, kLossless, 0},
        {"RGB without the colour transform", IL_BGR8, 0, {90, 1, 0, 1, 1, 1}, 0},
        {"lossless with the 9/7 filter asked", IL_BGR8, 0, {90, 4, 1, 0, 1, 1}, 0},
        {"lossless with sYCC asked", IL_BGR8, 0, {90, 1, 2, 1, 1, 1}, 0},
        {"lossless 9/7 sYCC grey", IL_GREY8, 0, {90, 1, 2, 0, 1, 1}, 0},
        {"indexed 1-bit", IL_INDEX1, 2, kLossless, 0},
        {"indexed 2-bit, short palette", IL_INDEX2, 3, kLossless, 0},
        {"indexed 4-bit, short palette", IL_INDEX4, 11, kLossless, 0},
        {"indexed 8-bit, short palette", IL_INDEX8, 200, {50, 4, 1, 0, 0, 1}, 0},
        {"reversible lossy, 4 layers", IL_BGR8, 0, {90, 4, 1, 1, 0, 1}, 34},
        {"9/7, 12 layers", IL_BGR8, 0, {90, 12, 1, 0, 0, 1}, 34},
        {"9/7 deep, 4 layers", IL_RGB16, 0, {90, 4, 1, 0, 0, 1}, 34},
        {"9/7 sYCC", IL_BGR8, 0, {90, 1, 2, 0, 0, 1}, 34},
        {"9/7 grey, rate 30", IL_GREY8, 0, {30, 4, 1, 0, 0, 1}, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ILImageOwner image;
        MakeImage(image, c.type, 67, 45, c.palette);
        h->jpeg2000 = c.options;
        const fs::path path = dir / "t.jp2";
        ASSERT_EQ(Save(path, image.image), IL_OK) << LastError();
        const bool deep = ILBitsPerSample(c.type) > 8;
        const double top = deep ? 65535 : 255;
        const std::vector<uint16_t> want = Pixels(image.image, deep);
        ILImageOwner back;
        ASSERT_EQ(Load(path, &back.image), IL_OK) << LastError();
        if (c.min_psnr == 0)
            EXPECT_EQ(Pixels(back.image, deep), want);
        else
            EXPECT_GE(Psnr(Pixels(back.image, deep), want, top), c.min_psnr);
        for (const std::string& peer : peers) {
            SCOPED_TRACE(peer);
            const fs::path png = dir / "peer.png";
            fs::remove(png);
            ASSERT_EQ(Shell(peer + " -i '" + path.string() + "' -o '" + png.string() +
                            "' >/dev/null 2>&1"),
                      0);
            ILImageOwner theirs;
            ASSERT_EQ(Load(png, &theirs.image), IL_OK) << LastError();
            // The peers leave sYCC as it is coded.
            if (c.options.colorFormat == 2) continue;
            // grk_decompress writes palette images with the indices' bit
            // depth declared in its PNG; ImageMagick finds its colours
            // exact, checked by hand.
            if (ILPixelModel(c.type) == IL_MODEL_INDEXED && peer.starts_with("grk")) continue;
            // The peers give 16-bit palette colours, rounded apart from ours.
            if (ILPixelModel(c.type) == IL_MODEL_INDEXED)
                EXPECT_GE(Psnr(Pixels(theirs.image, deep), want, top), 48);
            else if (c.min_psnr == 0)
                EXPECT_EQ(Pixels(theirs.image, deep), want);
            else
                EXPECT_GE(Psnr(Pixels(theirs.image, deep), want, top), c.min_psnr);
        }
    }
}

// Grey of 1, 2 and 4 bits and palettes of up to 2, 4 and 16 entries load in
// their own packed types, pixel for pixel and colour for colour (they all
// loaded as 8-bit, and re-saved at eight times the size).
TEST_F(Jpeg2000Save, LowDepthAndShortPalettesLoadPacked) {
    const struct {
        ILPixelType type;
        uint32_t palette;
    } cases[] = {{IL_GREY1, 0},  {IL_GREY2, 0},  {IL_GREY4, 0},
                 {IL_INDEX1, 2}, {IL_INDEX2, 4}, {IL_INDEX4, 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        ILImageOwner image;
        MakeImage(image, c.type, 37, 9, c.palette);
        h->jpeg2000 = kLossless;
        ASSERT_EQ(Save(dir / "low.jp2", image.image), IL_OK) << LastError();
        ILImageOwner back;
        ASSERT_EQ(Load(dir / "low.jp2", &back.image), IL_OK) << LastError();
        ASSERT_EQ(back.image.type, c.type);
        const uint32_t bits = ILBitsPerSample(c.type);
        const uint32_t used = (37 * bits + 7) / 8;
        const uint8_t tail = static_cast<uint8_t>(0xFF << (used * 8 - 37 * bits));
        for (uint32_t y = 0; y < 9; ++y) {
            EXPECT_TRUE(
                std::equal(Row(back.image, y), Row(back.image, y) + used - 1, Row(image.image, y)));
            EXPECT_EQ(Row(back.image, y)[used - 1] & tail, Row(image.image, y)[used - 1] & tail);
        }
        if (!c.palette) continue;
        ASSERT_NE(back.image.palette, nullptr);
        ASSERT_EQ(back.image.palette->count, 1u << bits);
        for (uint32_t e = 0; e < c.palette; ++e) {
            const ILPaletteEntry a = back.image.palette->entries[e],
                                 b = image.image.palette->entries[e];
            EXPECT_EQ(a.red, b.red);
            EXPECT_EQ(a.green, b.green);
            EXPECT_EQ(a.blue, b.blue);
        }
    }
}

// The entries of the file's channel definition box: channel, type,
// association.
std::vector<std::array<int, 3>> ChannelDefinitions(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<std::array<int, 3>> out;
    const size_t at = text.find("cdef");
    if (at == std::string_view::npos) return out;
    auto u16 = [&](size_t i) { return bytes.at(i) << 8 | bytes.at(i + 1); };
    for (int k = 0; k < u16(at + 4); ++k)
        out.push_back({u16(at + 6 + 6 * k), u16(at + 8 + 6 * k), u16(at + 10 + 6 * k)});
    return out;
}

TEST_F(Jpeg2000Save, AlphaCommentsAndResolutionReadBack) {
    struct alpha_case {
        ILPixelType type;
        std::vector<std::array<int, 3>> cdef;
    };
    // Alpha is the whole image's opacity (type 1, association 0).
    const alpha_case cases[] = {
        {IL_BGRA8, {{0, 0, 1}, {1, 0, 2}, {2, 0, 3}, {3, 1, 0}}},
        {IL_GREY_A8, {{0, 0, 1}, {1, 1, 0}}},
    };
    for (const alpha_case& c : cases) {
        ILImageOwner image;
        MakeImage(image, c.type, 31, 17, 0);
        h->jpeg2000 = kLossless;
        h->writeMetadata = 1;
        ILInfo info;
        info.ppiX = 300;
        info.ppiY = 150;
        const std::string title = "Harbour at dusk";
        ILSetText(&info.texts, IL_TEXT_TITLE, title.size(), title.c_str());
        const fs::path path = dir / "a.jp2";
        ASSERT_EQ(Save(path, image.image, &info), IL_OK) << LastError();
        EXPECT_EQ(ChannelDefinitions(path), c.cdef);

        ILImageOwner back;
        ILInfo read;
        ASSERT_EQ(Load(path, &back.image, &read), IL_OK) << LastError();
        EXPECT_EQ(read.ppiX, 300u);
        EXPECT_EQ(read.ppiY, 150u);
        // The comments come back as the texts they were made of.
        const char* found = ILFindText(&read.texts, IL_TEXT_TITLE);
        EXPECT_EQ(std::string(found ? found : ""), title);
        if (HaveTool("opj_dump")) {
            const std::string dump = RunOutput("opj_dump -i '" + path.string() + "' 2>&1");
            EXPECT_EQ(dump.find("ERROR"), std::string::npos) << dump;
        }
    }
}

} // namespace
