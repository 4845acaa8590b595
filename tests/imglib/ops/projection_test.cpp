#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "imglib/convert/suite_handle.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/ops_support.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/projection_rows.h"

namespace {

using vxtest::Image;

class Projection : public SuiteHandleTest {};

ILProjectionParams Params(uint8_t from, uint8_t to, double x, double y, double z,
                          uint8_t oversampling = 0) {
    ILProjectionParams p{};
    p.angleX = x, p.angleY = y, p.angleZ = z;
    p.background = ILColor{.r = 1, .g = 0, .b = 0, .a = 1, .index = -1};
    p.oversampling = oversampling;
    p.sourceProjection = from;
    p.targetProjection = to;
    return p;
}

TEST_F(Projection, LatitudeLongitudeTurnsAreWraps) {
    Image source(64, 32, IL_BGR8);
    vxtest::FillSeeded(&source, 1);
    {
        SCOPED_TRACE("no turn reproduces the source");
        Image target(64, 32, IL_BGR8);
        const ILProjectionParams p = Params(0, 0, 0, 0, 0);
        ASSERT_EQ(ILProjectImage(handle_, &source, &target, &p), IL_OK);
        EXPECT_TRUE(vxtest::Packed(target) == vxtest::Packed(source));
    }
    for (double angle : {180.0, -180.0, 540.0}) {
        SCOPED_TRACE(::testing::Message()
                     << "a turn of " << angle << " about y is a half-width wrap");
        Image target(64, 32, IL_BGR8), shifted;
        const ILProjectionParams p = Params(0, 0, 0, angle, 0);
        ASSERT_EQ(ILProjectImage(handle_, &source, &target, &p), IL_OK);
        ASSERT_EQ(ILShiftImage(&source, &shifted, 32, 0), IL_OK);
        EXPECT_TRUE(vxtest::Packed(target) == vxtest::Packed(shifted));
    }
}

// Disc-shaped targets get the background outside their inscribed ellipse,
// and the rim of a mirror ball or the far side of an angular image never
// gives a non-number.
TEST_F(Projection, DiscTargetsAndFiniteSamples) {
    Image source(64, 32, IL_BGR_FLOAT);
    vxtest::FillSeeded(&source, 2);
    for (uint8_t to : {2, 3}) {
        for (uint8_t from : {0, 1, 2, 3}) {
            SCOPED_TRACE(::testing::Message()
                         << ILProjectionNames[from] << " to " << ILProjectionNames[to]);
            Image target(40, 30, IL_BGR_FLOAT);
            const ILProjectionParams p = Params(from, to, 10, 20, 30, 2);
            ASSERT_EQ(ILProjectImage(handle_, &source, &target, &p), IL_OK);
            for (uint32_t y = 0; y < 30; ++y)
                for (uint32_t x = 0; x < 40; ++x) {
                    float v[3];
                    std::memcpy(v, target.data + y * target.stride + x * 12, 12);
                    const double dx = (x + 0.5) / 40 - 0.5, dy = (y + 0.5) / 30 - 0.5;
                    if (dx * dx + dy * dy > 0.25) {
                        ASSERT_EQ(v[2], 1.0f); // red background, stored B, G, R
                        ASSERT_EQ(v[0], 0.0f);
                    }
                    for (float f : v)
                        ASSERT_TRUE(std::isfinite(f)) << x << "," << y;
                }
        }
    }
}

// The rows mapped in lanes (and mirrored where the turn allows) against the
// per-point loop on the same noise: every pair of projections, turns that
// keep each symmetry and one that keeps none, odd and even sizes, each 8-bit
// layout. Positions agree to within rounding, so a sample differs at most
// by one code, and only where a weighted sum lies next to a code's edge.
TEST_F(Projection, RowsMatchThePerPointLoop) {
    struct Turn {
        double x, y, z;
    };
    const Turn turns[] = {{0, 0, 0}, {35, 0, 0}, {0, -70, 0}, {0, 0, 100}, {10, 200, -30}};
    const ILPixelType types[] = {IL_BGR8, IL_GREY8, IL_GREY_A8, IL_BGRA8};
    for (size_t k = 0; k < std::size(types); ++k) {
        Image source(97 + k, 50 + k, types[k]);
        vxtest::FillSeeded(&source, 3 + k);
        for (const Turn& turn : turns)
            for (uint8_t from = 0; from < IL_PROJECTION_COUNT; ++from)
                for (uint8_t to = 0; to < IL_PROJECTION_COUNT; ++to) {
                    SCOPED_TRACE(::testing::Message()
                                 << ILProjectionNames[from] << " to " << ILProjectionNames[to]
                                 << ", turn " << turn.x << " " << turn.y << " " << turn.z
                                 << ", type " << types[k]);
                    const uint32_t w = 60 + k + to, h = 45 + 2 * k + to;
                    Image rows(w, h, types[k]), points(w, h, types[k]);
                    const ILProjectionParams p = Params(from, to, turn.x, turn.y, turn.z, 1);
                    ASSERT_EQ(ILProjectImageBy(handle_, &source, &rows, &p,
                                               ILProjectionPath::kFastest),
                              IL_OK);
                    ASSERT_EQ(ILProjectImageBy(handle_, &source, &points, &p,
                                               ILProjectionPath::kPerPoint),
                              IL_OK);
                    const std::vector<uint8_t> a = vxtest::Packed(rows), b = vxtest::Packed(points);
                    ASSERT_EQ(a.size(), b.size());
                    size_t differing = 0;
                    for (size_t i = 0; i < a.size(); ++i) {
                        ASSERT_LE(std::abs(a[i] - b[i]), 1) << "byte " << i;
                        differing += a[i] != b[i];
                    }
                    EXPECT_LE(differing, a.size() / 200);
                }
    }
}

TEST_F(Projection, RefusesCodesAndAnglesFromBadActions) {
    Image source(16, 8, IL_BGR8), target(16, 8, IL_BGR8), grey(16, 8, IL_GREY8);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const ILProjectionParams& p : {Params(4, 0, 0, 0, 0), Params(0, 255, 0, 0, 0),
                                        Params(0, 0, nan, 0, 0), Params(0, 0, 0, 0, INFINITY)})
        EXPECT_EQ(ILProjectImage(handle_, &source, &target, &p), IL_BAD_ARGUMENT);
    const ILProjectionParams ok = Params(0, 2, 0, 1e300, 0);
    EXPECT_EQ(ILProjectImage(handle_, &source, &grey, &ok), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILProjectImage(handle_, &source, &target, &ok), IL_OK);
}

TEST(ProjectionParams, SixtyBytesAtFixedOffsets) {
    ILProjectionParams p = Params(1, 3, 1.5, -2.25, 1e10, 4);
    p.background.index = -1;
    p.width = 4096;
    p.height = -7;
    p.sizeMode = 2;
    uint8_t bytes[IL_PROJECTION_PARAMS_BYTES + 1];
    bytes[IL_PROJECTION_PARAMS_BYTES] = 0xEE;
    ILProjectionParamsToBytes(&p, bytes);
    EXPECT_EQ(bytes[IL_PROJECTION_PARAMS_BYTES], 0xEE); // nothing past 60
    EXPECT_EQ(bytes[44], 4);
    EXPECT_EQ(bytes[45], 1);
    EXPECT_EQ(bytes[46], 3);
    EXPECT_EQ(bytes[47], 0);
    const uint8_t width[4] = {0x00, 0x10, 0, 0};
    EXPECT_EQ(std::memcmp(bytes + 48, width, 4), 0);
    const uint8_t one[4] = {0, 0, 0x80, 0x3F}; // red 1.0f
    EXPECT_EQ(std::memcmp(bytes + 24, one, 4), 0);
    ILProjectionParams back{};
    ILProjectionParamsFromBytes(bytes, &back);
    EXPECT_EQ(back.angleY, -2.25);
    EXPECT_EQ(back.angleZ, 1e10);
    EXPECT_EQ(back.background.index, -1);
    EXPECT_EQ(back.height, -7);
    EXPECT_EQ(back.sizeMode, 2);
    EXPECT_EQ(back.targetProjection, 3);
}

} // namespace
