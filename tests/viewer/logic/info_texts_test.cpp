#include <gtest/gtest.h>

#include "viewer/logic/info_texts.h"

namespace {

TEST(InfoTexts, ThousandsAndFileSizesBeyondFourGiB) {
    EXPECT_EQ(FormatThousands(1234567), "1.234.567");
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1.000");
    EXPECT_EQ(FormatThousands(5000000000ULL), "5.000.000.000");
}

TEST(InfoTexts, FormatVariants) {
    EXPECT_EQ(FormatText(0), "NONE");
    EXPECT_EQ(FormatText(-2), "Clipboard");
    EXPECT_EQ(FormatText(-3), "Acquired");
    EXPECT_EQ(FormatText(145), "Portable Graymap");
    EXPECT_EQ(FormatText(114), std::string(ILGetFormatDescription(112)) + " (motorola)");
    EXPECT_EQ(FormatText(34), std::string(ILGetFormatDescription(32)) + " 89a");
    EXPECT_EQ(CompressionName(81), std::string("DCT (Huffman, progressive)"));
    EXPECT_EQ(CompressionName(99), std::string("unknown"));
}

TEST(InfoTexts, ColourAndGammaOfTheStoredImage) {
    ILInfo info;
    info.colorType = 2;
    info.bitsPerPixel = 8;
    info.channels = 1;
    info.gamma = 2.2;
    EXPECT_EQ(ColorText(info), "grayscale (8 bit)");
    EXPECT_EQ(GammaText(info), "2.20 (sGRAY assumed)");
    info.colorType = 4;
    info.bitsPerPixel = 16;
    info.channels = 3;
    EXPECT_EQ(ColorText(info), "RGB (16 bit, 5-6-5 bps)");
    info.bitsPerPixel = 64;
    info.channels = 4;
    info.alphaKind = IL_ALPHA_PREMULTIPLIED;
    EXPECT_EQ(ColorText(info), "RGB (64 bit, 16 bps) with pre-mutiplied alpha");
    info.gammaKind = IL_GAMMA_ICC_SRGB;
    EXPECT_EQ(GammaText(info), " sRGB ICC profile");
    info.colorType = 1;
    EXPECT_EQ(GammaText(info), "-");
    info.colorType = 3;
    info.gammaKind = IL_GAMMA_ASSUMED;
    info.gamma = 0;
    EXPECT_EQ(GammaText(info), "-");
    info.gamma = 1.8;
    EXPECT_EQ(GammaText(info), "1.80 (assumed)");
}

TEST(InfoTexts, ResolutionInTheChosenUnit) {
    EXPECT_EQ(ResolutionText(600, 300, 300, 300, 1), "300 ppi (2.00 x 1.00 inch)");
    EXPECT_EQ(ResolutionText(600, 300, 300, 300, 0), "300 ppi (5.08 x 2.54 cm)");
    EXPECT_EQ(ResolutionText(600, 300, 300, 150, 1), "300 x 150 ppi (2.00 x 2.00 inch)");
    EXPECT_EQ(ResolutionText(600, 300, 0, 0, 1), "-");
    EXPECT_EQ(ResolutionText(600, 300, 72, 0, 1), "-"); // never divides by zero
}

TEST(InfoTexts, NoImageShowsNoneAndDashes) {
    ILInfo info;
    ILImage image;
    const InfoTexts t = BuildInfoTexts(info, image, {});
    EXPECT_EQ(t.format, "NONE");
    for (const std::string* s : {&t.fileSize, &t.compression, &t.imageSize, &t.color, &t.resolution,
                                 &t.currentSize, &t.mode, &t.currentResolution})
        EXPECT_EQ(*s, "-");
    EXPECT_FALSE(t.hasFile);
    for (int page = 1; page <= kInfoPageCount; ++page)
        EXPECT_EQ(InfoPageText(info, page), "");
}

TEST(InfoTexts, CurrentImageModeAndAlphaState) {
    ILInfo info;
    ILImage image;
    uint8_t pixel[4] = {};
    image.data = pixel;
    image.width = 1;
    image.height = 1;
    image.type = IL_BGRA8;
    InfoViewFacts facts;
    facts.useAlpha = true;
    facts.viewPpiX = facts.viewPpiY = 96;
    facts.resolutionUnit = 1;
    InfoTexts t = BuildInfoTexts(info, image, facts);
    EXPECT_EQ(t.mode, "RGB 8 bps alpha enabled");
    EXPECT_EQ(t.currentSize, "1 x 1 pixel");
    EXPECT_EQ(t.currentResolution, "96 ppi (0.01 x 0.01 inch)");
    image.type = IL_GREY1;
    t = BuildInfoTexts(info, image, facts);
    EXPECT_EQ(t.mode, "Monochrome no alpha channel");
    image.data = nullptr; // not ours to free
}

} // namespace
