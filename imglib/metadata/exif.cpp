// EXIF metadata on libexif: parsing, the entry adders savers use, and the
// resolution the viewer takes from EXIF after a load.
#include <climits>
#include <cstdio>
#include <cstring>

#include <libexif/exif-data.h>

#include "imglib/metadata/info.h"

namespace {

// Eight bytes or fewer hold no EXIF worth a parse.
constexpr size_t kMinPayload = 9;

// Creates one entry of the given size, lets fill write its bytes and adds it
// to the IFD. libexif refuses a tag the IFD already holds.
template <typename Fill>
bool AddEntry(ExifData* exif, uint32_t ifd, uint16_t tag, ExifFormat format,
              unsigned long components, unsigned int size, Fill fill) {
    if (!exif || ifd >= IL_EXIF_IFD_COUNT || size == 0) return false;
    ExifContent* content = exif->ifd[ifd];
    if (!content || exif_content_get_entry(content, static_cast<ExifTag>(tag))) return false;

    ExifMem* mem = exif_mem_new_default();
    if (!mem) return false;
    ExifEntry* entry = exif_entry_new_mem(mem);
    auto* data = entry ? static_cast<unsigned char*>(exif_mem_alloc(mem, size)) : nullptr;
    exif_mem_unref(mem);
    if (!data) {
        if (entry) exif_entry_unref(entry);
        return false;
    }
    entry->tag = static_cast<ExifTag>(tag);
    entry->format = format;
    entry->components = components;
    entry->data = data;
    entry->size = size;
    fill(data, exif_data_get_byte_order(exif));
    exif_content_add_entry(content, entry);
    bool added = entry->parent == content;
    exif_entry_unref(entry);
    return added;
}

// A positive RATIONAL resolution, truncated; 0 for a missing or unusable
// entry (a zero denominator among them).
uint32_t ReadResolution(ExifData* exif, ExifTag tag) {
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], tag);
    if (!entry || entry->format != EXIF_FORMAT_RATIONAL || entry->components < 1 || !entry->data ||
        entry->size < 8)
        return 0;
    ExifRational r = exif_get_rational(entry->data, exif_data_get_byte_order(exif));
    if (r.denominator == 0) return 0;
    return r.numerator / r.denominator;
}

} // namespace

bool ILInfoSetEXIF(ExifData** holder, size_t length, const uint8_t* bytes) {
    if (!holder) return false;
    if (*holder || length < kMinPayload || !bytes || length > UINT_MAX) return *holder != nullptr;
    ExifData* exif = exif_data_new();
    if (!exif) return false;
    // Left on, libexif would "fix" the data while parsing and invent the
    // mandatory tags the file lacks (a 72 dpi resolution among them), which
    // the dump would then show as the file's.
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, bytes, static_cast<unsigned int>(length));
    *holder = exif;
    return true;
}

bool ILInfoNewEXIF(ExifData** holder) {
    if (!holder) return false;
    if (*holder) return true;
    ExifData* exif = exif_data_new();
    if (!exif) return false;
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    *holder = exif;
    return true;
}

bool ILHasExif(const ExifData* exif) {
    if (!exif) return false;
    for (ExifIfd ifd : {EXIF_IFD_0, EXIF_IFD_EXIF, EXIF_IFD_GPS}) {
        if (exif->ifd[ifd] && exif->ifd[ifd]->count > 0) return true;
    }
    return false;
}

void ILFreeExif(ExifData** holder) {
    if (!holder || !*holder) return;
    exif_data_unref(*holder);
    *holder = nullptr;
}

bool ILExifAddSignedLong(ExifData* exif, uint16_t tag, int32_t value) {
    return AddEntry(exif, EXIF_IFD_EXIF, tag, EXIF_FORMAT_SLONG, 1, 4,
                    [&](unsigned char* b, ExifByteOrder o) { exif_set_slong(b, o, value); });
}

bool ILExifAddSignedShort(ExifData* exif, uint16_t tag, int16_t value) {
    return AddEntry(exif, EXIF_IFD_EXIF, tag, EXIF_FORMAT_SSHORT, 1, 2,
                    [&](unsigned char* b, ExifByteOrder o) { exif_set_sshort(b, o, value); });
}

bool ILExifAddUndefined(ExifData* exif, uint16_t tag, const uint8_t* bytes, uint32_t n) {
    if (!bytes) return false;
    return AddEntry(exif, EXIF_IFD_EXIF, tag, EXIF_FORMAT_UNDEFINED, n, n,
                    [&](unsigned char* b, ExifByteOrder) { std::memcpy(b, bytes, n); });
}

bool ILExifAddAscii(ExifData* exif, uint32_t ifd, uint16_t tag, const char* text) {
    if (!text) return false;
    size_t size = std::strlen(text) + 1;
    if (size > UINT_MAX) return false;
    return AddEntry(exif, ifd, tag, EXIF_FORMAT_ASCII, size, static_cast<unsigned int>(size),
                    [&](unsigned char* b, ExifByteOrder) { std::memcpy(b, text, size); });
}

bool ILExifAddSignedRational(ExifData* exif, uint16_t tag, int32_t numerator, int32_t denominator) {
    return AddEntry(exif, EXIF_IFD_EXIF, tag, EXIF_FORMAT_SRATIONAL, 1, 8,
                    [&](unsigned char* b, ExifByteOrder o) {
                        exif_set_srational(b, o, ExifSRational{numerator, denominator});
                    });
}

bool ILExifAddUnsignedLong(ExifData* exif, uint16_t tag, uint32_t value) {
    return AddEntry(exif, EXIF_IFD_EXIF, tag, EXIF_FORMAT_LONG, 1, 4,
                    [&](unsigned char* b, ExifByteOrder o) { exif_set_long(b, o, value); });
}

bool ILExifAddUnsignedShort(ExifData* exif, uint32_t ifd, uint16_t tag, uint16_t value) {
    return AddEntry(exif, ifd, tag, EXIF_FORMAT_SHORT, 1, 2,
                    [&](unsigned char* b, ExifByteOrder o) { exif_set_short(b, o, value); });
}

bool ILExifAddUnsignedRational(ExifData* exif, uint32_t ifd, uint16_t tag, uint32_t numerator,
                               uint32_t denominator) {
    return AddEntry(exif, ifd, tag, EXIF_FORMAT_RATIONAL, 1, 8,
                    [&](unsigned char* b, ExifByteOrder o) {
                        exif_set_rational(b, o, ExifRational{numerator, denominator});
                    });
}

bool ILExifAddDateTime(ExifData* exif, time_t time) {
    struct tm local;
    if (!localtime_r(&time, &local)) return false;
    // "YYYY:MM:DD hh:mm:ss" and its zero: always 20 bytes.
    constexpr unsigned int kSize = 20;
    char text[64];
    std::snprintf(text, sizeof text, "%04i:%02i:%02i %02i:%02i:%02i", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    text[kSize - 1] = 0;
    return AddEntry(exif, EXIF_IFD_0, EXIF_TAG_DATE_TIME, EXIF_FORMAT_ASCII, kSize, kSize,
                    [&](unsigned char* b, ExifByteOrder) { std::memcpy(b, text, kSize); });
}

void ILApplyExifResolution(ILInfo* info) {
    if (!info || !ILHasExif(info->exif)) return;
    ExifData* exif = info->exif;

    // Read before the fix below, which would invent a default resolution
    // where the file gives none. The resolution unit is not consulted.
    if (info->ppiX == 0) {
        info->ppiX = ReadResolution(exif, EXIF_TAG_X_RESOLUTION);
        uint32_t y = ReadResolution(exif, EXIF_TAG_Y_RESOLUTION);
        info->ppiY = y ? y : info->ppiX;
    }

    // The thumbnail no longer matches once the image is edited; the saver
    // writes no thumbnail IFD when it is empty.
    ExifContent* thumbnail = exif->ifd[EXIF_IFD_1];
    while (thumbnail->count > 0)
        exif_content_remove_entry(thumbnail, thumbnail->entries[0]);

    exif_data_set_data_type(exif, EXIF_DATA_TYPE_COMPRESSED);
    exif_content_fix(exif->ifd[EXIF_IFD_0]);
    exif_data_set_data_type(exif, EXIF_DATA_TYPE_UNCOMPRESSED_PLANAR);
    exif_content_fix(exif->ifd[EXIF_IFD_EXIF]);
}
