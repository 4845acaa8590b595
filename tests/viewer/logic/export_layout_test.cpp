#include "viewer/logic/export_layout.h"

#include <gtest/gtest.h>

#include "viewer/logic/gallery_html.h"

namespace {

TEST(ExportLayout, SheetGrid) {
    ExportSettings s; // 8 columns, spacing 24, frame 1
    s.show[kLineImageSize] = false;
    SheetLayout l = ComputeSheetLayout(s, 64, 10);
    EXPECT_EQ(l.cellWidth, 90u);
    EXPECT_EQ(l.cellHeight, 119);
    EXPECT_EQ(l.rows, 2u);
    EXPECT_EQ(l.sheetWidth, 744u);
    EXPECT_EQ(l.sheetHeight, 262u);
    EXPECT_EQ(l.lineTop[kLineName], 91);
    EXPECT_EQ(l.lineTop[kLineSize], 105);

    for (bool& b : s.show)
        b = false;
    l = ComputeSheetLayout(s, 64, 10);
    EXPECT_EQ(l.cellHeight, l.cellWidth);

    // A portrait 48 x 64 thumbnail: its frame starts 8 - frame to the right.
    const FrameBox box = SheetFrameBox(l, 100, 48, 64);
    EXPECT_EQ(box.left, 100 + 8 - 1);
    EXPECT_EQ(box.top, 24 - 1);
    EXPECT_EQ(box.width, 50);
    EXPECT_EQ(box.height, 66);
}

TEST(ExportLayout, ValuesFromADamagedPreferencesFileAreClamped) {
    ExportSettings s;
    s.columns = 0;
    s.spacing = -40;
    s.frame = 1 << 30;
    const SheetLayout l = ComputeSheetLayout(s, 100000, 0xFFFFFFFF);
    EXPECT_EQ(l.columns, 1u);
    EXPECT_EQ(l.spacing, 1u);
    EXPECT_EQ(l.frame, 10u);
    EXPECT_EQ(l.thumbnailSize, 192u);
    EXPECT_EQ(l.rows, 0xFFFFFFFFu);
    // A thumbnail larger than the box (the size changed meanwhile) is cut.
    EXPECT_EQ(SheetFrameBox(l, 0, 500, 500).width, 192 + 20);
}

TEST(ExportLayout, GalleryCells) {
    ExportSettings s;
    EXPECT_EQ(GalleryCellSizeFor(ComputeSheetLayout(s, 64, 1)).width, 220u);
    EXPECT_EQ(GalleryCellSizeFor(ComputeSheetLayout(s, 64, 1)).height, 72u);
    s.frame = 10;
    s.spacing = 100;
    const GalleryCellSize big = GalleryCellSizeFor(ComputeSheetLayout(s, 192, 1));
    EXPECT_EQ(big.width, 312u);
    EXPECT_EQ(big.height, 218u);
    EXPECT_EQ(ComputeSheetLayout(s, 64, 17).rows, 3u);
}

TEST(GalleryHtml, NamesAreEscapedInTextAndLinks) {
    EXPECT_EQ(EscapeHtmlText(u"a&b<c>\"d'.jpg"), "a&amp;b&lt;c&gt;&quot;d&#39;.jpg");
    EXPECT_EQ(EscapeHtmlLink(u"100% #1 & \"x\"<y>.jpg"),
              "100%25%20%231%20&amp;%20%22x%22&lt;y%3E.jpg");
    EXPECT_EQ(EscapeHtmlText(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(EscapeHtmlText(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(GalleryThumbnailName(u"a.b.jpg"), u"a.b.png");
    EXPECT_EQ(GalleryThumbnailName(u"noext"), u"noext.png");
}

TEST(GalleryHtml, PageCarriesColoursCellsAndCrLf) {
    GalleryPage page;
    page.layout = ComputeSheetLayout(ExportSettings{}, 64, 2);
    page.show[kLineName] = page.show[kLineSize] = true;
    page.text[0] = page.text[1] = 255; // yellow
    page.background[2] = 128;
    page.frameColor[0] = page.frameColor[1] = page.frameColor[2] = 255;
    page.folder = u"C:\\A&B\\";
    const std::string head = GalleryPageHead(page);
    EXPECT_EQ(head.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(head.find("color: #FFFF00; background-color: #000080;\r\n"), std::string::npos);
    EXPECT_NE(head.find("border-width: 1px;\r\n color: #FFFFFF;"), std::string::npos);
    EXPECT_NE(head.find("<h2>Thumbnails for C:\\A&amp;B\\ </h2>"), std::string::npos);
    EXPECT_EQ(head.find("\n\n"), std::string::npos); // every LF follows a CR

    GalleryCell cell;
    cell.name = u"x#1.jpg";
    cell.size = 5'000'000'000; // file sizes are 64-bit
    cell.thumbWidth = 64;
    cell.thumbHeight = 48;
    const std::string html = GalleryCellHtml(page, cell, 2);
    EXPECT_NE(html.find("<!-- COLUMN 2 -->"), std::string::npos);
    EXPECT_NE(
        html.find("<td width=\"220\" height=\"72\" align=center> <a href=\"Images\\x%231.jpg\">"),
        std::string::npos);
    EXPECT_NE(html.find("<img width=\"64\" height=\"48\" valign=center align=center "
                        "src=\"Thumbnails\\x%231.png\""),
              std::string::npos);
    EXPECT_NE(html.find("    x#1.jpg<br />\r\n    5000000000 byte<br />"), std::string::npos);
    EXPECT_EQ(html.find("pixel"), std::string::npos);
    EXPECT_EQ(GalleryRowStart(3), "\r\n<!-- ROW 3 -->\r\n\r\n<tr>\r\n");
    EXPECT_NE(GalleryPageFoot("12/10/26", "19:30:00").find("date/time: 12/10/26 19:30:00\r\n"),
              std::string::npos);
}

} // namespace
