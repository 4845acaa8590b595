// Blocks from action files reach the tool dialogs' settings through the
// blocks' bounds checks and the settings' conversions: NaN, infinities and
// huge values come out as control values in range, or the block is refused.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "viewer/actions/action_blocks.h"
#include "viewer/logic/affine_settings.h"
#include "viewer/tool_settings/alpha_settings.h"
#include "viewer/tool_settings/color_filter_settings.h"
#include "viewer/tool_settings/gauss_settings.h"
#include "viewer/logic/perspective_settings.h"
#include "viewer/logic/projection_3d_settings.h"
#include "viewer/tool_settings/tone_map_settings.h"
#include "viewer/tool_settings/write_text_settings.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// The block as a file holds it, decoded again.
template <typename Block>
bool FromFile(const Block& written, uint32_t bytes, Block* read) {
    std::vector<uint8_t> file(bytes);
    EncodeBlock(written, file.data());
    return DecodeBlock(file.data(), read);
}

bool Finite(double v) {
    return std::isfinite(v);
}

TEST(StoredSettings, HostileNumbersBecomeControlValuesInRange) {
    ToneMapBlock tone{kNaN, kInf, 0, -kInf, kNaN, std::numeric_limits<int32_t>::min()};
    ASSERT_TRUE(FromFile(tone, kToneMapBytes, &tone));
    const ToneMapSliders sliders = ToneMapSlidersOf(tone);
    for (int i = 0; i < kToneMapSliderCount; ++i) {
        EXPECT_GE(sliders.v[i], kToneMapRanges[i].minimum) << i;
        EXPECT_LE(sliders.v[i], kToneMapRanges[i].maximum) << i;
    }
    const ToneMapBlock quantised = ToneMapFromStored(tone);
    EXPECT_TRUE(Finite(quantised.exposure) && Finite(quantised.exponent) &&
                Finite(quantised.black) && Finite(quantised.hue) && Finite(quantised.chroma));

    ColorFilterBlock filter{kNaN, kInf, -kInf, 1e30f};
    ASSERT_TRUE(FromFile(filter, kColorFilterBytes, &filter));
    const ColorFilterSliders f = ColorFilterSlidersOf(filter);
    EXPECT_EQ(f.shadowHue, 0);
    EXPECT_EQ(f.lightHue, 360);
    EXPECT_EQ(f.shadowStrength, 0);
    EXPECT_EQ(f.lightStrength, 100);

    GaussBlock gauss;
    gauss.amount = kNaN;
    gauss.gain = kInf;
    gauss.radius = std::numeric_limits<int32_t>::max();
    ASSERT_TRUE(FromFile(gauss, kGaussBytes, &gauss));
    const GaussBlock g = GaussFromStored(gauss, GaussDefaults());
    EXPECT_FLOAT_EQ(g.amount, 0.01f);
    EXPECT_FLOAT_EQ(g.gain, 1);
    EXPECT_EQ(g.radius, 100);

    WriteTextBlock text;
    text.effect = kNaN;
    text.anchorX = std::numeric_limits<int32_t>::min();
    ASSERT_TRUE(FromFile(text, kWriteTextBytes, &text));
    const WriteTextSettings t = WriteTextFromStored(text);
    EXPECT_EQ(t.effect, 0);
    EXPECT_EQ(t.offsetX, -99999);

    ILAffineParams affine = DefaultAffine(ILColor{});
    affine.angle = kNaN;
    affine.scaleX = kInf;
    affine.shiftY = -1e300;
    affine.oversampling = 255;
    ASSERT_TRUE(FromFile(affine, kAffineBytes, &affine));
    const ILAffineParams a = AffineFromStored(affine);
    EXPECT_EQ(AffineSlidersOf(a).angle, 0);
    EXPECT_EQ(AffineSlidersOf(a).scale, 2500);
    EXPECT_EQ(AffineSlidersOf(a).shiftY, -800);
    EXPECT_EQ(a.oversampling, 8);

    ILPerspectiveParams perspective = DefaultPerspective(ILColor{});
    perspective.corners[5] = kNaN;
    perspective.scaleX = -kInf;
    ASSERT_TRUE(FromFile(perspective, kPerspectiveBytes, &perspective));
    const ILPerspectiveParams p = PerspectiveFromStored(perspective, true);
    EXPECT_EQ(p.corners[5], 0);
    EXPECT_EQ(p.scaleX, 0.25);

    ILProjectionParams projection{};
    projection.angleX = kNaN;
    projection.angleY = -kInf;
    projection.width = std::numeric_limits<int32_t>::max();
    projection.height = 1;
    ASSERT_TRUE(FromFile(projection, kProjectionBytes, &projection));
    const ILProjectionParams r = Projection3DFromStored(projection, 400, 200);
    EXPECT_EQ(r.angleX, 0);
    EXPECT_EQ(r.angleY, 0);
    EXPECT_EQ(r.width, kProjectionSizeMaximum);
}

// Out-of-range values the blocks' checks refuse never reach a dialog.
TEST(StoredSettings, RefusedBlocksReachNoDialog) {
    AlphaBlock alpha;
    alpha.opacity = kNaN;
    EXPECT_FALSE(FromFile(alpha, kAlphaBytes, &alpha));
    alpha.opacity = 1.5f;
    EXPECT_FALSE(FromFile(alpha, kAlphaBytes, &alpha));
    ResampleBlock resample{0, 10, 1};
    EXPECT_FALSE(FromFile(resample, kResampleBytes, &resample));
    ExpandBlock expand;
    expand.margins.left = -1;
    EXPECT_FALSE(FromFile(expand, kExpandBytes, &expand));
    GaussBlock gauss;
    gauss.operation = 9;
    EXPECT_FALSE(FromFile(gauss, kGaussBytes, &gauss));
}

} // namespace
