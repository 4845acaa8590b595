#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <Imath/half.h>

#include "imglib/ops/color_ops.h"
#include "imglib/ops/ops_support.h"
#include "support/test_folder.h"

namespace {

using vxtest::Image;

// vips inverts every band; alpha (the last of two or four) must stay ours.
TEST(Invert, MatchesVipsOnColourSamplesAndKeepsAlpha) {
    const auto dir = vxtest::MakeTestFolder("invert");
    for (ILPixelType type : {IL_GREY8, IL_GREY_A16, IL_BGR8, IL_BGRA8, IL_BGR16, IL_RGBA16}) {
        SCOPED_TRACE(type);
        Image image(29, 13, type);
        vxtest::FillSeeded(&image, type);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        const auto want = vxtest::VipsRun(image, dir, {"invert {in} {out}"})[0];
        if (want.empty()) GTEST_SKIP() << "vips not available";
        EXPECT_EQ(ILInvertImage(&image), 1);
        const std::vector<uint8_t> got = vxtest::Packed(image);
        ASSERT_EQ(got.size(), want.size());
        const uint32_t sampleBytes = image.bits / 8, c = image.channels;
        const bool hasAlpha = c == 2 || c == 4;
        for (size_t i = 0; i < got.size(); ++i) {
            const bool alpha = hasAlpha && (i / sampleBytes) % c == c - 1;
            ASSERT_EQ(got[i], alpha ? before[i] : want[i]) << "byte " << i;
        }
    }
}

TEST(Invert, FloatHalfAndPaletteImages) {
    Image f(3, 1, IL_GREY_A_FLOAT);
    const float in[6] = {0.25f, 0.5f, 2.0f, 0.75f, -1.0f, 1.0f};
    std::memcpy(f.data, in, sizeof in);
    ILInvertImage(&f);
    const float* out = reinterpret_cast<const float*>(f.data);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    EXPECT_FLOAT_EQ(out[1], 0.5f); // alpha
    EXPECT_FLOAT_EQ(out[2], -1.0f);
    EXPECT_FLOAT_EQ(out[4], 2.0f);

    Image h(1, 1, IL_BGRA_HALF);
    uint16_t* hp = reinterpret_cast<uint16_t*>(h.data);
    for (int i = 0; i < 4; ++i)
        hp[i] = half(0.25f * static_cast<float>(i)).bits();
    ILInvertImage(&h);
    EXPECT_EQ(hp[0], half(1.0f).bits());
    EXPECT_EQ(hp[2], half(0.5f).bits());
    EXPECT_EQ(hp[3], half(0.75f).bits());

    // Only the palette changes; twice restores it exactly.
    Image p(4, 2, IL_INDEX8);
    vxtest::FillSeeded(&p, 5);
    p.palette = new ILPalette(300);
    for (uint32_t i = 0; i < 300; ++i)
        p.palette->SetEntry16(i, static_cast<uint16_t>(i * 200), 7, 65535, 1234);
    const std::vector<uint8_t> indices = vxtest::Packed(p);
    ILInvertImage(&p);
    EXPECT_EQ(vxtest::Packed(p), indices);
    EXPECT_EQ(p.palette->GetEntry(3).blue, 65535 - 600);
    EXPECT_EQ(p.palette->GetEntry(3).red, 0);
    EXPECT_EQ(p.palette->GetEntry(3).alpha, 1234);
    EXPECT_EQ(p.palette->GetEntry(299).blue, 299 * 200); // beyond what 8-bit indices reach
    ILInvertImage(&p);
    EXPECT_EQ(p.palette->GetEntry(3).blue, 600);
    EXPECT_EQ(p.palette->GetEntry(3).green, 7);
}

// vips takes the bands apart and joins them in the other order.
TEST(SwapRedBlue, EqualsAVipsBandSwapForEveryWidth) {
    const auto dir = vxtest::MakeTestFolder("swap");
    const std::string d = dir.string();
    for (ILPixelType type : {IL_BGR8, IL_RGBA8, IL_BGRA16, IL_RGB_FLOAT}) {
        SCOPED_TRACE(type);
        Image image(17, 9, type);
        vxtest::FillSeeded(&image, type);
        std::string join = "bandjoin \"" + d + "/2.v " + d + "/1.v " + d + "/0.v";
        std::vector<std::string> operations;
        for (uint32_t band = 0; band < image.channels; ++band)
            operations.push_back("extract_band {in} " + d + "/" + std::to_string(band) + ".v " +
                                 std::to_string(band));
        if (image.channels == 4) join += " " + d + "/3.v";
        operations.push_back(join + "\" {out}");
        const auto want = vxtest::VipsRun(image, dir, operations).back();
        if (want.empty()) GTEST_SKIP() << "vips not available";
        EXPECT_EQ(ILSwapRedBlue(&image), 1);
        EXPECT_EQ(image.type, type);
        EXPECT_EQ(vxtest::Packed(image), want);
    }
}

TEST(SwapRedBlue, RefusesGreyAndOddWidthsAndSwapsPalettes) {
    Image grey(3, 3, IL_GREY_A8), packed(3, 3, IL_BGR_565);
    vxtest::FillSeeded(&grey, 1);
    const auto before = vxtest::Packed(grey);
    EXPECT_EQ(ILSwapRedBlue(&grey), 0);
    EXPECT_EQ(vxtest::Packed(grey), before);
    EXPECT_EQ(ILSwapRedBlue(&packed), 0);

    Image p(2, 2, IL_INDEX4);
    p.palette = new ILPalette(16);
    p.palette->SetEntry16(5, 1, 2, 3, 4);
    EXPECT_EQ(ILSwapRedBlue(&p), 1);
    const ILPaletteEntry e = p.palette->GetEntry(5);
    EXPECT_EQ(e.blue, 3);
    EXPECT_EQ(e.green, 2);
    EXPECT_EQ(e.red, 1);
    EXPECT_EQ(e.alpha, 4);
}

} // namespace
