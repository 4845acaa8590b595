#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/convert/cms.h"
#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/metadata/info.h"
#include "imglib/pixel_type.h"

namespace {

struct HandleDeleter {
    void operator()(ILHandle* h) const { ILDestroyHandle(h); }
};
using HandlePtr = std::unique_ptr<ILHandle, HandleDeleter>;

HandlePtr NewHandle() {
    return HandlePtr(ILCreateHandle("Vx test"));
}

TEST(Handle, FreshHandleReportsDefaults) {
    static const char creator[] = "Vx 1.0";
    HandlePtr h(ILCreateHandle(creator));
    ASSERT_TRUE(ILCheckHandle(h.get()));
    EXPECT_EQ(h->magic, 208u);
    EXPECT_EQ(h->creator, creator); // the pointer, not a copy
    EXPECT_EQ(h->loadMode, 0);
    EXPECT_EQ(h->readMetadata, 1);
    EXPECT_EQ(h->writeMetadata, 1);
    EXPECT_EQ(h->thumbnailEdge, 0u);
    EXPECT_EQ(h->module, nullptr);
    EXPECT_EQ(h->progressProc, nullptr);
    EXPECT_EQ(h->errorProc, &ILDefaultErrorHandler);
    EXPECT_EQ(h->warningProc, &ILDefaultWarningHandler);
    EXPECT_EQ(h->background.r, 0.0f);
    EXPECT_EQ(h->background.g, 0.0f);
    EXPECT_EQ(h->background.b, 0.0f);
    EXPECT_EQ(h->background.a, 1.0f);
    EXPECT_EQ(h->background.index, -1);

    uint8_t b = 0xEE;
    uint32_t u = 0xEEEEEEEE;
    EXPECT_TRUE(ILGetAlphaMode(h.get(), &b));
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(ILGetBMPOptions(h.get(), &b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(ILGetPCXOptions(h.get(), &b));
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(ILGetGIFOptions(h.get(), &b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(ILGetTGAOptions(h.get(), &b));
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(ILGetPNMOptions(h.get(), &b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(ILGetRadianceOptions(h.get(), &b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(ILGetEXRImportOptions(h.get(), &b));
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(ILGetEXROptions(h.get(), &u));
    EXPECT_EQ(u, 3u);
    EXPECT_TRUE(ILGetWebPOptions(h.get(), &u));
    EXPECT_EQ(u, 20u);
    EXPECT_TRUE(ILGetReservedOption(h.get(), &u));

    ILPNGOptions png{};
    EXPECT_TRUE(ILGetPNGOptions(h.get(), &png));
    EXPECT_EQ(png.compression, 1u);
    EXPECT_EQ(png.interlaced, 0u);
    EXPECT_EQ(png.gamma, 1);
    ILJPEGOptions jpeg{};
    EXPECT_TRUE(ILGetJPEGOptions(h.get(), &jpeg));
    EXPECT_EQ(jpeg.quality, 90u);
    EXPECT_EQ(jpeg.progressive, 1);
    EXPECT_EQ(jpeg.arithmetic, 0);
    EXPECT_EQ(jpeg.subsampling, 1);
    EXPECT_EQ(jpeg.embedProfile, 0);
    ILJPEG2000Options j2k{};
    EXPECT_TRUE(ILGetJPEG2000Options(h.get(), &j2k));
    EXPECT_EQ(j2k.rate, 90u);
    EXPECT_EQ(j2k.layers, 4u);
    EXPECT_EQ(j2k.colorFormat, 1u);
    EXPECT_EQ(j2k.reversible, 1);
    EXPECT_EQ(j2k.lossless, 0);
    EXPECT_EQ(j2k.subsampling, 1);
    ILJPEGXROptions jxr{};
    EXPECT_TRUE(ILGetJPEGXROptions(h.get(), &jxr));
    EXPECT_EQ(jxr.quality, 90u);
    EXPECT_EQ(jxr.overlap, 0u);
    EXPECT_EQ(jxr.subsampling, 0u);
    EXPECT_EQ(jxr.lossless, 0);
    ILTIFFOptions tiff{};
    EXPECT_TRUE(ILGetTIFFOptions(h.get(), &tiff));
    EXPECT_EQ(tiff.byteOrder, 0);
    EXPECT_EQ(tiff.compression, 2u);
    EXPECT_EQ(tiff.predictor, 1);
    EXPECT_EQ(tiff.embedProfile, 0);
    ILPGFOptions pgf{};
    EXPECT_TRUE(ILGetPGFOptions(h.get(), &pgf));
    EXPECT_EQ(pgf.level, 9u);
    EXPECT_EQ(pgf.lossless, 0);
    ILRAWImportOptions raw{};
    EXPECT_TRUE(ILGetRAWImportOptions(h.get(), &raw));
    EXPECT_EQ(raw.sampleKind, 0x60u);
    EXPECT_EQ(raw.interpolation, 1u);
    EXPECT_EQ(raw.waveletThreshold, 0.0f);
    ILPCDImportOptions pcd{};
    EXPECT_TRUE(ILGetPCDImportOptions(h.get(), &pcd));
    EXPECT_EQ(pcd.sampleKind, 0x60u);
    EXPECT_EQ(pcd.resolution, 4u);
}

// Every option is set to a value no default or other option has; reading
// them all back afterwards shows that no setter or getter crosses fields.
TEST(Handle, EachOptionKeepsItsOwnValue) {
    HandlePtr h = NewHandle();
    const uint8_t bmp = 11, pcx = 12, gif = 13, tga = 14, pnm = 15, radiance = 16, exrImport = 17;
    const uint32_t exr = 18, webp = 19;
    const ILPNGOptions png{21, 22, 23};
    const ILJPEGOptions jpeg{31, 32, 33, 34, 35};
    const ILJPEG2000Options j2k{41, 42, 43, 44, 45, 46};
    const ILJPEGXROptions jxr{51, 52, 53, 54};
    const ILTIFFOptions tiff{61, 62, 63, 64};
    const ILPGFOptions pgf{71, 72};
    const ILRAWImportOptions raw{81, 82, 0.83f};
    const ILPCDImportOptions pcd{91, 92};
    ASSERT_TRUE(ILSetBMPOptions(h.get(), &bmp));
    ASSERT_TRUE(ILSetPCXOptions(h.get(), &pcx));
    ASSERT_TRUE(ILSetGIFOptions(h.get(), &gif));
    ASSERT_TRUE(ILSetTGAOptions(h.get(), &tga));
    ASSERT_TRUE(ILSetPNMOptions(h.get(), &pnm));
    ASSERT_TRUE(ILSetRadianceOptions(h.get(), &radiance));
    ASSERT_TRUE(ILSetEXRImportOptions(h.get(), &exrImport));
    ASSERT_TRUE(ILSetEXROptions(h.get(), &exr));
    ASSERT_TRUE(ILSetWebPOptions(h.get(), &webp));
    ASSERT_TRUE(ILSetPNGOptions(h.get(), &png));
    ASSERT_TRUE(ILSetJPEGOptions(h.get(), &jpeg));
    ASSERT_TRUE(ILSetJPEG2000Options(h.get(), &j2k));
    ASSERT_TRUE(ILSetJPEGXROptions(h.get(), &jxr));
    ASSERT_TRUE(ILSetTIFFOptions(h.get(), &tiff));
    ASSERT_TRUE(ILSetPGFOptions(h.get(), &pgf));
    ASSERT_TRUE(ILSetRAWImportOptions(h.get(), &raw));
    ASSERT_TRUE(ILSetPCDImportOptions(h.get(), &pcd));
    // Setters store without range checks.
    ASSERT_TRUE(ILSetAlphaMode(h.get(), 7));
    ASSERT_TRUE(ILSetThumbnailSize(h.get(), 160));
    ASSERT_TRUE(ILSetLoadModeRGB8(h.get()));
    ASSERT_TRUE(ILSkipMetadata(h.get()));
    const ILColor grey{.r = 0.5f, .g = 0.5f, .b = 0.5f, .a = 0.25f, .index = 3};
    ASSERT_TRUE(ILSetBackgroundColor(h.get(), &grey));

    uint8_t b = 0;
    uint32_t u = 0;
    EXPECT_TRUE(ILGetBMPOptions(h.get(), &b) && b == bmp);
    EXPECT_TRUE(ILGetPCXOptions(h.get(), &b) && b == pcx);
    EXPECT_TRUE(ILGetGIFOptions(h.get(), &b) && b == gif);
    EXPECT_TRUE(ILGetTGAOptions(h.get(), &b) && b == tga);
    EXPECT_TRUE(ILGetPNMOptions(h.get(), &b) && b == pnm);
    EXPECT_TRUE(ILGetRadianceOptions(h.get(), &b) && b == radiance);
    EXPECT_TRUE(ILGetEXRImportOptions(h.get(), &b) && b == exrImport);
    EXPECT_TRUE(ILGetAlphaMode(h.get(), &b) && b == 7);
    EXPECT_TRUE(ILGetEXROptions(h.get(), &u) && u == exr);
    EXPECT_TRUE(ILGetWebPOptions(h.get(), &u) && u == webp);
    auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    ILPNGOptions png2{};
    ILJPEGOptions jpeg2{};
    ILJPEG2000Options j2k2{};
    ILJPEGXROptions jxr2{};
    ILTIFFOptions tiff2{};
    ILPGFOptions pgf2{};
    ILRAWImportOptions raw2{};
    ILPCDImportOptions pcd2{};
    EXPECT_TRUE(ILGetPNGOptions(h.get(), &png2) && png2.compression == 21 &&
                png2.interlaced == 22 && png2.gamma == 23);
    EXPECT_TRUE(ILGetJPEGOptions(h.get(), &jpeg2) && same(jpeg2, jpeg));
    EXPECT_TRUE(ILGetJPEG2000Options(h.get(), &j2k2) && j2k2.rate == 41 && j2k2.layers == 42 &&
                j2k2.colorFormat == 43 && j2k2.reversible == 44 && j2k2.lossless == 45 &&
                j2k2.subsampling == 46);
    EXPECT_TRUE(ILGetJPEGXROptions(h.get(), &jxr2) && jxr2.quality == 51 && jxr2.overlap == 52 &&
                jxr2.subsampling == 53 && jxr2.lossless == 54);
    EXPECT_TRUE(ILGetTIFFOptions(h.get(), &tiff2) && tiff2.byteOrder == 61 &&
                tiff2.compression == 62 && tiff2.predictor == 63 && tiff2.embedProfile == 64);
    EXPECT_TRUE(ILGetPGFOptions(h.get(), &pgf2) && pgf2.level == 71 && pgf2.lossless == 72);
    EXPECT_TRUE(ILGetRAWImportOptions(h.get(), &raw2) && same(raw2, raw));
    EXPECT_TRUE(ILGetPCDImportOptions(h.get(), &pcd2) && same(pcd2, pcd));
    EXPECT_EQ(h->thumbnailEdge, 160u);
    EXPECT_EQ(h->loadMode, 1);
    EXPECT_EQ(h->readMetadata, 0);
    EXPECT_EQ(h->background.a, 0.25f);
    EXPECT_EQ(h->background.index, 3);
}

TEST(Handle, BadHandlesAreRefusedAndLeftAlone) {
    ILHandle foreign{};
    foreign.magic = 207;
    foreign.webpQuality = 55;
    uint32_t u = 1;
    uint8_t b = 1;
    for (ILHandle* h : {static_cast<ILHandle*>(nullptr), &foreign}) {
        EXPECT_FALSE(ILCheckHandle(h));
        EXPECT_FALSE(ILGetWebPOptions(h, &u));
        EXPECT_FALSE(ILSetWebPOptions(h, &u));
        EXPECT_FALSE(ILSetAlphaMode(h, 2));
        EXPECT_FALSE(ILGetAlphaMode(h, &b));
        EXPECT_FALSE(ILSkipMetadata(h));
        EXPECT_EQ(ILSetErrorProc(h, nullptr), nullptr);
        EXPECT_EQ(ILSetProgressProc(h, nullptr, nullptr), nullptr);
        EXPECT_FALSE(ILDestroyHandle(h));
    }
    EXPECT_EQ(foreign.webpQuality, 55u);
    EXPECT_EQ(foreign.magic, 207u);
}

bool KeepGoing(uint32_t, uint32_t, void*) {
    return true;
}
bool Cancel(uint32_t, uint32_t, void*) {
    return false;
}

TEST(Handle, ProcSettersReturnThePreviousProc) {
    HandlePtr h = NewHandle();
    EXPECT_EQ(ILSetErrorProc(h.get(), nullptr), &ILDefaultErrorHandler);
    EXPECT_EQ(ILSetErrorProc(h.get(), nullptr), nullptr);
    EXPECT_EQ(ILSetWarningProc(h.get(), nullptr), &ILDefaultWarningHandler);

    int user = 0;
    EXPECT_EQ(ILSetProgressProc(h.get(), Cancel, &user), nullptr);
    EXPECT_EQ(h->progressUser, &user);
    EXPECT_FALSE(ILProgress(h.get(), 0, 10));
    EXPECT_EQ(ILSetProgressProc(h.get(), KeepGoing, nullptr), &Cancel);
    EXPECT_EQ(ILSetProgressProc(h.get(), nullptr, nullptr), &KeepGoing);
    EXPECT_TRUE(ILProgress(h.get(), 0, 10));
}

TEST(Handle, ShouldWriteTextsNeedsTextsAndTheFlag) {
    HandlePtr h = NewHandle();
    ILInfo info;
    EXPECT_FALSE(ILShouldWriteTexts(h.get(), nullptr));
    EXPECT_FALSE(ILShouldWriteTexts(h.get(), &info));
    ILInfoAddText(&info.texts, IL_TEXT_TITLE, 5, "Title");
    EXPECT_TRUE(ILShouldWriteTexts(h.get(), &info));
    h->writeMetadata = 2; // only bit 0 counts
    EXPECT_FALSE(ILShouldWriteTexts(h.get(), &info));
    EXPECT_FALSE(ILShouldWriteTexts(nullptr, &info));
}

bool ProfilesPresent() {
    return ILProfileSRGB && ILProfileSGray && ILProfileScRGB && ILProfileScGray;
}

bool ProfilesAbsent() {
    return !ILProfileSRGB && !ILProfileSGray && !ILProfileScRGB && !ILProfileScGray;
}

// A handle alone sets nothing up: the first colour-managed use builds the
// profiles and the plug-in, once for every handle alive, and the last handle
// frees them; the next use builds them again.
TEST(Handle, ColourManagementComesWithFirstUseAndGoesWithTheLastHandle) {
    if (!ProfilesAbsent()) GTEST_SKIP() << "another handle of this process is alive";

    HandlePtr first = NewHandle();
    EXPECT_TRUE(ProfilesAbsent());
    ASSERT_TRUE(ILUseColorManagement());
    ASSERT_TRUE(ProfilesPresent());
    // The built-in profiles really are what their names say.
    EXPECT_EQ(cmsGetColorSpace(ILProfileSRGB), cmsSigRgbData);
    EXPECT_EQ(cmsGetColorSpace(ILProfileSGray), cmsSigGrayData);
    EXPECT_EQ(cmsGetColorSpace(ILProfileScRGB), cmsSigRgbData);
    EXPECT_EQ(cmsGetColorSpace(ILProfileScGray), cmsSigGrayData);
    const cmsHPROFILE srgb = ILProfileSRGB;

    HandlePtr second = NewHandle();
    EXPECT_TRUE(ILUseColorManagement());
    EXPECT_EQ(ILProfileSRGB, srgb);
    first.reset();
    EXPECT_EQ(ILProfileSRGB, srgb);
    second.reset();
    EXPECT_TRUE(ProfilesAbsent());

    // A profile query is a use too.
    HandlePtr again = NewHandle();
    uint8_t* bytes = nullptr;
    EXPECT_GT(ILSaveBuiltinProfile(IL_BGR8, &bytes), 0u);
    std::free(bytes);
    EXPECT_TRUE(ProfilesPresent());
    again.reset();
    EXPECT_TRUE(ProfilesAbsent());
}

const char kPacket[] =
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'>"
    "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
    "<rdf:Description rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/' "
    "xmp:Label='ok'/></rdf:RDF></x:xmpmeta>";

// The XMP toolkit is the library's to set up: a client that only creates a
// handle parses packets, also after the last handle went and a new one came.
TEST(Handle, XmpToolkitLivesWithTheHandles) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        HandlePtr h = NewHandle();
        ILInfo info;
        ASSERT_TRUE(ILParseXMP(h.get(), &info.xmp, sizeof kPacket - 1, kPacket));
        std::string dump;
        ILFormatXMP(info.xmp, &dump);
        EXPECT_EQ(dump, "xmp:Label: ok\r\n");
        ILClearInfo(&info);
    }
}

// Worker threads create and destroy handles while others live and reach the
// set-ups made on first need at the same time: every thread must find them
// whole for as long as its own handle lives.
TEST(Handle, ConcurrentLifeCyclesKeepSharedStateWhole) {
    std::atomic<int> broken = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                HandlePtr h = NewHandle();
                if (!h || !ILUseColorManagement() || !ProfilesPresent()) ++broken;
                ILInfo info;
                if (!ILParseXMP(h.get(), &info.xmp, sizeof kPacket - 1, kPacket)) ++broken;
                ILClearInfo(&info);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(broken.load(), 0);
}

} // namespace
