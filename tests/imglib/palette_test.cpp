#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imglib/color.h"
#include "imglib/convert/srgb.h"

namespace {

ILColor Linear(float r, float g, float b, float a = 1.0f) {
    ILColor c;
    c.Set(r, g, b);
    c.a = a;
    return c;
}

// Grey palette from 8-bit codes.
ILPalette Greys(std::initializer_list<uint8_t> codes) {
    ILPalette p(static_cast<uint32_t>(codes.size()));
    uint32_t i = 0;
    for (uint8_t v : codes)
        p.SetEntryBGR8(i++, v, v, v);
    return p;
}

TEST(PaletteTest, FindNearestMeasuresInLinearLightAndKeepsTheFirstOfEquals) {
    struct Case {
        const char* name;
        ILPalette palette;
        ILColor color;
        int32_t want;
    };
    std::vector<Case> cases;
    // Linear 0.5 is code 188: code 212 is nearer in code values, code 160 in light.
    cases.push_back({"linear light", Greys({0, 212, 160, 255}), Linear(0.5f, 0.5f, 0.5f), 2});
    cases.push_back({"tie", Greys({0, 10, 20, 90, 40, 50, 60, 90}), Linear(0.1f, 0.1f, 0.1f), 3});
    ILPalette alpha = Greys({200, 90, 200, 90});
    alpha.SetEntry16(1, 90 * 257, 90 * 257, 90 * 257, 0); // transparent twin of entry 3
    cases.push_back({"alpha ignored", alpha, Linear(0.1f, 0.1f, 0.1f), 1});
    ILPalette colours(3);
    colours.SetEntryBGR8(0, 0, 0, 255); // red
    colours.SetEntryBGR8(1, 0, 255, 0); // green
    colours.SetEntryBGR8(2, 255, 0, 0); // blue
    cases.push_back({"blue", colours, Linear(0.1f, 0.2f, 0.9f), 2});
    cases.push_back({"far beyond white", colours, Linear(1e6f, 0, 0), 0});

    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ILColor color = c.color;
        color.a = 0.25f;
        c.palette.FindNearest(&color);
        EXPECT_EQ(color.index, c.want);
        ILColor entry;
        c.palette.GetColor(static_cast<uint32_t>(c.want), &entry);
        EXPECT_TRUE(color.r == entry.r && color.g == entry.g && color.b == entry.b);
        EXPECT_EQ(color.a, 0.25f);
    }
}

TEST(PaletteTest, GrayRamps) {
    for (uint32_t n : {2u, 4u, 16u, 256u}) {
        ILPalette p(n);
        ASSERT_TRUE(p.MakeGrayRamp());
        EXPECT_TRUE(p.IsGrayRamp()) << n;
        uint16_t b, g, r;
        p.GetEntry16(n - 1, &b, &g, &r);
        EXPECT_TRUE(b == 65535 && g == 65535 && r == 65535) << n;
        p.SetEntry16(1, p.entries[1].blue, p.entries[1].green + 1, p.entries[1].red, 0);
        EXPECT_FALSE(p.IsGrayRamp()) << n;
    }
    ILPalette three(3);
    three.entries[1].alpha = 1234;
    ASSERT_TRUE(three.MakeGrayRamp());
    EXPECT_EQ(three.entries[1].red, 32767);
    EXPECT_EQ(three.entries[2].red, 65534);
    EXPECT_EQ(three.entries[1].alpha, 1234);
    EXPECT_FALSE(three.IsGrayRamp());
    ILPalette eight(8);
    eight.MakeGrayRamp();
    EXPECT_FALSE(eight.IsGrayRamp());

    ILPalette one(1);
    one.SetEntryBGR8(0, 1, 2, 3);
    EXPECT_FALSE(one.MakeGrayRamp());
    EXPECT_EQ(one.entries[0].red, 3 * 257);
}

TEST(PaletteTest, ByteTransfers) {
    const uint8_t rgb[3] = {10, 20, 30};
    ILPalette p;
    p.LoadRGB8(1, rgb);
    ASSERT_EQ(p.count, 1u);
    EXPECT_EQ(p.entries[0].blue, 7710);
    EXPECT_EQ(p.entries[0].green, 5140);
    EXPECT_EQ(p.entries[0].red, 2570);
    EXPECT_EQ(p.entries[0].alpha, 65535);

    const uint8_t bgra[8] = {1, 2, 3, 4, 250, 251, 252, 0};
    p.LoadBGRA8(2, bgra);
    ASSERT_EQ(p.count, 2u);
    uint8_t out[12];
    std::memset(out, 0xEE, sizeof out);
    p.WriteBGRA8(3, out); // more than count: only two entries written
    EXPECT_EQ(0, std::memcmp(out, bgra, 8));
    EXPECT_EQ(out[8], 0xEE);
    p.WriteRGB8(2, out);
    const uint8_t wantRGB[6] = {3, 2, 1, 252, 251, 250};
    EXPECT_EQ(0, std::memcmp(out, wantRGB, 6));
    p.WriteBGR8(1, out);
    EXPECT_EQ(0, std::memcmp(out, bgra, 3));
    EXPECT_EQ(out[3], 252); // left from the RGB write

    p.LoadBGR8(5, nullptr); // no source: nothing changes
    EXPECT_EQ(p.count, 2u);
    EXPECT_EQ(p.entries[1].red, 252 * 257);
}

TEST(PaletteTest, CopiesOwnTheirEntries) {
    ILPalette a = Greys({10, 20, 30});
    ILPalette b(a);
    ILPalette c(7);
    c = a;
    a.SetEntryBGR8(1, 99, 99, 99);
    c = c;
    for (const ILPalette* p : {&b, &c}) {
        ASSERT_EQ(p->count, 3u);
        EXPECT_EQ(p->entries[1].red, 20 * 257);
    }
    b.Resize(3);
    EXPECT_EQ(b.entries[1].red, 20 * 257); // same count: kept
    b.Resize(2);
    EXPECT_EQ(b.entries[1].red, 0); // new count: zeroed
}

// The mapper must answer exactly what the search answers, on first sight of
// a colour and from its cache.
TEST(PaletteTest, MapperAgreesWithTheSearch) {
    std::mt19937 rng(7);
    ILPalette p(40);
    for (uint32_t i = 0; i < p.count; ++i)
        p.SetEntryBGR8(i, uint8_t(rng()), uint8_t(rng()), uint8_t(rng()));
    ILPaletteMapper mapper(&p);
    ASSERT_TRUE(mapper.IsReady());
    std::vector<ILColor> colours;
    for (int i = 0; i < 2000; ++i) {
        const uint8_t bgr[3] = {uint8_t(rng() % 8 * 32), uint8_t(rng() % 8 * 32),
                                uint8_t(rng() % 8 * 32)};
        ILColor c;
        c.FromBGR8(bgr);
        colours.push_back(c);
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (const ILColor& c : colours) {
            ILColor searched = c, mapped = c;
            p.FindNearest(&searched);
            mapper.Map(&mapped);
            ASSERT_EQ(mapped.index, searched.index);
            ASSERT_FALSE(mapped.Differs(searched));
        }
    }
}

TEST(PaletteTest, MapperAnswersEntryZeroEveryTime) {
    ILPalette p = Greys({128, 0, 255});
    ILPaletteMapper mapper(&p);
    EXPECT_EQ(mapper.blackEntry.index, 1);
    for (int i = 0; i < 3; ++i) {
        ILColor grey = Linear(0.2f, 0.2f, 0.2f);
        mapper.Map(&grey);
        EXPECT_EQ(grey.index, 0);
        ILColor black;
        mapper.Map(&black);
        EXPECT_EQ(black.index, 1);
    }
}

// An index past 255 does not fit a cache byte: remembering its low byte would
// hand a later pixel the wrong entry.
TEST(PaletteTest, MapperKeepsIndicesPastTheCacheByte) {
    ILPalette p(300);
    for (uint32_t i = 0; i < p.count; ++i)
        p.SetEntryBGR8(i, 255, 0, 0);
    p.SetEntryBGR8(299, 0, 200, 0);
    ILPaletteMapper mapper(&p);
    for (int i = 0; i < 2; ++i) {
        ILColor green = Linear(0.0f, 0.6f, 0.0f);
        mapper.Map(&green);
        EXPECT_EQ(green.index, 299);
    }
}

TEST(PaletteTest, EmptyPaletteGivesNoIndex) {
    ILPalette p;
    ILPaletteMapper mapper(&p);
    ILColor c = Linear(0.3f, 0.3f, 0.3f);
    mapper.Map(&c);
    EXPECT_EQ(c.index, -1);
}

} // namespace
