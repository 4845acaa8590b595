// What opj_dump says about a code-stream's main header, for comparison.
#pragma once

#include <map>
#include <regex>
#include <string>
#include <vector>

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

} // namespace j2ktest
