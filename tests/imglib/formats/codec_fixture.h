// The frame the library-backed codec tests share: a handle whose messages
// are kept, a folder of the test's own, loads and saves by UTF-8 path, and
// the corpus folders.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"
#include "imglib/metadata/info.h"
#include "support/messages.h"
#include "support/test_folder.h"

namespace vxtest {

inline std::filesystem::path Corpus(const std::string& suite) {
    return std::filesystem::path(VX_CORPUS_DIR) / suite;
}

class CodecTest : public ::testing::Test {
protected:
    void SetUp() override {
        h = ILCreateHandle("Vx codec test");
        ASSERT_NE(h, nullptr);
        KeepMessages(h);
        dir = MakeTestFolder("vx_codec");
    }

    void TearDown() override {
        ILDestroyHandle(h);
        std::filesystem::remove_all(dir);
    }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    ILResult Load(const std::filesystem::path& path, ILImage* image, ILInfo* info = nullptr) {
        return ILLoadImage(h, ILUtf8ToPath(path.string()).c_str(), image, info);
    }

    ILResult Save(const std::filesystem::path& path, const ILImage& image,
                  const ILInfo* info = nullptr) {
        return ILSaveImage(h, ILUtf8ToPath(path.string()).c_str(), &image, info);
    }

    std::string LastError() const { return errors.empty() ? "" : errors.back(); }

    ILHandle* h = nullptr;
    std::filesystem::path dir;
};

// An image that frees its pixels and palette when it goes.
struct OwnedImage : ILImage {
    OwnedImage() { ILInitImage(this); }
    ~OwnedImage() { ILClearImage(this); }
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
};

// Row y of the image as bytes.
inline const uint8_t* Row(const ILImage& image, uint32_t y) {
    return image.data + int64_t{y} * image.stride;
}

} // namespace vxtest
