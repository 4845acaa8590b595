// The headers of Windows and enhanced metafiles: the placeable header and
// the window extent of a Windows metafile, the header record of an enhanced
// one, and the raster size of the picture frame.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imglib/byte_order.h"
#include "imglib/formats/wmf.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableBytes = 22;
constexpr size_t kWmfHeaderBytes = 18;
constexpr uint16_t kSetWindowExt = 0x020C;

constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr size_t kEmfHeaderMin = 88;

constexpr double kHundredthsMmPerPixel = 31.2479338842;
// A plain Windows metafile has no physical size: its window extent is taken
// as pixels at 96 per inch.
constexpr double kHundredthsMmPerLogicalUnit = 2540.0 / 96.0;

// Record types whose contents are checked (from the EMF specification).
enum : uint32_t {
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kRestoreDc = 34,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrush = 39,
    kDeleteObject = 40,
    kCreatePalette = 49,
    kPolyDraw = 56,
    kCreateFont = 82,
    kTextOutA = 83,
    kTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kPolyDraw16 = 92,
    kCreateMonoBrush = 93,
    kCreateDibBrush = 94,
    kExtCreatePen = 95,
    kEmrEof = 14,
};
constexpr uint32_t kStockObject = 0x80000000;

// The counts, offsets and object indexes of one record agree with its size
// and the header's handle count; players trust them.
bool RecordIsSound(const uint8_t* r, uint32_t size, uint32_t handles) {
    auto u32 = [&](uint32_t at) { return at + 4 <= size ? ILGetLe32(r + at) : UINT32_MAX; };
    auto fits = [&](uint64_t fixed, uint64_t count, uint64_t each) {
        return count != UINT32_MAX && fixed + count * each <= size;
    };
    switch (ILGetLe32(r)) {
        case kPolyBezier:
        case kPolygon:
        case kPolyline:
        case kPolyBezierTo:
        case kPolylineTo:
            return fits(28, u32(24), 8);
        case kPolyBezier16:
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16:
            return fits(28, u32(24), 4);
        case kPolyPolyline:
        case kPolyPolygon:
            return fits(32, u32(24), 4) && fits(32 + uint64_t{u32(24)} * 4, u32(28), 8);
        case kPolyPolyline16:
        case kPolyPolygon16:
            return fits(32, u32(24), 4) && fits(32 + uint64_t{u32(24)} * 4, u32(28), 4);
        case kPolyDraw:
            return fits(28, u32(24), 9);
        case kPolyDraw16:
            return fits(28, u32(24), 5);
        case kTextOutA:
        case kTextOutW: {
            const uint32_t chars = u32(44), text = u32(48), dx = u32(72);
            if (chars == UINT32_MAX || text == UINT32_MAX || dx == UINT32_MAX) return false;
            const uint64_t unit = ILGetLe32(r) == kTextOutW ? 2 : 1;
            if (chars && (text < 76 || !fits(text, chars, unit))) return false;
            return !chars || !dx || fits(dx, chars, 4);
        }
        case kRestoreDc:
            return static_cast<int32_t>(u32(8)) < 0;
        case kSelectObject:
        case kDeleteObject: {
            const uint32_t index = u32(8);
            return (index & kStockObject) || (index != 0 && index < handles);
        }
        case kCreatePen:
        case kCreateBrush:
        case kCreatePalette:
        case kCreateFont:
        case kCreateMonoBrush:
        case kCreateDibBrush:
        case kExtCreatePen: {
            const uint32_t index = u32(8);
            return index != 0 && index < handles;
        }
        default:
            return true;
    }
}

// Every record inside the counted bytes, sound, and the last one the end.
bool RecordsAreSound(const uint8_t* b, uint32_t bytes, uint32_t handles) {
    uint64_t at = ILGetLe32(b + 4);
    while (at + 8 <= bytes) {
        const uint32_t type = ILGetLe32(b + at), size = ILGetLe32(b + at + 4);
        if (size < 8 || size % 4 || size > bytes - at || type == kEmrHeader) return false;
        if (!RecordIsSound(b + at, size, handles)) return false;
        if (type == kEmrEof) return true;
        at += size;
    }
    return false;
}

bool ParseEmf(const uint8_t* b, size_t size, ILMetafileHeader* header) {
    if (size < kEmfHeaderMin || ILGetLe32(b) != kEmrHeader) return false;
    const uint32_t recordSize = ILGetLe32(b + 4);
    if (recordSize < kEmfHeaderMin || recordSize > size) return false;
    if (ILGetLe32(b + 40) != kEmfSignature) return false;
    // The file must hold the bytes its header counts: a truncated or
    // damaged enhanced metafile is refused.
    const uint32_t bytes = ILGetLe32(b + 48);
    if (bytes < recordSize || bytes > size) return false;
    // The description must lie in the header record, the handle table
    // hold the metafile itself, and the records be sound.
    const uint64_t descriptionChars = ILGetLe32(b + 60), descriptionAt = ILGetLe32(b + 64);
    if (descriptionChars &&
        (descriptionAt < kEmfHeaderMin || descriptionAt + 2 * descriptionChars > recordSize))
        return false;
    const uint32_t handles = ILGetLe16(b + 56);
    if (handles == 0 || !RecordsAreSound(b, bytes, handles)) return false;
    header->enhanced = true;
    for (int i = 0; i < 4; ++i)
        header->frame[i] = static_cast<int32_t>(ILGetLe32(b + 24 + 4 * i));
    return true;
}

// The Windows metafile's own header at offset, and its window extent from
// the records (the last META_SETWINDOWEXT before the end record).
bool ParseWmfRecords(const uint8_t* b, size_t size, size_t offset, int32_t* extX, int32_t* extY) {
    if (size - offset < kWmfHeaderBytes) return false;
    const uint8_t* h = b + offset;
    const uint16_t type = ILGetLe16(h), headerWords = ILGetLe16(h + 2), version = ILGetLe16(h + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x100 && version != 0x300))
        return false;
    size_t at = offset + kWmfHeaderBytes;
    while (size - at >= 6) {
        const uint64_t recordBytes = uint64_t{ILGetLe32(b + at)} * 2;
        const uint16_t function = ILGetLe16(b + at + 4);
        if (function == 0 || recordBytes < 6 || recordBytes > size - at) break;
        if (function == kSetWindowExt && recordBytes >= 10) {
            *extY = static_cast<int16_t>(ILGetLe16(b + at + 6));
            *extX = static_cast<int16_t>(ILGetLe16(b + at + 8));
        }
        at += recordBytes;
    }
    return true;
}

bool ParseWmf(const uint8_t* b, size_t size, ILMetafileHeader* header) {
    int32_t extX = 0, extY = 0;
    if (size >= kPlaceableBytes && ILGetLe32(b) == kPlaceableKey) {
        if (!ParseWmfRecords(b, size, kPlaceableBytes, &extX, &extY)) return false;
        header->wmfOffset = kPlaceableBytes;
        const int32_t left = static_cast<int16_t>(ILGetLe16(b + 6));
        const int32_t top = static_cast<int16_t>(ILGetLe16(b + 8));
        const int32_t right = static_cast<int16_t>(ILGetLe16(b + 10));
        const int32_t bottom = static_cast<int16_t>(ILGetLe16(b + 12));
        const uint32_t unitsPerInch = ILGetLe16(b + 14);
        // No units per inch: read as a plain Windows metafile.
        if (unitsPerInch) {
            const int32_t scale = static_cast<int32_t>(3000 / unitsPerInch);
            header->xExt = scale * std::abs(right - left);
            header->yExt = scale * std::abs(bottom - top);
        }
    } else if (!ParseWmfRecords(b, size, 0, &extX, &extY)) {
        return false;
    }
    header->enhanced = false;
    if (header->xExt && header->yExt) {
        header->frame[2] = header->xExt;
        header->frame[3] = header->yExt;
    } else {
        header->frame[2] = static_cast<int32_t>(std::abs(extX) * kHundredthsMmPerLogicalUnit);
        header->frame[3] = static_cast<int32_t>(std::abs(extY) * kHundredthsMmPerLogicalUnit);
    }
    return true;
}

} // namespace

bool ILParseMetafileHeader(const uint8_t* bytes, size_t size, ILMetafileHeader* header) {
    *header = {};
    if (!bytes || size < 4) return false;
    return ParseEmf(bytes, size, header) || ParseWmf(bytes, size, header);
}

bool ILMetafileRasterSize(const ILMetafileHeader& header, uint32_t* width, uint32_t* height) {
    const double w = std::fabs(header.frame[0] / kHundredthsMmPerPixel -
                               header.frame[2] / kHundredthsMmPerPixel);
    const double h = std::fabs(header.frame[1] / kHundredthsMmPerPixel -
                               header.frame[3] / kHundredthsMmPerPixel);
    double wt = std::trunc(w), ht = std::trunc(h);
    if (wt < 1 || ht < 1) return false;
    // Beyond the caps the picture is drawn smaller, in proportion.
    double scale = std::min({1.0, kMetafileMaxEdge / wt, kMetafileMaxEdge / ht,
                             std::sqrt(double(kMetafileMaxPixels) / (wt * ht))});
    if (scale < 1) {
        wt = std::max(1.0, std::floor(wt * scale));
        ht = std::max(1.0, std::floor(ht * scale));
    }
    *width = static_cast<uint32_t>(wt);
    *height = static_cast<uint32_t>(ht);
    return true;
}
