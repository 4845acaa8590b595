// Windows metafiles (WMF, with or without the placeable header) and enhanced
// metafiles (EMF): the header parsing that sizes the raster, and the
// renderer interface. The library parses; drawing the records is the
// platform's graphics interface, supplied by a program that has one (the
// viewer registers one built on GDI). Without a renderer, loads of the info
// record work and pixel loads answer -3.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imglib/handle.h"

inline constexpr char kWmfModule[] = "WMF/EMF";

// What a metafile's headers tell.
struct ILMetafileHeader {
    bool enhanced = false;
    // A Windows metafile: the offset of its records' header (22 after a
    // placeable header, else 0) and the picture extents in hundredths of a
    // millimetre for the conversion to an enhanced metafile (0 for none).
    uint32_t wmfOffset = 0;
    int32_t xExt = 0;
    int32_t yExt = 0;
    // The picture frame in hundredths of a millimetre.
    int32_t frame[4] = {}; // left, top, right, bottom
};

// Parses the headers of a whole metafile in memory. False for bytes that
// are neither kind, or whose header does not fit the bytes.
bool ILParseMetafileHeader(const uint8_t* bytes, size_t size, ILMetafileHeader* header);

// The raster size of a frame at 31.2479338842 hundredths of a millimetre
// per pixel; sizes beyond kMetafileMaxEdge or kMetafileMaxPixels are scaled
// down, keeping the proportions. False for a frame of no area.
inline constexpr uint32_t kMetafileMaxEdge = 16384;
inline constexpr uint64_t kMetafileMaxPixels = uint64_t{1} << 26;
bool ILMetafileRasterSize(const ILMetafileHeader& header, uint32_t* width, uint32_t* height);

// One rendering: the metafile (an enhanced one, or a Windows one whose
// bytes start at its records' header) played scaled into a raster of
// width x height B, G, R pixels, top-down, that arrives filled white.
struct ILMetafileJob {
    const uint8_t* bytes;
    size_t size;
    const ILMetafileHeader* header;
    uint32_t width;
    uint32_t height;
    uint8_t* pixels;
    int64_t stride;
};
// Answers 1, -6 when the platform does not take the bytes as a metafile,
// -10 when it cannot read its header, -100 when it cannot make a surface.
using ILMetafileRenderer = ILResult (*)(const ILMetafileJob& job);

// Sets the process's renderer (null: none); returns the previous one.
ILMetafileRenderer ILSetMetafileRenderer(ILMetafileRenderer renderer);
