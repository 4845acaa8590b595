#include <cmath>

#include <gtest/gtest.h>

#include "viewer/logic/affine_settings.h"

namespace {

ILImage ImageOfSize(uint32_t w, uint32_t h) {
    ILImage image;
    ILInitImage(&image);
    image.width = w;
    image.height = h;
    return image;
}

TEST(AffineSettings, LabelsSizesAndTheNeutralState) {
    struct Row {
        const char* name;
        AffineSliders sliders;
        uint8_t fitCanvas;
        const char *angle, *scale, *shift, *size; // of a 200 x 100 image
        bool enabled;
    };
    const Row rows[] = {
        {"neutral",
         {0, 1000, 0, 0},
         1,
         "0.0\xB0",
         "100.0%",
         "0.000, 0.000",
         "200 x 100 pixel",
         false},
        {"shifts with the canvas adapted",
         {0, 1000, 125, -500},
         1,
         "0.0\xB0",
         "100.0%",
         "0.125, -0.500",
         "200 x 100 pixel",
         false},
        {"shifts",
         {0, 1000, 125, 0},
         0,
         "0.0\xB0",
         "100.0%",
         "0.125, 0.000",
         "200 x 100 pixel",
         true},
        {"quarter turn",
         {900, 1000, 0, 0},
         1,
         "90.0\xB0",
         "100.0%",
         "0.000, 0.000",
         "100 x 200 pixel",
         true},
        {"scale 2.5",
         {0, 2500, 0, 0},
         1,
         "0.0\xB0",
         "250.0%",
         "0.000, 0.000",
         "500 x 250 pixel",
         true},
        {"turn without adapting",
         {-455, 1000, 0, 0},
         0,
         "-45.5\xB0",
         "100.0%",
         "0.000, 0.000",
         "200 x 100 pixel",
         true},
    };
    const ILImage image = ImageOfSize(200, 100);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILAffineParams p = DefaultAffine(ILColor{});
        p.fitCanvas = row.fitCanvas;
        AffineFromSliders(row.sliders, &p);
        EXPECT_EQ(AffineAngleText(p), row.angle);
        EXPECT_EQ(AffineScaleText(p), row.scale);
        EXPECT_EQ(AffineShiftText(p), row.shift);
        EXPECT_EQ(AffineSizeText(image, p), row.size);
        EXPECT_EQ(AffineApplyEnabled(p), row.enabled);
        const AffineSliders back = AffineSlidersOf(p);
        EXPECT_EQ(back.angle, row.sliders.angle);
        EXPECT_EQ(back.scale, row.sliders.scale);
        EXPECT_EQ(back.shiftX, row.sliders.shiftX);
    }
}

TEST(AffineSettings, StoredRecordsEnterTheSliders) {
    ILAffineParams stored = DefaultAffine(ILColor{});
    stored.scaleX = 2;
    stored.scaleY = 1.5;
    stored.angle = 12.34;
    stored.oversampling = 0;
    stored.fitCanvas = 7;
    ILAffineParams p = AffineFromStored(stored);
    EXPECT_DOUBLE_EQ(p.scaleX, 2);
    EXPECT_DOUBLE_EQ(p.scaleY, 2);
    EXPECT_DOUBLE_EQ(p.angle, 12.3);
    EXPECT_EQ(p.oversampling, 1);
    EXPECT_EQ(p.fitCanvas, 1);
    stored.angle = std::nan("");
    stored.scaleX = INFINITY;
    stored.shiftX = -1e300;
    stored.oversampling = 200;
    p = AffineFromStored(stored);
    EXPECT_EQ(p.angle, 0);
    EXPECT_DOUBLE_EQ(p.scaleX, 2.5);
    EXPECT_DOUBLE_EQ(p.shiftX, -0.8);
    EXPECT_EQ(p.oversampling, 8);
    EXPECT_FALSE(AffineSizeText(ImageOfSize(200, 100), p).empty());
}

TEST(AffineSettings, PreviewKeepsItsDiagonalWithin380) {
    struct Row {
        uint32_t w, h;
        int32_t width, height;
    };
    const Row rows[] = {{200, 100, 200, 100},
                        {1000, 1000, 268, 268},
                        {1000, 500, 339, 169},
                        {10000, 1, 379, 1},
                        {300, 300, 268, 268}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.w << " x " << row.h);
        const PreviewPlacement p = AffinePreviewFit(row.w, row.h);
        EXPECT_EQ(p.width, row.width);
        EXPECT_EQ(p.height, row.height);
        EXPECT_LE(std::hypot(p.width, p.height), 380.0);
        EXPECT_EQ(p.x, kPreviewAreaLeft + (kPreviewAreaSize - p.width) / 2);
    }
    ILAffineParams p = DefaultAffine(ILColor{});
    p.scaleX = p.scaleY = 2;
    p.oversampling = 4;
    const ILAffineParams adapted = AffinePreviewParams(p);
    EXPECT_EQ(adapted.scaleX, 1);
    EXPECT_EQ(adapted.oversampling, 1);
    p.fitCanvas = 0;
    EXPECT_EQ(AffinePreviewParams(p).scaleX, 2);
}

} // namespace
