#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "imglib/convert/quantize.h"
#include "imglib/convert/suite_handle.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

class Quantize : public SuiteHandleTest {};

// B, G, R of the palette colour at (x, y).
std::array<uint8_t, 3> ColourAt(const ILImage& image, uint32_t x, uint32_t y) {
    std::array<uint8_t, 3> c;
    image.palette->ReadBGR8(vxtest::SmallPixelAt(image, x, y), c.data());
    return c;
}

// Colour i of a set of well-spread colours, B, G, R.
std::array<uint8_t, 3> Distinct(uint32_t i) {
    return {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 101 + 7),
            static_cast<uint8_t>(255 - i)};
}

TEST_F(Quantize, ExactColoursInFirstAppearanceOrder) {
    struct Case {
        uint32_t colours;
        int32_t count;
        ILPixelType type;
        uint32_t entries;
    } cases[] = {{2, 2, IL_INDEX1, 2},
                 {3, 3, IL_INDEX2, 4},
                 {16, 16, IL_INDEX4, 16},
                 {256, 256, IL_INDEX8, 256},
                 {1, 256, IL_INDEX8, 256}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colours);
        Image image(40, 30, IL_BGR8);
        // Colours appear in a scrambled order; the palette must follow it.
        std::vector<uint32_t> firstSeen;
        for (uint32_t y = 0; y < 30; ++y)
            for (uint32_t x = 0; x < 40; ++x) {
                const uint32_t i = ((x * 7 + y * 13) * 31) % c.colours;
                std::memcpy(image.data + y * image.stride + 3 * x, Distinct(i).data(), 3);
                if (std::find(firstSeen.begin(), firstSeen.end(), i) == firstSeen.end())
                    firstSeen.push_back(i);
            }
        ASSERT_EQ(firstSeen.size(), c.colours);
        Image original(40, 30, IL_BGR8);
        std::memcpy(original.data, image.data, image.stride * 30);
        ASSERT_EQ(ILQuantizeImage(handle_, &image, nullptr, c.count, 6, 1), IL_OK);
        ASSERT_EQ(image.type, c.type);
        ASSERT_NE(image.palette, nullptr);
        ASSERT_EQ(image.palette->count, c.entries);
        for (uint32_t m = 0; m < c.colours; ++m) {
            uint8_t bgr[3];
            image.palette->ReadBGR8(m, bgr);
            EXPECT_EQ(0, std::memcmp(bgr, Distinct(firstSeen[m]).data(), 3)) << m;
            EXPECT_EQ(image.palette->GetEntry(m).alpha, 65535);
        }
        for (uint32_t m = c.colours; m < c.entries; ++m) {
            const ILPaletteEntry e = image.palette->GetEntry(m);
            EXPECT_EQ(e.red | e.green | e.blue | e.alpha, 0) << m;
        }
        for (uint32_t y = 0; y < 30; ++y)
            for (uint32_t x = 0; x < 40; ++x)
                ASSERT_EQ(0, std::memcmp(ColourAt(image, x, y).data(),
                                         original.data + y * original.stride + 3 * x, 3));
    }
}

// Mean error of 4 x 4 block averages: what the eye sees of a dithered image.
double BlockError(const ILImage& source, const ILImage& result) {
    double error = 0;
    uint32_t blocks = 0;
    for (uint32_t by = 0; by + 4 <= source.height; by += 4)
        for (uint32_t bx = 0; bx + 4 <= source.width; bx += 4, ++blocks)
            for (int ch = 0; ch < 3; ++ch) {
                double a = 0, b = 0;
                for (uint32_t y = by; y < by + 4; ++y)
                    for (uint32_t x = bx; x < bx + 4; ++x) {
                        a += source.data[y * source.stride + 3 * x + ch];
                        b += ColourAt(result, x, y)[ch];
                    }
                error += std::fabs(a - b) / 16;
            }
    return error / blocks;
}

TEST_F(Quantize, MedianCutWithAndWithoutDiffusionOnAPhoto) {
    Image photo(160, 120, IL_BGR8);
    vxtest::FillPhoto(&photo, 3);
    for (int32_t count : {16, 256}) {
        SCOPED_TRACE(count);
        Image plain, dithered;
        ASSERT_EQ(ILQuantizeImage(handle_, &photo, &plain, count, 5, 0), IL_OK);
        ASSERT_EQ(ILQuantizeImage(handle_, &photo, &dithered, count, 5, 1), IL_OK);
        EXPECT_EQ(photo.type, IL_BGR8); // a separate target leaves the source
        std::set<uint32_t> used;
        for (uint32_t y = 0; y < 120; ++y)
            for (uint32_t x = 0; x < 160; ++x)
                used.insert(vxtest::SmallPixelAt(plain, x, y));
        EXPECT_LE(used.size(), static_cast<size_t>(count));
        EXPECT_GT(used.size(), static_cast<size_t>(count) * 3 / 4);
        const double plainError = BlockError(photo, plain);
        const double ditheredError = BlockError(photo, dithered);
        EXPECT_LT(ditheredError, plainError);
        // The inverse map's pick is close to the nearest palette colour.
        double mapped = 0, nearest = 0;
        for (uint32_t y = 0; y < 120; ++y)
            for (uint32_t x = 0; x < 160; ++x) {
                const uint8_t* p = photo.data + y * photo.stride + 3 * x;
                const auto c = ColourAt(plain, x, y);
                double best = 1e9;
                for (uint32_t k = 0; k < plain.palette->count; ++k) {
                    uint8_t q[3];
                    plain.palette->ReadBGR8(k, q);
                    double d = 0;
                    for (int ch = 0; ch < 3; ++ch)
                        d += std::abs(q[ch] - p[ch]);
                    best = std::min(best, d);
                }
                for (int ch = 0; ch < 3; ++ch)
                    mapped += std::abs(c[ch] - p[ch]);
                nearest += best;
            }
        EXPECT_LT(mapped, nearest * 1.5);
    }
}

// One colour more than the palette holds takes the median cut; other pixel
// types are converted first; counts and histogram bits are clamped.
TEST_F(Quantize, ConvertsOtherTypesAndClampsParameters) {
    Image rgb(17, 1, IL_RGB8);
    for (uint32_t x = 0; x < 17; ++x) {
        const auto c = Distinct(x);
        rgb.data[3 * x] = c[2], rgb.data[3 * x + 1] = c[1], rgb.data[3 * x + 2] = c[0];
    }
    Image cut;
    ASSERT_EQ(ILQuantizeImage(handle_, &rgb, &cut, 16, 4, 0), IL_OK);
    EXPECT_EQ(cut.type, IL_INDEX4);
    bool allExact = true;
    for (uint32_t x = 0; x < 17; ++x)
        allExact &= ColourAt(cut, x, 0) == Distinct(x);
    EXPECT_FALSE(allExact);

    Image exact;
    ASSERT_EQ(ILQuantizeImage(handle_, &rgb, &exact, 1000, 9, 0), IL_OK); // count 256
    EXPECT_EQ(exact.type, IL_INDEX8);
    for (uint32_t x = 0; x < 17; ++x)
        EXPECT_EQ(ColourAt(exact, x, 0), Distinct(x));
    Image one;
    ASSERT_EQ(ILQuantizeImage(handle_, &rgb, &one, -5, 0, 1), IL_OK); // count 1
    EXPECT_EQ(one.type, IL_INDEX1);

    Image photo(64, 48, IL_BGR8), a, b;
    vxtest::FillPhoto(&photo, 8);
    ILQuantizeImage(handle_, &photo, &a, 50, 0, 1);
    ILQuantizeImage(handle_, &photo, &b, 50, 4, 1);
    EXPECT_EQ(vxtest::Packed(a), vxtest::Packed(b));

    Image empty;
    EXPECT_EQ(ILQuantizeImage(handle_, &empty, nullptr, 16, 5, 0), IL_BAD_ARGUMENT);
}

} // namespace
