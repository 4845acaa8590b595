// The preferences record: defaults, acceptance of a file's bytes, the clamp
// that keeps a damaged file from steering the viewer, and the option push.
#include "viewer/logic/preferences.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "imglib/format.h"

namespace {

constexpr ILColor MakeColor(float r, float g, float b) {
    return ILColor{r, g, b, 1.0f, -1};
}

constexpr ILColor kDarkBlue = MakeColor(0.0f, 0.0f, 0.5f);
constexpr ILColor kWhite = MakeColor(1.0f, 1.0f, 1.0f);
constexpr ILColor kYellow = MakeColor(1.0f, 1.0f, 0.0f);

// Window coordinates beyond 16 bits mean nothing to the window manager; the
// main window's size also gets the frame added after loading, which must not
// overflow.
constexpr int32_t kCoordinateLimit = 32767;

void SetText(char16_t* text, size_t units, std::u16string_view value) {
    const size_t n = std::min(value.size(), units - 1);
    std::copy_n(value.data(), n, text);
    text[n] = 0;
}

// Booleans are bytes in the file: anything but 0 is on.
void ClampFlag(uint8_t& flag) {
    flag = flag != 0;
}

template <typename T>
void ClampRange(T& value, T low, T high) {
    value = std::clamp(value, low, high);
}

// An enumeration outside [low, high] takes its default.
template <typename T>
void ClampChoice(T& value, T low, T high, T fallback) {
    if (value < low || value > high) value = fallback;
}

void ClampPosition(int32_t& value) {
    ClampRange(value, -kCoordinateLimit, kCoordinateLimit);
}
void ClampSize(int32_t& value) {
    ClampRange(value, 0, kCoordinateLimit);
}

// A colour component outside 0..1 (or NaN) is brought back; a colour that is
// not finite at all falls back to the field's default.
void ClampColor(ILColor& color, const ILColor& fallback) {
    for (float* c : {&color.r, &color.g, &color.b, &color.a}) {
        if (!std::isfinite(*c)) {
            color = fallback;
            return;
        }
        *c = std::clamp(*c, 0.0f, 1.0f);
    }
    if (color.index < -1) color.index = -1;
}

void ClampFloats(float* values, size_t n) {
    for (size_t i = 0; i < n; ++i)
        values[i] = std::isfinite(values[i]) ? std::clamp(values[i], 0.0f, 1.0f) : 0.0f;
}

void ClampExportSettings(int32_t& columns, int32_t& frame, int32_t& spacing, ILColor& background,
                         ILColor& frameColor, ILColor& textColor,
                         std::initializer_list<uint8_t*> flags) {
    ClampRange(columns, 1, 100);
    ClampRange(frame, 0, 10);
    ClampRange(spacing, 1, 100);
    ClampColor(background, kDarkBlue);
    ClampColor(frameColor, kWhite);
    ClampColor(textColor, kYellow);
    for (uint8_t* flag : flags)
        ClampFlag(*flag);
}

bool IsThumbnailSize(int32_t size) {
    for (int32_t s : {0, 64, 96, 128, 160, 192})
        if (size == s) return true;
    return false;
}

bool IsSortKey(int32_t key) {
    // Shuffle (40766) has no descending form.
    return (key >= 40760 && key <= 40766) || (key <= -40760 && key >= -40765);
}

int32_t CountFormats(bool save) {
    const uint32_t rows = ILGetFormatCount();
    int32_t n = 0;
    while (ILGetNthFormatRow(static_cast<uint32_t>(n), save) < rows)
        ++n;
    return n;
}

} // namespace

void ClampWriteText(WriteTextSettings& w) {
    FontRecord& font = w.font;
    font.faceName[sizeof font.faceName - 1] = 0;
    ClampRange(font.weight, 0, 1000);
    // Far beyond any size the font dialog offers, small enough for any
    // rasteriser.
    ClampRange(font.height, -1000, 1000);
    ClampColor(w.textColor, MakeColor(0.0f, 0.0f, 0.0f));
    w.alignment &= 3 | kWriteTextRightToLeft;
    if ((w.alignment & 3) == 3) w.alignment &= ~3;
    ClampRange(w.offsetX, -99999, 99999);
    ClampRange(w.offsetY, -99999, 99999);
    ClampChoice<uint8_t>(w.anchor, 0, 8, 0);
    ClampChoice<uint8_t>(w.orientation, 0, 3, 0);
    w.effect = std::isfinite(w.effect) ? std::clamp(w.effect, -1.0f, 1.0f) : 0.0f;
    ClampRange<uint8_t>(w.blur, 0, 9);
    ClampRange<int8_t>(w.effectX, -9, 9);
    ClampRange<int8_t>(w.effectY, -9, 9);
}

int32_t AllFormatsFilterIndex() {
    return CountFormats(false) + 1;
}

void SetDefaultPreferences(Preferences& p, const ILHandle* handle, int32_t screenWidth) {
    std::memset(static_cast<void*>(&p), 0, sizeof p);
    p.recordVersion = kPreferencesVersion;
    p.mainWindowX = kDefaultWindowPosition;
    p.mainWindowY = kDefaultWindowPosition;
    p.mainWindowWidth = 512;
    p.mainWindowHeight = 384;
    p.backgroundColor = MakeColor(0.5f, 0.5f, 0.5f);
    p.stretchMode = 4;
    p.windowMode = 1;
    p.warningMessages = 1;
    p.askIfChanged = 1;
    p.dialogTips = 1;
    p.multipageDialog = 1;
    p.interfaceStyle = 1;
    p.useAlpha = 1;
    p.useBackground = 1;
    p.dither = 1;
    p.monochromeDither = 2;
    p.highQualityResizing = 1;
    p.upsampleSmallImages = 1;
    p.resampleFilter = 4;
    p.resampleKeepAspect = 1;
    // The List and Info windows are placed and sized from their content
    // and the screen when they first open; they store where they were.
    p.infoWindowX = kDefaultWindowPosition;
    p.infoWindowY = kDefaultWindowPosition;
    p.listWindowX = kDefaultWindowPosition;
    p.listWindowY = kDefaultWindowPosition;
    p.thumbnailSize = 64;
    p.SortKey = 40760;
    p.histogramWindowX = 368;
    p.histogramScale = 1000;
    p.actionsWindowX = screenWidth - 320;
    p.actionsWindowY = 20;

    p.sheetColumns = 8;
    p.sheetFrameWidth = 1;
    p.sheetSpacing = 24;
    p.sheetBackground = kDarkBlue;
    p.sheetFrameColor = kWhite;
    p.sheetTextColor = kYellow;
    p.sheetShowName = p.sheetShowSize = p.sheetShowImageSize = 1;
    p.galleryColumns = 8;
    p.galleryFrameWidth = 1;
    p.gallerySpacing = 24;
    p.galleryBackground = kDarkBlue;
    p.galleryFrameColor = kWhite;
    p.galleryTextColor = kYellow;
    p.galleryShowName = p.galleryShowSize = p.galleryShowImageSize = 1;

    p.cropPreviewMask = 1;
    SetFillColor(p, {0.0f, 0.0f, 0.0f, 1.0f});
    SetFillGray(p, {0.0f, 1.0f});
    SetText(p.fontSampleText, kFontSampleTextUnits, u"Hello Taxi!");

    WriteTextSettings& w = p.writeTextSettings;
    w.font.height = 16;
    w.font.weight = 900;
    std::strcpy(w.font.faceName, "Arial");
    w.textColor = MakeColor(0.0f, 0.0f, 0.0f);

    p.openFilterIndex = AllFormatsFilterIndex();
    std::fill(p.reserved0 + 2, p.reserved0 + 7, -1);
    p.saveFilterIndex = 1;
    std::fill(p.reserved1 + 2, p.reserved1 + 7, -1);
    std::fill(p.reserved2 + 3, p.reserved2 + 8, -1);

    ILGetBMPOptions(handle, &p.bmpOptions);
    ILGetPCXOptions(handle, &p.pcxOptions);
    ILGetPNGOptions(handle, &p.pngOptions);
    ILGetGIFOptions(handle, &p.gifOptions);
    ILGetJPEGOptions(handle, &p.jpegOptions);
    ILGetJPEG2000Options(handle, &p.jpeg2000Options);
    ILGetJPEGXROptions(handle, &p.jpegXrOptions);
    ILGetTIFFOptions(handle, &p.tiffOptions);
    p.tiffHalfFloatCompression = static_cast<int32_t>(p.tiffOptions.compression);
    p.tiffOtherCompression = static_cast<int32_t>(p.tiffOptions.compression);
    ILGetTGAOptions(handle, &p.tgaOptions);
    ILGetPNMOptions(handle, &p.pnmOptions);
    ILGetPGFOptions(handle, &p.pgfOptions);
    ILGetWebPOptions(handle, &p.webpOptions);
    ILGetRadianceOptions(handle, &p.radianceOptions);
    ILGetEXROptions(handle, &p.exrOptions);
    ILGetEXRImportOptions(handle, &p.exrImportOptions);
    ILGetReservedOption(handle, &p.reservedOption);
    ILGetRAWImportOptions(handle, &p.rawImportOptions);
    ILGetPCDImportOptions(handle, &p.pcdImportOptions);
}

bool ReadPreferences(Preferences& p, std::span<const uint8_t> file) {
    if (file.size() != kPreferencesFileSize) return false;
    std::memcpy(static_cast<void*>(&p), file.data(), kPreferencesFileSize);
    if (p.recordVersion != kPreferencesVersion) return false;
    ClampPreferences(p);
    return true;
}

void ClampPreferences(Preferences& p) {
    if (p.mainWindowX != kDefaultWindowPosition) ClampPosition(p.mainWindowX);
    if (p.mainWindowY != kDefaultWindowPosition) ClampPosition(p.mainWindowY);
    ClampSize(p.mainWindowWidth);
    ClampSize(p.mainWindowHeight);
    ClampColor(p.backgroundColor, MakeColor(0.5f, 0.5f, 0.5f));

    if (p.stretchMode != 3) p.stretchMode = 4;
    ClampChoice<uint8_t>(p.windowMode, 0, 2, 1);
    // Any style but dark is light.
    if (p.interfaceStyle != 1) p.interfaceStyle = 0;
    ClampChoice<uint8_t>(p.resolutionUnit, 0, 1, 0);
    ClampChoice<uint8_t>(p.dither, 0, 2, 1);
    if ((p.monochromeDither & ~(3 | kMonochromeDitherAsk)) != 0) p.monochromeDither = 2;
    ClampChoice<uint8_t>(p.transitionEffect, 0, 5, 0);
    ClampChoice<uint8_t>(p.resampleFilter, 0, 6, 4);
    for (uint8_t* flag :
         {&p.wheelZoom, &p.autoFocus, &p.warningMessages, &p.askIfChanged, &p.dialogTips,
          &p.multipageDialog, &p.useAlpha, &p.useBackground, &p.highQualityResizing,
          &p.upsampleSmallImages, &p.resampleKeepAspect, &p.infoWindowShown, &p.listWindowShown,
          &p.histogramWindowShown, &p.actionsWindowShown})
        ClampFlag(*flag);

    ClampChoice(p.infoWindowPage, 0, 5, 0);
    for (int32_t* position :
         {&p.infoWindowX, &p.infoWindowY, &p.listWindowX, &p.listWindowY, &p.histogramWindowX,
          &p.histogramWindowY, &p.actionsWindowX, &p.actionsWindowY})
        if (*position != kDefaultWindowPosition) ClampPosition(*position);
    ClampSize(p.listWindowWidth);
    ClampSize(p.listWindowHeight);
    if (!IsThumbnailSize(p.thumbnailSize)) p.thumbnailSize = 64;
    if (!IsSortKey(p.SortKey)) p.SortKey = 40760;
    ClampRange(p.histogramScale, 1000, 5000);

    ClampExportSettings(p.sheetColumns, p.sheetFrameWidth, p.sheetSpacing, p.sheetBackground,
                        p.sheetFrameColor, p.sheetTextColor,
                        {&p.sheetShowName, &p.sheetShowSize, &p.sheetShowImageSize,
                         &p.sheetShowCreated, &p.sheetShowModified});
    ClampExportSettings(p.galleryColumns, p.galleryFrameWidth, p.gallerySpacing,
                        p.galleryBackground, p.galleryFrameColor, p.galleryTextColor,
                        {&p.galleryShowName, &p.galleryShowSize, &p.galleryShowImageSize,
                         &p.galleryShowCreated, &p.galleryShowModified});

    ClampChoice<uint8_t>(p.cropPreviewMask, 1, 3, 1);
    float color[4];
    GetFillColor(p, color);
    ClampFloats(color, 4);
    SetFillColor(p, color);
    float gray[2];
    GetFillGray(p, gray);
    ClampFloats(gray, 2);
    SetFillGray(p, gray);

    p.fontSampleText[kFontSampleTextUnits - 1] = 0;
    ClampChoice<uint8_t>(p.fontFamilyFilter, 0, 5, 0);
    ClampWriteText(p.writeTextSettings);

    ClampChoice(p.openFilterIndex, 1, AllFormatsFilterIndex(), AllFormatsFilterIndex());
    ClampChoice(p.saveFilterIndex, 1, std::max(CountFormats(true), 1), 1);

    p.actionListPath[kPreferencesPathUnits - 1] = 0;
    p.lastImagePath[kPreferencesPathUnits - 1] = 0;
}

void PushPreferenceOptions(const Preferences& p, ILHandle* handle) {
    ILSetBMPOptions(handle, &p.bmpOptions);
    ILSetPCXOptions(handle, &p.pcxOptions);
    ILSetPNGOptions(handle, &p.pngOptions);
    ILSetGIFOptions(handle, &p.gifOptions);
    ILSetJPEGOptions(handle, &p.jpegOptions);
    ILSetJPEG2000Options(handle, &p.jpeg2000Options);
    ILSetJPEGXROptions(handle, &p.jpegXrOptions);
    ILSetTIFFOptions(handle, &p.tiffOptions);
    ILSetTGAOptions(handle, &p.tgaOptions);
    ILSetPNMOptions(handle, &p.pnmOptions);
    ILSetPGFOptions(handle, &p.pgfOptions);
    ILSetWebPOptions(handle, &p.webpOptions);
    ILSetRadianceOptions(handle, &p.radianceOptions);
    ILSetEXROptions(handle, &p.exrOptions);
    ILSetEXRImportOptions(handle, &p.exrImportOptions);
    ILSetRAWImportOptions(handle, &p.rawImportOptions);
    ILSetPCDImportOptions(handle, &p.pcdImportOptions);
}

std::span<const uint8_t, kPreferencesFileSize> PreferencesBytes(const Preferences& p) {
    return std::span<const uint8_t, kPreferencesFileSize>(reinterpret_cast<const uint8_t*>(&p),
                                                          kPreferencesFileSize);
}

void GetFillColor(const Preferences& p, float (&bgra)[4]) {
    std::memcpy(bgra, p.fillColor, sizeof bgra);
}
void SetFillColor(Preferences& p, const float (&bgra)[4]) {
    std::memcpy(p.fillColor, bgra, sizeof bgra);
}
void GetFillGray(const Preferences& p, float (&grayAlpha)[2]) {
    std::memcpy(grayAlpha, p.fillGray, sizeof grayAlpha);
}
void SetFillGray(Preferences& p, const float (&grayAlpha)[2]) {
    std::memcpy(p.fillGray, grayAlpha, sizeof grayAlpha);
}
