// What the PNM loader and saver share: the module name and the buffered
// reader the header and ASCII parsers work on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imglib/handle.h"
#include "imglib/io/stream.h"

struct ILInfo;

inline constexpr char kPnmModule[] = "PNM/PAM";

// A portable map being read. The file is read through one buffer of at most
// 32000 bytes, refilled when used up.
struct ILPnmReader : ILFileReader {
    uint32_t type = 0; // 1 bitmap, 2 graymap, 3 pixmap, 4 floatmap
    bool ascii = false;
    uint32_t width = 0, height = 0, channels = 0, bitsPerPixel = 0;
    uint32_t formatId = 0, colorType = 0;
    float gamma = 0;
    uint32_t maxValue = 0; // 1 for bitmaps, 256 for floatmaps
    float scale = 0;
    ILInfo* comments = nullptr; // receives header and raster comments, or none

    size_t fill = 0, pos = 0;
    std::unique_ptr<uint8_t[]> buffer;
    size_t capacity = 0;

    // False when the first read is short.
    bool StartBuffer();
    // The next byte, or -1 at the end of the data.
    int Byte() {
        if (pos == fill && !Refill()) return -1;
        return buffer[pos++];
    }
    // Up to n bytes of the raster; the number copied.
    size_t Bytes(uint8_t* out, size_t n);
    bool Refill();
};

// Reads the header from the first non-blank byte up to the start of the
// raster; false for an invalid header.
bool ILPnmReadHeader(ILPnmReader* r);
// The next decimal number of a header or an ASCII raster: blanks are skipped
// up to a digit, a '#' starts a comment; the byte that ends the number is
// consumed. False at the end of the data or at any other byte before the
// digits (a sign); *value saturates at UINT32_MAX.
bool ILPnmReadNumber(ILPnmReader* r, uint32_t* value);
