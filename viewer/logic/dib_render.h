// DibBuffer: a top-down device-independent bitmap (header, colour table and
// rows) and the rendering of any ILImage into a form that Windows draws.
// Creating and rendering are portable; the drawing members are defined on the
// Win32 side (viewer/display_bitmap.cpp).
#pragma once

#include <cstdint>
#include <memory>

#include "imglib/color.h"
#include "imglib/image.h"

// The Win32 device context (HDC is a pointer to this struct), declared here so
// that the drawing members need no <windows.h>.
struct HDC__;

// BITMAPINFOHEADER as Windows lays it out; the colour table follows it, four
// bytes per entry: blue, green, red, 0.
struct DibHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight; // negative: rows run top to bottom
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(DibHeader) == 40);

// Bytes per DIB row: width x bits rounded up to a multiple of 32 bits.
int64_t DibStride(uint32_t width, uint32_t bits);

class DibBuffer {
public:
    uint8_t* pixels = nullptr;   // rows, top to bottom, stride bytes apart
    DibHeader* header = nullptr; // with the colour table after it
    int64_t stride = 0;
    bool ownsPixels = false; // false when the rows belong to an ILImage
    uint64_t ownedBytes = 0; // size of the owned rows' block

    DibBuffer() = default;
    ~DibBuffer() { Free(); }
    DibBuffer(const DibBuffer&) = delete;
    DibBuffer& operator=(const DibBuffer&) = delete;

    void Free();
    // Frees what it held (keeping an owned block of the same size for the
    // new rows), then takes the caller's rows (not owned) or allocates them.
    // False, and the buffer empty, when memory runs out or the size exceeds
    // what a DIB header can describe.
    bool Create(uint32_t width, uint32_t height, uint32_t bits, uint8_t* rows);
    // Shares the image's rows when they already have a DIB layout, otherwise
    // converts them row by row (to grey 8, index 8 or B,G,R 8); an image with
    // alpha is blended onto the background when useAlpha is set. The image
    // must outlive the buffer's use of shared rows.
    bool Render(const ILImage& image, const ILColor& background, bool useAlpha);

    bool IsEmpty() const { return header == nullptr; }
    uint32_t Width() const;
    uint32_t Height() const;
    uint32_t Bits() const;
    uint32_t ColorCount() const; // colour-table entries
    uint8_t* ColorTable() const;

    // The bitmap reduced to width x height (B,G,R 24-bit), each pixel the
    // average of the area it covers: kept until the size or the bitmap
    // changes. Null when it would not be smaller or memory runs out.
    const DibBuffer* Reduced(uint32_t width, uint32_t height) const;

    // Win32 side. DrawScaled uses the context's own stretching mode; with
    // HALFTONE a reduction is drawn from the area-averaged copy 1:1, as
    // Windows' halftone stretching shows it.
    void Draw(HDC__* context, int x, int y) const;
    void DrawScaled(HDC__* context, int x, int y, int width, int height) const;
    void DrawRect(HDC__* context, int originX, int originY, int x, int y, int width,
                  int height) const;
    // A packed bottom-up DIB in movable global memory (an HGLOBAL), or null
    // when the buffer is empty or memory runs out.
    void* ToClipboard() const;

private:
    mutable std::unique_ptr<DibBuffer> reduced_;
};
