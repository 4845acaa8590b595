// The viewer's whole configuration: one record, kept in memory for the run and
// written byte for byte as the preferences file "Vx.up". The layout below is
// the file's layout (little-endian, no header); every padding byte is an
// explicit member so that what is read is written back unchanged.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "imglib/color.h"
#include "imglib/handle.h"

inline constexpr int32_t kPreferencesVersion = 10102;
inline constexpr size_t kPreferencesFileSize = 2688;
// Win32's CW_USEDEFAULT: the system places the main window. In the
// positions of the List and Info windows: not placed yet, they open beside
// the main window or at the screen's edge.
inline constexpr int32_t kDefaultWindowPosition = INT32_MIN;
// UTF-16 units of the two paths the record keeps.
inline constexpr size_t kPreferencesPathUnits = 480;
inline constexpr size_t kFontSampleTextUnits = 61; // 60 characters and a terminator

// LOGFONTA's layout, so that the record builds without <windows.h>.
struct FontRecord {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strikeOut;
    uint8_t charSet;
    uint8_t outPrecision;
    uint8_t clipPrecision;
    uint8_t quality;
    uint8_t pitchAndFamily;
    char faceName[32];
};

// The Write Text parameters of the last apply, without the text.
struct WriteTextSettings {
    FontRecord font;
    ILColor textColor;
    int32_t alignment; // bits 0-1: 0 left, 1 center, 2 right; bit 17 right-to-left
    int32_t offsetX;
    int32_t offsetY;
    uint8_t anchor;      // 0-8: row x 3 + column
    uint8_t orientation; // 0-3: quarter turns clockwise
    uint8_t extra;       // a further byte of the parameters, carried unchanged
    uint8_t padding0;
    float effect; // glow above 0, shadow below 0, -1..1
    uint8_t blur; // 0-9
    int8_t effectX;
    int8_t effectY;
    uint8_t padding1;
};

inline constexpr int32_t kWriteTextRightToLeft = 0x20000;
// Brings every field into the range its control offers (the font's height
// and weight, alignment, offsets, anchor, orientation, effect, blur and
// effect offsets); used for the preferences and for stored actions alike.
void ClampWriteText(WriteTextSettings& w);

struct Preferences {
    int32_t recordVersion;
    int32_t mainWindowX;
    int32_t mainWindowY;
    // In the file the client size; in memory after loading the window size.
    int32_t mainWindowWidth;
    int32_t mainWindowHeight;
    ILColor backgroundColor;
    uint8_t stretchMode; // 4 HALFTONE, 3 COLORONCOLOR
    uint8_t windowMode;  // 0 fit nothing, 1 image to window, 2 window to image
    uint8_t wheelZoom;
    uint8_t autoFocus;
    uint8_t warningMessages;
    uint8_t askIfChanged;
    uint8_t dialogTips;
    uint8_t multipageDialog;
    uint8_t interfaceStyle; // 0 light, 1 dark
    uint8_t resolutionUnit; // 0 cm, 1 inch
    uint8_t useAlpha;
    uint8_t useBackground;
    uint8_t dither;           // 0 off, 1 on, 2 ask
    uint8_t monochromeDither; // 0-3, plus kMonochromeDitherAsk
    uint8_t highQualityResizing;
    uint8_t upsampleSmallImages;
    uint8_t transitionEffect; // 0 off, 1-5
    uint8_t resampleFilter;   // 0-6
    uint8_t resampleKeepAspect;
    uint8_t infoWindowShown;
    int32_t infoWindowPage; // 0 none, 1-5
    int32_t infoWindowX;
    int32_t infoWindowY;
    uint8_t listWindowShown;
    uint8_t padding0[3];
    int32_t listWindowX;
    int32_t listWindowY;
    int32_t listWindowWidth; // 0: sized from its content when it opens
    int32_t listWindowHeight;
    int32_t thumbnailSize; // 0, 64, 96, 128, 160 or 192
    int32_t SortKey;       // 40760-40766, negative (but not -40766) descending
    uint8_t histogramWindowShown;
    uint8_t padding1[3];
    int32_t histogramWindowX;
    int32_t histogramWindowY;
    int32_t histogramScale; // slider value (100-500) x 10
    uint8_t actionsWindowShown;
    uint8_t padding2[3];
    int32_t actionsWindowX;
    int32_t actionsWindowY;
    int32_t sheetColumns;    // 1-100
    int32_t sheetFrameWidth; // 0-10
    int32_t sheetSpacing;    // 1-100
    ILColor sheetBackground;
    ILColor sheetFrameColor;
    ILColor sheetTextColor;
    uint8_t sheetShowName;
    uint8_t sheetShowSize;
    uint8_t sheetShowImageSize;
    uint8_t sheetShowCreated;
    uint8_t sheetShowModified;
    uint8_t padding3[3];
    int32_t galleryColumns;
    int32_t galleryFrameWidth;
    int32_t gallerySpacing;
    ILColor galleryBackground;
    ILColor galleryFrameColor;
    ILColor galleryTextColor;
    uint8_t galleryShowName;
    uint8_t galleryShowSize;
    uint8_t galleryShowImageSize;
    uint8_t galleryShowCreated;
    uint8_t galleryShowModified;
    uint8_t padding4[3];
    uint8_t cropPreviewMask; // 1 darken, 2 lighten, 3 invert
    // Unaligned floats: reach them through the Fill* functions below.
    uint8_t fillColor[16]; // blue, green, red, alpha
    uint8_t fillGray[8];   // grey, alpha
    uint8_t padding5;
    char16_t fontSampleText[kFontSampleTextUnits];
    uint8_t fontFamilyFilter; // 0 all, 1-5 the LOGFONT family codes
    uint8_t padding6[3];
    WriteTextSettings writeTextSettings;
    int32_t openFilterIndex;
    int32_t reserved0[7];
    int32_t saveFilterIndex;
    int32_t reserved1[7];
    int32_t reserved2[8];
    uint8_t bmpOptions;
    uint8_t pcxOptions;
    uint8_t padding7[2];
    ILPNGOptions pngOptions;
    uint8_t gifOptions;
    uint8_t padding8[3];
    ILJPEGOptions jpegOptions;
    ILJPEGXROptions jpegXrOptions;
    ILJPEG2000Options jpeg2000Options;
    ILTIFFOptions tiffOptions;
    uint8_t tgaOptions;
    uint8_t pnmOptions;
    uint8_t radianceOptions;
    uint8_t padding9;
    uint32_t exrOptions;
    uint32_t reservedOption; // read from a fresh handle, never pushed back
    ILPGFOptions pgfOptions;
    uint32_t webpOptions;
    int32_t tiffHalfFloatCompression;
    int32_t tiffOtherCompression;
    uint8_t exrImportOptions;
    uint8_t padding10[3];
    ILRAWImportOptions rawImportOptions;
    ILPCDImportOptions pcdImportOptions;
    char16_t actionListPath[kPreferencesPathUnits];
    char16_t lastImagePath[kPreferencesPathUnits];
};

inline constexpr uint8_t kMonochromeDitherAsk = 0x10;

static_assert(std::endian::native == std::endian::little, "the file is the record's memory");
static_assert(std::is_standard_layout_v<Preferences> && std::is_trivially_copyable_v<Preferences>);
static_assert(sizeof(FontRecord) == 60);
static_assert(sizeof(WriteTextSettings) == 104);
static_assert(offsetof(WriteTextSettings, textColor) == 60);
static_assert(offsetof(WriteTextSettings, alignment) == 80);
static_assert(offsetof(WriteTextSettings, anchor) == 92);
static_assert(offsetof(WriteTextSettings, extra) == 94);
static_assert(offsetof(WriteTextSettings, effect) == 96);
static_assert(offsetof(WriteTextSettings, blur) == 100);
static_assert(offsetof(WriteTextSettings, effectY) == 102);
static_assert(sizeof(Preferences) == kPreferencesFileSize);
static_assert(offsetof(Preferences, mainWindowHeight) == 16);
static_assert(offsetof(Preferences, backgroundColor) == 20);
static_assert(offsetof(Preferences, stretchMode) == 40);
static_assert(offsetof(Preferences, interfaceStyle) == 48);
static_assert(offsetof(Preferences, infoWindowShown) == 59);
static_assert(offsetof(Preferences, infoWindowPage) == 60);
static_assert(offsetof(Preferences, listWindowShown) == 72);
static_assert(offsetof(Preferences, listWindowX) == 76);
static_assert(offsetof(Preferences, SortKey) == 96);
static_assert(offsetof(Preferences, histogramWindowShown) == 100);
static_assert(offsetof(Preferences, histogramScale) == 112);
static_assert(offsetof(Preferences, actionsWindowShown) == 116);
static_assert(offsetof(Preferences, actionsWindowX) == 120);
static_assert(offsetof(Preferences, sheetColumns) == 128);
static_assert(offsetof(Preferences, sheetBackground) == 140);
static_assert(offsetof(Preferences, sheetTextColor) == 180);
static_assert(offsetof(Preferences, sheetShowName) == 200);
static_assert(offsetof(Preferences, galleryColumns) == 208);
static_assert(offsetof(Preferences, galleryBackground) == 220);
static_assert(offsetof(Preferences, galleryTextColor) == 260);
static_assert(offsetof(Preferences, galleryShowName) == 280);
static_assert(offsetof(Preferences, cropPreviewMask) == 288);
static_assert(offsetof(Preferences, fillColor) == 289);
static_assert(offsetof(Preferences, fillGray) == 305);
static_assert(offsetof(Preferences, fontSampleText) == 314);
static_assert(offsetof(Preferences, fontFamilyFilter) == 436);
static_assert(offsetof(Preferences, writeTextSettings) == 440);
static_assert(offsetof(Preferences, openFilterIndex) == 544);
static_assert(offsetof(Preferences, reserved0) == 548);
static_assert(offsetof(Preferences, saveFilterIndex) == 576);
static_assert(offsetof(Preferences, reserved1) == 580);
static_assert(offsetof(Preferences, reserved2) == 608);
static_assert(offsetof(Preferences, bmpOptions) == 640);
static_assert(offsetof(Preferences, pcxOptions) == 641);
static_assert(offsetof(Preferences, pngOptions) == 644);
static_assert(offsetof(Preferences, gifOptions) == 656);
static_assert(offsetof(Preferences, jpegOptions) == 660);
static_assert(offsetof(Preferences, jpegXrOptions) == 668);
static_assert(offsetof(Preferences, jpeg2000Options) == 684);
static_assert(offsetof(Preferences, tiffOptions) == 700);
static_assert(offsetof(Preferences, tgaOptions) == 712);
static_assert(offsetof(Preferences, radianceOptions) == 714);
static_assert(offsetof(Preferences, exrOptions) == 716);
static_assert(offsetof(Preferences, reservedOption) == 720);
static_assert(offsetof(Preferences, pgfOptions) == 724);
static_assert(offsetof(Preferences, webpOptions) == 732);
static_assert(offsetof(Preferences, tiffHalfFloatCompression) == 736);
static_assert(offsetof(Preferences, tiffOtherCompression) == 740);
static_assert(offsetof(Preferences, exrImportOptions) == 744);
static_assert(offsetof(Preferences, rawImportOptions) == 748);
static_assert(offsetof(Preferences, pcdImportOptions) == 760);
static_assert(offsetof(Preferences, actionListPath) == 768);
static_assert(offsetof(Preferences, lastImagePath) == 1728);

// Zeroes the record and sets every default. The save and import options come
// from the handle's getters (a fresh main handle holds the library's
// defaults); screenWidth places the list and actions windows.
void SetDefaultPreferences(Preferences& prefs, const ILHandle* handle, int32_t screenWidth);

// Takes the contents of a preferences file: accepted only when it is exactly
// kPreferencesFileSize bytes and starts with kPreferencesVersion. An accepted
// record is clamped (ClampPreferences). On false the record may hold the
// rejected bytes: the caller sets the defaults.
bool ReadPreferences(Preferences& prefs, std::span<const uint8_t> file);

// Brings every field that the viewer interprets into its allowed range and
// terminates the texts, so that a damaged or hand-edited file cannot steer
// the viewer outside what its own controls can set. Enumerations outside
// their set take their default. The format options are the library's to
// check (each codec clamps what it reads).
void ClampPreferences(Preferences& prefs);

// Pushes the stored save and import options into the handle.
void PushPreferenceOptions(const Preferences& prefs, ILHandle* handle);

// The bytes of the preferences file.
std::span<const uint8_t, kPreferencesFileSize> PreferencesBytes(const Preferences& prefs);

// The unaligned fill colours of the geometry dialogs.
void GetFillColor(const Preferences& prefs, float (&bgra)[4]);
void SetFillColor(Preferences& prefs, const float (&bgra)[4]);
void GetFillGray(const Preferences& prefs, float (&grayAlpha)[2]);
void SetFillGray(Preferences& prefs, const float (&grayAlpha)[2]);

// The open dialog's filter index of "All supported file formats": after one
// entry per loadable format.
int32_t AllFormatsFilterIndex();
