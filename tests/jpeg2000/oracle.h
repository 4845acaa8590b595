// What the peers' tools say about a code-stream: opj_dump's account of its
// main header, and the PGX images opj_decompress writes, for comparison.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "jpeg2000/decoder.h"
#include "support/files.h"
#include "support/tools.h"

namespace j2ktest {

struct dumped_component {
    int resolutions = -1, cblkw = -1, cblkh = -1, qmfbid = -1, guard = -1, roishift = -1;
};

struct dumped_header {
    int x0 = -1, y0 = -1, x1 = -1, y1 = -1, tdx = -1, tdy = -1, tw = -1, th = -1;
    int layers = -1, order = -1, mct = -1, csty = -1;
    std::vector<dumped_component> components;
};

inline dumped_header opj_dump_header(const std::string& path) {
    dumped_header h;
    const std::string text = vxtest::RunOutput("opj_dump -i '" + path + "' 2>/dev/null");
    auto value = [&](const std::string& key, size_t from) {
        size_t at = text.find(key + "=", from);
        if (at == std::string::npos) return -1;
        return static_cast<int>(std::strtol(text.c_str() + at + key.size() + 1, nullptr, 0));
    };
    h.x0 = value("x0", 0), h.y0 = value("y0", 0), h.x1 = value("x1", 0), h.y1 = value("y1", 0);
    const size_t main = text.find("Codestream info from main header");
    if (main == std::string::npos) return h;
    h.tdx = value("tdx", main), h.tdy = value("tdy", main);
    h.tw = value("tw", main), h.th = value("th", main);
    const size_t tile = text.find("default tile", main);
    h.csty = value("csty", tile);
    h.order = value("prg", tile);
    h.layers = value("numlayers", tile);
    h.mct = value("mct", tile);
    for (size_t at = text.find("comp 0 {", tile); at != std::string::npos;
         at = text.find("comp " + std::to_string(h.components.size()) + " {", at)) {
        dumped_component c;
        c.resolutions = value("numresolutions", at);
        size_t w = text.find("cblkw=2^", at), hh = text.find("cblkh=2^", at);
        c.cblkw = 1 << std::atoi(text.c_str() + w + 8);
        c.cblkh = 1 << std::atoi(text.c_str() + hh + 8);
        c.qmfbid = value("qmfbid", at);
        c.guard = value("numgbits", at);
        c.roishift = value("roishift", at);
        h.components.push_back(c);
        at += 8;
    }
    return h;
}

inline j2k::component_image read_pgx(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = vxtest::ReadBytes(path);
    j2k::component_image im;
    const auto nl = std::find(bytes.begin(), bytes.end(), '\n');
    std::smatch m;
    const std::string head(bytes.begin(), nl);
    if (!std::regex_match(head, m,
                          std::regex(R"(PG\s+(ML|LM)\s*([+-]?)\s*(\d+)\s+(\d+)\s+(\d+)\s*)")))
        return im;
    const bool big = m[1] == "ML";
    im.is_signed = m[2] == "-";
    im.precision = std::stoi(m[3]);
    im.width = std::stoll(m[4]);
    im.height = std::stoll(m[5]);
    const int n = im.precision <= 8 ? 1 : im.precision <= 16 ? 2 : 4;
    const uint8_t* p = &*nl + 1;
    if (bytes.end() - (nl + 1) < im.width * im.height * n) return {};
    for (int64_t i = 0; i < im.width * im.height; ++i, p += n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k)
            v |= static_cast<uint32_t>(p[big ? k : n - 1 - k]) << (8 * (n - 1 - k));
        int64_t s = v;
        if (im.is_signed && (v >> (8 * n - 1))) s -= int64_t{1} << (8 * n);
        im.samples.push_back(static_cast<int32_t>(s));
    }
    return im;
}

struct difference {
    int64_t peak = 0;
    double mse = 0;
};

inline difference compare(const j2k::component_image& a, const j2k::component_image& b) {
    difference d;
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    if (a.samples.size() != b.samples.size() || a.samples.empty()) return {1 << 30, 1e30};
    for (size_t i = 0; i < a.samples.size(); ++i) {
        const int64_t e = std::abs(int64_t{a.samples[i]} - b.samples[i]);
        d.peak = std::max(d.peak, e);
        d.mse += static_cast<double>(e * e);
    }
    d.mse /= static_cast<double>(a.samples.size());
    return d;
}

} // namespace j2ktest
