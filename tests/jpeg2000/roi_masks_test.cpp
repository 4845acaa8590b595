// Region-of-interest mask decimation: which samples of each band a region
// reaches through the synthesis filters' support.
#include "jpeg2000/roi_masks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using j2k::roi_node;

// Rows of a fixed mask, counting how many were pulled.
struct fixed_mask : roi_node {
    std::vector<std::vector<uint8_t>> rows;
    size_t next = 0;
    void pull(uint8_t* line, int64_t width) override {
        for (int64_t x = 0; x < width; ++x)
            line[x] = rows.at(next)[static_cast<size_t>(x)];
        ++next;
    }
};

// A resolution of level 1 over the given region, with its four bands.
struct resolution_fixture {
    j2k::tile_component_state tc;
    resolution_fixture(int64_t y0, int64_t x0, int64_t h, int64_t w, bool reversible) {
        tc.kernels = reversible ? 1 : 0;
        tc.reversible = reversible;
        tc.levels = 1;
        tc.resolutions.resize(2);
        auto half = [](int64_t a, int64_t n, int odd) {
            return (a + n + 1 - odd) / 2 - (a + 1 - odd) / 2;
        };
        const int64_t lh = half(y0, h, 0), hh = half(y0, h, 1);
        const int64_t lw = half(x0, w, 0), hw = half(x0, w, 1);
        tc.resolutions[0].region = {{(y0 + 1) / 2, (x0 + 1) / 2}, {lh, lw}};
        j2k::resolution_state& r = tc.resolutions[1];
        r.component = &tc;
        r.level = 1;
        r.region = {{y0, x0}, {h, w}};
        r.bands.resize(3);
        r.bands[0].region = {{0, 0}, {lh, hw}}; // HL
        r.bands[1].region = {{0, 0}, {hh, lw}}; // LH
        r.bands[2].region = {{0, 0}, {hh, hw}}; // HH
    }
};

// The band's rows as the strings of their non-zero columns.
std::vector<std::vector<int>> pull_band(roi_node& node, int64_t rows, int64_t width) {
    std::vector<std::vector<int>> out;
    std::vector<uint8_t> line(static_cast<size_t>(width));
    for (int64_t y = 0; y < rows; ++y) {
        node.pull(line.data(), width);
        std::vector<int> set;
        for (int64_t x = 0; x < width; ++x)
            if (line[x]) set.push_back(static_cast<int>(x));
        out.push_back(set);
    }
    return out;
}

TEST(RoiMasks, OneSampleReachesTheBandsThroughTheFilterSupport) {
    resolution_fixture f(0, 0, 16, 16, true); // 5/3: supports 1 and 2
    fixed_mask mask;
    mask.rows.assign(16, std::vector<uint8_t>(16, 0));
    mask.rows[4][4] = 1;
    j2k::roi_mask_decimator d(f.tc.resolutions[1], mask);
    roi_node* nodes[4];
    for (int b = 0; b < 4; ++b)
        nodes[b] = &d.band_node(b);
    using rows = std::vector<std::vector<int>>;
    const rows none = {};
    // Bands pulled in an order unlike the production order.
    const rows hh = pull_band(*nodes[3], 8, 8), ll = pull_band(*nodes[0], 8, 8),
               lh = pull_band(*nodes[2], 8, 8), hl = pull_band(*nodes[1], 8, 8);
    auto only = [](std::initializer_list<std::pair<int, std::vector<int>>> set) {
        rows r(8);
        for (const auto& [row, cols] : set)
            r[static_cast<size_t>(row)] = cols;
        return r;
    };
    EXPECT_EQ(ll, only({{2, {2}}}));
    EXPECT_EQ(hl, only({{2, {1, 2}}}));
    EXPECT_EQ(lh, only({{1, {2}}, {2, {2}}}));
    EXPECT_EQ(hh, only({{1, {1, 2}}, {2, {1, 2}}}));
    EXPECT_EQ(mask.next, 16u);
}

TEST(RoiMasks, OddStartsAndASingleRow) {
    {
        // A resolution starting at an odd row: its first row is high-pass.
        resolution_fixture f(3, 0, 6, 4, false);
        fixed_mask mask;
        mask.rows.assign(6, std::vector<uint8_t>(4, 0));
        mask.rows[0] = {1, 0, 0, 0};
        j2k::roi_mask_decimator d(f.tc.resolutions[1], mask);
        roi_node& lh = d.band_node(2);
        roi_node& ll = d.band_node(0);
        std::vector<uint8_t> line(2);
        lh.pull(line.data(), 2);
        EXPECT_EQ(line, (std::vector<uint8_t>{1, 1})); // row 3, the 9/7's reach
        ll.pull(line.data(), 2);
        EXPECT_EQ(line, (std::vector<uint8_t>{1, 1}));
    }
    {
        // One row: every band combines that row alone.
        resolution_fixture f(0, 0, 1, 8, true);
        fixed_mask mask;
        mask.rows = {{0, 0, 0, 0, 0, 0, 0, 1}};
        j2k::roi_mask_decimator d(f.tc.resolutions[1], mask);
        roi_node& hl = d.band_node(1);
        std::vector<uint8_t> line(4);
        hl.pull(line.data(), 4);
        EXPECT_EQ(line, (std::vector<uint8_t>{0, 0, 1, 1}));
        EXPECT_EQ(mask.next, 1u);
    }
}

} // namespace
