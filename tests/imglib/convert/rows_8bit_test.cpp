#include <Imath/half.h>
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/convert/kernel_table.h"
#include "imglib/convert/srgb.h"
#include "imglib/handle.h"
#include "suite_handle.h"

namespace {

class Rows8BitTest : public SuiteHandleTest {};

// A converter prepared for one pair through the public calls.
struct Conv {
    ILConverter c;
    Conv(ILPixelType s, ILPixelType t, uint64_t width) { ILConverterInitModes(&c, s, t, width); }
    ~Conv() { ILConverterFree(&c); }
    template <typename S, typename T>
    void Run(const S& source, T& target) {
        if (!ILConverterPrepare(&c)) {
            ADD_FAILURE() << "does not prepare";
            return;
        }
        c.rowKernel(&c, source.data(), target.data());
    }
};

double EncodeSrgb(double x) {
    if (x <= 0.0) return 0.0;
    if (x >= 1.0) return 1.0;
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
}

double DecodeSrgb(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The 4x4 ordered-dither matrix as offsets 1..256, indexed [column][row].
int DitherOffset(int column, int row) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return 17 * bayer[column % 4][row % 4] + 1;
}

// B, G, R 8 to grey 8 avoids the power function per pixel; over every colour
// it must agree with the reference helper, and stay within one code of the
// luminance computed in double precision.
TEST_F(Rows8BitTest, ColourToGrey8MatchesTheReferenceForEveryColour) {
    const uint64_t width = 65536;
    Conv rgb(IL_BGR8, IL_GREY8, width);
    Conv rgba(IL_BGRA8, IL_GREY_A8, width);
    ASSERT_TRUE(ILConverterPrepare(&rgb.c) && ILConverterPrepare(&rgba.c));
    std::vector<uint8_t> source(width * 3), grey(width), sourceA(width * 4), greyA(width * 2);
    for (uint32_t red = 0; red < 256; ++red) {
        for (uint32_t i = 0; i < width; ++i) {
            source[3 * i] = sourceA[4 * i] = uint8_t(i);              // blue
            source[3 * i + 1] = sourceA[4 * i + 1] = uint8_t(i >> 8); // green
            source[3 * i + 2] = sourceA[4 * i + 2] = uint8_t(red);
            sourceA[4 * i + 3] = uint8_t(i * 7 + red);
        }
        rgb.Run(source, grey);
        rgba.Run(sourceA, greyA);
        for (uint32_t i = 0; i < width; ++i) {
            const uint8_t want = ILGray8FromRGB8(uint8_t(red), uint8_t(i >> 8), uint8_t(i));
            if (grey[i] != want || greyA[2 * i] != want || greyA[2 * i + 1] != sourceA[4 * i + 3])
                FAIL() << "r " << red << " g " << (i >> 8) << " b " << (i & 255) << ": have "
                       << int(grey[i]) << "/" << int(greyA[2 * i]) << ", want " << int(want);
        }
    }
    struct {
        uint8_t b, g, r;
    } samples[] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {40, 200, 90}, {128, 128, 128}};
    for (auto p : samples) {
        const double y = 0.212656 * DecodeSrgb(p.r / 255.0) + 0.715158 * DecodeSrgb(p.g / 255.0) +
                         0.072186 * DecodeSrgb(p.b / 255.0);
        std::array<uint8_t, 3> in{p.b, p.g, p.r};
        std::array<uint8_t, 1> out{};
        Conv one(IL_BGR8, IL_GREY8, 1);
        one.Run(in, out);
        EXPECT_NEAR(out[0], EncodeSrgb(y) * 255.5, 1.0)
            << int(p.r) << "," << int(p.g) << "," << int(p.b);
    }
}

// libjpeg converts YCbCr with the same full-range constants: a file decoded
// once as YCbCr and once as RGB gives the oracle for every decoded pixel.
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height) {
    jpeg_compress_struct ci;
    jpeg_error_mgr err;
    ci.err = jpeg_std_error(&err);
    jpeg_create_compress(&ci);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&ci, &buffer, &size);
    ci.image_width = width;
    ci.image_height = height;
    ci.input_components = 3;
    ci.in_color_space = JCS_RGB;
    jpeg_set_defaults(&ci);
    jpeg_set_quality(&ci, 75, TRUE);
    for (int k = 0; k < 3; ++k)
        ci.comp_info[k].h_samp_factor = ci.comp_info[k].v_samp_factor = 1;
    jpeg_start_compress(&ci, TRUE);
    while (ci.next_scanline < ci.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[ci.next_scanline * width * 3]);
        jpeg_write_scanlines(&ci, &row, 1);
    }
    jpeg_finish_compress(&ci);
    jpeg_destroy_compress(&ci);
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

std::vector<uint8_t> DecodeJpeg(const std::vector<uint8_t>& file, J_COLOR_SPACE space) {
    jpeg_decompress_struct ci;
    jpeg_error_mgr err;
    ci.err = jpeg_std_error(&err);
    jpeg_create_decompress(&ci);
    jpeg_mem_src(&ci, file.data(), file.size());
    jpeg_read_header(&ci, TRUE);
    ci.out_color_space = space;
    jpeg_start_decompress(&ci);
    std::vector<uint8_t> pixels(size_t(ci.output_width) * ci.output_height * 3);
    while (ci.output_scanline < ci.output_height) {
        JSAMPROW row = &pixels[size_t(ci.output_scanline) * ci.output_width * 3];
        jpeg_read_scanlines(&ci, &row, 1);
    }
    jpeg_finish_decompress(&ci);
    jpeg_destroy_decompress(&ci);
    return pixels;
}

TEST_F(Rows8BitTest, YCbCrToBGR8MatchesLibjpeg) {
    const int width = 96, height = 64;
    std::vector<uint8_t> rgb(width * height * 3);
    std::mt19937 rng(7);
    // Noise, plus flat blocks of saturated colours whose decoded chroma lands
    // outside the RGB cube and must clamp.
    for (uint8_t& v : rgb)
        v = uint8_t(rng());
    const uint8_t saturated[][3] = {{255, 0, 0},   {0, 0, 255},   {0, 255, 0},     {255, 255, 0},
                                    {255, 0, 255}, {0, 255, 255}, {255, 255, 255}, {0, 0, 0}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(&rgb[(y * width + x) * 3], saturated[(x / 12) % 8], 3);
    const std::vector<uint8_t> file = EncodeJpeg(rgb, width, height);
    const std::vector<uint8_t> ycc = DecodeJpeg(file, JCS_YCbCr);
    const std::vector<uint8_t> want = DecodeJpeg(file, JCS_RGB);

    Conv conv(IL_YCBCR8, IL_BGR8, width);
    ASSERT_TRUE(ILConverterPrepare(&conv.c));
    std::vector<uint8_t> bgr(width * 3);
    int clamped = 0;
    for (int y = 0; y < height; ++y) {
        conv.c.rowKernel(&conv.c, &ycc[y * width * 3], bgr.data());
        for (int x = 0; x < width; ++x) {
            const uint8_t* w = &want[(y * width + x) * 3];
            const uint8_t have[3] = {bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]};
            ASSERT_TRUE(std::memcmp(have, w, 3) == 0)
                << "pixel " << x << "," << y << ": have " << int(have[0]) << " " << int(have[1])
                << " " << int(have[2]) << ", want " << int(w[0]) << " " << int(w[1]) << " "
                << int(w[2]);
            clamped += (w[0] == 0 || w[0] == 255) && (w[2] == 0 || w[2] == 255);
        }
    }
    EXPECT_GT(clamped, 100); // the saturated blocks did reach the clamps

    // With alpha: the fourth sample is copied or dropped.
    Conv withAlpha(IL_YCBCR_A8, IL_BGRA8, 2);
    std::array<uint8_t, 8> yccA{255, 128, 128, 9, 0, 128, 128, 200};
    std::array<uint8_t, 8> bgra{};
    withAlpha.Run(yccA, bgra);
    EXPECT_EQ(bgra, (std::array<uint8_t, 8>{255, 255, 255, 9, 0, 0, 0, 200}));
}

// 16-bit samples become (v + d) div 257, d from the matrix entry of the
// pixel's column and the row phase, which every row advances.
TEST_F(Rows8BitTest, SixteenToEightBitFollowsTheDitherMatrix) {
    Conv conv(IL_GREY16, IL_GREY8, 8);
    ASSERT_TRUE(ILConverterPrepare(&conv.c));
    const uint16_t values[] = {0, 65535, 32896, 32796, 1000, 51234};
    int rows = 0; // the phase carries on from value to value
    for (uint16_t v : values) {
        SCOPED_TRACE(v);
        std::vector<uint16_t> row(8, v);
        std::vector<uint8_t> out(8);
        int at128 = 0;
        for (int r = 0; r < 5; ++r, ++rows) { // a fifth row wraps the phase
            conv.Run(row, out);
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(out[x], (v + DitherOffset(x, rows)) / 257)
                    << "x " << x << " row " << rows;
                if (r < 4 && x < 4) at128 += out[x] == 128;
            }
        }
        if (v == 32796) {
            EXPECT_EQ(at128, 10);
        } else if (v == 32896) {
            EXPECT_EQ(at128, 16);
        }
    }

    // Off: a constant 120, and the phase still advances.
    ILConverterSetDither(&conv.c, false);
    std::vector<uint16_t> row{136, 137, 65535, 0, 393, 394, 32896, 32795};
    std::vector<uint8_t> out(8);
    const uint32_t phase = conv.c.ditherRow;
    conv.Run(row, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 255, 0, 1, 2, 128, 128}));
    EXPECT_EQ(conv.c.ditherRow, (phase + 1) % 4);
}

// Rows long enough for the vector steps (sixteen pixels for narrowing, five
// for the exchange) and every tail length give what one pixel at a time
// gives: (v + d) div 257 at the pixel's column and row, v up to 65535 with
// offsets up to 256, and R and B exchanged.
TEST_F(Rows8BitTest, LongRowsConvertLikeOnePixelAtATime) {
    std::mt19937 rng(5);
    const struct {
        ILPixelType source, target;
        int channels;
        bool swapped;
    } pairs[] = {
        {IL_GREY16, IL_GREY8, 1, false}, {IL_GREY_A16, IL_GREY_A8, 2, false},
        {IL_BGR16, IL_BGR8, 3, false},   {IL_RGB16, IL_RGB8, 3, false},
        {IL_BGRA16, IL_BGRA8, 4, false}, {IL_BGR8, IL_RGB8, 3, true},
    };
    for (const auto& p : pairs) {
        for (const bool dither : {true, false}) {
            for (const uint64_t width : {1, 5, 6, 15, 16, 17, 31, 47, 100}) {
                SCOPED_TRACE(::testing::Message()
                             << std::hex << p.source << " -> " << p.target << std::dec << ", width "
                             << width << (dither ? ", dithered" : ""));
                Conv conv(p.source, p.target, width);
                ILConverterSetDither(&conv.c, dither);
                const size_t samples = width * p.channels;
                for (int row = 0; row < 4; ++row) {
                    std::vector<uint8_t> out(samples);
                    if (p.swapped) {
                        std::vector<uint8_t> in(samples);
                        for (uint8_t& v : in)
                            v = uint8_t(rng());
                        conv.Run(in, out);
                        for (size_t i = 0; i < samples; ++i)
                            ASSERT_EQ(out[i], in[i - i % 3 + 2 - i % 3]) << "sample " << i;
                        continue;
                    }
                    std::vector<uint16_t> in(samples);
                    for (uint16_t& v : in)
                        v = rng() % 4 ? uint16_t(rng()) : uint16_t(65535 - rng() % 300);
                    const int phase = int(conv.c.ditherRow);
                    conv.Run(in, out);
                    for (size_t i = 0; i < samples; ++i) {
                        const int x = int(i / p.channels);
                        const int d = dither ? DitherOffset(x, phase) : 120;
                        ASSERT_EQ(out[i], (in[i] + d) / 257) << "sample " << i;
                    }
                }
            }
        }
    }
}

// Channel orders of the plain rearranging and widening members: each row
// is one pixel whose samples are distinct, so a misplaced sample shows.
TEST_F(Rows8BitTest, SamplesLandInTheTargetOrder) {
    struct Case {
        const char* name;
        ILPixelType source, target;
        std::vector<uint8_t> in;
        std::vector<uint8_t> want; // bytes of the target pixel; unwritten bytes stay 0xEE
    } cases[] = {
        {"BGR8 to RGB8", IL_BGR8, IL_RGB8, {1, 2, 3}, {3, 2, 1}},
        {"BGR8 to BGRA8", IL_BGR8, IL_BGRA8, {1, 2, 3}, {1, 2, 3, 0xEE}},
        {"BGRA8 to RGBA8", IL_BGRA8, IL_RGBA8, {1, 2, 3, 4}, {3, 2, 1, 4}},
        {"BGRA8 to RGB8", IL_BGRA8, IL_RGB8, {1, 2, 3, 4}, {3, 2, 1}},
        {"RGBA8 to BGR8", IL_RGBA8, IL_BGR8, {1, 2, 3, 4}, {3, 2, 1}},
        {"BGRX8 to BGRA16", IL_BGRX8, IL_BGRA16, {1, 2, 3, 4}, {1, 1, 2, 2, 3, 3, 4, 4}},
        {"RGBA8 to BGRA16", IL_RGBA8, IL_BGRA16, {1, 2, 3, 4}, {3, 3, 2, 2, 1, 1, 4, 4}},
        {"BGR8 to RGB16", IL_BGR8, IL_RGB16, {1, 2, 3}, {3, 3, 2, 2, 1, 1}},
        {"grey8 to greyA8", IL_GREY8, IL_GREY_A8, {7}, {7, 0xEE}},
        {"greyA8 to BGRA8", IL_GREY_A8, IL_BGRA8, {7, 9}, {7, 7, 7, 9}},
        {"greyA8 to BGRA16", IL_GREY_A8, IL_RGBA16, {7, 9}, {7, 7, 7, 7, 7, 7, 9, 9}},
        {"BGRA16 to RGBA16",
         IL_BGRA16,
         IL_RGBA16,
         {1, 2, 3, 4, 5, 6, 7, 8},
         {5, 6, 3, 4, 1, 2, 7, 8}},
        {"BGR16 to BGRA16",
         IL_BGR16,
         IL_BGRA16,
         {1, 2, 3, 4, 5, 6},
         {1, 2, 3, 4, 5, 6, 0xEE, 0xEE}},
        {"greyA16 to grey16", IL_GREY_A16, IL_GREY16, {1, 2, 3, 4}, {1, 2}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Conv conv(k.source, k.target, 1);
        ASSERT_TRUE(ILConverterPrepare(&conv.c));
        std::vector<uint8_t> out(k.want.size(), 0xEE);
        conv.Run(k.in, out);
        EXPECT_EQ(out, k.want);
    }

    // 16 to 8 bits with the samples exchanged; dithering off makes it exact.
    Conv narrow(IL_RGBA16, IL_BGR8, 1);
    ILConverterSetDither(&narrow.c, false);
    std::array<uint16_t, 4> rgba16{257 * 10, 257 * 20, 257 * 30, 1};
    std::array<uint8_t, 3> bgr{};
    narrow.Run(rgba16, bgr);
    EXPECT_EQ(bgr, (std::array<uint8_t, 3>{30, 20, 10}));
}

// 1-bit grey in both polarities; 2- and 4-bit grey widen by their integer
// factors; 8-bit samples pack into the top bits.
TEST_F(Rows8BitTest, SubByteGreyUnpacksAndPacks) {
    // Ten pixels 1011 0010 01 in two bytes; the padding bits are 1.
    const std::vector<uint8_t> bits{0xB2, 0x7F};
    const std::vector<uint8_t> whiteSet{255, 0, 255, 255, 0, 0, 255, 0, 0, 255};
    for (int white = 0; white < 2; ++white) {
        SCOPED_TRACE(white);
        ILConverter c;
        ILConverterInit(&c);
        c.oneBitWhite = uint8_t(white);
        ILConverterSetModes(&c, IL_GREY1, IL_GREY8, 10);
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> grey(10);
        c.rowKernel(&c, bits.data(), grey.data());
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(grey[x], white ? whiteSet[x] : 255 - whiteSet[x]) << x;
        ILConverterSetModes(&c, IL_GREY1, IL_BGR16, 10);
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint16_t> bgr16(30);
        c.rowKernel(&c, bits.data(), bgr16.data());
        EXPECT_EQ(bgr16[27], white ? 65535 : 0);
        // To 1-bit grey: a copy when set is white, else every byte inverted,
        // padding included.
        ILConverterSetModes(&c, IL_GREY1, IL_GREY1, 10);
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> out(2);
        c.rowKernel(&c, bits.data(), out.data());
        const std::vector<uint8_t> inverted{0x4D, 0x80};
        EXPECT_EQ(out, white ? bits : inverted);
        ILConverterFree(&c);
    }

    struct Case {
        const char* name;
        ILPixelType source, target;
        uint64_t width;
        std::vector<uint8_t> in, start, want;
    } cases[] = {
        {"grey2 to grey8",
         IL_GREY2,
         IL_GREY8,
         5,
         {0x1B, 0xC0},
         {0, 0, 0, 0, 0},
         {0, 85, 170, 255, 255}},
        {"grey4 to grey8", IL_GREY4, IL_GREY8, 3, {0x3F, 0xA0}, {0, 0, 0}, {51, 255, 170}},
        {"grey4 to grey16", IL_GREY4, IL_GREY16, 2, {0xF1}, {0, 0, 0, 0}, {0xFF, 0xFF, 0x11, 0x11}},
        {"grey2 to grey16", IL_GREY2, IL_GREY16, 2, {0x90}, {0, 0, 0, 0}, {0xAA, 0xAA, 0x55, 0x55}},
        {"grey2 to BGR8", IL_GREY2, IL_RGB8, 1, {0x80}, {0, 0, 0}, {170, 170, 170}},
        {"grey2 to grey4", IL_GREY2, IL_GREY4, 3, {0x1B}, {0xFF, 0xFF}, {0x05, 0xA0}},
        // 127 is clear, 128 set; bits past the width keep the target's.
        {"index8 to index1", IL_INDEX8, IL_INDEX1, 3, {127, 128, 255}, {0x0F}, {0x6F}},
        {"index8 to index2",
         IL_INDEX8,
         IL_INDEX2,
         5,
         {0, 85, 170, 255, 200},
         {0xFF, 0xFF},
         {0x1B, 0xC0}},
        {"index8 to index4",
         IL_INDEX8,
         IL_INDEX4,
         3,
         {0x12, 0xAB, 0xFF},
         {0xFF, 0xFF},
         {0x1A, 0xF0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ILPalette palette(16);
        ILConverter c;
        ILConverterInit(&c);
        ILConverterSetPalette(&c, &palette);
        ILConverterSetModes(&c, k.source, k.target, k.width);
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> out = k.start;
        c.rowKernel(&c, k.in.data(), out.data());
        EXPECT_EQ(out, k.want);
        ILConverterFree(&c);
    }
}

// Hand-made packed pixels: full scale stays full scale, fields land in their
// channels.
TEST_F(Rows8BitTest, PackedColourWidensByBitReplication) {
    struct Case {
        const char* name;
        ILPixelType source, target;
        uint64_t width;
        std::vector<uint8_t> in, want;
    } cases[] = {
        // u16 0xFFFF, then R 31 G 0 B 1 = 0xF801.
        {"565", IL_BGR_565, IL_BGR8, 2, {0xFF, 0xFF, 0x01, 0xF8}, {255, 255, 255, 8, 0, 255}},
        // bit 15 ignored; G 63 -> 255, R 0, B 0 for 0x07E0 in 5-6-5.
        {"565 green", IL_BGR_565, IL_BGR8, 1, {0xE0, 0x07}, {0, 255, 0}},
        {"555", IL_BGR_555, IL_BGR8, 2, {0xFF, 0x7F, 0x10, 0x80}, {255, 255, 255, 132, 0, 0}},
        // B 0x3FF, G 0x200, R 1.
        {"101010", IL_BGR_101010, IL_BGR8, 1, {0xFF, 0x03, 0x18, 0x00}, {255, 128, 0}},
        {"101010 to 16",
         IL_BGR_101010,
         IL_BGR16,
         1,
         {0xFF, 0x03, 0x18, 0x00},
         {0xCC, 0xFF, 0x00, 0x80, 0x44, 0x00}},
        // byte 0: B low, G high; byte 1: R low, filler high.
        {"BGRX4444", IL_BGRX4, IL_BGR8, 1, {0x21, 0xF3}, {17, 34, 51}},
        {"BGRX4444 to RGB", IL_BGRX4, IL_RGB8, 1, {0x21, 0xF3}, {51, 34, 17}},
        // byte 0: R high, G low; byte 1: B high, A low.
        {"RGBA4444", IL_RGBA4, IL_BGRA8, 1, {0x12, 0x34}, {51, 34, 17, 68}},
        {"RGBA4444 no alpha", IL_RGBPA4, IL_BGR8, 1, {0xFF, 0xF0}, {255, 255, 255}},
        // Two pixels in three bytes: R1 G1 B1 R2 G2 B2 = 1 2 3 4 5 6, plus a
        // lone third pixel 7 8 9.
        {"RGB444",
         IL_RGB4,
         IL_BGR8,
         3,
         {0x12, 0x34, 0x56, 0x78, 0x90},
         {51, 34, 17, 102, 85, 68, 153, 136, 119}},
        {"RGB444 to RGB", IL_RGB4, IL_RGB8, 2, {0xFF, 0xF0, 0x00}, {255, 255, 255, 0, 0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Conv conv(k.source, k.target, k.width);
        ASSERT_TRUE(ILConverterPrepare(&conv.c));
        std::vector<uint8_t> out(k.want.size());
        conv.Run(k.in, out);
        EXPECT_EQ(out, k.want);
    }
}

// Premultiplied grey+alpha 8 over the background: transparent gives the
// background codes, opaque the grey itself, partial coverage the encoded mix.
TEST_F(Rows8BitTest, PremultipliedGreyCompositesOverTheBackground) {
    struct Case {
        ILColor background;
        uint8_t v, a;
        std::array<uint8_t, 3> want;
    };
    ILColor teal;
    teal.Set(0.0f, 0.5f, 0.25f);
    ILColor black, white;
    white.SetWhite();
    uint8_t tealBGR[3];
    teal.ToBGR8(tealBGR);
    const Case cases[] = {
        {teal, 77, 0, {tealBGR[0], tealBGR[1], tealBGR[2]}},
        {teal, 77, 255, {77, 77, 77}},
        {black, 200, 100, {100, 100, 100}}, // min(200, 100) / 255 on black
        {white, 50, 100, {205, 205, 205}},  // 1 - 100/255 + 50/255
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(int(k.a));
        Conv conv(IL_GREY_PA8, IL_BGR8, 1);
        ILConverterSetBackground(&conv.c, k.background);
        ILConverterSetAlphaMode(&conv.c, 2);
        ILConverterSetDither(&conv.c, false);
        ASSERT_TRUE(ILConverterPrepare(&conv.c));
        std::array<uint8_t, 2> in{k.v, k.a};
        std::array<uint8_t, 3> out{};
        conv.Run(in, out);
        EXPECT_EQ(out, k.want);
    }

    // BGRA 16: opaque pixels narrow like a plain conversion.
    Conv conv(IL_BGRPA16, IL_BGR8, 2);
    ILConverterSetBackground(&conv.c, teal);
    ILConverterSetAlphaMode(&conv.c, 2);
    ILConverterSetDither(&conv.c, false);
    ASSERT_TRUE(ILConverterPrepare(&conv.c));
    std::array<uint16_t, 8> in{100, 30000, 65535, 65535, 9, 9, 9, 0};
    std::array<uint8_t, 6> out{};
    conv.Run(in, out);
    EXPECT_EQ(out, (std::array<uint8_t, 6>{0, 117, 255, tealBGR[0], tealBGR[1], tealBGR[2]}));
}

TEST_F(Rows8BitTest, GreyMapPassesEverySample) {
    uint8_t map[256];
    for (int i = 0; i < 256; ++i)
        map[i] = uint8_t(255 - i);
    const std::vector<uint8_t> in{0, 10, 255};
    struct Case {
        ILPixelType target;
        std::vector<uint8_t> want;
    } cases[] = {
        {IL_GREY8, {255, 245, 0}},
        {IL_RGB8, {255, 255, 255, 245, 245, 245, 0, 0, 0}},
        {IL_GREY_A8, {255, 0xEE, 245, 0xEE, 0, 0xEE}}, // alpha not written
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.target);
        ILConverter c;
        ILConverterInit(&c);
        c.greyMap = map;
        ILConverterSetModes(&c, IL_GREY8, k.target, 3);
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> out(k.want.size(), 0xEE);
        c.rowKernel(&c, in.data(), out.data());
        EXPECT_EQ(out, k.want);
        ILConverterFree(&c);
    }
}

// Linear sources (float, half, 24-bit float, RGBE) encode through sRGB; NaN
// and infinities give defined codes.
TEST_F(Rows8BitTest, LinearSourcesEncodeAndSaturate) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    {
        Conv conv(IL_BGRA_FLOAT, IL_GREY_A8, 4);
        ILConverterSetDither(&conv.c, false);
        std::array<float, 16> in{nan,  0.0f,  0.0f, 0.5f, inf,  inf,  inf,  nan,
                                 -inf, -1.0f, 0.0f, 2.0f, 0.2f, 0.2f, 0.2f, 1.0f};
        std::array<uint8_t, 8> out{};
        conv.Run(in, out);
        const int grey = int(EncodeSrgb(0.2) * 255 + 0.46875);
        EXPECT_EQ(out, (std::array<uint8_t, 8>{0, 127, 255, 0, 0, 255, uint8_t(grey), 255}));
    }
    {
        Conv conv(IL_BGR_HALF, IL_GREY16, 3);
        std::array<half, 9> in{half(1.0f), half(1.0f), half(1.0f), half(inf), half(inf),
                               half(inf),  half(nan),  half(0.0f), half(0.0f)};
        std::array<uint16_t, 3> out{};
        conv.Run(in, out);
        EXPECT_EQ(out, (std::array<uint16_t, 3>{65535, 65535, 0}));
    }
    {
        // Grey float to 1 bit: white from v + d >= 1; NaN is black.
        Conv conv(IL_GREY_FLOAT, IL_GREY1, 9);
        ILConverterSetDither(&conv.c, false);
        std::array<float, 9> in{0.53125f, 0.53f, nan, inf, -inf, 1.0f, 0.0f, 0.9f, 0.6f};
        std::array<uint8_t, 2> out{0x00, 0x7F};
        conv.Run(in, out);
        EXPECT_EQ(out, (std::array<uint8_t, 2>{0x95, 0xFF}));
    }
    {
        // RGBE (128, 64, 32, 129) is (1.0039, 0.5039, 0.2539); E = 0 is black.
        Conv conv(IL_BGR_RGBE, IL_BGR8, 2);
        ILConverterSetDither(&conv.c, false);
        std::array<uint8_t, 8> in{128, 64, 32, 129, 255, 255, 255, 0};
        std::array<uint8_t, 6> out{};
        conv.Run(in, out);
        EXPECT_NEAR(out[0], EncodeSrgb(32.5 / 128) * 255 + 0.46875, 1.0);
        EXPECT_NEAR(out[1], EncodeSrgb(64.5 / 128) * 255 + 0.46875, 1.0);
        EXPECT_EQ(out[2], 255);
        EXPECT_EQ((std::array<uint8_t, 3>{out[3], out[4], out[5]}),
                  (std::array<uint8_t, 3>{0, 0, 0}));
    }
    {
        // 24-bit floats R, G, B: 1.0 (0x3F0000), 0.25 (0x3D0000), NaN (0x7F0001).
        Conv conv(IL_RGB_FLOAT24, IL_BGR8, 1);
        ILConverterSetDither(&conv.c, false);
        std::array<uint8_t, 9> in{0x00, 0x00, 0x3F, 0x00, 0x00, 0x3D, 0x01, 0x00, 0x7F};
        std::array<uint8_t, 3> out{};
        conv.Run(in, out);
        EXPECT_EQ(out[0], 0);
        EXPECT_NEAR(out[1], EncodeSrgb(0.25) * 255 + 0.46875, 1.0);
        EXPECT_EQ(out[2], 255);
    }
}

// CMYK inks are inverted, turned to linear light and encoded; the result
// must follow the same steps computed in double precision.
TEST_F(Rows8BitTest, CmykFollowsTheInkModel) {
    auto reference = [](const double ink[4], int channel) {
        const double c = 1 - ink[0], m = 1 - ink[1], y = 1 - ink[2], k = 1 - ink[3];
        const double f = std::pow(k, 1.2);
        const double r = std::pow(c, 2.2) * f, g = std::pow(m, 2.2) * f, b = std::pow(y, 2.2) * f;
        const double rgb[3] = {0.951473 * r + 0.134574 * g + 0.018108 * b,
                               0.060909 * r + 0.909772 * g + 0.016185 * b,
                               0.050806 * r + 0.100327 * g + 0.67203 * b};
        return EncodeSrgb(rgb[channel]);
    };
    std::mt19937 rng(3);
    std::vector<uint8_t> cmyka(5 * 64);
    std::vector<uint16_t> cmyka16(5 * 64);
    for (size_t i = 0; i < cmyka.size(); ++i) {
        cmyka[i] = i < 4 ? 0 : uint8_t(rng()); // the first pixel has no ink
        cmyka16[i] = uint16_t(cmyka[i] * 257);
    }
    Conv eight(IL_CMYK_A8, IL_BGRA8, 64), sixteen(IL_CMYK_A16, IL_BGRA16, 64);
    std::vector<uint8_t> bgra(4 * 64);
    std::vector<uint16_t> bgra16(4 * 64);
    eight.Run(cmyka, bgra);
    sixteen.Run(cmyka16, bgra16);
    for (int x = 0; x < 64; ++x) {
        SCOPED_TRACE(x);
        const double ink[4] = {cmyka[5 * x] / 255.0, cmyka[5 * x + 1] / 255.0,
                               cmyka[5 * x + 2] / 255.0, cmyka[5 * x + 3] / 255.0};
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(bgra[4 * x + k], reference(ink, 2 - k) * 255, 1.0);
            EXPECT_NEAR(bgra16[4 * x + k], reference(ink, 2 - k) * 65535, 2.0);
        }
        EXPECT_EQ(bgra[4 * x + 3], cmyka[5 * x + 4]);
        EXPECT_EQ(bgra16[4 * x + 3], cmyka16[5 * x + 4]);
    }
}

// Every kernel of the family stays inside its rows: the source is exactly as
// long as the row (the sanitizer build reports any read past it) and bytes
// after the target row keep their value.
uint64_t RowBytes(ILPixelType type, uint64_t width) {
    switch (type & (IL_KIND_MASK | IL_MODEL_MASK)) {
        case IL_BGR_555:
        case IL_BGR_565:
            return 2 * width;
        case IL_BGR_101010:
        case IL_BGR_RGBE:
            return 4 * width;
    }
    return (width * ILBitsPerSample(type) * ILChannelCount(type) + 7) / 8;
}

TEST_F(Rows8BitTest, KernelsStayInsideTheirRows) {
    std::mt19937 rng(11);
    uint8_t map[256];
    for (int i = 0; i < 256; ++i)
        map[i] = uint8_t(i);
    for (const ILKernelEntry& e : ILKernels8Bit()) {
        SCOPED_TRACE(::testing::Message() << std::hex << e.source << " -> " << e.target);
        for (const uint64_t width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 33}) {
            ILConverter c;
            ILConverterInit(&c);
            c.width = width;
            c.greyMap = map;
            std::vector<uint8_t> source(RowBytes(e.source, width));
            for (uint8_t& b : source)
                b = uint8_t(rng());
            const uint64_t targetBytes = RowBytes(e.target, width);
            std::vector<uint8_t> target(targetBytes + 16, 0x5A);
            e.kernel(&c, source.data(), target.data());
            for (uint64_t i = targetBytes; i < target.size(); ++i)
                ASSERT_EQ(target[i], 0x5A) << "width " << width << ", byte " << i;
            ILConverterFree(&c);
        }
    }
}

} // namespace
