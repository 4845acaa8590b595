#include <cstring>

#include <gtest/gtest.h>

#include "viewer/logic/filter_results.h"

namespace {

struct Image {
    ILImage image;
    Image() { ILInitImage(&image); }
    ~Image() { ILFreeImage(&image); }
};

// A filter writes the colour samples only: the alpha of a type with alpha
// must come from the source, other types start from fresh pixels.
TEST(FilterResults, TargetsKeepWhatTheFilterDoesNotWrite) {
    struct Row {
        const char* name;
        ILPixelType type;
        bool copied;
    };
    const Row rows[] = {{"B, G, R", IL_BGR8, false},
                        {"B, G, R, A", IL_BGRA8, true},
                        {"16-bit grey", IL_GREY16, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image source, result;
        ASSERT_EQ(ILAllocImage(&source.image, 5, 3, row.type, nullptr), IL_OK);
        std::memset(source.image.data, 0x5A, source.image.stride * source.image.height);
        source.image.background.Set(0.25f, 0.5f, 0.75f);
        ASSERT_EQ(NewFilterTarget(source.image, &result.image), IL_OK);
        EXPECT_EQ(result.image.type, row.type);
        EXPECT_EQ(result.image.width, 5u);
        EXPECT_EQ(result.image.height, 3u);
        EXPECT_NE(result.image.data, source.image.data);
        EXPECT_EQ(result.image.background.b, 0.75f);
        if (row.copied) {
            EXPECT_EQ(std::memcmp(result.image.data, source.image.data,
                                  source.image.stride * source.image.height),
                      0);
        }
    }
}

// An indexed result shares the source's pixels (not owned, so freeing it
// leaves them) and owns its copy of the filtered palette.
TEST(FilterResults, PaletteResultsShareThePixels) {
    Image source, result;
    ASSERT_EQ(ILAllocImage(&source.image, 4, 2, IL_INDEX8, nullptr), IL_OK);
    source.image.palette = new ILPalette(4);
    ILPalette filtered(4);
    filtered.SetEntry16(2, 1, 2, 3, 65535);
    ASSERT_EQ(PaletteResult(source.image, filtered, &result.image), IL_OK);
    EXPECT_EQ(result.image.data, source.image.data);
    EXPECT_EQ(result.image.ownsData, 0);
    ASSERT_NE(result.image.palette, nullptr);
    EXPECT_NE(result.image.palette, source.image.palette);
    EXPECT_NE(result.image.palette, &filtered);
    EXPECT_EQ(result.image.palette->count, 4u);
    EXPECT_EQ(result.image.palette->entries[2].red, 3);
    ILFreeImage(&result.image);
    EXPECT_NE(source.image.data, nullptr); // still the source's
}

} // namespace
