#include "viewer/logic/thumbnail_sheet.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/memory_owner.h"
#include "support/test_folder.h"

namespace {

// A thumbnail of one colour, as the List window's loader leaves it.
void GiveThumbnail(FileEntry& e, uint32_t w, uint32_t h, uint8_t b, uint8_t g, uint8_t r) {
    const uint32_t stride = (w * 3 + 3) & ~3u;
    auto* p = static_cast<uint8_t*>(ILAlloc(nullptr, uint64_t(stride) * h));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            p[y * stride + 3 * x] = b;
            p[y * stride + 3 * x + 1] = g;
            p[y * stride + 3 * x + 2] = r;
        }
    PublishThumbnail(e, p, PackThumbState(w, h, stride));
}

class ThumbnailSheet : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = ILCreateHandle("sheet test");
        dir_ = vxtest::MakeTestFolder("vx_sheet");
    }
    void TearDown() override {
        FreeThumbnails(list_);
        ILDestroyHandle(handle_);
        std::filesystem::remove_all(dir_);
    }
    std::u16string Path(const char* name) const {
        const std::string s = (dir_ / name).string();
        return std::u16string(s.begin(), s.end());
    }
    ILHandle* handle_ = nullptr;
    std::filesystem::path dir_;
    FolderList list_;
};

uint32_t PixelAt(const ILImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.data + int64_t(y) * image.stride + 3 * x;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; // B,G,R
}

TEST_F(ThumbnailSheet, WritesFramedThumbnailsInAGrid) {
    // Three selected entries of five, two columns; the second has no
    // thumbnail and gets its frame alone.
    list_.entries.resize(5);
    for (int i : {0, 2, 3})
        list_.entries[i].isSelected = 1;
    GiveThumbnail(list_.entries[0], 64, 48, 0, 0, 255); // red, landscape
    GiveThumbnail(list_.entries[3], 48, 64, 0, 255, 0); // green, portrait
    GiveThumbnail(list_.entries[1], 64, 64, 255, 0, 0); // not selected

    ExportSettings settings;
    settings.columns = 2;
    for (bool& b : settings.show)
        b = false;
    const SheetLayout layout = ComputeSheetLayout(settings, 64, 3);
    ASSERT_EQ(layout.sheetWidth, 24u + 2 * 90);
    ASSERT_EQ(layout.sheetHeight, 2u * 90 + 24);
    const SheetColors colors{{128, 0, 0}, {255, 255, 255}};
    const std::u16string path = Path("sheet.png");
    uint32_t cells = 0, texts = 0;
    ASSERT_EQ(WriteThumbnailSheet(handle_, path.c_str(), layout, colors, list_,
                                  [&](const SheetBand&, int64_t, const FileEntry&) { ++texts; },
                                  {[&](uint32_t done) {
                                      cells = done;
                                      return true;
                                  }}),
              SheetResult::Written);
    EXPECT_EQ(cells, 3u);
    EXPECT_EQ(texts, 3u);

    ILImageOwner sheet;
    ASSERT_GE(ILLoadImage(handle_, path.c_str(), &sheet.image, nullptr), IL_OK);
    ASSERT_EQ(sheet.image.width, layout.sheetWidth);
    ASSERT_EQ(sheet.image.height, layout.sheetHeight);
    const uint32_t blue = 0x000080, white = 0xFFFFFF, red = 0xFF0000, green = 0x00FF00;
    struct Probe {
        uint32_t x, y, want;
    } probes[] = {
        {0, 0, blue},
        {24 + 32, 24 + 8 - 1, white}, // frame above the landscape red
        {24 + 32, 24 + 32, red},
        {24 + 32, 24 + 4, blue},    // above the frame: background
        {114 + 32, 24 + 32, white}, // no thumbnail: the frame shrinks to a dot
        {114 + 20, 24 + 32, blue},
        {24 + 8 - 1, 90 + 24 + 32, white},
        {24 + 32, 90 + 24 + 32, green}, // second row, portrait
        {24 + 4, 90 + 24 + 32, blue},
        {114 + 32, 90 + 24 + 32, blue}, // the empty last cell
        {100, 2 * 90 + 20, blue},       // bottom margin
    };
    for (const Probe& p : probes)
        EXPECT_EQ(PixelAt(sheet.image, p.x, p.y), p.want) << p.x << "," << p.y;
}

TEST_F(ThumbnailSheet, WideFramesStayInsideTheSheet) {
    list_.entries.resize(1);
    list_.entries[0].isSelected = 1;
    GiveThumbnail(list_.entries[0], 64, 64, 0, 0, 255);
    ExportSettings settings;
    settings.spacing = 1;
    settings.frame = 10;
    const SheetLayout layout = ComputeSheetLayout(settings, 64, 1);
    const std::u16string path = Path("wide.png");
    ASSERT_EQ(WriteThumbnailSheet(handle_, path.c_str(), layout, {{0, 0, 0}, {255, 255, 255}},
                                  list_, nullptr, {}),
              SheetResult::Written);
    ILImageOwner sheet;
    ASSERT_GE(ILLoadImage(handle_, path.c_str(), &sheet.image, nullptr), IL_OK);
    EXPECT_EQ(PixelAt(sheet.image, 0, 0), 0xFFFFFFu);
}

TEST_F(ThumbnailSheet, AFileThatCannotBeWrittenLeavesNothing) {
    list_.entries.resize(1);
    list_.entries[0].isSelected = 1;
    const SheetLayout layout = ComputeSheetLayout(ExportSettings{}, 64, 1);
    const std::u16string path = Path("missing/folder/sheet.png");
    EXPECT_EQ(WriteThumbnailSheet(handle_, path.c_str(), layout, {}, list_, nullptr, {}),
              SheetResult::CannotOpen);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

TEST_F(ThumbnailSheet, ACancelledSheetLeavesNoFile) {
    list_.entries.resize(20);
    for (FileEntry& e : list_.entries)
        e.isSelected = 1;
    ExportSettings settings;
    settings.columns = 2;
    const SheetLayout layout = ComputeSheetLayout(settings, 64, 20);
    const std::u16string path = Path("cancelled.png");
    EXPECT_EQ(WriteThumbnailSheet(handle_, path.c_str(), layout, {}, list_, nullptr,
                                  [](uint32_t done) { return done < 5; }),
              SheetResult::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "cancelled.png"));
}

} // namespace
