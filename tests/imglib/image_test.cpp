#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/image.h"

namespace {

// Owns an image record for one test.
struct Image : ILImage {
    Image() { ILInitImage(this); }
    ~Image() { ILClearImage(this); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

// Fills every byte of the buffer (padding included) with a counting pattern.
void Pattern(ILImage* image, uint8_t seed = 1) {
    const uint64_t size = static_cast<uint64_t>(image->stride) * image->height;
    for (uint64_t i = 0; i < size; ++i)
        image->data[i] = static_cast<uint8_t>(seed + i * 7);
}

bool IsZeroed(const ILImage& image) {
    return !image.data && image.width == 0 && image.height == 0 && image.stride == 0 &&
           image.type == 0 && image.channels == 0 && image.bits == 0 && !image.ownsData &&
           !image.palette;
}

TEST(ImageAlloc, StridesChannelsAndStoredTypes) {
    struct Row {
        uint32_t width;
        ILPixelType type;
        int64_t stride;
        uint32_t channels, bits;
        ILPixelType storedType;
    };
    const Row rows[] = {
        {3, IL_GREY8, 4, 1, 8, IL_GREY8},
        {3, IL_BGR8, 12, 3, 8, IL_BGR8},
        {33, IL_GREY1, 8, 1, 1, IL_GREY1},
        {5, IL_GREY2, 4, 1, 2, IL_GREY2},
        {9, IL_INDEX4, 8, 1, 4, IL_INDEX4},
        {3, IL_GREY_A8, 8, 2, 8, IL_GREY_A8},
        {3, IL_BGRA8, 12, 4, 8, IL_BGRA8},
        {3, IL_BGR16, 20, 3, 16, IL_BGR16},
        {1, IL_BGRA_FLOAT, 16, 4, 32, IL_BGRA_FLOAT},
        {3, IL_BGR_HALF, 20, 3, 16, IL_BGR_HALF},
        {2, IL_INDEX_A8, 4, 1, 8, IL_INDEX_A8}, // indexed never counts an extra channel
        // An even count without an extra flag gains the filler flag.
        {3, IL_CMYK8, 12, 4, 8, IL_CMYK_X8},
        {1, IL_CMYK16, 8, 4, 16, IL_CMYK_X16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << std::hex << "type 0x" << row.type);
        Image image;
        ASSERT_EQ(ILAllocImage(&image, row.width, 2, row.type, nullptr), IL_OK);
        EXPECT_EQ(image.stride, row.stride);
        EXPECT_EQ(image.channels, row.channels);
        EXPECT_EQ(image.bits, row.bits);
        EXPECT_EQ(image.type, row.storedType);
        EXPECT_TRUE(image.ownsData);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(image.data) % 16, 0u);
        std::memset(image.data, 0xAB, image.stride * 2); // the whole buffer is ours
    }
}

TEST(ImageAlloc, EmptyAndOversizedImagesAreRefused) {
    struct Row {
        const char* name;
        uint32_t width, height;
        ILPixelType type;
    };
    const Row rows[] = {
        {"zero width", 0, 5, IL_GREY8},
        {"zero height", 5, 0, IL_GREY8},
        {"no model or kind", 5, 5, 0x0},
        {"unknown kind", 5, 5, 0x81},
        // 2^31 pixels of 24 bits: the row's bit count passes 32 bits, where a
        // 32-bit product would wrap to a short stride.
        {"row wraps 32 bits", 0x80000000u, 1, IL_BGR8},
        {"row of 2^32 - 24 bits", 536870909u, 1, IL_GREY8},
        {"float RGBA row", 0x08000000u, 1, IL_BGRA_FLOAT},
    };
    uint8_t buffer[16];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image image;
        image.background.index = 9;
        EXPECT_EQ(ILAllocImage(&image, row.width, row.height, row.type, nullptr), IL_BAD_ARGUMENT);
        EXPECT_TRUE(IsZeroed(image));
        EXPECT_EQ(image.background.index, 0);
        // With a caller's buffer the same geometry is refused as well.
        EXPECT_EQ(ILAllocImage(&image, row.width, row.height, row.type, buffer), IL_BAD_ARGUMENT);
        EXPECT_TRUE(IsZeroed(image));
    }
    EXPECT_EQ(ILRowStride(0x80000000u, 8, 3), 0u);
    EXPECT_EQ(ILRowStride(UINT32_MAX, UINT32_MAX, UINT32_MAX), 0u);
    // The largest row that fits: 2^32 - 32 bits.
    EXPECT_EQ(ILRowStride(536870908u, 8, 1), 536870908u);
    Image borrowed;
    EXPECT_EQ(ILAllocImage(&borrowed, 536870908u, 1, IL_GREY8, buffer), IL_OK);
    EXPECT_FALSE(borrowed.ownsData);
    EXPECT_EQ(borrowed.data, buffer);
    borrowed.data = nullptr;
}

TEST(ImageAlloc, BufferSizeIsTakenIn64Bits) {
    EXPECT_EQ(ILImageBufferSize(3, 2, IL_BGR8), 24u);
    EXPECT_EQ(ILImageBufferSize(33, 1, IL_GREY1), 8u);
    EXPECT_EQ(ILImageBufferSize(100000, 100000, IL_BGRA_FLOAT), 160000000000ull);
    EXPECT_EQ(ILImageBufferSize(UINT32_MAX, UINT32_MAX, IL_BGRA_FLOAT), UINT64_MAX);
}

TEST(ImageLife, ClearFreesAndZeroes) {
    Image image;
    EXPECT_EQ(image.background.a, 1.0f);
    EXPECT_EQ(image.background.index, -1);
    ASSERT_EQ(ILCreateImage(&image, 4, 4, IL_INDEX8, nullptr), IL_OK);
    image.palette = new ILPalette(4);
    ILClearImage(&image);
    EXPECT_TRUE(IsZeroed(image));
    EXPECT_EQ(image.background.a, 0.0f);
    EXPECT_EQ(image.background.index, 0);
}

TEST(ImageLife, MoveKeepsOrTakesThePalette) {
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "keep target palette" : "take source palette");
        Image target, source;
        ASSERT_EQ(ILCreateImage(&target, 2, 2, IL_INDEX8, nullptr), IL_OK);
        ASSERT_EQ(ILCreateImage(&source, 3, 3, IL_INDEX8, nullptr), IL_OK);
        ILPalette* targetPalette = target.palette = new ILPalette(2);
        ILPalette* sourcePalette = source.palette = new ILPalette(3);
        uint8_t* pixels = source.data;

        ILMoveImage(&target, &source, true, keep);
        EXPECT_EQ(target.data, pixels);
        EXPECT_EQ(target.width, 3u);
        EXPECT_TRUE(IsZeroed(source));
        if (keep) {
            EXPECT_EQ(target.palette, targetPalette);
            delete sourcePalette; // the caller's to free when it keeps its own
        } else {
            EXPECT_EQ(target.palette, sourcePalette);
        }
    }
}

TEST(ImageLife, AliasSharesWithoutOwning) {
    Image source, alias;
    ASSERT_EQ(ILCreateImage(&source, 4, 4, IL_INDEX8, nullptr), IL_OK);
    source.palette = new ILPalette(4);
    ILAliasImage(&alias, &source);
    EXPECT_EQ(alias.data, source.data);
    EXPECT_EQ(alias.palette, source.palette);
    EXPECT_FALSE(alias.ownsData);
    ILAliasImage(&source, &source); // no-op, not a lost buffer
    EXPECT_TRUE(source.ownsData);
    alias.palette = nullptr; // forgotten, not cleared: the palette is shared
}

TEST(ImageAssign, EqualSizeKeepsTheTargetBuffer) {
    Image source, target;
    ASSERT_EQ(ILCreateImage(&source, 4, 3, IL_BGR8, nullptr), IL_OK);   // 12 x 3 bytes
    ASSERT_EQ(ILCreateImage(&target, 12, 3, IL_GREY8, nullptr), IL_OK); // 12 x 3 bytes
    Pattern(&source);
    target.palette = new ILPalette(2);
    uint8_t* kept = target.data;

    ASSERT_EQ(ILAssignImage(&target, &source), IL_OK);
    EXPECT_EQ(target.data, kept);
    EXPECT_TRUE(target.ownsData);
    EXPECT_EQ(target.palette, nullptr);
    EXPECT_EQ(target.width, 4u);
    EXPECT_EQ(target.type, IL_BGR8);
    EXPECT_EQ(target.channels, 3u);
    EXPECT_EQ(target.stride, 12);
    EXPECT_EQ(std::memcmp(target.data, source.data, 36), 0);
}

TEST(ImageAssign, DifferentSizeGetsItsOwnBufferAndPalette) {
    Image source, target;
    ASSERT_EQ(ILCreateImage(&source, 5, 2, IL_INDEX8, nullptr), IL_OK);
    Pattern(&source);
    source.palette = new ILPalette(3);
    source.palette->entries[2] = {1, 2, 3, 4};
    uint8_t borrowedPixels[64];
    ASSERT_EQ(ILCreateImage(&target, 1, 1, IL_BGR8, borrowedPixels), IL_OK);

    ASSERT_EQ(ILAssignImage(&target, &source), IL_OK);
    EXPECT_NE(target.data, borrowedPixels);
    EXPECT_TRUE(target.ownsData);
    ASSERT_NE(target.palette, nullptr);
    EXPECT_NE(target.palette, source.palette);
    ASSERT_EQ(target.palette->count, 3u);
    EXPECT_EQ(target.palette->entries[2].alpha, 4);
    EXPECT_EQ(std::memcmp(target.data, source.data, 16), 0);
    EXPECT_EQ(ILAssignImage(&target, &target), IL_OK);
}

// The view lies in the bottom-right corner of a larger image: copying
// stride x height bytes from it would run past the end of the parent.
TEST(ImageAssign, ViewIsCopiedRowByRow) {
    Image parent, copy;
    ILImage view;
    ASSERT_EQ(ILCreateImage(&parent, 10, 10, IL_GREY8, nullptr), IL_OK);
    Pattern(&parent);
    ASSERT_EQ(ILViewImageRect(&view, &parent, 5, 6, 5, 4), IL_OK);

    ASSERT_EQ(ILAssignImage(&copy, &view), IL_OK);
    EXPECT_EQ(copy.width, 5u);
    EXPECT_EQ(copy.height, 4u);
    EXPECT_EQ(copy.stride, 8);
    for (uint32_t y = 0; y < 4; ++y)
        EXPECT_EQ(std::memcmp(copy.data + y * 8, parent.data + (y + 6) * 12 + 5, 5), 0) << y;
}

// A view as the target is not a block of its own: it gets a buffer instead of
// being written over the image it looks into.
TEST(ImageAssign, ViewTargetIsNotWrittenThrough) {
    Image parent, source, target;
    ASSERT_EQ(ILCreateImage(&parent, 8, 4, IL_GREY8, nullptr), IL_OK);
    std::memset(parent.data, 0x11, 32);
    ASSERT_EQ(ILViewImageRect(&target, &parent, 2, 0, 4, 4), IL_OK); // stride 8, 4 x 4
    ASSERT_EQ(ILCreateImage(&source, 8, 4, IL_GREY8, nullptr), IL_OK);
    std::memset(source.data, 0x22, 32);

    ASSERT_EQ(ILAssignImage(&target, &source), IL_OK);
    EXPECT_NE(target.data, parent.data + 2);
    EXPECT_TRUE(target.ownsData);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(parent.data[i], 0x11) << i;
}

// An alias shares the source's palette: assigning the source to it must copy
// that palette before the alias lets go of it.
TEST(ImageAssign, IntoAnAliasOfTheSource) {
    Image source;
    ASSERT_EQ(ILCreateImage(&source, 4, 4, IL_INDEX8, nullptr), IL_OK);
    Pattern(&source);
    source.palette = new ILPalette(4);
    source.palette->entries[3] = {9, 8, 7, 6};
    ILPalette* shared = source.palette;
    ILImage alias;
    ILInitImage(&alias);
    ILAliasImage(&alias, &source);

    ASSERT_EQ(ILAssignImage(&alias, &source), IL_OK);
    EXPECT_EQ(alias.data, source.data); // same size: the (shared) buffer is kept
    ASSERT_NE(alias.palette, nullptr);
    EXPECT_NE(alias.palette, shared);
    EXPECT_EQ(alias.palette->entries[3].red, 7);
    EXPECT_EQ(source.palette, shared);
    EXPECT_EQ(shared->entries[3].red, 7);
    ILClearImage(&alias); // owns its palette copy, not the pixels
}

TEST(ImageAssign, EmptySourceEmptiesTheTarget) {
    Image empty, target;
    ASSERT_EQ(ILCreateImage(&target, 4, 4, IL_GREY8, nullptr), IL_OK);
    EXPECT_EQ(ILAssignImage(&target, &empty), IL_BAD_ARGUMENT);
    EXPECT_TRUE(IsZeroed(target));
}

TEST(ImageView, RectanglesAreClippedToTheSource) {
    Image source;
    ASSERT_EQ(ILCreateImage(&source, 100, 50, IL_BGR8, nullptr), IL_OK);
    struct Row {
        int32_t x, y, w, h;
        ILResult result;
        uint32_t width, height;
        int64_t offset;
    };
    const Row rows[] = {
        {-5, 0, 10, 10, IL_OK, 5, 10, 0},
        {0, -3, 4, 10, IL_OK, 4, 7, 0},
        {10, 20, 5, 5, IL_OK, 5, 5, 20 * 300 + 30},
        {95, 45, 10, 10, IL_OK, 5, 5, 45 * 300 + 285},
        {-10, -10, 500, 500, IL_OK, 100, 50, 0},
        {100, 0, 5, 5, IL_BAD_ARGUMENT, 0, 0, 0},
        {0, 50, 5, 5, IL_BAD_ARGUMENT, 0, 0, 0},
        {-5, 0, 5, 5, IL_BAD_ARGUMENT, 0, 0, 0},
        {0, -7, 5, 3, IL_BAD_ARGUMENT, 0, 0, 0},
        {3, 3, 0, 5, IL_BAD_ARGUMENT, 0, 0, 0},
        {INT32_MAX, 0, INT32_MAX, 5, IL_BAD_ARGUMENT, 0, 0, 0},
        {90, 0, INT32_MAX, 5, IL_OK, 10, 5, 270},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.x << "," << row.y << " " << row.w << "x" << row.h);
        ILImage view;
        ILInitImage(&view);
        ASSERT_EQ(ILViewImageRect(&view, &source, row.x, row.y, row.w, row.h), row.result);
        if (row.result != IL_OK) {
            EXPECT_TRUE(IsZeroed(view));
            continue;
        }
        EXPECT_EQ(view.width, row.width);
        EXPECT_EQ(view.height, row.height);
        EXPECT_EQ(view.stride, source.stride);
        EXPECT_EQ(view.data - source.data, row.offset);
        EXPECT_FALSE(view.ownsData);
    }
}

TEST(ImageView, SubBytePixelsStartAtTheirByte) {
    Image source;
    ASSERT_EQ(ILCreateImage(&source, 64, 4, IL_GREY1, nullptr), IL_OK);
    ILImage view;
    ILInitImage(&view);
    ASSERT_EQ(ILViewImageRect(&view, &source, 13, 2, 8, 2), IL_OK);
    EXPECT_EQ(view.data - source.data, 2 * 8 + 1);
}

TEST(ImageValidity, BitsPerPixelAndChannels) {
    struct Row {
        const char* name;
        ILPixelType type;
        uint32_t channels, bits;
        bool palette, valid;
    };
    const Row rows[] = {
        {"grey 1", IL_GREY1, 1, 1, false, true},
        {"grey 8", IL_GREY8, 1, 8, false, true},
        {"indexed 8 with palette", IL_INDEX8, 1, 8, true, true},
        {"indexed 8 without palette", IL_INDEX8, 1, 8, false, false},
        {"RGB 1-bit", IL_BGR1, 3, 1, false, false},
        {"grey alpha 8", IL_GREY_A8, 2, 8, false, true},
        {"RGB 8", IL_BGR8, 3, 8, false, true},
        {"RGB 8 in 1 channel of 24 bits", IL_BGR8, 1, 24, false, false},
        {"RGBA 8", IL_BGRA8, 4, 8, false, true},
        {"RGB 16", IL_BGR16, 3, 16, false, true},
        {"grey alpha 32", IL_GREY_A_FLOAT, 2, 32, false, true},
        {"RGBA float", IL_BGRA_FLOAT, 4, 32, false, true},
        {"RGB float", IL_BGR_FLOAT, 3, 32, false, true},
        {"12 bits", IL_BGR4, 3, 4, false, false},
        {"128 bits in 2", IL_GREY_A_FLOAT, 2, 64, false, false},
    };
    uint8_t pixels[64] = {};
    ILPalette palette(2);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILImage image;
        ILInitImage(&image);
        image.data = pixels;
        image.width = image.height = 1;
        image.type = row.type;
        image.channels = row.channels;
        image.bits = row.bits;
        image.palette = row.palette ? &palette : nullptr;
        EXPECT_EQ(ILIsValidImage(&image), row.valid);
    }
    ILImage empty;
    ILInitImage(&empty);
    EXPECT_FALSE(ILIsValidImage(&empty));
    EXPECT_FALSE(ILIsValidImage(nullptr));
}

TEST(ImageSetters, ExtraChannelBitsAndBackground) {
    // Colours decode through the sRGB tables, which live with a handle.
    std::unique_ptr<ILHandle, bool (*)(ILHandle*)> handle(ILCreateHandle("test"), ILDestroyHandle);
    Image image;
    ASSERT_EQ(ILCreateImage(&image, 2, 2, IL_BGRX8, nullptr), IL_OK);
    image.SetExtraChannelBits(0x12000);
    EXPECT_EQ(image.type, IL_BGRA8);
    EXPECT_EQ(image.channels, 4u);

    image.SetBackgroundBGR8(0, 0, 255, 7);
    EXPECT_FLOAT_EQ(image.background.r, 1.0f);
    EXPECT_FLOAT_EQ(image.background.b, 0.0f);
    EXPECT_EQ(image.background.a, 1.0f);
    EXPECT_EQ(image.background.index, 7);
    image.SetBackgroundBGR16(65535, 0, 0);
    EXPECT_FLOAT_EQ(image.background.b, 1.0f);
    EXPECT_FLOAT_EQ(image.background.r, 0.0f);
    EXPECT_EQ(image.background.index, -1);
}

} // namespace

namespace {

using HandlePtr = std::unique_ptr<ILHandle, bool (*)(ILHandle*)>;

HandlePtr NewHandle() {
    return HandlePtr(ILCreateHandle("test"), ILDestroyHandle);
}

// A record over a caller's buffer, as the clipboard hands it over.
ILImage BufferRecord(uint8_t* buffer, uint32_t width, uint32_t height, ILPixelType type,
                     int64_t stride) {
    ILImage record;
    ILInitImage(&record);
    record.data = buffer;
    record.width = width;
    record.height = height;
    record.type = type;
    record.stride = stride;
    return record;
}

TEST(ImageFromBuffer, RowsAreCopiedAndTurnedOver) {
    HandlePtr h = NewHandle();
    // 3 x 2 RGB rows of 16 bytes each (the packed size would be 12).
    std::vector<uint8_t> buffer(32);
    std::iota(buffer.begin(), buffer.end(), uint8_t{1});
    for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        Image image;
        static_cast<ILImage&>(image) = BufferRecord(buffer.data(), 3, 2, IL_BGR8, 16);
        ASSERT_EQ(ILImageFromBuffer(h.get(), &image, bottomUp), IL_OK);
        EXPECT_TRUE(image.ownsData);
        EXPECT_NE(image.data, buffer.data());
        EXPECT_EQ(image.type, IL_BGR8);
        ASSERT_EQ(image.stride, 12);
        const int top = bottomUp ? 16 : 0, bottom = bottomUp ? 0 : 16;
        EXPECT_EQ(std::memcmp(image.data, buffer.data() + top, 9), 0);
        EXPECT_EQ(std::memcmp(image.data + 12, buffer.data() + bottom, 9), 0);
    }
}

TEST(ImageFromBuffer, IndexedImagesKeepTheirPalette) {
    HandlePtr h = NewHandle();
    uint8_t buffer[8] = {0, 1, 2, 3, 3, 2, 1, 0};
    Image image;
    static_cast<ILImage&>(image) = BufferRecord(buffer, 4, 2, IL_INDEX8, 0); // 0: packed rows
    ILPalette* palette = image.palette = new ILPalette(4);
    ASSERT_EQ(ILImageFromBuffer(h.get(), &image, false), IL_OK);
    EXPECT_EQ(image.type, IL_INDEX8);
    EXPECT_EQ(image.palette, palette);
    EXPECT_EQ(std::memcmp(image.data, buffer, 8), 0);
}

// Converted to the handle's load type, the palette has served its purpose and
// is released with the conversion rather than left on a true-colour image.
TEST(ImageFromBuffer, ConvertedIndexedImageDropsThePalette) {
    HandlePtr h = NewHandle();
    ILSetLoadModeRGB8(h.get());
    uint8_t buffer[4] = {0, 1, 1, 0};
    Image image;
    static_cast<ILImage&>(image) = BufferRecord(buffer, 2, 2, IL_INDEX8, 2);
    image.palette = new ILPalette(2);
    image.palette->entries[0] = {0, 0, 0, 65535};
    image.palette->entries[1] = {0xFFFF, 0x8080, 0, 65535};
    ASSERT_EQ(ILImageFromBuffer(h.get(), &image, false), IL_OK);
    EXPECT_EQ(image.type, IL_BGR8);
    EXPECT_EQ(image.palette, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(image.data, image.data + 6),
              (std::vector<uint8_t>{0, 0, 0, 255, 128, 0}));
}

TEST(ImageFromBuffer, BadRecordsAreRefused) {
    HandlePtr h = NewHandle();
    uint8_t buffer[64] = {};
    struct Row {
        const char* name;
        ILImage record;
    };
    const Row rows[] = {
        {"no buffer", BufferRecord(nullptr, 2, 2, IL_BGR8, 0)},
        {"no width", BufferRecord(buffer, 0, 2, IL_BGR8, 0)},
        {"no height", BufferRecord(buffer, 2, 0, IL_BGR8, 0)},
        {"no pixel type", BufferRecord(buffer, 2, 2, 0, 0)},
        // Rows shorter than their pixels would run the last row off the buffer.
        {"stride below the row size", BufferRecord(buffer, 4, 4, IL_BGR8, 8)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILImage record = row.record;
        EXPECT_EQ(ILImageFromBuffer(h.get(), &record, false), IL_BAD_ARGUMENT);
        EXPECT_EQ(record.data, nullptr);
    }
    ILImage record = BufferRecord(buffer, 2, 2, IL_BGR8, 0);
    EXPECT_EQ(ILImageFromBuffer(nullptr, &record, false), IL_BAD_ARGUMENT);
}

} // namespace
