// The camera RAW loader on the corpus DNG and CRW, against LibRaw's own
// dcraw_emu run with the same settings, and on the metadata it reports.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <libexif/exif-data.h>

#include "codec_fixture.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/raw.h"
#include "imglib/pixel_type.h"
#include "imglib/memory_owner.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

class Raw : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!fs::exists(Dng())) GTEST_SKIP() << "no raw samples at " << Dng();
    }

    static fs::path Dng() { return Corpus("raw-samples") / "raw" / "colorchart.dng"; }
    static fs::path Crw() {
        return Corpus("raw-samples") / "raw" / "exiv2-canon-powershot-s40.crw";
    }

    void SetSampleKind(uint32_t kind) {
        ILRAWImportOptions options;
        ILGetRAWImportOptions(h, &options);
        options.sampleKind = kind;
        ILSetRAWImportOptions(h, &options);
    }
};

std::string ExifValue(ExifData* exif, ExifIfd ifd, uint16_t tag) {
    ExifEntry* entry = exif ? exif_content_get_entry(exif->ifd[ifd], ExifTag(tag)) : nullptr;
    if (!entry) return "";
    if (entry->format == EXIF_FORMAT_RATIONAL) {
        const ExifRational r = exif_get_rational(entry->data, exif_data_get_byte_order(exif));
        return std::to_string(r.numerator) + "/" + std::to_string(r.denominator);
    }
    if (entry->format == EXIF_FORMAT_SRATIONAL) {
        const ExifSRational r = exif_get_srational(entry->data, exif_data_get_byte_order(exif));
        return std::to_string(r.numerator) + "/" + std::to_string(r.denominator);
    }
    char text[256];
    return exif_entry_get_value(entry, text, sizeof text);
}

// The picture agrees with dcraw_emu given our settings (camera and automatic
// white balance, PPG, sRGB, the sRGB curve) within one 8-bit step for
// almost every sample: the two curves round differently.
TEST_F(Raw, DngDecodesLikeDcrawEmu) {
    if (!HaveTool("dcraw_emu")) GTEST_SKIP() << "dcraw_emu (libraw-bin) is not installed";
    const fs::path copy = dir / "chart.dng";
    fs::copy_file(Dng(), copy);
    ASSERT_EQ(Shell("dcraw_emu -w -a -q 2 -o 1 -g 2.4 12.92 '" + copy.string() + "'"), 0);
    const std::vector<uint8_t> ppm = ReadBytes(copy.string() + ".ppm");

    SetSampleKind(IL_KIND_8);
    ILImageOwner image;
    ILInfo info;
    ASSERT_EQ(Load(Dng(), &image.image, &info), IL_OK) << LastError();
    ASSERT_EQ(image.image.type, IL_BGR8);
    EXPECT_EQ(info.width, image.image.width);
    EXPECT_EQ(info.height, image.image.height);
    const std::string header = "P6\n" + std::to_string(image.image.width) + " " +
                               std::to_string(image.image.height) + "\n255\n";
    ASSERT_EQ(std::string(ppm.begin(), ppm.begin() + header.size()), header);
    const uint8_t* peer = ppm.data() + header.size();
    uint64_t off = 0, far = 0;
    for (uint32_t y = 0; y < image.image.height; ++y)
        for (uint32_t x = 0; x < image.image.width; ++x, peer += 3)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(Row(image.image, y)[3 * x + 2 - c] - int{peer[c]});
                off += d > 1;
                far += d > 3;
            }
    const uint64_t samples = uint64_t{image.image.width} * image.image.height * 3;
    EXPECT_LT(off, samples / 1000);
    EXPECT_EQ(far, 0u);
}

// The deep kinds follow the 16-bit curve: float x 0.85 W through the sRGB
// curve is the 16-bit sample; half likewise within its precision.
TEST_F(Raw, SampleKindsShareOneWhiteLevel) {
    ILImageOwner deep, linear;
    SetSampleKind(IL_KIND_16);
    ASSERT_EQ(Load(Dng(), &deep.image), IL_OK);
    SetSampleKind(IL_KIND_FLOAT);
    ASSERT_EQ(Load(Dng(), &linear.image), IL_OK);
    ASSERT_EQ(linear.image.type, IL_BGR_FLOAT);
    for (uint32_t y = 0; y < deep.image.height; y += 97)
        for (uint32_t i = 0; i < deep.image.width * 3; i += 31) {
            const double f = reinterpret_cast<const float*>(Row(linear.image, y))[i] * 0.85;
            const double c = f <= 0.0031308 ? 12.92 * f : 1.055 * std::pow(f, 1 / 2.4) - 0.055;
            const double want = std::min(c * 65536, 65535.0);
            EXPECT_NEAR(reinterpret_cast<const uint16_t*>(Row(deep.image, y))[i], want, 2)
                << i << "," << y;
        }
}

// Thumbnails decode at half size without demosaicing.
TEST_F(Raw, ThumbnailsDecodeAtHalfSize) {
    ILSetThumbnailSize(h, 200);
    ILImageOwner image;
    ILInfo info;
    ASSERT_EQ(Load(Dng(), &image.image, &info), IL_OK) << LastError();
    EXPECT_EQ(image.image.width, (info.width + 1) / 2);
    EXPECT_EQ(image.image.height, (info.height + 1) / 2);
}

// Camera data as EXIF, in the formats of the rules for each value.
TEST_F(Raw, CameraDataBecomesExif) {
    ILInfo info;
    ASSERT_EQ(Load(Crw(), nullptr, &info), IL_OK) << LastError();
    EXPECT_EQ(info.formatId, 0x200u);
    EXPECT_EQ(info.colorType, uint32_t{IL_CT_BAYER});
    EXPECT_EQ(info.channels, 3u);
    EXPECT_EQ(ExifValue(info.exif, EXIF_IFD_0, 271), "Canon");
    EXPECT_EQ(ExifValue(info.exif, EXIF_IFD_0, 272), "PowerShot S40");
    // 1/14.997 s: 100000 over 100000 / s rounded
    EXPECT_EQ(ExifValue(info.exif, EXIF_IFD_EXIF, 33434), "100000/1499334");
    EXPECT_EQ(ExifValue(info.exif, EXIF_IFD_EXIF, 37377), "391/100"); // log2(15)
    EXPECT_FALSE(ExifValue(info.exif, EXIF_IFD_EXIF, 33437).empty());
}

// The APEX shutter speed log2(1 / t) in hundredths, rounded to nearest on
// both sides of one second.
TEST(RawExif, ShutterSpeedValueRoundsToNearest) {
    const std::pair<double, const char*> cases[] = {
        {1 / 15.0, "391/100"}, {2.0, "-100/100"}, {1.5, "-58/100"}, {30.0, "-491/100"}};
    for (const auto& [seconds, want] : cases) {
        auto raw = std::make_unique<LibRaw>();
        raw->imgdata.other.shutter = static_cast<float>(seconds);
        ExifData* exif = exif_data_new();
        ILRawAddExif(exif, *raw);
        EXPECT_EQ(ExifValue(exif, EXIF_IFD_EXIF, 37377), want) << seconds;
        exif_data_unref(exif);
    }
}

// Raw data that cannot be decoded fails with one message and no image;
// a file that is no raw file has an invalid header.
TEST_F(Raw, UndecodableDataFailsCleanly) {
    const std::vector<uint8_t> bytes = ReadBytes(Dng());
    const std::string truncated = PathOf("truncated.dng");
    ASSERT_TRUE(WriteBytes(truncated, {bytes.begin(), bytes.begin() + bytes.size() * 6 / 10}));
    for (const std::string& path : {Crw().string(), truncated}) {
        SCOPED_TRACE(path);
        errors.clear();
        ILImageOwner image;
        EXPECT_EQ(Load(path, &image.image), IL_FAILED);
        EXPECT_EQ(errors, std::vector<std::string>{"DC-RAW: Unexpected end of data"});
        EXPECT_EQ(image.image.data, nullptr);
    }
    const std::string text = PathOf("text.dng");
    ASSERT_TRUE(WriteBytes(text, std::vector<uint8_t>(200, 'x')));
    ILImageOwner image;
    EXPECT_EQ(Load(text, &image.image), IL_INVALID_HEADER);
}

// The sidecar beside the file: same name, extension XMP. A dot in a folder
// name is no extension.
TEST_F(Raw, XmpSidecar) {
    const std::string packet =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
        "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Rating=\"4\"/></rdf:RDF></x:xmpmeta>";
    fs::copy_file(Dng(), dir / "IMG_0001.CR2");
    ASSERT_TRUE(WriteBytes(dir / "IMG_0001.XMP", {packet.begin(), packet.end()}));
    ILInfo info;
    ASSERT_EQ(Load(dir / "IMG_0001.CR2", nullptr, &info), IL_OK);
    EXPECT_TRUE(ILHasXMP(info.xmp));

    fs::create_directory(dir / "folder.d");
    fs::copy_file(Dng(), dir / "folder.d" / "noextension");
    ASSERT_TRUE(WriteBytes(dir / "folder.XMP", {packet.begin(), packet.end()}));
    // No extension: the format table would not choose the row, the loader can.
    ILInfo without;
    const std::u16string bare = ILUtf8ToPath((dir / "folder.d" / "noextension").string());
    ASSERT_EQ(ILLoadRAW(h, bare.c_str(), nullptr, &without), IL_OK);
    EXPECT_FALSE(ILHasXMP(without.xmp));
}

} // namespace
