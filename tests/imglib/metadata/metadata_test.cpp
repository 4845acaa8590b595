// EXIF, IPTC and XMP: payloads cut out of JPEG files that exiftool tagged,
// parsed, dumped and checked line by line; resolution and entry adders
// against exiftool's reading of what we wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <exempi/xmp.h>
#include <libexif/exif-data.h>
#include <libiptcdata/iptc-data.h>
#include <libiptcdata/iptc-jpeg.h>
#include <libiptcdata/iptc-tag.h>
#include <unistd.h>

#include "imglib/metadata/info.h"
#include "support/files.h"
#include "support/library_scope.h"
#include "support/messages.h"
#include "support/tools.h"

using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;

bool RunQuiet(const std::string& command) {
    return Shell(command + " >/dev/null 2>&1") == 0;
}

std::string TempPath(const char* name) {
    return testing::TempDir() + "vx_meta_" + std::to_string(getpid()) + "_" + name;
}

struct Segments {
    Bytes exif; // APP1 payload from "Exif\0\0"
    Bytes xmp;  // APP1 payload after the XMP namespace header
    Bytes iptc; // the IPTC block inside APP13's Photoshop resources
};

// Walks the markers up to the first scan.
Segments ReadSegments(const Bytes& jpeg) {
    static const char kXmpHeader[] = "http://ns.adobe.com/xap/1.0/";
    Segments out;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA) {
        uint8_t marker = jpeg[pos + 1];
        size_t length = (jpeg[pos + 2] << 8) | jpeg[pos + 3];
        if (length < 2 || pos + 2 + length > jpeg.size()) break;
        const uint8_t* p = &jpeg[pos + 4];
        size_t n = length - 2;
        if (marker == 0xE1 && n > 6 && std::memcmp(p, "Exif\0\0", 6) == 0) {
            out.exif.assign(p, p + n);
        } else if (marker == 0xE1 && n > sizeof kXmpHeader &&
                   std::memcmp(p, kXmpHeader, sizeof kXmpHeader) == 0) {
            out.xmp.assign(p + sizeof kXmpHeader, p + n);
        } else if (marker == 0xED) {
            unsigned int iptcLength = 0;
            int offset = iptc_jpeg_ps3_find_iptc(p, n, &iptcLength);
            if (offset > 0) out.iptc.assign(p + offset, p + offset + iptcLength);
        }
        pos += 2 + length;
    }
    return out;
}

// Lines of a CR LF dump.
std::vector<std::string> Lines(const std::string& dump) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = dump.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(dump.substr(start, end - start));
    EXPECT_EQ(start, dump.size()) << "dump does not end in CR LF";
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

// Index of the line, or -1.
int LineIndex(const std::vector<std::string>& lines, const std::string& line) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<int>(i);
    return -1;
}

class Metadata : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library_ = new LibraryScope;
        if (!HaveTool("convert-im6.q16") || !HaveTool("exiftool")) return;
        std::string path = TempPath("tagged.jpg");
        bool made =
            RunQuiet("convert-im6.q16 -size 8x8 xc:red '" + path + "'") &&
            RunQuiet(
                "exiftool -q -overwrite_original -Make=TestCam '-Model=X 100' "
                "-XResolution=300 -YResolution=150 -ResolutionUnit=inches -ExposureTime=0.01 "
                "-GPSLatitude=48.5 -GPSLatitudeRef=N -InteropIndex=R98 "
                "-IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:By-line=Ann "
                "'-IPTC:Caption-Abstract=A red square' -XMP-dc:Title=Sunset "
                "-XMP-dc:Creator=Ann -XMP-dc:Subject=red -XMP-dc:Subject=square '" +
                path + "'");
        if (made) tagged_ = new Segments(ReadSegments(ReadBytes(path)));
        std::remove(path.c_str());
    }
    static void TearDownTestSuite() {
        delete tagged_;
        tagged_ = nullptr;
        delete library_;
    }
    void SetUp() override {
        if (!tagged_) GTEST_SKIP() << "needs convert-im6.q16 and exiftool";
        ASSERT_FALSE(tagged_->exif.empty());
        ASSERT_FALSE(tagged_->xmp.empty());
        ASSERT_FALSE(tagged_->iptc.empty());
    }
    static Segments* tagged_;
    static inline LibraryScope* library_ = nullptr;
};
Segments* Metadata::tagged_ = nullptr;

TEST_F(Metadata, ExifDumpShowsEveryIfdWithItsTitles) {
    ILInfo info;
    ASSERT_TRUE(ILInfoSetEXIF(&info.exif, tagged_->exif.size(), tagged_->exif.data()));
    EXPECT_TRUE(ILHasExif(info.exif));
    std::string dump;
    ILFormatExif(info.exif, &dump);
    auto lines = Lines(dump);

    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[ IFD TIFF ]");
    EXPECT_TRUE(HasLine(lines, "Make: TestCam"));
    EXPECT_TRUE(HasLine(lines, "Model: X 100"));
    EXPECT_TRUE(HasLine(lines, "X-Resolution: 300"));
    // Tags 1 and 2 mean one thing in the GPS IFD and another in the
    // Interoperability IFD.
    int gps = LineIndex(lines, "[ IFD GPS ]");
    int interop = LineIndex(lines, "[ IFD Interoperability ]");
    int exif = LineIndex(lines, "[ IFD EXIF ]");
    ASSERT_GT(exif, 0);
    ASSERT_GT(gps, exif);
    ASSERT_GT(interop, 0);
    EXPECT_EQ(lines[exif - 1], "");
    EXPECT_EQ(lines[gps - 1], "");
    EXPECT_EQ(lines[interop - 1], "");
    EXPECT_TRUE(HasLine(lines, "North or South Latitude: N"));
    EXPECT_TRUE(HasLine(lines, "Interoperability Index: R98"));
    EXPECT_TRUE(HasLine(lines, "Exposure Time: 1/100 sec."));
    // Tags the file lacks are not invented while parsing.
    EXPECT_EQ(dump.find("Date and Time"), std::string::npos);

    ILApplyExifResolution(&info);
    EXPECT_EQ(info.ppiX, 300u);
    EXPECT_EQ(info.ppiY, 150u);
}

TEST_F(Metadata, IptcDumpListsDatasetsInOrder) {
    ILInfo info;
    ASSERT_TRUE(ILInfoSetIPTC(&info.iptc, tagged_->iptc.size(), tagged_->iptc.data()));
    EXPECT_TRUE(ILHasIPTC(info.iptc));
    std::string dump;
    ILFormatIPTC(info.iptc, &dump);
    auto lines = Lines(dump);
    int first = LineIndex(lines, "Keywords: alpha");
    ASSERT_GE(first, 0) << dump;
    EXPECT_EQ(lines[first + 1], "Keywords: beta");
    EXPECT_TRUE(HasLine(lines, "By-line: Ann"));
    EXPECT_TRUE(HasLine(lines, "Caption/Abstract: A red square"));
}

TEST_F(Metadata, XmpDumpHasOneLinePerProperty) {
    ILInfo info;
    ASSERT_TRUE(ILParseXMP(&info.xmp, tagged_->xmp.size(),
                           reinterpret_cast<const char*>(tagged_->xmp.data())));
    EXPECT_TRUE(ILHasXMP(info.xmp));
    std::string dump;
    ILFormatXMP(info.xmp, &dump);
    auto lines = Lines(dump);
    EXPECT_TRUE(HasLine(lines, "dc:title[1]: Sunset")) << dump;
    EXPECT_TRUE(HasLine(lines, "dc:title[1]/?xml:lang: x-default"));
    EXPECT_TRUE(HasLine(lines, "dc:creator[1]: Ann"));
    EXPECT_TRUE(HasLine(lines, "dc:subject"));
    EXPECT_EQ(LineIndex(lines, "dc:subject[2]: square"),
              LineIndex(lines, "dc:subject[1]: red") + 1);
}

// Truncated and bit-flipped payloads: an error or a partial result, never a
// crash or a read out of bounds (the sanitizer build checks).
TEST_F(Metadata, DamagedPayloadsAreSafe) {
    std::mt19937 random(7);
    auto damage = [&](const Bytes& good, size_t cut, int flips) {
        Bytes bad(good.begin(), good.begin() + cut);
        for (int i = 0; i < flips && !bad.empty(); ++i)
            bad[random() % bad.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        return bad;
    };
    for (int round = 0; round < 300; ++round) {
        int flips = round < 100 ? 0 : 1 + round % 4;
        ILInfo info;
        std::string dump;
        const Bytes& exif = tagged_->exif;
        Bytes bad = damage(exif, round < 100 ? exif.size() * round / 100 : exif.size(), flips);
        if (ILInfoSetEXIF(&info.exif, bad.size(), bad.data())) {
            ILFormatExif(info.exif, &dump);
            ILApplyExifResolution(&info);
        }
        const Bytes& iptc = tagged_->iptc;
        bad = damage(iptc, round < 100 ? iptc.size() * round / 100 : iptc.size(), flips);
        if (ILInfoSetIPTC(&info.iptc, bad.size(), bad.data())) ILFormatIPTC(info.iptc, &dump);
        const Bytes& xmp = tagged_->xmp;
        bad = damage(xmp, round < 100 ? xmp.size() * round / 100 : xmp.size(), flips);
        if (ILParseXMP(&info.xmp, bad.size(), reinterpret_cast<const char*>(bad.data())))
            ILFormatXMP(info.xmp, &dump);
    }
}

TEST(XmpDump, EveryLineOfAValueEndsInCrLf) {
    static const char kPacket[] =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'>"
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
        "<rdf:Description rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/'>"
        "<xmp:Label>first\nsecond</xmp:Label></rdf:Description></rdf:RDF></x:xmpmeta>";
    {
        const LibraryScope library;
        ILInfo info;
        ASSERT_TRUE(ILParseXMP(&info.xmp, sizeof kPacket - 1, kPacket));
        std::string dump;
        ILFormatXMP(info.xmp, &dump);
        EXPECT_EQ(dump, "xmp:Label: first\r\nsecond\r\n");
    }

    std::string sink = "a";
    EXPECT_EQ(ILXMPTextSink(&sink, "b\n", 2), 0);
    EXPECT_EQ(ILXMPTextSink(&sink, "c\nd", 3), 0);
    EXPECT_EQ(sink, "ab\r\nc\nd");
}

// Every JPEG of the shared corpus that carries metadata, some of it broken
// on purpose: parsed and dumped without harm; resolutions as exiftool reads
// them, a zero denominator giving none.
TEST(MetadataCorpus, JpegsParseAndDumpSafely) {
    namespace fs = std::filesystem;
    const fs::path corpus = VX_CORPUS_DIR;
    std::error_code error;
    if (!fs::is_directory(corpus, error)) GTEST_SKIP() << "corpus not found at " << corpus;
    struct Resolution {
        const char* name;
        uint32_t x, y;
    };
    const Resolution known[] = {
        {"exif-dpi-zerodivision.jpg", 0, 0},
        {"exif_typeerror.jpg", 500, 500},
        {"iptc.jpg", 300, 300},
    };
    const LibraryScope library;
    int withMetadata = 0, checked = 0;
    for (const fs::directory_entry& file : fs::recursive_directory_iterator(corpus, error)) {
        std::string ext = file.path().extension().string();
        if (ext != ".jpg" && ext != ".jpeg" && ext != ".JPG") continue;
        std::string path = file.path().string();
        Segments segments = ReadSegments(ReadBytes(path));
        if (segments.exif.empty() && segments.iptc.empty() && segments.xmp.empty()) continue;
        SCOPED_TRACE(path);
        ++withMetadata;
        ILInfo info;
        std::string dump;
        ILInfoSetEXIF(&info.exif, segments.exif.size(), segments.exif.data());
        ILInfoSetIPTC(&info.iptc, segments.iptc.size(), segments.iptc.data());
        ILParseXMP(&info.xmp, segments.xmp.size(),
                   reinterpret_cast<const char*>(segments.xmp.data()));
        ILFormatExif(info.exif, &dump);
        ILFormatIPTC(info.iptc, &dump);
        ILFormatXMP(info.xmp, &dump);
        ILApplyExifResolution(&info);
        for (const Resolution& r : known) {
            if (file.path().filename() != r.name) continue;
            ++checked;
            EXPECT_EQ(info.ppiX, r.x);
            EXPECT_EQ(info.ppiY, r.y);
        }
    }
    if (withMetadata == 0) GTEST_SKIP() << "no JPEG with metadata in the corpus";
    EXPECT_EQ(checked, static_cast<int>(std::size(known)));
}

TEST(MetadataParse, RefusesShortOrEmptyData) {
    const LibraryScope library;
    const uint8_t nine[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0};
    ILInfo info;
    EXPECT_FALSE(ILInfoSetEXIF(&info.exif, 8, nine));
    EXPECT_EQ(info.exif, nullptr);
    EXPECT_FALSE(ILInfoSetIPTC(&info.iptc, 8, nine));
    EXPECT_FALSE(ILParseXMP(&info.xmp, 8, "<x:xmpme"));
    EXPECT_EQ(info.xmp, nullptr);

    // libexif takes anything, but finds nothing in it.
    ASSERT_TRUE(ILInfoSetEXIF(&info.exif, sizeof nine, nine));
    EXPECT_FALSE(ILHasExif(info.exif));
    ILApplyExifResolution(&info);
    EXPECT_EQ(info.ppiX, 0u);

    // An IPTC block without datasets is not kept.
    const uint8_t noDatasets[16] = {};
    EXPECT_FALSE(ILInfoSetIPTC(&info.iptc, sizeof noDatasets, noDatasets));
    EXPECT_EQ(info.iptc, nullptr);

    const char notXml[] = "certainly not an XML packet";
    EXPECT_FALSE(ILParseXMP(&info.xmp, sizeof notXml - 1, notXml));
    EXPECT_EQ(info.xmp, nullptr);
}

// EXIF data as a saver would build it, serialised by libexif and parsed back.
Bytes SaveExif(ExifData* exif) {
    unsigned char* data = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &data, &size);
    Bytes out(data, data + size);
    std::free(data);
    return out;
}

TEST(ExifResolution, TakesTheFilesResolutionWhenTheLoaderHasNone) {
    struct Case {
        const char* name;
        bool x, y; // which tags the file has
        uint32_t xNum, xDen, yNum, yDen;
        uint32_t loaderPpi;
        uint32_t wantX, wantY;
    };
    const Case cases[] = {
        {"both", true, true, 300, 1, 150, 1, 0, 300, 150},
        {"no Y", true, false, 300, 1, 0, 0, 0, 300, 300},
        {"truncated", true, true, 601, 2, 1199, 4, 0, 300, 299},
        {"zero X denominator", true, false, 300, 0, 0, 0, 0, 0, 0},
        {"zero Y denominator", true, true, 300, 1, 150, 0, 0, 300, 300},
        {"none in the file", false, false, 0, 0, 0, 0, 0, 0, 0},
        {"loader's own", true, true, 300, 1, 300, 1, 96, 96, 96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExifData* built = exif_data_new();
        ILExifAddAscii(built, IL_EXIF_IFD_0, 0x10F, "Cam");
        if (c.x) ILExifAddUnsignedRational(built, IL_EXIF_IFD_0, 282, c.xNum, c.xDen);
        if (c.y) ILExifAddUnsignedRational(built, IL_EXIF_IFD_0, 283, c.yNum, c.yDen);
        ILExifAddUnsignedShort(built, IL_EXIF_IFD_1, 0x103, 6);
        Bytes bytes = SaveExif(built);
        exif_data_unref(built);

        ILInfo info;
        info.ppiX = info.ppiY = c.loaderPpi;
        ASSERT_TRUE(ILInfoSetEXIF(&info.exif, bytes.size(), bytes.data()));
        ASSERT_GT(info.exif->ifd[EXIF_IFD_1]->count, 0u);
        ILApplyExifResolution(&info);
        EXPECT_EQ(info.ppiX, c.wantX);
        EXPECT_EQ(info.ppiY, c.wantY);
        EXPECT_EQ(info.exif->ifd[EXIF_IFD_1]->count, 0u);
        // The fix completes the mandatory tags for saving.
        EXPECT_NE(exif_content_get_entry(info.exif->ifd[EXIF_IFD_0], EXIF_TAG_RESOLUTION_UNIT),
                  nullptr);
    }
}

// The adders write in the data's byte order; exiftool reads the result.
TEST(ExifAdders, ExiftoolReadsWhatWeWrote) {
    if (!HaveTool("exiftool") || !HaveTool("convert-im6.q16"))
        GTEST_SKIP() << "needs convert-im6.q16 and exiftool";
    std::string plain = TempPath("plain.jpg");
    ASSERT_TRUE(RunQuiet("convert-im6.q16 -size 4x4 xc:blue '" + plain + "'"));
    Bytes jpeg = ReadBytes(plain);
    std::remove(plain.c_str());

    const char* tz = std::getenv("TZ");
    std::string savedTz = tz ? tz : "";
    setenv("TZ", "UTC", 1);
    tzset();

    for (ExifByteOrder order : {EXIF_BYTE_ORDER_MOTOROLA, EXIF_BYTE_ORDER_INTEL}) {
        SCOPED_TRACE(order == EXIF_BYTE_ORDER_MOTOROLA ? "big endian" : "little endian");
        ExifData* exif = exif_data_new();
        exif_data_set_byte_order(exif, order);
        const uint8_t version[] = {'0', '2', '3', '1'};
        EXPECT_TRUE(ILExifAddAscii(exif, IL_EXIF_IFD_0, 0x131, "Vx test"));
        EXPECT_TRUE(ILExifAddUnsignedShort(exif, IL_EXIF_IFD_0, 0x112, 6));
        EXPECT_TRUE(ILExifAddUnsignedRational(exif, IL_EXIF_IFD_0, 0x11A, 600, 2));
        EXPECT_TRUE(ILExifAddDateTime(exif, 1614834367)); // 2021-03-04 05:06:07 UTC
        EXPECT_TRUE(ILExifAddUndefined(exif, 0x9000, version, 4));
        EXPECT_TRUE(ILExifAddSignedRational(exif, 0x9204, -1, 3));
        EXPECT_TRUE(ILExifAddUnsignedLong(exif, 0xA002, 70000));
        EXPECT_TRUE(ILExifAddSignedLong(exif, 0xC000, -123456));
        EXPECT_TRUE(ILExifAddSignedShort(exif, 0xC001, -321));
        EXPECT_FALSE(ILExifAddUnsignedShort(exif, IL_EXIF_IFD_0, 0x112, 1)) << "duplicate tag";
        EXPECT_FALSE(ILExifAddAscii(exif, IL_EXIF_IFD_COUNT, 0x131, "x")) << "bad IFD";
        Bytes app1 = SaveExif(exif);
        exif_data_unref(exif);

        // SOI, our APP1, then the rest of the plain file.
        Bytes tagged(jpeg.begin(), jpeg.begin() + 2);
        size_t length = app1.size() + 2;
        tagged.insert(tagged.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
        tagged.insert(tagged.end(), app1.begin(), app1.end());
        tagged.insert(tagged.end(), jpeg.begin() + 2, jpeg.end());
        std::string path = TempPath("adders.jpg");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(tagged.data()), tagged.size());

        std::string got = RunOutput(
            "exiftool -n -u -S -Software -Orientation -XResolution -ModifyDate -ExifVersion "
            "-ExposureCompensation -ExifImageWidth -ExifIFD:Exif_0xc000 -ExifIFD:Exif_0xc001 '" +
            path + "'");
        std::remove(path.c_str());
        EXPECT_EQ(got,
                  "Software: Vx test\n"
                  "Orientation: 6\n"
                  "XResolution: 300\n"
                  "ModifyDate: 2021:03:04 05:06:07\n"
                  "ExifVersion: 0231\n"
                  "ExposureCompensation: -0.3333333333\n"
                  "ExifImageWidth: 70000\n"
                  "Exif_0xc000: -123456\n"
                  "Exif_0xc001: -321\n");
    }
    if (tz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ExifAdders, NeedExifData) {
    EXPECT_FALSE(ILExifAddUnsignedLong(nullptr, 0xA002, 1));
    EXPECT_FALSE(ILExifAddDateTime(nullptr, 0));
}

// The IPTC table's formats and sizes are those of the Information
// Interchange Model, as libiptcdata also records them.
TEST(IptcTable, AgreesWithLibiptcdata) {
    int rows = 0;
    for (uint32_t record : {1u, 2u, 7u, 8u, 9u}) {
        for (uint32_t dataset = 0; dataset < 256; ++dataset) {
            const ILIptcTag* ours = ILFindIptcTag(record, dataset);
            const IptcTagInfo* theirs =
                iptc_tag_get_info(static_cast<IptcRecord>(record), static_cast<IptcTag>(dataset));
            SCOPED_TRACE(std::to_string(record) + ":" + std::to_string(dataset));
            ASSERT_EQ(ours != nullptr, theirs != nullptr);
            if (!ours) continue;
            ++rows;
            EXPECT_EQ(ours->format, static_cast<uint32_t>(theirs->format));
            EXPECT_EQ(ours->mandatory, theirs->mandatory != 0);
            EXPECT_EQ(ours->repeatable, theirs->repeatable != 0);
            EXPECT_EQ(ours->minBytes, theirs->minbytes);
            EXPECT_EQ(ours->maxBytes, theirs->maxbytes);
        }
    }
    EXPECT_EQ(rows, 77);
}

// One IPTC dataset: tag marker, record 2, the dataset number, the length
// (standard, or extended with its bytes) and the value.
Bytes IptcDataset(uint8_t number, const Bytes& length, size_t valueBytes) {
    Bytes b = length;
    b.insert(b.begin(), {0x1C, 2, number});
    b.resize(b.size() + valueBytes, 'a');
    return b;
}

// libiptcdata trusts the lengths inside a block; a block whose datasets do
// not fit it, or that gives a length in more than four bytes (which crashes
// the library), is dropped with a warning before the library sees it.
TEST(HostileMetadata, IptcBlockStructureIsCheckedFirst) {
    const LibraryScope library;
    KeepMessages(library.h);
    Bytes withPadding = IptcDataset(25, {0, 6}, 6);
    withPadding.insert(withPadding.end(), 2, 0);
    struct Case {
        const char* name;
        Bytes block;
        bool kept;
    } cases[] = {
        {"standard length", IptcDataset(25, {0, 6}, 6), true},
        {"extended length in four bytes", IptcDataset(25, {0x80, 4, 0, 0, 0, 6}, 6), true},
        {"zero padding after the datasets", withPadding, true},
        {"value beyond the block", IptcDataset(25, {0, 30}, 6), false},
        {"extended length in eight bytes", IptcDataset(25, {0x80, 8, 0, 0, 0, 0, 0, 0, 0, 6}, 6),
         false},
        {"extended length beyond the block", IptcDataset(25, {0x80, 4, 0, 1, 0, 0}, 6), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        warnings.clear();
        ILInfo info;
        EXPECT_EQ(ILInfoSetIPTC(library.h, &info.iptc, c.block.size(), c.block.data()), c.kept);
        EXPECT_EQ(warnings.empty(), c.kept);
        if (!c.kept) {
            EXPECT_EQ(warnings[0], "ImgLib: Invalid IPTC data - block ignored");
        }
    }
}

// A caption that fills libiptcdata's text buffer comes back without a
// terminating zero: the dump stops at the buffer's end.
TEST(HostileMetadata, IptcDumpOfAValueFillingTheBuffer) {
    const LibraryScope library;
    for (size_t size : {3999u, 4000u, 6000u}) {
        SCOPED_TRACE(size);
        const Bytes block = IptcDataset(
            120, {static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size & 0xFF)}, size);
        ILInfo info;
        ASSERT_TRUE(ILInfoSetIPTC(&info.iptc, block.size(), block.data()));
        std::string dump;
        ILFormatIPTC(info.iptc, &dump);
        const std::string value(std::min<size_t>(size, 4000), 'a');
        EXPECT_EQ(dump, "Caption/Abstract: " + value + "\r\n");
    }
}

// The XMP toolkit parses nested elements by recursion: a packet nested far
// deeper than any real one is dropped with a warning. Comments and
// self-closed elements do not nest.
TEST(HostileMetadata, DeeplyNestedXmpIsDropped) {
    const LibraryScope library;
    KeepMessages(library.h);
    auto packet = [](const std::string& inner) {
        return "<x:xmpmeta xmlns:x='adobe:ns:meta/'>"
               "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
               "<rdf:Description rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/'>"
               "<xmp:Label>x</xmp:Label>" +
               inner + "</rdf:Description></rdf:RDF></x:xmpmeta>";
    };
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    struct Case {
        const char* name;
        std::string xmp;
        bool kept;
    } cases[] = {
        {"flat", packet(""), true},
        {"comments and empty elements",
         packet(repeat("<!-- <a> -->", 5000) + "<xmp:Nick rdf:parseType='Resource'/>"), true},
        {"200,000 levels", packet(repeat("<a>", 200000) + repeat("</a>", 200000)), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        warnings.clear();
        ILInfo info;
        EXPECT_EQ(ILParseXMP(library.h, &info.xmp, c.xmp.size(), c.xmp.c_str()), c.kept);
        EXPECT_EQ(warnings.empty(), c.kept);
        if (!c.kept) {
            EXPECT_EQ(warnings[0], "ImgLib: XMP packet nested too deeply - packet ignored");
        }
    }
}

} // namespace
