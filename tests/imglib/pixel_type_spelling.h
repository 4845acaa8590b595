// Pixel-type names read back into codes, for tests.
#pragma once

#include <cstdint>
#include <map>
#include <regex>
#include <string>

#include "imglib/pixel_type.h"

// Builds the code a pixel-type name spells (model, extra channel, sample
// kind), 0 for a name outside the scheme: tests read names with it without
// trusting the library's own constants.
inline uint32_t CodeFromName(const std::string& name) {
    static const std::map<std::string, uint32_t> models = {
        {"GREY", IL_MODEL_GRAY}, {"INDEX", IL_MODEL_INDEXED},
        {"BGR", IL_MODEL_RGB},   {"RGB", IL_MODEL_RGB | IL_ORDER_RGB},
        {"CMYK", IL_MODEL_CMYK}, {"YCBCR", IL_MODEL_YCBCR},
        {"LAB", IL_MODEL_LAB}};
    static const std::map<std::string, uint32_t> kinds = {{"1", IL_KIND_1},
                                                          {"2", IL_KIND_2},
                                                          {"4", IL_KIND_4},
                                                          {"8", IL_KIND_8},
                                                          {"12", IL_KIND_12},
                                                          {"16", IL_KIND_16},
                                                          {"32", IL_KIND_32},
                                                          {"_HALF", IL_KIND_HALF},
                                                          {"_FLOAT24", IL_KIND_FLOAT24},
                                                          {"_FLOAT", IL_KIND_FLOAT},
                                                          {"_DOUBLE", IL_KIND_DOUBLE},
                                                          {"_FIXED16", IL_KIND_FIXED16},
                                                          {"_FIXED32", IL_KIND_FIXED32},
                                                          {"_RGBE", IL_KIND_RGBE},
                                                          {"_555", IL_KIND_555},
                                                          {"_565", IL_KIND_565},
                                                          {"_101010", IL_KIND_101010}};
    static const std::map<std::string, uint32_t> extras = {
        {"", 0}, {"X", IL_EXTRA_FILLER}, {"A", IL_EXTRA_ALPHA}, {"PA", IL_EXTRA_PREMULTIPLIED}};
    // RGB family joins the extra letters (IL_BGRPA8), the others use an
    // underscore (IL_GREY_PA8).
    static const std::regex spelling(
        "IL_(?:(BGR|RGB)(X|A|PA)?|(GREY|INDEX|CMYK|YCBCR|LAB)(?:_(X|A|PA))?)"
        "(1|2|4|8|12|16|32|_HALF|_FLOAT24|_FLOAT|_DOUBLE|_FIXED16|_FIXED32|_RGBE|_555|_565|"
        "_101010)");
    std::smatch m;
    if (!std::regex_match(name, m, spelling)) return 0;
    const bool rgb = m[1].matched;
    return models.at(rgb ? m[1].str() : m[3].str()) | extras.at(rgb ? m[2].str() : m[4].str()) |
           kinds.at(m[5].str());
}
