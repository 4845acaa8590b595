#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/image.h"
#include "imglib/io/path.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;

struct Image : ILImage {
    Image() { ILInitImage(this); }
    ~Image() { ILClearImage(this); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

// A file name of this test in the temporary folder, removed afterwards.
class RawFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::path(::testing::TempDir()) /
               (std::string("vx_raw_") + info->name() + "_" + std::to_string(getpid()) + ".raw");
        wide = ILUtf8ToPath(path.string());
    }
    void TearDown() override { fs::remove(path); }

    std::vector<uint8_t> ReadBytes() const { return vxtest::ReadBytes(path); }
    void WriteBytes(const std::vector<uint8_t>& bytes) const { vxtest::WriteBytes(path, bytes); }

    fs::path path;
    std::u16string wide;
};

void Pattern(ILImage* image, uint8_t seed) {
    const uint64_t size = static_cast<uint64_t>(image->stride) * image->height;
    for (uint64_t i = 0; i < size; ++i)
        image->data[i] = static_cast<uint8_t>(seed + i * 13);
}

// A loaded image starts from a record that holds something, so that a
// failed load must visibly clear it.
void MakeNonEmpty(ILImage* image) {
    ASSERT_EQ(ILReallocImage(image, 3, 3, IL_INDEX8, nullptr), IL_OK);
    image->palette = new ILPalette(2);
}

bool IsEmpty(const ILImage& image) {
    return !image.data && !image.palette && image.width == 0 && image.height == 0 &&
           image.type == 0;
}

TEST_F(RawFile, EveryImageTypeRoundTrips) {
    const ILPixelType types[] = {
        IL_GREY1,      IL_GREY2,   IL_GREY4,    IL_GREY8,       IL_GREY16,       IL_GREY_HALF,
        IL_GREY_FLOAT, IL_GREY_A8, IL_GREY_A16, IL_GREY_A_HALF, IL_GREY_A_FLOAT, IL_INDEX1,
        IL_INDEX2,     IL_INDEX4,  IL_INDEX8,   IL_BGR8,        IL_BGR16,        IL_BGR_HALF,
        IL_BGR_FLOAT,  IL_BGRA8,   IL_BGRA16,   IL_BGRA_HALF,   IL_BGRA_FLOAT,   IL_BGRPA8,
        IL_BGRPA16,    IL_BGRX8,   IL_BGRX16,   IL_BGRPA_FLOAT,
    };
    for (ILPixelType type : types) {
        SCOPED_TRACE(::testing::Message() << std::hex << "type 0x" << type);
        Image saved, loaded;
        ASSERT_EQ(ILCreateImage(&saved, 5, 3, type, nullptr), IL_OK);
        Pattern(&saved, static_cast<uint8_t>(type));
        saved.background = ILColor{.r = 0.25f, .g = -0.5f, .b = 2.0f, .a = 0.75f, .index = -1};
        if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) {
            const uint32_t count = 1u << saved.bits;
            saved.palette = new ILPalette(count);
            for (uint32_t i = 0; i < count; ++i)
                saved.palette->entries[i] = {static_cast<uint16_t>(i),
                                             static_cast<uint16_t>(i * 257),
                                             static_cast<uint16_t>(65535 - i), 65535};
            saved.background.index = static_cast<int32_t>(count - 1);
        }
        ASSERT_TRUE(ILSaveRawImage(&saved, wide.c_str()));
        EXPECT_EQ(fs::file_size(path), 40 + static_cast<uint64_t>(saved.stride) * 3 +
                                           (saved.palette ? 8 * saved.palette->count : 0));

        MakeNonEmpty(&loaded);
        ASSERT_TRUE(ILLoadRawImage(&loaded, wide.c_str()));
        EXPECT_EQ(loaded.width, 5u);
        EXPECT_EQ(loaded.height, 3u);
        EXPECT_EQ(loaded.type, saved.type);
        EXPECT_EQ(loaded.channels, saved.channels);
        EXPECT_EQ(loaded.bits, saved.bits);
        ASSERT_EQ(loaded.stride, saved.stride);
        EXPECT_TRUE(loaded.ownsData);
        EXPECT_EQ(std::memcmp(loaded.data, saved.data, saved.stride * 3), 0);
        EXPECT_EQ(std::memcmp(&loaded.background, &saved.background, sizeof(ILColor)), 0);
        ASSERT_EQ(loaded.palette != nullptr, saved.palette != nullptr);
        if (saved.palette) {
            ASSERT_EQ(loaded.palette->count, saved.palette->count);
            EXPECT_EQ(std::memcmp(loaded.palette->entries, saved.palette->entries,
                                  8 * saved.palette->count),
                      0);
        }
    }
}

TEST_F(RawFile, IndexedTwoByTwoIsEightyBytes) {
    Image image;
    ASSERT_EQ(ILCreateImage(&image, 2, 2, IL_INDEX8, nullptr), IL_OK);
    std::memset(image.data, 3, 8);
    image.palette = new ILPalette(4);
    image.palette->entries[3] = {0x0102, 0x0304, 0x0506, 0x0708};
    ASSERT_TRUE(ILSaveRawImage(&image, wide.c_str()));

    const std::vector<uint8_t> bytes = ReadBytes();
    ASSERT_EQ(bytes.size(), 80u);
    const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 16);
    EXPECT_EQ(header, (std::vector<uint8_t>{0x78, 0x56, 0x4C, 0x49, 2, 0, 0, 0, 2, 0, 0, 0, 0x42, 0,
                                            0, 0}));
    EXPECT_EQ(bytes[28 + 3], 0x3F); // alpha 1.0f, the high byte
    EXPECT_EQ(bytes[32], 0xFF);     // index -1
    EXPECT_EQ(bytes[36], 4);
    const std::vector<uint8_t> last(bytes.end() - 8, bytes.end());
    EXPECT_EQ(last, (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 8, 7}));
}

// A view's rows are spread over its parent; it is written at its own packed
// row size and reads back as an ordinary image.
TEST_F(RawFile, ViewIsWrittenWithoutItsSurroundings) {
    Image parent, loaded;
    ASSERT_EQ(ILCreateImage(&parent, 7, 5, IL_BGR8, nullptr), IL_OK);
    Pattern(&parent, 5);
    ILImage view;
    ASSERT_EQ(ILViewImageRect(&view, &parent, 4, 3, 3, 2), IL_OK);
    ASSERT_TRUE(ILSaveRawImage(&view, wide.c_str()));
    EXPECT_EQ(fs::file_size(path), 40u + 12 * 2);

    ASSERT_TRUE(ILLoadRawImage(&loaded, wide.c_str()));
    ASSERT_EQ(loaded.width, 3u);
    ASSERT_EQ(loaded.stride, 12);
    for (uint32_t y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(loaded.data + y * 12, view.data + y * view.stride, 9), 0) << y;
}

TEST_F(RawFile, DamagedFilesAreRefusedAndLeaveAnEmptyImage) {
    Image image;
    ASSERT_EQ(ILCreateImage(&image, 3, 2, IL_INDEX8, nullptr), IL_OK);
    std::memset(image.data, 1, 8);
    image.palette = new ILPalette(2);
    ASSERT_TRUE(ILSaveRawImage(&image, wide.c_str()));
    const std::vector<uint8_t> good = ReadBytes();
    ASSERT_EQ(good.size(), 40u + 8 + 16);

    // The good file with some header fields (offset, value) replaced.
    auto with = [&](std::initializer_list<std::pair<size_t, uint32_t>> fields) {
        std::vector<uint8_t> bytes = good;
        for (auto [offset, value] : fields)
            std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        {"empty", {}},
        {"half a header", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
        {"short palette", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"trailing byte",
         [&] {
             auto b = good;
             b.push_back(0);
             return b;
         }()},
        {"wrong magic", with({{0, 0x78564C49}})},
        {"no pixel kind", with({{12, 0x2}})},
        {"zero width", with({{4, 0}})},
        // Sizes that would ask for a huge buffer or palette before any read.
        {"terabyte of rows", with({{4, 0x01000000}, {8, 0x10000}})},
        {"4 billion palette entries", with({{36, 0xFFFFFFFF}})},
        {"row past 32 bits", with({{4, 0x80000000}})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(row.bytes);
        Image loaded;
        MakeNonEmpty(&loaded);
        EXPECT_FALSE(ILLoadRawImage(&loaded, wide.c_str()));
        EXPECT_TRUE(IsEmpty(loaded));
    }

    fs::remove(path);
    Image loaded;
    MakeNonEmpty(&loaded);
    EXPECT_FALSE(ILLoadRawImage(&loaded, wide.c_str()));
    EXPECT_TRUE(IsEmpty(loaded));
}

TEST_F(RawFile, SaveRefusesWhatItCannotWrite) {
    Image empty, image;
    EXPECT_FALSE(ILSaveRawImage(&empty, wide.c_str()));
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(ILCreateImage(&image, 2, 2, IL_GREY8, nullptr), IL_OK);
    const std::u16string noFolder =
        ILUtf8ToPath((path.parent_path() / "no such folder" / "x.raw").string());
    EXPECT_FALSE(ILSaveRawImage(&image, noFolder.c_str()));
}

// A file-size limit makes the writes fail: a large image fails in fwrite, a
// small one only when the buffered bytes are flushed. Both must answer false
// and leave no file. Runs in a child process so the limit stays there.
TEST_F(RawFile, FailedWriteOrFlushDeletesTheFile) {
    for (uint32_t width : {8000u, 20u}) {
        SCOPED_TRACE(width);
        Image image;
        ASSERT_EQ(ILCreateImage(&image, width, 10, IL_BGR8, nullptr), IL_OK);
        Pattern(&image, 1);
        auto saveUnderLimit = [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {.rlim_cur = 100, .rlim_max = 100};
            setrlimit(RLIMIT_FSIZE, &limit);
            const bool saved = ILSaveRawImage(&image, wide.c_str());
            std::_Exit(!saved && !fs::exists(path) ? 0 : 1);
        };
        EXPECT_EXIT(saveUnderLimit(), ::testing::ExitedWithCode(0), "");
    }
}

} // namespace
