// Pixel-type names and the facts derived from a code.
#include "imglib/pixel_type.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

// Builds the code a name spells: model, extra channel, sample kind.
uint32_t CodeFromName(std::string name) {
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

TEST(PixelType, EveryNameSpellsItsCode) {
    // The header beside this tests source tree: tests/imglib/ -> imglib/.
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "../../imglib/pixel_type.h");
    ASSERT_TRUE(in) << "pixel_type.h not found";
    std::stringstream text;
    text << in.rdbuf();
    const std::string header = text.str();
    static const std::regex entry(R"((IL_\w+) = (0x[0-9A-F]+),)");
    int names = 0;
    std::map<uint32_t, std::string> seen;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), entry);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        const uint32_t code = std::stoul((*it)[2], nullptr, 16);
        // The parts of a code (IL_MODEL_*, IL_KIND_*, ...) are not type names.
        if (name.rfind("IL_MODEL_", 0) == 0 || name.rfind("IL_KIND_", 0) == 0 ||
            name.rfind("IL_EXTRA_", 0) == 0 || name == "IL_ORDER_RGB")
            continue;
        ++names;
        EXPECT_EQ(CodeFromName(name), code) << name;
        EXPECT_TRUE(seen.emplace(code, name).second) << name << " repeats " << seen[code];
    }
    EXPECT_GT(names, 100);
}

TEST(PixelType, Facts) {
    struct Row {
        ILPixelType type;
        uint32_t bits, channels;
        bool alpha, premultiplied;
    };
    const Row rows[] = {
        {IL_GREY1, 1, 1, false, false},       {IL_GREY_A16, 16, 2, true, false},
        {IL_INDEX_A4, 4, 1, true, false}, // indexed types never count the extra channel
        {IL_BGRX8, 8, 4, false, false},   // a filler counts as a channel but is no alpha
        {IL_RGBPA_HALF, 16, 4, true, true},   {IL_GREY_FLOAT24, 24, 1, false, false},
        {IL_BGR_RGBE, 8, 3, false, false},    {IL_BGR_565, 5, 3, false, false},
        {IL_BGR_101010, 10, 3, false, false}, {IL_CMYK_A_FLOAT, 32, 5, true, false},
        {IL_LAB16, 16, 3, false, false},      {IL_GREY_DOUBLE, 64, 1, false, false},
        {0x46, 8, 0, false, false}, // model 6 names no type
        {0x83, 0, 3, false, false}, // nor does kind 0x80
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_EQ(ILBitsPerSample(r.type), r.bits);
        EXPECT_EQ(ILChannelCount(r.type), r.channels);
        EXPECT_EQ(ILHasAlpha(r.type), r.alpha);
        EXPECT_EQ(ILIsPremultiplied(r.type), r.premultiplied);
    }
    static_assert(ILChannelCount(IL_RGBA16) * ILBitsPerSample(IL_RGBA16) == 64);
    static_assert(ILPixelModel(IL_YCBCR_A8) == IL_MODEL_YCBCR);
    static_assert(ILSampleKind(IL_GREY_PA_HALF) == IL_KIND_HALF);
    static_assert(ILExtraChannel(IL_CMYK_X16) == IL_EXTRA_FILLER);
}

} // namespace
