#include "viewer/logic/save_names.h"

#include <gtest/gtest.h>

TEST(SaveNames, ProposedNameCutsOnlyTheFileNamesExtension) {
    EXPECT_EQ(ProposedSaveName(u"C:\\pics\\photo.jpeg"), u"C:\\pics\\photo");
    EXPECT_EQ(ProposedSaveName(u"C:\\my.pics\\photo"), u"C:\\my.pics\\photo");
    EXPECT_EQ(ProposedSaveName(u"Clipboard_001"), u"Clipboard_001");
}

TEST(SaveNames, TheFormatsExtensionReplacesTheTypedOne) {
    EXPECT_EQ(ForceExtension(u"C:\\a\\photo.jpeg", u"jpg"), u"C:\\a\\photo.jpg");
    EXPECT_EQ(ForceExtension(u"C:\\a\\photo.png", u"tif"), u"C:\\a\\photo.tif");
    EXPECT_EQ(ForceExtension(u"C:\\a.b\\photo", u"png"), u"C:\\a.b\\photo.png");

    EXPECT_EQ(SaveExtension(0x90, IL_RGB_FLOAT, "pnm"), u"pfm");
    EXPECT_EQ(SaveExtension(0x90, IL_GREY_HALF, "pnm"), u"pfm");
    EXPECT_EQ(SaveExtension(0x90, IL_RGB16, "pnm"), u"pnm");
    EXPECT_EQ(SaveExtension(0x50, IL_RGB_FLOAT, "jpg"), u"jpg");
}
