// The info record that loaders fill and savers read: file facts, geometry,
// colour-profile summary, text entries and the parsed EXIF, IPTC and XMP
// metadata, with the text dumps the viewer's info window shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include <lcms2.h>

#include "imglib/color.h"
#include "imglib/format_id.h"

// The metadata libraries' object types, declared here so that clients need
// not include their headers.
typedef struct _ExifData ExifData;
typedef struct _IptcData IptcData;
typedef struct _Xmp* XmpPtr;

struct ILHandle;

// Index into ILTextKeyNames.
enum ILTextKey : uint32_t {
    IL_TEXT_COPYRIGHT = 0,
    IL_TEXT_SOFTWARE = 1,
    IL_TEXT_COMMENT = 2,
    IL_TEXT_MAKE = 3,
    IL_TEXT_MODEL = 4,
    IL_TEXT_TITLE = 5,
    IL_TEXT_AUTHOR = 6,
    IL_TEXT_DESCRIPTION = 7,
    IL_TEXT_CREATION_TIME = 8,
    IL_TEXT_DISCLAIMER = 9,
    IL_TEXT_WARNING = 10,
    IL_TEXT_SOURCE = 11,
    IL_TEXT_URL = 12,
};
inline constexpr uint32_t IL_TEXT_KEY_COUNT = 13;
extern const char* const ILTextKeyNames[IL_TEXT_KEY_COUNT];

struct ILTextEntry {
    char* key;
    char* text;
};

// Entries in order of addition; strings and array are malloc'ed and owned.
struct ILTextList {
    ILTextEntry* items = nullptr;
    int32_t count = 0;

    ILTextList() = default;
    ILTextList(const ILTextList&) = delete;
    ILTextList& operator=(const ILTextList&) = delete;
    ~ILTextList();

    // Appends a copy of key (null: "Comment") and of at most length bytes of
    // text, stopping at a zero byte; nothing for length 0 or a null text.
    void Append(const char* key, size_t length, const char* text);
};

// Summary of an embedded ICC profile; the strings are owned, null when the
// profile has no such text.
struct ILIccInfo {
    uint8_t present = 0;
    uint32_t colorSpace = 0; // ICC colour-space signature, e.g. 'RGB '
    char* description = nullptr;
    char* manufacturer = nullptr;
    char* model = nullptr;
    char* copyright = nullptr;

    ILIccInfo() = default;
    ILIccInfo(const ILIccInfo&) = delete;
    ILIccInfo& operator=(const ILIccInfo&) = delete;
    ~ILIccInfo();
};

// Colour type as stored in the file.
enum : uint32_t {
    IL_CT_NONE = 0,
    IL_CT_MONOCHROME = 1,
    IL_CT_GRAY = 2,
    IL_CT_INDEXED = 3,
    IL_CT_RGB = 4,
    IL_CT_YUV = 5,
    IL_CT_YUVK = 6,
    IL_CT_YCC = 7,
    IL_CT_YCCK = 8,
    IL_CT_CMYK = 10,
    IL_CT_LAB = 11,
    IL_CT_LOGL = 12,
    IL_CT_RGBE = 13,
    IL_CT_XYZE = 14,
    IL_CT_BAYER = 15,
    IL_CT_THREE_LAYER = 16,
};

// Compression as stored in the file.
enum : uint32_t {
    IL_COMP_NONE = 0,
    IL_COMP_ASCII = 16,
    IL_COMP_RLE = 32,
    IL_COMP_THUNDERSCAN = 33,
    IL_COMP_LZW = 48,
    IL_COMP_LZW_FILTERED = 49,
    IL_COMP_LZW_INTERLACED = 50,
    IL_COMP_LZW_FILTERED_INTERLACED = 51,
    IL_COMP_DEFLATE = 64,
    IL_COMP_DEFLATE_FILTERED = 65,
    IL_COMP_DEFLATE_INTERLACED = 66,
    IL_COMP_DEFLATE_FILTERED_INTERLACED = 67,
    IL_COMP_DCT = 80,
    IL_COMP_DCT_PROGRESSIVE = 81,
    IL_COMP_DCT_ARITHMETIC = 82,
    IL_COMP_DCT_ARITHMETIC_PROGRESSIVE = 83,
    IL_COMP_WAVELET = 96,
    IL_COMP_WAVELET_53 = 97,
    IL_COMP_WAVELET_97 = 98,
    IL_COMP_JBIG = 112,
    IL_COMP_KODAK_DCS = 128,
    IL_COMP_CCITT_RLE = 144,
    IL_COMP_CCITT_G3 = 145,
    IL_COMP_CCITT_G4 = 146,
    IL_COMP_IT8_CT = 160,
    IL_COMP_IT8_RLE = 161,
    IL_COMP_IT8_MONOCHROME = 162,
    IL_COMP_IT8_BILEVEL = 163,
    IL_COMP_PIXAR_LZW = 176,
    IL_COMP_PIXAR_ZIP = 177,
    IL_COMP_PIXAR_FLOAT24 = 186,
    IL_COMP_BLOCKS_FIXED = 187,
    IL_COMP_BLOCKS = 188,
    IL_COMP_DXT1 = 193,
    IL_COMP_DXT2 = 194,
    IL_COMP_DXT3 = 195,
    IL_COMP_DXT4 = 196,
    IL_COMP_DXT5 = 197,
    IL_COMP_VP8 = 208,
};

// Where ILInfo::gamma comes from.
enum : uint8_t {
    IL_GAMMA_ASSUMED = 0,
    IL_GAMMA_STORED = 1,
    IL_GAMMA_CHROMATICITIES = 2,
    IL_GAMMA_ICC = 3,
    IL_GAMMA_SRGB = 4,
    IL_GAMMA_ICC_SRGB = 5,
    IL_GAMMA_CHROMATICITIES_SRGB = 6,
};

// Alpha kinds.
enum : uint8_t {
    IL_ALPHA_NONE = 0,
    IL_ALPHA_STRAIGHT = 1,
    IL_ALPHA_PREMULTIPLIED = 2,
};

struct ILInfo {
    uint32_t formatId = 0; // format-table id, codec variant in the low 4 bits (format_id.h)
    uint32_t colorType = 0;
    uint32_t compression = 0;
    int64_t fileSize = 0;
    int64_t created = 0;  // seconds since 1970-01-01 UTC
    int64_t modified = 0; // same unit
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t tilesX = 0;
    uint32_t tilesY = 0;
    uint8_t alphaKind = 0;
    uint8_t tiled = 0;
    double gamma = 0;
    uint8_t gammaKind = 0;
    uint32_t ppiX = 0; // 0 when the file gives none
    uint32_t ppiY = 0;
    uint16_t pages = 0;
    uint16_t page = 0; // set by the caller before a multi-page load
    ILIccInfo icc;
    ILTextList texts;
    IptcData* iptc = nullptr;
    ExifData* exif = nullptr;
    XmpPtr xmp = nullptr;

    ILInfo() = default;
    ILInfo(const ILInfo&) = delete;
    ILInfo& operator=(const ILInfo&) = delete;
    ~ILInfo();
};

// Frees texts, ICC strings and metadata objects and zeroes the record.
void ILClearInfo(ILInfo* info);

// Texts. Key indexes above 12 are ignored (find answers null).
void ILInfoAddText(ILTextList* list, ILTextKey key, size_t length, const char* text);
// Adds a free-form comment; a leading key name followed by a blank or colon
// ("Author: Ann") files the rest under that key, otherwise under "Comment".
void ILAddComment(ILTextList* list, size_t length, const char* text);
// Replaces the text of the first entry with exactly that key, removes it
// for length 0, or appends a new entry.
void ILSetText(ILTextList* list, ILTextKey key, size_t length, const char* text);
// Text of the first entry whose key begins with the key name (case ignored).
const char* ILFindText(const ILTextList* list, ILTextKey key);
void ILFreeTexts(ILTextList* list);

// Colour-profile summary and tests.
void ILReadIccInfo(ILIccInfo* icc, cmsHPROFILE profile);
void ILFreeIccInfo(ILIccInfo* icc);
bool ILIsSRGBProfile(cmsHPROFILE profile);
bool ILProfileIsSRGB(cmsHPROFILE profile);
double ILIccGamma(cmsHPROFILE profile);
// Serialises the built-in profile that suits the pixel type into memory the
// caller frees with free(); answers the size, 0 on failure.
uint32_t ILSaveBuiltinProfile(ILPixelType type, uint8_t** out);
bool ILNearlyEqual(double a, double b, double tolerance);

// EXIF. IFD indexes: 0 TIFF, 1 thumbnail, 2 EXIF, 3 GPS, 4 Interoperability.
enum : uint32_t {
    IL_EXIF_IFD_0 = 0,
    IL_EXIF_IFD_1 = 1,
    IL_EXIF_IFD_EXIF = 2,
    IL_EXIF_IFD_GPS = 3,
    IL_EXIF_IFD_INTEROPERABILITY = 4,
    IL_EXIF_IFD_COUNT = 5,
};
// Parses an APP1 EXIF payload into an empty holder; answers whether EXIF is held.
bool ILInfoSetEXIF(ExifData** holder, size_t length, const uint8_t* bytes);
// Puts empty EXIF data (Intel byte order) into an empty holder, for loaders
// that build the entries themselves; answers whether the holder has data.
bool ILInfoNewEXIF(ExifData** holder);
bool ILHasExif(const ExifData* exif);
void ILFreeExif(ExifData** holder);
// Adders: one entry of one component in the data's byte order. False when
// there is no EXIF data, the IFD is out of range or the tag is already there.
bool ILExifAddSignedLong(ExifData* exif, uint16_t tag, int32_t value);
bool ILExifAddSignedShort(ExifData* exif, uint16_t tag, int16_t value);
bool ILExifAddUndefined(ExifData* exif, uint16_t tag, const uint8_t* bytes, uint32_t n);
bool ILExifAddAscii(ExifData* exif, uint32_t ifd, uint16_t tag, const char* text);
bool ILExifAddSignedRational(ExifData* exif, uint16_t tag, int32_t numerator, int32_t denominator);
bool ILExifAddUnsignedLong(ExifData* exif, uint16_t tag, uint32_t value);
bool ILExifAddUnsignedShort(ExifData* exif, uint32_t ifd, uint16_t tag, uint16_t value);
bool ILExifAddUnsignedRational(ExifData* exif, uint32_t ifd, uint16_t tag, uint32_t numerator,
                               uint32_t denominator);
// DateTime (306) in IFD 0 as local time "YYYY:MM:DD hh:mm:ss".
bool ILExifAddDateTime(ExifData* exif, time_t time);
// Drops the thumbnail IFD, completes the mandatory tags and takes the
// resolution from the EXIF data when the loader found none.
void ILApplyExifResolution(ILInfo* info);
// A row of the EXIF tag table. levels[ifd] holds the support level per data
// type, a nibble each (uncompressed chunky, planar, YCC, compressed from the
// high nibble down): 0 not specified, 1 not recorded, 2 mandatory, 3 optional.
struct ILExifTag {
    uint16_t tag;
    const char* title;
    uint16_t levels[IL_EXIF_IFD_COUNT];
};
// The row of a tag that may be recorded in the IFD, or null.
const ILExifTag* ILFindExifTag(uint16_t tag, uint32_t ifd);
// Title of a tag in an IFD from our table, else libexif's; null when unknown.
const char* ILExifTitle(uint16_t tag, uint32_t ifd);
extern const char* const ILExifIfdNames[IL_EXIF_IFD_COUNT];

// IPTC.
// A block whose datasets overrun it or give a length in more than four
// bytes is dropped, with a warning through the handle when one is given.
bool ILInfoSetIPTC(ILHandle* h, IptcData** holder, size_t length, const uint8_t* bytes);
bool ILInfoSetIPTC(IptcData** holder, size_t length, const uint8_t* bytes);
bool ILHasIPTC(const IptcData* iptc);
void ILFreeIPTC(IptcData** holder);
// A row of the IPTC dataset table; format is libiptcdata's IptcFormat.
struct ILIptcTag {
    uint32_t record;
    uint32_t dataset;
    const char* title;
    uint32_t format;
    bool mandatory;
    bool repeatable;
    uint32_t minBytes;
    uint32_t maxBytes;
};
const ILIptcTag* ILFindIptcTag(uint32_t record, uint32_t dataset);
// Title of a dataset from our table, else libiptcdata's; null when unknown.
const char* ILIptcTitle(uint32_t record, uint32_t dataset);

// XMP. The first parse sets the toolkit up, the last handle's destruction
// terminates it and a later parse sets it up again.
// A packet nested deeper than the toolkit's recursion can take is dropped,
// with a warning through the handle when one is given.
bool ILParseXMP(ILHandle* h, XmpPtr* holder, size_t length, const char* packet);
bool ILParseXMP(XmpPtr* holder, size_t length, const char* packet);
bool ILHasXMP(XmpPtr xmp);
void ILFreeXMP(XmpPtr* holder);
// Sets the toolkit up unless it is; true when it is. Several threads may call
// it at once.
bool ILUseXmpToolkit();
// Terminates the toolkit if it was set up; the last handle calls it.
void ILEndXmpToolkit();

// Text dumps for the info window; each appends to out, lines end in CR LF.
void ILFormatTexts(const ILTextList* list, std::string* out);
void ILFormatIccInfo(const ILIccInfo* icc, std::string* out);
void ILFormatExif(ExifData* exif, std::string* out);
void ILFormatIPTC(IptcData* iptc, std::string* out);
void ILFormatXMP(XmpPtr xmp, std::string* out);
// Output procedure of the XMP dump: sink is a std::string; a piece ending in
// a line feed ends in CR LF instead. Answers 0.
int32_t ILXMPTextSink(void* sink, const char* buffer, uint32_t size);
