// The JPEG XR codec against jxrlib's own decoder (JxrDecApp and the
// fixtures it decoded), our files in JxrDecApp and exiftool, and containers
// built entry by entry around a real code-stream.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/pixel_type.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;
using Bytes = std::vector<uint8_t>;

namespace {

class Jxr : public CodecTest {
protected:
    // A lossless 8-bit B, G, R file of noise; its code-stream for the
    // containers built below.
    std::string SaveNoise(const std::string& name, uint32_t width, uint32_t height,
                          ILPixelType type = IL_BGR8) {
        ILImageOwner image;
        EXPECT_EQ(ILAllocImage(&image.image, width, height, type, nullptr), IL_OK);
        std::mt19937 random(width);
        for (uint32_t y = 0; y < height; ++y)
            for (int64_t i = 0; i < image.image.stride; ++i)
                image.image.data[y * image.image.stride + i] = static_cast<uint8_t>(random());
        const ILJPEGXROptions lossless{90, 0, 0, 1};
        ILSetJPEGXROptions(h, &lossless);
        const std::string path = PathOf(name);
        EXPECT_EQ(Save(path, image.image), IL_OK) << LastError();
        return path;
    }
};

fs::path Fixtures() {
    return Corpus("jxrlib-fixtures") / "jxr";
}

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// Samples of JxrDecApp's binary PNM output (8 or 16-bit) as numbers. Unlike
// the format, it writes 16-bit samples little-endian, and for grey images a
// "P6" header over one sample a pixel: the channel count comes from the
// data's size.
std::vector<uint32_t> PnmSamples(const Bytes& bytes, uint32_t* width, uint32_t* height,
                                 uint32_t* channels) {
    const std::string text(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 64));
    unsigned w = 0, hgt = 0, max = 0;
    char kind = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "P%c %u %u %u%n", &kind, &w, &hgt, &max, &consumed) != 4)
        return {};
    *width = w;
    *height = hgt;
    const size_t sampleBytes = max > 255 ? 2 : 1;
    const size_t data = bytes.size() - static_cast<size_t>(consumed) - 1;
    *channels = static_cast<uint32_t>(data / (size_t{w} * hgt * sampleBytes));
    if (*channels != 1 && *channels != 3) return {};
    const size_t n = size_t{w} * hgt * *channels;
    const uint8_t* p = bytes.data() + consumed + 1;
    std::vector<uint32_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = max > 255 ? uint32_t{p[2 * i + 1]} << 8 | p[2 * i] : p[i];
    return out;
}

// The corpus files decode to the pictures jxrlib gives: the fixtures' own
// BMP references, and JxrDecApp's output for the microscope tiles.
TEST_F(Jxr, FixturesDecodeLikeJxrlib) {
    if (!fs::is_directory(Fixtures())) GTEST_SKIP() << "no JPEG XR fixtures at " << Fixtures();
    for (const char* name : {"green", "sample-with-alpha"}) {
        SCOPED_TRACE(name);
        ILImageOwner ours, reference;
        ILInfo info;
        ASSERT_EQ(Load(Fixtures() / (std::string(name) + ".jxr"), &ours.image, &info), IL_OK)
            << LastError();
        ASSERT_EQ(Load(Fixtures() / (std::string(name) + ".bmp"), &reference.image), IL_OK);
        EXPECT_EQ(info.formatId, 0xE0u);
        EXPECT_EQ(info.alphaKind, IL_ALPHA_STRAIGHT);
        ASSERT_EQ(ours.image.type, IL_BGRA8);
        ASSERT_EQ(reference.image.width, ours.image.width);
        const uint32_t n = reference.image.channels;
        for (uint32_t y = 0; y < ours.image.height; ++y)
            for (uint32_t x = 0; x < ours.image.width; ++x)
                for (uint32_t c = 0; c < n; ++c)
                    ASSERT_EQ(Row(ours.image, y)[4 * x + c], Row(reference.image, y)[n * x + c])
                        << x << "," << y << " sample " << c;
        // Composited onto the background while loading, the separate alpha
        // plane joins the rows before they are converted: as the loaded
        // B, G, R, A picture composited afterwards.
        const ILColor grey{.r = 0.5, .g = 0.25, .b = 0.75, .a = 1, .index = -1};
        ILSetBackgroundColor(h, &grey);
        ILSetAlphaMode(h, 2);
        ILImageOwner composited, want;
        ASSERT_EQ(Load(Fixtures() / (std::string(name) + ".jxr"), &composited.image), IL_OK);
        ASSERT_EQ(composited.image.type, IL_BGR8);
        ASSERT_EQ(ILAllocImage(&want.image, ours.image.width, ours.image.height, IL_BGR8, nullptr),
                  IL_OK);
        ILConverterOwner converter;
        ILConverterSetAlphaMode(&converter.c, 2);
        ASSERT_TRUE(ILConverterConvertImage(&converter.c, h, &ours.image, &want.image));
        for (uint32_t y = 0; y < ours.image.height; ++y)
            ASSERT_EQ(std::memcmp(Row(composited.image, y), Row(want.image, y),
                                  3 * size_t{ours.image.width}),
                      0)
                << "row " << y;
        ILSetAlphaMode(h, 1);
    }
    if (!HaveTool("JxrDecApp")) GTEST_SKIP() << "JxrDecApp (libjxr-tools) is not installed";
    int tiles = 0;
    for (const auto& entry : fs::directory_iterator(Fixtures() / "first-tiles")) {
        if (entry.path().extension() != ".jxr") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string pnm = PathOf("tile.pnm");
        ASSERT_EQ(
            Shell("JxrDecApp -i '" + entry.path().string() + "' -o '" + pnm + "' >/dev/null 2>&1"),
            0);
        uint32_t w = 0, hgt = 0, channels = 0;
        const std::vector<uint32_t> want = PnmSamples(ReadBytes(pnm), &w, &hgt, &channels);
        ILImageOwner ours;
        ASSERT_EQ(Load(entry.path(), &ours.image), IL_OK) << LastError();
        ASSERT_EQ(ours.image.width, w);
        ASSERT_EQ(ours.image.height, hgt);
        const bool deep = ours.image.bits == 16;
        const uint32_t n = ours.image.channels;
        for (uint32_t y = 0; y < hgt; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* row = Row(ours.image, y);
                // grey against the PPM's red, B, G, R against R, G, B
                const uint32_t c = n == 1 ? 0 : 2;
                const uint32_t have =
                    deep ? reinterpret_cast<const uint16_t*>(row)[n * x + c] : row[n * x + c];
                ASSERT_EQ(have, want[(size_t{y} * w + x) * channels]) << x << "," << y;
            }
        ++tiles;
    }
    EXPECT_EQ(tiles, 9);
}

// Every written format reads back exactly when lossless, and JxrDecApp
// decodes it; 8-bit colour files decode there to our pixels. The height
// takes the rows that are converted after decoding through several bands
// and a short last one.
TEST_F(Jxr, SavedFormatsRoundTripAndDecodeInJxrDecApp) {
    const bool peer = HaveTool("JxrDecApp");
    constexpr uint32_t kWidth = 37, kHeight = 150;
    const ILPixelType types[] = {IL_BGR8,  IL_BGRA8,      IL_GREY8,     IL_GREY16,
                                 IL_RGB16, IL_RGBA16,     IL_RGB_HALF,  IL_RGB_FLOAT,
                                 IL_GREY1, IL_GREY_FLOAT, IL_RGBA_FLOAT};
    for (const ILPixelType type : types) {
        SCOPED_TRACE(::testing::Message() << std::hex << type);
        ILImageOwner image;
        ASSERT_EQ(ILAllocImage(&image.image, kWidth, kHeight, type, nullptr), IL_OK);
        const uint32_t kind = ILSampleKind(type);
        const bool floating = kind == IL_KIND_HALF || kind == IL_KIND_FLOAT;
        const int64_t width = floating ? ILBitsPerSample(type) / 8 : 1;
        std::mt19937 random(type);
        for (uint32_t y = 0; y < kHeight; ++y)
            for (int64_t i = 0; i < image.image.stride; ++i)
                // Floating samples: powers of two around 1 (the top byte
                // alone), which the float coding keeps exactly.
                image.image.data[y * image.image.stride + i] =
                    !floating                ? static_cast<uint8_t>(random())
                    : i % width == width - 1 ? static_cast<uint8_t>(0x3A + random() % 5)
                                             : 0;
        const ILJPEGXROptions lossless{90, 0, 0, 1};
        ILSetJPEGXROptions(h, &lossless);
        const std::string path = PathOf("saved.jxr");
        ASSERT_EQ(Save(path, image.image), IL_OK) << LastError();

        ILImageOwner back;
        ASSERT_EQ(Load(path, &back.image), IL_OK) << LastError();
        // What loads is the B, G, R form of R, G, B files: swap back.
        ASSERT_EQ(back.image.type & ~IL_ORDER_RGB, type & ~IL_ORDER_RGB);
        const bool swap = back.image.type != type;
        const size_t sample = image.image.bits / 8, pixel = sample * image.image.channels;
        const size_t bytes = (size_t{kWidth} * back.image.bits * back.image.channels + 7) / 8;
        for (uint32_t y = 0; y < kHeight; ++y) {
            Bytes want(Row(image.image, y), Row(image.image, y) + bytes);
            if (swap)
                for (size_t at = 0; at < bytes; at += pixel)
                    std::swap_ranges(want.begin() + at, want.begin() + at + sample,
                                     want.begin() + at + 2 * sample);
            // 1-bit rows: the padding bits after the last pixel do not count
            if (image.image.bits == 1) {
                const uint8_t mask = static_cast<uint8_t>(0xFF00 >> (kWidth % 8));
                Bytes have(Row(back.image, y), Row(back.image, y) + bytes);
                for (Bytes* row : {&want, &have})
                    if (!row->empty()) row->back() &= mask;
                ASSERT_EQ(have, want) << "row " << y;
                continue;
            }
            ASSERT_EQ(std::memcmp(Row(back.image, y), want.data(), bytes), 0) << "row " << y;
        }

        if (!peer) continue;
        const std::string decoded =
            PathOf(type == IL_BGR8 || type == IL_BGRA8 ? "peer.bmp" : "peer.tif");
        ASSERT_EQ(Shell("JxrDecApp -i '" + path + "' -o '" + decoded + "' >/dev/null 2>&1"), 0);
        if (type == IL_BGR8 || type == IL_BGRA8) {
            ILImageOwner theirs;
            ASSERT_EQ(Load(decoded, &theirs.image), IL_OK);
            const uint32_t n = theirs.image.channels, m = image.image.channels;
            for (uint32_t y = 0; y < kHeight; ++y)
                for (uint32_t x = 0; x < kWidth; ++x)
                    for (uint32_t c = 0; c < std::min(n, m); ++c)
                        ASSERT_EQ(Row(theirs.image, y)[n * x + c], Row(image.image, y)[m * x + c]);
        }
    }
}

// Options the codec cannot honour together fall back to full chroma
// instead of failing at the encoder; quality is kept inside 1..100.
// Two bytes changed in a microscope tile's macroblock data once made jxrlib's
// run decoder read far outside its tables and end the process; the load now
// fails with a message instead.
TEST_F(Jxr, DamagedMacroblockDataFailsWithoutEndingTheProcess) {
    const fs::path tile =
        Fixtures() / "first-tiles" / "FL_3channel_2scenes_Zstack_compression85pct.jxr";
    if (!fs::is_regular_file(tile)) GTEST_SKIP() << "no " << tile;
    Bytes bytes = ReadBytes(tile);
    ASSERT_EQ(bytes.size(), 279773u);
    bytes[30873] = 0x32;
    bytes[38542] = 0xB6;
    const std::string path = PathOf("damaged.jxr");
    ASSERT_TRUE(WriteBytes(path, bytes));
    ILImageOwner image;
    EXPECT_LE(Load(path, &image.image), IL_FAILED);
    EXPECT_FALSE(LastError().empty());
    // The stream stays usable: the undamaged tile still loads afterwards.
    EXPECT_EQ(Load(tile, &image.image), IL_OK) << LastError();
}

TEST_F(Jxr, ImpossibleOptionPairsFallBack) {
    struct Case {
        ILPixelType type;
        uint32_t width;
        ILJPEGXROptions options;
    };
    const Case cases[] = {{IL_RGB_HALF, 40, {90, 0, 1, 0}},
                          {IL_RGB_FLOAT, 40, {90, 1, 2, 0}},
                          {IL_BGR8, 8, {90, 2, 2, 0}},
                          {IL_BGR8, 40, {500, 0, 0, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.type);
        ILSetJPEGXROptions(h, &c.options);
        ILImageOwner image;
        ASSERT_EQ(ILAllocImage(&image.image, c.width, 20, c.type, nullptr), IL_OK);
        const std::string path = PathOf("options.jxr");
        ASSERT_EQ(Save(path, image.image), IL_OK) << LastError();
        ILImageOwner back;
        EXPECT_EQ(Load(path, &back.image), IL_OK) << LastError();
        EXPECT_EQ(back.image.width, c.width);
    }
}

// A target that cannot be created fails with the system's reason and
// leaves nothing of jxrlib's behind (the sanitizer build checks).
TEST_F(Jxr, SaveToAFolderThatIsMissingFails) {
    ILImageOwner image;
    ASSERT_EQ(ILAllocImage(&image.image, 8, 8, IL_BGR8, nullptr), IL_OK);
    EXPECT_NE(Save(PathOf("missing/x.jxr"), image.image), IL_OK);
    EXPECT_FALSE(LastError().empty());
}

// Thumbnails decode at 1/2, 1/4 or 1/8 of the size.
TEST_F(Jxr, ThumbnailsDecodeScaled) {
    const std::string path = SaveNoise("big.jxr", 1600, 1200);
    ILSetThumbnailSize(h, 100);
    ILImageOwner small;
    ASSERT_EQ(Load(path, &small.image), IL_OK) << LastError();
    EXPECT_EQ(small.image.width, 200u);
    EXPECT_EQ(small.image.height, 150u);
}

// Texts go out as ASCII entries (three characters inside the entry, longer
// ones in the data area) that exiftool and our reader find again.
TEST_F(Jxr, TextsRoundTripAndReachExiftool) {
    ILImageOwner image;
    ASSERT_EQ(ILAllocImage(&image.image, 16, 16, IL_BGR8, nullptr), IL_OK);
    ILInfo info;
    ILInfoAddText(&info.texts, IL_TEXT_AUTHOR, 3, "Ann");
    ILInfoAddText(&info.texts, IL_TEXT_TITLE, 11, "A long name");
    info.ppiX = 300;
    const std::string path = PathOf("texts.jxr");
    ASSERT_EQ(Save(path, image.image, &info), IL_OK) << LastError();
    ILInfo back;
    ASSERT_EQ(Load(path, nullptr, &back), IL_OK);
    EXPECT_STREQ(ILFindText(&back.texts, IL_TEXT_AUTHOR), "Ann");
    EXPECT_STREQ(ILFindText(&back.texts, IL_TEXT_TITLE), "A long name");
    EXPECT_STREQ(ILFindText(&back.texts, IL_TEXT_SOFTWARE), "Vx codec test");
    EXPECT_EQ(back.ppiX, 300u);
    EXPECT_EQ(back.ppiY, 96u);
    if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    const std::string dump =
        RunOutput("exiftool -s -Artist -DocumentName -Software '" + path + "'");
    EXPECT_NE(dump.find("Artist                          : Ann"), std::string::npos) << dump;
    EXPECT_NE(dump.find("A long name"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Vx codec test"), std::string::npos) << dump;
}

// Containers built entry by entry around the code-stream of a real file.
class JxrContainer : public Jxr {
protected:
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };

    void SetUp() override {
        Jxr::SetUp();
        const Bytes file = ReadBytes(SaveNoise("source.jxr", 24, 16));
        // Our writer: IFD at 32, image offset and size in entries we find.
        const uint32_t n = file[32] | file[33] << 8;
        for (uint32_t i = 0; i < n; ++i) {
            const size_t at = 34 + 12 * i;
            const uint16_t tag = file[at] | file[at + 1] << 8;
            if (tag == 0xBCC0) offset = Le32(file, at + 8);
            if (tag == 0xBCC1) size = Le32(file, at + 8);
        }
        stream.assign(file.begin() + offset, file.begin() + offset + size);
        pixelFormat.assign(file.begin() + 8, file.begin() + 24);
    }

    // The file: header (version), pixel format at 8, IFD at 32, extra data
    // at 512, the code-stream at 1024. Entries may name "extra" at 512.
    std::string Build(std::vector<Entry> entries, uint16_t version = 0x01BC,
                      const Bytes& extra = {}) {
        Bytes b(1024, 0);
        b[0] = b[1] = 'I';
        b[2] = version & 0xFF;
        b[3] = version >> 8;
        b[4] = 32;
        std::copy(pixelFormat.begin(), pixelFormat.end(), b.begin() + 8);
        b[32] = static_cast<uint8_t>(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            uint8_t* e = b.data() + 34 + 12 * i;
            const Entry& x = entries[i];
            const uint32_t fields[] = {x.tag | uint32_t{x.type} << 16, x.count, x.value};
            std::memcpy(e, fields, 12); // little-endian host
        }
        std::copy(extra.begin(), extra.end(), b.begin() + 512);
        b.insert(b.end(), stream.begin(), stream.end());
        const std::string path = PathOf("built.jxr");
        EXPECT_TRUE(WriteBytes(path, b));
        return path;
    }

    std::vector<Entry> Basic() const {
        return {{0xBC01, 1, 16, 8},
                {0xBC80, 4, 1, 24},
                {0xBC81, 4, 1, 16},
                {0xBCC0, 4, 1, 1024},
                {0xBCC1, 4, 1, size}};
    }

    uint32_t offset = 0, size = 0;
    Bytes stream, pixelFormat;
};

TEST_F(JxrContainer, RefusedHeadersAndEntries) {
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        uint16_t version;
    };
    std::vector<Entry> beyond = Basic();
    beyond[4].value = size + 1; // one byte past the end of the file
    std::vector<Entry> zeroWidth = Basic();
    zeroWidth[1].value = 0;
    std::vector<Entry> unknownFormat = Basic();
    unknownFormat[0].value = 40; // 16 zero bytes
    std::vector<Entry> formatOfNoBytes = Basic();
    formatOfNoBytes[0].type = 0; // a type of no size: 16 values, no bytes
    const Case cases[] = {{"version 2", Basic(), 0x02BC},
                          {"no entries", {}, 0x01BC},
                          {"beyond the file", beyond, 0x01BC},
                          {"width 0", zeroWidth, 0x01BC},
                          {"unknown pixel format", unknownFormat, 0x01BC},
                          {"pixel format of no bytes", formatOfNoBytes, 0x01BC}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        ILImageOwner image;
        EXPECT_EQ(Load(Build(c.entries, c.version), &image.image), IL_INVALID_HEADER);
        EXPECT_EQ(LastError(), "JXR: Invalid image file header");
    }
    ILImageOwner image;
    ASSERT_EQ(Load(Build(Basic()), &image.image), IL_OK) << LastError();
    // Metadata entries of a type of no size hold no bytes: nothing is read
    // from them and the image still loads.
    std::vector<Entry> empty = Basic();
    for (const uint16_t tag : {700, 33723, 34675})
        empty.push_back({tag, 0, 100, 512});
    ILImageOwner again;
    ILInfo info;
    EXPECT_EQ(Load(Build(empty), &again.image, &info), IL_OK) << LastError();
}

// Resolutions by type and rounding, and the defaults when one or both are
// missing; unknown tags warn; an empty ASCII entry is skipped; a multi-value
// SHORT entry is read at its offset without harm.
TEST_F(JxrContainer, ResolutionsTextsAndUnknownTags) {
    const float dpi = 71.6f;
    uint32_t floatBits;
    std::memcpy(&floatBits, &dpi, 4);
    const Bytes rational = {0x1F, 0x1C, 0, 0, 10, 0, 0, 0}; // 7199 / 10
    struct Case {
        std::vector<Entry> extra;
        uint32_t ppiX, ppiY;
    };
    const Case cases[] = {
        {{{0xBC82, 5, 1, 512}, {0xBC83, 11, 1, floatBits}}, 720, 72},
        {{{0xBC82, 11, 1, 0x43960000}}, 300, 300}, // 300.0f
        {{}, 96, 96},
    };
    for (const Case& c : cases) {
        std::vector<Entry> entries = Basic();
        entries.insert(entries.end(), c.extra.begin(), c.extra.end());
        ILInfo info;
        ASSERT_EQ(Load(Build(entries, 0x01BC, rational), nullptr, &info), IL_OK) << LastError();
        EXPECT_EQ(info.ppiX, c.ppiX);
        EXPECT_EQ(info.ppiY, c.ppiY);
    }

    std::vector<Entry> entries = Basic();
    entries.push_back({315, 2, 0, 0});      // Artist, empty
    entries.push_back({50000, 3, 1, 7});    // unknown
    entries.push_back({0xBC02, 3, 6, 512}); // six SHORTs at 512
    warnings.clear();
    ILInfo info;
    ILImageOwner image;
    ASSERT_EQ(Load(Build(entries, 0x01BC, rational), &image.image, &info), IL_OK) << LastError();
    EXPECT_EQ(ILFindText(&info.texts, IL_TEXT_AUTHOR), nullptr);
    EXPECT_EQ(warnings, std::vector<std::string>{"JXR: Unrecognized tag 50000 (0xc350)"});
}

} // namespace
