#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imglib/imglib.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/ops_support.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;
using vxtest::Image;

class Thumbnail : public ::testing::Test {
protected:
    void SetUp() override {
        thumb_ = ILCreateHandle("thumbnail test");
        full_ = ILCreateHandle("thumbnail test");
        ASSERT_TRUE(thumb_ && full_);
        ILSetErrorProc(thumb_, nullptr);
        ILSetWarningProc(thumb_, nullptr);
        ILSetErrorProc(full_, nullptr);
        ILSetWarningProc(full_, nullptr);
    }
    void TearDown() override {
        ILDestroyHandle(thumb_);
        ILDestroyHandle(full_);
    }

    // The thumbnail of the file against a full load scaled the same way.
    void Check(const fs::path& path, uint32_t edge, bool lossyScaling) {
        SCOPED_TRACE(path.string());
        ASSERT_TRUE(ILSetThumbnailSize(thumb_, edge));
        const std::u16string wide = ILUtf8ToPath(path.string().c_str());
        ILImageOwner full;
        if (ILLoadImage(full_, wide.c_str(), &full.image, nullptr) != IL_OK) return;
        Image thumb;
        ASSERT_EQ(ILLoadThumbnail(thumb_, wide.c_str(), &thumb), IL_OK);
        const uint32_t w = full.image.width, h = full.image.height;
        const uint32_t longer = std::max(w, h);
        EXPECT_EQ(std::max(thumb.width, thumb.height), std::min(longer, edge));
        EXPECT_GE(std::min(thumb.width, thumb.height), 1u);
        EXPECT_EQ(thumb.type, IL_BGR8);
        Image want(thumb.width, thumb.height, IL_BGR8);
        ASSERT_EQ(ILResampleFast(&full.image, &want), IL_OK);
        const vxtest::Difference d = vxtest::Compare(vxtest::Packed(thumb), vxtest::Packed(want));
        if (lossyScaling) {
            // Thumbnail decoding trades accuracy for speed; on tiny, noisy
            // pictures that outweighs the scaling, so only larger ones count.
            if (std::min(w, h) >= 4 * edge) {
                EXPECT_LT(d.mean, 10.0);
            }
        } else {
            EXPECT_EQ(d.largest, 0);
        }
        ++checked_;
    }

    ILHandle* thumb_ = nullptr;
    ILHandle* full_ = nullptr;
    int checked_ = 0;
};

TEST_F(Thumbnail, FitsTheEdgeAndKeepsAtLeastOnePixel) {
    const fs::path dir = vxtest::MakeTestFolder("thumbnail");
    struct Case {
        uint32_t width, height, edge;
        uint32_t wantWidth, wantHeight;
    };
    const Case cases[] = {
        {1000, 500, 160, 160, 80}, {100, 50, 160, 100, 50}, {500, 1000, 160, 80, 160},
        {1000, 1, 160, 160, 1},    {1, 1000, 160, 1, 160},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        Image source(c.width, c.height, IL_BGR8);
        vxtest::FillPhoto(&source, 2);
        const fs::path file = dir / "t.png";
        const std::u16string wide = ILUtf8ToPath(file.string().c_str());
        ASSERT_EQ(ILSaveImage(full_, wide.c_str(), &source, nullptr), IL_OK);
        ASSERT_TRUE(ILSetThumbnailSize(thumb_, c.edge));
        Image thumb;
        ASSERT_EQ(ILLoadThumbnail(thumb_, wide.c_str(), &thumb), IL_OK);
        EXPECT_EQ(thumb.width, c.wantWidth);
        EXPECT_EQ(thumb.height, c.wantHeight);
        Check(file, c.edge, false);
    }
    ASSERT_TRUE(ILSetThumbnailSize(thumb_, 0));
    Image thumb;
    EXPECT_EQ(ILLoadThumbnail(thumb_, u"x.png", &thumb), IL_BAD_ARGUMENT);
    fs::remove_all(dir);
}

// Every corpus file that loads: JPEG decodes at a reduced DCT scale for
// thumbnails, so it only comes near the full load.
TEST_F(Thumbnail, CorpusFilesMatchAFullLoadScaledTheSameWay) {
    const fs::path corpus = VX_CORPUS_DIR;
    if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus";
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (!entry.is_regular_file() || entry.file_size() > (4u << 20)) continue;
        const std::string ext = entry.path().extension().string();
        const bool jpeg = ext == ".jpg" || ext == ".jpeg";
        if (!jpeg && ext != ".png" && ext != ".bmp") continue;
        Check(entry.path(), 48, jpeg);
    }
    EXPECT_GT(checked_, 20);
}

} // namespace
