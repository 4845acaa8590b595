// Drawing the display bitmap and its packed copy for the clipboard.
#include "viewer/platform/display_bitmap.h"

#include <cstring>

namespace {

const BITMAPINFO* Info(const DibHeader* header) {
    return reinterpret_cast<const BITMAPINFO*>(header);
}

} // namespace

void DibBuffer::Draw(HDC context, int x, int y) const {
    if (!header) return;
    const int w = static_cast<int>(Width()), h = static_cast<int>(Height());
    StretchDIBits(context, x, y, w, h, 0, 0, w, h, pixels, Info(header), DIB_RGB_COLORS, SRCCOPY);
}

void DibBuffer::DrawScaled(HDC context, int x, int y, int width, int height) const {
    if (!header) return;
    // Wine's HALFTONE stretch picks pixels instead of averaging them, which
    // turns fine patterns into bands: reductions come from the averaged copy.
    const bool reducing = width > 0 && height > 0 && uint32_t(width) <= Width() &&
                          uint32_t(height) <= Height() &&
                          (uint32_t(width) < Width() || uint32_t(height) < Height());
    if (reducing && GetStretchBltMode(context) == HALFTONE) {
        if (const DibBuffer* reduced = Reduced(uint32_t(width), uint32_t(height))) {
            reduced->Draw(context, x, y);
            return;
        }
    }
    StretchDIBits(context, x, y, width, height, 0, 0, static_cast<int>(Width()),
                  static_cast<int>(Height()), pixels, Info(header), DIB_RGB_COLORS, SRCCOPY);
}

void DibBuffer::DrawRect(HDC context, int originX, int originY, int x, int y, int width,
                         int height) const {
    if (!header) return;
    // Both rectangles mirrored (negative heights): GDI then takes the source
    // rows of this top-down bitmap from the top, y .. y + height - 1.
    const int sourceY = static_cast<int>(Height()) + 1 - y;
    StretchDIBits(context, originX + x, originY + y + height - 1, width, -height, x, sourceY, width,
                  -height, pixels, Info(header), DIB_RGB_COLORS, SRCCOPY);
}

void* DibBuffer::ToClipboard() const {
    if (!header) return nullptr;
    const size_t headerBytes = header->biSize + 4 * size_t{header->biClrUsed};
    const uint32_t rows = Height();
    const size_t rowBytes = header->biSizeImage / rows;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, headerBytes + header->biSizeImage);
    if (!memory) return nullptr;
    auto* packed = static_cast<uint8_t*>(GlobalLock(memory));
    if (!packed) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(packed, header, headerBytes);
    // The clipboard's DIBs run bottom-up.
    reinterpret_cast<DibHeader*>(packed)->biHeight = static_cast<int32_t>(rows);
    uint8_t* out = packed + headerBytes;
    for (uint32_t i = 0; i < rows; ++i, out += rowBytes)
        std::memcpy(out, pixels + (rows - 1 - i) * stride, rowBytes);
    GlobalUnlock(memory);
    return memory;
}
