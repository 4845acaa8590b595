#include "viewer/logic/preferences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "imglib/format.h"

namespace {

struct HandleDeleter {
    void operator()(ILHandle* h) const { ILDestroyHandle(h); }
};
using HandlePtr = std::unique_ptr<ILHandle, HandleDeleter>;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

HandlePtr MakeHandle() {
    return HandlePtr(ILCreateHandle("test"));
}

template <typename T>
T ReadAt(std::span<const uint8_t> bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

template <typename T>
void WriteAt(std::vector<uint8_t>& bytes, size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

std::vector<uint8_t> DefaultFile(const ILHandle* h) {
    Preferences p;
    SetDefaultPreferences(p, h, 1280);
    const auto bytes = PreferencesBytes(p);
    return {bytes.begin(), bytes.end()};
}

// The file is read by other tools and by later versions byte for byte: check
// the defaults where they land in the file, not through the record's names.
TEST(Preferences, DefaultsLandAtTheirFileOffsets) {
    auto h = MakeHandle();
    ASSERT_TRUE(h);
    const std::vector<uint8_t> file = DefaultFile(h.get());
    ASSERT_EQ(file.size(), 2688u);

    struct Int32Field {
        const char* name;
        size_t offset;
        int32_t want;
    };
    const int32_t allFormats = static_cast<int32_t>([] {
        uint32_t n = 0;
        while (ILGetNthFormatRow(n, false) < ILGetFormatCount())
            ++n;
        return n;
    }() + 1);
    const Int32Field ints[] = {
        {"version", 0, 10102},
        {"main x", 4, INT32_MIN},
        {"main y", 8, INT32_MIN},
        {"client width", 12, 512},
        {"client height", 16, 384},
        {"info x", 64, INT32_MIN},
        {"info y", 68, INT32_MIN},
        {"list x", 76, INT32_MIN},
        {"list y", 80, INT32_MIN},
        {"list width", 84, 0},
        {"list height", 88, 0},
        {"thumbnail", 92, 64},
        {"sort key", 96, 40760},
        {"histogram x", 104, 368},
        {"histogram scale", 112, 1000},
        {"actions x", 120, 1280 - 320},
        {"actions y", 124, 20},
        {"sheet columns", 128, 8},
        {"sheet spacing", 136, 24},
        {"gallery columns", 208, 8},
        {"font height", 440, 16},
        {"font weight", 456, 900},
        {"open filter", 544, allFormats},
        {"reserved 548", 548, 0},
        {"reserved 556", 556, -1},
        {"reserved 572", 572, -1},
        {"save filter", 576, 1},
        {"reserved 584", 584, 0},
        {"reserved 588", 588, -1},
        {"reserved 616", 616, 0},
        {"reserved 620", 620, -1},
        {"reserved 636", 636, -1},
        {"tiff half/float", 736, 2},
        {"tiff other", 740, 2},
    };
    for (const auto& f : ints) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(ReadAt<int32_t>(file, f.offset), f.want);
    }

    struct ByteField {
        size_t offset;
        uint8_t want;
    };
    // 40-59: stretch, window mode, wheel, focus, warnings, ask, tips, multipage,
    // style, unit, alpha, background, dither, mono dither, hq, upsample,
    // effect, filter, aspect, info shown.
    const uint8_t flags[20] = {4, 1, 0, 0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 2, 1, 1, 0, 4, 1, 0};
    EXPECT_EQ(0, std::memcmp(file.data() + 40, flags, sizeof flags));
    const ByteField bytes[] = {{200, 1}, {202, 1}, {203, 0}, {204, 0},
                               {284, 0}, {288, 1}, {436, 0}, {535, 0}};
    for (const auto& b : bytes) {
        SCOPED_TRACE(b.offset);
        EXPECT_EQ(file[b.offset], b.want);
    }

    // Colours as stored: red, green, blue, alpha floats and the index.
    EXPECT_EQ(ReadAt<float>(file, 20), 0.5f);
    EXPECT_EQ(ReadAt<int32_t>(file, 36), -1);
    EXPECT_EQ(ReadAt<float>(file, 148), 0.5f); // sheet background blue
    EXPECT_EQ(ReadAt<float>(file, 188), 0.0f); // sheet text blue (yellow)
    EXPECT_EQ(ReadAt<float>(file, 180), 1.0f);
    EXPECT_EQ(ReadAt<float>(file, 512), 1.0f); // text colour alpha
    // The unaligned fill colours.
    EXPECT_EQ(ReadAt<float>(file, 289 + 12), 1.0f);
    EXPECT_EQ(ReadAt<float>(file, 289), 0.0f);
    EXPECT_EQ(ReadAt<float>(file, 305 + 4), 1.0f);
    EXPECT_EQ(0, std::memcmp(file.data() + 440 + 28, "Arial", 6));

    const char16_t sample[] = u"Hello Taxi!";
    EXPECT_EQ(0, std::memcmp(file.data() + 314, sample, sizeof sample));
    EXPECT_EQ(ReadAt<char16_t>(file, 768), 0);
    EXPECT_EQ(ReadAt<char16_t>(file, 1728), 0);

    // Save options are the handle's, at their offsets.
    ILJPEGOptions jpeg;
    ASSERT_TRUE(ILGetJPEGOptions(h.get(), &jpeg));
    EXPECT_EQ(0, std::memcmp(file.data() + 660, &jpeg, sizeof jpeg));
    uint32_t webp = 0;
    ASSERT_TRUE(ILGetWebPOptions(h.get(), &webp));
    EXPECT_EQ(ReadAt<uint32_t>(file, 732), webp);
}

TEST(Preferences, AcceptsOnlyWholeFilesOfThisVersion) {
    auto h = MakeHandle();
    const std::vector<uint8_t> good = DefaultFile(h.get());
    std::vector<uint8_t> oldVersion = good;
    WriteAt<int32_t>(oldVersion, 0, 10101);
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    const std::vector<uint8_t> shorter(good.begin(), good.end() - 1);

    struct Case {
        const char* name;
        const std::vector<uint8_t>* file;
        bool accepted;
    };
    const std::vector<uint8_t> empty;
    const Case cases[] = {{"current", &good, true},
                          {"version 10101", &oldVersion, false},
                          {"2689 bytes", &longer, false},
                          {"2687 bytes", &shorter, false},
                          {"empty", &empty, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Preferences p;
        EXPECT_EQ(ReadPreferences(p, *c.file), c.accepted);
    }
}

// Everything in range, reserved fields and padding included, is written back
// exactly as it was read.
TEST(Preferences, AcceptedFileRoundTripsByteForByte) {
    auto h = MakeHandle();
    std::vector<uint8_t> file = DefaultFile(h.get());
    // Values a run can leave: a toggled option, moved windows, a path,
    // padding and reserved bytes another version may have used.
    file[42] = 1;
    file[48] = 0;
    WriteAt<int32_t>(file, 4, -20);
    WriteAt<int32_t>(file, 96, -40763);
    WriteAt<float>(file, 289, 0.25f);
    WriteAt<float>(file, 305, 0.75f);
    WriteAt<int32_t>(file, 520, 2 | 0x20000);
    file[534] = 0xAB;
    file[73] = 0x5A;
    WriteAt<int32_t>(file, 560, 12345);
    WriteAt<uint32_t>(file, 720, 0xDEADBEEF);
    const char16_t path[] = u"C:\\images\\a.png";
    std::memcpy(file.data() + 1728, path, sizeof path);

    Preferences p;
    ASSERT_TRUE(ReadPreferences(p, file));
    const auto written = PreferencesBytes(p);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), file.begin()));
    float fill[4];
    GetFillColor(p, fill);
    EXPECT_EQ(fill[0], 0.25f);
}

// A damaged or hand-edited file must not steer the viewer outside what its
// own controls can set.
TEST(Preferences, ClampsDamagedValues) {
    auto h = MakeHandle();
    const std::vector<uint8_t> good = DefaultFile(h.get());

    struct Case {
        const char* name;
        void (*damage)(std::vector<uint8_t>&);
        void (*check)(const Preferences&);
    };
    const Case cases[] = {
        {"huge client size", [](auto& f) { WriteAt<int32_t>(f, 12, INT32_MAX); },
         [](const Preferences& p) { EXPECT_EQ(p.mainWindowWidth, 32767); }},
        {"negative client size", [](auto& f) { WriteAt<int32_t>(f, 16, -5); },
         [](const Preferences& p) { EXPECT_EQ(p.mainWindowHeight, 0); }},
        {"window far away", [](auto& f) { WriteAt<int32_t>(f, 8, -1000000); },
         [](const Preferences& p) { EXPECT_EQ(p.mainWindowY, -32767); }},
        {"NaN background", [](auto& f) { WriteAt<float>(f, 24, nan); },
         [](const Preferences& p) { EXPECT_EQ(p.backgroundColor.g, 0.5f); }},
        {"background index", [](auto& f) { WriteAt<int32_t>(f, 36, -7); },
         [](const Preferences& p) { EXPECT_EQ(p.backgroundColor.index, -1); }},
        {"stretch mode", [](auto& f) { f[40] = 9; },
         [](const Preferences& p) { EXPECT_EQ(p.stretchMode, 4); }},
        {"window mode", [](auto& f) { f[41] = 3; },
         [](const Preferences& p) { EXPECT_EQ(p.windowMode, 1); }},
        {"flag byte 2", [](auto& f) { f[44] = 2; },
         [](const Preferences& p) { EXPECT_EQ(p.warningMessages, 1); }},
        {"style 2 is light", [](auto& f) { f[48] = 2; },
         [](const Preferences& p) { EXPECT_EQ(p.interfaceStyle, 0); }},
        {"mono dither ask kept", [](auto& f) { f[53] = 0x13; },
         [](const Preferences& p) { EXPECT_EQ(p.monochromeDither, 0x13); }},
        {"mono dither junk", [](auto& f) { f[53] = 0x24; },
         [](const Preferences& p) { EXPECT_EQ(p.monochromeDither, 2); }},
        {"resample filter", [](auto& f) { f[57] = 7; },
         [](const Preferences& p) { EXPECT_EQ(p.resampleFilter, 4); }},
        {"info page", [](auto& f) { WriteAt<int32_t>(f, 60, 6); },
         [](const Preferences& p) { EXPECT_EQ(p.infoWindowPage, 0); }},
        {"thumbnail size", [](auto& f) { WriteAt<int32_t>(f, 92, 100); },
         [](const Preferences& p) { EXPECT_EQ(p.thumbnailSize, 64); }},
        {"descending shuffle", [](auto& f) { WriteAt<int32_t>(f, 96, -40766); },
         [](const Preferences& p) { EXPECT_EQ(p.SortKey, 40760); }},
        {"histogram scale", [](auto& f) { WriteAt<int32_t>(f, 112, 99999); },
         [](const Preferences& p) { EXPECT_EQ(p.histogramScale, 5000); }},
        {"sheet columns 0", [](auto& f) { WriteAt<int32_t>(f, 128, 0); },
         [](const Preferences& p) { EXPECT_EQ(p.sheetColumns, 1); }},
        {"gallery frame", [](auto& f) { WriteAt<int32_t>(f, 212, 500); },
         [](const Preferences& p) { EXPECT_EQ(p.galleryFrameWidth, 10); }},
        {"gallery colour above 1", [](auto& f) { WriteAt<float>(f, 220, 7.0f); },
         [](const Preferences& p) { EXPECT_EQ(p.galleryBackground.r, 1.0f); }},
        {"crop mask", [](auto& f) { f[288] = 0; },
         [](const Preferences& p) { EXPECT_EQ(p.cropPreviewMask, 1); }},
        {"NaN fill colour", [](auto& f) { WriteAt<float>(f, 289 + 4, nan); },
         [](const Preferences& p) {
             float c[4];
             GetFillColor(p, c);
             EXPECT_EQ(c[1], 0.0f);
             EXPECT_EQ(c[3], 1.0f);
         }},
        {"unterminated sample text",
         [](auto& f) {
             for (size_t i = 0; i < 61; ++i)
                 WriteAt<char16_t>(f, 314 + 2 * i, u'x');
         },
         [](const Preferences& p) {
             EXPECT_EQ(p.fontSampleText[59], u'x');
             EXPECT_EQ(p.fontSampleText[60], 0);
         }},
        {"unterminated face name", [](auto& f) { std::memset(f.data() + 468, 'A', 32); },
         [](const Preferences& p) {
             EXPECT_EQ(std::strlen(p.writeTextSettings.font.faceName), 31u);
         }},
        {"text alignment 3", [](auto& f) { WriteAt<int32_t>(f, 520, 3 | 0x20000 | 0x100); },
         [](const Preferences& p) { EXPECT_EQ(p.writeTextSettings.alignment, 0x20000); }},
        {"anchor", [](auto& f) { f[532] = 9; },
         [](const Preferences& p) { EXPECT_EQ(p.writeTextSettings.anchor, 0); }},
        {"effect", [](auto& f) { WriteAt<float>(f, 536, -30.0f); },
         [](const Preferences& p) { EXPECT_EQ(p.writeTextSettings.effect, -1.0f); }},
        {"effect offset", [](auto& f) { f[541] = static_cast<uint8_t>(-100); },
         [](const Preferences& p) { EXPECT_EQ(p.writeTextSettings.effectX, -9); }},
        {"open filter", [](auto& f) { WriteAt<int32_t>(f, 544, 0); },
         [](const Preferences& p) { EXPECT_EQ(p.openFilterIndex, AllFormatsFilterIndex()); }},
        {"save filter", [](auto& f) { WriteAt<int32_t>(f, 576, 1000); },
         [](const Preferences& p) { EXPECT_EQ(p.saveFilterIndex, 1); }},
        {"unterminated paths",
         [](auto& f) {
             for (size_t i = 0; i < 2 * 480; ++i)
                 WriteAt<char16_t>(f, 768 + 2 * i, u'A');
         },
         [](const Preferences& p) {
             EXPECT_EQ(p.actionListPath[478], u'A');
             EXPECT_EQ(p.actionListPath[479], 0);
             EXPECT_EQ(p.lastImagePath[479], 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file = good;
        c.damage(file);
        Preferences p;
        ASSERT_TRUE(ReadPreferences(p, file));
        c.check(p);
    }
}

TEST(Preferences, PushesStoredOptionsIntoTheHandle) {
    auto source = MakeHandle();
    Preferences p;
    SetDefaultPreferences(p, source.get(), 1024);
    p.bmpOptions = 1;
    p.pngOptions.compression = 9;
    p.jpegOptions.quality = 42;
    p.jpeg2000Options.layers = 7;
    p.jpegXrOptions.overlap = 2;
    p.tiffOptions.compression = 5;
    p.pgfOptions.level = 3;
    p.webpOptions = 77;
    p.exrOptions = 5;
    p.exrImportOptions = 0;
    p.rawImportOptions.interpolation = 3;
    p.pcdImportOptions.resolution = 2;

    auto target = MakeHandle();
    PushPreferenceOptions(p, target.get());
    Preferences back;
    SetDefaultPreferences(back, target.get(), 1024);
    EXPECT_EQ(back.bmpOptions, 1);
    EXPECT_EQ(back.pngOptions.compression, 9u);
    EXPECT_EQ(back.jpegOptions.quality, 42u);
    EXPECT_EQ(back.jpeg2000Options.layers, 7u);
    EXPECT_EQ(back.jpegXrOptions.overlap, 2u);
    EXPECT_EQ(back.tiffOptions.compression, 5u);
    EXPECT_EQ(back.pgfOptions.level, 3u);
    EXPECT_EQ(back.webpOptions, 77u);
    EXPECT_EQ(back.exrOptions, 5u);
    EXPECT_EQ(back.exrImportOptions, 0);
    EXPECT_EQ(back.rawImportOptions.interpolation, 3u);
    EXPECT_EQ(back.pcdImportOptions.resolution, 2u);
}

} // namespace
