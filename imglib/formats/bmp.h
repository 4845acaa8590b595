// What the BMP loader and saver share: the reader state that the header
// parser fills, the run-length decoder that works on it, and the bit count a
// saved file uses for an image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/io/stream.h"

inline constexpr char kBmpModule[] = "BMP";

// Values of the compression field.
enum : uint32_t {
    IL_BMP_RGB = 0,
    IL_BMP_RLE8 = 1,
    IL_BMP_RLE4 = 2,
    IL_BMP_BITFIELDS = 3,
    IL_BMP_JPEG = 4,
    IL_BMP_PNG = 5,
};

// A BMP file being read: the stream, the facts of its headers, and the
// position in its run-length data, which carries over from row to row.
struct ILBmpReader : ILFileReader {
    uint32_t kind = 0;       // 1 OS/2 core, 2 Windows 3, 4 Windows v4, 5 Windows v5
    uint32_t headerSize = 0; // of the information header
    uint32_t width = 0;
    uint32_t height = 0; // made positive
    bool bottomUp = true;
    uint32_t compression = 0;  // the file's field
    uint32_t fileBits = 0;     // bits per pixel as stored
    uint32_t bitsPerPixel = 0; // as reported: 12, 15 or 16 for 16-bit data by its masks
    uint64_t rowBytes = 0;     // padded to 4
    // The type of the rows the converter takes. Bit fields that no pixel type
    // describes are unpacked by `masks` into B, G, R (and A) bytes first.
    ILPixelType sourceType = 0;
    bool unpackMasks = false;
    uint32_t colorType = 0;
    uint32_t masks[4] = {}; // red, green, blue, alpha
    uint32_t paletteEntries = 0;
    uint64_t paletteOffset = 0;
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0; // from dataOffset to the end of the file
    int32_t ppmX = 0;      // resolution in pixels per metre
    int32_t ppmY = 0;

    // Run-length decoding.
    const uint8_t* rle = nullptr;
    size_t rleSize = 0;
    size_t rlePos = 0;
    uint32_t rleSkipRows = 0;  // rows a delta jumped over, left at index 0
    uint32_t rleStartX = 0;    // where a delta put the position in the row it landed in
    bool rleEnded = false;     // end of bitmap seen: the remaining rows stay at index 0
    bool rleOutOfData = false; // the last failing row ran out of data
};

// Reads and checks the file and information headers into the reader state;
// true when usable. The reader must be open.
bool ILBmpReadHeader(ILBmpReader* reader);

// Decodes the next row of RLE8 or RLE4 data (by reader->compression) from
// reader->rle into row, which holds width pixels of 8 or 4 bits and which the
// caller has zeroed: pixels the codes do not reach stay index 0. False when
// the codes overflow the row or the data ends inside it (rleOutOfData).
bool ILBmpDecodeRle(ILHandle* h, uint8_t* row, ILBmpReader* reader, uint32_t rowIndex);

// Bits per pixel of the file a save writes for the image: 1, 4, 8 or 24;
// 0 for an image no BMP row can hold.
uint32_t ILBmpBitCount(const ILImage* image);
