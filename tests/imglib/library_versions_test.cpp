#include <cctype>
#include <cstring>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "imglib/library_versions.h"

namespace {

TEST(LibraryVersions, EveryLinkedLibraryHasANumberedVersion) {
    ILLibraryVersion rows[kILLibraryCount + 4];
    const size_t n = ILGetLibraryVersions(rows, kILLibraryCount + 4);
    ASSERT_EQ(n, kILLibraryCount);
    for (size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_NE(rows[i].name[0], 0);
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(rows[i].version[0])))
            << rows[i].version;
        EXPECT_NE(std::strchr(rows[i].version, '.'), nullptr) << rows[i].version;
    }
    // Run-time answers agree with the headers built against.
    EXPECT_STREQ(rows[1].version, ZLIB_VERSION);
    EXPECT_STREQ(rows[2].version, PNG_LIBPNG_VER_STRING);
    EXPECT_EQ(ILGetLibraryVersions(rows, 3), 3u);
}

} // namespace
