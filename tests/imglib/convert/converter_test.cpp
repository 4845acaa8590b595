// The converter record: defaults, YCbCr tables (against libjpeg's own
// conversion), pixel-type facts, palettes and their ownership, whole-image
// conversion and the dither phase.
#include <gtest/gtest.h>

#include <jpeglib.h>
#include <lcms2.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "suite_handle.h"

namespace {

class ConverterTest : public SuiteHandleTest {};

// RAII for a converter in a test.
struct Conv {
    ILConverter c;
    Conv() { ILConverterInit(&c); }
    ~Conv() { ILConverterFree(&c); }
    ILConverter* operator->() { return &c; }
    ILConverter* get() { return &c; }
};

TEST_F(ConverterTest, ClearedConverterHasTheDocumentedDefaults) {
    Conv c;
    EXPECT_EQ(c->oneBitWhite, 1);
    EXPECT_EQ(c->dither, 1);
    EXPECT_EQ(c->alphaHandling, 1);
    EXPECT_EQ(c->rowKernel, nullptr);
    // The matrices derive from the 4x4 Bayer order in the converter's index
    // order 4 x (x mod 4) + row.
    const int bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(c->ditherMatrix[i], 17 * bayer[i] + 1) << i;
        EXPECT_EQ(c->ditherMatrixF[i], (bayer[i] + 0.5f) / 16) << i;
    }
    ILConverterSetDither(c.get(), false);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(c->ditherMatrix[i], 120);
        EXPECT_EQ(c->ditherMatrixF[i], 0.46875f);
    }
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(c->ycbcrY[i], i);
}

// Encodes YCbCr samples losslessly enough to be decoded twice by libjpeg: to
// its YCbCr planes and through its own conversion to B, G, R.
struct JpegDecode {
    std::vector<uint8_t> ycbcr, bgr;
};

JpegDecode DecodeBothWays(const std::vector<uint8_t>& pixels, int width, int height) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    for (int i = 0; i < 3; ++i)
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&pixels[cinfo.next_scanline * width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);

    JpegDecode out;
    for (J_COLOR_SPACE space : {JCS_YCbCr, JCS_EXT_BGR}) {
        jpeg_decompress_struct dinfo{};
        dinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&dinfo);
        jpeg_mem_src(&dinfo, buffer, size);
        jpeg_read_header(&dinfo, TRUE);
        dinfo.out_color_space = space;
        jpeg_start_decompress(&dinfo);
        std::vector<uint8_t>& dst = space == JCS_YCbCr ? out.ycbcr : out.bgr;
        dst.resize(static_cast<size_t>(width) * height * 3);
        while (dinfo.output_scanline < dinfo.output_height) {
            JSAMPROW row = &dst[dinfo.output_scanline * width * 3];
            jpeg_read_scanlines(&dinfo, &row, 1);
        }
        jpeg_finish_decompress(&dinfo);
        jpeg_destroy_decompress(&dinfo);
    }
    std::free(buffer);
    return out;
}

TEST_F(ConverterTest, DefaultYCbCrTablesDecodeLikeLibjpeg) {
    const int width = 64, height = 64;
    std::vector<uint8_t> pixels(width * height * 3);
    std::mt19937 rng(7);
    for (auto& v : pixels)
        v = static_cast<uint8_t>(rng());
    // Extremes that clamp: full Cr and Cb either way.
    const uint8_t corners[][3] = {{255, 255, 255}, {0, 0, 0}, {255, 128, 128}, {0, 128, 128}};
    for (int i = 0; i < 4; ++i)
        std::memcpy(&pixels[i * 3], corners[i], 3);
    const JpegDecode jpeg = DecodeBothWays(pixels, width, height);

    Conv c;
    ILConverterSetModes(c.get(), IL_YCBCR8, IL_BGR8, width * height);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    std::vector<uint8_t> ours(jpeg.bgr.size());
    c->rowKernel(c.get(), jpeg.ycbcr.data(), ours.data());
    int mismatches = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        mismatches += ours[i] != jpeg.bgr[i];
    EXPECT_EQ(mismatches, 0);
}

TEST_F(ConverterTest, OwnYCbCrTablesFromCoefficients) {
    const float luma[3] = {0.299f, 0.587f, 0.114f};
    const float full[6] = {0, 255, 128, 255, 128, 255};
    Conv c;
    const int32_t* defaults[5] = {c->ycbcrCrR, c->ycbcrCbB, c->ycbcrCrG, c->ycbcrCbG, c->ycbcrY};
    ILConverterSetYCbCr(c.get(), luma, full);
    ASSERT_TRUE(c->ownsYCbCr);
    for (int j = 0; j < 256; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(c->ycbcrCrR[j], defaults[0][j]);
        EXPECT_EQ(c->ycbcrCbB[j], defaults[1][j]);
        EXPECT_EQ(c->ycbcrCrG[j], defaults[2][j]);
        EXPECT_EQ(c->ycbcrCbG[j], -22553 * (j - 128) + 32768); // one less than the default weight
        EXPECT_EQ(c->ycbcrY[j], defaults[4][j]);
    }

    // Equal black and white count as a range of 1; out-of-range references
    // give bounded tables; a row still converts without overflow.
    const float flat[6] = {16, 16, 128, 128, 3e5f, 3e5f};
    ILConverterSetYCbCr(c.get(), luma, flat);
    EXPECT_EQ(c->ycbcrY[17], 255);
    ILConverterSetModes(c.get(), IL_YCBCR8, IL_BGR8, 256);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    std::vector<uint8_t> in(256 * 3), out(256 * 3);
    for (int i = 0; i < 256 * 3; ++i)
        in[i] = static_cast<uint8_t>(i);
    c->rowKernel(c.get(), in.data(), out.data());

    // Coefficients that would divide by zero or overflow keep what was there.
    const float bad[][3] = {{0.3f, 0, 0.1f}, {NAN, 0.5f, 0.1f}, {1e30f, 1, 1}};
    for (const auto& l : bad) {
        Conv d;
        ILConverterSetYCbCr(d.get(), l, full);
        EXPECT_FALSE(d->ownsYCbCr);
        EXPECT_EQ(d->ycbcrCrR, defaults[0]);
    }
}

TEST_F(ConverterTest, LoadPixelTypes) {
    struct Row {
        uint8_t loadMode, alphaMode;
        ILPixelType file;
        bool keepPremultiplied;
        ILPixelType want;
    } rows[] = {
        {1, 1, IL_BGRA16, false, IL_BGR8},
        {2, 1, IL_GREY16, false, IL_BGRA8},
        {3, 1, IL_BGR8, false, 0},
        {0, 1, IL_CMYK4, false, IL_BGR8}, // 4-bit CMYK
        {0, 1, IL_YCBCR_A8, false, IL_BGRA8},
        {0, 0, IL_YCBCR_A8, false, IL_BGR8},
        {0, 2, IL_BGRA16, false, IL_BGR16},
        {0, 1, IL_BGRPA16, false, IL_BGRA16},
        {0, 1, IL_BGRPA16, true, IL_BGRPA16},
        {0, 1, IL_RGBX8, false, IL_BGR8},
        {0, 1, IL_RGB12, false, IL_BGR16},
        {0, 1, IL_BGR_101010, false, IL_BGR16},
        {0, 1, IL_BGR_565, false, IL_BGR8},
        {0, 1, IL_BGR_RGBE, false, IL_BGR_HALF},
        {0, 1, IL_RGBPA_FLOAT24, false, IL_BGRA_FLOAT},
        {0, 1, IL_GREY_DOUBLE, false, IL_GREY_FLOAT},
        {0, 1, IL_GREY4, false, IL_GREY4},
        {0, 1, IL_INDEX1, false, IL_INDEX1},
        {0, 1, IL_INDEX_A8, false, IL_INDEX_A8},
        {0, 1, IL_RGB8, false, IL_BGR8},
    };
    ILHandle h = *handle_;
    for (const Row& r : rows) {
        h.loadMode = r.loadMode;
        h.alphaMode = r.alphaMode;
        EXPECT_EQ(ILGetLoadPixelType(&h, r.file, r.keepPremultiplied), r.want)
            << std::hex << r.file << " load mode " << int(r.loadMode) << " alpha mode "
            << int(r.alphaMode);
    }
}

TEST_F(ConverterTest, LcmsFormatsMatchLcmsOwnDescriptions) {
    struct Row {
        ILPixelType type;
        uint32_t want;
    } rows[] = {
        {IL_GREY8, TYPE_GRAY_8},
        {IL_GREY16, TYPE_GRAY_16},
        {IL_GREY_FLOAT, TYPE_GRAY_FLT},
        {IL_BGR8, TYPE_BGR_8},
        {IL_RGB8, TYPE_RGB_8},
        {IL_BGRA8, TYPE_BGRA_8},
        {IL_RGBA8, TYPE_RGBA_8},
        {IL_BGR16, TYPE_BGR_16},
        {IL_RGBPA16, TYPE_RGBA_16},
        {IL_BGR_FLOAT, TYPE_BGR_FLT},
        {IL_RGB_FLOAT, TYPE_RGB_FLT},
        {IL_CMYK8, TYPE_CMYK_8},
        {IL_CMYK16, TYPE_CMYK_16},
        {IL_YCBCR8, TYPE_YCbCr_8},
        {IL_LAB8, TYPE_Lab_8},
        {IL_GREY_A8, TYPE_GRAYA_8},
        {IL_GREY_A_HALF, 0x43008D},
        {IL_BGR_FLOAT24, 0x44041B},
        {IL_INDEX8, 0},
        {IL_GREY1, 0},
        {IL_BGR_RGBE, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ILPixelTypeToLcmsFormat(r.type), r.want) << std::hex << r.type;
}

TEST_F(ConverterTest, Float24MatchesItsDefinitionForEveryCode) {
    uint32_t wrong = 0, first = 0;
    for (uint32_t v = 0; v < (1u << 24); ++v) {
        const int e = (v >> 16) & 0x7F, m = v & 0xFFFF;
        const bool negative = v & 0x800000;
        const float have = ILFloat24ToFloat(v);
        bool ok;
        if (e == 127) {
            ok = m == 0 ? std::isinf(have) : std::isnan(have);
        } else {
            const double magnitude =
                e == 0 ? std::ldexp(double(m), -78) : std::ldexp(1.0 + m / 65536.0, e - 63);
            ok = have == (negative ? -magnitude : magnitude) && std::signbit(have) == negative;
        }
        if (!ok && wrong++ == 0) first = v;
    }
    EXPECT_EQ(wrong, 0u) << "first wrong code 0x" << std::hex << first;
    EXPECT_EQ(ILFloat24ToFloat(0x3F0000), 1.0f);
    EXPECT_TRUE(std::signbit(ILFloat24ToFloat(0x800000)));
}

TEST_F(ConverterTest, IndexedSourceNeedsAPaletteAndTakesOneAttachedLate) {
    ILPalette palette(2);
    palette.SetEntryBGR8(0, 10, 20, 30);
    palette.SetEntryBGR8(1, 200, 100, 50);
    const uint8_t row[] = {0b10100000}; // pixels 1, 0, 1
    uint8_t out[9] = {};

    Conv c;
    ILConverterSetModes(c.get(), IL_INDEX1, IL_BGR8, 3);
    EXPECT_FALSE(ILConverterPrepare(c.get()));
    ASSERT_NE(c->rowKernel, nullptr);
    ILConverterSetPalette(c.get(), &palette);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    c->rowKernel(c.get(), row, out);
    const uint8_t want[9] = {200, 100, 50, 10, 20, 30, 200, 100, 50};
    EXPECT_EQ(std::memcmp(out, want, 9), 0);

    // A different palette attached after preparing replaces the table, also
    // when it is longer than the first (no read past the old table).
    ILPalette longer(256);
    for (uint32_t i = 0; i < 256; ++i)
        longer.SetEntryBGR8(i, uint8_t(i), 0, 0);
    ILConverterSetPalette(c.get(), &longer);
    ILConverterSetModes(c.get(), IL_INDEX8, IL_BGR8, 3);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    const uint8_t codes[] = {255, 7, 128};
    c->rowKernel(c.get(), codes, out);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[3], 7);

    // Codes beyond a short palette read a zeroed entry, never past the table.
    ILConverterSetPalette(c.get(), &palette);
    ILConverterSetModes(c.get(), IL_INDEX8, IL_BGR8, 3);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    c->rowKernel(c.get(), codes, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 0);
}

TEST_F(ConverterTest, PaletteOwnershipEndsWithExactlyOneOwner) {
    // A palette the converter made goes to an indexed image.
    {
        ILImage image;
        ASSERT_EQ(ILAllocImage(&image, 4, 1, IL_INDEX8, nullptr), IL_OK);
        Conv c;
        ILPalette* made = ILConverterNewPalette(c.get(), 16);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->count, 16u);
        EXPECT_EQ(made->entries[15].red, 0);
        ILConverterGivePalette(c.get(), &image);
        EXPECT_EQ(image.palette, made);
        EXPECT_EQ(c->ownsPalette, 0);
        ILFreeImage(&image);
    }
    // A borrowed palette is copied, so that its owner can still free it.
    {
        ILImage image;
        ASSERT_EQ(ILAllocImage(&image, 4, 1, IL_INDEX8, nullptr), IL_OK);
        ILPalette lent(3);
        lent.SetEntryBGR8(2, 1, 2, 3);
        Conv c;
        ILConverterSetPalette(c.get(), &lent);
        ILConverterGivePalette(c.get(), &image);
        ASSERT_NE(image.palette, nullptr);
        EXPECT_NE(image.palette, &lent);
        EXPECT_EQ(image.palette->count, 3u);
        ILFreeImage(&image);
    }
    // A non-indexed image takes nothing; the converter frees its own.
    {
        ILImage image;
        ASSERT_EQ(ILAllocImage(&image, 4, 1, IL_BGR8, nullptr), IL_OK);
        Conv c;
        ILConverterNewPalette(c.get(), 4);
        ILConverterGivePalette(c.get(), &image);
        EXPECT_EQ(image.palette, nullptr);
        EXPECT_EQ(c->ownsPalette, 1);
        ILFreeImage(&image);
    }
}

TEST_F(ConverterTest, ConvertImageNeedsMatchingSizes) {
    ILImage source, target;
    ASSERT_EQ(ILAllocImage(&source, 5, 3, IL_BGR8, nullptr), IL_OK);
    ASSERT_EQ(ILAllocImage(&target, 5, 3, IL_RGB8, nullptr), IL_OK);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 15; ++x)
            source.data[y * source.stride + x] = uint8_t(y * 15 + x);
    Conv c;
    ASSERT_TRUE(ILConverterConvertImage(c.get(), handle_, &source, &target));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x) {
            const uint8_t* s = source.data + y * source.stride + 3 * x;
            const uint8_t* t = target.data + y * target.stride + 3 * x;
            EXPECT_TRUE(s[0] == t[2] && s[1] == t[1] && s[2] == t[0]) << x << "," << y;
        }

    for (auto [w, h] : {std::pair{4u, 3u}, std::pair{5u, 2u}}) {
        ILImage other;
        ASSERT_EQ(ILAllocImage(&other, w, h, IL_RGB8, nullptr), IL_OK);
        std::memset(other.data, 0x5A, other.stride * h);
        EXPECT_FALSE(ILConverterConvertImage(c.get(), handle_, &source, &other));
        for (int64_t i = 0; i < other.stride * h; ++i)
            ASSERT_EQ(other.data[i], 0x5A);
        ILFreeImage(&other);
    }
    EXPECT_FALSE(ILConverterConvertImage(c.get(), nullptr, &source, &target));

    // Setting mismatched images directly takes the narrower width.
    ILImage narrow;
    ASSERT_EQ(ILAllocImage(&narrow, 2, 3, IL_BGR8, nullptr), IL_OK);
    ILConverterSetImages(c.get(), &source, &narrow);
    EXPECT_EQ(c->width, 2u);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    EXPECT_EQ(c->rowBytes, 6u);
    ILFreeImage(&narrow);
    ILFreeImage(&source);
    ILFreeImage(&target);
}

TEST_F(ConverterTest, DitherPhaseAdvancesEveryRowWhetherOrNotDithering) {
    // 16-bit grey 32796 gives 128 where the offset is at least 100 and 127
    // elsewhere; with dithering off always (v + 120) / 257 = 128.
    const uint16_t row[4] = {32796, 32796, 32796, 32796};
    Conv c;
    ILConverterSetModes(c.get(), IL_GREY16, IL_GREY8, 4);
    ASSERT_TRUE(ILConverterPrepare(c.get()));
    int bright = 0;
    for (int r = 0; r < 4; ++r) {
        uint8_t out[4];
        EXPECT_EQ(c->ditherRow, uint32_t(r));
        c->rowKernel(c.get(), row, out);
        for (uint8_t v : out) {
            EXPECT_TRUE(v == 127 || v == 128);
            bright += v == 128;
        }
    }
    EXPECT_EQ(bright, 10);
    EXPECT_EQ(c->ditherRow, 0u);

    ILConverterSetDither(c.get(), false);
    const uint16_t edges[4] = {136, 137, 65535, 0};
    uint8_t out[4];
    c->rowKernel(c.get(), edges, out);
    EXPECT_EQ(c->ditherRow, 1u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2], 255);
    EXPECT_EQ(out[3], 0);
}

TEST_F(ConverterTest, EightBitRoundTripsThroughSixteenBitsAndFloatAreIdentities) {
    // Every code in every colour position and dither phase.
    std::vector<uint8_t> codes(256 * 3 * 4), back(codes.size());
    for (size_t i = 0; i < codes.size(); ++i)
        codes[i] = static_cast<uint8_t>(i / 3 + i);
    const uint64_t width = codes.size() / 3;
    for (ILPixelType middle : {IL_BGR16, IL_BGR_FLOAT, IL_RGB16, IL_RGB_FLOAT}) {
        SCOPED_TRACE(middle);
        std::vector<uint8_t> wide(width * (middle & 0x100 ? 12 : 6));
        Conv up, down;
        ILConverterSetModes(up.get(), IL_BGR8, middle, width);
        ILConverterSetModes(down.get(), middle, IL_BGR8, width);
        ASSERT_TRUE(ILConverterPrepare(up.get()) && ILConverterPrepare(down.get()));
        for (int row = 0; row < 4; ++row) {
            up->rowKernel(up.get(), codes.data(), wide.data());
            down->rowKernel(down.get(), wide.data(), back.data());
            ASSERT_EQ(back, codes) << "row " << row;
        }
    }
}

TEST_F(ConverterTest, RowsTooWideToAllocateFailToPrepare) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer aborts on impossible allocations instead of failing them";
#else
    Conv c;
    ILConverterSetModes(c.get(), IL_BGRA8, IL_BGRPA16,
                        uint64_t{1} << 46); // chain row of 2^49 bytes
    EXPECT_FALSE(ILConverterPrepare(c.get()));
    ILConverterSetModes(c.get(), IL_BGR8, IL_BGR8, uint64_t{1} << 60);
    EXPECT_FALSE(ILConverterPrepare(c.get()));
#endif
}

} // namespace
