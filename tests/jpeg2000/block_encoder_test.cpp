#include "jpeg2000/block_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "jpeg2000/block_decoder.h"

namespace j2k {
namespace {

// Sign-magnitude samples with `planes` magnitude planes (the top at bit 30),
// mostly small as wavelet subbands are, with some zero runs.
std::vector<uint32_t> make_block(int w, int h, int planes, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> s(static_cast<size_t>(w) * h);
    for (uint32_t& v : s) {
        const int bits = &v == s.data() ? planes : static_cast<int>(rng() % (planes + 1));
        uint32_t m = bits ? (rng() & ((1u << bits) - 1)) | (1u << (bits - 1)) : 0;
        if (rng() % 3 == 0 && &v != s.data()) m = 0;
        v = (m << (31 - planes)) | (m && (rng() & 1) ? 0x80000000u : 0u);
    }
    return s;
}

// Decodes the first `passes` passes, cut at the encoder's truncation points.
std::vector<uint32_t> decode(const encoded_block& e, const block_source& src, int passes) {
    std::vector<block_segment> segments;
    int64_t begin = 0;
    for (int first = 0; first < passes;) {
        const int n = std::min(segment_pass_limit(src.modes, first), passes - first);
        const int64_t end = e.ends[first + n - 1];
        segments.push_back({n, end - begin});
        begin = end;
        first += n;
    }
    block_coding c;
    c.width = src.width;
    c.height = src.height;
    c.orientation = src.orientation;
    c.modes = src.modes;
    c.planes = src.planes;
    c.missing_msbs = e.missing_msbs;
    c.segments = segments;
    c.data = e.data.data();
    std::vector<uint32_t> out(static_cast<size_t>(src.width) * src.height);
    block_decoder().decode(c, out.data());
    return out;
}

// Keeps the planes a decoder has after `passes` passes: the planes above the
// last one coded; values are compared above that plane only.
uint32_t above(uint32_t v, int plane) {
    const uint32_t m = v & 0x7FFFFFFF & ~((1u << plane) - 1);
    return m ? m | (v & 0x80000000u) : 0;
}

TEST(BlockEncoder, RoundTripsThroughTheDecoderAtEveryTruncationPoint) {
    struct row {
        int w, h, planes, orientation, modes;
    };
    const row rows[] = {
        {64, 64, 12, 0, 0},
        {1, 1, 5, 3, 0},
        {7, 13, 9, 1, mode_causal},
        {32, 32, 20, 2, mode_bypass},
        {32, 8, 16, 3, mode_bypass | mode_reset | mode_restart},
        {16, 17, 10, 1, mode_erterm | mode_segmark | mode_restart},
        {64, 16, 31, 3,
         mode_bypass | mode_reset | mode_restart | mode_causal | mode_erterm | mode_segmark},
        {8, 4, 3, 0, mode_bypass | mode_erterm},
    };
    block_encoder enc;
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.w << "x" << r.h << " planes " << r.planes << " modes " << r.modes);
        const std::vector<uint32_t> s = make_block(r.w, r.h, r.planes, r.w * 131 + r.modes);
        block_source src{r.w, r.h, r.orientation, r.modes, r.planes, s.data(), true, 1.0};
        encoded_block e;
        enc.encode(src, e);
        ASSERT_GT(e.passes(), 0);
        EXPECT_EQ(e.ends.back(), static_cast<int64_t>(e.data.size()));
        // All passes give the samples back (the decoder adds half a step
        // below the last plane).
        const std::vector<uint32_t> full = decode(e, src, e.passes());
        for (size_t i = 0; i < s.size(); ++i) {
            ASSERT_EQ(above(full[i], 31 - r.planes), s[i]) << "sample " << i;
        }
        const int top = 30 - e.missing_msbs;
        // Cut after the cleanup pass of each plane, every sample is exact
        // down to that plane.
        for (int n = 1; n < e.passes(); n += 3) {
            const int plane = top - (n - 1) / 3;
            const std::vector<uint32_t> got = decode(e, src, n);
            for (size_t i = 0; i < s.size(); ++i) {
                ASSERT_EQ(above(got[i], plane), above(s[i], plane))
                    << "pass " << n << " sample " << i;
            }
        }
    }
}

TEST(BlockEncoder, ZeroBlockCodesNothing) {
    const std::vector<uint32_t> s(16 * 16, 0x80000000u);
    block_source src{16, 16, 0, 0, 8, s.data(), false, 1.0};
    encoded_block e;
    block_encoder().encode(src, e);
    EXPECT_EQ(e.missing_msbs, 8);
    EXPECT_EQ(e.passes(), 0);
    EXPECT_TRUE(e.data.empty());
}

TEST(BlockEncoder, SlopesDecreaseOnTheHullAndLosslessEndsOnOne) {
    const std::vector<uint32_t> s = make_block(32, 32, 14, 5);
    for (bool reversible : {false, true}) {
        block_source src{32, 32, 3, 0, 14, s.data(), reversible, 1e6};
        encoded_block e;
        block_encoder().encode(src, e);
        int last = 0x10000, kept = 0;
        for (uint16_t v : e.slopes)
            if (v) {
                EXPECT_LT(v, last);
                last = v;
                ++kept;
            }
        EXPECT_GT(kept, 3);
        if (reversible) {
            EXPECT_NE(e.slopes.back(), 0);
        }
    }
}

TEST(BlockEncoder, ConvexHullDropsPassesBelowALaterSlope) {
    // The second pass buys little for its bytes, the third much: the second
    // is no truncation point.
    const int64_t lengths[] = {10, 10, 10, 0};
    const double reductions[] = {1e9, 1e6, 5e8, 0};
    uint16_t slopes[4];
    convex_hull_slopes(lengths, reductions, slopes, 4);
    EXPECT_GT(slopes[0], slopes[2]);
    EXPECT_EQ(slopes[1], 0);
    EXPECT_NE(slopes[2], 0);
    EXPECT_EQ(slopes[3], 0);
    EXPECT_EQ(slope_to_log(4294967296.0), 0xFFFF);
    EXPECT_EQ(slope_to_log(1e-300), 2);
    EXPECT_NEAR(log_to_slope(slope_to_log(1e6)), 1e6, 1e6 * 0.003);
}

} // namespace
} // namespace j2k
