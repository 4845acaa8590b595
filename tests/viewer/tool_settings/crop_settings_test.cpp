#include <gtest/gtest.h>

#include "viewer/tool_settings/crop_settings.h"

namespace {

struct Want {
    int32_t left, right, top, bottom, width, height;
};

void Expect(const CropState& s, const Want& w) {
    EXPECT_EQ(s.margins.left, w.left);
    EXPECT_EQ(s.margins.right, w.right);
    EXPECT_EQ(s.margins.top, w.top);
    EXPECT_EQ(s.margins.bottom, w.bottom);
    EXPECT_EQ(s.cropWidth, w.width);
    EXPECT_EQ(s.cropHeight, w.height);
}

TEST(CropSettings, FieldsKeepAPixelAndEachOther) {
    enum Field { kLeft, kRight, kTop, kBottom, kWidth, kHeight };
    struct Step {
        Field field;
        int32_t value;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        Want want; // on a 100 x 50 image
    };
    const Row rows[] = {
        {"left beside right", {{kRight, 20}, {kLeft, 30}}, {30, 20, 0, 0, 50, 50}},
        {"then the width", {{kRight, 20}, {kLeft, 30}, {kWidth, 80}}, {20, 0, 0, 0, 80, 50}},
        {"left 99 with right 5", {{kRight, 5}, {kLeft, 99}}, {99, 0, 0, 0, 1, 50}},
        {"right pushes left", {{kLeft, 60}, {kRight, 70}}, {29, 70, 0, 0, 1, 50}},
        {"height keeps top", {{kTop, 10}, {kHeight, 30}}, {0, 0, 10, 10, 100, 30}},
        {"height pushes top", {{kTop, 30}, {kHeight, 45}}, {0, 0, 5, 0, 100, 45}},
        {"bottom beyond the field", {{kBottom, 1000}}, {0, 0, 0, 49, 100, 1}},
        {"negative top", {{kTop, -7}}, {0, 0, 0, 0, 100, 50}},
        {"width 0", {{kWidth, 0}}, {0, 99, 0, 0, 1, 50}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CropState s = CropOpened({}, 100, 50);
        for (const Step& step : row.steps) {
            switch (step.field) {
                case kLeft:
                    CropLeftTyped(&s, step.value);
                    break;
                case kRight:
                    CropRightTyped(&s, step.value);
                    break;
                case kTop:
                    CropTopTyped(&s, step.value);
                    break;
                case kBottom:
                    CropBottomTyped(&s, step.value);
                    break;
                case kWidth:
                    CropWidthTyped(&s, step.value);
                    break;
                case kHeight:
                    CropHeightTyped(&s, step.value);
                    break;
            }
        }
        Expect(s, row.want);
    }
}

TEST(CropSettings, StoredMarginsThatLeaveNoPixel) {
    // Opened with the action: lowered in turn, left first.
    Expect(CropOpened({60, 60, 0, 0}, 100, 50), {49, 50, 0, 0, 1, 50});
    Expect(CropOpened({3, 100, 40, 40}, 100, 50), {1, 98, 24, 25, 1, 1});
    Expect(CropOpened({INT32_MIN, INT32_MAX, 0, 0}, 100, 50), {0, 99, 0, 0, 1, 50});
    // Loaded by "Open action": the right margin gives way first.
    CropState s = CropOpened({}, 100, 50);
    CropApplyMargins(&s, {60, 60, 0, 0});
    Expect(s, {60, 39, 0, 0, 1, 50});
    EXPECT_TRUE(CropApplyEnabled(s));
    CropApplyMargins(&s, {}); // Reset
    Expect(s, {0, 0, 0, 0, 100, 50});
    EXPECT_FALSE(CropApplyEnabled(s));
}

TEST(CropSettings, MouseSelectsMovesAndDragsEdges) {
    // A 1000 x 500 image: a 380 x 190 preview at (272, 97), scale 0.38.
    const PreviewPlacement p = FitPreview(1000, 500);
    ASSERT_EQ(p.x, 272);
    ASSERT_EQ(p.y, 97);
    CropState s = CropOpened({}, 1000, 500);
    ILRect r = CropSelectionRect(s, p);
    EXPECT_EQ(r.left, 272);
    EXPECT_EQ(r.right, 652);
    // The whole image selected: inside is no move, the edges drag.
    EXPECT_EQ(CropHitCode(s, r, p, 400, 200), 0);
    EXPECT_EQ(CropHitCode(s, r, p, 271, 96), 5);
    EXPECT_EQ(CropHitCode(s, r, p, 652, 287), 10);
    EXPECT_EQ(CropHitCode(s, r, p, 653, 200), 0);

    // Ctrl band from (310, 135) to (461, 210), both pixels included.
    r = CropBandRect(461, 210, 310, 135, p);
    EXPECT_EQ(r.left, 310);
    EXPECT_EQ(r.right, 462);
    CropSelectionToMargins(&s, r, p);
    Expect(s, {100, 500, 100, 200, 400, 200});
    r = CropSelectionRect(s, p); // snapped to whole image pixels
    EXPECT_EQ(r.left, 310);
    EXPECT_EQ(r.top, 135);
    EXPECT_EQ(r.right, 462);
    EXPECT_EQ(r.bottom, 211);
    EXPECT_EQ(CropHitCode(s, r, p, 400, 150), kCropMove);
    EXPECT_EQ(CropHitCode(s, r, p, 462, 135), 6);

    // Moving never leaves the preview.
    CropDragSelection(kCropMove, -500, 1000, p, &r);
    EXPECT_EQ(r.left, 272);
    EXPECT_EQ(r.right, 424);
    EXPECT_EQ(r.bottom, 287);
    CropSelectionToMargins(&s, r, p);
    Expect(s, {0, 600, 300, 0, 400, 200});

    // A corner drags two edges; an edge stops a pixel before its opposite.
    CropDragSelection(1 + 4, 38, -38, p, &r);
    EXPECT_EQ(r.left, 310);
    EXPECT_EQ(r.top, 173);
    CropDragSelection(2, -1000, 0, p, &r);
    EXPECT_EQ(r.right, 311);
    CropSelectionToMargins(&s, r, p);
    EXPECT_EQ(s.cropWidth, 3);
    EXPECT_EQ(s.margins.left, 100);
}

TEST(CropSettings, MaskSamples) {
    const uint8_t rows[][4] = {{200, 100, 227, 55}, {0, 0, 127, 255}, {255, 127, 255, 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(CropMaskSample(row[0], 1), row[1]);
        EXPECT_EQ(CropMaskSample(row[0], 2), row[2]);
        EXPECT_EQ(CropMaskSample(row[0], 3), row[3]);
    }
}

} // namespace
