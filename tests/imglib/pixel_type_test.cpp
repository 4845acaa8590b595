// Pixel-type names and the facts derived from a code.
#include "imglib/pixel_type.h"
#include "imglib/pixel_type_spelling.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

TEST(PixelType, EveryNameSpellsItsCode) {
    // The header as it stands in the source tree.
    std::ifstream in(std::filesystem::path(VX_SOURCE_DIR) / "imglib/pixel_type.h");
    ASSERT_TRUE(in) << "pixel_type.h not found";
    std::stringstream text;
    text << in.rdbuf();
    const std::string header = text.str();
    static const std::regex entry(R"(constexpr ILPixelType (IL_\w+) = (0x[0-9A-F]+);)");
    int names = 0;
    std::map<uint32_t, std::string> seen;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), entry);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        const uint32_t code = std::stoul((*it)[2], nullptr, 16);
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
