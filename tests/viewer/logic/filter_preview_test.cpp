#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "imglib/convert/srgb.h"
#include "imglib/pixel_type.h"
#include "viewer/logic/filter_preview.h"

namespace {

struct Image {
    ILImage image;
    Image(uint32_t w, uint32_t h, ILPixelType type) {
        ILInitImage(&image);
        EXPECT_EQ(ILReallocImage(&image, w, h, type, nullptr), IL_OK);
        std::memset(image.data, 0, image.stride * image.height);
    }
    ~Image() { ILFreeImage(&image); }
};

class FilterPreview : public testing::Test {
protected:
    void SetUp() override { handle_ = ILCreateHandle("preview test"); }
    void TearDown() override { ILDestroyHandle(handle_); }
    ILHandle* handle_ = nullptr;
};

// A float preview source of 5 x 3 pixels, linear B, G, R ramps.
void FillRamp(ILImage* source) {
    for (uint32_t y = 0; y < source->height; ++y) {
        auto* row = reinterpret_cast<float*>(source->data + y * source->stride);
        for (uint32_t i = 0; i < 3 * source->width; ++i)
            row[i] = static_cast<float>((i + 5 * y) % 11) / 10.0f;
    }
}

uint8_t Encoded(const ILImage& source, uint32_t x, uint32_t y, int c, float scale) {
    const auto* row = reinterpret_cast<const float*>(source.data + y * source.stride);
    return ILLinearToSrgb8(row[3 * x + c] * scale);
}

TEST_F(FilterPreview, ToneMapDrawsThePreviewOnly) {
    struct Row {
        const char* name;
        float exposure, scale; // the exposure scales linear light
    };
    const Row rows[] = {{"neutral", 1, 1}, {"exposure 4", 4, 4}, {"exposure 1/4", 0.25f, 0.25f}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image source(5, 3, IL_BGR_FLOAT), preview(5, 3, IL_BGR8);
        FillRamp(&source.image);
        ILToneMap t;
        ILToneMapInit(&t);
        ILToneMapSetExposure(&t, row.exposure, true);
        ASSERT_TRUE(RenderToneMapPreview(t, handle_, source.image, nullptr, &preview.image));
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 5; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int want = Encoded(source.image, x, y, c, row.scale);
                    EXPECT_NEAR(preview.image.data[y * preview.image.stride + 3 * x + c], want, 1)
                        << x << ", " << y << ", " << c;
                }
    }
    // A preview of another size than its source is refused.
    Image source(5, 3, IL_BGR_FLOAT), preview(4, 3, IL_BGR8);
    ILToneMap t;
    ILToneMapInit(&t);
    EXPECT_FALSE(RenderToneMapPreview(t, handle_, source.image, nullptr, &preview.image));
}

TEST_F(FilterPreview, ColorFilterWithoutStrengthLeavesColours) {
    Image source(5, 3, IL_BGR_FLOAT), preview(5, 3, IL_BGR8);
    FillRamp(&source.image);
    ILColorFilterParams p;
    ILColorFilterInitDefault(&p);
    ASSERT_TRUE(RenderColorFilterPreview(p, handle_, source.image, nullptr, &preview.image));
    for (uint32_t x = 0; x < 5; ++x)
        EXPECT_NEAR(preview.image.data[preview.image.stride + 3 * x + 1],
                    Encoded(source.image, x, 1, 1, 1), 1);
    // With strength the preview changes.
    ILColorFilterSetLightStrength(&p, 80);
    ASSERT_TRUE(RenderColorFilterPreview(p, handle_, source.image, nullptr, &preview.image));
    int changed = 0;
    for (uint32_t i = 0; i < 15; ++i)
        changed += preview.image.data[2 * preview.image.stride + i] !=
                   Encoded(source.image, i / 3, 2, static_cast<int>(i % 3), 1);
    EXPECT_GT(changed, 0);
}

// Indexed images change only the preview's palette, from the image's own.
TEST_F(FilterPreview, IndexedPreviewsFilterTheirPalette) {
    ILPalette own(3);
    own.SetEntryBGR8(0, 0, 0, 0);
    own.SetEntryBGR8(1, 40, 80, 120);
    own.SetEntryBGR8(2, 250, 250, 250);
    Image preview(4, 4, IL_INDEX8);
    preview.image.palette = new ILPalette(own);
    ILToneMap t;
    ILToneMapInit(&t);
    ILToneMapSetExposure(&t, 0.25f, true);
    ASSERT_TRUE(RenderToneMapPreview(t, handle_, ILImage{}, &own, &preview.image));
    uint8_t darker[3], before[3];
    preview.image.palette->ReadBGR8(1, darker);
    own.ReadBGR8(1, before);
    EXPECT_LT(darker[2], before[2]);
    // Twice gives the same: the source is always the image's own palette.
    ASSERT_TRUE(RenderToneMapPreview(t, handle_, ILImage{}, &own, &preview.image));
    uint8_t again[3];
    preview.image.palette->ReadBGR8(1, again);
    EXPECT_EQ(std::memcmp(again, darker, 3), 0);

    ILColorFilterParams p;
    ILColorFilterInitDefault(&p);
    ASSERT_TRUE(RenderColorFilterPreview(p, handle_, ILImage{}, &own, &preview.image));
    preview.image.palette->ReadBGR8(1, again);
    EXPECT_NEAR(again[2], before[2], 1);
    EXPECT_FALSE(RenderColorFilterPreview(p, handle_, ILImage{}, nullptr, &preview.image));
}

} // namespace
