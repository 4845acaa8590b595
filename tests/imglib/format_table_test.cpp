#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "imglib/format.h"

namespace {

constexpr uint32_t kTerminator = 21;

TEST(FormatTableTest, RowsEndAtTheTerminatorAndSixteenHaveSavers) {
    std::set<uint32_t> ids;
    uint32_t rows = 0, savers = 0;
    for (; ILGetFormatRow(rows).id != 0; ++rows) {
        const ILFormat& row = ILGetFormatRow(rows);
        SCOPED_TRACE(row.description);
        EXPECT_EQ(row.id % 16, 0u);
        EXPECT_TRUE(ids.insert(row.id).second) << "duplicate id";
        EXPECT_NE(row.load, nullptr);
        savers += row.save != nullptr;
        const std::string ext = row.extensions;
        ASSERT_FALSE(ext.empty());
        EXPECT_EQ(ext.back(), ';');
        for (char c : ext)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ';') << ext;
    }
    EXPECT_EQ(rows, 21u);
    EXPECT_EQ(savers, 16u);
    const ILFormat& end = ILGetFormatRow(rows);
    EXPECT_EQ(end.load, nullptr);
    EXPECT_EQ(end.save, nullptr);
    EXPECT_STREQ(end.description, "unknown");
    EXPECT_EQ(&ILGetFormatRow(500), &end);

    ILHandle* h = ILCreateHandle("test");
    EXPECT_EQ(ILGetFormatCount(), 21u);
    ILDestroyHandle(h);
}

TEST(FormatTableTest, JPEG2000RowLoadsAndSaves) {
    const ILFormat& row = ILGetFormatRow(ILFindFormatRow(u"a.jp2"));
    EXPECT_EQ(row.id, 0x60u);
    EXPECT_STREQ(row.description, "JPEG 2000");
    EXPECT_STREQ(row.extensions, "jp2;j2k;j2c;jpc;jpf;jpx;");
    EXPECT_NE(row.load, nullptr);
    EXPECT_NE(row.save, nullptr);
}

TEST(FormatTableTest, ExtensionChoosesTheRow) {
    const struct {
        const char16_t* path;
        uint32_t id;
    } cases[] = {
        {u"a.bmp", 0x10},     {u"C:\\Pictures\\A.JPG", 0x50},
        {u"x.JPEG", 0x50},    {u"x.jfif", 0x50},
        {u"x.peg", 0x50}, // inside "jpeg;"
        {u"x.tif", 0x70},     {u"x.tiff", 0x70},
        {u"x.im24", 0xA0},    {u"x.rgb", 0xB0},
        {u"x.rgba", 0xB0},    {u"x.j2k", 0x60},
        {u"x.Webp", 0x140},   {u"x.3fr", 0x200},
        {u"x.emf", 0x300},    {u"photo.2024.png", 0x40},
        {u"noextension", 0},  {u"x.", 0},
        {u"x.jp", 0},         {u"x.jpegs", 0},
        {u"dir.png/file", 0}, {u"x.g;jp", 0}, // would match across "jpg;jpe;"
        {u"x.p\u00E9g", 0},   {u"x.\U0001F600g", 0},
        {u"x.xyz", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path)));
        EXPECT_EQ(ILGetFormatIdOfPath(c.path), c.id);
    }
    EXPECT_EQ(ILFindFormatRow(nullptr), kTerminator);
    EXPECT_EQ(ILFindFormatRow(u"x.none"), kTerminator);
    EXPECT_EQ(ILFindFormatRow(u"x.pcx"), 1u);
}

TEST(FormatTableTest, DescriptionIgnoresTheVariant) {
    const struct {
        uint32_t id;
        const char* text;
    } cases[] = {
        {0x22, "Graphics Interchange Format"}, {0x55, "JPEG"},     {0x61, "JPEG 2000"},
        {0x301, "Windows Metafile"},           {0x999, "unknown"}, {0, "unknown"},
        {0x10070, "Tagged Image File Format"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(ILGetFormatDescription(c.id), c.text) << std::hex << c.id;
}

TEST(FormatTableTest, NthRowsSkipRowsWithoutTheCodec) {
    EXPECT_EQ(ILGetNthFormatRow(10, true), 11u); // Sun raster is read only
    EXPECT_EQ(ILGetNthFormatRow(10, false), 10u);
    EXPECT_EQ(ILGetNthFormatRow(15, true), 16u);
    EXPECT_EQ(ILGetNthFormatRow(16, true), kTerminator);
    EXPECT_EQ(ILGetNthFormatRow(20, false), 20u);
    EXPECT_EQ(ILGetNthFormatRow(21, false), kTerminator);
    EXPECT_EQ(ILGetFormatId(10, true), 0xB0u);
    EXPECT_EQ(ILGetFormatId(16, true), 0u);
    EXPECT_STREQ(ILGetLoadFormatName(17), "Kodap Photo CD");
    EXPECT_STREQ(ILGetLoadFormatName(21), "unknown");
    EXPECT_TRUE(ILFormatHasCodec(false, 10));
    EXPECT_FALSE(ILFormatHasCodec(true, 10));
    EXPECT_FALSE(ILFormatHasCodec(false, kTerminator));
    EXPECT_FALSE(ILFormatHasCodec(false, 1000));
}

TEST(FormatTableTest, ExtensionsByIndex) {
    char buf[IL_EXTENSION_BUFFER];
    EXPECT_TRUE(ILGetFormatExtension(4, 3, buf));
    EXPECT_STREQ(buf, "jfif");
    EXPECT_FALSE(ILGetFormatExtension(4, 4, buf));
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(ILGetFormatExtension(18, 20, buf));
    EXPECT_STREQ(buf, "3fr");
    EXPECT_FALSE(ILGetFormatExtension(kTerminator, 0, buf));
    EXPECT_FALSE(ILGetFormatExtension(99, 0, buf));
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(ILGetSaveFormatExtension(12, buf));
    EXPECT_STREQ(buf, "webp");
    EXPECT_TRUE(ILGetSaveFormatExtension(7, buf));
    EXPECT_STREQ(buf, "tif");
    EXPECT_FALSE(ILGetSaveFormatExtension(16, buf));
}

// Splits a double-zero-ended list; fails when the end is not within size.
std::vector<std::u16string> SplitFilter(const std::vector<char16_t>& buf, size_t size) {
    std::vector<std::u16string> parts;
    size_t i = 0;
    while (i < size && buf[i] != 0) {
        const std::u16string part(&buf[i]);
        parts.push_back(part);
        i += part.size() + 1;
    }
    EXPECT_LT(i, size) << "list does not end within the computed length";
    return parts;
}

TEST(FormatTableTest, FilterStrings) {
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        const uint32_t size = ILBuildFilterString(save, nullptr);
        ASSERT_GT(size, 0u);
        std::vector<char16_t> buf(size + 16, u'#');
        EXPECT_EQ(ILBuildFilterString(save, buf.data()), 1u);
        for (size_t i = size; i < buf.size(); ++i)
            ASSERT_EQ(buf[i], u'#') << "written past the computed length";
        const std::vector<std::u16string> parts = SplitFilter(buf, size);
        ASSERT_EQ(parts.size(), save ? 32u : 44u);
        EXPECT_EQ(parts[0], u"Windows/OS2 Bitmap - bmp");
        EXPECT_EQ(parts[1], u"*.bmp");
        if (save) {
            EXPECT_EQ(parts[8], u"JPEG - jpg");
            EXPECT_EQ(parts[9], u"*.jpg");
            EXPECT_EQ(parts[30], u"Cineon Image - cin");
            continue;
        }
        EXPECT_EQ(parts[8], u"JPEG - jpg, jpe, jpeg, jfif");
        EXPECT_EQ(parts[9], u"*.jpg;*.jpe;*.jpeg;*.jfif");
        EXPECT_EQ(parts[36], u"Digital Camera RAW Formats");
        EXPECT_EQ(parts[37],
                  u"*.arw;*.cr2;*.crw;*.dcr;*.dng;*.eff;*.erf;*.kdc;*.mef;*.mos;*.mrw;*.nef;"
                  u"*.orf;*.pef;*.raf;*.raw;*.rw2;*.srf;*.sr2;*.x3f;*.3fr");
        EXPECT_EQ(parts[42], u"All supported file formats");
        const std::u16string& all = parts[43];
        EXPECT_EQ(all.substr(0, 21), u"*.bmp;*.pcx;*.png;*.g");
        EXPECT_EQ(all.substr(all.size() - 11), u"*.wmf;*.emf");
        size_t patterns = 0;
        for (size_t p = all.find(u"*."); p != std::u16string::npos; p = all.find(u"*.", p + 1))
            ++patterns;
        EXPECT_EQ(patterns, 70u);
    }
}

} // namespace
