#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imglib/format.h"
#include "imglib/metadata/info.h"
#include "imglib/io/path.h"
#include "support/files.h"
#include "support/test_folder.h"

namespace fs = std::filesystem;

namespace {

struct Message {
    std::string module, text;
};
std::vector<Message> errors;

bool KeepError(const char* module, const char* text) {
    errors.push_back({module ? module : "", text});
    return true;
}

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = vxtest::MakeTestFolder("vx_dispatch");
        h = ILCreateHandle("test");
        ASSERT_NE(h, nullptr);
        ILSetErrorProc(h, KeepError);
        errors.clear();
        ASSERT_EQ(ILCreateImage(&image, 4, 3, IL_MODEL_RGB | IL_KIND_8, nullptr), IL_OK);
    }
    void TearDown() override {
        ILFreeImage(&image);
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }
    std::u16string Wide(const std::string& name) { return ILUtf8ToPath((dir / name).string()); }
    std::vector<std::string> Listing() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
    ILHandle* h = nullptr;
    ILImage image;
};

TEST_F(DispatchTest, LoadRefusesBadArgumentsWithoutCallingTheLoader) {
    const std::u16string path = Wide("a.bmp");
    std::ofstream(dir / "a.bmp") << std::string(64, 'B');
    ILInfo info;
    EXPECT_EQ(ILLoadImage(h, path.c_str(), nullptr, nullptr), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILLoadImage(h, nullptr, &image, &info), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILLoadImage(nullptr, path.c_str(), &image, &info), IL_BAD_ARGUMENT);
    // Any loader call would have named its module and reported.
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(h->module, nullptr);
}

TEST_F(DispatchTest, UnknownExtensionIsUnsupportedWithoutMessage) {
    ILInfo info;
    for (const char* name : {"a.xyz", "noext", "a.jp", "a.jpegs"}) {
        SCOPED_TRACE(name);
        const std::u16string path = Wide(name);
        EXPECT_EQ(ILLoadImage(h, path.c_str(), &image, &info), IL_UNSUPPORTED_FORMAT);
        EXPECT_EQ(ILSaveImage(h, path.c_str(), &image, nullptr), IL_UNSUPPORTED_FORMAT);
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(Listing().empty());
}

TEST_F(DispatchTest, FailedLoadClearsImageAndModule) {
    std::ofstream(dir / "a.JP2") << std::string(64, 'J');
    const std::u16string path = Wide("a.JP2");
    EXPECT_EQ(ILLoadImage(h, path.c_str(), &image, nullptr), IL_INVALID_HEADER);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].module, "JPEG2000");
    EXPECT_EQ(errors[0].text, "Invalid image file header");
    EXPECT_EQ(h->module, nullptr);
    EXPECT_EQ(image.data, nullptr);
    EXPECT_EQ(image.width, 0u);
}

TEST_F(DispatchTest, SaveRefusesInvalidImagesAndReadOnlyFormats) {
    std::ofstream(dir / "keep.pcd") << "photo cd bytes";
    ILImage empty;
    ILInitImage(&empty);
    EXPECT_EQ(ILSaveImage(h, Wide("a.bmp").c_str(), &empty, nullptr), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILSaveImage(h, Wide("a.bmp").c_str(), nullptr, nullptr), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILSaveImage(h, nullptr, &image, nullptr), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILSaveImage(nullptr, Wide("a.bmp").c_str(), &image, nullptr), IL_BAD_ARGUMENT);
    // No saver: nothing is written and the file of that name stays.
    EXPECT_EQ(ILSaveImage(h, Wide("keep.pcd").c_str(), &image, nullptr), IL_UNSUPPORTED_FORMAT);
    EXPECT_EQ(vxtest::ReadText(dir / "keep.pcd"), "photo cd bytes");
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Listing(), std::vector<std::string>{"keep.pcd"});
}

TEST_F(DispatchTest, FailedSaveLeavesExistingFileUntouchedAndNoTemporary) {
    std::string old(3000, '\0');
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>(i * 7);
    std::ofstream(dir / "x.gif", std::ios::binary) << old;
    // Wider than a GIF can be.
    ILImage wide;
    ILInitImage(&wide);
    ASSERT_EQ(ILReallocImage(&wide, 65536, 1, IL_GREY8, nullptr), IL_OK);
    EXPECT_EQ(ILSaveImage(h, Wide("x.gif").c_str(), &wide, nullptr), IL_BAD_ARGUMENT);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].module, "GIF");
    EXPECT_EQ(h->module, nullptr);
    EXPECT_EQ(vxtest::ReadText(dir / "x.gif"), old);
    EXPECT_EQ(Listing(), std::vector<std::string>{"x.gif"});

    // Nor does a failed save to a new name leave a file.
    EXPECT_EQ(ILSaveImage(h, Wide("new.gif").c_str(), &wide, nullptr), IL_BAD_ARGUMENT);
    EXPECT_EQ(Listing(), std::vector<std::string>{"x.gif"});
    ILClearImage(&wide);
}

// Saving replaces the file through a new one: the old file's permissions
// must survive, or a private picture turns readable by everyone.
TEST_F(DispatchTest, ReplacedFileKeepsItsPermissions) {
    const fs::path target = dir / "private.png";
    std::ofstream(target, std::ios::binary) << "old";
    const auto mode = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(target, mode, fs::perm_options::replace);
    ASSERT_EQ(ILSaveImage(h, Wide("private.png").c_str(), &image, nullptr), IL_OK);
    EXPECT_NE(vxtest::ReadText(target), "old");
    EXPECT_EQ(fs::status(target).permissions(), mode);
}

// Saving to a symbolic link writes the picture it points to (whatever that
// file's name) and leaves the link in place.
TEST_F(DispatchTest, SavingThroughALinkUpdatesItsTarget) {
    for (const std::string real : {"real.png", "real"}) {
        SCOPED_TRACE(real);
        std::ofstream(dir / real, std::ios::binary) << "old";
        fs::create_symlink(dir / real, dir / "link.png");
        ASSERT_EQ(ILSaveImage(h, Wide("link.png").c_str(), &image, nullptr), IL_OK);
        EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
        EXPECT_EQ(vxtest::ReadText(dir / real).substr(1, 3), "PNG");
        EXPECT_EQ(Listing().size(), 2u);
        fs::remove(dir / "link.png");
        fs::remove(dir / real);
    }
}

TEST_F(DispatchTest, SaveOverSomethingItCannotWriteIsRefusedBeforeTheSaverRuns) {
    fs::create_directory(dir / "folder.jp2");
    std::ofstream(dir / "folder.jp2" / "inside") << "kept";
    EXPECT_EQ(ILSaveImage(h, Wide("folder.jp2").c_str(), &image, nullptr), IL_CANNOT_OPEN);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "Unable to open file for writing");
    EXPECT_EQ(vxtest::ReadText(dir / "folder.jp2" / "inside"), "kept");
    EXPECT_EQ(Listing(), std::vector<std::string>{"folder.jp2"});
}

} // namespace
