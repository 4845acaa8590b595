#include <Imath/half.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/convert/kernel_table.h"
#include "imglib/convert/srgb.h"
#include "imglib/handle.h"
#include "suite_handle.h"

namespace {

class RowsIndexedTest : public SuiteHandleTest {};

// Five distinct entries, one of them half transparent.
ILPalette FivePalette() {
    ILPalette p(5);
    p.SetEntry16(0, 0, 0, 0, 65535);
    p.SetEntry16(1, 65535, 65535, 65535, 65535);
    p.SetEntry16(2, 1000, 30000, 60000, 65535);
    p.SetEntry16(3, 50000, 257 * 3, 257 * 200, 32768);
    p.SetEntry16(4, 12345, 23456, 34567, 0);
    return p;
}

// Codes for a row: every code the width can hold, including ones past the
// palette's five entries.
std::vector<uint8_t> PackCodes(const std::vector<uint32_t>& codes, int bits) {
    std::vector<uint8_t> row((codes.size() * bits + 7) / 8);
    for (size_t x = 0; x < codes.size(); ++x) {
        const int shift = 8 - bits * int(x % (8 / bits) + 1);
        row[x * bits / 8] |= uint8_t(codes[x] << shift);
    }
    return row;
}

// The pixel each target form should hold for palette entry e, read through
// the palette's own accessors; zeros for a code without an entry.
std::vector<uint8_t> Expected(const ILPalette& p, ILPixelType target, uint32_t code) {
    std::vector<uint8_t> px;
    auto put16 = [&px](uint16_t v) { px.push_back(uint8_t(v)), px.push_back(uint8_t(v >> 8)); };
    auto putF = [&px](float v) {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        px.insert(px.end(), b, b + 4);
    };
    const ILPaletteEntry e = code < p.count ? p.entries[code] : ILPaletteEntry{};
    switch (target) {
        case IL_BGR8:
            px.resize(3);
            if (code < p.count) p.ReadBGR8(code, px.data());
            break;
        case IL_RGBA8:
            px.resize(4);
            if (code < p.count) p.ReadRGBA8(code, px.data());
            break;
        case IL_GREY8:
            px.push_back(code < p.count ? ILGray8FromRGB16(e.red, e.green, e.blue) : 0);
            break;
        case IL_BGR16:
            put16(e.blue), put16(e.green), put16(e.red);
            break;
        case IL_BGR_FLOAT:
            for (uint16_t v : {e.blue, e.green, e.red})
                putF(code < p.count ? ILSrgbTable16[v] : 0.0f);
            break;
    }
    return px;
}

TEST_F(RowsIndexedTest, LookupsCopyTheEntryOfEveryCode) {
    const ILPalette palette = FivePalette();
    std::mt19937 rng(5);
    // Short and long rows: a long one may take another path through the table.
    for (auto [bits, width] : {std::pair{1, 37}, {2, 37}, {4, 37}, {8, 37}, {8, 300}}) {
        std::vector<uint32_t> codes(width);
        for (uint32_t& code : codes)
            code = rng() % (1u << bits);
        codes[0] = (1u << bits) - 1; // past the palette unless 1-bit
        const std::vector<uint8_t> row = PackCodes(codes, bits);
        const ILPixelType source = bits == 1   ? IL_INDEX1
                                   : bits == 2 ? IL_INDEX2
                                   : bits == 4 ? IL_INDEX4
                                               : IL_INDEX8;
        for (ILPixelType target : {IL_BGR8, IL_RGBA8, IL_GREY8, IL_BGR16, IL_BGR_FLOAT}) {
            for (ILPixelType from : {source, source | IL_EXTRA_ALPHA}) {
                SCOPED_TRACE(::testing::Message() << std::hex << from << " -> " << target);
                ILConverter c;
                ILConverterInit(&c);
                ILConverterSetModes(&c, from, target, codes.size());
                ILConverterSetPalette(&c, const_cast<ILPalette*>(&palette)); // attached late
                ASSERT_TRUE(ILConverterPrepare(&c));
                std::vector<uint8_t> want;
                for (uint32_t code : codes) {
                    const std::vector<uint8_t> px = Expected(palette, target, code);
                    want.insert(want.end(), px.begin(), px.end());
                }
                std::vector<uint8_t> out(want.size(), 0xEE);
                c.rowKernel(&c, row.data(), out.data());
                EXPECT_EQ(out, want);
                ILConverterFree(&c);
            }
        }
    }
}

// With alpha handling 2 the 8-bit colour entries are laid over the
// background in linear light; the grey forms keep the entry's own colour.
TEST_F(RowsIndexedTest, CompositedEntriesTakeTheBackground) {
    const ILPalette palette = FivePalette();
    ILColor background;
    background.Set(0.8f, 0.1f, 0.4f); // r, g, b
    uint8_t bgBGR[3];
    background.ToBGR8(bgBGR);
    const std::vector<uint8_t> codes{4, 3, 1};
    struct Case {
        ILPixelType target;
        int size, b, r; // bytes per pixel, positions of blue and red
    } cases[] = {{IL_BGR8, 3, 0, 2}, {IL_RGB8, 3, 2, 0}, {IL_BGRA8, 4, 0, 2}, {IL_RGBA8, 4, 2, 0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.target);
        ILConverter c;
        ILConverterInit(&c);
        ILConverterSetPalette(&c, const_cast<ILPalette*>(&palette));
        ILConverterSetBackground(&c, background);
        ILConverterSetAlphaMode(&c, 2);
        ILConverterSetModes(&c, IL_INDEX8, k.target, codes.size());
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> out(codes.size() * k.size, 0xEE);
        c.rowKernel(&c, codes.data(), out.data());
        // Entry 4 is transparent: the background, channel by channel.
        EXPECT_EQ(out[k.b], bgBGR[0]);
        EXPECT_EQ(out[1], bgBGR[1]);
        EXPECT_EQ(out[k.r], bgBGR[2]);
        // Entry 3 covers half: the mix of both in linear light.
        const ILPaletteEntry e = palette.entries[3];
        const double alpha = (e.alpha / 257) / 255.0;
        const double bg[3] = {background.b, background.g, background.r};
        const uint16_t fg[3] = {e.blue, e.green, e.red};
        for (int ch = 0; ch < 3; ++ch) {
            const double v = (fg[ch] / 257) / 255.0;
            const double lin = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            const double mix = alpha * lin + (1 - alpha) * bg[ch];
            const double enc =
                mix <= 0.0031308 ? 12.92 * mix : 1.055 * std::pow(mix, 1 / 2.4) - 0.055;
            const int at = k.size + (ch == 0 ? k.b : ch == 2 ? k.r : 1);
            EXPECT_NEAR(out[at], enc * 255.5, 1.0) << "channel " << ch;
        }
        // Entry 1 is opaque white; composited entries become opaque.
        EXPECT_EQ(out[2 * k.size], 255);
        if (k.size == 4) {
            EXPECT_EQ(out[3], 255);
        }
        ILConverterFree(&c);
    }

    ILConverter c;
    ILConverterInit(&c);
    ILConverterSetPalette(&c, const_cast<ILPalette*>(&palette));
    ILConverterSetBackground(&c, background);
    ILConverterSetAlphaMode(&c, 2);
    ILConverterSetModes(&c, IL_INDEX8, IL_GREY8, 1);
    ASSERT_TRUE(ILConverterPrepare(&c));
    uint8_t code = 4, grey = 0;
    c.rowKernel(&c, &code, &grey);
    const ILPaletteEntry e = palette.entries[4];
    EXPECT_EQ(grey, ILGray8FromRGB16(e.red, e.green, e.blue));
    ILConverterFree(&c);
}

// 16-bit palette alpha rounds to 8 bits for grey+alpha 8.
TEST_F(RowsIndexedTest, GreyAlphaEntriesRoundTheirAlpha) {
    ILPalette palette(3);
    palette.SetEntry16(0, 0, 0, 0, 32767);
    palette.SetEntry16(1, 0, 0, 0, 32768);
    palette.SetEntry16(2, 65535, 65535, 65535, 65535);
    ILConverter c;
    ILConverterInit(&c);
    ILConverterSetPalette(&c, &palette);
    ILConverterSetModes(&c, IL_INDEX_A4, IL_GREY_A8, 3);
    ASSERT_TRUE(ILConverterPrepare(&c));
    const uint8_t row[2] = {0x01, 0x20};
    std::array<uint8_t, 6> out{};
    c.rowKernel(&c, row, out.data());
    EXPECT_EQ(out, (std::array<uint8_t, 6>{0, 127, 0, 128, 255, 255}));
    ILConverterFree(&c);
}

TEST_F(RowsIndexedTest, CodesRepackBetweenWidths) {
    ILPalette palette(16);
    struct Case {
        const char* name;
        ILPixelType source, target;
        uint64_t width;
        std::vector<uint8_t> in, want;
    } cases[] = {
        {"4 to 8", IL_INDEX4, IL_INDEX8, 3, {0xAB, 0x70}, {10, 11, 7}},
        {"2 to 8", IL_INDEX_A2, IL_INDEX8, 5, {0x1B, 0x80}, {0, 1, 2, 3, 2}},
        {"1 to 8", IL_INDEX1, IL_INDEX_A8, 9, {0xA5, 0x80}, {1, 0, 1, 0, 0, 1, 0, 1, 1}},
        {"2 to 4", IL_INDEX2, IL_INDEX4, 4, {0x1B}, {0x01, 0x23}},
        {"2 to 4, odd width", IL_INDEX2, IL_INDEX_A4, 3, {0x1B}, {0x01, 0x20}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ILConverter c;
        ILConverterInit(&c);
        ILConverterSetPalette(&c, &palette);
        ILConverterSetModes(&c, k.source, k.target, k.width);
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> out(k.want.size(), 0xEE);
        c.rowKernel(&c, k.in.data(), out.data());
        EXPECT_EQ(out, k.want);
        ILConverterFree(&c);
    }
}

// A colour that is exactly a palette entry maps to that entry, whatever
// sample form carries it.
TEST_F(RowsIndexedTest, PaletteColoursMapToTheirIndex) {
    ILPalette palette(4);
    const uint8_t bgr[4][3] = {{0, 0, 0}, {255, 255, 255}, {10, 200, 60}, {90, 20, 240}};
    for (uint32_t i = 0; i < 4; ++i)
        palette.SetEntryBGR8(i, bgr[i][0], bgr[i][1], bgr[i][2]);
    const std::vector<uint8_t> want{2, 3, 1, 0, 2};
    std::vector<uint8_t> row8;
    std::vector<uint16_t> row16, rowHalf;
    std::vector<float> rowF;
    for (uint8_t code : want) {
        for (int k = 0; k < 3; ++k) {
            const uint8_t v = bgr[code][k];
            row8.push_back(v);
            row16.push_back(uint16_t(v * 257));
            rowF.push_back(ILSrgbTable8[v]);
            rowHalf.push_back(half(ILSrgbTable8[v]).bits());
        }
    }
    struct Case {
        ILPixelType source;
        const void* row;
    } cases[] = {{IL_BGR8, row8.data()},
                 {IL_BGR16, row16.data()},
                 {IL_BGR_FLOAT, rowF.data()},
                 {IL_BGR_HALF, rowHalf.data()}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.source);
        ILConverter c;
        ILConverterInit(&c);
        ILConverterSetPalette(&c, &palette);
        ILConverterSetModes(&c, k.source, IL_INDEX8, want.size());
        ASSERT_TRUE(ILConverterPrepare(&c));
        std::vector<uint8_t> out(want.size(), 0xEE);
        c.rowKernel(&c, k.row, out.data());
        EXPECT_EQ(out, want);
        ILConverterFree(&c);
    }
}

// Every kernel of the family stays inside its rows (see the 8-bit family's
// test); lookups get a palette of three entries, so most codes have none.
TEST_F(RowsIndexedTest, KernelsStayInsideTheirRows) {
    ILPalette palette(3);
    for (uint32_t i = 0; i < 3; ++i)
        palette.SetEntryBGR8(i, uint8_t(i * 50), uint8_t(i * 70), 9);
    auto mapper = std::make_unique<ILPaletteMapper>(&palette);
    std::mt19937 rng(13);
    for (const ILKernelEntry& e : ILKernelsIndexed()) {
        SCOPED_TRACE(::testing::Message() << std::hex << e.source << " -> " << e.target);
        ASSERT_NE(e.kernel, nullptr);
        for (uint64_t width = 1; width <= 9; ++width) {
            ILConverter c;
            ILConverterInit(&c);
            c.width = width;
            c.targetType = e.target;
            ILConverterSetPalette(&c, &palette);
            c.paletteMapper = mapper.get();
            const uint64_t targetBytes =
                (width * ILBitsPerSample(e.target) * ILChannelCount(e.target) + 7) / 8;
            const bool lookup = (e.source & IL_MODEL_MASK) == IL_MODEL_INDEXED &&
                                (e.target & IL_MODEL_MASK) != IL_MODEL_INDEXED;
            if (e.paletteBuilder) {
                ASSERT_TRUE(e.paletteBuilder(&c));
            } else if (lookup) { // a table of another family: zeros do
                ASSERT_TRUE(ILConverterAllocPaletteTable(&c, uint32_t(targetBytes / width)));
            }
            std::vector<uint8_t> source(
                (width * ILBitsPerSample(e.source) * ILChannelCount(e.source) + 7) / 8);
            for (uint8_t& b : source)
                b = uint8_t(rng());
            std::vector<uint8_t> target(targetBytes + 16, 0x5A);
            e.kernel(&c, source.data(), target.data());
            for (uint64_t i = targetBytes; i < target.size(); ++i)
                ASSERT_EQ(target[i], 0x5A) << "width " << width << ", byte " << i;
            c.paletteMapper = nullptr;
            ILConverterFree(&c);
        }
    }
}

} // namespace
