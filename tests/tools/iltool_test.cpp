// The iltool program, run as the benchmark scripts run it: its exit status,
// what it prints and the files it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"
#include "support/files.h"
#include "support/test_folder.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;

class IlTool : public ::testing::Test {
protected:
    fs::path tool = fs::path(VX_BUILD_DIR) / "tools" / "iltool";
    fs::path dir;
    std::string out, err;

    void SetUp() override {
        if (!fs::exists(tool)) GTEST_SKIP() << "iltool is not built at " << tool;
        dir = MakeTestFolder("vx_iltool");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs iltool with the arguments (paths relative to dir); keeps what it
    // printed and answers its exit status.
    int Run(const std::string& arguments) {
        const std::string command = "cd '" + dir.string() + "' && '" + tool.string() + "' " +
                                    arguments + " >stdout.txt 2>stderr.txt";
        const int status = Shell(command);
        out = ReadText(dir / "stdout.txt");
        err = ReadText(dir / "stderr.txt");
        return status;
    }

    // Saves the image in dir by the name's extension, then frees it.
    void SaveAndFree(ILImage* image, const std::string& name) {
        ILHandle* h = ILCreateHandle("test");
        EXPECT_EQ(ILSaveImage(h, ILUtf8ToPath((dir / name).string()).c_str(), image, nullptr),
                  IL_OK);
        ILDestroyHandle(h);
        ILFreeImage(image);
    }

    // A 5 x 3 indexed image whose pixel (x, y) is index x + 5 y, saved as BMP.
    void WriteInput(const fs::path& p, ILPalette* palette) {
        ILImage image;
        ASSERT_EQ(ILCreateImage(&image, 5, 3, IL_INDEX8, nullptr), IL_OK);
        image.palette = new ILPalette(256);
        for (uint32_t i = 0; i < 256; ++i)
            image.palette->SetEntryBGR8(i, uint8_t(i), uint8_t(i * 3), uint8_t(255 - i));
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 5; ++x)
                image.data[y * image.stride + x] = uint8_t(x + 5 * y);
        *palette = *image.palette;
        ILHandle* h = ILCreateHandle("test");
        ASSERT_EQ(ILSaveImage(h, ILUtf8ToPath(p.string()).c_str(), &image, nullptr), IL_OK);
        ILDestroyHandle(h);
        ILFreeImage(&image);
    }
};

TEST_F(IlTool, InfoConvertAndTopam) {
    ILPalette palette;
    WriteInput(dir / "in.bmp", &palette);

    ASSERT_EQ(Run("info in.bmp"), 0) << err;
    for (const char* line : {"result: 1\n", "formatId: 0x12 (Windows/OS2 Bitmap)\n", "width: 5\n",
                             "height: 3\n", "bitsPerPixel: 8\n", "colorType: 3\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;

    ASSERT_EQ(Run("convert in.bmp os2.bmp --opt bmp.os2=1"), 0) << err;
    const Bytes os2 = ReadBytes(dir / "os2.bmp");
    ASSERT_GT(os2.size(), 18u);
    EXPECT_EQ(os2[14], 12); // the OS/2 core header

    ASSERT_EQ(Run("topam os2.bmp out.pam"), 0) << err;
    const std::string header =
        "P7\nWIDTH 5\nHEIGHT 3\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const Bytes pam = ReadBytes(dir / "out.pam");
    ASSERT_EQ(pam.size(), header.size() + 5 * 3 * 4);
    EXPECT_EQ(std::string(pam.begin(), pam.begin() + header.size()), header);
    for (uint32_t i = 0; i < 15; ++i) {
        uint8_t rgb[3];
        palette.ReadRGB8(i, rgb);
        const uint8_t* p = &pam[header.size() + 4 * i];
        EXPECT_EQ(Bytes(p, p + 4), (Bytes{rgb[0], rgb[1], rgb[2], 255})) << "pixel " << i;
    }
}

// Starting reads no codec library but libjpeg: a JPEG's info maps none of
// the others, and a TIFF save loads libtiff when it is first called.
TEST_F(IlTool, CodecLibrariesLoadOnFirstUse) {
    if (!VX_LAZY_CODECS) GTEST_SKIP() << "this build links the codec libraries outright";
    ILImage image;
    ASSERT_EQ(ILCreateImage(&image, 4, 3, IL_BGR8, nullptr), IL_OK);
    SaveAndFree(&image, "in.jpg");
    auto loaded = [&](const std::string& arguments) {
        const int status = Shell("cd '" + dir.string() + "' && LD_DEBUG=files '" + tool.string() +
                                 "' " + arguments + " >stdout.txt 2>stderr.txt");
        EXPECT_EQ(status, 0) << arguments;
        return ReadText(dir / "stderr.txt");
    };
    const std::string info = loaded("info in.jpg");
    EXPECT_NE(info.find("file=libjpeg.so"), std::string::npos) << info;
    for (const char* library : {"libtiff", "libpng", "libOpenEXR", "libraw", "libexempi",
                                "liblcms2", "libfreetype", "libjpegxr", "libpgf", "libwebp"})
        EXPECT_EQ(info.find(std::string("file=") + library), std::string::npos) << library;
    const std::string convert = loaded("convert in.jpg out.tif");
    EXPECT_NE(convert.find("file=libtiff.so"), std::string::npos) << convert;
    ASSERT_EQ(Run("info out.tif"), 0) << err;
    EXPECT_NE(out.find("width: 4\n"), std::string::npos) << out;
}

// Images without alpha come out as RGB rows, samples in R, G, B order and
// big-endian at 16 bits, whatever order the library holds them in.
TEST_F(IlTool, TopamWritesRgbInFileOrder) {
    for (const bool deep : {false, true}) {
        SCOPED_TRACE(deep ? "16 bits" : "8 bits");
        ILImage image;
        ASSERT_EQ(ILCreateImage(&image, 3, 2, deep ? IL_BGR16 : IL_BGR8, nullptr), IL_OK);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 3; ++x)
                for (uint32_t c = 0; c < 3; ++c) { // B, G, R
                    const uint32_t v = 40 * c + 10 * y + x;
                    uint8_t* p = image.data + y * image.stride + (3 * x + c) * (deep ? 2 : 1);
                    if (deep) {
                        p[0] = uint8_t(v); // little-endian: high byte 0xA0
                        p[1] = 0xA0;
                    } else {
                        p[0] = uint8_t(v);
                    }
                }
        SaveAndFree(&image, "in.png");

        ASSERT_EQ(Run("topam in.png out.pam"), 0) << err;
        const std::string header = std::string("P7\nWIDTH 3\nHEIGHT 2\nDEPTH 3\nMAXVAL ") +
                                   (deep ? "65535" : "255") + "\nTUPLTYPE RGB\nENDHDR\n";
        const Bytes pam = ReadBytes(dir / "out.pam");
        ASSERT_EQ(pam.size(), header.size() + 3 * 2 * 3 * (deep ? 2 : 1));
        EXPECT_EQ(std::string(pam.begin(), pam.begin() + header.size()), header);
        Bytes want;
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 3; ++x)
                for (uint32_t c : {2, 1, 0}) {
                    if (deep) want.push_back(0xA0);
                    want.push_back(uint8_t(40 * c + 10 * y + x));
                }
        EXPECT_EQ(Bytes(pam.begin() + header.size(), pam.end()), want);
    }
}

// The thumbnail edge reaches the load: a JPEG is decoded at 1/8 of its size.
TEST_F(IlTool, TopamTakesLoadOptions) {
    ILImage image;
    ASSERT_EQ(ILCreateImage(&image, 64, 48, IL_BGR8, nullptr), IL_OK);
    SaveAndFree(&image, "in.jpg");

    ASSERT_EQ(Run("topam in.jpg out.pam --opt thumbnailEdge=4"), 0) << err;
    const Bytes pam = ReadBytes(dir / "out.pam");
    const std::string text(pam.begin(), pam.end());
    EXPECT_EQ(text.rfind("P7\nWIDTH 8\nHEIGHT 6\nDEPTH 3\n", 0), 0u) << text.substr(0, 40);
    EXPECT_EQ(Run("topam in.jpg out.pam --opt"), 2);
}

// info makes the info-only load of a folder scan: a header claiming far
// more pixels than its 70-byte file holds, which a full load refuses, is
// described without a word.
TEST_F(IlTool, InfoReadsTheHeaderOnly) {
    Bytes bmp{'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    const uint32_t header[] = {40, 60000, 60000, 1 | 24u << 16, 0, 0, 0, 0, 0, 0};
    for (uint32_t field : header)
        for (int shift = 0; shift < 32; shift += 8)
            bmp.push_back(static_cast<uint8_t>(field >> shift));
    bmp.resize(70, 0);
    WriteBytes(dir / "claim.bmp", bmp);
    ASSERT_EQ(Run("info claim.bmp"), 0) << err;
    EXPECT_NE(out.find("result: 1\nformatId: 0x12"), std::string::npos) << out;
    EXPECT_NE(out.find("width: 60000\n"), std::string::npos) << out;
    EXPECT_EQ(err, "");
}

// Each operation command runs on a file and writes the result in the size
// the operation gives; the exact ones are checked pixel by pixel.
TEST_F(IlTool, OperationsWriteTheirResults) {
    ILImage image;
    ASSERT_EQ(ILCreateImage(&image, 40, 30, IL_BGR8, nullptr), IL_OK);
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 40; ++x) {
            uint8_t* p = image.data + y * image.stride + 3 * x;
            p[0] = uint8_t(6 * x), p[1] = uint8_t(8 * y), p[2] = uint8_t(x + y);
        }
    SaveAndFree(&image, "in.png");
    ILHandle* h = ILCreateHandle("test");
    ILImage in;
    ASSERT_EQ(ILLoadImage(h, ILUtf8ToPath((dir / "in.png").string()).c_str(), &in, nullptr), IL_OK);
    // The B, G, R bytes of pixel (x, y) of a loaded 8-bit image.
    const auto pixel = [](const ILImage& i, uint32_t x, uint32_t y) {
        const uint8_t* p = i.data + y * i.stride + 3 * x;
        return Bytes(p, p + 3);
    };

    const struct {
        const char* arguments;
        uint32_t width, height;
    } cases[] = {
        {"resize in.png out.png 20 15", 20, 15},
        {"resize in.png out.png 80 60 Mitchell", 80, 60},
        {"resize in.png out.png 10 10 fast", 10, 10},
        {"rotate in.png out.png 90", 30, 40},
        {"rotate in.png out.png 30 2", 50, 46},
        {"mirror in.png out.png lr", 40, 30},
        {"mirror in.png out.png ud", 40, 30},
        {"crop in.png out.png 5 4 20 10", 20, 10},
        {"shift in.png out.png 3 -2", 40, 30},
        {"blur in.png out.png 2", 40, 30},
        {"blur in.png out.png 2 sharpen 0.5", 40, 30},
        {"project in.png out.png 40 20 latlong angular", 40, 20},
        {"thumbnail in.png out.png 16", 16, 12},
        {"invert in.png out.png", 40, 30},
        {"swaprb in.png out.png", 40, 30},
        {"colorfilter in.png out.png 30 50 200 20", 40, 30},
        {"tonemap in.png out.png 1 1", 40, 30},
        {"quantize in.png out.png 16", 40, 30},
        {"mode in.png out.png grey8", 40, 30},
        {"mode in.png out.png mono 1", 40, 30},
        {"text in.png out.png Vx", 40, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        fs::remove(dir / "out.png");
        ASSERT_EQ(Run(c.arguments), 0) << err;
        ILImage result;
        ASSERT_EQ(
            ILLoadImage(h, ILUtf8ToPath((dir / "out.png").string()).c_str(), &result, nullptr),
            IL_OK);
        EXPECT_EQ(result.width, c.width);
        EXPECT_EQ(result.height, c.height);
        const std::string command = c.arguments;
        if (result.type == IL_BGR8 && command.rfind("mirror in.png out.png lr", 0) == 0) {
            EXPECT_EQ(pixel(result, 0, 7), pixel(in, 39, 7));
        } else if (result.type == IL_BGR8 && command.rfind("crop", 0) == 0) {
            EXPECT_EQ(pixel(result, 0, 0), pixel(in, 5, 4));
        } else if (result.type == IL_BGR8 && command.rfind("invert", 0) == 0) {
            const Bytes a = pixel(in, 9, 9), b = pixel(result, 9, 9);
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(b[k], 255 - a[k]);
        } else if (result.type == IL_BGR8 && command.rfind("swaprb", 0) == 0) {
            const Bytes a = pixel(in, 9, 9), b = pixel(result, 9, 9);
            EXPECT_EQ(b, (Bytes{a[2], a[1], a[0]}));
        }
        ILFreeImage(&result);
    }
    ILFreeImage(&in);
    ILDestroyHandle(h);
}

TEST_F(IlTool, FailuresPrintAMessageAndExitNonZero) {
    ILPalette palette;
    WriteInput(dir / "in.bmp", &palette);
    const struct {
        const char* arguments;
        int status;
        const char* message;
    } cases[] = {
        {"info missing.bmp", 1, "File not found"},
        {"topam in.bmp", 2, "usage"},
        {"resize in.bmp out.bmp", 2, "usage"},
        {"convert in.bmp out.xyz", 1, "no format writes out.xyz"},
        {"convert in.bmp out.bmp --opt bmp.unknown=1", 2, "unknown option bmp.unknown"},
        {"convert in.bmp out.bmp --opt bmp.os2=256", 2, "bad value"},
        {"convert in.bmp out.bmp --opt jpeg.quality=high", 2, "bad value"},
        {"convert in.bmp out.bmp --opt", 2, "usage"},
        {"text in.bmp out.bmp Hi size=3", 2, "usage"},
        {"text in.bmp out.bmp Hi anchor=x", 2, "usage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(Run(c.arguments), c.status);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists(dir / "out.bmp"));
}

// Exceptions thrown inside the C++ codec libraries (and by ImgLib's own
// stream through libpgf's frames) end as the handle's messages, in the tool
// whose C++ runtime is linked in while those libraries bring the shared one:
// damaged and truncated files and a full disk fail cleanly, no abort.
TEST_F(IlTool, CodecLibraryExceptionsEndAsMessages) {
    const fs::path corpus = VX_CORPUS_DIR;
    const fs::path exr = corpus / "openexr-images/exr/TestImages/GrayRampsHorizontal.exr";
    const fs::path pgf = corpus / "pgf-samples/pgf/blob2.pgf";
    const fs::path dng = corpus / "raw-samples/raw/colorchart.dng";
    for (const fs::path& p : {exr, pgf, dng})
        if (!fs::exists(p)) GTEST_SKIP() << "no corpus file " << p;
    const auto cut = [&](const fs::path& from, size_t size, const std::string& name) {
        Bytes bytes = ReadBytes(from);
        bytes.resize(std::min(bytes.size(), size));
        WriteBytes(dir / name, bytes);
    };
    cut(exr, 400, "header.exr");
    cut(exr, 12197, "rows.exr");
    cut(pgf, 5257, "cut.pgf");
    cut(dng, fs::file_size(dng) / 2, "cut.dng");
    fs::copy_file(exr, dir / "in.exr");
    // Writes beyond a kilobyte fail (the signal ignored, the write reports it).
    const std::string full = "trap '' XFSZ; ulimit -f 1; exec ";
    const struct {
        std::string arguments;
        const char* message;
    } cases[] = {
        {"info header.exr", "Early end of file"},
        {"topam rows.exr out.pam", "Error reading pixel data"},
        {"topam cut.pgf out.pam", "Internal PGF Error"},
        {"topam cut.dng out.pam", "Unexpected end of data"},
        {"convert in.exr out.pgf", "File write failed"},
        {"convert in.exr out.exr", "Failed to write pixel data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const bool write = c.arguments.starts_with("convert");
        const int status = Shell("cd '" + dir.string() + "' && (" + (write ? full : "exec ") + "'" +
                                 tool.string() + "' " + c.arguments + ") >stdout.txt 2>stderr.txt");
        EXPECT_EQ(status, 1);
        const std::string message = ReadText(dir / "stderr.txt");
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

} // namespace
