#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "viewer/logic/projection_3d_settings.h"
#include "viewer/logic/projection_size.h"

namespace {

constexpr uint8_t kLatLong = 0, kCylindrical = 1, kAngular = 2, kMirrorBall = 3;

TEST(Projection3DSettings, SizesAfterChangingProjections) {
    struct Row {
        const char* name;
        uint32_t w, h;
        uint8_t source, target;
        int32_t mode, width, height;
    };
    const Row rows[] = {
        {"wide to square, downsample", 4000, 2000, kLatLong, kAngular, 1, 2000, 2000},
        {"wide to square, upsample", 4000, 2000, kLatLong, kAngular, 2, 4000, 4000},
        {"square to wide, downsample", 2000, 2000, kAngular, kLatLong, 1, 4000, 2000},
        {"square to wide, 300 x 200 up", 300, 200, kAngular, kLatLong, 2, 600, 300},
        {"square to wide, 300 x 200 down", 300, 200, kMirrorBall, kCylindrical, 1, 400, 200},
        // Within one group the image keeps its size, as replaying gives.
        {"wide to wide", 4000, 2000, kLatLong, kCylindrical, 1, 4000, 2000},
        {"square to square", 300, 200, kAngular, kMirrorBall, 2, 300, 200},
        // User size keeps what the fields show.
        {"user size", 4000, 2000, kLatLong, kAngular, 0, 123, 45},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILProjectionParams p{};
        p.width = 123;
        p.height = 45;
        p.sourceProjection = row.source;
        p.targetProjection = row.target;
        p.sizeMode = row.mode;
        UpdateProjection3DSize(&p, row.w, row.h);
        EXPECT_EQ(p.width, row.width);
        EXPECT_EQ(p.height, row.height);
        // The dialog shows what a replay of its record makes.
        int32_t w, h;
        ASSERT_TRUE(
            ProjectionOutputSize(Projection3DRecord(p, row.w, row.h), row.w, row.h, &w, &h));
        EXPECT_EQ(w, row.width);
        EXPECT_EQ(h, row.height);
    }
}

TEST(Projection3DSettings, ResetPicksProjectionsByTheImageShape) {
    const ILColor grey{.r = 0.5f, .g = 0.5f, .b = 0.5f};
    const ILProjectionParams wide = DefaultProjection3D(4000, 2000, grey);
    EXPECT_EQ(wide.sourceProjection, kLatLong);
    EXPECT_EQ(wide.targetProjection, kAngular);
    EXPECT_EQ(wide.sizeMode, 1);
    EXPECT_EQ(wide.oversampling, 1);
    EXPECT_EQ(wide.width, 2000);
    EXPECT_EQ(wide.height, 2000);
    EXPECT_EQ(wide.background.r, 0.5f);
    const ILProjectionParams square = DefaultProjection3D(2000, 2000, grey);
    EXPECT_EQ(square.sourceProjection, kAngular);
    EXPECT_EQ(square.targetProjection, kLatLong);
    EXPECT_EQ(square.width, 4000);
    EXPECT_EQ(square.height, 2000);
}

// Edited sizes in modes 1 and 2 used to be recorded with the mode, so that
// undo and redo recomputed another size than the dialog applied.
TEST(Projection3DSettings, AnEditedSizeIsRecordedAsUserSize) {
    ILProjectionParams p = DefaultProjection3D(4000, 2000, ILColor{});
    EXPECT_EQ(Projection3DRecord(p, 4000, 2000).sizeMode, 1);
    p.width = 1500; // typed into the width field
    const ILProjectionParams record = Projection3DRecord(p, 4000, 2000);
    EXPECT_EQ(record.sizeMode, 0);
    EXPECT_EQ(record.width, 1500);
    EXPECT_EQ(record.height, 2000);
    int32_t w, h;
    ASSERT_TRUE(ProjectionOutputSize(record, 4000, 2000, &w, &h));
    EXPECT_EQ(w, 1500);
    EXPECT_EQ(h, 2000);
}

TEST(Projection3DSettings, StoredRecordsEnterTheControlsInRange) {
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        double angle;
        uint8_t oversampling;
        int32_t mode, width;
        double wantAngle;
        uint8_t wantOversampling;
        int32_t wantMode, wantWidth;
    };
    const Row rows[] = {
        {"fraction truncated", 45.5, 2, 0, 640, 45, 2, 0, 640},
        {"negative angle turned", -30, 1, 0, 640, 330, 1, 0, 640},
        {"full turn", 720, 1, 0, 640, 0, 1, 0, 640},
        {"NaN", nan, 0, 0, 640, 0, 1, 0, 640},
        {"infinity", inf, 200, 0, 640, 0, 8, 0, 640},
        {"huge size", 1e30, 8, 0, 2000000000, 16, 8, 0, kProjectionSizeMaximum},
        {"no size", 0, 1, 0, -5, 0, 1, 0, 1},
        {"mode out of range", 0, 1, 7, 640, 0, 1, 2, 400}, // upsample of 400 x 200
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILProjectionParams stored{};
        stored.angleX = stored.angleY = stored.angleZ = row.angle;
        stored.oversampling = row.oversampling;
        stored.sourceProjection = kLatLong;
        stored.targetProjection = kCylindrical;
        stored.sizeMode = row.mode;
        stored.width = row.width;
        stored.height = 300;
        const ILProjectionParams p = Projection3DFromStored(stored, 400, 200);
        EXPECT_EQ(p.angleX, row.wantAngle);
        EXPECT_EQ(p.angleZ, row.wantAngle);
        EXPECT_EQ(p.oversampling, row.wantOversampling);
        EXPECT_EQ(p.sizeMode, row.wantMode);
        EXPECT_EQ(p.width, row.wantWidth);
    }
}

} // namespace
