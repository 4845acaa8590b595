// The band-wise PNG writer: a tall picture written band by band from one
// reused buffer reads back row for row (by us and by netpbm); the file's
// header and chunks; the refusals and failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imglib/format.h"
#include "imglib/formats/png_stream_writer.h"
#include "imglib/image.h"
#include "imglib/io/path.h"
#include "png_chunks.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/test_folder.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

// B, G, R of the pixel at (x, y): distinct along both axes.
uint8_t Sample(uint64_t x, uint64_t y, int c) {
    return static_cast<uint8_t>(c == 0 ? x * 7 + y : c == 1 ? y : (y >> 8) * 31 + x);
}

uint64_t StrideOf(uint64_t width) {
    return (24 * width + 31) / 32 * 4;
}

// Fills every row of the band with the rows from first on.
void FillBand(std::vector<uint8_t>* band, uint64_t width, uint64_t rows, uint64_t first) {
    for (uint64_t i = 0; i < rows; ++i)
        for (uint64_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                (*band)[i * StrideOf(width) + 3 * x + c] = Sample(x, first + i, c);
}

class PngStreamWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        h = ILCreateHandle("Vx sheet");
        ASSERT_NE(h, nullptr);
        KeepMessages(h);
        dir = MakeTestFolder("vx_pngstream");
        path = (dir / "sheet.png").string();
        wide = ILUtf8ToPath(path);
    }

    void TearDown() override {
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }

    ILHandle* h = nullptr;
    fs::path dir;
    std::string path;
    std::u16string wide;
};

// Height 1000 in bands of 300: 300, 300, 300 and 100 rows, then nothing.
// An odd width shows that rows are taken at the padded stride.
TEST_F(PngStreamWriterTest, BandsOfATallPictureReadBack) {
    constexpr uint64_t kWidth = 37, kHeight = 1000, kBand = 300;
    std::vector<uint8_t> band(kBand * StrideOf(kWidth));
    {
        ILPngStreamWriter writer(h, wide.c_str(), kWidth, kHeight, kBand, band.data());
        ASSERT_TRUE(writer.isOpen);
        for (uint64_t expected : {300u, 300u, 300u, 100u}) {
            SCOPED_TRACE(writer.rowsWritten);
            FillBand(&band, kWidth, kBand, writer.rowsWritten);
            ASSERT_TRUE(writer.WriteRows());
            EXPECT_EQ(writer.rowsPerBand, expected);
        }
        EXPECT_EQ(writer.rowsWritten, kHeight);
        EXPECT_FALSE(writer.WriteRows());
        EXPECT_TRUE(writer.Close());
        EXPECT_FALSE(writer.Close());
        EXPECT_FALSE(writer.isOpen);
    } // the destructor's Close does nothing more

    const std::vector<pngtest::Chunk> chunks = pngtest::Chunks(ReadBytes(path));
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks[0].data, pngtest::Ihdr(kWidth, kHeight, 8, 2).data);
    const pngtest::Chunk* idat = pngtest::Find(chunks, "IDAT");
    ASSERT_NE(idat, nullptr);
    EXPECT_EQ(idat->data[1] >> 6, 3); // zlib's "maximum compression" level field
    const pngtest::Chunk* text = pngtest::Find(chunks, "tEXt");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text->data.begin(), text->data.end()),
              std::string("Software\0Vx sheet", 17));

    ILImage image;
    ASSERT_EQ(ILLoadImage(h, wide.c_str(), &image, nullptr), IL_OK);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);
    for (uint64_t y = 0; y < kHeight; ++y)
        for (uint64_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(image.data[y * image.stride + 3 * x + c], Sample(x, y, c))
                    << x << "," << y;
    ILFreeImage(&image);

    if (HaveTool("pngcheck")) {
        EXPECT_EQ(Shell("pngcheck -q " + path + " >/dev/null 2>&1"), 0);
    }
    if (HaveTool("pngtopnm")) {
        // netpbm's reading of the last row, R, G, B.
        const std::string tail = path + ".tail";
        ASSERT_EQ(Shell("pngtopnm " + path + " | pamcut -top 999 | pamtopnm -plain 2>/dev/null > " +
                        tail),
                  0);
        const std::string have = ReadText(tail);
        std::vector<int> numbers;
        for (size_t i = 2; i < have.size();) {
            if (!std::isdigit(static_cast<unsigned char>(have[i]))) {
                ++i;
                continue;
            }
            numbers.push_back(std::atoi(have.c_str() + i));
            while (i < have.size() && std::isdigit(static_cast<unsigned char>(have[i])))
                ++i;
        }
        ASSERT_EQ(numbers.size(), 3 + 3 * kWidth);
        for (uint64_t x = 0; x < kWidth; ++x) {
            EXPECT_EQ(numbers[3 + 3 * x], Sample(x, 999, 2));
            EXPECT_EQ(numbers[3 + 3 * x + 1], Sample(x, 999, 1));
            EXPECT_EQ(numbers[3 + 3 * x + 2], Sample(x, 999, 0));
        }
    }
}

TEST_F(PngStreamWriterTest, BandTallerThanThePictureIsOneBand) {
    std::vector<uint8_t> band(50 * StrideOf(4));
    ILPngStreamWriter writer(h, wide.c_str(), 4, 5, 50, band.data());
    ASSERT_TRUE(writer.isOpen);
    EXPECT_EQ(writer.rowsPerBand, 5u);
    FillBand(&band, 4, 5, 0);
    EXPECT_TRUE(writer.WriteRows());
    EXPECT_FALSE(writer.WriteRows());
    EXPECT_TRUE(writer.Close());
}

// An empty size opens nothing and creates no file; a writer that never
// opened writes and closes nothing.
TEST_F(PngStreamWriterTest, EmptySizeCreatesNoFile) {
    std::vector<uint8_t> band(16);
    for (auto [width, height] : {std::pair<uint64_t, uint64_t>{0, 5}, {5, 0}}) {
        ILPngStreamWriter writer(h, wide.c_str(), width, height, 1, band.data());
        EXPECT_FALSE(writer.isOpen);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_FALSE(writer.WriteRows());
        EXPECT_FALSE(writer.Close());
    }
}

// A folder that does not exist: the open failure is reported, and the
// writer takes no band.
TEST_F(PngStreamWriterTest, OpenFailureIsReportedAndTakesNoBand) {
    std::vector<uint8_t> band(StrideOf(3));
    const std::u16string missing = ILUtf8ToPath((dir / "none" / "sheet.png").string());
    ILPngStreamWriter writer(h, missing.c_str(), 3, 3, 1, band.data());
    EXPECT_FALSE(writer.isOpen);
    EXPECT_FALSE(errors.empty());
    EXPECT_FALSE(writer.WriteRows());
    EXPECT_FALSE(writer.Close());
}

// libpng refuses a width beyond PNG's 31 bits while writing the header.
TEST_F(PngStreamWriterTest, HeaderLibpngRefusesFailsTheOpen) {
    std::vector<uint8_t> band(16);
    ILPngStreamWriter writer(h, wide.c_str(), uint64_t{1} << 31, 2, 1, band.data());
    EXPECT_FALSE(writer.isOpen);
    EXPECT_EQ(writer.rowsPerBand, 0u);
    EXPECT_FALSE(writer.WriteRows());
}

// Closing before every row was written leaves an unfinished file and
// answers false, as does a disk that fills up.
TEST_F(PngStreamWriterTest, UnfinishedOrFailedFilesCloseWithFalse) {
    std::vector<uint8_t> band(10 * StrideOf(8));
    {
        ILPngStreamWriter writer(h, wide.c_str(), 8, 20, 10, band.data());
        ASSERT_TRUE(writer.WriteRows());
        EXPECT_FALSE(writer.Close());
    }
    if (fs::exists("/dev/full")) {
        constexpr uint64_t kWidth = 512;
        std::vector<uint8_t> noise(64 * StrideOf(kWidth));
        uint32_t state = 1;
        for (uint8_t& v : noise)
            v = static_cast<uint8_t>((state = state * 1103515245 + 12345) >> 16);
        ILPngStreamWriter writer(h, u"/dev/full", kWidth, 64 * 8, 64, noise.data());
        ASSERT_TRUE(writer.isOpen);
        while (writer.WriteRows()) {}
        EXPECT_FALSE(writer.Close());
    }
}

TEST_F(PngStreamWriterTest, HandleWithoutCreatorWritesNoText) {
    ILHandle* plain = ILCreateHandle(nullptr);
    std::vector<uint8_t> band(StrideOf(2) * 2);
    {
        ILPngStreamWriter writer(plain, wide.c_str(), 2, 2, 2, band.data());
        ASSERT_TRUE(writer.WriteRows());
        ASSERT_TRUE(writer.Close());
    }
    ILDestroyHandle(plain);
    for (const pngtest::Chunk& c : pngtest::Chunks(ReadBytes(path)))
        EXPECT_TRUE(c.type != "tEXt" && c.type != "zTXt" && c.type != "iTXt") << c.type;
}

} // namespace
