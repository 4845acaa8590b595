#include <cstring>
#include <string>

#include <Imath/half.h>
#include <gtest/gtest.h>

#include <cmath>

#include "imglib/convert/srgb.h"
#include "viewer/logic/histogram.h"

namespace {

struct Image {
    ILImage image;
    Image(uint32_t width, uint32_t height, ILPixelType type) {
        EXPECT_EQ(ILCreateImage(&image, width, height, type, nullptr), IL_OK);
        std::memset(image.data, 0, image.stride * height);
    }
    ~Image() { ILClearImage(&image); }
    uint8_t* Row(uint32_t y) { return image.data + y * image.stride; }
};

void SetFloats(uint8_t* p, std::initializer_list<float> values) {
    for (float v : values) {
        std::memcpy(p, &v, 4);
        p += 4;
    }
}

TEST(Histogram, SmallGreyDepthsFillOnlyTheirLevels) {
    Image mono(16, 2, IL_GREY1);
    mono.Row(0)[0] = 0xF0; // four white pixels, the rest black
    HistogramCounts counts;
    ASSERT_TRUE(ComputeHistogramCounts(mono.image, counts));
    EXPECT_FALSE(counts.color);
    EXPECT_EQ(counts.bins[HIST_GREEN][255], 4u);
    EXPECT_EQ(counts.bins[HIST_GREEN][0], 28u);

    Image grey4(4, 1, IL_GREY4);
    grey4.Row(0)[0] = 0x1F; // levels 1 and 15
    grey4.Row(0)[1] = 0x80;
    ASSERT_TRUE(ComputeHistogramCounts(grey4.image, counts));
    for (int i = 0; i < 256; ++i) {
        if (counts.bins[HIST_GREEN][i]) {
            EXPECT_EQ(i % 17, 0) << i;
        }
    }
    EXPECT_EQ(counts.bins[HIST_GREEN][17], 1u);
    EXPECT_EQ(counts.bins[HIST_GREEN][255], 1u);
    EXPECT_EQ(counts.bins[HIST_GREEN][8 * 17], 1u);
}

TEST(Histogram, ChannelsFollowTheByteOrder) {
    for (ILPixelType type : {IL_BGR8, IL_RGB8}) {
        Image image(1, 1, type);
        const bool rgb = type == IL_RGB8;
        uint8_t* p = image.Row(0);
        p[rgb ? 0 : 2] = 200; // red
        p[1] = 100;
        p[rgb ? 2 : 0] = 7;
        HistogramCounts counts;
        ASSERT_TRUE(ComputeHistogramCounts(image.image, counts));
        EXPECT_EQ(counts.bins[HIST_RED][200], 1u) << type;
        EXPECT_EQ(counts.bins[HIST_GREEN][100], 1u) << type;
        EXPECT_EQ(counts.bins[HIST_BLUE][7], 1u) << type;
        const PixelProbe probe = ProbePixel(image.image, 0, 0);
        EXPECT_EQ(probe.encodedText, "200, 100, 7") << type;
        EXPECT_EQ(probe.opacityText, "");
    }
}

TEST(Histogram, FloatValuesAboveOnePileIntoTheLastBin) {
    Image image(2, 1, IL_RGB_FLOAT);
    SetFloats(image.Row(0), {3.0f, 0.5f, -1.0f, 1.0f, 1.0f, 1.0f});
    HistogramCounts counts;
    ASSERT_TRUE(ComputeHistogramCounts(image.image, counts));
    EXPECT_TRUE(counts.wideRange);
    EXPECT_EQ(counts.bins[HIST_RED][255], 2u);
    EXPECT_EQ(counts.bins[HIST_BLUE][0], 1u);
    EXPECT_EQ(counts.bins[HIST_GREEN][127], 1u);
}

// Half samples agree with Imath's conversion over every code.
TEST(Histogram, HalfSamplesReadExactly) {
    Image image(1, 1, IL_GREY_HALF);
    for (uint32_t code = 0; code < 65536; ++code) {
        const uint16_t bits = static_cast<uint16_t>(code);
        std::memcpy(image.Row(0), &bits, 2);
        Imath::half h;
        h.setBits(bits);
        const PixelProbe probe = ProbePixel(image.image, 0, 0);
        const float want = h;
        if (std::isnan(want))
            EXPECT_TRUE(std::isnan(probe.linear[HIST_GREEN])) << code;
        else
            EXPECT_EQ(probe.linear[HIST_GREEN], want) << code;
    }
}

TEST(Histogram, BarsAreCappedAtTheirHeight) {
    uint32_t bins[kHistogramBins] = {};
    bins[10] = 3;  // 3 % of 100 pixels
    bins[200] = 1; // 1 %
    BarHeights bars;
    ComputeBarHeights(bins, 5000, 100, bars);
    EXPECT_EQ(bars.heights[10], 104u);
    EXPECT_EQ(bars.heights[200], 50u);
    EXPECT_EQ(bars.first, 10);
    EXPECT_EQ(bars.last, 200);
    const uint32_t empty[kHistogramBins] = {};
    ComputeBarHeights(empty, 1000, 0, bars);
    EXPECT_EQ(bars.first, -1);
    EXPECT_EQ(bars.last, -1);
}

TEST(Histogram, ProbePositionCountsFromTheBottomRow) {
    Image image(100, 50, IL_GREY8);
    EXPECT_EQ(ProbePixel(image.image, 0, 49).position, "1 / 1");
    EXPECT_EQ(ProbePixel(image.image, 99, 0).position, "100 / 50");
    EXPECT_FALSE(ProbePixel(image.image, 100, 0).valid);
    EXPECT_FALSE(ProbePixel(image.image, -1, 3).valid);
}

TEST(Histogram, ProbeTextsOfGreyAndAlpha) {
    Image grey(1, 1, IL_GREY16);
    std::memset(grey.Row(0), 0xFF, 2);
    PixelProbe probe = ProbePixel(grey.image, 0, 0);
    EXPECT_EQ(probe.encodedText, "255");
    EXPECT_EQ(probe.linearText, "1.0000");
    EXPECT_NEAR(std::stod(probe.labText), 100.0, 1e-3); // L* of white

    Image rgba(1, 1, IL_BGRA8);
    std::memset(rgba.Row(0), 0xFF, 4);
    probe = ProbePixel(rgba.image, 0, 0);
    EXPECT_EQ(probe.opacityText, "opaque: 1.0000");
    EXPECT_EQ(probe.labText.substr(0, 6), "100.00");
}

TEST(Histogram, ClipboardTextRepeatsASingleGreyValue) {
    EXPECT_EQ(ProbeClipboardText("0.2140, 0.5000, 1.0000"), "<0.2140, 0.5000, 1.0000>");
    EXPECT_EQ(ProbeClipboardText("0.2140   "), "<0.2140, 0.2140, 0.2140>");
    EXPECT_EQ(ProbeClipboardText("100.0000"), "<100.0000>");
    EXPECT_EQ(ProbeClipboardText(""), "");
}

TEST(Histogram, IndexedImagesCountTheirPaletteColours) {
    Image image(2, 1, IL_INDEX8);
    ILPalette palette(2);
    palette.SetEntryBGR8(0, 10, 20, 30);
    palette.SetEntryBGR8(1, 1, 2, 3);
    image.image.palette = &palette;
    image.Row(0)[0] = 1;
    image.Row(0)[1] = 200; // beyond the palette: black
    HistogramCounts counts;
    ASSERT_TRUE(ComputeHistogramCounts(image.image, counts));
    EXPECT_EQ(counts.bins[HIST_RED][3], 1u);
    EXPECT_EQ(counts.bins[HIST_BLUE][1], 1u);
    EXPECT_EQ(counts.bins[HIST_RED][0], 1u);
    const PixelProbe probe = ProbePixel(image.image, 0, 0);
    EXPECT_EQ(probe.indexText, "index: 1");
    EXPECT_EQ(probe.encodedText, "3, 2, 1");
    image.image.palette = nullptr;
    EXPECT_FALSE(ComputeHistogramCounts(image.image, counts));
}

} // namespace
