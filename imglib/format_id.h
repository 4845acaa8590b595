// Format ids: the id of each row of the format table (low 4 bits clear) and
// the variants a loader reports in ILInfo::formatId (the row's id plus the
// low 4 bits), and the ids of images that come from no file. Hexadecimal
// codes are kept only here.
#pragma once

#include <cstdint>

enum : uint32_t {
    IL_FORMAT_ROW_MASK = 0xFFF0, // the row's id of a reported id

    IL_FORMAT_BMP = 0x10, // plus the header kind: 1 OS/2, 2 v3, 4 v4, 5 v5
    IL_FORMAT_GIF = 0x20,
    IL_FORMAT_GIF87 = 0x21,
    IL_FORMAT_GIF89 = 0x22,
    IL_FORMAT_PCX = 0x30,
    IL_FORMAT_PNG = 0x40,
    IL_FORMAT_JPEG = 0x50,
    IL_FORMAT_JPEG2000 = 0x60,
    IL_FORMAT_J2K_CODESTREAM = 0x61, // a bare code-stream
    IL_FORMAT_JP2 = 0x62,            // a JP2 file
    IL_FORMAT_TIFF = 0x70,
    IL_FORMAT_TIFF_LE = 0x71, // little-endian
    IL_FORMAT_TIFF_BE = 0x72, // big-endian
    IL_FORMAT_TGA = 0x80,
    IL_FORMAT_TGA_FOOTER = 0x82, // with the TGA 2.0 footer
    IL_FORMAT_PNM = 0x90,
    IL_FORMAT_PGM = 0x91,
    IL_FORMAT_PPM = 0x92,
    IL_FORMAT_PBM = 0x93,
    IL_FORMAT_PFM = 0x94,
    IL_FORMAT_PAM = 0x95,
    IL_FORMAT_RAS = 0xA0,
    IL_FORMAT_SGI = 0xB0,
    IL_FORMAT_PCD = 0xC0,
    IL_FORMAT_DDS = 0xD0,
    IL_FORMAT_JXR = 0xE0,
    IL_FORMAT_JXR_CODESTREAM = 0xE1, // a bare code-stream
    IL_FORMAT_RADIANCE = 0x100,
    IL_FORMAT_EXR = 0x110,
    IL_FORMAT_EXR_TILED = 0x111,
    IL_FORMAT_CINEON = 0x120,
    IL_FORMAT_PGF = 0x130,
    IL_FORMAT_WEBP = 0x140,
    IL_FORMAT_RAW = 0x200,
    IL_FORMAT_WMF = 0x300,

    // Images without a file, as the viewer records them (-2 and -3).
    IL_FORMAT_PASTED = 0xFFFFFFFEu,
    IL_FORMAT_ACQUIRED = 0xFFFFFFFDu,
};
