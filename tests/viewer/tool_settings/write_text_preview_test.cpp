#include <cstring>

#include <gtest/gtest.h>

#include "imglib/handle.h"
#include "imglib/memory_owner.h"
#include "viewer/tool_settings/write_text_preview.h"

namespace {

// A grey 16-bit image whose every pixel holds its own position, so that a
// window shows where it was cut.
void FillPositions(ILImage& image) {
    for (uint32_t y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(image.data + y * image.stride);
        for (uint32_t x = 0; x < image.width; ++x) row[x] = static_cast<uint16_t>((x + y) * 16);
    }
}

TEST(WriteTextPreview, WindowIsCutAtTheAnchor) {
    ILImageOwner image, expected;
    ASSERT_EQ(ILReallocImage(&image.image, 2000, 1000, IL_GREY16, nullptr), IL_OK);
    FillPositions(image.image);
    WriteTextPreview preview;
    ASSERT_TRUE(preview.Init(image.image));
    EXPECT_EQ(preview.Geometry().width, 400);
    EXPECT_EQ(preview.Geometry().height, 340);
    ILHandle* h = ILCreateHandle("write text preview test");
    WriteTextParams params{};
    params.color.SetWhite();

    // Bottom-right: the image's last 400 x 340 pixels, converted as a whole
    // conversion of that rectangle would convert them.
    preview.Place(8);
    EXPECT_EQ(preview.Source().x, 1600);
    EXPECT_EQ(preview.Source().y, 660);
    ASSERT_EQ(preview.Render(h, image.image, params, u""), IL_OK);
    ILImage rect;
    ASSERT_EQ(ILViewImageRect(&rect, &image.image, 1600, 660, 400, 340), IL_OK);
    ASSERT_EQ(ILReallocImage(&expected.image, 400, 340, IL_BGR8, nullptr), IL_OK);
    ILConverterOwner c;
    ILConverterSetImages(&c.c, &rect, &expected.image);
    ASSERT_TRUE(ILConverterConvertImage(&c.c, h, &rect, &expected.image));
    const ILImage& window = preview.Pixels();
    for (uint32_t y = 0; y < 340; ++y)
        ASSERT_EQ(std::memcmp(window.data + y * window.stride,
                              expected.image.data + y * expected.image.stride, 400 * 3),
                  0)
            << "row " << y;
    ILDestroyHandle(h);
}

TEST(WriteTextPreview, ARenderWithTextChangesOnlyTheWindow) {
    ILImageOwner image;
    ASSERT_EQ(ILReallocImage(&image.image, 900, 700, IL_BGR8, nullptr), IL_OK);
    std::memset(image.image.data, 0, image.image.stride * image.image.height);
    WriteTextPreview preview;
    ASSERT_TRUE(preview.Init(image.image));
    preview.Place(8);
    ILHandle* h = ILCreateHandle("write text preview test");
    WriteTextParams params{};
    params.font.height = -30;
    std::strcpy(params.font.faceName, "Liberation Sans");
    params.color.SetWhite();
    params.anchor = 8;
    params.effect = 0.5f; // glow
    params.blur = 3;
    ASSERT_EQ(preview.Render(h, image.image, params, u"Vx"), IL_OK);
    const ILImage& window = preview.Pixels();
    // Text stands at the window's bottom-right corner, where the image's is.
    int lit = 0;
    for (uint32_t y = window.height - 60; y < window.height; ++y)
        for (uint32_t x = window.width - 80; x < window.width; ++x)
            lit += window.data[y * window.stride + 3 * x] != 0;
    EXPECT_GT(lit, 100);
    EXPECT_EQ(window.data[0], 0);
    // The image itself is not written.
    for (uint32_t y = 0; y < image.image.height; ++y)
        for (uint32_t x = 0; x < 3 * image.image.width; ++x)
            ASSERT_EQ(image.image.data[y * image.image.stride + x], 0);
    ILDestroyHandle(h);
}

} // namespace
