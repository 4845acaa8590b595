// The EXIF entries a TIFF file holds: the tags its main directory shares
// with EXIF's IFD 0, and a chosen set of the EXIF directory's tags, copied
// into the info record's EXIF data. Rationals are read in whatever width
// libtiff keeps them and stored with a fixed denominator per tag.
#include <cmath>
#include <cstdint>

#include <libexif/exif-data.h>

#include "imglib/formats/tiff.h"

namespace {

enum class Kind : uint8_t { Ascii, Short, Long, Rational, SRational, Undefined };

struct Copy {
    uint16_t tag;
    Kind kind;
    uint32_t scale; // denominator of the stored rational
};

constexpr Copy kMainTags[] = {
    {269, Kind::Ascii, 0}, {271, Kind::Ascii, 0},    {272, Kind::Ascii, 0},
    {274, Kind::Short, 0}, {282, Kind::Rational, 1}, {283, Kind::Rational, 1},
    {296, Kind::Short, 0}, {305, Kind::Ascii, 0},    {306, Kind::Ascii, 0},
    {315, Kind::Ascii, 0}, {33432, Kind::Ascii, 0},
};

constexpr Copy kExifTags[] = {
    {33434, Kind::Rational, 10000}, {33437, Kind::Rational, 100},  {34850, Kind::Short, 0},
    {36864, Kind::Undefined, 0},    {36867, Kind::Ascii, 0},       {36868, Kind::Ascii, 0},
    {37377, Kind::SRational, 0},    {37378, Kind::Rational, 1000}, {37379, Kind::SRational, 0},
    {37380, Kind::SRational, 0},    {37381, Kind::Rational, 1000}, {37382, Kind::Rational, 1000},
    {37383, Kind::Short, 0},        {37384, Kind::Short, 0},       {37385, Kind::Short, 0},
    {37386, Kind::Rational, 1000},  {37122, Kind::Rational, 1000}, {37520, Kind::Ascii, 0},
    {37521, Kind::Ascii, 0},        {37522, Kind::Ascii, 0},       {40960, Kind::Undefined, 0},
    {40961, Kind::Short, 0},        {40962, Kind::Long, 0},        {40963, Kind::Long, 0},
    {41483, Kind::Rational, 1000},  {41486, Kind::Rational, 1000}, {41487, Kind::Rational, 1000},
    {41488, Kind::Short, 0},        {41492, Kind::Short, 0},       {41493, Kind::Rational, 1000},
    {41495, Kind::Short, 0},        {41985, Kind::Short, 0},       {41986, Kind::Short, 0},
    {41987, Kind::Short, 0},        {41988, Kind::Rational, 1000}, {41989, Kind::Short, 0},
    {41990, Kind::Short, 0},        {41991, Kind::Short, 0},       {41992, Kind::Short, 0},
    {41993, Kind::Short, 0},        {41994, Kind::Short, 0},       {41996, Kind::Short, 0},
};

constexpr uint32_t kSignedScale = 10000;

// The first value of a tag as a double, from whichever form libtiff keeps.
bool ReadNumber(TIFF* tif, const TIFFField* field, uint32_t tag, double* out) {
    const int size = TIFFFieldSetGetSize(field);
    const TIFFDataType type = TIFFFieldDataType(field);
    const bool floating = type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT ||
                          type == TIFF_DOUBLE;
    const void* data = nullptr;
    uint32_t count = 0;
    union {
        uint16_t u16;
        uint32_t u32;
        int32_t i32;
        float f;
        double d;
    } one{};
    if (TIFFFieldPassCount(field)) {
        if (!ILTiffGetArray(tif, tag, &count, &data)) return false;
    } else if (TIFFFieldReadCount(field) > 1) {
        if (!TIFFGetField(tif, tag, &data) || !data) return false;
    } else {
        if (!TIFFGetField(tif, tag, &one)) return false;
        data = &one;
    }
    if (floating && size == 8)
        *out = *static_cast<const double*>(data);
    else if (floating && size == 4)
        *out = *static_cast<const float*>(data);
    else if (size == 2)
        *out = *static_cast<const uint16_t*>(data);
    else if (size == 4 && type == TIFF_SLONG)
        *out = *static_cast<const int32_t*>(data);
    else if (size == 4)
        *out = *static_cast<const uint32_t*>(data);
    else if (size == 1)
        *out = *static_cast<const uint8_t*>(data);
    else
        return false;
    return std::isfinite(*out);
}

void CopyOne(TIFF* tif, ExifData* exif, uint32_t ifd, const Copy& copy) {
    const TIFFField* field = TIFFFindField(tif, copy.tag, TIFF_ANY);
    if (!field) return;
    switch (copy.kind) {
        case Kind::Ascii: {
            if (TIFFFieldDataType(field) != TIFF_ASCII) return;
            const char* text = nullptr;
            if (TIFFGetField(tif, copy.tag, &text) && text)
                ILExifAddAscii(exif, ifd, copy.tag, text);
            return;
        }
        case Kind::Undefined: {
            const void* bytes = nullptr;
            uint32_t count = 4;
            if (TIFFFieldPassCount(field)) {
                if (!ILTiffGetArray(tif, copy.tag, &count, &bytes)) return;
            } else if (!TIFFGetField(tif, copy.tag, &bytes)) {
                return;
            }
            if (bytes && count >= 4 && TIFFFieldSetGetSize(field) == 1)
                ILExifAddUndefined(exif, copy.tag, static_cast<const uint8_t*>(bytes), 4);
            return;
        }
        default:
            break;
    }
    double value = 0;
    if (!ReadNumber(tif, field, copy.tag, &value)) return;
    switch (copy.kind) {
        case Kind::Short:
            if (value >= 0 && value <= 65535)
                ILExifAddUnsignedShort(exif, ifd, copy.tag, static_cast<uint16_t>(value));
            break;
        case Kind::Long:
            if (value >= 0 && value <= 4294967295.0)
                ILExifAddUnsignedLong(exif, copy.tag, static_cast<uint32_t>(value));
            break;
        case Kind::Rational: {
            const double scaled = std::trunc(value * copy.scale);
            if (scaled >= 0 && scaled <= 4294967295.0)
                ILExifAddUnsignedRational(exif, ifd, copy.tag, static_cast<uint32_t>(scaled),
                                          copy.scale);
            break;
        }
        case Kind::SRational: {
            const double scaled = std::trunc(value * kSignedScale);
            if (scaled >= -2147483648.0 && scaled <= 2147483647.0)
                ILExifAddSignedRational(exif, copy.tag, static_cast<int32_t>(scaled), kSignedScale);
            break;
        }
        default:
            break;
    }
}

} // namespace

void ILTiffCopyMainExif(TIFF* tif, ExifData* exif) {
    for (const Copy& copy : kMainTags)
        CopyOne(tif, exif, IL_EXIF_IFD_0, copy);
}

void ILTiffCopyExifDirectory(TIFF* tif, uint64_t offset, ExifData* exif) {
    if (!TIFFReadEXIFDirectory(tif, offset)) return;
    for (const Copy& copy : kExifTags)
        CopyOne(tif, exif, IL_EXIF_IFD_EXIF, copy);
}
