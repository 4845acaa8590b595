#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "viewer/logic/dib_render.h"

namespace {

// What the converter sets up on first need lives while a handle does.
class DibRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() { handle_ = ILCreateHandle("dib test"); }
    static void TearDownTestSuite() { ILDestroyHandle(handle_); }
    static inline ILHandle* handle_ = nullptr;
};

struct Image : ILImage {
    Image() { ILInitImage(this); }
    ~Image() { ILClearImage(this); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

void MakeImage(Image& image, uint32_t w, uint32_t h, ILPixelType type) {
    ASSERT_EQ(ILCreateImage(&image, w, h, type, nullptr), IL_OK);
    std::memset(image.data, 0, size_t(image.stride) * h);
}

std::vector<uint8_t> TableEntry(const DibBuffer& dib, uint32_t i) {
    const uint8_t* t = dib.ColorTable() + 4 * i;
    return {t[0], t[1], t[2], t[3]};
}

std::vector<uint8_t> Pixel24(const DibBuffer& dib, uint32_t x, uint32_t y) {
    const uint8_t* p = dib.pixels + y * dib.stride + 3 * x;
    return {p[0], p[1], p[2]};
}

TEST_F(DibRender, ChoosesBitsSharingAndTableByPixelType) {
    struct Row {
        const char* name;
        ILPixelType type;
        bool useAlpha;
        uint32_t bits;
        bool shared;
        uint32_t entries;
    };
    const Row rows[] = {
        {"grey 1", IL_GREY1, false, 1, true, 2},
        {"grey 2 widens", IL_GREY2, false, 8, false, 256},
        {"grey 4", IL_GREY4, false, 4, true, 16},
        {"grey 8", IL_GREY8, false, 8, true, 256},
        {"grey 16", IL_GREY16, false, 8, false, 256},
        {"grey float", IL_GREY_FLOAT, false, 8, false, 256},
        {"grey alpha, alpha off", IL_GREY_A8, false, 8, false, 256},
        // Blended grey goes to a 24-bit bitmap like every blended image.
        {"grey alpha, alpha on", IL_GREY_A8, true, 24, false, 0},
        {"rgb 8", IL_BGR8, false, 24, true, 0},
        {"rgb 8 in R,G,B order", IL_RGB8, false, 24, false, 0},
        {"rgb 16", IL_BGR16, false, 24, false, 0},
        {"rgb float", IL_BGR_FLOAT, false, 24, false, 0},
        {"rgba 8, alpha off", IL_BGRA8, false, 32, true, 0},
        {"rgba 8, alpha on", IL_BGRA8, true, 24, false, 0},
        {"rgba 16, alpha off", IL_BGRA16, false, 24, false, 0},
        {"rgb 8 with filler, alpha on", IL_BGRX8, true, 32, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image image;
        MakeImage(image, 5, 3, row.type);
        DibBuffer dib;
        ASSERT_TRUE(dib.Render(image, ILColor{}, row.useAlpha));
        EXPECT_EQ(dib.Bits(), row.bits);
        EXPECT_EQ(dib.pixels == image.data, row.shared);
        EXPECT_EQ(dib.ownsPixels, !row.shared);
        EXPECT_EQ(dib.ColorCount(), row.entries);
        const DibHeader& h = *dib.header;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 5);
        EXPECT_EQ(h.biHeight, -3);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(dib.stride % 4, 0);
        EXPECT_EQ(h.biSizeImage, 3 * dib.stride);
        EXPECT_EQ(h.biClrImportant, row.entries);
    }
}

TEST_F(DibRender, GreyTablesAreEvenRamps) {
    for (ILPixelType type : {IL_GREY1, IL_GREY4, IL_GREY16}) {
        SCOPED_TRACE(type);
        Image image;
        MakeImage(image, 2, 2, type);
        DibBuffer dib;
        ASSERT_TRUE(dib.Render(image, ILColor{}, false));
        const uint32_t n = dib.ColorCount();
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t v = static_cast<uint8_t>(255 / (n - 1) * i);
            ASSERT_EQ(TableEntry(dib, i), (std::vector<uint8_t>{v, v, v, 0})) << "entry " << i;
        }
        EXPECT_EQ(TableEntry(dib, n - 1)[0], 255);
    }
}

TEST_F(DibRender, IndexedTablesComeFromThePalette) {
    // An 8-bit image shares its indices; a 2-bit one is widened to 8 bits and
    // keeps its four colours first in a table whose other entries are black.
    for (ILPixelType type : {IL_INDEX8, IL_INDEX2}) {
        SCOPED_TRACE(type);
        Image image;
        MakeImage(image, 4, 1, type);
        image.palette = new ILPalette(4);
        for (uint32_t i = 0; i < 4; ++i)
            image.palette->SetEntryBGR8(i, uint8_t(10 * i + 1), uint8_t(10 * i + 2),
                                        uint8_t(10 * i + 3));
        // Indices 3, 2, 1, 0.
        if (type == IL_INDEX8)
            for (int x = 0; x < 4; ++x)
                image.data[x] = uint8_t(3 - x);
        else
            image.data[0] = 0b11100100;

        DibBuffer dib;
        ASSERT_TRUE(dib.Render(image, ILColor{}, false));
        ASSERT_EQ(dib.Bits(), 8u);
        ASSERT_EQ(dib.ColorCount(), 256u);
        EXPECT_EQ(TableEntry(dib, 2), (std::vector<uint8_t>{21, 22, 23, 0}));
        EXPECT_EQ(TableEntry(dib, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dib.pixels[x], 3 - x) << "x " << x;
    }
}

TEST_F(DibRender, ConvertedRowsKeepTheirOrderAndColours) {
    // RGB 16 with codes v * 257 narrows to exactly v; R,G,B order is turned
    // into the B,G,R order of a DIB.
    Image wide;
    MakeImage(wide, 3, 2, IL_BGR16);
    Image swapped;
    MakeImage(swapped, 3, 2, IL_RGB8);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x) {
            const uint8_t b = uint8_t(40 * x + y), g = uint8_t(100 + y), r = uint8_t(200 + x);
            auto* w = reinterpret_cast<uint16_t*>(wide.data + y * wide.stride) + 3 * x;
            w[0] = b * 257, w[1] = g * 257, w[2] = r * 257;
            uint8_t* s = swapped.data + y * swapped.stride + 3 * x;
            s[0] = r, s[1] = g, s[2] = b;
        }
    for (const Image* image : {&wide, &swapped}) {
        DibBuffer dib;
        ASSERT_TRUE(dib.Render(*image, ILColor{}, false));
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 3; ++x)
                EXPECT_EQ(
                    Pixel24(dib, x, y),
                    (std::vector<uint8_t>{uint8_t(40 * x + y), uint8_t(100 + y), uint8_t(200 + x)}))
                    << "type " << image->type << " at " << x << "," << y;
    }
}

TEST_F(DibRender, AlphaBlendsOntoTheBackground) {
    ILColor background;
    background.Set(1, 0, 0); // red, B,G,R 0,0,255
    const std::vector<uint8_t> red{0, 0, 255};

    Image rgba;
    MakeImage(rgba, 2, 1, IL_BGRA8);
    const uint8_t pixels[] = {10, 20, 30, 0, 10, 20, 30, 255};
    std::memcpy(rgba.data, pixels, sizeof pixels);
    Image greyAlpha;
    MakeImage(greyAlpha, 2, 1, IL_GREY_A8);
    const uint8_t greys[] = {77, 0, 77, 255};
    std::memcpy(greyAlpha.data, greys, sizeof greys);

    DibBuffer dib;
    ASSERT_TRUE(dib.Render(rgba, background, true));
    EXPECT_EQ(Pixel24(dib, 0, 0), red);
    EXPECT_EQ(Pixel24(dib, 1, 0), (std::vector<uint8_t>{10, 20, 30}));
    ASSERT_TRUE(dib.Render(greyAlpha, background, true));
    EXPECT_EQ(Pixel24(dib, 0, 0), red);
    EXPECT_EQ(Pixel24(dib, 1, 0), (std::vector<uint8_t>{77, 77, 77}));
    // Without alpha the grey is shown as it is.
    ASSERT_TRUE(dib.Render(greyAlpha, background, false));
    EXPECT_EQ(dib.pixels[0], 77);
    EXPECT_EQ(dib.pixels[1], 77);
}

TEST_F(DibRender, RowsOfAViewAreCopiedNotShared) {
    // A view into a wider image keeps the parent's stride, which a DIB of the
    // view's width cannot use.
    Image parent;
    MakeImage(parent, 16, 3, IL_GREY8);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            parent.data[y * parent.stride + x] = uint8_t(16 * y + x);
    ILImage view;
    ILInitImage(&view);
    ASSERT_EQ(ILViewImageRect(&view, &parent, 2, 1, 3, 2), IL_OK);

    DibBuffer dib;
    ASSERT_TRUE(dib.Render(view, ILColor{}, false));
    EXPECT_TRUE(dib.ownsPixels);
    EXPECT_EQ(dib.stride, 4);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(dib.pixels[y * dib.stride + x], 16 * (y + 1) + x + 2);
}

TEST_F(DibRender, RefusesWhatADibCannotHold) {
    DibBuffer dib;
    // 100000 x 100000 x 32 bits does not fit biSizeImage: refused before any
    // allocation is tried.
    EXPECT_FALSE(dib.Create(100000, 100000, 32, nullptr));
    EXPECT_TRUE(dib.IsEmpty());
    EXPECT_FALSE(dib.Create(0, 10, 8, nullptr));

    Image empty;
    EXPECT_FALSE(dib.Render(empty, ILColor{}, false));
    EXPECT_TRUE(dib.IsEmpty());

    // A failed render leaves an earlier bitmap freed, not half-replaced.
    Image image;
    MakeImage(image, 2, 2, IL_GREY8);
    ASSERT_TRUE(dib.Render(image, ILColor{}, false));
    image.type = 0x0F; // a colour model no conversion knows
    EXPECT_FALSE(dib.Render(image, ILColor{}, false));
    EXPECT_TRUE(dib.IsEmpty());
    EXPECT_EQ(dib.pixels, nullptr);
}

TEST_F(DibRender, RenderingAgainReusesTheRowsOnlyWhenTheSizeAgrees) {
    // 4 x 2 and 8 x 1 pixels of B,G,R 8 take 24 bytes each: the second render
    // keeps the block but must lay out its own rows and header.
    Image first, second, shared;
    MakeImage(first, 4, 2, IL_BGR16);
    MakeImage(second, 8, 1, IL_BGR16);
    MakeImage(shared, 8, 1, IL_BGR8);
    for (uint32_t x = 0; x < 8; ++x)
        reinterpret_cast<uint16_t*>(second.data)[3 * x] = uint16_t(x * 257);

    DibBuffer dib;
    ASSERT_TRUE(dib.Render(first, ILColor{}, false));
    const uint8_t* block = dib.pixels;
    ASSERT_TRUE(dib.Render(second, ILColor{}, false));
    EXPECT_EQ(dib.pixels, block);
    EXPECT_EQ(dib.Width(), 8u);
    EXPECT_EQ(dib.stride, 24);
    for (uint32_t x = 0; x < 8; ++x)
        EXPECT_EQ(Pixel24(dib, x, 0)[0], x) << "x " << x;
    // Shared rows replace the block, which is freed (the leak checker of the
    // sanitizer build sees it otherwise).
    ASSERT_TRUE(dib.Render(shared, ILColor{}, false));
    EXPECT_EQ(dib.pixels, shared.data);
    EXPECT_EQ(dib.ownedBytes, 0u);
}

TEST_F(DibRender, CreateFillsTheHeader) {
    DibBuffer dib;
    ASSERT_TRUE(dib.Create(33, 2, 1, nullptr));
    EXPECT_EQ(dib.stride, 8);
    EXPECT_EQ(dib.header->biSizeImage, 16u);
    EXPECT_EQ(dib.header->biClrUsed, 2u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(dib.pixels) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(dib.header) % 16, 0u);
    ASSERT_TRUE(dib.Create(5, 1, 24, nullptr));
    EXPECT_EQ(dib.stride, 16);
    EXPECT_EQ(dib.header->biClrUsed, 0u);
}

} // namespace

namespace {

// A one-pixel line pattern shrunk to 13 %: every pixel of the reduction is
// an even mid grey, for indexed bitmaps (through the colour table) and a
// B,G,R one, and the copy is kept until the size changes.
TEST_F(DibRender, ReductionsAverageFineLinePatterns) {
    for (uint32_t bits : {1u, 8u, 24u}) {
        DibBuffer dib;
        ASSERT_TRUE(dib.Create(400, 300, bits, nullptr));
        std::memset(dib.pixels, 0, size_t(dib.stride) * 300);
        if (bits <= 8) {
            uint8_t* table = dib.ColorTable();
            std::memset(table, 0, 4 * size_t(dib.ColorCount()));
            std::memset(table + 4, 255, 3); // entry 1 white
        }
        for (uint32_t y = 0; y < 300; ++y) {
            uint8_t* row = dib.pixels + y * dib.stride;
            for (uint32_t x = 0; x < 400; ++x) {
                const bool white = x % 2 == 1;
                if (bits == 1) {
                    if (white) row[x / 8] |= uint8_t(0x80 >> (x % 8));
                } else if (bits == 8) {
                    row[x] = white;
                } else {
                    std::memset(row + 3 * x, white ? 255 : 0, 3);
                }
            }
        }
        const DibBuffer* small = dib.Reduced(52, 39);
        ASSERT_NE(small, nullptr) << bits;
        EXPECT_EQ(small->Width(), 52u);
        EXPECT_EQ(small->Bits(), 24u);
        int low = 255, high = 0;
        for (uint32_t y = 0; y < 39; ++y)
            for (uint32_t x = 0; x < 52 * 3; ++x) {
                low = std::min<int>(low, small->pixels[y * small->stride + x]);
                high = std::max<int>(high, small->pixels[y * small->stride + x]);
            }
        // A target covers 7.7 source columns: the white share varies by at
        // most half a column either way, under 17 levels; picking pixels
        // instead gives black and white bands.
        EXPECT_LE(high - low, 16) << bits;
        EXPECT_NEAR((low + high) / 2, 128, 4) << bits;
        EXPECT_EQ(dib.Reduced(52, 39), small);
        EXPECT_EQ(dib.Reduced(40, 30)->Width(), 40u);
    }
}

} // namespace
