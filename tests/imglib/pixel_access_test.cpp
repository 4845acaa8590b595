#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/image.h"

namespace {

struct Image : ILImage {
    Image() { ILInitImage(this); }
    ~Image() { ILClearImage(this); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

// Sub-byte pixels: setting pixel x to all ones in a cleared row, and to zero
// in a row of ones, touches exactly the bits from the top of byte x*bpp/8.
TEST(PixelAccess, SubBytePixelsArePackedFromTheTop) {
    for (ILPixelType type : {IL_GREY1, IL_GREY2, IL_GREY4}) {
        Image image;
        ASSERT_EQ(ILCreateImage(&image, 16, 1, type, nullptr), IL_OK);
        const uint32_t bpp = image.bits;
        ILSetPixelProc set = nullptr;
        ILGetPixelProc get = nullptr;
        ASSERT_TRUE(ILGetPixelAccessors(&image, &set, &get));
        const uint8_t ones = static_cast<uint8_t>((1u << bpp) - 1), zero = 0;
        for (int32_t x = 0; x < 16; ++x) {
            SCOPED_TRACE(::testing::Message() << "bpp " << bpp << " x " << x);
            const uint32_t byte = x * bpp / 8;
            const uint8_t mask = static_cast<uint8_t>(ones << (8 - bpp * (x % (8 / bpp) + 1)));

            std::memset(image.data, 0, 4);
            set(&image, x, 0, &ones);
            for (uint32_t i = 0; i < 4; ++i)
                EXPECT_EQ(image.data[i], i == byte ? mask : 0) << "byte " << i;
            uint8_t value = 0;
            get(&image, x, 0, &value);
            EXPECT_EQ(value, ones);

            std::memset(image.data, 0xFF, 4);
            set(&image, x, 0, &zero);
            for (uint32_t i = 0; i < 4; ++i)
                EXPECT_EQ(image.data[i], i == byte ? 0xFF ^ mask : 0xFF) << "byte " << i;
            get(&image, x, 0, &value);
            EXPECT_EQ(value, 0);
        }
    }
}

TEST(PixelAccess, KnownPositions) {
    Image image;
    ASSERT_EQ(ILCreateImage(&image, 8, 2, IL_GREY2, nullptr), IL_OK);
    image.data[4 + 1] = 0b00100000; // row 1, byte 1: pixel 5 holds bits 5..4 = 2
    uint8_t value = 0;
    ILGetPixel2(&image, 5, 1, &value);
    EXPECT_EQ(value, 2);
    ILGetPixel2(&image, 4, 1, &value);
    EXPECT_EQ(value, 0);

    Image nibbles;
    ASSERT_EQ(ILCreateImage(&nibbles, 8, 1, IL_INDEX4, nullptr), IL_OK);
    std::memset(nibbles.data, 0xAB, 4);
    const uint8_t v = 0x15; // only the low nibble counts
    ILSetPixel4(&nibbles, 3, 0, &v);
    EXPECT_EQ(nibbles.data[1], 0xA5);
    EXPECT_EQ(nibbles.data[0], 0xAB);
    EXPECT_EQ(nibbles.data[2], 0xAB);

    Image bits;
    ASSERT_EQ(ILCreateImage(&bits, 16, 1, IL_GREY1, nullptr), IL_OK);
    std::memset(bits.data, 0, 4);
    const uint8_t odd = 3; // bit 0 decides
    ILSetPixel1(&bits, 9, 0, &odd);
    EXPECT_EQ(bits.data[1], 0x40);
}

// Wide pixels: every pixel of every row gets its own value, read back
// through the getter and found at x * bytes in its row.
TEST(PixelAccess, WidePixelsRoundTrip) {
    const ILPixelType types[] = {IL_GREY8,  IL_GREY_A8,    IL_BGR8,      IL_BGRA8,   IL_BGR16,
                                 IL_BGRA16, IL_BGRA_FLOAT, IL_BGR_FLOAT, IL_BGR_HALF};
    for (ILPixelType type : types) {
        SCOPED_TRACE(::testing::Message() << std::hex << "type 0x" << type);
        Image image;
        ASSERT_EQ(ILCreateImage(&image, 5, 3, type, nullptr), IL_OK);
        const uint32_t bytes = image.channels * image.bits / 8;
        ILSetPixelProc set = nullptr;
        ILGetPixelProc get = nullptr;
        ASSERT_TRUE(ILGetPixelAccessors(&image, &set, &get));
        auto valueOf = [&](int32_t x, int32_t y, uint8_t* v) {
            for (uint32_t i = 0; i < 16; ++i)
                v[i] = static_cast<uint8_t>(i < bytes ? 1 + x * 31 + y * 7 + i : 0xEE);
        };
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 5; ++x) {
                uint8_t v[16];
                valueOf(x, y, v);
                set(&image, x, y, v);
            }
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 5; ++x) {
                uint8_t want[16], have[16];
                valueOf(x, y, want);
                std::memset(have, 0xEE, sizeof have);
                get(&image, x, y, have);
                EXPECT_EQ(std::memcmp(have, want, 16), 0) << x << "," << y;
                EXPECT_EQ(std::memcmp(image.data + y * image.stride + x * bytes, want, bytes), 0);
            }
    }
}

TEST(PixelAccess, UnknownDepthHasNoAccessors) {
    ILImage image;
    ILInitImage(&image);
    image.channels = 3;
    image.bits = 4; // 12 bits per pixel
    ILSetPixelProc set = nullptr;
    ILGetPixelProc get = nullptr;
    EXPECT_FALSE(ILGetPixelAccessors(&image, &set, &get));
    EXPECT_EQ(set, nullptr);
    EXPECT_EQ(get, nullptr);
    image.channels = 1;
    image.bits = 8;
    EXPECT_TRUE(ILGetPixelAccessors(&image, nullptr, &get));
    EXPECT_EQ(get, &ILGetPixel8);
}

TEST(PixelAccess, TestBitCountsFromTheTopOfEachByte) {
    const uint8_t bytes[] = {0x80, 0x08, 0x01};
    EXPECT_TRUE(ILTestBit(bytes, 0));
    EXPECT_FALSE(ILTestBit(bytes, 1));
    EXPECT_TRUE(ILTestBit(bytes, 12));
    EXPECT_FALSE(ILTestBit(bytes, 11));
    EXPECT_TRUE(ILTestBit(bytes, 23));
    EXPECT_FALSE(ILTestBit(bytes, 7));
}

TEST(Fill, EveryPixelGetsTheValue) {
    const ILPixelType types[] = {IL_GREY1,     IL_GREY2,      IL_GREY4,    IL_GREY8, IL_GREY16,
                                 IL_GREY_A8,   IL_BGR8,       IL_BGRA8,    IL_BGR16, IL_BGRA16,
                                 IL_BGR_FLOAT, IL_BGRA_FLOAT, IL_BGRA_HALF};
    for (ILPixelType type : types) {
        SCOPED_TRACE(::testing::Message() << std::hex << "type 0x" << type);
        Image image;
        ASSERT_EQ(ILCreateImage(&image, 7, 3, type, nullptr), IL_OK);
        std::memset(image.data, 0x5A, image.stride * 3);
        uint8_t value[16];
        for (uint8_t i = 0; i < 16; ++i)
            value[i] = static_cast<uint8_t>(0xC1 + i * 3);
        const uint32_t bpp = image.channels * image.bits;
        if (bpp < 8) value[0] = static_cast<uint8_t>((1u << bpp) - 2 + (bpp == 1)); // 1, 2, 14
        ASSERT_EQ(ILFillImagePixel(&image, value), IL_OK);

        ILGetPixelProc get = nullptr;
        ASSERT_TRUE(ILGetPixelAccessors(&image, nullptr, &get));
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 7; ++x) {
                uint8_t have[16] = {};
                get(&image, x, y, have);
                EXPECT_EQ(std::memcmp(have, value, bpp < 8 ? 1 : bpp / 8), 0) << x << "," << y;
            }
    }
}

TEST(Fill, SubByteValuesFillWholeBytes) {
    struct Row {
        ILPixelType type;
        uint8_t value, byte;
    };
    const Row rows[] = {
        {IL_GREY1, 1, 0xFF}, {IL_GREY1, 0, 0x00}, {IL_GREY2, 2, 0xAA}, {IL_GREY4, 6, 0x66}};
    for (const Row& row : rows) {
        Image image;
        ASSERT_EQ(ILCreateImage(&image, 32, 2, row.type, nullptr), IL_OK);
        ASSERT_EQ(ILFillImagePixel(&image, &row.value), IL_OK);
        for (int64_t i = 0; i < image.stride * 2; ++i)
            ASSERT_EQ(image.data[i], row.byte) << std::hex << row.type << " byte " << i;
    }
}

// Filling a view changes only the view's pixels, not the rest of its parent,
// even where a row's stride reaches beyond the view.
TEST(Fill, ViewLeavesItsParentAlone) {
    Image parent;
    ASSERT_EQ(ILCreateImage(&parent, 10, 6, IL_BGR8, nullptr), IL_OK); // stride 32
    std::memset(parent.data, 0, 32 * 6);
    ILImage view;
    ASSERT_EQ(ILViewImageRect(&view, &parent, 7, 3, 3, 3), IL_OK);
    const uint8_t bgr[16] = {1, 2, 3};
    ASSERT_EQ(ILFillImagePixel(&view, bgr), IL_OK);
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 7 && y >= 3;
            const uint8_t* p = parent.data + y * 32 + x * 3;
            EXPECT_EQ(p[0], inside ? 1 : 0) << x << "," << y;
            EXPECT_EQ(p[2], inside ? 3 : 0) << x << "," << y;
        }
}

TEST(Fill, InvalidImagesAreRefused) {
    Image indexedWithoutPalette;
    ASSERT_EQ(ILCreateImage(&indexedWithoutPalette, 2, 2, IL_INDEX8, nullptr), IL_OK);
    const uint8_t value[16] = {};
    EXPECT_EQ(ILFillImagePixel(&indexedWithoutPalette, value), IL_BAD_ARGUMENT);
    Image empty;
    EXPECT_EQ(ILFillImagePixel(&empty, value), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILFillImage(&empty, ILColor{}), IL_BAD_ARGUMENT);
}

TEST(Fill, ColoursArePackedForTheImageType) {
    // Colours encode through the sRGB tables, which live with a handle.
    std::unique_ptr<ILHandle, bool (*)(ILHandle*)> handle(ILCreateHandle("test"), ILDestroyHandle);
    Image indexed;
    ASSERT_EQ(ILCreateImage(&indexed, 3, 2, IL_INDEX8, nullptr), IL_OK);
    indexed.palette = new ILPalette(8);
    std::memset(indexed.data, 9, 8);
    ILColor colour;
    colour.index = 5;
    ASSERT_EQ(ILFillImage(&indexed, colour), IL_OK);
    for (int i : {0, 1, 2, 4, 5, 6})
        EXPECT_EQ(indexed.data[i], 5) << i;
    colour.index = -1; // an indexed image needs an index
    std::memset(indexed.data, 9, 8);
    EXPECT_EQ(ILFillImage(&indexed, colour), IL_BAD_ARGUMENT);
    EXPECT_EQ(indexed.data[0], 9);

    Image bits;
    ASSERT_EQ(ILCreateImage(&bits, 32, 3, IL_GREY1, nullptr), IL_OK);
    std::memset(bits.data, 0, 12);
    ILColor white;
    white.SetWhite();
    ASSERT_EQ(ILFillImage(&bits, white), IL_OK);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(bits.data[i], 0xFF) << i;

    Image rgba;
    ASSERT_EQ(ILCreateImage(&rgba, 2, 1, IL_BGRA8, nullptr), IL_OK);
    ILColor red;
    red.Set(1, 0, 0);
    ASSERT_EQ(ILFillImage(&rgba, red), IL_OK);
    EXPECT_EQ(std::vector<uint8_t>(rgba.data, rgba.data + 8),
              (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 255, 255}));
}

TEST(UsedPaletteSize, ByTypeAndLargestIndex) {
    struct Row {
        const char* name;
        ILPixelType type;
        bool palette;
        uint32_t size;
    };
    const Row rows[] = {
        {"grey 1", IL_GREY1, false, 2},
        {"grey 4", IL_GREY4, false, 16},
        {"grey 8", IL_GREY8, false, 256},
        {"grey 16", IL_GREY16, false, 65536},
        {"indexed 2", IL_INDEX2, true, 4},
        {"indexed 4", IL_INDEX4, true, 16},
        {"indexed 8 without palette", IL_INDEX8, false, 0},
        {"RGB 8", IL_BGR8, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image image;
        ASSERT_EQ(ILCreateImage(&image, 4, 2, row.type, nullptr), IL_OK);
        if (row.palette) image.palette = new ILPalette(2);
        EXPECT_EQ(image.UsedPaletteSize(), row.size);
    }

    // The padding of each row (here 0xFF) is not a pixel.
    Image indexed;
    ASSERT_EQ(ILCreateImage(&indexed, 301, 2, IL_INDEX8, nullptr), IL_OK);
    ASSERT_EQ(indexed.stride, 304);
    indexed.palette = new ILPalette(256);
    std::memset(indexed.data, 0xFF, 608);
    std::memset(indexed.data, 3, 301);
    std::memset(indexed.data + 304, 1, 301);
    indexed.data[304 + 300] = 40;
    EXPECT_EQ(indexed.UsedPaletteSize(), 64u);
    const std::pair<uint8_t, uint32_t> limits[] = {{0, 2},   {1, 2},    {2, 4},     {3, 4},
                                                   {7, 8},   {8, 16},   {15, 16},   {16, 32},
                                                   {63, 64}, {64, 128}, {128, 256}, {255, 256}};
    for (auto [largest, size] : limits) {
        std::memset(indexed.data, 0, 301);
        std::memset(indexed.data + 304, 0, 301);
        indexed.data[150] = largest;
        EXPECT_EQ(indexed.UsedPaletteSize(), size) << int{largest};
    }
}

} // namespace
