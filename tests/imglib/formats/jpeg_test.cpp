// The JPEG codec against libjpeg-turbo's own tools: djpeg decodes with the
// same library, so with the same settings its pixels must equal ours
// exactly; cjpeg with the same options must give the same decoded picture
// as our saver; rdjpgcom and exiftool read back what we write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <lcms2.h>

#include "imglib/format.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jpeg.h"
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

bool Contains(const std::vector<std::string>& list, const std::string& text) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& s) { return s.find(text) != std::string::npos; });
}

// Packed pixels, R, G, B or grey, as netpbm stores them.
struct Pixels {
    uint32_t width = 0, height = 0, channels = 0;
    Bytes data;
};

bool ReadPnm(const fs::path& p, Pixels* out) {
    const Bytes b = ReadBytes(p);
    if (b.size() < 2 || b[0] != 'P' || (b[1] != '5' && b[1] != '6')) return false;
    size_t at = 2;
    uint32_t fields[3];
    for (uint32_t& f : fields) {
        while (at < b.size() && std::isspace(b[at]))
            ++at;
        f = 0;
        while (at < b.size() && std::isdigit(b[at]))
            f = f * 10 + (b[at++] - '0');
    }
    ++at;
    out->width = fields[0];
    out->height = fields[1];
    out->channels = b[1] == '5' ? 1 : 3;
    const size_t n = size_t{out->width} * out->height * out->channels;
    if (fields[2] != 255 || b.size() < at + n) return false;
    out->data.assign(b.begin() + static_cast<ptrdiff_t>(at),
                     b.begin() + static_cast<ptrdiff_t>(at + n));
    return true;
}

// Our grey 8 or B, G, R 8 image as netpbm pixels.
Pixels FromImage(const ILImage& image) {
    Pixels p;
    p.width = image.width;
    p.height = image.height;
    p.channels = (image.type & IL_MODEL_MASK) == IL_MODEL_GRAY ? 1 : 3;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.data + int64_t{y} * image.stride;
        for (uint32_t x = 0; x < image.width; ++x) {
            if (p.channels == 1) {
                p.data.push_back(row[x]);
            } else {
                p.data.insert(p.data.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
            }
        }
    }
    return p;
}

// "have X, want Y" for the first differing sample.
::testing::AssertionResult SamePixels(const Pixels& have, const Pixels& want) {
    if (have.width != want.width || have.height != want.height || have.channels != want.channels)
        return ::testing::AssertionFailure()
               << "have " << have.width << "x" << have.height << "x" << have.channels << ", want "
               << want.width << "x" << want.height << "x" << want.channels;
    const auto [a, b] = std::mismatch(have.data.begin(), have.data.end(), want.data.begin());
    if (a == have.data.end()) return ::testing::AssertionSuccess();
    const size_t i = static_cast<size_t>(a - have.data.begin());
    const size_t pixel = i / have.channels;
    return ::testing::AssertionFailure()
           << "at (" << pixel % have.width << ", " << pixel / have.width << ") sample "
           << i % have.channels << ": have " << int{*a} << ", want " << int{*b};
}

double MeanDifference(const Pixels& a, const Pixels& b) {
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        sum += std::abs(int{a.data[i]} - int{b.data[i]});
    return a.data.empty() ? 0 : sum / static_cast<double>(a.data.size());
}

// A picture with gradients, edges and noise (fixed seed), as a binary PPM.
Bytes TestPpm(uint32_t width, uint32_t height) {
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes b(header.begin(), header.end());
    std::mt19937 noise(7);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const int n = static_cast<int>(noise() % 17) - 8;
            b.push_back(static_cast<uint8_t>(std::clamp<int>(int(x * 255 / width) + n, 0, 255)));
            b.push_back(static_cast<uint8_t>(((x / 8 + y / 8) % 2) ? 200 : 40));
            b.push_back(static_cast<uint8_t>(std::clamp<int>(int(y * 255 / height) - n, 0, 255)));
        }
    return b;
}

// One marker segment: FF, code, big-endian length, payload.
Bytes Segment(uint8_t code, const Bytes& payload) {
    const size_t n = payload.size() + 2;
    Bytes b{0xFF, code, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n & 0xFF)};
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes InsertAfterSoi(const Bytes& jpeg, const std::vector<Bytes>& segments) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    for (const Bytes& s : segments)
        out.insert(out.end(), s.begin(), s.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// Offset of the first marker with the code, or 0.
size_t FindMarker(const Bytes& jpeg, uint8_t code) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        if (jpeg[at + 1] == code) return at;
        if (jpeg[at + 1] == 0xDA) return 0;
        at += 2 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return 0;
}

// Offsets of every marker with the code, entropy-coded data skipped.
std::vector<size_t> MarkerOffsets(const Bytes& jpeg, uint8_t code) {
    std::vector<size_t> found;
    for (size_t at = 2; at + 1 < jpeg.size(); ++at) {
        if (jpeg[at] != 0xFF || jpeg[at + 1] == 0 || jpeg[at + 1] == 0xFF ||
            (jpeg[at + 1] >= 0xD0 && jpeg[at + 1] <= 0xD7))
            continue;
        if (jpeg[at + 1] == code) found.push_back(at);
        if (jpeg[at + 1] != 0xD9 && at + 3 < jpeg.size() && jpeg[at + 1] != 0xDA)
            at += 1 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return found;
}

Bytes IccChunk(int number, int count, const Bytes& part) {
    Bytes payload{'I',
                  'C',
                  'C',
                  '_',
                  'P',
                  'R',
                  'O',
                  'F',
                  'I',
                  'L',
                  'E',
                  0,
                  static_cast<uint8_t>(number),
                  static_cast<uint8_t>(count)};
    payload.insert(payload.end(), part.begin(), part.end());
    return Segment(0xE2, payload);
}

Bytes ExtendedXmp() {
    const std::string payload = std::string("http://ns.adobe.com/xmp/extension/") + '\0' +
                                "0123456789ABCDEF0123456789ABCDEF" + std::string(8, '\0') +
                                "<x:xmpmeta/>";
    return Segment(0xE1, Bytes(payload.begin(), payload.end()));
}

Bytes SaveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes b(size);
    cmsSaveProfileToMem(profile, b.data(), &size);
    return b;
}

// An RGB profile with wide primaries and a description to recognise it by.
Bytes WideGamutProfile(const char* description) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(p, cmsSigProfileDescriptionTag, text);
    Bytes b = SaveProfile(p);
    cmsMLUfree(text);
    cmsFreeToneCurve(gamma);
    cmsCloseProfile(p);
    return b;
}

fs::path CorpusDir() {
    return fs::path(VX_CORPUS_DIR);
}

class Jpeg : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTestFolder("vx_jpeg");
        h = ILCreateHandle("Vx test 1.0");
        ASSERT_NE(h, nullptr);
        KeepMessages(h);
    }
    void TearDown() override {
        ILFreeImage(&image);
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }

    fs::path Path(const std::string& name) const { return dir / name; }

    ILResult Load(const fs::path& p, ILImage* target, ILInfo* info) {
        return ILLoadImage(h, ILUtf8ToPath(p.string()).c_str(), target, info);
    }
    ILResult Save(const fs::path& p, const ILImage& source, const ILInfo* info = nullptr) {
        return ILSaveImage(h, ILUtf8ToPath(p.string()).c_str(), &source, info);
    }

    // djpeg's decoding of a file, with extra options; false when it made none.
    bool Djpeg(const fs::path& jpeg, const std::string& options, Pixels* out) {
        const fs::path pnm = Path("djpeg.pnm");
        fs::remove(pnm);
        Shell("djpeg -pnm " + options + " '" + jpeg.string() + "' > '" + pnm.string() +
              "' 2>/dev/null");
        return fs::file_size(pnm) > 0 && ReadPnm(pnm, out);
    }

    // A JPEG made by cjpeg from the test picture.
    fs::path Cjpeg(const std::string& name, uint32_t width, uint32_t height,
                   const std::string& options) {
        const fs::path ppm = Path(name + ".ppm");
        WriteBytes(ppm, TestPpm(width, height));
        const fs::path jpeg = Path(name);
        EXPECT_EQ(
            Shell("cjpeg " + options + " -outfile '" + jpeg.string() + "' '" + ppm.string() + "'"),
            0);
        return jpeg;
    }

    // The test picture as our image.
    void PictureImage(uint32_t width, uint32_t height, ILImage* out) {
        const fs::path ppm = Path("picture.ppm");
        WriteBytes(ppm, TestPpm(width, height));
        Pixels p;
        ASSERT_TRUE(ReadPnm(ppm, &p));
        ASSERT_EQ(ILCreateImage(out, width, height, IL_MODEL_RGB | IL_KIND_8, nullptr), IL_OK);
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    out->data[y * out->stride + 3 * x + c] = p.data[(y * width + x) * 3 + 2 - c];
    }

    fs::path dir;
    ILHandle* h = nullptr;
    ILImage image;
};

#define REQUIRE_TOOLS(...)                 \
    for (const char* tool : {__VA_ARGS__}) \
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed"

#define REQUIRE_CORPUS() \
    if (!fs::is_directory(CorpusDir())) GTEST_SKIP() << "no test corpus at " << CorpusDir()

// ---------------------------------------------------------------------------
// Loading

// Every JPEG of the corpus either decodes to exactly djpeg's pixels, or both
// refuse it (lossless, 12-bit, JPEG-LS and DNL streams) and we say why.
// CMYK files are left to their own test: djpeg has its own CMYK-to-RGB rule.
TEST_F(Jpeg, CorpusDecodesLikeDjpeg) {
    REQUIRE_CORPUS();
    REQUIRE_TOOLS("djpeg");
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(CorpusDir())) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (e.is_regular_file() && (ext == ".jpg" || ext == ".jpeg")) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    int compared = 0, refused = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        errors.clear();
        ILImage decoded;
        ILInfo info;
        const ILResult r = Load(file, &decoded, &info);
        Pixels reference;
        const bool djpegDecodes = Djpeg(file, "", &reference);
        if (r < IL_OK) {
            EXPECT_FALSE(djpegDecodes) << "we refuse with " << r;
            EXPECT_TRUE(Contains(errors, "JPEG: ")) << "no message for result " << r;
            ++refused;
        } else if (info.colorType != IL_CT_CMYK && info.colorType != IL_CT_YCCK) {
            ASSERT_TRUE(djpegDecodes);
            EXPECT_TRUE(SamePixels(FromImage(decoded), reference));
            ++compared;
        }
        ILFreeImage(&decoded);
    }
    EXPECT_GT(compared, 150);
    EXPECT_GT(refused, 30);
}

// Adobe's CMYK files store inverted inks: read as stored they would show a
// negative. ImageMagick's rendering is the reference within CMYK-to-RGB
// differences; the same data without the Adobe marker holds plain inks.
TEST_F(Jpeg, CmykFollowsTheAdobeConvention) {
    REQUIRE_CORPUS();
    REQUIRE_TOOLS("convert-im6.q16");
    const fs::path adobe = CorpusDir() / "pillow-tests/jpeg/pil_sample_cmyk.jpg";
    if (!fs::exists(adobe)) GTEST_SKIP() << "missing " << adobe;
    const fs::path reference = Path("im.ppm");
    ASSERT_EQ(
        Shell("convert-im6.q16 '" + adobe.string() + "' -depth 8 '" + reference.string() + "'"), 0);
    Pixels want;
    ASSERT_TRUE(ReadPnm(reference, &want));

    Bytes plain = ReadBytes(adobe);
    const size_t app14 = FindMarker(plain, 0xEE);
    ASSERT_GT(app14, 0u);
    plain.erase(plain.begin() + static_cast<ptrdiff_t>(app14),
                plain.begin() +
                    static_cast<ptrdiff_t>(app14 + 2 + (plain[app14 + 2] << 8 | plain[app14 + 3])));
    WriteBytes(Path("plain.jpg"), plain);

    ASSERT_EQ(Load(adobe, &image, nullptr), IL_OK);
    EXPECT_LT(MeanDifference(FromImage(image), want), 12);
    ASSERT_EQ(Load(Path("plain.jpg"), &image, nullptr), IL_OK);
    EXPECT_GT(MeanDifference(FromImage(image), want), 60);
}

// A file that ends early keeps what the library decoded (it pads the rest
// as djpeg does) and says so; the library's own warning reaches the handle,
// not standard error. Cut inside a marker between progressive scans, the
// decoding cannot even start.
// Files that span several of the loader's read blocks (256 KiB): unsaved
// markers larger than a block are skipped across refills, and a cut far into
// the data still gives the rows djpeg gives.
TEST_F(Jpeg, FilesLargerThanAReadBlock) {
    REQUIRE_TOOLS("cjpeg", "djpeg");
    const Bytes filler(65533, 0x5A);
    const std::vector<Bytes> skipped(6, Segment(0xE5, filler)); // APP5, never saved
    const Bytes whole =
        InsertAfterSoi(ReadBytes(Cjpeg("whole.jpg", 640, 480, "-quality 100")), skipped);
    ASSERT_GT(whole.size(), 2u * 256 * 1024);
    for (const size_t keep : {whole.size(), whole.size() - 40000}) {
        SCOPED_TRACE(keep);
        const fs::path p = Path("big.jpg");
        WriteBytes(p, Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(keep)));
        ::testing::internal::CaptureStderr();
        const ILResult r = Load(p, &image, nullptr);
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(r, keep == whole.size() ? IL_OK : IL_PARTIAL);
        Pixels reference;
        ASSERT_TRUE(Djpeg(p, "", &reference));
        EXPECT_TRUE(SamePixels(FromImage(image), reference));
    }
}

TEST_F(Jpeg, TruncatedFile) {
    REQUIRE_TOOLS("cjpeg", "djpeg");
    struct Case {
        const char* name;
        const char* options;
        bool inLastScan; // else inside the second scan's table marker
        ILResult result;
    } cases[] = {
        {"baseline", "", true, IL_PARTIAL},
        {"progressive", "-progressive", true, IL_PARTIAL},
        {"arithmetic", "-arithmetic", true, IL_PARTIAL},
        {"between scans", "-progressive", false, IL_REFUSED_CONTENTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        warnings.clear();
        const Bytes whole = ReadBytes(Cjpeg("whole.jpg", 96, 64, c.options));
        const std::vector<size_t> scans = MarkerOffsets(whole, 0xDA);
        const std::vector<size_t> tables = MarkerOffsets(whole, 0xC4);
        ASSERT_FALSE(scans.empty());
        size_t at;
        if (c.inLastScan) {
            at = (scans.back() + whole.size()) / 2;
        } else {
            const auto second =
                std::find_if(tables.begin(), tables.end(), [&](size_t t) { return t > scans[0]; });
            ASSERT_NE(second, tables.end());
            at = *second + 6;
        }
        const fs::path cut = Path("cut.jpg");
        WriteBytes(cut, Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(at)));
        ::testing::internal::CaptureStderr();
        const ILResult r = Load(cut, &image, nullptr);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        ASSERT_EQ(r, c.result) << (errors.empty() ? "" : errors[0]);
        EXPECT_TRUE(Contains(errors, "JPEG: Unexpected end of data"));
        EXPECT_TRUE(Contains(warnings, "JPEG: Premature end of JPEG file"));
        if (r == IL_PARTIAL) {
            Pixels reference;
            ASSERT_TRUE(Djpeg(cut, "", &reference));
            EXPECT_TRUE(SamePixels(FromImage(image), reference));
        }
    }
}

// Damaged copies of real files: cut anywhere or with bits flipped (fixed
// seeds), they load, load partially or fail, always with a message.
TEST_F(Jpeg, DamagedCopiesFailCleanly) {
    REQUIRE_CORPUS();
    const char* sources[] = {"libjpeg-turbo-testimages/jpeg/testimgint.jpg",
                             "libjpeg-turbo-testimages/jpeg/testimgari.jpg",
                             "jpegsuite/jpeg/progressive_huffman/32x32x8_ycbcr_interleaved.jpg",
                             "pillow-tests/jpeg/pil_sample_cmyk.jpg", "pillow-tests/jpeg/iptc.jpg"};
    std::mt19937 random(1234);
    int variants = 0;
    for (const char* source : sources) {
        const Bytes original = ReadBytes(CorpusDir() / source);
        if (original.empty()) continue;
        for (int k = 0; k < 40; ++k) {
            Bytes damaged = original;
            if (k % 2 == 0) {
                damaged.resize(12 + random() % (original.size() - 12));
            } else {
                for (int flips = 1 + random() % 8; flips > 0; --flips)
                    damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 << random() % 8);
            }
            SCOPED_TRACE(std::string(source) + " variant " + std::to_string(k));
            WriteBytes(Path("damaged.jpg"), damaged);
            errors.clear();
            ILInfo info;
            const ILResult r = Load(Path("damaged.jpg"), &image, &info);
            EXPECT_TRUE(r == IL_OK || r == IL_PARTIAL || r < 0) << r;
            if (r != IL_OK) {
                EXPECT_FALSE(errors.empty()) << "result " << r << " without a message";
            }
            if (r >= IL_OK) {
                EXPECT_TRUE(image.data && image.width && image.height);
            }
            ++variants;
        }
    }
    if (variants == 0) GTEST_SKIP() << "no source files in the corpus";
}

// Thumbnails decode at 1/2, 1/4 or 1/8 size, keeping the shorter side above
// the edge; the info keeps the full size. The pixels are djpeg's with the
// same reduction, fast IDCT and plain upsampling.
TEST_F(Jpeg, ThumbnailLoadsReduced) {
    REQUIRE_TOOLS("cjpeg", "djpeg");
    struct Case {
        uint32_t width, height, edge, wantWidth, wantHeight;
        const char* djpegScale;
    } cases[] = {
        {800, 600, 50, 100, 75, "1/8"},   // n = 599 / 50 = 11
        {800, 600, 100, 200, 150, "1/4"}, // n = 5
        {800, 600, 200, 400, 300, "1/2"}, // n = 2
        {800, 600, 300, 800, 600, "1/1"}, // n = 1
        {300, 200, 256, 300, 200, "1/1"}, // n = 0
        {9, 2000, 1, 2, 250, "1/8"},      // the shorter side decides
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " edge " +
                     std::to_string(c.edge));
        const fs::path jpeg = Cjpeg("t.jpg", c.width, c.height, "");
        ILSetThumbnailSize(h, c.edge);
        ILInfo info;
        ASSERT_EQ(Load(jpeg, &image, &info), IL_OK);
        EXPECT_EQ(image.width, c.wantWidth);
        EXPECT_EQ(image.height, c.wantHeight);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        Pixels reference;
        ASSERT_TRUE(Djpeg(jpeg, std::string("-scale ") + c.djpegScale + " -dct fast -nosmooth",
                          &reference));
        EXPECT_TRUE(SamePixels(FromImage(image), reference));
    }
}

// The JFIF density in the info record, in pixels per inch.
TEST_F(Jpeg, JfifResolution) {
    REQUIRE_TOOLS("cjpeg");
    const Bytes original = ReadBytes(Cjpeg("r.jpg", 16, 16, ""));
    ASSERT_EQ(FindMarker(original, 0xE0), 2u);
    struct Case {
        uint8_t unit;
        uint16_t x, y;
        uint32_t ppiX, ppiY;
    } cases[] = {
        {0, 1, 1, 0, 0},         // aspect ratio only
        {1, 300, 150, 300, 150}, // dots per inch
        {2, 118, 40, 300, 102},  // 118 x 2.54 = 299.72 rounds to 300; 101.6 to 102
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int{c.unit});
        Bytes b = original;
        b[13] = c.unit; // SOI, APP0 header and "JFIF\0" and version come first
        b[14] = static_cast<uint8_t>(c.x >> 8);
        b[15] = static_cast<uint8_t>(c.x);
        b[16] = static_cast<uint8_t>(c.y >> 8);
        b[17] = static_cast<uint8_t>(c.y);
        WriteBytes(Path("r.jpg"), b);
        ILInfo info;
        ASSERT_EQ(Load(Path("r.jpg"), nullptr, &info), IL_OK);
        EXPECT_EQ(info.ppiX, c.ppiX);
        EXPECT_EQ(info.ppiY, c.ppiY);
    }
}

TEST_F(Jpeg, InfoDescribesTheFile) {
    REQUIRE_TOOLS("cjpeg");
    struct Case {
        const char* options;
        uint32_t colorType, channels, compression;
    } cases[] = {
        {"", IL_CT_YCC, 3, IL_COMP_DCT},
        {"-grayscale", IL_CT_GRAY, 1, IL_COMP_DCT},
        {"-rgb", IL_CT_RGB, 3, IL_COMP_DCT},
        {"-progressive", IL_CT_YCC, 3, IL_COMP_DCT_PROGRESSIVE},
        {"-arithmetic", IL_CT_YCC, 3, IL_COMP_DCT_ARITHMETIC},
        {"-arithmetic -progressive", IL_CT_YCC, 3, IL_COMP_DCT_ARITHMETIC_PROGRESSIVE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const fs::path jpeg = Cjpeg("i.jpg", 33, 17, c.options);
        ILInfo info;
        ASSERT_EQ(Load(jpeg, &image, &info), IL_OK);
        EXPECT_EQ(info.formatId, 0x50u);
        EXPECT_EQ(info.width, 33u);
        EXPECT_EQ(info.height, 17u);
        EXPECT_EQ(info.pages, 1);
        EXPECT_EQ(info.colorType, c.colorType);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.bitsPerPixel, c.channels * 8);
        EXPECT_EQ(info.compression, c.compression);
        EXPECT_EQ(info.gammaKind, IL_GAMMA_ASSUMED);
        EXPECT_DOUBLE_EQ(info.gamma, 2.2);
        EXPECT_EQ(info.fileSize, static_cast<int64_t>(fs::file_size(jpeg)));
        EXPECT_EQ(image.type, c.channels == 1 ? IL_GREY8 : IL_BGR8);
    }
}

// The handle's load modes ask for RGB 8, or RGB 8 with alpha, whatever the
// file holds; a JPEG has no alpha, so it comes opaque.
TEST_F(Jpeg, LoadModes) {
    REQUIRE_TOOLS("cjpeg", "djpeg");
    struct Case {
        const char* options;
        uint8_t mode;
        ILPixelType type;
    } cases[] = {{"-grayscale", 1, IL_BGR8}, {"", 1, IL_BGR8}, {"", 2, IL_BGRA8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " mode " + std::to_string(c.mode));
        const fs::path jpeg = Cjpeg("m.jpg", 20, 10, c.options);
        Pixels reference;
        ASSERT_TRUE(Djpeg(jpeg, "", &reference));
        h->loadMode = c.mode;
        ASSERT_EQ(Load(jpeg, &image, nullptr), IL_OK);
        ASSERT_EQ(image.type, c.type);
        const uint32_t size = c.type == IL_BGRA8 ? 4 : 3;
        for (uint32_t i = 0; i < 200; ++i) {
            const uint8_t* pixel = image.data + (i / 20) * image.stride + (i % 20) * size;
            const uint8_t* want = &reference.data[i * reference.channels];
            const uint8_t red = want[0], green = want[reference.channels == 3 ? 1 : 0],
                          blue = want[reference.channels == 3 ? 2 : 0];
            ASSERT_EQ(pixel[0], blue) << "pixel " << i;
            ASSERT_EQ(pixel[1], green) << "pixel " << i;
            ASSERT_EQ(pixel[2], red) << "pixel " << i;
            if (size == 4) {
                ASSERT_EQ(pixel[3], 255) << "pixel " << i;
            }
        }
    }
}

TEST_F(Jpeg, RefusesWhatIsNoJpeg) {
    REQUIRE_TOOLS("cjpeg");
    const Bytes small = ReadBytes(Cjpeg("s.jpg", 16, 16, ""));
    const size_t sof = FindMarker(small, 0xC0);
    ASSERT_GT(sof, 0u);
    Bytes huge = small; // claims 65000 x 65000 in a few hundred bytes
    for (size_t at : {sof + 5, sof + 7}) {
        huge[at] = 65000 >> 8;
        huge[at + 1] = 65000 & 0xFF;
    }
    Bytes empty = small; // zero height
    empty[sof + 5] = empty[sof + 6] = 0;

    struct Case {
        const char* name;
        Bytes bytes;
        ILResult result;
        const char* message;
    } cases[] = {
        {"text", Bytes(100, 'x'), IL_INVALID_HEADER, "JPEG: Not a JPEG file"},
        {"zero height", empty, IL_INVALID_HEADER, "JPEG: Empty JPEG image"},
        {"huge", huge, IL_INVALID_HEADER, "cannot come from a file of"},
        {"header only", Bytes(small.begin(), small.begin() + static_cast<ptrdiff_t>(sof)),
         IL_INVALID_HEADER, "JPEG: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        WriteBytes(Path("bad.jpg"), c.bytes);
        EXPECT_EQ(Load(Path("bad.jpg"), &image, nullptr), c.result);
        EXPECT_TRUE(Contains(errors, c.message)) << (errors.empty() ? "" : errors[0]);
        EXPECT_EQ(image.data, nullptr);
    }
    // Without an image nothing is decoded, so the claimed size is reported.
    WriteBytes(Path("huge.jpg"), huge);
    ILInfo info;
    EXPECT_EQ(Load(Path("huge.jpg"), nullptr, &info), IL_OK);
    EXPECT_EQ(info.width, 65000u);
}

// Comment markers can pad a file to any size; what backs a claimed size is
// the scan data. A grey picture claiming 65500 x 32000 pixels, padded to
// more than the file-size rule of old asked for, is refused before anything
// is allocated.
TEST_F(Jpeg, PaddingDoesNotBackAClaim) {
    REQUIRE_TOOLS("cjpeg");
    Bytes huge = ReadBytes(Cjpeg("g.jpg", 16, 16, "-grayscale"));
    const size_t sof = FindMarker(huge, 0xC0);
    ASSERT_GT(sof, 0u);
    huge[sof + 5] = 32000 >> 8;
    huge[sof + 6] = 32000 & 0xFF;
    huge[sof + 7] = 65500 >> 8;
    huge[sof + 8] = 65500 & 0xFF;
    std::vector<Bytes> comments(20, Segment(0xFE, Bytes(65000, 'p')));
    WriteBytes(Path("padded.jpg"), InsertAfterSoi(huge, comments));
    ASSERT_GT(fs::file_size(Path("padded.jpg")), 65500u * 32000 / 2048);

    EXPECT_EQ(Load(Path("padded.jpg"), &image, nullptr), IL_INVALID_HEADER);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_TRUE(Contains(errors, "65500 x 32000 pixels cannot come from a file of"))
        << (errors.empty() ? "" : errors[0]);
}

// A flat grey 32 x 32 picture in scans in order: DC, then each AC
// coefficient alone, sent `shift` bits below full precision and refined a
// bit at a time (1 + 63 * (shift + 1) scans). Arithmetic coding of zeros
// starts afresh at every scan, so one first scan and one refinement made by
// cjpeg serve every coefficient and bit with their headers changed.
Bytes ScansInOrder(const fs::path& dir, int shift) {
    const std::string script = "0: 0 0 0 0;\n0: 1 1 0 1;\n0: 1 1 1 0;\n";
    WriteBytes(dir / "scans.txt", Bytes(script.begin(), script.end()));
    Bytes pgm = {'P', '5', ' ', '3', '2', ' ', '3', '2', ' ', '2', '5', '5', '\n'};
    pgm.resize(pgm.size() + 32 * 32, 128);
    WriteBytes(dir / "flat.pgm", pgm);
    EXPECT_EQ(Shell("cjpeg -arithmetic -scans '" + (dir / "scans.txt").string() + "' -outfile '" +
                    (dir / "three.jpg").string() + "' '" + (dir / "flat.pgm").string() + "'"),
              0);
    const Bytes three = ReadBytes(dir / "three.jpg");
    const std::vector<size_t> at = MarkerOffsets(three, 0xDA);
    EXPECT_EQ(at.size(), 3u);
    if (at.size() != 3) return {};
    const Bytes first(three.begin() + static_cast<ptrdiff_t>(at[1]),
                      three.begin() + static_cast<ptrdiff_t>(at[2]));
    const Bytes refinement(three.begin() + static_cast<ptrdiff_t>(at[2]), three.end() - 2);
    Bytes out(three.begin(), three.begin() + static_cast<ptrdiff_t>(at[1]));
    // One component: Ss, Se and Ah | Al follow the marker, length, count,
    // selector and tables.
    auto scan = [&](const Bytes& model, int k, int ah, int al) {
        Bytes s = model;
        s[7] = s[8] = static_cast<uint8_t>(k);
        s[9] = static_cast<uint8_t>(ah << 4 | al);
        out.insert(out.end(), s.begin(), s.end());
    };
    for (int k = 1; k < 64; ++k) {
        scan(first, k, 0, shift);
        for (int al = shift; al > 0; --al)
            scan(refinement, k, al, al - 1);
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// Scans in order: 316 load as the flat picture; 694 (sent from 10 bits
// below, the deepest an 8-bit encoder may) pass the scan limit, which no
// encoder's own scripts come near.
TEST_F(Jpeg, ScanCountIsLimited) {
    REQUIRE_TOOLS("cjpeg");
    for (const auto& [shift, result] : {std::pair{4, IL_OK}, {10, IL_REFUSED_CONTENTS}}) {
        SCOPED_TRACE(shift);
        const Bytes many = ScansInOrder(dir, shift);
        ASSERT_EQ(MarkerOffsets(many, 0xDA).size(), 1u + 63u * (shift + 1));
        WriteBytes(Path("many.jpg"), many);
        errors.clear();
        EXPECT_EQ(Load(Path("many.jpg"), &image, nullptr), result);
        EXPECT_EQ(Contains(errors, "more than 500 scans"), result != IL_OK);
        if (result == IL_OK) {
            const int first = image.data[0];
            EXPECT_NEAR(first, 128, 1);
            for (uint32_t y = 0; y < 32; ++y)
                for (uint32_t x = 0; x < 32; ++x)
                    ASSERT_EQ(image.data[y * image.stride + x], first);
        }
        ILFreeImage(&image);
    }
}

// A flat grey 4096 x 4096 picture: a scan repeated after the file's own
// (few bytes that visit all 262144 blocks again) is refused at the first
// repeat, as no encoder sends a coefficient's bits twice; scans in order
// may visit the blocks as often as a real file's do, not 64 times over.
TEST_F(Jpeg, ScanWorkIsLimited) {
    REQUIRE_TOOLS("cjpeg");
    const uint32_t side = 4096;
    Bytes pgm = {'P', '5', ' ', '4', '0', '9', '6', ' ', '4',
                 '0', '9', '6', ' ', '2', '5', '5', '\n'};
    pgm.resize(pgm.size() + size_t{side} * side, 128);
    WriteBytes(Path("flat.pgm"), pgm);
    std::string script;
    for (int k = 0; k < 64; ++k)
        script += "0: " + std::to_string(k) + " " + std::to_string(k) + " 0 0;\n";
    WriteBytes(Path("scans.txt"), Bytes(script.begin(), script.end()));
    const auto cjpeg = [&](const std::string& options, const std::string& name) {
        EXPECT_EQ(Shell("cjpeg " + options + " -outfile '" + Path(name).string() + "' '" +
                        Path("flat.pgm").string() + "'"),
                  0);
        return ReadBytes(Path(name));
    };
    const Bytes base = cjpeg("-progressive", "flat.jpg");
    const std::vector<size_t> scans = MarkerOffsets(base, 0xDA);
    ASSERT_GT(scans.size(), 2u);
    ASSERT_EQ(Load(Path("flat.jpg"), &image, nullptr), IL_OK);
    ILFreeImage(&image);
    const Bytes scan(base.begin() + static_cast<ptrdiff_t>(scans[1]),
                     base.begin() + static_cast<ptrdiff_t>(scans[2]));
    Bytes repeated(base.begin(), base.end() - 2);
    for (int i = 0; i < 100; ++i)
        repeated.insert(repeated.end(), scan.begin(), scan.end());
    repeated.insert(repeated.end(), {0xFF, 0xD9});
    WriteBytes(Path("repeated.jpg"), repeated);
    cjpeg("-scans '" + Path("scans.txt").string() + "'", "spectral.jpg");
    for (const auto& [name, message] :
         {std::pair<std::string, std::string>{
              "repeated.jpg", "Scan " + std::to_string(scans.size() + 1) +
                                  " of the file sends coefficient bits its earlier scans sent"},
          {"spectral.jpg", "more than 40 times over"}}) {
        SCOPED_TRACE(name);
        errors.clear();
        EXPECT_EQ(Load(Path(name), &image, nullptr), IL_REFUSED_CONTENTS);
        EXPECT_TRUE(Contains(errors, message)) << (errors.empty() ? "" : errors.back());
    }
}

// Comments, EXIF, XMP and IPTC written by exiftool come back in the info
// record, whatever state the ICC chunks are in; an inconsistent chunk set
// gives no profile.
TEST_F(Jpeg, MetadataMarkers) {
    REQUIRE_TOOLS("cjpeg", "exiftool");
    const fs::path tagged = Cjpeg("m.jpg", 24, 16, "");
    ASSERT_EQ(Shell("exiftool -q -overwrite_original -EXIF:Artist='Ann Example' "
                    "-XMP-dc:Title='Harbour at dawn' -IPTC:Keywords='boats' "
                    "-Comment='Author: Ann' '" +
                    tagged.string() + "'"),
              0);
    const Bytes base = ReadBytes(tagged);
    const Bytes profile = WideGamutProfile("Vx wide test");
    const size_t half = profile.size() / 2;
    const Bytes first(profile.begin(), profile.begin() + static_cast<ptrdiff_t>(half));
    const Bytes second(profile.begin() + static_cast<ptrdiff_t>(half), profile.end());

    struct Case {
        const char* name;
        std::vector<Bytes> chunks;
        bool profile;
    } cases[] = {
        {"in order", {IccChunk(1, 2, first), IccChunk(2, 2, second)}, true},
        {"reversed", {IccChunk(2, 2, second), IccChunk(1, 2, first)}, true},
        {"one chunk", {IccChunk(1, 1, profile)}, true},
        {"duplicate", {IccChunk(1, 2, first), IccChunk(1, 2, second)}, false},
        {"missing", {IccChunk(1, 2, first)}, false},
        {"counts differ", {IccChunk(1, 2, first), IccChunk(2, 3, second)}, false},
        {"number zero", {IccChunk(0, 2, first), IccChunk(2, 2, second)}, false},
        {"none", {}, false},
        // The rest of a large XMP packet, ahead of the EXIF segment: not EXIF.
        {"extended XMP", {ExtendedXmp()}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(Path("m2.jpg"), InsertAfterSoi(base, c.chunks));
        ILInfo info;
        ASSERT_EQ(Load(Path("m2.jpg"), &image, &info), IL_OK);
        EXPECT_EQ(info.icc.present != 0, c.profile);
        if (c.profile) {
            ASSERT_NE(info.icc.description, nullptr);
            EXPECT_STREQ(info.icc.description, "Vx wide test");
            EXPECT_EQ(info.gammaKind, IL_GAMMA_ICC);
        }
        EXPECT_STREQ(ILFindText(&info.texts, IL_TEXT_AUTHOR), "Ann");
        std::string dump;
        ILFormatExif(info.exif, &dump);
        EXPECT_NE(dump.find("Ann Example"), std::string::npos) << dump;
        dump.clear();
        ILFormatXMP(info.xmp, &dump);
        EXPECT_NE(dump.find("Harbour at dawn"), std::string::npos) << dump;
        dump.clear();
        ILFormatIPTC(info.iptc, &dump);
        EXPECT_NE(dump.find("boats"), std::string::npos) << dump;
    }

    // Without metadata only the profile is read: it serves the pixels.
    ILSkipMetadata(h);
    WriteBytes(Path("m2.jpg"), InsertAfterSoi(base, {IccChunk(1, 1, profile)}));
    ILInfo info;
    ASSERT_EQ(Load(Path("m2.jpg"), &image, &info), IL_OK);
    EXPECT_TRUE(info.icc.present);
    EXPECT_EQ(info.texts.count, 0);
    EXPECT_EQ(info.exif, nullptr);
    EXPECT_EQ(info.xmp, nullptr);
    EXPECT_EQ(info.iptc, nullptr);
}

// An IPTC block inside Photoshop's APP13 resources.
Bytes Ps3Iptc(const Bytes& block) {
    const std::string head = std::string("Photoshop 3.0") + '\0' + "8BIM";
    Bytes payload(head.begin(), head.end());
    const size_t n = block.size();
    payload.insert(payload.end(),
                   {0x04, 0x04, 0, 0, static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                    static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    payload.insert(payload.end(), block.begin(), block.end());
    if (n & 1) payload.push_back(0);
    return Segment(0xED, payload);
}

// Hostile metadata reaches the loader: a caption that fills the IPTC dump's
// buffer, a dataset length in eight bytes (which crashes libiptcdata) and
// XMP nested too deeply for the toolkit. The picture always loads; what
// cannot be read safely is dropped with a warning.
TEST_F(Jpeg, HostileMetadataIsDroppedOrBounded) {
    REQUIRE_TOOLS("cjpeg");
    const Bytes base = ReadBytes(Cjpeg("h.jpg", 16, 16, ""));
    Bytes caption{0x1C, 2, 120, 5000 >> 8, 5000 & 0xFF};
    caption.insert(caption.end(), 5000, 'c');
    const Bytes eightLengthBytes{0x1C, 2, 25, 0x80, 8, 0, 0, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c'};
    std::string deep = "http://ns.adobe.com/xap/1.0/";
    deep += '\0';
    deep += "<x:xmpmeta xmlns:x='adobe:ns:meta/'>";
    for (int i = 0; i < 20000; ++i)
        deep += "<a>";
    struct Case {
        const char* name;
        Bytes segment;
        std::string dump;    // the IPTC dump
        const char* warning; // or null
    } cases[] = {
        {"long caption", Ps3Iptc(caption), "Caption/Abstract: " + std::string(4000, 'c') + "\r\n",
         nullptr},
        {"eight length bytes", Ps3Iptc(eightLengthBytes), "",
         "JPEG: Invalid IPTC data - block ignored"},
        {"deep XMP", Segment(0xE1, Bytes(deep.begin(), deep.end())), "",
         "JPEG: XMP packet nested too deeply - packet ignored"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        warnings.clear();
        WriteBytes(Path("h2.jpg"), InsertAfterSoi(base, {c.segment}));
        ILInfo info;
        ASSERT_EQ(Load(Path("h2.jpg"), &image, &info), IL_OK);
        std::string dump;
        ILFormatIPTC(info.iptc, &dump);
        EXPECT_EQ(dump, c.dump);
        EXPECT_EQ(info.xmp, nullptr);
        EXPECT_EQ(warnings,
                  c.warning ? std::vector<std::string>{c.warning} : std::vector<std::string>{});
    }
}

// An embedded profile converts the pixels into sRGB, as ImageMagick's
// conversion to our sRGB profile does (both on lcms2); a profile of another
// colour space than the pixels' cannot, and the picture loads unmanaged.
TEST_F(Jpeg, EmbeddedProfileConvertsPixels) {
    REQUIRE_TOOLS("cjpeg", "djpeg", "convert-im6.q16");
    const Bytes base = ReadBytes(Cjpeg("p.jpg", 64, 48, ""));
    Pixels unmanaged;
    ASSERT_TRUE(Djpeg(Path("p.jpg"), "", &unmanaged));

    WriteBytes(Path("wide.jpg"), InsertAfterSoi(base, {IccChunk(1, 1, WideGamutProfile("w"))}));
    uint8_t* srgb = nullptr;
    const uint32_t srgbSize = ILSaveBuiltinProfile(IL_MODEL_RGB | IL_KIND_8, &srgb);
    ASSERT_GT(srgbSize, 0u);
    WriteBytes(Path("srgb.icc"), Bytes(srgb, srgb + srgbSize));
    std::free(srgb);
    ASSERT_EQ(Shell("convert-im6.q16 '" + Path("wide.jpg").string() + "' -profile '" +
                    Path("srgb.icc").string() + "' -depth 8 '" + Path("im.ppm").string() + "'"),
              0);
    Pixels managed;
    ASSERT_TRUE(ReadPnm(Path("im.ppm"), &managed));
    ASSERT_EQ(Load(Path("wide.jpg"), &image, nullptr), IL_OK);
    const Pixels ours = FromImage(image);
    EXPECT_LT(MeanDifference(ours, managed), 1.5);
    EXPECT_GT(MeanDifference(ours, unmanaged), 5);

    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    WriteBytes(Path("grey.jpg"), InsertAfterSoi(base, {IccChunk(1, 1, SaveProfile(grey))}));
    cmsCloseProfile(grey);
    cmsFreeToneCurve(curve);
    ASSERT_EQ(Load(Path("grey.jpg"), &image, nullptr), IL_OK);
    EXPECT_TRUE(SamePixels(FromImage(image), unmanaged));
    EXPECT_TRUE(Contains(warnings, "colour profile"));
}

// ---------------------------------------------------------------------------
// Saving

// Our saver and cjpeg with the same options give files that djpeg decodes
// to the same pixels (same quantisation tables, sampling and DCT), and our
// loader reads our file as djpeg does. Tables stay baseline (at most 255)
// even at the lowest qualities.
TEST_F(Jpeg, SaveMatchesCjpeg) {
    REQUIRE_TOOLS("cjpeg", "djpeg");
    PictureImage(75, 50, &image);
    WriteBytes(Path("in.ppm"), TestPpm(75, 50));
    struct Case {
        ILJPEGOptions options;
        const char* cjpeg;
        uint32_t compression;
    } cases[] = {
        {{90, 1, 0, 1, 0}, "-quality 90 -progressive", IL_COMP_DCT_PROGRESSIVE}, // defaults
        {{75, 0, 0, 1, 0}, "-quality 75", IL_COMP_DCT},
        {{0, 0, 0, 1, 0}, "-quality 1", IL_COMP_DCT},
        {{10, 0, 0, 1, 0}, "-quality 10", IL_COMP_DCT},
        {{49, 0, 0, 0, 0}, "-quality 49 -sample 1x1", IL_COMP_DCT},
        {{101, 0, 1, 1, 0}, "-quality 100 -arithmetic", IL_COMP_DCT_ARITHMETIC},
        {{60, 1, 1, 0, 0},
         "-quality 60 -arithmetic -progressive -sample 1x1",
         IL_COMP_DCT_ARITHMETIC_PROGRESSIVE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cjpeg);
        ILSetJPEGOptions(h, &c.options);
        ASSERT_EQ(Save(Path("ours.jpg"), image), IL_OK);
        ASSERT_EQ(Shell("cjpeg -baseline " + std::string(c.cjpeg) + " -outfile '" +
                        Path("peer.jpg").string() + "' '" + Path("in.ppm").string() + "'"),
                  0);
        Pixels ours, peer;
        ASSERT_TRUE(Djpeg(Path("ours.jpg"), "", &ours));
        ASSERT_TRUE(Djpeg(Path("peer.jpg"), "", &peer));
        EXPECT_TRUE(SamePixels(ours, peer));

        ILImage back;
        ILInfo info;
        ASSERT_EQ(Load(Path("ours.jpg"), &back, &info), IL_OK);
        EXPECT_TRUE(SamePixels(FromImage(back), ours));
        EXPECT_EQ(info.compression, c.compression);
        ILFreeImage(&back);
    }
}

// Grey images give one-component files, every other image three: alpha is
// dropped or laid over the background as the handle says, indices become
// their palette colours.
TEST_F(Jpeg, SaveConvertsPixelTypes) {
    REQUIRE_TOOLS("djpeg");
    const ILJPEGOptions exact{100, 0, 0, 0, 0};
    ILSetJPEGOptions(h, &exact);
    ILColor white;
    white.SetWhite();
    ILSetBackgroundColor(h, &white);

    struct Case {
        const char* name;
        ILPixelType type;
        Bytes pixel; // as stored in the image
        uint8_t alphaMode;
        Bytes want; // R, G, B or grey as djpeg gives it
    } cases[] = {
        {"grey", IL_GREY8, {90}, 0, {90}},
        {"grey 16", IL_GREY16, {0x00, 0x80}, 0, {128}},
        {"grey alpha, dropped", IL_GREY_A8, {90, 0}, 0, {90}},
        {"grey alpha, composited", IL_GREY_A8, {0, 0}, 2, {255}},
        {"BGR", IL_BGR8, {10, 120, 240}, 0, {240, 120, 10}},
        {"BGRA, dropped", IL_BGRA8, {10, 120, 240, 0}, 0, {240, 120, 10}},
        {"indexed", IL_INDEX8, {1}, 0, {200, 30, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ILSetAlphaMode(h, c.alphaMode);
        ILImage source;
        ASSERT_EQ(ILCreateImage(&source, 16, 16, c.type, nullptr), IL_OK);
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 16; ++x)
                std::memcpy(source.data + y * source.stride + x * c.pixel.size(), c.pixel.data(),
                            c.pixel.size());
        if (c.type == IL_INDEX8) {
            source.palette = new ILPalette(2);
            source.palette->SetEntryBGR8(0, 0, 0, 0);
            source.palette->SetEntryBGR8(1, 60, 30, 200);
        }
        const ILResult r = Save(Path("t.jpg"), source);
        ILFreeImage(&source);
        ASSERT_EQ(r, IL_OK) << (errors.empty() ? "" : errors.back());
        Pixels decoded;
        ASSERT_TRUE(Djpeg(Path("t.jpg"), "", &decoded));
        ASSERT_EQ(decoded.channels, c.want.size());
        for (size_t i = 0; i < c.want.size(); ++i)
            EXPECT_NEAR(decoded.data[i], c.want[i], 2) << "sample " << i;
    }
}

// The info's texts become comments "Key: text" in a fixed order, the
// creator "Software:creator"; rdjpgcom lists them in file order.
TEST_F(Jpeg, SaveWritesTextsAndCreator) {
    REQUIRE_TOOLS("rdjpgcom");
    PictureImage(8, 8, &image);
    ILInfo info;
    ILSetText(&info.texts, IL_TEXT_DESCRIPTION, 6, "A quay");
    ILSetText(&info.texts, IL_TEXT_TITLE, 7, "Harbour");
    ILSetText(&info.texts, IL_TEXT_COPYRIGHT, 8, "(c) Ann.");
    ILSetText(&info.texts, IL_TEXT_AUTHOR, 3, "Ann");
    ILSetText(&info.texts, IL_TEXT_URL, 5, "x.org"); // not among the written keys
    ASSERT_EQ(Save(Path("t.jpg"), image, &info), IL_OK);
    EXPECT_EQ(RunOutput("rdjpgcom '" + Path("t.jpg").string() + "'"),
              "Title: Harbour\nAuthor: Ann\nDescription: A quay\nCopyright: (c) Ann.\n"
              "Software:Vx test 1.0\n");

    // A text longer than one marker holds is cut, not a failed save.
    const std::string longText(70000, 'a');
    ILSetText(&info.texts, IL_TEXT_TITLE, longText.size(), longText.c_str());
    ASSERT_EQ(Save(Path("t.jpg"), image, &info), IL_OK);
    const std::string listed = RunOutput("rdjpgcom -raw '" + Path("t.jpg").string() + "'");
    EXPECT_EQ(listed.find("Title: " + std::string(65526, 'a') + "\n"), 0u);

    h->writeMetadata = 0;
    ASSERT_EQ(Save(Path("t.jpg"), image, &info), IL_OK);
    EXPECT_EQ(RunOutput("rdjpgcom '" + Path("t.jpg").string() + "'"), "Software:Vx test 1.0\n");
}

// With embedProfile the built-in sRGB (or sGray) profile goes into the file,
// where exiftool finds it and our loader calls it sRGB.
TEST_F(Jpeg, SaveEmbedsBuiltinProfile) {
    REQUIRE_TOOLS("exiftool");
    ILJPEGOptions options{};
    ILGetJPEGOptions(h, &options);
    options.embedProfile = 1;
    ILSetJPEGOptions(h, &options);
    struct Case {
        ILPixelType type;
        uint32_t colorSpace;
    } cases[] = {{IL_BGR8, cmsSigRgbData}, {IL_GREY8, cmsSigGrayData}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ILImage source;
        ASSERT_EQ(ILCreateImage(&source, 8, 8, c.type, nullptr), IL_OK);
        std::memset(source.data, 128, source.stride * 8);
        ASSERT_EQ(Save(Path("p.jpg"), source), IL_OK);
        ILFreeImage(&source);
        ILInfo info;
        ASSERT_EQ(Load(Path("p.jpg"), nullptr, &info), IL_OK);
        ASSERT_TRUE(info.icc.present);
        EXPECT_EQ(info.icc.colorSpace, c.colorSpace);
        const std::string shown =
            RunOutput("exiftool -s3 -ICC_Profile:ColorSpaceData '" + Path("p.jpg").string() + "'");
        EXPECT_EQ(shown, c.type == IL_BGR8 ? "RGB\n" : "GRAY\n");
        if (c.type == IL_BGR8) {
            EXPECT_EQ(info.gammaKind, IL_GAMMA_ICC_SRGB);
        }
    }
}

// A profile above 65519 bytes spans several APP2 chunks, each giving the
// count; the loader puts them together again.
TEST_F(Jpeg, LargeProfileSpansChunks) {
    // A profile padded to about 150,000 bytes by a long text tag.
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    const std::string padding(149000, 'p');
    cmsMLUsetASCII(text, "en", "US", padding.c_str());
    cmsWriteTag(profile, cmsSigCharTargetTag, text);
    cmsMLUfree(text);
    const Bytes bytes = SaveProfile(profile);
    cmsCloseProfile(profile);
    ASSERT_GT(bytes.size(), 2 * 65519u);
    ASSERT_LE(bytes.size(), 3 * 65519u);

    ILJpegErrors errs;
    jpeg_compress_struct c;
    c.err = ILJpegInitErrors(&errs, h);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const bool ok = ILJpegGuard(&errs, [&] {
        jpeg_create_compress(&c);
        jpeg_mem_dest(&c, &out, &outSize);
        c.image_width = c.image_height = 8;
        c.input_components = 1;
        c.in_color_space = JCS_GRAYSCALE;
        jpeg_set_defaults(&c);
        jpeg_start_compress(&c, TRUE);
        ILJpegWriteIccProfile(&c, bytes.data(), bytes.size());
        uint8_t row[8] = {};
        JSAMPROW rows[1] = {row};
        for (int y = 0; y < 8; ++y)
            jpeg_write_scanlines(&c, rows, 1);
        jpeg_finish_compress(&c);
    });
    jpeg_destroy_compress(&c);
    ASSERT_TRUE(ok) << errs.message;
    const Bytes file(out, out + outSize);
    std::free(out);

    std::vector<size_t> lengths;
    for (size_t at = 2; at + 4 <= file.size() && file[at + 1] != 0xDA;
         at += 2 + (size_t{file[at + 2]} << 8 | file[at + 3])) {
        if (file[at + 1] != 0xE2) continue;
        const size_t payload = (size_t{file[at + 2]} << 8 | file[at + 3]) - 2;
        EXPECT_EQ(file[at + 4 + 12], lengths.size() + 1); // number
        EXPECT_EQ(file[at + 4 + 13], 3);                  // count
        lengths.push_back(payload - 14);
    }
    EXPECT_EQ(lengths, (std::vector<size_t>{65519, 65519, bytes.size() - 2 * 65519}));

    WriteBytes(Path("big.jpg"), file);
    ILInfo info;
    ASSERT_EQ(Load(Path("big.jpg"), &image, &info), IL_OK);
    EXPECT_TRUE(info.icc.present);
    EXPECT_EQ(info.gammaKind, IL_GAMMA_ICC_SRGB);
}

// The resolution goes into the JFIF header in dots per inch; an unknown one
// (0) keeps the 1:1 aspect ratio, since a density of 0 is invalid.
TEST_F(Jpeg, SaveResolution) {
    PictureImage(8, 8, &image);
    struct Case {
        uint32_t ppiX, ppiY, wantX, wantY;
    } cases[] = {{300, 150, 300, 150}, {0, 0, 0, 0}, {0, 96, 0, 0}, {70000, 72, 65535, 72}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ppiX) + " x " + std::to_string(c.ppiY));
        ILInfo info;
        info.ppiX = c.ppiX;
        info.ppiY = c.ppiY;
        ASSERT_EQ(Save(Path("r.jpg"), image, &info), IL_OK);
        const Bytes file = ReadBytes(Path("r.jpg"));
        ASSERT_EQ(FindMarker(file, 0xE0), 2u);
        EXPECT_EQ(file[13], c.wantX ? 1 : 0); // density unit
        EXPECT_EQ(file[14] << 8 | file[15], c.wantX ? c.wantX : 1);
        EXPECT_EQ(file[16] << 8 | file[17], c.wantY ? c.wantY : 1);
        ILInfo back;
        ASSERT_EQ(Load(Path("r.jpg"), nullptr, &back), IL_OK);
        EXPECT_EQ(back.ppiX, c.wantX);
        EXPECT_EQ(back.ppiY, c.wantY);
    }
}

// What the format cannot hold is refused before a file exists; a full disk
// is a write failure with the library's message.
TEST_F(Jpeg, SaveFailures) {
    ILImage wide;
    ASSERT_EQ(ILCreateImage(&wide, 65501, 1, IL_GREY8, nullptr), IL_OK);
    EXPECT_EQ(Save(Path("wide.jpg"), wide), IL_BAD_ARGUMENT);
    ILFreeImage(&wide);
    EXPECT_TRUE(Contains(errors, "JPEG: JPEG stores at most 65500 x 65500 pixels"));
    EXPECT_TRUE(fs::is_empty(dir));

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    errors.clear();
    PictureImage(64, 64, &image);
    EXPECT_EQ(ILSaveJPEG(h, u"/dev/full", &image, nullptr), IL_WRITE_FAILED);
    EXPECT_FALSE(errors.empty());
}

} // namespace
