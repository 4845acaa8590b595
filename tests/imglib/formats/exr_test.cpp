// The OpenEXR codec against the library's own RGBA reading of the OpenEXR
// sample images, and on small files written here through the library.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <Imath/half.h>
#include <OpenEXR/ImfChromaticitiesAttribute.h>
#include <OpenEXR/ImfFloatAttribute.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfRgbaFile.h>
#include <OpenEXR/ImfStandardAttributes.h>
#include <OpenEXR/ImfStringAttribute.h>
#include <OpenEXR/ImfTiledRgbaFile.h>
#include <OpenEXR/ImfVersion.h>

#include "codec_fixture.h"
#include "imglib/pixel_type.h"
#include "imglib/memory_owner.h"
#include "support/files.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

class Exr : public CodecTest {
protected:
    // A file of the given pixels (row-major over the data window) written
    // with the library's RGBA interface.
    std::string Write(const std::string& name, Imf::Header header, Imf::RgbaChannels channels,
                      const std::vector<Imf::Rgba>& pixels) {
        const std::string path = PathOf(name);
        const Imath::Box2i w = header.dataWindow();
        const int width = w.max.x - w.min.x + 1;
        Imf::RgbaOutputFile out(path.c_str(), header, channels);
        out.setFrameBuffer(pixels.data() - w.min.x - int64_t{w.min.y} * width, 1, width);
        out.writePixels(w.max.y - w.min.y + 1);
        return path;
    }
};

fs::path Samples() {
    return Corpus("openexr-images") / "exr";
}

half Sample(const ILImage& image, uint32_t x, uint32_t y, uint32_t i) {
    return reinterpret_cast<const half*>(Row(image, y))[x * image.channels + i];
}

// Every sample image loads with the values the RGBA interface reads (files
// with a chromaticities attribute are converted and checked on their own
// below); the damaged ones are refused with the library's text.
TEST_F(Exr, SampleImagesLoadLikeTheLibrarysRgbaReading) {
    if (!fs::is_directory(Samples())) GTEST_SKIP() << "no OpenEXR samples at " << Samples();
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Samples())) {
        if (entry.path().extension() != ".exr") continue;
        SCOPED_TRACE(entry.path().string());
        Imf::RgbaInputFile reference(entry.path().c_str());
        if (Imf::hasChromaticities(reference.header())) continue;
        const Imath::Box2i w = reference.dataWindow();
        const int width = w.max.x - w.min.x + 1, height = w.max.y - w.min.y + 1;
        std::vector<Imf::Rgba> pixels(size_t(width) * height);
        reference.setFrameBuffer(pixels.data() - w.min.x - int64_t{w.min.y} * width, 1, width);
        reference.readPixels(w.min.y, w.max.y);

        ILImageOwner image;
        ILInfo info;
        ASSERT_EQ(Load(entry.path(), &image.image, &info), IL_OK) << LastError();
        ASSERT_EQ(image.image.width, uint32_t(width));
        ASSERT_EQ(image.image.height, uint32_t(height));
        const Imf::RgbaChannels mask = reference.channels();
        const bool grey = (mask & ~Imf::WRITE_A) == Imf::WRITE_Y;
        const bool alpha = mask & Imf::WRITE_A;
        EXPECT_EQ(image.image.type,
                  (grey ? IL_GREY_HALF : IL_BGR_HALF) | (alpha ? IL_EXTRA_PREMULTIPLIED : 0u));
        EXPECT_EQ(info.formatId, Imf::isTiled(reference.version()) ? 0x111u : 0x110u);
        int failures = 0;
        for (int y = 0; y < height && failures < 3; ++y)
            for (int x = 0; x < width && failures < 3; ++x) {
                const Imf::Rgba& p = pixels[size_t(y) * width + x];
                std::vector<half> want;
                if (grey)
                    want = {p.g};
                else
                    want = {p.b, p.g, p.r};
                if (alpha) want.push_back(half(std::clamp(float(p.a), 0.0f, 1.0f)));
                for (uint32_t i = 0; i < want.size(); ++i) {
                    const half have = Sample(image.image, x, y, i);
                    if (have.bits() != want[i].bits() && !(have.isNan() && want[i].isNan())) {
                        ADD_FAILURE() << x << "," << y << " sample " << i << ": " << have
                                      << " != " << want[i];
                        ++failures;
                    }
                }
            }
        ++files;
    }
    EXPECT_GE(files, 20);

    for (const auto& entry : fs::directory_iterator(Samples() / "Damaged")) {
        SCOPED_TRACE(entry.path().string());
        fs::path copy = PathOf(entry.path().filename().string() + ".exr");
        fs::copy_file(entry.path(), copy);
        errors.clear();
        ILImageOwner image;
        EXPECT_LE(Load(copy, &image.image), IL_FAILED);
        EXPECT_FALSE(errors.empty());
    }
}

// Alpha is clamped to 0..1 on the half's bits: every one of the 65536 codes
// lands where a clamp in float puts it (NaN stays NaN).
TEST_F(Exr, EveryAlphaCodeIsClampedAsInFloat) {
    std::vector<Imf::Rgba> pixels(65536);
    for (uint32_t code = 0; code < 65536; ++code) {
        half a;
        a.setBits(static_cast<uint16_t>(code));
        pixels[code] = Imf::Rgba(0.25f, 0.5f, 0.75f, a);
    }
    const std::string path = Write("alpha.exr", Imf::Header(256, 256), Imf::WRITE_RGBA, pixels);
    ILImageOwner image;
    ASSERT_EQ(Load(path, &image.image), IL_OK) << LastError();
    int failures = 0;
    for (uint32_t code = 0; code < 65536 && failures < 5; ++code) {
        const half want = half(std::clamp(float(pixels[code].a), 0.0f, 1.0f));
        const half have = Sample(image.image, code % 256, code / 256, 3);
        if (have.bits() != want.bits() && !(have.isNan() && want.isNan())) {
            ADD_FAILURE() << "code " << std::hex << code << ": " << have << " != " << want;
            ++failures;
        }
    }
}

// Colours on other primaries arrive on scRGB's (Rec. 709): a pure red of a
// wide-gamut file becomes the colour that Rec. 709 needs for the same XYZ.
TEST_F(Exr, ChromaticitiesConvertToTheLibrarysPrimaries) {
    Imf::Chromaticities wide(Imath::V2f(0.708f, 0.292f), Imath::V2f(0.170f, 0.797f),
                             Imath::V2f(0.131f, 0.046f), Imath::V2f(0.3127f, 0.3290f));
    Imf::Header header(3, 1);
    Imf::addChromaticities(header, wide);
    const std::vector<Imf::Rgba> pixels = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0.2f, 0.4f, 0.6f, 1}};
    const std::string path = Write("wide.exr", header, Imf::WRITE_RGB, pixels);
    ILImageOwner image;
    ASSERT_EQ(Load(path, &image.image), IL_OK) << LastError();

    const Imath::M44f toRec709 = Imf::RGBtoXYZ(wide, 1) * Imf::XYZtoRGB(Imf::Chromaticities(), 1);
    for (uint32_t x = 0; x < 3; ++x) {
        const Imath::V3f want = Imath::V3f(pixels[x].r, pixels[x].g, pixels[x].b) * toRec709;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(float(Sample(image.image, x, 0, 2 - c)), want[c],
                        2e-3 + 2e-3 * std::fabs(want[c]))
                << "pixel " << x << " channel " << c;
    }
}

// Data window, alpha options, resolution and texts of one file each.
TEST_F(Exr, HeaderAndAlphaOptions) {
    const Imath::Box2i window({-10, -20}, {-9, -19});
    Imf::Header header(window, window);
    header.pixelAspectRatio() = 2;
    header.insert("xDensity", Imf::FloatAttribute(72));
    header.insert("title", Imf::StringAttribute("Two by two"));
    header.insert("owner", Imf::StringAttribute("Ann"));
    const std::vector<Imf::Rgba> pixels = {
        {0.5f, 0.25f, 0.125f, 1.5f}, {1, 1, 1, -0.5f}, {0, 0, 0, 0.5f}, {2, 3, 4, 1}};
    const std::string path = Write("window.exr", header, Imf::WRITE_RGBA, pixels);

    ILImageOwner image;
    ILInfo info;
    ASSERT_EQ(Load(path, &image.image, &info), IL_OK) << LastError();
    EXPECT_EQ(image.image.type, IL_BGRPA_HALF);
    EXPECT_EQ(info.width, 2u);
    EXPECT_EQ(info.ppiX, 72u);
    EXPECT_EQ(info.ppiY, 144u);
    EXPECT_EQ(info.alphaKind, IL_ALPHA_PREMULTIPLIED);
    EXPECT_STREQ(ILFindText(&info.texts, IL_TEXT_TITLE), "Two by two");
    EXPECT_STREQ(ILFindText(&info.texts, IL_TEXT_COPYRIGHT), "Ann");
    // The first row is y = -20; alpha is clamped to 0..1.
    EXPECT_EQ(float(Sample(image.image, 0, 0, 2)), 0.5f);
    EXPECT_EQ(float(Sample(image.image, 0, 0, 3)), 1.0f);
    EXPECT_EQ(float(Sample(image.image, 1, 0, 3)), 0.0f);
    EXPECT_EQ(float(Sample(image.image, 1, 1, 0)), 4.0f);

    const uint8_t straight = 0;
    ILSetEXRImportOptions(h, &straight);
    ASSERT_EQ(Load(path, &image.image), IL_OK);
    EXPECT_EQ(image.image.type, IL_BGRA_HALF);
    EXPECT_EQ(float(Sample(image.image, 1, 1, 0)), 4.0f);

    // Without alpha in the target it is dropped, not composited.
    ILSetAlphaMode(h, 0);
    ASSERT_EQ(Load(path, &image.image), IL_OK);
    EXPECT_EQ(image.image.type, IL_BGR_HALF);
    EXPECT_EQ(float(Sample(image.image, 0, 1, 2)), 0.0f);
    EXPECT_EQ(float(Sample(image.image, 1, 1, 2)), 2.0f);
}

// Tiled and Y-only files.
TEST_F(Exr, TiledAndLuminanceFiles) {
    const std::string tiled = PathOf("tiled.exr");
    {
        Imf::TiledRgbaOutputFile out(tiled.c_str(), 40, 20, 16, 16, Imf::ONE_LEVEL, Imf::ROUND_DOWN,
                                     Imf::WRITE_Y);
        std::vector<Imf::Rgba> pixels(40 * 20, Imf::Rgba(0.5f, 0.5f, 0.5f, 1));
        out.setFrameBuffer(pixels.data(), 1, 40);
        out.writeTiles(0, out.numXTiles() - 1, 0, out.numYTiles() - 1);
    }
    ILImageOwner image;
    ILInfo info;
    ASSERT_EQ(Load(tiled, &image.image, &info), IL_OK) << LastError();
    EXPECT_EQ(info.formatId, 0x111u);
    EXPECT_EQ(info.tilesX, 3u);
    EXPECT_EQ(info.tilesY, 2u);
    EXPECT_EQ(info.colorType, uint32_t{IL_CT_GRAY});
    EXPECT_EQ(image.image.type, IL_GREY_HALF);
    EXPECT_NEAR(float(Sample(image.image, 39, 19, 0)), 0.5f, 1e-3);
}

// What we write reads back exactly, in half and from float samples that
// half holds; every compression option gives a file, unknown ones none.
TEST_F(Exr, SaveRoundTripsExactly) {
    struct Case {
        ILPixelType type;
        uint32_t compression;
        uint32_t infoCompression;
    };
    const Case cases[] = {{IL_BGR_HALF, 0, IL_COMP_NONE},        {IL_BGRPA_HALF, 1, IL_COMP_RLE},
                          {IL_GREY_HALF, 2, IL_COMP_DEFLATE},    {IL_BGR_FLOAT, 3, IL_COMP_DEFLATE},
                          {IL_GREY_PA_HALF, 4, IL_COMP_WAVELET}, {IL_BGR_HALF, 7, IL_COMP_NONE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.type << " option " << c.compression);
        ILSetEXROptions(h, &c.compression);
        ILImageOwner image;
        ASSERT_EQ(ILAllocImage(&image.image, 37, 5, c.type, nullptr), IL_OK);
        const bool isFloat = ILSampleKind(c.type) == IL_KIND_FLOAT;
        const uint32_t samples = image.image.channels;
        const bool alpha = c.type & IL_EXTRA_MASK;
        // The RGBA interface keeps luminance at 0 or above.
        const float low = ILPixelModel(c.type) == IL_MODEL_GRAY ? 0.0f : -0.3f;
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t i = 0; i < 37 * samples; ++i) {
                float v = float(half(0.01f * (i + 37 * y) + low));
                if (alpha && i % samples == samples - 1) v = float(half((i % 11) / 10.0f));
                if (isFloat)
                    reinterpret_cast<float*>(image.image.data + y * image.image.stride)[i] = v;
                else
                    reinterpret_cast<half*>(image.image.data + y * image.image.stride)[i] = v;
            }
        const std::string path = PathOf("saved.exr");
        ASSERT_EQ(Save(path, image.image), IL_OK) << LastError();
        ILImageOwner back;
        ILInfo info;
        ASSERT_EQ(Load(path, &back.image, &info), IL_OK) << LastError();
        EXPECT_EQ(info.compression, c.infoCompression);
        ASSERT_EQ(back.image.channels, samples);
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t i = 0; i < 37 * samples; ++i) {
                const float want =
                    isFloat ? reinterpret_cast<float*>(image.image.data + y * image.image.stride)[i]
                            : float(reinterpret_cast<half*>(image.image.data +
                                                            y * image.image.stride)[i]);
                ASSERT_EQ(float(Sample(back.image, i / samples, y, i % samples)), want)
                    << i << "," << y;
            }
    }
}

// An attribute whose size field reaches past the file is refused before the
// library reads it (a 53 KB file made it ask for 900 MB; found by fuzzing).
TEST_F(Exr, AttributeSizesBeyondTheFileAreRefused) {
    ILImageOwner image;
    ASSERT_EQ(ILAllocImage(&image.image, 8, 4, IL_BGR_HALF, nullptr), IL_OK);
    const std::string path = PathOf("whole.exr");
    ASSERT_EQ(Save(path, image.image), IL_OK) << LastError();
    std::vector<uint8_t> bytes = ReadBytes(path);
    // The first attribute: its name and type after the 8-byte preamble.
    size_t at = 8;
    for (int text = 0; text < 2; ++text)
        while (bytes.at(at++) != 0) {
        }
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = k == 3 ? 0x30 : 0; // 805 MB
    const std::string damaged = PathOf("damaged.exr");
    ASSERT_TRUE(WriteBytes(damaged, bytes));
    ILImageOwner back;
    EXPECT_EQ(Load(damaged, &back.image), IL_INVALID_HEADER) << LastError();
    EXPECT_EQ(back.image.data, nullptr);
}

// Texts, resolution and the creator go to attributes only with an info
// record.
TEST_F(Exr, SaveWritesAttributesFromTheInfoRecord) {
    ILImageOwner image;
    ASSERT_EQ(ILAllocImage(&image.image, 4, 4, IL_BGR_HALF, nullptr), IL_OK);
    const std::string bare = PathOf("bare.exr"), described = PathOf("described.exr");
    ASSERT_EQ(Save(bare, image.image), IL_OK);
    ILInfo info;
    info.ppiX = 300;
    ILInfoAddText(&info.texts, IL_TEXT_AUTHOR, 3, "Ann");
    ILInfoAddText(&info.texts, IL_TEXT_CREATION_TIME, 10, "2026:12:10");
    ASSERT_EQ(Save(described, image.image, &info), IL_OK);

    Imf::RgbaInputFile without(bare.c_str());
    EXPECT_EQ(without.header().find("software"), without.header().end());
    Imf::RgbaInputFile with(described.c_str());
    const Imf::Header& header = with.header();
    EXPECT_EQ(header.typedAttribute<Imf::StringAttribute>("software").value(), "Vx codec test");
    EXPECT_EQ(header.typedAttribute<Imf::StringAttribute>("author").value(), "Ann");
    EXPECT_EQ(header.typedAttribute<Imf::StringAttribute>("capDate").value(), "2026:12:10");
    EXPECT_EQ(header.typedAttribute<Imf::FloatAttribute>("xDensity").value(), 300.0f);
    EXPECT_EQ(header.find("title"), header.end());
}

} // namespace
