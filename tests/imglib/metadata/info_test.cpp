#include <gtest/gtest.h>

#include <cstring>

#include <exempi/xmp.h>
#include <lcms2.h>
#include <libexif/exif-data.h>
#include <libiptcdata/iptc-data.h>

#include "imglib/metadata/info.h"
#include "support/library_scope.h"

namespace {

// Fills every field and holder; the sanitizer build reports anything the
// clear or the destructor fails to release.
void Fill(ILInfo* info) {
    info->formatId = 0x22;
    info->colorType = IL_CT_RGB;
    info->compression = IL_COMP_LZW;
    info->fileSize = 1234;
    info->created = 1;
    info->modified = 2;
    info->width = 3;
    info->height = 4;
    info->channels = 3;
    info->bitsPerPixel = 24;
    info->tilesX = 1;
    info->tilesY = 1;
    info->alphaKind = IL_ALPHA_STRAIGHT;
    info->tiled = 1;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_STORED;
    info->ppiX = 300;
    info->ppiY = 300;
    info->pages = 5;
    info->page = 2;
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    ILReadIccInfo(&info->icc, srgb);
    cmsCloseProfile(srgb);
    ILInfoAddText(&info->texts, IL_TEXT_TITLE, 3, "abc");
    info->exif = exif_data_new();
    ILExifAddAscii(info->exif, IL_EXIF_IFD_0, 0x10F, "Cam");
    info->iptc = iptc_data_new();
    iptc_data_add_dataset_with_contents(info->iptc, IPTC_RECORD_APP_2, IPTC_TAG_KEYWORDS,
                                        reinterpret_cast<const unsigned char*>("k"), 1,
                                        IPTC_DONT_VALIDATE);
    info->xmp = xmp_new_empty();
}

class ClearInfo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { library_ = new vxtest::LibraryScope; }
    static void TearDownTestSuite() { delete library_; }
    static inline vxtest::LibraryScope* library_ = nullptr;
};

TEST_F(ClearInfo, ReleasesEverythingAndZeroes) {
    ILInfo info;
    Fill(&info);
    ASSERT_TRUE(info.icc.present);
    ASSERT_TRUE(ILHasExif(info.exif));

    ILClearInfo(&info);
    EXPECT_EQ(info.formatId, 0u);
    EXPECT_EQ(info.fileSize, 0);
    EXPECT_EQ(info.width, 0u);
    EXPECT_EQ(info.alphaKind, 0);
    EXPECT_EQ(info.gamma, 0.0);
    EXPECT_EQ(info.ppiX, 0u);
    EXPECT_EQ(info.pages, 0);
    EXPECT_EQ(info.page, 0);
    EXPECT_FALSE(info.icc.present);
    EXPECT_EQ(info.icc.colorSpace, 0u);
    EXPECT_EQ(info.icc.description, nullptr);
    EXPECT_EQ(info.texts.count, 0);
    EXPECT_EQ(info.texts.items, nullptr);
    EXPECT_EQ(info.exif, nullptr);
    EXPECT_EQ(info.iptc, nullptr);
    EXPECT_EQ(info.xmp, nullptr);

    // A cleared record is ready for the next load, and its destructor
    // releases what that load left.
    Fill(&info);
}

} // namespace
