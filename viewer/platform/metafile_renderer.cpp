// ImgLib's metafile renderer on GDI: the enhanced metafile (made from a
// Windows metafile by SetWinMetaFileBits with the picture's extents) is
// played into a top-down 24-bit DIB section on white, whose rows go back
// to the library. Registered when the program starts.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "imglib/formats/wmf.h"

namespace {

// Wine's player indexes its handle table with the brush of a region record
// without checking for a stock object (high bit set) or the table's size,
// and crashes. Such records are drawn here; the rest play as they stand.
int CALLBACK PlayRecord(HDC dc, HANDLETABLE* table, const ENHMETARECORD* record, int handles,
                        LPARAM) {
    if (record->iType != EMR_FILLRGN && record->iType != EMR_FRAMERGN)
        return PlayEnhMetaFileRecord(dc, table, record, static_cast<UINT>(handles));
    const bool fill = record->iType == EMR_FILLRGN;
    const DWORD brushIndex = fill ? reinterpret_cast<const EMRFILLRGN*>(record)->ihBrush
                                  : reinterpret_cast<const EMRFRAMERGN*>(record)->ihBrush;
    HBRUSH brush = nullptr;
    if (brushIndex & 0x80000000u)
        brush = static_cast<HBRUSH>(GetStockObject(static_cast<int>(brushIndex & 0x7FFFFFFFu)));
    else if (brushIndex < static_cast<DWORD>(handles))
        brush = static_cast<HBRUSH>(table->objectHandle[brushIndex]);
    if (!brush) return 1;
    const DWORD regionBytes = fill ? reinterpret_cast<const EMRFILLRGN*>(record)->cbRgnData
                                   : reinterpret_cast<const EMRFRAMERGN*>(record)->cbRgnData;
    const size_t headerBytes =
        fill ? offsetof(EMRFILLRGN, RgnData) : offsetof(EMRFRAMERGN, RgnData);
    if (record->nSize < headerBytes || regionBytes > record->nSize - headerBytes) return 1;
    const auto* data =
        reinterpret_cast<const RGNDATA*>(reinterpret_cast<const BYTE*>(record) + headerBytes);
    HRGN region = ExtCreateRegion(nullptr, regionBytes, data);
    if (!region) return 1;
    if (fill) {
        FillRgn(dc, region, brush);
    } else {
        const auto* frame = reinterpret_cast<const EMRFRAMERGN*>(record);
        FrameRgn(dc, region, brush, frame->szlStroke.cx, frame->szlStroke.cy);
    }
    DeleteObject(region);
    return 1;
}

// Wine 8's conversion of Windows metafiles crashes in gdi32 on the records
// that carry bitmaps (old device-dependent and device-independent forms
// alike: a pointer to the bits is cut to 32 bits). In a copy of the bytes
// such records get a function number no player draws, which keeps the
// record sizes and skips them: the picture loses its bitmaps, the viewer
// stays up.
constexpr uint16_t kBitmapRecords[] = {0x0922, 0x0B23, 0x0940, 0x0B41, 0x0F43, 0x0D33};
constexpr uint16_t kSkipped = 0x00F8;

std::vector<BYTE> WithoutBitmaps(const uint8_t* bytes, size_t size) {
    std::vector<BYTE> copy(bytes, bytes + size);
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(copy[at] | copy[at + 1] << 8); };
    size_t at = 18; // the Windows metafile header
    while (at + 6 <= size) {
        const uint64_t recordBytes =
            2 * uint64_t{static_cast<uint32_t>(u16(at) | u16(at + 2) << 16)};
        const uint16_t function = u16(at + 4);
        if (function == 0 || recordBytes < 6 || recordBytes > size - at) break;
        for (const uint16_t bitmapRecord : kBitmapRecords)
            if (function == bitmapRecord) {
                copy[at + 4] = kSkipped & 0xFF;
                copy[at + 5] = kSkipped >> 8;
            }
        at += recordBytes;
    }
    return copy;
}

struct DeleteEmf {
    HENHMETAFILE emf;
    ~DeleteEmf() {
        if (emf) DeleteEnhMetaFile(emf);
    }
};

ILResult PlayMetafile(const ILMetafileJob& job) {
    if (job.size > 0xFFFFFFFFu) return IL_CANNOT_OPEN;
    const UINT size = static_cast<UINT>(job.size);
    HENHMETAFILE emf = nullptr;
    if (job.header->enhanced) {
        emf = SetEnhMetaFileBits(size, job.bytes);
    } else {
        METAFILEPICT picture{MM_ANISOTROPIC, job.header->xExt, job.header->yExt, nullptr};
        const std::vector<BYTE> bytes = WithoutBitmaps(job.bytes, job.size);
        emf = SetWinMetaFileBits(size, bytes.data(), nullptr, &picture);
    }
    DeleteEmf owner{emf};
    if (!emf) return IL_CANNOT_OPEN;
    ENHMETAHEADER header;
    if (!GetEnhMetaFileHeader(emf, sizeof header, &header)) return IL_INVALID_HEADER;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(job.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(job.height); // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!bitmap) {
        if (dc) DeleteDC(dc);
        return IL_OUT_OF_MEMORY;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    const size_t rowBytes = size_t{job.width} * 3;
    const size_t dibStride = (rowBytes + 3) & ~size_t{3};
    auto* dib = static_cast<uint8_t*>(bits);
    std::memset(dib, 0xFF, dibStride * job.height);
    const RECT rect{0, 0, static_cast<LONG>(job.width), static_cast<LONG>(job.height)};
    EnumEnhMetaFile(dc, emf, PlayRecord, nullptr, &rect);
    GdiFlush();
    for (uint32_t y = 0; y < job.height; ++y)
        std::memcpy(job.pixels + int64_t{y} * job.stride, dib + dibStride * y, rowBytes);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return IL_OK;
}

// Registration at start-up, before any load can run.
const bool g_registered = (ILSetMetafileRenderer(PlayMetafile), true);

} // namespace
