// Reading a device-independent bitmap that another program put on the
// clipboard: untrusted bytes whose header decides every offset and size, so
// each is checked against the block before a row is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "imglib/pixel_type.h"

struct ClipboardDib {
    uint32_t width = 0;
    uint32_t height = 0; // rows, whichever way they run
    bool bottomUp = false;
    uint32_t bitCount = 0;
    ILPixelType type = 0;
    size_t paletteOffset = 0;   // the colour table's first entry (B, G, R, 0)
    uint32_t paletteLength = 0; // entries in the block; 0 without a table
    size_t pixelOffset = 0;     // the first stored row
    uint32_t stride = 0;        // bytes per row, padded to 32 bits
};

enum class DibProblem {
    None,
    NoInfoHeader,   // shorter than a BITMAPINFOHEADER, or another header size
    BadSize,        // zero, negative or too large width or height
    BadBitCount,    // not 1, 4, 8, 24 or 32 bits per pixel
    BadCompression, // compressed, or bit fields other than B, G, R bytes
    BadColourCount, // more colours used than the bit count can index
    Truncated,      // the table or the rows reach past the block
};

// Fills dib from the block (the bytes of a CF_DIB) when the answer is None.
DibProblem ParseClipboardDib(std::span<const uint8_t> block, ClipboardDib& dib);
