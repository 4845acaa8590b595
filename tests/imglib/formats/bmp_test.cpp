// The BMP codec against the BMP Suite's reference renderings (decoded here
// with libpng), netpbm's bmptopnm as the reader of what we write, and small
// files built byte by byte where a header field or a run-length code matters.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/format.h"
#include "imglib/formats/bmp.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"
#include "imglib/io/path.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/test_folder.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Le32At(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

fs::path CorpusDir() {
    return fs::path(VX_CORPUS_DIR) / "bmpsuite" / "bmp";
}

// Pixels as R, G, B, A bytes, the form every comparison here uses.
struct Rgba {
    uint32_t width = 0, height = 0;
    Bytes data;
};

// Any PNG as 8-bit RGBA through libpng (16-bit samples scaled with rounding).
// Plain C: libpng's errors jump back here.
bool ReadPng(const fs::path& p, Rgba* out) {
    FILE* file = std::fopen(p.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows; // outside the jump's reach
    bool ok = false;
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_set_expand(png);
        png_set_scale_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        png_read_update_info(png, info);
        out->width = png_get_image_width(png, info);
        out->height = png_get_image_height(png, info);
        out->data.assign(size_t{out->width} * out->height * 4, 0);
        rows.resize(out->height);
        for (uint32_t y = 0; y < out->height; ++y)
            rows[y] = out->data.data() + size_t{y} * out->width * 4;
        png_read_image(png, rows.data());
        ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return ok;
}

// Our image as RGBA through the library's converter (to B, G, R with or
// without alpha); sources without alpha are opaque.
Rgba ToRgba(const ILImage& image) {
    const bool alpha = image.type & (IL_EXTRA_ALPHA | IL_EXTRA_PREMULTIPLIED);
    const ILPixelType target =
        alpha ? IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_ALPHA : IL_MODEL_RGB | IL_KIND_8;
    ILConverter c;
    ILConverterInit(&c);
    ILConverterSetImageTarget(&c, &image, target);
    Rgba out{image.width, image.height, {}};
    if (!ILConverterPrepare(&c)) {
        ILConverterFree(&c);
        ADD_FAILURE() << "no conversion from 0x" << std::hex << image.type;
        return out;
    }
    const size_t step = alpha ? 4 : 3;
    Bytes row(size_t{image.width} * step);
    for (uint32_t y = 0; y < image.height; ++y) {
        c.rowKernel(&c, image.data + int64_t{y} * image.stride, row.data());
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = &row[x * step];
            out.data.insert(out.data.end(), {p[2], p[1], p[0], alpha ? p[3] : uint8_t{255}});
        }
    }
    ILConverterFree(&c);
    return out;
}

// Whether every sample is within tolerance; pixels transparent in both count
// as equal, whatever their colour. "have X, want Y" for the first miss.
::testing::AssertionResult SamePixels(const Rgba& have, const Rgba& want, int tolerance = 0) {
    if (have.width != want.width || have.height != want.height)
        return ::testing::AssertionFailure() << "have " << have.width << "x" << have.height
                                             << ", want " << want.width << "x" << want.height;
    for (size_t i = 0; i < have.data.size(); i += 4) {
        if (have.data[i + 3] == 0 && want.data[i + 3] == 0) continue;
        for (size_t k = 0; k < 4; ++k) {
            if (std::abs(have.data[i + k] - want.data[i + k]) > tolerance) {
                const size_t pixel = i / 4;
                return ::testing::AssertionFailure()
                       << "at (" << pixel % have.width << ", " << pixel / have.width << ") sample "
                       << k << ": have " << int{have.data[i + k]} << ", want "
                       << int{want.data[i + k]};
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// netpbm's reading of a file, as RGBA (bmptopnm, then ppmtoppm for PPM).
bool NetpbmRgba(const fs::path& bmp, Rgba* out) {
    const std::string text = RunOutput("bmptopnm '" + bmp.string() + "' 2>/dev/null | ppmtoppm");
    const Bytes b(text.begin(), text.end());
    uint32_t fields[3] = {};
    size_t at = 2;
    if (b.size() < 2 || b[0] != 'P' || b[1] != '6') return false;
    for (uint32_t& f : fields) {
        while (at < b.size() && std::isspace(b[at]))
            ++at;
        while (at < b.size() && std::isdigit(b[at]))
            f = f * 10 + (b[at++] - '0');
    }
    ++at;
    out->width = fields[0];
    out->height = fields[1];
    if (fields[2] != 255 || b.size() < at + size_t{out->width} * out->height * 3) return false;
    out->data.clear();
    for (size_t i = 0; i < size_t{out->width} * out->height; ++i, at += 3)
        out->data.insert(out->data.end(), {b[at], b[at + 1], b[at + 2], 255});
    return true;
}

// A BMP file built field by field. Masks go to header offset 40: inside the
// header from 52 bytes on, else right after it. Pixels start at dataOffset,
// with zeros before them; without pixels the offset may point past the end.
struct BmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 3;
    int32_t height = 2;
    uint16_t bits = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> masks = {};
    Bytes palette = {};
    Bytes pixels = {};
    int64_t dataOffset = -1; // -1: right after the palette
    int32_t pixelsPerMetre = 0;
    char magic[2] = {'B', 'M'};
};

struct Writer {
    Bytes b;
    void U16(uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> 8 * i);
    }
};

Bytes MakeBmp(const BmpSpec& s) {
    Writer w;
    w.b = {uint8_t(s.magic[0]), uint8_t(s.magic[1])};
    w.U32(0);
    w.U32(0);
    w.U32(0);
    const size_t headerStart = w.b.size();
    w.U32(s.headerSize);
    if (s.headerSize < 40) {
        w.U16(uint32_t(s.width));
        w.U16(uint32_t(s.height));
        w.U16(1);
        w.U16(s.bits);
    } else {
        w.U32(uint32_t(s.width));
        w.U32(uint32_t(s.height));
        w.U16(1);
        w.U16(s.bits);
        w.U32(s.compression);
        w.U32(0);
        w.U32(uint32_t(s.pixelsPerMetre));
        w.U32(uint32_t(s.pixelsPerMetre));
        w.U32(0);
        w.U32(0);
        for (uint32_t m : s.masks)
            w.U32(m);
    }
    if (w.b.size() < headerStart + s.headerSize) w.b.resize(headerStart + s.headerSize, 0);
    w.b.insert(w.b.end(), s.palette.begin(), s.palette.end());
    const size_t offset = s.dataOffset >= 0 ? size_t(s.dataOffset) : w.b.size();
    if (w.b.size() < offset && !s.pixels.empty()) w.b.resize(offset, 0);
    w.Put32(10, uint32_t(offset));
    w.b.insert(w.b.end(), s.pixels.begin(), s.pixels.end());
    w.Put32(2, uint32_t(w.b.size()));
    return w.b;
}

Bytes GreyRampPalette(uint32_t entries) {
    Bytes p;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t v = uint8_t(i * (255 / (entries - 1)));
        p.insert(p.end(), {v, v, v, 0});
    }
    return p;
}

class Bmp : public ::testing::Test {
protected:
    ILHandle* h = nullptr;
    fs::path dir;

    void SetUp() override {
        h = ILCreateHandle("Vx test");
        ASSERT_NE(h, nullptr);
        KeepMessages(h);
        dir = MakeTestFolder("vx_bmp");
    }
    void TearDown() override {
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }

    ILResult Load(const fs::path& p, ILImage* image, ILInfo* info = nullptr) {
        return ILLoadImage(h, ILUtf8ToPath(p.string()).c_str(), image, info);
    }
    ILResult LoadBytes(const Bytes& b, ILImage* image, ILInfo* info = nullptr) {
        const fs::path p = dir / "in.bmp";
        WriteBytes(p, b);
        return Load(p, image, info);
    }
    ILResult Save(const fs::path& p, const ILImage& image, const ILInfo* info = nullptr) {
        return ILSaveImage(h, ILUtf8ToPath(p.string()).c_str(), &image, info);
    }
};

#define REQUIRE_CORPUS() \
    if (!fs::is_directory(CorpusDir())) GTEST_SKIP() << "no BMP Suite at " << CorpusDir()

// ---------------------------------------------------------------------------
// The BMP Suite.

// The 16-bit references scale 5 and 6-bit samples exactly; our converter
// widens them by bit replication, which differs by at most 1.
TEST_F(Bmp, SuiteGoodFilesMatchTheirReferences) {
    REQUIRE_CORPUS();
    const struct {
        const char* file;
        const char* reference;
        int tolerance;
    } cases[] = {
        {"pal1", "pal1", 0},           {"pal1wb", "pal1", 0},
        {"pal1bg", "pal1bg", 0},       {"pal4", "pal4", 0},
        {"pal4gs", "pal4gs", 0},       {"pal4rle", "pal4", 0},
        {"pal8", "pal8", 0},           {"pal8gs", "pal8gs", 0},
        {"pal8rle", "pal8", 0},        {"pal8w124", "pal8w124", 0},
        {"pal8topdown", "pal8", 0},    {"pal8os2", "pal8", 0},
        {"pal8v5", "pal8", 0},         {"rgb16bfdef", "rgb16", 1},
        {"rgb16-565", "rgb16-565", 1}, {"rgb16-565pal", "rgb16-565", 1},
        {"rgb24", "rgb24", 0},         {"rgb24pal", "rgb24", 0},
        {"rgb32bf", "rgb24", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Rgba want;
        ASSERT_TRUE(ReadPng(CorpusDir() / "g" / (std::string(c.reference) + ".png"), &want));
        ILImage image;
        ASSERT_EQ(Load(CorpusDir() / "g" / (std::string(c.file) + ".bmp"), &image), IL_OK)
            << (errors.empty() ? "" : errors.back());
        EXPECT_TRUE(SamePixels(ToRgba(image), want, c.tolerance));
        ILFreeImage(&image);
    }
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

TEST_F(Bmp, SuiteInfoDescribesTheFile) {
    REQUIRE_CORPUS();
    const struct {
        const char* file;
        uint32_t formatId, colorType, bitsPerPixel, compression, channels;
        ILPixelType imageType;
    } cases[] = {
        {"pal1", 0x12, IL_CT_MONOCHROME, 1, 0, 1, IL_GREY1}, // black, white: grey
        {"pal1wb", 0x12, IL_CT_INDEXED, 1, 0, 1, IL_INDEX1}, // white, black: stays indexed
        {"pal4rle", 0x12, IL_CT_INDEXED, 4, IL_COMP_RLE, 1, IL_INDEX4},
        {"pal8os2", 0x11, IL_CT_INDEXED, 8, 0, 1, IL_INDEX8},
        {"pal8v5", 0x15, IL_CT_INDEXED, 8, 0, 1, IL_INDEX8},
        {"rgb16bfdef", 0x12, IL_CT_RGB, 15, 0, 3, IL_BGR8},
        {"rgb16-565", 0x12, IL_CT_RGB, 16, 0, 3, IL_BGR8},
        {"rgb32bf", 0x12, IL_CT_RGB, 32, 0, 4, IL_BGR8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ILImage image;
        ILInfo info;
        ASSERT_EQ(Load(CorpusDir() / "g" / (std::string(c.file) + ".bmp"), &image, &info), IL_OK);
        EXPECT_EQ(info.formatId, c.formatId);
        EXPECT_EQ(info.colorType, c.colorType);
        EXPECT_EQ(info.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(info.compression, c.compression);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.width, 127u);
        EXPECT_EQ(info.height, 64u);
        EXPECT_EQ(info.pages, 1);
        EXPECT_EQ(image.type, c.imageType);
        ILFreeImage(&image);
    }
}

// Each file decodes to one of the renderings the suite lists for it, or is
// refused with a message. Bit-field samples wider than 8 bits may round
// either way.
TEST_F(Bmp, SuiteQuestionableFilesDecodeToAReferenceOrAreRefused) {
    REQUIRE_CORPUS();
    const struct {
        const char* file;
        std::vector<const char*> references; // empty: must be refused
        int tolerance;
    } cases[] = {
        {"pal1huffmsb", {}, 0}, // Huffman coding
        {"pal2color", {}, 0},   // 2 bits per pixel
        {"pal4rlecut", {"pal4rlecut", "pal4rlecut-0", "pal4rlecut-b"}, 0},
        {"pal8offs", {"pal8"}, 0},
        {"pal8os2-hs", {"pal8"}, 0},
        {"pal8os2sp", {"pal8"}, 0},
        {"pal8os2v2-16", {}, 0}, // 16-byte OS/2 2.x header
        {"pal8os2v2-40sz", {"pal8"}, 0},
        {"pal8rletrns", {"pal8rletrns", "pal8rletrns-0", "pal8rletrns-b"}, 0},
        {"rgb16-3103", {"rgb16-3103"}, 1},
        {"rgb16faketrns", {"rgb16"}, 1},
        {"rgb24largepal", {"rgb24"}, 0},
        {"rgb24lprof", {"rgb24"}, 0},
        {"rgb24png", {}, 0},
        {"rgb24prof", {"rgb24"}, 0},
        {"rgb32-xbgr", {"rgb24"}, 0},
        {"rgb32fakealpha", {"rgb24"}, 0},
        {"rgb32h52", {"rgb24"}, 0},
        {"rgba32-1010102", {"rgba32-1010102"}, 1},
        {"rgba32-2", {"rgba32"}, 0},
        {"rgba32-61754", {"rgba32-61754"}, 1},
        {"rgba32-81284", {"rgba32-81284"}, 1},
        {"rgba32abf", {}, 0}, // compression 6
        {"rgba32h56", {"rgba32"}, 0},
        {"rgba64", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        errors.clear();
        ILImage image;
        const ILResult result = Load(CorpusDir() / "q" / (std::string(c.file) + ".bmp"), &image);
        if (c.references.empty()) {
            EXPECT_LT(result, IL_FAILED);
            EXPECT_EQ(errors.size(), 1u);
            continue;
        }
        ASSERT_EQ(result, IL_OK) << (errors.empty() ? "" : errors.back());
        const Rgba have = ToRgba(image);
        ILFreeImage(&image);
        bool matched = false;
        for (const char* reference : c.references) {
            Rgba want;
            ASSERT_TRUE(ReadPng(CorpusDir() / "q" / (std::string(reference) + ".png"), &want));
            matched = matched || SamePixels(have, want, c.tolerance);
        }
        EXPECT_TRUE(matched);
    }
}

TEST_F(Bmp, SuiteBadFilesFailCleanly) {
    REQUIRE_CORPUS();
    const struct {
        const char* file;
        ILResult result;
    } cases[] = {
        {"badbitcount", IL_INVALID_HEADER},
        {"badrle", IL_FAILED}, // runs past the row
        {"badrle4", IL_FAILED},
        {"badrle4ter", IL_FAILED},
        {"badrleter", IL_FAILED},
        {"reallybig", IL_INVALID_HEADER}, // 3000000 x 2000000 from 24 KB
        {"shortfile", IL_PARTIAL},
        // Odd but readable.
        {"badbitssize", IL_OK},
        {"baddens1", IL_OK},
        {"baddens2", IL_OK},
        {"badheadersize", IL_OK},
        {"badpalettesize", IL_OK},
        {"pal8badindex", IL_OK},
        {"rletopdown", IL_OK},
        {"rgb16-880", IL_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        errors.clear();
        ILImage image;
        EXPECT_EQ(Load(CorpusDir() / "b" / (std::string(c.file) + ".bmp"), &image), c.result);
        EXPECT_EQ(errors.size(), c.result == IL_OK ? 0u : 1u);
        ILFreeImage(&image);
    }
    // The one with a reference: a channel without mask bits is 0.
    Rgba want;
    ASSERT_TRUE(ReadPng(CorpusDir() / "b" / "rgb16-880.png", &want));
    ILImage image;
    ASSERT_EQ(Load(CorpusDir() / "b" / "rgb16-880.bmp", &image), IL_OK);
    EXPECT_TRUE(SamePixels(ToRgba(image), want));
    ILFreeImage(&image);
}

// The image crate's test files with their PNG renderings ("name.bmp.png").
TEST_F(Bmp, ImageRsFilesMatchTheirRenderings) {
    const fs::path folder = fs::path(VX_CORPUS_DIR) / "image-rs-tests" / "bmp" / "images";
    if (!fs::is_directory(folder)) GTEST_SKIP() << "no image-rs test files at " << folder;
    size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::path reference = entry.path().string() + ".png";
        if (entry.path().extension() != ".bmp" || !fs::exists(reference)) continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        Rgba want;
        ASSERT_TRUE(ReadPng(reference, &want));
        // Without bit fields the fourth byte of 32-bit pixels is not alpha,
        // whatever mask a version 5 header carries.
        if (name == "V5_A8_R8_G8_B8_Rgb.bmp") {
            for (size_t i = 3; i < want.data.size(); i += 4)
                want.data[i] = 255;
        }
        ILImage image;
        ASSERT_EQ(Load(entry.path(), &image), IL_OK) << (errors.empty() ? "" : errors.back());
        // 5 and 6-bit samples are widened by bit replication, the renderings scale.
        EXPECT_TRUE(SamePixels(ToRgba(image), want, 1));
        ILFreeImage(&image);
        ++compared;
    }
    EXPECT_GT(compared, 20u);
}

// Truncated and bit-flipped copies of every suite file (fixed seed): a
// result and, unless it is 1, exactly one error message; never a crash.
TEST_F(Bmp, DamagedCopiesFailCleanly) {
    REQUIRE_CORPUS();
    std::mt19937 random(2101);
    size_t files = 0;
    for (const char* folder : {"g", "q"}) {
        for (const auto& entry : fs::directory_iterator(CorpusDir() / folder)) {
            if (entry.path().extension() != ".bmp") continue;
            ++files;
            const Bytes original = ReadBytes(entry.path());
            std::vector<Bytes> copies;
            for (size_t cut :
                 {size_t{13}, size_t{20}, size_t{60}, original.size() / 2, original.size() - 1})
                copies.emplace_back(original.begin(),
                                    original.begin() + std::min(cut, original.size()));
            for (int i = 0; i < 12; ++i) {
                Bytes damaged = original;
                const int flips = 1 + int(random() % 6);
                for (int k = 0; k < flips; ++k) {
                    // Mostly the headers, where one bit changes the most.
                    const size_t span =
                        random() % 3 ? std::min<size_t>(original.size(), 140) : original.size();
                    damaged[random() % span] ^= uint8_t(1u << (random() % 8));
                }
                copies.push_back(damaged);
            }
            for (size_t i = 0; i < copies.size(); ++i) {
                SCOPED_TRACE(entry.path().filename().string() + " copy " + std::to_string(i));
                errors.clear();
                ILImage image;
                ILInfo info;
                const ILResult result = LoadBytes(copies[i], &image, &info);
                if (result == IL_OK)
                    EXPECT_TRUE(errors.empty());
                else
                    EXPECT_EQ(errors.size(), 1u) << "result " << result;
                EXPECT_EQ(image.data != nullptr, result == IL_OK || result == IL_PARTIAL);
                ILFreeImage(&image);
            }
        }
    }
    EXPECT_GT(files, 0u);
}

// ---------------------------------------------------------------------------
// Headers built by hand.

TEST_F(Bmp, RefusesHeadersItCannotRead) {
    const Bytes pixels(16, 0);
    const struct {
        const char* name;
        BmpSpec spec;
        ILResult result;
    } cases[] = {
        {"magic", {.pixels = pixels, .magic = {'B', 'A'}}, IL_INVALID_HEADER},
        {"header size 11", {.headerSize = 11, .pixels = pixels}, IL_INVALID_HEADER},
        {"width 0", {.width = 0, .pixels = pixels}, IL_INVALID_HEADER},
        {"negative width", {.width = -3, .pixels = pixels}, IL_INVALID_HEADER},
        {"height 0", {.height = 0, .pixels = pixels}, IL_INVALID_HEADER},
        {"2 bits", {.bits = 2, .pixels = pixels}, IL_INVALID_HEADER},
        {"64 bits", {.bits = 64, .pixels = pixels}, IL_INVALID_HEADER},
        {"compression 6", {.compression = 6, .pixels = pixels}, IL_INVALID_HEADER},
        {"data offset at the end", {.pixels = {}, .dataOffset = 54}, IL_INVALID_HEADER},
        {"data offset past the end", {.pixels = {}, .dataOffset = 4000}, IL_INVALID_HEADER},
        {"JPEG inside", {.compression = 4, .pixels = pixels}, IL_INVALID_COMPRESSION},
        {"PNG inside", {.compression = 5, .pixels = pixels}, IL_INVALID_COMPRESSION},
        {"RLE8 on 24 bits", {.compression = 1, .pixels = pixels}, IL_INVALID_COMPRESSION},
        {"RLE4 on 8 bits",
         {.bits = 8, .compression = 2, .palette = Bytes(1024), .pixels = pixels},
         IL_INVALID_COMPRESSION},
        {"bit fields on 24 bits",
         {.compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000}, .pixels = pixels},
         IL_INVALID_COMPRESSION},
        // 60000 x 60000 x 3 bytes claimed by a file of 70 bytes.
        {"size beyond the file",
         {.width = 60000, .height = 60000, .pixels = pixels},
         IL_INVALID_HEADER},
        {"height -2^31", {.height = INT32_MIN, .pixels = pixels}, IL_INVALID_HEADER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        ILImage image;
        EXPECT_EQ(LoadBytes(MakeBmp(c.spec), &image), c.result);
        EXPECT_EQ(errors.size(), 1u);
        EXPECT_EQ(image.data, nullptr);
    }
}

// OS/2 2.x headers (16 to 39 bytes) used to be read with the 12-byte
// layout by accident; they are refused by name. Shorter odd sizes are no
// known header at all.
TEST_F(Bmp, Os2v2HeadersAreRefusedByName) {
    const struct {
        uint32_t headerSize;
        ILResult result;
        const char* message;
    } cases[] = {
        {13, IL_INVALID_HEADER, "BMP: Invalid image file header"},
        {16, IL_UNSUPPORTED_FORMAT, "BMP: OS/2 2.x bitmap headers of 16 bytes are not supported"},
        {39, IL_UNSUPPORTED_FORMAT, "BMP: OS/2 2.x bitmap headers of 39 bytes are not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headerSize);
        errors.clear();
        ILImage image;
        EXPECT_EQ(LoadBytes(MakeBmp({.headerSize = c.headerSize,
                                     .bits = 8,
                                     .palette = Bytes(1024),
                                     .pixels = Bytes(16, 0)}),
                            &image),
                  c.result);
        EXPECT_EQ(errors, std::vector<std::string>{c.message});
        EXPECT_EQ(image.data, nullptr);
    }
}

// Rows are padded to 4 bytes and stored bottom-up unless the height is
// negative.
TEST_F(Bmp, RowOrderAndPadding) {
    // 3 x 2 pixels of B, G, R: stored rows of 9 bytes padded to 12.
    const Bytes stored = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,
                          11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    for (int32_t height : {2, -2}) {
        SCOPED_TRACE(height);
        ILImage image;
        ASSERT_EQ(LoadBytes(MakeBmp({.height = height, .pixels = stored}), &image), IL_OK);
        ASSERT_EQ(image.type, IL_BGR8);
        const uint8_t* top = image.data;
        const uint8_t* bottom = image.data + image.stride;
        const uint8_t* first = height > 0 ? bottom : top;
        const uint8_t* second = height > 0 ? top : bottom;
        EXPECT_TRUE(std::equal(stored.begin(), stored.begin() + 9, first));
        EXPECT_TRUE(std::equal(stored.begin() + 12, stored.begin() + 21, second));
        ILFreeImage(&image);
    }
}

TEST_F(Bmp, EvenGreyRampPalettesLoadAsGrey) {
    const struct {
        const char* name;
        uint16_t bits;
        Bytes palette;
        ILPixelType type;
        uint32_t colorType;
    } cases[] = {
        {"1 bit black, white", 1, GreyRampPalette(2), IL_GREY1, IL_CT_MONOCHROME},
        {"1 bit white, black", 1, {255, 255, 255, 0, 0, 0, 0, 0}, IL_INDEX1, IL_CT_INDEXED},
        {"4 bits ramp", 4, GreyRampPalette(16), IL_GREY4, IL_CT_GRAY},
        {"8 bits ramp", 8, GreyRampPalette(256), IL_GREY8, IL_CT_GRAY},
        {"8 bits colours", 8, Bytes(1024, 7), IL_INDEX8, IL_CT_INDEXED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ILImage image;
        ILInfo info;
        ASSERT_EQ(
            LoadBytes(MakeBmp({.bits = c.bits, .palette = c.palette, .pixels = Bytes(8, 0x5A)}),
                      &image, &info),
            IL_OK);
        EXPECT_EQ(image.type, c.type);
        EXPECT_EQ(info.colorType, c.colorType);
        EXPECT_EQ(image.palette != nullptr, (c.type & IL_MODEL_MASK) == IL_MODEL_INDEXED);
        ILFreeImage(&image);
    }
}

// Where 16-bit masks come from: after a 40-byte header, inside the longer
// headers when the compression is bit fields; without them 5-5-5.
TEST_F(Bmp, SixteenBitMasks) {
    const Bytes pixel = {0xFF, 0xFF, 0, 0}; // 0xFFFF, padded
    const std::vector<uint32_t> masks565 = {0xF800, 0x7E0, 0x1F};
    const struct {
        const char* name;
        BmpSpec spec;
        uint32_t bitsPerPixel;
    } cases[] = {
        {"40-byte header, masks after it",
         {.width = 1,
          .height = 1,
          .bits = 16,
          .compression = 3,
          .masks = masks565,
          .pixels = pixel},
         16},
        {"124-byte header, masks inside",
         {.headerSize = 124,
          .width = 1,
          .height = 1,
          .bits = 16,
          .compression = 3,
          .masks = masks565,
          .pixels = pixel},
         16},
        {"108-byte header, no bit fields",
         {.headerSize = 108,
          .width = 1,
          .height = 1,
          .bits = 16,
          .masks = masks565,
          .pixels = pixel},
         15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ILImage image;
        ILInfo info;
        ASSERT_EQ(LoadBytes(MakeBmp(c.spec), &image, &info), IL_OK);
        EXPECT_EQ(info.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(ToRgba(image).data, (Bytes{255, 255, 255, 255}));
        ILFreeImage(&image);
    }
    // 5-6-5 and 5-5-5 tell apart on green alone: 0x07E0 is full green in
    // 5-6-5, but green 31 and red 1 in 5-5-5.
    ILImage image;
    ASSERT_EQ(LoadBytes(MakeBmp({.headerSize = 124,
                                 .width = 1,
                                 .height = 1,
                                 .bits = 16,
                                 .compression = 3,
                                 .masks = masks565,
                                 .pixels = {0xE0, 0x07, 0, 0}}),
                        &image),
              IL_OK);
    EXPECT_EQ(ToRgba(image).data, (Bytes{0, 255, 0, 255}));
    ILFreeImage(&image);
}

TEST_F(Bmp, ResolutionInPixelsPerMetre) {
    ILImage image;
    ILInfo info;
    ASSERT_EQ(LoadBytes(MakeBmp({.pixels = Bytes(24), .pixelsPerMetre = 2834}), &image, &info),
              IL_OK);
    EXPECT_EQ(info.ppiX, 72u);
    EXPECT_EQ(info.ppiY, 72u);
    ILFreeImage(&image);
}

// A file that stops inside the pixels keeps the rows it has (result 2);
// the rows it lacks are index 0.
TEST_F(Bmp, TruncatedPixelsGiveAPartialImage) {
    // 8 x 4 pixels of 8 bits, of which one row and a half are there.
    Bytes stored(12, 9);
    ILImage image;
    ASSERT_EQ(
        LoadBytes(
            MakeBmp(
                {.width = 8, .height = 4, .bits = 8, .palette = Bytes(1024, 1), .pixels = stored}),
            &image),
        IL_PARTIAL);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Unexpected end"), std::string::npos);
    const Bytes want[4] = {Bytes(8, 0), Bytes(8, 0), {9, 9, 9, 9, 0, 0, 0, 0}, Bytes(8, 9)};
    for (uint32_t y = 0; y < 4; ++y)
        EXPECT_TRUE(std::equal(want[y].begin(), want[y].end(), image.data + y * image.stride))
            << "row " << y;
    ILFreeImage(&image);
}

// ---------------------------------------------------------------------------
// Run-length codes, row by row.

struct RleCase {
    const char* name;
    uint32_t compression;
    uint32_t width;
    Bytes codes;
    std::vector<Bytes> rows; // expected indexes; empty row: decoding fails there
    bool outOfData = false;
    size_t warnings = 0;
};

TEST_F(Bmp, RunLengthRows) {
    const RleCase cases[] = {
        {"RLE8 runs and end of line",
         1,
         4,
         {2, 5, 2, 6, 0, 0, 4, 7, 0, 1},
         {{5, 5, 6, 6}, {7, 7, 7, 7}}},
        {"RLE8 absolute run padded to even", 1, 4, {0, 3, 1, 2, 3, 0, 1, 9, 0, 1}, {{1, 2, 3, 9}}},
        {"delta skips pixels and rows, end of bitmap the rest",
         1,
         4,
         {1, 5, 0, 2, 2, 1, 1, 6, 0, 1},
         {{5, 0, 0, 0}, {0, 0, 0, 6}, {0, 0, 0, 0}}},
        {"delta within the row", 1, 4, {1, 5, 0, 2, 2, 0, 1, 6, 0, 0}, {{5, 0, 0, 6}}},
        {"RLE8 end of line first in a row warns once",
         1,
         2,
         {0, 0, 0, 0, 2, 4, 0, 0},
         {{4, 4}},
         false,
         1},
        {"data ends with a full row", 1, 2, {2, 3}, {{3, 3}}},
        {"run past the width", 1, 2, {3, 1}, {{}}},
        {"absolute run past the width", 1, 2, {0, 3, 1, 2, 3, 0}, {{}}},
        {"delta past the width", 1, 2, {0, 2, 3, 0}, {{}}},
        {"data ends inside a row", 1, 4, {2, 1}, {{}}, true},
        {"absolute run cut short", 1, 4, {0, 4, 1, 2}, {{}}, true},
        {"RLE4 runs alternate nibbles", 2, 5, {5, 0x12, 0, 0}, {{1, 2, 1, 2, 1}}},
        {"RLE4 absolute nibbles, end of line ends even an empty row",
         2,
         6,
         {0, 5, 0x34, 0x56, 0x70, 0, 1, 0x80, 0, 0, 0, 0},
         {{3, 4, 5, 6, 7, 8}, {0, 0, 0, 0, 0, 0}}},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        warnings.clear();
        ILBmpReader reader;
        reader.compression = c.compression;
        reader.width = c.width;
        reader.height = static_cast<uint32_t>(c.rows.size());
        reader.rle = c.codes.data();
        reader.rleSize = c.codes.size();
        for (uint32_t y = 0; y < reader.height; ++y) {
            Bytes row(c.width, 0);
            const bool decoded = ILBmpDecodeRle(h, row.data(), &reader, y);
            if (c.rows[y].empty()) {
                EXPECT_FALSE(decoded) << "row " << y;
                EXPECT_EQ(reader.rleOutOfData, c.outOfData);
                break;
            }
            ASSERT_TRUE(decoded) << "row " << y;
            if (c.compression == 2) {
                Bytes packed = row;
                for (uint32_t x = 0; x < c.width; ++x)
                    row[x] = x & 1 ? packed[x / 2] & 15 : packed[x / 2] >> 4;
            }
            EXPECT_EQ(row, c.rows[y]) << "row " << y;
        }
        EXPECT_EQ(warnings.size(), c.warnings);
    }
}

// Through the loader: end of bitmap is a whole image; data that stops early
// keeps the rows decoded; overflowing codes fail the load.
TEST_F(Bmp, RunLengthFiles) {
    const struct {
        const char* name;
        Bytes codes;
        ILResult result;
        Bytes bottomRow;
    } cases[] = {
        {"end of bitmap", {4, 3, 0, 1}, IL_OK, {3, 3, 3, 3}},
        {"data stops", {4, 3, 0, 0, 2, 3}, IL_PARTIAL, {3, 3, 3, 3}},
        {"run too long", {4, 3, 0, 0, 5, 3}, IL_FAILED, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        ILImage image;
        ASSERT_EQ(LoadBytes(MakeBmp({.width = 4,
                                     .height = 3,
                                     .bits = 8,
                                     .compression = 1,
                                     .palette = Bytes(1024, 1),
                                     .pixels = c.codes}),
                            &image),
                  c.result);
        EXPECT_EQ(errors.size(), c.result == IL_OK ? 0u : 1u);
        if (c.result == IL_FAILED) continue;
        EXPECT_TRUE(
            std::equal(c.bottomRow.begin(), c.bottomRow.end(), image.data + 2 * image.stride));
        EXPECT_EQ(image.data[0], 0); // the top row was never reached
        ILFreeImage(&image);
    }
}

// Run-length data is read whole beside the image, so it counts in the
// budget: a small picture followed by a long tail of codes.
TEST_F(Bmp, RunLengthDataCountsInTheBudget) {
    Bytes codes = {4, 3, 0, 0, 4, 3, 0, 0, 4, 3, 0, 1};
    codes.resize(200000, 0);
    const Bytes file = MakeBmp({.width = 4,
                                .height = 3,
                                .bits = 8,
                                .compression = 1,
                                .palette = Bytes(1024, 1),
                                .pixels = codes});
    for (const auto& [budget, result] :
         {std::pair<uint64_t, ILResult>{100000, IL_OUT_OF_MEMORY}, {300000, IL_OK}}) {
        SCOPED_TRACE(budget);
        ASSERT_TRUE(ILSetImageMemoryBudget(h, &budget));
        ILImage image;
        EXPECT_EQ(LoadBytes(file, &image), result);
        EXPECT_EQ(image.data == nullptr, result != IL_OK);
        ILFreeImage(&image);
    }
}

// ---------------------------------------------------------------------------
// Saving.

// An image of the type filled with a fixed-seed pattern; indexed images get
// a palette of distinct colours.
void MakeImage(ILImage* image, ILPixelType type, uint32_t width, uint32_t height) {
    ASSERT_EQ(ILCreateImage(image, width, height, type, nullptr), IL_OK);
    std::mt19937 random(type);
    const uint32_t kind = type & IL_KIND_MASK;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = image->data + int64_t{y} * image->stride;
        if (kind == IL_KIND_FLOAT) {
            float* f = reinterpret_cast<float*>(row);
            for (uint32_t i = 0; i < width * image->channels; ++i)
                f[i] = float(random() % 1001) / 1000.0f;
        } else {
            for (int64_t i = 0; i < image->stride; ++i)
                row[i] = uint8_t(random());
        }
    }
    if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) {
        const uint32_t count = 1u << image->bits;
        image->palette = new ILPalette(count);
        for (uint32_t i = 0; i < count; ++i)
            image->palette->SetEntryBGR8(i, uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3 + 1));
    }
}

TEST_F(Bmp, SaveRoundTripsThroughUsAndBmptopnm) {
    const bool netpbm = HaveTool("bmptopnm") && HaveTool("ppmtoppm");
    const struct {
        const char* name;
        ILPixelType type;
        uint16_t fileBits;
        ILPixelType loaded;
    } cases[] = {
        {"indexed 1", IL_INDEX1, 1, IL_INDEX1},   {"indexed 2", IL_INDEX2, 4, IL_INDEX4},
        {"indexed 4", IL_INDEX4, 4, IL_INDEX4},   {"indexed 8", IL_INDEX8, 8, IL_INDEX8},
        {"grey 1", IL_GREY1, 1, IL_GREY1},        {"grey 2", IL_GREY2, 4, IL_GREY4},
        {"grey 4", IL_GREY4, 4, IL_GREY4},        {"grey 8", IL_GREY8, 8, IL_GREY8},
        {"grey 16", IL_GREY16, 8, IL_GREY8},      {"grey alpha 8", IL_GREY_A8, 8, IL_GREY8},
        {"BGR 8", IL_BGR8, 24, IL_BGR8},          {"RGB 8", IL_RGB8, 24, IL_BGR8},
        {"BGRA 8", IL_BGRA8, 24, IL_BGR8},        {"BGR 16", IL_BGR16, 24, IL_BGR8},
        {"BGR float", IL_BGR_FLOAT, 24, IL_BGR8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ILImage source;
        MakeImage(&source, c.type, 37, 5);
        // What the file must show: the source reduced to 8-bit colour, alpha dropped.
        Rgba want = ToRgba(source);
        for (size_t i = 3; i < want.data.size(); i += 4)
            want.data[i] = 255;
        const fs::path file = dir / (std::string(c.name) + ".bmp");
        ASSERT_EQ(Save(file, source), IL_OK) << (errors.empty() ? "" : errors.back());
        ILFreeImage(&source);

        const Bytes bytes = ReadBytes(file);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes[28], c.fileBits);
        EXPECT_EQ(Le32At(bytes, 2), bytes.size());
        ILImage loaded;
        ASSERT_EQ(Load(file, &loaded), IL_OK);
        EXPECT_EQ(loaded.type, c.loaded);
        EXPECT_TRUE(SamePixels(ToRgba(loaded), want, 1));
        ILFreeImage(&loaded);
        Rgba theirs;
        if (netpbm) {
            ASSERT_TRUE(NetpbmRgba(file, &theirs));
            EXPECT_TRUE(SamePixels(theirs, want, 1));
        }
    }
    if (!netpbm) GTEST_SKIP() << "bmptopnm is not installed: checked by our reader only";
}

// A 2-bit image becomes a 4-bit file whose palette has 16 entries, 4 to 15
// zero; the OS/2 header has 3-byte entries.
TEST_F(Bmp, SavePaletteLayout) {
    ILImage source;
    MakeImage(&source, IL_INDEX2, 8, 2);
    for (uint8_t os2 : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(os2 ? "OS/2" : "Windows");
        ILSetBMPOptions(h, &os2);
        const fs::path file = dir / "pal.bmp";
        ASSERT_EQ(Save(file, source), IL_OK);
        const Bytes b = ReadBytes(file);
        const size_t header = os2 ? 12 : 40, entry = os2 ? 3 : 4;
        ASSERT_EQ(Le32At(b, 14), header);
        EXPECT_EQ(Le32At(b, 10), 14 + header + 16 * entry);
        const uint8_t* palette = b.data() + 14 + header;
        uint8_t second[4];
        source.palette->ReadBGRA8(1, second);
        EXPECT_TRUE(std::equal(second, second + 3, palette + entry));
        EXPECT_TRUE(std::all_of(palette + 4 * entry, palette + 16 * entry,
                                [](uint8_t v) { return v == 0; }));
        ILImage loaded;
        ILInfo info;
        ASSERT_EQ(Load(file, &loaded, &info), IL_OK);
        EXPECT_EQ(info.formatId, os2 ? 0x11u : 0x12u);
        EXPECT_TRUE(SamePixels(ToRgba(loaded), ToRgba(source)));
        ILFreeImage(&loaded);
    }
    ILFreeImage(&source);
}

TEST_F(Bmp, SaveOs2EightBitOffsetAndNetpbm) {
    ILImage source;
    MakeImage(&source, IL_INDEX8, 13, 3);
    const uint8_t os2 = 1;
    ILSetBMPOptions(h, &os2);
    const fs::path file = dir / "os2.bmp";
    ASSERT_EQ(Save(file, source), IL_OK);
    const Bytes b = ReadBytes(file);
    EXPECT_EQ(Le32At(b, 10), 26u + 768u);
    EXPECT_EQ(b.size(), 794u + 16u * 3u);
    if (HaveTool("bmptopnm") && HaveTool("ppmtoppm")) {
        Rgba theirs;
        ASSERT_TRUE(NetpbmRgba(file, &theirs));
        EXPECT_TRUE(SamePixels(theirs, ToRgba(source)));
    }
    ILFreeImage(&source);
}

// Under alpha mode 2 transparent pixels take the background, opaque ones keep
// their colour.
TEST_F(Bmp, SaveCompositesAlphaOntoTheBackground) {
    ILImage source;
    ASSERT_EQ(ILCreateImage(&source, 2, 1, IL_BGRA8, nullptr), IL_OK);
    const uint8_t pixels[8] = {10, 20, 30, 0, 40, 50, 60, 255};
    std::memcpy(source.data, pixels, sizeof pixels);
    ILSetAlphaMode(h, 2);
    ILColor background;
    background.FromBGR8(std::array<uint8_t, 3>{200, 100, 0}.data());
    ILSetBackgroundColor(h, &background);
    const fs::path file = dir / "alpha.bmp";
    ASSERT_EQ(Save(file, source), IL_OK);
    const Bytes b = ReadBytes(file);
    ASSERT_EQ(b.size(), 54u + 8u);
    EXPECT_EQ(Bytes(b.begin() + 54, b.begin() + 60), (Bytes{200, 100, 0, 40, 50, 60}));
    ILFreeImage(&source);
}

TEST_F(Bmp, SaveWritesTheResolution) {
    ILImage source;
    MakeImage(&source, IL_BGR8, 4, 4);
    ILInfo info;
    info.ppiX = 72;
    info.ppiY = 300;
    const fs::path file = dir / "dpi.bmp";
    ASSERT_EQ(Save(file, source, &info), IL_OK);
    const Bytes b = ReadBytes(file);
    EXPECT_EQ(Le32At(b, 38), 2834u);
    EXPECT_EQ(Le32At(b, 42), 11811u);
    ILInfo read;
    ASSERT_EQ(Load(file, nullptr, &read), IL_OK);
    EXPECT_EQ(read.ppiX, 72u);
    EXPECT_EQ(read.ppiY, 300u);
    ILFreeImage(&source);
}

// Sizes the header fields cannot hold are refused before a file exists. The
// pixels are never read, so a small buffer stands in for them.
TEST_F(Bmp, SaveRefusesSizesTheFormatCannotHold) {
    static uint8_t buffer[64];
    const struct {
        const char* name;
        uint8_t os2;
        uint32_t width, height;
    } cases[] = {
        {"OS/2 width above 65535", 1, 70000, 1},
        {"file above 4 GB", 0, 1u << 20, 1u << 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        ILSetBMPOptions(h, &c.os2);
        ILImage image;
        ASSERT_EQ(ILCreateImage(&image, c.width, c.height, IL_BGR8, buffer), IL_OK);
        const fs::path file = dir / "big.bmp";
        EXPECT_EQ(Save(file, image), IL_BAD_ARGUMENT);
        EXPECT_EQ(errors.size(), 1u);
        EXPECT_FALSE(fs::exists(file));
        EXPECT_TRUE(fs::is_empty(dir));
    }
}

} // namespace
