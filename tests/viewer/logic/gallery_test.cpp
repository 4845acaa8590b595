#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/memory_owner.h"
#include "viewer/logic/gallery_html.h"
#include "support/test_folder.h"

namespace {

class Gallery : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = ILCreateHandle(nullptr);
        dir_ = vxtest::MakeTestFolder("vx_gallery");
        const std::string folder = (dir_ / "Vx HTML Gallery").string();
        folder_ = std::u16string(folder.begin(), folder.end());
        page_.layout = ComputeSheetLayout(ExportSettings{}, 64, 2);
        page_.show[kLineName] = page_.show[kLineCreated] = true;
    }
    void TearDown() override {
        FreeThumbnails(list_);
        ILDestroyHandle(handle_);
        std::filesystem::remove_all(dir_);
    }
    void AddEntry(const char16_t* name, bool withThumbnail) {
        FileEntry& e = list_.entries.emplace_back();
        SetEntryName(e, name);
        e.isSelected = 1;
        e.created = 86400;
        if (!withThumbnail) return;
        const uint32_t w = 30, h = 20, stride = 92;
        auto* p = static_cast<uint8_t*>(ILAlloc(nullptr, stride * h));
        for (uint32_t i = 0; i < stride * h; ++i)
            p[i] = i % 3 == 2 ? 200 : 10; // red
        PublishThumbnail(e, p, PackThumbState(w, h, stride));
    }
    std::string Page() const {
        std::ifstream in(dir_ / "Vx HTML Gallery" / "Thumbnails.html", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    GalleryResult Write() {
        return WriteGallery(
            handle_, folder_, page_, list_, [](int64_t t) { return "day " + std::to_string(t); },
            {[&](uint32_t done) {
                done_ = done;
                return done < stopAfter_;
            }},
            "12/10/26", "19:30:00");
    }
    ILHandle* handle_ = nullptr;
    std::filesystem::path dir_;
    std::u16string folder_;
    GalleryPage page_;
    FolderList list_;
    uint32_t done_ = 0;
    uint32_t stopAfter_ = 1000;
};

TEST_F(Gallery, WritesFoldersThumbnailsAndPage) {
    AddEntry(u"a#1.jpg", true);
    AddEntry(u"b.png", true);
    ASSERT_EQ(Write(), GalleryResult::Written);
    EXPECT_EQ(done_, 2u);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Vx HTML Gallery" / "Images"));
    ILImageOwner thumb;
    const std::string png = (dir_ / "Vx HTML Gallery" / "Thumbnails" / "a#1.png").string();
    ASSERT_GE(
        ILLoadImage(handle_, std::u16string(png.begin(), png.end()).c_str(), &thumb.image, nullptr),
        IL_OK);
    EXPECT_EQ(thumb.image.width, 30u);
    EXPECT_EQ(thumb.image.height, 20u);
    const std::string page = Page();
    EXPECT_NE(page.find("src=\"Thumbnails\\a%231.png\""), std::string::npos);
    EXPECT_NE(page.find("<a href=\"Images\\b.png\">"), std::string::npos);
    EXPECT_NE(page.find("created: day 86400<br />"), std::string::npos);
    EXPECT_NE(page.find("<!-- ROW 1 -->"), std::string::npos);
    EXPECT_EQ(page.find("<!-- ROW 2 -->"), std::string::npos);
    EXPECT_NE(page.find("</html>\r\n"), std::string::npos);

    // A second gallery reuses the folders and replaces the page.
    list_.entries[0].isSelected = 0;
    page_.layout = ComputeSheetLayout(ExportSettings{}, 64, 1);
    ASSERT_EQ(Write(), GalleryResult::Written);
    EXPECT_EQ(Page().find("a%231"), std::string::npos);
}

// A page that cannot be completed is removed; whole thumbnails stay.
TEST_F(Gallery, AnUnfinishedPageIsRemoved) {
    AddEntry(u"a.jpg", true);
    AddEntry(u"b.jpg", false);
    EXPECT_EQ(Write(), GalleryResult::NoThumbnail);
    EXPECT_EQ(done_, 1u);
    EXPECT_EQ(std::u16string(GalleryFailureText(GalleryResult::NoThumbnail)),
              u"Failed to create thumbnail");
    const auto gallery = dir_ / "Vx HTML Gallery";
    EXPECT_FALSE(std::filesystem::exists(gallery / "Thumbnails.html"));
    EXPECT_TRUE(std::filesystem::exists(gallery / "Thumbnails" / "a.png"));

    list_.entries[1].isSelected = 0;
    AddEntry(u"c.jpg", true);
    stopAfter_ = 1;
    EXPECT_EQ(Write(), GalleryResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(gallery / "Thumbnails.html"));
}

} // namespace
