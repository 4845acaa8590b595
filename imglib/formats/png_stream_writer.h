// Writes one large 8-bit RGB PNG file band by band from a fixed buffer that
// the caller fills, so that a picture taller than memory allows can be
// written (the viewer's thumbnail sheet draws into it band after band).
#pragma once

#include <cstdint>
#include <cstdio>

#include "imglib/handle.h"

struct png_struct_def;
struct png_info_def;

// A plain record, zeroed when constructed and after closing.
//
// The band buffer belongs to the caller and is not copied: rowsPerBand rows
// of width pixels, 3 bytes each in B, G, R order, top to bottom, each row
// padded to a multiple of 4 bytes (the rows of a 24-bit ILImage or DIB).
// Before each WriteRows the caller fills the whole buffer; the last band
// takes only the rows still missing, from the top of the buffer.
struct ILPngStreamWriter {
    FILE* file;
    png_struct_def* pngWrite;
    png_info_def* pngInfo;
    uint8_t** rowPointers; // one per band row, into the band buffer
    uint64_t width;
    uint64_t height;
    uint64_t rowsPerBand; // at most height; lowered for the last band
    uint64_t rowsWritten;
    uint8_t isOpen;

    // Zeroes the record and opens; isOpen tells whether that worked.
    ILPngStreamWriter(ILHandle* h, const char16_t* path, uint64_t width, uint64_t height,
                      uint64_t rowsPerBand, uint8_t* band);
    ~ILPngStreamWriter();
    ILPngStreamWriter(const ILPngStreamWriter&) = delete;
    ILPngStreamWriter& operator=(const ILPngStreamWriter&) = delete;

    // Creates the file and writes its header: IHDR, the handle's creator as
    // a "Software" tEXt, zlib level 9 with every row filter. False when
    // already open, for an empty size, or when the file or libpng fails (the
    // file then stays as far as it got; only the open failure is reported
    // to the handle).
    bool Open(ILHandle* h, const char16_t* path, uint64_t width, uint64_t height,
              uint64_t rowsPerBand, uint8_t* band);
    // Writes the buffer's rows as the next band. False when nothing is left
    // to write, nothing is open, or libpng failed (no further band is then
    // taken).
    bool WriteRows();
    // Finishes the file and releases everything; true only when a file was
    // open, all its rows were written and all of it reached the disk.
    bool Close();

private:
    void Release();
};
