// The j2kinfo program on a JP2 file with a palette and on a broken stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/tools.h"

namespace fs = std::filesystem;

TEST(J2kInfo, ListsBoxesAndSettings) {
    const fs::path tool = fs::path(VX_BUILD_DIR) / "tools" / "j2kinfo";
    const fs::path file =
        fs::path(VX_CORPUS_DIR) / "jpeg2000-conformance" / "jp2" / "file9" / "file9.jp2";
    if (!fs::exists(tool) || !fs::exists(file)) GTEST_SKIP() << "no tool or corpus";
    const std::string out = vxtest::RunOutput("'" + tool.string() + "' '" + file.string() + "'");
    for (const char* line :
         {"jp2 palette: 3 tables of 256 entries\n", "jp2 channel 2: component 0 table 2\n",
          "canvas: origin (0,0) size (512,768)\n", "Sprecision=8\n", "tile-parts: 1\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;
    const fs::path broken = fs::path(::testing::TempDir()) / "j2kinfo_broken.j2k";
    std::ofstream(broken, std::ios::binary) << "\xFF\x4F\xFF\x52";
    EXPECT_EQ(vxtest::Shell("'" + tool.string() + "' '" + broken.string() + "' >/dev/null 2>&1"),
              1);
    EXPECT_EQ(vxtest::RunOutput("'" + tool.string() + "' '" + broken.string() + "' 2>&1"),
              "error: Missing SIZ marker segment\n");
    fs::remove(broken);
}
