#include <cmath>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "imglib/pixel_type.h"
#include "viewer/logic/perspective_settings.h"

namespace {

TEST(PerspectiveSettings, CornerFieldsAndHandles) {
    struct Row {
        const char* name;
        uint32_t w, h;
        int corner;
        int32_t fieldX, fieldY;
        int32_t handleX, handleY;
    };
    const Row rows[] = {
        {"101 x 51, top-left", 101, 51, 0, 0, 50, 411, 166},
        {"101 x 51, bottom-right", 101, 51, 2, 100, 0, 511, 216},
        // One row: the preview is 380 x 1 and nothing divides by zero.
        {"10000 x 1, top-right", 10000, 1, 1, 9999, 0, 651, 191},
        {"1 x 1, bottom-right", 1, 1, 2, 0, 0, 461, 191},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const PerspectiveGeometry g =
            PerspectiveGeometryFor(row.w, row.h, FitPreview(row.w, row.h));
        EXPECT_FALSE(std::isnan(g.toImageX) || std::isnan(g.toImageY));
        const double x = kDefaultCorners[2 * row.corner], y = kDefaultCorners[2 * row.corner + 1];
        EXPECT_EQ(CornerFieldX(g, x), row.fieldX);
        EXPECT_EQ(CornerFieldY(g, y), row.fieldY);
        const ClientPoint handle = CornerHandle(g, x, y);
        EXPECT_EQ(handle.x, row.handleX);
        EXPECT_EQ(handle.y, row.handleY);
        // The handle's place gives the fields back.
        EXPECT_EQ(HandleFieldX(g, handle.x), row.fieldX);
        EXPECT_EQ(HandleFieldY(g, handle.y), row.fieldY);
        const double backX = CornerFromFieldX(g, row.fieldX, x);
        const double backY = CornerFromFieldY(g, row.fieldY, y);
        EXPECT_FALSE(std::isnan(backX) || std::isnan(backY));
        EXPECT_EQ(CornerFieldX(g, backX), row.fieldX);
        // A one-pixel side keeps the corner where it was: nothing folds.
        if (row.h == 1) {
            EXPECT_EQ(backY, y);
        }
        if (row.w == 1) {
            EXPECT_EQ(backX, x);
        }
    }
}

TEST(PerspectiveSettings, DraggingAHandleMovesItsCorner) {
    // 1000 x 500: a 380 x 190 preview at (272, 97).
    const PerspectiveGeometry g = PerspectiveGeometryFor(1000, 500, FitPreview(1000, 500));
    ILPerspectiveParams p = DefaultPerspective(ILColor{});
    EXPECT_FALSE(PerspectiveApplyEnabled(p, true));
    const int32_t fx = HandleFieldX(g, 272 + 190), fy = HandleFieldY(g, 97 + 95);
    EXPECT_EQ(fx, 501); // 190 x 999 / 379
    EXPECT_EQ(fy, 248); // 94 x 499 / 189
    p.corners[0] = CornerFromFieldX(g, fx, p.corners[0]);
    p.corners[1] = CornerFromFieldY(g, fy, p.corners[1]);
    EXPECT_NEAR(p.corners[0], 0.5, 0.002);
    EXPECT_TRUE(CornerMoved(p, 0));
    EXPECT_FALSE(CornerMoved(p, 1));
    EXPECT_TRUE(PerspectiveApplyEnabled(p, true));
    EXPECT_FALSE(PerspectiveApplyEnabled(p, false));
    p = DefaultPerspective(ILColor{});
    p.scaleY = 1.5;
    EXPECT_TRUE(PerspectiveApplyEnabled(p, true));
    EXPECT_EQ(PerspectiveMapping(false, true), 0);
    EXPECT_EQ(PerspectiveMapping(true, false), 1);
    EXPECT_EQ(PerspectiveMapping(true, true), 2);
}

TEST(PerspectiveSettings, StoredRecordsEnterTheControls) {
    ILPerspectiveParams stored = DefaultPerspective(ILColor{});
    stored.corners[0] = std::nan("");
    stored.corners[3] = -4;
    stored.corners[4] = 0.25;
    stored.scaleX = 2.3;
    stored.scaleY = INFINITY;
    stored.mapping = 2;
    stored.oversampling = 40;
    ILPerspectiveParams p = PerspectiveFromStored(stored, true);
    EXPECT_EQ(p.corners[0], 0);
    EXPECT_EQ(p.corners[3], 0);
    EXPECT_EQ(p.corners[4], 0.25);
    EXPECT_DOUBLE_EQ(p.scaleX, 2.3); // truncating 2299.9999 would lower it
    EXPECT_DOUBLE_EQ(p.scaleY, 2.5);
    EXPECT_EQ(p.mapping, 2);
    EXPECT_EQ(p.oversampling, 8);
    EXPECT_EQ(PerspectiveFromStored(stored, false).oversampling, 1);
    EXPECT_EQ(PerspectiveScaleText(p.scaleX), "230.0%");

    ILImage image;
    ILInitImage(&image);
    image.width = 200;
    image.height = 100;
    EXPECT_EQ(PerspectiveSizeText(image, p), "460 x 250 pixel");
    p.mapping = 2; // adapted to the selection's extent
    p.corners[2] = 0.5;
    EXPECT_EQ(PerspectiveSizeText(image, p), "230 x 250 pixel");
}

TEST(PerspectiveSettings, PreviewMapsOrTurnsInvalid) {
    std::unique_ptr<ILHandle, bool (*)(ILHandle*)> h(ILCreateHandle("test"), &ILDestroyHandle);
    struct Row {
        const char* name;
        uint32_t w, h;
        double corners[8];
        uint8_t mapping;
        bool valid;
    };
    const Row rows[] = {
        {"own corners", 40, 30, {0, 1, 1, 1, 1, 0, 0, 0}, 1, true},
        {"inner quadrilateral", 40, 30, {0.1, 0.9, 0.8, 1, 1, 0.2, 0, 0}, 2, true},
        {"collapsed to a point", 40, 30, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, 1, false},
        {"selection to image maps nothing",
         40,
         30,
         {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5},
         0,
         true},
        {"one row", 380, 1, {0, 1, 1, 1, 1, 0, 0, 0}, 1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILImage source, target;
        ILInitImage(&source);
        ILInitImage(&target);
        ASSERT_EQ(ILReallocImage(&source, row.w, row.h, IL_BGR8, nullptr), IL_OK);
        std::memset(source.data, 0x80, source.stride * source.height);
        ASSERT_EQ(ILReallocImage(&target, row.w, row.h, IL_BGR8, nullptr), IL_OK);
        ILPerspectiveParams p = DefaultPerspective(ILColor{});
        std::memcpy(p.corners, row.corners, sizeof p.corners);
        p.mapping = row.mapping;
        p.scaleX = 2; // the preview is always mapped at scale 1
        EXPECT_EQ(MapPerspectivePreview(h.get(), &source, &target, p, 1), row.valid);
        if (row.valid && row.mapping != 0) {
            EXPECT_EQ(target.width, row.w);
            EXPECT_EQ(target.height, row.h);
        }
        ILFreeImage(&source);
        ILFreeImage(&target);
    }
}

} // namespace
