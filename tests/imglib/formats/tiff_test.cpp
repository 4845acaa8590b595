// The TIFF codec against libtiff's own readers: a matrix of files made with
// tiffcp (every compression, predictor, plane layout, strips and tiles, both
// byte orders) decodes to what libtiff's RGBA reader (the one tiff2rgba
// uses) gives, and float files to their uncompressed twins; files built tag
// by tag cover what no tool writes; the corpus decodes or fails cleanly; the
// saver's files read back through tiffdump and libtiff.
#include <gtest/gtest.h>

#include <lcms2.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <libexif/exif-data.h>

#include "imglib/convert/converter.h"
#include "imglib/format.h"
#include "imglib/formats/tiff.h"
#include "imglib/image.h"
#include "imglib/io/path.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/test_folder.h"
#include "support/tools.h"
#include "tiff_files.h"

namespace fs = std::filesystem;
using namespace vxtest;
using tifftest::Bytes;

namespace {

// A picture with smooth and noisy parts, so that every predictor and codec
// has work; odd sizes leave partial tiles and strips.
constexpr uint32_t kWidth = 67, kHeight = 45;

uint32_t Sample(uint32_t x, uint32_t y, uint32_t c, uint32_t maximum) {
    static std::mt19937 rng(7);
    static std::vector<uint32_t> noise = [] {
        std::vector<uint32_t> v(kWidth * kHeight * 4);
        for (auto& n : v)
            n = rng() % 64;
        return v;
    }();
    const uint64_t ramp =
        (uint64_t{x} * 3 + y * 5 + c * 40 + noise[(y * kWidth + x) * 4 + c]) % 256;
    return uint32_t(ramp * maximum / 255);
}

struct Base {
    const char* name;
    uint16_t bits;
    uint16_t samples;
    uint16_t photometric;
    uint16_t format; // SampleFormat
    bool alpha;
};

// Writes an uncompressed striped file with libtiff.
void WriteBase(const fs::path& path, const Base& b) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, b.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, b.samples);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, b.format);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, b.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    if (b.alpha) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (b.photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> map(3 << b.bits);
        for (size_t i = 0; i < map.size(); ++i)
            map[i] = uint16_t(i * 7919 * 31);
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + (1 << b.bits),
                     map.data() + (2 << b.bits));
    }
    const size_t rowBytes = (size_t{kWidth} * b.bits * b.samples + 7) / 8;
    std::vector<uint8_t> row(rowBytes);
    const uint32_t maximum = b.bits >= 32 ? 0xFFFFFFFFu : (1u << b.bits) - 1;
    for (uint32_t y = 0; y < kHeight; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (uint32_t x = 0; x < kWidth; ++x)
            for (uint32_t c = 0; c < b.samples; ++c) {
                const size_t i = size_t{x} * b.samples + c;
                if (b.format == SAMPLEFORMAT_IEEEFP) {
                    const float v = Sample(x, y, c, 1000) / 1000.0f;
                    std::memcpy(&row[i * 4], &v, 4);
                } else if (b.bits == 16) {
                    const uint16_t v = uint16_t(Sample(x, y, c, maximum));
                    std::memcpy(&row[i * 2], &v, 2);
                } else if (b.bits == 8) {
                    row[i] = uint8_t(Sample(x, y, c, maximum));
                } else {
                    const size_t bit = i * b.bits;
                    row[bit / 8] |= uint8_t(Sample(x, y, c, maximum) << (8 - b.bits - bit % 8));
                }
            }
        ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    }
    TIFFClose(tif);
}

// What libtiff's RGBA reader makes of a file, top row first, R, G, B, A.
bool ReadRGBA(const fs::path& path, std::vector<uint32_t>* out, uint32_t* w, uint32_t* h) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return false;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, h);
    out->assign(size_t{*w} * *h, 0);
    const bool ok = TIFFReadRGBAImageOriented(tif, *w, *h, out->data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(tif);
    return ok;
}

struct Loaded {
    ILResult result = 0;
    ILImage image;
    ILInfo info;
    ~Loaded() { ILFreeImage(&image); }
};

class TiffTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTestFolder("tiff");
        h = ILCreateHandle("Vx test");
        KeepMessages(h);
    }
    void TearDown() override {
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }

    // Loads with loadMode 1 (8-bit B, G, R) unless `native` keeps the
    // file's own pixel type.
    void Load(const fs::path& path, Loaded* out, bool native = false, uint16_t page = 0) {
        h->loadMode = native ? 0 : 1;
        out->info.page = page;
        out->result = ILLoadImage(h, ILUtf8ToPath(path.string()).c_str(), &out->image, &out->info);
    }

    fs::path Write(const std::string& name, const Bytes& bytes) {
        const fs::path p = dir / name;
        EXPECT_TRUE(WriteBytes(p, bytes));
        return p;
    }

    // Largest difference of any colour sample to libtiff's RGBA reading.
    int DiffToLibtiff(const fs::path& path, const ILImage& image) {
        std::vector<uint32_t> rgba;
        uint32_t w = 0, ht = 0;
        if (!ReadRGBA(path, &rgba, &w, &ht)) return 1000;
        if (w != image.width || ht != image.height || image.type != IL_BGR8) return 2000;
        int worst = 0;
        for (uint32_t y = 0; y < ht; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t p = rgba[size_t{y} * w + x];
                const uint8_t* q = image.data + int64_t{y} * image.stride + x * 3;
                worst = std::max({worst, std::abs(int(TIFFGetR(p)) - q[2]),
                                  std::abs(int(TIFFGetG(p)) - q[1]),
                                  std::abs(int(TIFFGetB(p)) - q[0])});
            }
        return worst;
    }

    fs::path dir;
    ILHandle* h = nullptr;
};

bool SameFloatImages(const ILImage& a, const ILImage& b) {
    if (a.width != b.width || a.height != b.height || a.type != b.type) return false;
    const size_t bytes =
        (size_t{a.width} * ILBitsPerSample(a.type) * ILChannelCount(a.type) + 7) / 8;
    for (uint32_t y = 0; y < a.height; ++y)
        if (std::memcmp(a.data + int64_t{y} * a.stride, b.data + int64_t{y} * b.stride, bytes))
            return false;
    return true;
}

// ---------------------------------------------------------------------------
// tiffcp matrix

TEST_F(TiffTest, TiffcpMatrixDecodesLikeLibtiff) {
    if (!HaveTool("tiffcp")) GTEST_SKIP() << "tiffcp missing";
    const Base bases[] = {
        {"rgb8", 8, 3, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, false},
        {"rgb16", 16, 3, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, false},
        {"grey8", 8, 1, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_UINT, false},
        {"grey16", 16, 1, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_UINT, false},
        {"grey4", 4, 1, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_UINT, false},
        {"white4", 4, 1, PHOTOMETRIC_MINISWHITE, SAMPLEFORMAT_UINT, false},
        {"white16", 16, 1, PHOTOMETRIC_MINISWHITE, SAMPLEFORMAT_UINT, false},
        {"mono", 1, 1, PHOTOMETRIC_MINISWHITE, SAMPLEFORMAT_UINT, false},
        {"palette8", 8, 1, PHOTOMETRIC_PALETTE, SAMPLEFORMAT_UINT, false},
        {"palette4", 4, 1, PHOTOMETRIC_PALETTE, SAMPLEFORMAT_UINT, false},
    };
    struct Variant {
        const char* options;
        bool eightBitOnly; // JPEG
        bool oneBitOnly;   // fax
    };
    const Variant variants[] = {
        {"-c none", false, false},
        {"-c lzw", false, false},
        {"-c lzw:2", false, false},
        {"-c zip:2", false, false},
        {"-c packbits", false, false},
        {"-c jpeg:r -r 16", true, false},
        {"-c g3", false, true},
        {"-c g4", false, true},
        {"-c lzw:2 -p separate", false, false},
        {"-c zip:2 -t -w 16 -l 16", false, false},
        {"-c none -p separate -t -w 32 -l 16", false, false},
        {"-c lzw -r 7 -B", false, false},
        {"-c zip:2 -B -t -w 48 -l 32", false, false},
        {"-c packbits -p separate -B", false, false},
    };
    int checked = 0;
    for (const Base& b : bases) {
        const fs::path base = dir / (std::string(b.name) + ".tif");
        WriteBase(base, b);
        for (const Variant& v : variants) {
            const bool eight = b.bits == 8 && b.photometric != PHOTOMETRIC_PALETTE;
            if ((v.eightBitOnly && !eight) || (v.oneBitOnly != (b.bits == 1))) continue;
            // tiffcp separates planes of 8-bit samples only and differences
            // 8 bits and more; libtiff's RGBA reader misplaces the right-hand
            // tiles of 16-bit grey (the uncompressed-copy test covers them).
            if (b.bits != 8 && std::strstr(v.options, "separate")) continue;
            if (b.bits < 8 && std::strstr(v.options, ":2")) continue;
            if (b.bits == 16 && std::strstr(v.options, "-t")) continue;
            const std::string label = std::string(b.name) + " " + v.options;
            SCOPED_TRACE(label);
            const fs::path file = dir / "variant.tif";
            ASSERT_EQ(Shell("tiffcp " + std::string(v.options) + " " + base.string() + " " +
                            file.string() + " 2>/dev/null"),
                      0);
            Loaded l;
            Load(file, &l);
            ASSERT_EQ(l.result, IL_OK) << (errors.empty() ? "" : errors.back());
            // libtiff's RGBA reader narrows 16-bit samples with rounding of
            // its own.
            EXPECT_LE(DiffToLibtiff(file, l.image),
                      b.bits == 16 || b.photometric == PHOTOMETRIC_PALETTE ? 1 : 0);
            ++checked;
        }
    }
    EXPECT_GT(checked, 60);
}

// Depths libtiff's RGBA reader cannot show: libtiff's own decoding, written
// out uncompressed by tiffcp, is the reference.
TEST_F(TiffTest, DeepFilesMatchLibtiffsUncompressedCopies) {
    if (!HaveTool("tiffcp")) GTEST_SKIP() << "tiffcp missing";
    const Base bases[] = {
        {"rgbf", 32, 3, PHOTOMETRIC_RGB, SAMPLEFORMAT_IEEEFP, false},
        {"greyf", 32, 1, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_IEEEFP, false},
        {"rgb16", 16, 3, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, false},
        {"grey16", 16, 1, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_UINT, false},
    };
    const char* variants[] = {"-c lzw:3",
                              "-c zip:3",
                              "-c zip:3 -B",
                              "-c lzw:3 -B",
                              "-c zip:3 -t -w 16 -l 16",
                              "-c lzw:2 -B",
                              "-c zip:2 -t -w 32 -l 16 -B"};
    for (const Base& b : bases) {
        const fs::path base = dir / (std::string(b.name) + ".tif");
        WriteBase(base, b);
        for (const char* v : variants) {
            if (b.format != SAMPLEFORMAT_IEEEFP && std::strstr(v, ":3")) continue;
            SCOPED_TRACE(std::string(b.name) + " " + v);
            const fs::path file = dir / "variant.tif", twin = dir / "twin.tif";
            ASSERT_EQ(Shell(std::string("tiffcp ") + v + " " + base.string() + " " + file.string()),
                      0);
            ASSERT_EQ(Shell("tiffcp -c none " + file.string() + " " + twin.string()), 0);
            Loaded reference, l;
            Load(twin, &reference, true);
            Load(file, &l, true);
            ASSERT_EQ(l.result, IL_OK);
            ASSERT_EQ(reference.result, IL_OK);
            EXPECT_TRUE(SameFloatImages(l.image, reference.image));
        }
    }
}

// ---------------------------------------------------------------------------
// Predictor stage on files no tool writes

// TIFF Technical Note 3's forward transform of one row: byte planes, most
// significant first, then differences of bytes `stride` apart.
Bytes FloatPredict(const Bytes& row, uint32_t sampleBytes, uint32_t stride, bool bigEndian) {
    const size_t n = row.size() / sampleBytes;
    Bytes planes(row.size());
    for (size_t i = 0; i < n; ++i)
        for (uint32_t b = 0; b < sampleBytes; ++b)
            planes[b * n + i] = row[i * sampleBytes + (bigEndian ? b : sampleBytes - 1 - b)];
    for (size_t i = planes.size() - 1; i >= stride; --i)
        planes[i] = uint8_t(planes[i] - planes[i - stride]);
    return planes;
}

TEST_F(TiffTest, UncompressedDataWithPredictorsDecodes) {
    struct Case {
        const char* name;
        uint16_t bits;
        uint16_t predictor;
        bool bigEndian;
        bool warns;
    };
    const Case cases[] = {
        {"8-bit horizontal", 8, 2, false, false},
        {"16-bit horizontal, other byte order", 16, 2, true, false},
        {"16-bit floating point on integers", 16, 3, false, true},
        {"16-bit floating point on integers, big-endian", 16, 3, true, true},
    };
    constexpr uint32_t w = 5, ht = 3, spp = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t sb = c.bits / 8;
        auto file = tifftest::Basic(w, ht, c.bits, spp, PHOTOMETRIC_RGB);
        file.bigEndian = c.bigEndian;
        file.Set(317, tifftest::SHORT, {c.predictor});
        Bytes strip;
        std::vector<uint16_t> want;
        for (uint32_t y = 0; y < ht; ++y) {
            std::vector<uint32_t> values(w * spp);
            for (uint32_t i = 0; i < w * spp; ++i)
                values[i] = (y * 977 + i * i * 331 + 17) % (1u << c.bits);
            Bytes row;
            if (c.predictor == 2) {
                for (uint32_t i = w * spp; i-- > spp;)
                    values[i] = (values[i] - values[i - spp]) & ((1u << c.bits) - 1);
                for (uint32_t i = 0; i < w * spp; ++i)
                    for (uint32_t b = 0; b < sb; ++b)
                        row.push_back(uint8_t(values[i] >> (8 * (c.bigEndian ? sb - 1 - b : b))));
                for (uint32_t i = spp; i < w * spp; ++i)
                    values[i] = (values[i] + values[i - spp]) & ((1u << c.bits) - 1);
            } else {
                for (uint32_t i = 0; i < w * spp; ++i)
                    for (uint32_t b = 0; b < sb; ++b)
                        row.push_back(uint8_t(values[i] >> (8 * (c.bigEndian ? sb - 1 - b : b))));
                row = FloatPredict(row, sb, spp, c.bigEndian);
            }
            strip.insert(strip.end(), row.begin(), row.end());
            for (uint32_t v : values)
                want.push_back(uint16_t(v));
        }
        file.strips = {strip};
        const fs::path p = Write("predicted.tif", file.Build());
        errors.clear();
        warnings.clear();
        Loaded l;
        Load(p, &l, true);
        ASSERT_EQ(l.result, IL_OK) << (errors.empty() ? "" : errors.back());
        const bool warned = std::any_of(warnings.begin(), warnings.end(), [](const std::string& s) {
            return s.find("Floating point \"Predictor\" not allowed") != std::string::npos;
        });
        EXPECT_EQ(warned, c.warns);
        // Native B, G, R: the file's R, G, B samples reversed per pixel.
        for (uint32_t y = 0; y < ht; ++y)
            for (uint32_t x = 0; x < w; ++x)
                for (uint32_t s = 0; s < spp; ++s) {
                    const uint8_t* at = l.image.data + int64_t{y} * l.image.stride +
                                        (size_t{x} * spp + (spp - 1 - s)) * sb;
                    const uint32_t have = sb == 1 ? at[0] : at[0] | at[1] << 8;
                    EXPECT_EQ(have, want[(y * w + x) * spp + s]) << "pixel " << x << "," << y;
                }
    }
}

TEST_F(TiffTest, UnusablePredictorsFailWithTheirMessage) {
    struct Case {
        uint16_t bits;
        uint16_t predictor;
        const char* message;
    };
    const Case cases[] = {
        {4, 2, "Horizontal differencing \"Predictor\" not supported with 4-bit samples"},
        {8, 5, "\"Predictor\" value 5 not supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto file = tifftest::Basic(4, 2, c.bits, 1, PHOTOMETRIC_MINISBLACK);
        file.Set(317, tifftest::SHORT, {c.predictor});
        file.strips = {Bytes(size_t{4} * 2 * c.bits / 8, 1)};
        errors.clear();
        Loaded l;
        Load(Write("bad.tif", file.Build()), &l);
        EXPECT_EQ(l.result, IL_FAILED);
        EXPECT_NE(std::find(errors.begin(), errors.end(), std::string("TIFF: ") + c.message),
                  errors.end());
    }
}

// ---------------------------------------------------------------------------
// Strips that do not arrive

TEST_F(TiffTest, MissingStripsAreZeroedAndReportedAsPartial) {
    auto file = tifftest::Basic(4, 6, 8, 1, PHOTOMETRIC_MINISBLACK);
    file.Set(278, tifftest::LONG, {2});
    file.strips = {Bytes(8, 200), Bytes(8, 150), Bytes(8, 100)};
    struct Case {
        const char* name;
        int lost;        // strip placed past the end of the file
        size_t truncate; // bytes cut off the file's end
        uint8_t want[6];
    };
    // Rows that did not arrive are zero, never the previous strip's again.
    const Case cases[] = {
        {"unreadable middle strip", 1, 0, {200, 200, 0, 0, 100, 100}},
        {"file ends inside the last strip", -1, 5, {200, 200, 150, 150, 0, 0}},
        {"deflate data ends early", -1, 0, {200, 200, 150, 150, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto f = file;
        f.lostStrip = c.lost;
        Bytes bytes = f.Build();
        bytes.resize(bytes.size() - c.truncate);
        fs::path p = Write("lost.tif", bytes);
        if (c.lost < 0 && c.truncate == 0) {
            // A Deflate copy whose last strip is cut short.
            if (!HaveTool("tiffcp")) continue;
            ASSERT_EQ(Shell("tiffcp -c zip " + p.string() + " " + (dir / "z.tif").string()), 0);
            Bytes z = ReadBytes(dir / "z.tif");
            TIFF* tif = TIFFOpen((dir / "z.tif").c_str(), "r");
            const uint64_t at = TIFFGetStrileOffset(tif, 2), size = TIFFGetStrileByteCount(tif, 2);
            TIFFClose(tif);
            std::fill(z.begin() + at + size / 2, z.begin() + at + size, 0);
            p = Write("lost.tif", z);
        }
        errors.clear();
        Loaded l;
        Load(p, &l, true);
        ASSERT_EQ(l.result, IL_PARTIAL);
        EXPECT_FALSE(errors.empty());
        for (uint32_t y = 0; y < 6; ++y) {
            const uint8_t* row = l.image.data + int64_t{y} * l.image.stride;
            EXPECT_EQ(row[3], c.want[y]) << "row " << y;
        }
    }
}

// CCITT data with bad code words decodes to whole strips of garbage, libtiff
// only reporting the fault: such a load is partial, not a success.
TEST_F(TiffTest, FaxStripsWithBadCodeWordsArePartial) {
    if (!HaveTool("tiffcp")) GTEST_SKIP() << "tiffcp is not installed";
    auto file = tifftest::Basic(64, 32, 1, 1, PHOTOMETRIC_MINISWHITE);
    file.Set(278, tifftest::LONG, {8});
    for (uint32_t s = 0; s < 4; ++s) {
        Bytes strip;
        for (uint32_t y = 0; y < 8; ++y)
            strip.insert(strip.end(), 8, uint8_t((y + s) % 2 ? 0xF0 : 0x3C));
        file.strips.push_back(strip);
    }
    const fs::path plain = Write("plain.tif", file.Build());
    // Garbage each codec meets a bad code word in (not only a short line,
    // which libtiff takes as a warning).
    const std::pair<const char*, Bytes> cases[] = {{"g3", {0x00, 0x08, 0x01, 0x80}},
                                                   {"g4", {0x55, 0xAA}}};
    for (const auto& [codec, garbage] : cases) {
        SCOPED_TRACE(codec);
        const fs::path fax = dir / "fax.tif";
        ASSERT_EQ(
            Shell("tiffcp -c " + std::string(codec) + " " + plain.string() + " " + fax.string()),
            0);
        Loaded whole;
        Load(fax, &whole, true);
        ASSERT_EQ(whole.result, IL_OK) << (errors.empty() ? "" : errors.back());
        Bytes bytes = ReadBytes(fax);
        TIFF* tif = TIFFOpen(fax.c_str(), "r");
        const uint64_t at = TIFFGetStrileOffset(tif, 1), size = TIFFGetStrileByteCount(tif, 1);
        TIFFClose(tif);
        for (uint64_t i = size / 4; i < size; ++i)
            bytes[at + i] = garbage[i % garbage.size()];
        errors.clear();
        Loaded broken;
        Load(Write("broken.tif", bytes), &broken, true);
        EXPECT_EQ(broken.result, IL_PARTIAL);
        EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const std::string& e) {
            return e.find("Bad code word") != std::string::npos;
        }));
    }
}

// Old-style JPEG whose stream is sub-sampled other than the tag's default
// 2 x 2 (no YCbCrSubSampling tag, as some writers leave it): libtiff reads
// the stream's own factors, and so must the rows.
TEST_F(TiffTest, OldStyleJpegUsesTheStreamsSubsampling) {
    if (!HaveTool("cjpeg")) GTEST_SKIP() << "cjpeg is not installed";
    const uint32_t width = 32, height = 16;
    Bytes ppm;
    const std::string head = "P6 32 16 255\n";
    ppm.assign(head.begin(), head.end());
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            ppm.insert(ppm.end(), {uint8_t(x * 8), uint8_t(y * 16), uint8_t((x + y) * 5)});
    for (const char* sampling : {"2x1", "1x2", "2x2"}) {
        SCOPED_TRACE(sampling);
        const fs::path jpeg = dir / "s.jpg";
        ASSERT_EQ(Shell("cjpeg -sample " + std::string(sampling) + " -outfile " + jpeg.string() +
                        " " + Write("s.ppm", ppm).string()),
                  0);
        auto file = tifftest::Basic(width, height, 8, 3, PHOTOMETRIC_YCBCR);
        file.Set(259, tifftest::SHORT, {COMPRESSION_OJPEG});
        file.strips = {ReadBytes(jpeg)};
        const fs::path p = Write("old.tif", file.Build());
        Loaded l;
        Load(p, &l);
        ASSERT_EQ(l.result, IL_OK) << (errors.empty() ? "" : errors.back());
        // The chroma comes back up a little differently; scrambled rows
        // were hundreds off.
        EXPECT_LE(DiffToLibtiff(p, l.image), 6);
    }
}

// LogLuv holds CIE XYZ: the float load is linear RGB, the same colours
// libtiff's own 8-bit output gives (R, G, B = 256 sqrt of linear RGB), not
// X, Y, Z taken for R, G, B.
TEST_F(TiffTest, LogLuvFloatsAreLinearRgb) {
    const fs::path p = dir / "luv.tif";
    const uint32_t width = 6;
    const float xyz[width][3] = {{0.4124f, 0.2126f, 0.0193f}, {0.3576f, 0.7152f, 0.1192f},
                                 {0.1805f, 0.0722f, 0.9505f}, {0.9505f, 1.0f, 1.089f},
                                 {0.2f, 0.1f, 0.05f},         {0.05f, 0.1f, 0.3f}};
    TIFF* tif = TIFFOpen(p.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_LOGLUV);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_SGILOG);
    TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    ASSERT_EQ(TIFFWriteScanline(tif, const_cast<float*>(&xyz[0][0]), 0, 0), 1);
    TIFFClose(tif);

    Loaded wide, narrow;
    Load(p, &wide, true);
    ASSERT_EQ(wide.result, IL_OK) << (errors.empty() ? "" : errors.back());
    ASSERT_EQ(wide.image.type, ILPixelType{IL_BGR_FLOAT});
    Load(p, &narrow);
    ASSERT_EQ(narrow.result, IL_OK) << (errors.empty() ? "" : errors.back());
    ASSERT_EQ(narrow.image.type, ILPixelType{IL_BGR8});
    const auto* bgr = reinterpret_cast<const float*>(wide.image.data);
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t c = 0; c < 3; ++c) {
            const float v = std::clamp(bgr[3 * x + 2 - c], 0.0f, 1.0f);
            const int expected = std::min(255, int(256 * std::sqrt(v)));
            EXPECT_NEAR(narrow.image.data[3 * x + 2 - c], expected, 3) << x << " " << c;
        }
}

// Separate planes whose extra sample (of no declared meaning) has no data:
// the picture lies in the colour planes, which libtiff reads; the unused
// plane does not stop the load.
TEST_F(TiffTest, UnusedExtraPlaneWithoutDataIsNotRead) {
    auto file = tifftest::Basic(4, 2, 8, 4, PHOTOMETRIC_RGB);
    file.Set(284, tifftest::SHORT, {PLANARCONFIG_SEPARATE});
    file.Set(338, tifftest::SHORT, {EXTRASAMPLE_UNSPECIFIED});
    file.strips = {Bytes(8, 10), Bytes(8, 20), Bytes(8, 30), Bytes(8, 0)};
    file.lostStrip = 3;
    Loaded l;
    Load(Write("planes.tif", file.Build()), &l);
    ASSERT_EQ(l.result, IL_OK) << (errors.empty() ? "" : errors.back());
    EXPECT_EQ(Bytes(l.image.data, l.image.data + 3), (Bytes{30, 20, 10}));
    EXPECT_EQ(DiffToLibtiff(dir / "planes.tif", l.image), 0);
}

TEST_F(TiffTest, ShortLastStripIsNoError) {
    auto file = tifftest::Basic(4, 5, 8, 1, PHOTOMETRIC_MINISBLACK);
    file.Set(278, tifftest::LONG, {2});
    file.strips = {Bytes(8, 1), Bytes(8, 2), Bytes(4, 3)};
    Loaded l;
    Load(Write("last.tif", file.Build()), &l, true);
    EXPECT_EQ(l.result, IL_OK);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(TiffTest, HugeClaimsAreRefusedBeforeAllocating) {
    auto file = tifftest::Basic(200000, 200000, 16, 4, PHOTOMETRIC_RGB);
    file.strips = {Bytes(64, 0)};
    Loaded l;
    Load(Write("huge.tif", file.Build()), &l);
    EXPECT_EQ(l.result, IL_INVALID_HEADER);
    EXPECT_EQ(l.image.data, nullptr);
    EXPECT_EQ(l.info.width, 200000u); // the header is still described
}

// ---------------------------------------------------------------------------
// Directory tags

TEST_F(TiffTest, MissingOrOddTagsAreRepairedWithWarnings) {
    struct Case {
        const char* name;
        uint16_t samples;
        uint16_t photometric; // 0xFFFF: no tag
        const char* warning;
        ILPixelType type;
        Bytes pixel; // the last one, as delivered
    };
    const Case cases[] = {
        {"RGB without photometric",
         3,
         0xFFFF,
         "Missing photometric tag with 3 color channels, RGB assumed",
         IL_BGR8,
         {30, 20, 10}},
        {"grey without photometric", 1, 0xFFFF, nullptr, IL_GREY8, {10}},
        {"grey with an undeclared extra sample",
         2,
         PHOTOMETRIC_MINISBLACK,
         "1 undefined extra channel(s) found",
         IL_GREY_A8,
         {10, 20}},
        {"grey with two undeclared extra samples",
         3,
         PHOTOMETRIC_MINISBLACK,
         "2 undefined extra channel(s) found",
         IL_GREY_A8,
         {10, 20}},
        {"RGB with two undeclared extra samples",
         5,
         PHOTOMETRIC_RGB,
         "2 undefined extra channel(s) in RGB image found",
         IL_BGRA8,
         {30, 20, 10, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = tifftest::Basic(3, 2, 8, c.samples, c.photometric);
        if (c.photometric == 0xFFFF) file.tags.erase(262);
        // Sample s of every pixel holds 10 x (s + 1).
        Bytes strip;
        for (int i = 0; i < 3 * 2; ++i)
            for (uint16_t sample = 0; sample < c.samples; ++sample)
                strip.push_back(uint8_t(10 * (sample + 1)));
        file.strips = {strip};
        warnings.clear();
        Loaded l;
        h->alphaMode = 1;
        Load(Write("tags.tif", file.Build()), &l, true);
        ASSERT_EQ(l.result, IL_OK);
        EXPECT_EQ(l.image.type, c.type);
        const uint32_t last = (l.image.width - 1) * uint32_t(c.pixel.size());
        EXPECT_EQ(Bytes(l.image.data + l.image.stride + last,
                        l.image.data + l.image.stride + last + c.pixel.size()),
                  c.pixel);
        if (c.warning) {
            EXPECT_NE(
                std::find(warnings.begin(), warnings.end(), std::string("TIFF: ") + c.warning),
                warnings.end());
        }
    }
}

// Layouts whose samples the row kernels cannot take are refused, never read
// with the wrong stride or past the row: indexes with an alpha sample, and
// three inks without a profile (the CMYK rows take four).
TEST_F(TiffTest, SamplesTheRowsCannotTakeAreRefused) {
    struct Case {
        const char* name;
        uint16_t samples;
        uint16_t photometric;
        bool extra; // the last sample declared alpha
        ILResult result;
        const char* error;
    };
    const Case cases[] = {
        {"palette with alpha", 2, PHOTOMETRIC_PALETTE, true, IL_FAILED,
         "Unsupported alphachannel for palette color format"},
        {"palette with an undeclared sample", 2, PHOTOMETRIC_PALETTE, false, IL_FAILED,
         "Unsupported alphachannel for palette color format"},
        {"three inks", 3, PHOTOMETRIC_SEPARATED, false, IL_UNSUPPORTED_FORMAT,
         "Unsupported data format"},
        {"three inks with alpha", 4, PHOTOMETRIC_SEPARATED, true, IL_UNSUPPORTED_FORMAT,
         "Unsupported data format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = tifftest::Basic(5, 3, 8, c.samples, c.photometric);
        if (c.extra) file.Set(338, tifftest::SHORT, {EXTRASAMPLE_UNASSALPHA});
        if (c.photometric == PHOTOMETRIC_PALETTE) {
            std::vector<uint32_t> map(3 * 256);
            for (size_t i = 0; i < map.size(); ++i)
                map[i] = uint32_t(i * 257 % 65536);
            file.Set(320, tifftest::SHORT, map);
        }
        file.strips = {Bytes(size_t{5} * 3 * c.samples, 7)};
        errors.clear();
        Loaded l;
        Load(Write("samples.tif", file.Build()), &l);
        EXPECT_EQ(l.result, c.result);
        EXPECT_NE(std::find(errors.begin(), errors.end(), std::string("TIFF: ") + c.error),
                  errors.end());
    }
}

// A file with a profile and a second extra sample decodes as its twin with
// alpha alone, whichever kernel the profile's colours take: to 8-bit B, G,
// R (alpha composited) and kept with its alpha.
TEST_F(TiffTest, SecondExtraSampleWithAProfileIsDropped) {
    const cmsCIExyY white{0.3127, 0.329, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    ASSERT_NE(profile, nullptr);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);

    const uint32_t w = 7, ht = 2;
    fs::path files[2];
    for (uint16_t samples : {5, 4}) {
        Bytes strip;
        for (uint32_t i = 0; i < w * ht; ++i)
            for (uint16_t s = 0; s < samples; ++s)
                strip.push_back(s < 3 ? uint8_t(i * 37 + s * 80) : s == 3 ? uint8_t(255 - i) : 9);
        auto file = tifftest::Basic(w, ht, 8, samples, PHOTOMETRIC_RGB);
        file.Set(338, tifftest::SHORT, std::vector<uint32_t>(samples - 3, EXTRASAMPLE_UNASSALPHA));
        file.Data(34675, tifftest::UNDEFINED, icc);
        file.strips = {strip};
        files[5 - samples] = Write("extra" + std::to_string(samples) + ".tif", file.Build());
    }
    for (const bool native : {false, true}) {
        SCOPED_TRACE(native ? "kept alpha" : "8-bit B, G, R");
        h->alphaMode = 1;
        Loaded l[2];
        for (int k = 0; k < 2; ++k) {
            Load(files[k], &l[k], native);
            ASSERT_EQ(l[k].result, IL_OK) << (errors.empty() ? "" : errors.back());
        }
        ASSERT_EQ(l[0].image.type, l[1].image.type);
        const size_t rowBytes = size_t{w} * ILChannelCount(l[0].image.type);
        for (uint32_t y = 0; y < ht; ++y) {
            const uint8_t* a = l[0].image.data + int64_t{y} * l[0].image.stride;
            const uint8_t* b = l[1].image.data + int64_t{y} * l[1].image.stride;
            EXPECT_EQ(Bytes(a, a + rowBytes), Bytes(b, b + rowBytes)) << "row " << y;
        }
    }
}

// The grey table of 8-bit files, for every load mode's target.
TEST_F(TiffTest, GreyTableStretchesAndTurnsGrey) {
    struct Case {
        const char* name;
        uint16_t photometric;
        bool hints;   // HalftoneHints 20, 230
        uint8_t mode; // loadMode
        uint8_t want[4];
    };
    const Case cases[] = {
        // 125 -> trunc(105 x 255 / 210 + 0.5)
        {"hints", PHOTOMETRIC_MINISBLACK, true, 0, {0, 0, 128, 255}},
        {"hints, 8-bit RGB", PHOTOMETRIC_MINISBLACK, true, 1, {0, 0, 128, 255}},
        {"min-is-white", PHOTOMETRIC_MINISWHITE, false, 0, {245, 235, 130, 15}},
        {"min-is-white, 8-bit RGB", PHOTOMETRIC_MINISWHITE, false, 1, {245, 235, 130, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = tifftest::Basic(4, 1, 8, 1, c.photometric);
        if (c.hints) file.Set(321, tifftest::SHORT, {20, 230});
        file.strips = {Bytes{10, 20, 125, 240}};
        Loaded l;
        h->loadMode = c.mode;
        l.info.page = 0;
        l.result = ILLoadImage(h, ILUtf8ToPath(Write("grey.tif", file.Build()).string()).c_str(),
                               &l.image, &l.info);
        ASSERT_EQ(l.result, IL_OK) << (errors.empty() ? "" : errors.back());
        const uint32_t step = ILChannelCount(l.image.type);
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(l.image.data[x * step], c.want[x]) << "pixel " << x;
    }
}

TEST_F(TiffTest, InfoDescribesTheFile) {
    auto file = tifftest::Basic(3, 2, 8, 3, PHOTOMETRIC_RGB);
    file.bigEndian = true;
    file.Set(282, tifftest::RATIONAL, {11811, 100});
    file.Set(283, tifftest::RATIONAL, {300, 1});
    file.Set(296, tifftest::SHORT, {3});
    file.Text(315, "Ann Example");
    file.Text(270, "A small test");
    file.Data(700, tifftest::BYTE,
              "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
              "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
              "xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='image/tiff'/>"
              "</rdf:RDF></x:xmpmeta>");
    // IPTC record 2, dataset 5 (object name) "Dock".
    file.Data(33723, tifftest::UNDEFINED,
              std::string("\x1c\x02\x05\x00\x04"
                          "Dock",
                          9));
    file.strips = {Bytes(18, 7)};
    Loaded l;
    Load(Write("info.tif", file.Build()), &l);
    ASSERT_EQ(l.result, IL_OK);
    EXPECT_EQ(l.info.formatId, 0x72u);
    EXPECT_EQ(l.info.ppiX, 300u); // trunc(118.11 x 2.54 + 0.4999)
    EXPECT_EQ(l.info.ppiY, 762u);
    EXPECT_EQ(l.info.colorType, 4u);
    EXPECT_EQ(l.info.bitsPerPixel, 24u);
    EXPECT_EQ(l.info.pages, 1u);
    EXPECT_STREQ(ILFindText(&l.info.texts, IL_TEXT_AUTHOR), "Ann Example");
    EXPECT_STREQ(ILFindText(&l.info.texts, IL_TEXT_DESCRIPTION), "A small test");
    ASSERT_NE(l.info.exif, nullptr);
    ExifEntry* artist = exif_content_get_entry(l.info.exif->ifd[EXIF_IFD_0], ExifTag(315));
    ASSERT_NE(artist, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(artist->data), "Ann Example");
    EXPECT_TRUE(ILHasXMP(l.info.xmp));
    EXPECT_TRUE(ILHasIPTC(l.info.iptc));
}

// The EXIF directory's entries, with each rational's own denominator.
TEST_F(TiffTest, ExifDirectoryIsCopied) {
    const fs::path file = fs::path(VX_CORPUS_DIR) / "libtiff-tests/tiff/custom_dir_EXIF_GPS.tiff";
    if (!fs::exists(file)) GTEST_SKIP() << "corpus missing";
    Loaded l;
    Load(file, &l);
    ASSERT_EQ(l.result, IL_OK);
    ASSERT_NE(l.info.exif, nullptr);
    ExifContent* ifd = l.info.exif->ifd[EXIF_IFD_EXIF];
    const ExifByteOrder order = exif_data_get_byte_order(l.info.exif);
    ExifEntry* exposure = exif_content_get_entry(ifd, EXIF_TAG_EXPOSURE_TIME);
    ASSERT_NE(exposure, nullptr);
    const ExifRational r = exif_get_rational(exposure->data, order);
    EXPECT_EQ(r.denominator, 10000u);
    EXPECT_EQ(r.numerator, 8072739u); // 807.2739...
    ExifEntry* width = exif_content_get_entry(ifd, EXIF_TAG_PIXEL_X_DIMENSION);
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(exif_get_long(width->data, order), 5985u);
    ExifEntry* version = exif_content_get_entry(ifd, EXIF_TAG_EXIF_VERSION);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(version->data), 4), "0231");
}

TEST_F(TiffTest, PagesLoadOneByOne) {
    if (!HaveTool("tiffcp")) GTEST_SKIP() << "tiffcp missing";
    const Base grey{"g", 8, 1, PHOTOMETRIC_MINISBLACK, SAMPLEFORMAT_UINT, false};
    const Base rgb{"c", 8, 3, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, false};
    const Base mono{"m", 1, 1, PHOTOMETRIC_MINISWHITE, SAMPLEFORMAT_UINT, false};
    WriteBase(dir / "a.tif", grey);
    WriteBase(dir / "b.tif", rgb);
    WriteBase(dir / "c.tif", mono);
    const fs::path pages = dir / "pages.tif";
    ASSERT_EQ(Shell("tiffcp " + (dir / "a.tif").string() + " " + (dir / "b.tif").string() + " " +
                    (dir / "c.tif").string() + " " + pages.string()),
              0);
    const ILPixelType types[3] = {IL_GREY8, IL_BGR8, IL_GREY1};
    for (uint16_t page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        Loaded l;
        Load(pages, &l, true, page);
        ASSERT_EQ(l.result, IL_OK);
        EXPECT_EQ(l.info.pages, 3u);
        EXPECT_EQ(l.info.page, page);
        EXPECT_EQ(l.image.type, types[page]);
    }
    Loaded beyond;
    Load(pages, &beyond, true, 3);
    EXPECT_EQ(beyond.result, IL_FAILED);
}

TEST_F(TiffTest, EveryOrientationLoadsUpright) {
    if (!HaveTool("tiffset")) GTEST_SKIP() << "tiffset missing";
    const Base rgb{"o", 8, 3, PHOTOMETRIC_RGB, SAMPLEFORMAT_UINT, false};
    const fs::path base = dir / "o.tif";
    WriteBase(base, rgb);
    Loaded stored;
    Load(base, &stored, true);
    ASSERT_EQ(stored.result, IL_OK);
    const uint32_t w = kWidth, ht = kHeight;
    // Where displayed pixel (x, y) comes from in the stored image.
    struct Case {
        uint16_t orientation;
        bool turned;
        uint32_t (*sx)(uint32_t x, uint32_t y);
        uint32_t (*sy)(uint32_t x, uint32_t y);
    };
    const Case cases[] = {
        {1, false, [](uint32_t x, uint32_t) { return x; }, [](uint32_t, uint32_t y) { return y; }},
        {2, false, [](uint32_t x, uint32_t) { return kWidth - 1 - x; },
         [](uint32_t, uint32_t y) { return y; }},
        {3, false, [](uint32_t x, uint32_t) { return kWidth - 1 - x; },
         [](uint32_t, uint32_t y) { return kHeight - 1 - y; }},
        {4, false, [](uint32_t x, uint32_t) { return x; },
         [](uint32_t, uint32_t y) { return kHeight - 1 - y; }},
        {5, true, [](uint32_t, uint32_t y) { return y; }, [](uint32_t x, uint32_t) { return x; }},
        {6, true, [](uint32_t, uint32_t y) { return y; },
         [](uint32_t x, uint32_t) { return kHeight - 1 - x; }},
        {7, true, [](uint32_t, uint32_t y) { return kWidth - 1 - y; },
         [](uint32_t x, uint32_t) { return kHeight - 1 - x; }},
        {8, true, [](uint32_t, uint32_t y) { return kWidth - 1 - y; },
         [](uint32_t x, uint32_t) { return x; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const fs::path file = dir / "turned.tif";
        fs::copy_file(base, file, fs::copy_options::overwrite_existing);
        ASSERT_EQ(Shell("tiffset -s 274 " + std::to_string(c.orientation) + " " + file.string()),
                  0);
        Loaded l;
        Load(file, &l, true);
        ASSERT_EQ(l.result, IL_OK);
        ASSERT_EQ(l.image.width, c.turned ? ht : w);
        ASSERT_EQ(l.image.height, c.turned ? w : ht);
        int wrong = 0;
        for (uint32_t y = 0; y < l.image.height; ++y)
            for (uint32_t x = 0; x < l.image.width; ++x)
                wrong += std::memcmp(l.image.data + int64_t{y} * l.image.stride + x * 3,
                                     stored.image.data + int64_t{c.sy(x, y)} * stored.image.stride +
                                         c.sx(x, y) * 3,
                                     3) != 0;
        EXPECT_EQ(wrong, 0);
        ASSERT_NE(l.info.exif, nullptr);
        ExifEntry* e = exif_content_get_entry(l.info.exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(exif_get_short(e->data, exif_data_get_byte_order(l.info.exif)), c.orientation);
    }
}

// ---------------------------------------------------------------------------
// Saver

// An image of the type with every sample set from the test picture.
void MakeImage(ILImage* image, ILPixelType type, uint32_t w, uint32_t ht) {
    ASSERT_EQ(ILAllocImage(image, w, ht, type, nullptr), IL_OK);
    const uint32_t bits = ILBitsPerSample(type), channels = ILChannelCount(type);
    for (uint32_t y = 0; y < ht; ++y) {
        uint8_t* row = image->data + int64_t{y} * image->stride;
        std::memset(row, 0, size_t(image->stride));
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t c = 0; c < channels; ++c) {
                const size_t i = size_t{x} * channels + c;
                if ((type & IL_KIND_MASK) == IL_KIND_FLOAT) {
                    const float v = Sample(x % kWidth, y % kHeight, c, 1000) / 1000.0f;
                    std::memcpy(row + i * 4, &v, 4);
                } else if (bits == 16) {
                    const uint16_t v = uint16_t(Sample(x % kWidth, y % kHeight, c, 65535));
                    std::memcpy(row + i * 2, &v, 2);
                } else if (bits == 8) {
                    row[i] = uint8_t(Sample(x % kWidth, y % kHeight, c, 255));
                } else {
                    const size_t bit = i * bits;
                    row[bit / 8] |= uint8_t(Sample(x % kWidth, y % kHeight, c, (1u << bits) - 1)
                                            << (8 - bits - bit % 8));
                }
            }
    }
    if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) {
        image->palette = new ILPalette(1u << bits);
        for (uint32_t i = 0; i < image->palette->count; ++i)
            image->palette->SetEntry16(i, uint16_t(i * 4111), uint16_t(i * 999), uint16_t(i * 77),
                                       65535);
    }
}

bool SameRows(const ILImage& a, const ILImage& b) {
    return SameFloatImages(a, b);
}

TEST_F(TiffTest, SavedFilesReadBackIdentically) {
    struct Case {
        ILPixelType type;
        uint32_t compression;
        uint8_t byteOrder;
    };
    const Case cases[] = {
        {IL_BGR8, 2, 0},   {IL_BGR8, 3, 1},      {IL_BGR8, 1, 0},       {IL_BGR8, 0, 1},
        {IL_BGRA8, 2, 1},  {IL_GREY8, 3, 0},     {IL_GREY16, 2, 1},     {IL_GREY_A16, 3, 0},
        {IL_INDEX4, 2, 0}, {IL_INDEX8, 1, 1},    {IL_GREY1, 2, 0},      {IL_GREY4, 0, 1},
        {IL_BGR16, 3, 1},  {IL_BGR_FLOAT, 2, 1}, {IL_GREY_FLOAT, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type << " compression " << c.compression
                                        << " order " << int(c.byteOrder));
        ILImageOwner image;
        MakeImage(&image.image, c.type, 301, 53);
        h->tiff.compression = c.compression;
        h->tiff.byteOrder = c.byteOrder;
        const fs::path file = dir / "saved.tif";
        ASSERT_EQ(ILSaveImage(h, ILUtf8ToPath(file.string()).c_str(), &image.image, nullptr), IL_OK)
            << (errors.empty() ? "" : errors.back());
        h->alphaMode = 1;
        Loaded back;
        Load(file, &back, true);
        ASSERT_EQ(back.result, IL_OK);
        EXPECT_EQ(back.info.formatId, c.byteOrder ? 0x72u : 0x71u);
        EXPECT_TRUE(SameRows(back.image, image.image));
        // libtiff's own reader sees the same 8-bit colours.
        if (ILBitsPerSample(c.type) == 8 && (c.type & IL_EXTRA_MASK) == 0) {
            Loaded narrow;
            Load(file, &narrow);
            EXPECT_LE(DiffToLibtiff(file, narrow.image),
                      (c.type & IL_MODEL_MASK) == IL_MODEL_INDEXED);
        }
    }
}

TEST_F(TiffTest, SavedTagsFollowTheOptions) {
    if (!HaveTool("tiffdump")) GTEST_SKIP() << "tiffdump missing";
    struct Case {
        ILPixelType type;
        uint32_t width, height;
        uint32_t compression;
        const char* present;
        const char* absent;
    };
    const Case cases[] = {
        {IL_BGR8, 1000, 1000, 2, "Predictor (317) SHORT (3) 1<2>", nullptr},
        {IL_BGR8, 1000, 1000, 2, "RowsPerStrip (278) SHORT (3) 1<167>", nullptr},
        {IL_INDEX8, 40, 30, 2, "Compression (259) SHORT (3) 1<5>", "Predictor"},
        {IL_GREY4, 40, 30, 2, "Photometric (262) SHORT (3) 1<1>", "Predictor"},
        {IL_BGR_FLOAT, 40, 30, 3, "Predictor (317) SHORT (3) 1<3>", nullptr},
        {IL_BGR_FLOAT, 40, 30, 3, "Magic: 0x4d4d", "Predictor"},
        {IL_BGRA8, 40, 30, 1, "ExtraSamples (338) SHORT (3) 1<2>", "Predictor"},
        {IL_BGR8, 40, 30, 4, "Photometric (262) SHORT (3) 1<32845>", "ExtraSamples"},
        {IL_BGR8, 40, 30, 2, "Software (305) ASCII (2) 8<Vx test\\0>", nullptr},
        {IL_BGR8, 40, 30, 2, "XResolution (282) RATIONAL (5) 1<300>", nullptr},
        {IL_BGR8, 40, 30, 2, "Artist (315) ASCII (2) 4<Ann\\0>", "DocumentName"},
    };
    ILInfo info;
    info.ppiX = info.ppiY = 300;
    ILInfoAddText(&info.texts, IL_TEXT_AUTHOR, 3, "Bob");
    ILInfoAddText(&info.texts, IL_TEXT_AUTHOR, 3, "Ann"); // the later one counts
    ILInfoAddText(&info.texts, IL_TEXT_COMMENT, 4, "note");
    h->writeMetadata = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.present);
        ILImageOwner image;
        MakeImage(&image.image, c.type, c.width, c.height);
        h->tiff.compression = c.compression;
        h->tiff.predictor = 1;
        // libtiff puts floating-point predictor data in big-endian files in
        // an order no reader undoes: the saver leaves the predictor out.
        h->tiff.byteOrder = std::strstr(c.present, "Magic") != nullptr;
        const fs::path file = dir / "tags.tif";
        ASSERT_EQ(ILSaveImage(h, ILUtf8ToPath(file.string()).c_str(), &image.image, &info), IL_OK)
            << (errors.empty() ? "" : errors.back());
        const std::string dump = RunOutput("tiffdump " + file.string());
        EXPECT_NE(dump.find(c.present), std::string::npos) << dump;
        if (c.absent) {
            EXPECT_EQ(dump.find(c.absent), std::string::npos) << dump;
        }
    }
}

TEST_F(TiffTest, FailedSaveLeavesTheFileAlone) {
    const fs::path file = dir / "kept.tif";
    ASSERT_TRUE(WriteBytes(file, Bytes{1, 2, 3, 4}));
    ILImageOwner image;
    MakeImage(&image.image, IL_CMYK8, 8, 8);
    EXPECT_LT(ILSaveImage(h, ILUtf8ToPath(file.string()).c_str(), &image.image, nullptr), IL_OK);
    EXPECT_EQ(ReadBytes(file), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// Two threads, each with its own handle, load files that raise different
// messages; each message reaches the handle of the load that raised it.
std::mutex gMessagesLock;
std::vector<std::string> gFirst, gSecond;
bool KeepFirst(const char*, const char* text) {
    std::lock_guard<std::mutex> lock(gMessagesLock);
    gFirst.push_back(text);
    return true;
}
bool KeepSecond(const char*, const char* text) {
    std::lock_guard<std::mutex> lock(gMessagesLock);
    gSecond.push_back(text);
    return true;
}

TEST_F(TiffTest, MessagesReachTheirOwnHandleFromAnyThread) {
    auto four = tifftest::Basic(4, 2, 4, 1, PHOTOMETRIC_MINISBLACK);
    four.Set(317, tifftest::SHORT, {2});
    four.strips = {Bytes(4, 1)};
    auto five = tifftest::Basic(4, 2, 8, 1, PHOTOMETRIC_MINISBLACK);
    five.Set(317, tifftest::SHORT, {5});
    five.strips = {Bytes(8, 1)};
    const std::string paths[2] = {Write("four.tif", four.Build()).string(),
                                  Write("five.tif", five.Build()).string()};
    gFirst.clear();
    gSecond.clear();
    auto run = [&](int which) {
        ILHandle* own = ILCreateHandle("thread");
        ILSetErrorProc(own, which == 0 ? KeepFirst : KeepSecond);
        ILSetWarningProc(own, which == 0 ? KeepFirst : KeepSecond);
        for (int i = 0; i < 200; ++i) {
            ILImage image;
            ILLoadImage(own, ILUtf8ToPath(paths[which]).c_str(), &image, nullptr);
            ILFreeImage(&image);
        }
        ILDestroyHandle(own);
    };
    std::thread first(run, 0), second(run, 1);
    first.join();
    second.join();
    auto count = [](const std::vector<std::string>& list, const char* text) {
        return std::count_if(list.begin(), list.end(), [&](const std::string& m) {
            return m.find(text) != std::string::npos;
        });
    };
    EXPECT_EQ(count(gFirst, "4-bit samples"), 200);
    EXPECT_EQ(count(gFirst, "value 5"), 0);
    EXPECT_EQ(count(gSecond, "value 5"), 200);
    EXPECT_EQ(count(gSecond, "4-bit samples"), 0);
}

// Subsampled YCbCr units to triplets: TIFF 6.0's unit layout and the two
// chroma positions of 2 x 1 units.
TEST(TiffRows, YCbCrUnitsUnpack) {
    struct Case {
        const char* name;
        uint16_t subsampling;
        uint16_t positioning;
        uint32_t row;
        Bytes units;
        Bytes want; // Y, Cb, Cr per pixel
    };
    const Case cases[] = {
        {"2x1 co-sited: odd pixels take the mean of two units",
         0x21,
         2,
         0,
         {1, 2, 100, 200, 3, 4, 50, 10},
         {1, 100, 200, 2, 75, 105, 3, 50, 10, 4, 50, 10}},
        {"2x1 centred: a quarter of the neighbour",
         0x21,
         1,
         0,
         {1, 2, 100, 200, 3, 4, 50, 10},
         {1, 100, 200, 2, 87, 152, 3, 62, 57, 4, 50, 10}},
        {"1x2, second row", 0x12, 1, 1, {1, 2, 9, 8, 3, 4, 7, 6}, {2, 9, 8, 4, 7, 6}},
        {"2x2, second row, odd width",
         0x22,
         1,
         1,
         {1, 2, 3, 4, 9, 8, 5, 6, 7, 0, 20, 30},
         {3, 9, 8, 4, 9, 8, 7, 20, 30}},
        {"4x1 is not unpacked", 0x41, 1, 0, {1, 2, 3, 4, 5, 6}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t width = c.subsampling == 0x22   ? 3
                               : c.subsampling == 0x41 ? 4
                                                       : uint32_t(c.want.size() / 3);
        Bytes out(size_t{width} * 3, 0xEE);
        const bool done = ILTiffUnpackYCbCr(c.row, c.units.data(), out.data(), width, c.subsampling,
                                            c.positioning);
        EXPECT_EQ(done, !c.want.empty());
        if (done) {
            EXPECT_EQ(out, c.want);
        }
    }
}

// ---------------------------------------------------------------------------
// Corpus

std::vector<fs::path> CorpusTiffs() {
    std::vector<fs::path> files;
    const fs::path root(VX_CORPUS_DIR);
    if (!fs::is_directory(root)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".tif" || ext == ".tiff")) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every corpus file decodes, or fails with a code and a message; files
// libtiff's RGBA reader takes as plain 8-bit RGB, grey or palette data
// decode to its pixels.
TEST_F(TiffTest, CorpusDecodesOrFailsCleanly) {
    const auto files = CorpusTiffs();
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    int decoded = 0;
    for (const fs::path& p : files) {
        SCOPED_TRACE(p.string());
        errors.clear();
        Loaded l;
        Load(p, &l);
        if (l.result >= IL_OK) {
            ++decoded;
            EXPECT_NE(l.image.data, nullptr);
        } else {
            EXPECT_FALSE(errors.empty()) << "failed (" << l.result << ") without a message";
        }
    }
    EXPECT_GT(decoded, int(files.size()) * 3 / 4);
}

// A binary PBM, PGM or PPM as 8-bit B, G, R rows (16-bit samples keep their
// high byte, as libtiff's tools write them).
bool ReadPnm(const fs::path& path, std::vector<uint8_t>* bgr, uint32_t* w, uint32_t* ht) {
    const Bytes data = ReadBytes(path);
    size_t at = 2;
    auto number = [&]() {
        while (at < data.size() && (std::isspace(data[at]) || data[at] == '#')) {
            if (data[at] == '#')
                while (at < data.size() && data[at] != '\n')
                    ++at;
            else
                ++at;
        }
        uint32_t v = 0;
        while (at < data.size() && std::isdigit(data[at]))
            v = v * 10 + (data[at++] - '0');
        return v;
    };
    if (data.size() < 2 || data[0] != 'P') return false;
    const char kind = char(data[1]);
    *w = number();
    *ht = number();
    const uint32_t maximum = kind == '4' ? 1 : number();
    ++at;
    const uint32_t channels = kind == '6' ? 3 : 1, bytes = maximum > 255 ? 2 : 1;
    bgr->assign(size_t{*w} * *ht * 3, 0);
    const size_t pbmRow = (*w + 7) / 8;
    for (uint32_t y = 0; y < *ht; ++y)
        for (uint32_t x = 0; x < *w; ++x)
            for (uint32_t c = 0; c < 3; ++c) {
                uint8_t v;
                if (kind == '4') {
                    const size_t i = at + y * pbmRow + x / 8;
                    if (i >= data.size()) return false;
                    v = (data[i] >> (7 - x % 8)) & 1 ? 0 : 255;
                } else {
                    const size_t i =
                        at + ((size_t{y} * *w + x) * channels + (channels == 3 ? c : 0)) * bytes;
                    if (i >= data.size()) return false;
                    v = data[i];
                }
                (*bgr)[(size_t{y} * *w + x) * 3 + (2 - c)] = v;
            }
    return true;
}

// Files with a reference decoding beside them in the corpus.
TEST_F(TiffTest, CorpusFilesMatchTheirReferences) {
    const fs::path root(VX_CORPUS_DIR);
    if (!fs::is_directory(root)) GTEST_SKIP() << "corpus missing";
    struct Case {
        const char* file;
        const char* reference;
        int tolerance;
    };
    const Case cases[] = {
        {"libtiff-tests/tiff/rgb-3c-16b.tiff", "libtiff-tests/tiff/rgb-3c-16b.ppm", 1},
        {"libtiff-tests/tiff/miniswhite-1c-1b.tiff", "libtiff-tests/tiff/miniswhite-1c-1b.pbm", 0},
        {"pillow-tests/tiff/hopper.tif", "pillow-tests/tiff/hopper.png", 0},
        {"pillow-tests/tiff/copyleft.tiff", "pillow-tests/tiff/copyleft.png", 0},
        {"pillow-tests/tiff/pil168.tif", "pillow-tests/tiff/pil168.png", 0},
        {"pillow-tests/tiff/g4-fillorder-test.tif", "pillow-tests/tiff/g4-fillorder-test.png", 0},
        {"pillow-tests/tiff/tiff_adobe_deflate.tif", "pillow-tests/tiff/tiff_adobe_deflate.png", 0},
        {"pillow-tests/tiff/old-style-jpeg-compression.tif",
         "pillow-tests/tiff/old-style-jpeg-compression.png", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Loaded l;
        Load(root / c.file, &l);
        ASSERT_EQ(l.result, IL_OK) << (errors.empty() ? "" : errors.back());
        std::vector<uint8_t> want;
        uint32_t w = 0, ht = 0;
        const std::string reference = c.reference;
        if (reference.ends_with(".png")) {
            Loaded png;
            Load(root / c.reference, &png);
            ASSERT_EQ(png.result, IL_OK);
            w = png.image.width;
            ht = png.image.height;
            for (uint32_t y = 0; y < ht; ++y)
                want.insert(want.end(), png.image.data + int64_t{y} * png.image.stride,
                            png.image.data + int64_t{y} * png.image.stride + size_t{w} * 3);
        } else {
            ASSERT_TRUE(ReadPnm(root / c.reference, &want, &w, &ht));
        }
        ASSERT_EQ(l.image.width, w);
        ASSERT_EQ(l.image.height, ht);
        int worst = 0;
        for (uint32_t y = 0; y < ht; ++y)
            for (uint32_t i = 0; i < w * 3; ++i)
                worst =
                    std::max(worst, std::abs(int(l.image.data[int64_t{y} * l.image.stride + i]) -
                                             int(want[size_t{y} * w * 3 + i])));
        EXPECT_LE(worst, c.tolerance);
    }
}

// Files of the corpus that hold one picture in several encodings decode to
// the same pixels.
TEST_F(TiffTest, CorpusTwinsDecodeAlike) {
    const fs::path root(VX_CORPUS_DIR);
    if (!fs::is_directory(root)) GTEST_SKIP() << "corpus missing";
    const std::vector<std::vector<const char*>> groups = {
        {"zigimg-test-suite/tiff/sample-rgb24-deflate.tiff",
         "zigimg-test-suite/tiff/sample-rgb24-lzw.tiff",
         "zigimg-test-suite/tiff/sample-rgb24-packbits.tiff",
         "zigimg-test-suite/tiff/big-endian/sample-rgb24-raw.tiff"},
        {"zigimg-test-suite/tiff/sample-grayscale8-deflate.tiff",
         "zigimg-test-suite/tiff/sample-grayscale8-lzw.tiff",
         "zigimg-test-suite/tiff/sample-grayscale8-packbits.tiff",
         "zigimg-test-suite/tiff/sample-grayscale8-raw.tiff"},
        {"zigimg-test-suite/tiff/sample-pal8-lzw.tiff",
         "zigimg-test-suite/tiff/sample-pal8-packbits.tiff",
         "zigimg-test-suite/tiff/sample-pal8-raw.tiff"},
        {"oiio-images/tiff/cramps.tif", "oiio-images/tiff/cramps-tile.tif"},
        {"oiio-images/tiff/depth/flower-rgb-contig-04.tif",
         "oiio-images/tiff/depth/flower-rgb-planar-04.tif"},
        {"oiio-images/tiff/depth/flower-separated-contig-08.tif",
         "oiio-images/tiff/depth/flower-separated-planar-08.tif"},
        {"oiio-images/tiff/depth/flower-separated-contig-16.tif",
         "oiio-images/tiff/depth/flower-separated-planar-16.tif"},
    };
    for (const auto& group : groups) {
        Loaded first;
        Load(root / group[0], &first, true);
        ASSERT_EQ(first.result, IL_OK) << group[0];
        for (size_t i = 1; i < group.size(); ++i) {
            SCOPED_TRACE(group[i]);
            Loaded l;
            Load(root / group[i], &l, true);
            ASSERT_EQ(l.result, IL_OK);
            EXPECT_TRUE(SameFloatImages(l.image, first.image));
        }
    }
}

// Truncated and bit-flipped copies of every corpus file end with a result,
// never a crash or a hang.
TEST_F(TiffTest, DamagedCorpusCopiesFailCleanly) {
    const auto files = CorpusTiffs();
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    std::mt19937 rng(13);
    ILSetErrorProc(h, nullptr);
    ILSetWarningProc(h, nullptr);
    for (const fs::path& p : files) {
        const Bytes original = ReadBytes(p);
        if (original.size() > (4u << 20)) continue;
        for (int variant = 0; variant < 4; ++variant) {
            Bytes bytes = original;
            if (variant == 0) {
                bytes.resize(bytes.size() / 2);
            } else {
                for (int flips = 0; flips < 8 * variant; ++flips)
                    bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
            }
            Loaded l;
            Load(Write("damaged.tif", bytes), &l);
        }
    }
}

} // namespace
