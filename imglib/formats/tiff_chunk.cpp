// One strip or tile of one plane, decoded by libtiff into the caller's
// buffer with the library's own stages after it: the predictor undone,
// min-is-white samples turned over, the grey table applied and LogLuv's XYZ
// turned into RGB. What does not arrive is zero; what the codec reports
// damaged counts as not read.
#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "imglib/formats/tiff.h"

bool ILTiffReadChunk(const ILTiffSource& src, bool tile, uint32_t index, uint32_t plane,
                     uint8_t* at, uint64_t size, uint64_t expected, bool* anyData) {
    const char* what = tile ? "tile" : "strip";
    // Uncompressed data too short for its rows fails rather than borrow the
    // bytes that follow it in the file.
    if (src.uncompressed) {
        const uint64_t stored = TIFFGetStrileByteCount(src.tif, index);
        if (stored < expected) {
            ILErrorF(src.h,
                     "Not enough data for %s %u: %" PRIu64 " bytes stored, %" PRIu64 " needed",
                     what, index, stored, expected);
            std::memset(at, 0, expected);
            return false;
        }
    }
    uint32_t errors = 0;
    TIFFSetClientInfo(src.tif, &errors, kTiffErrorCount);
    const tmsize_t n = tile ? TIFFReadEncodedTile(src.tif, index, at, static_cast<tmsize_t>(size))
                            : TIFFReadEncodedStrip(src.tif, index, at, static_cast<tmsize_t>(size));
    TIFFSetClientInfo(src.tif, nullptr, kTiffErrorCount);
    const uint64_t got = n < 0 ? 0 : static_cast<uint64_t>(n);
    if (got > 0) *anyData = true;
    ILTiffUndoPredictor(src.predictor, at, got);
    if (src.invert) ILTiffInvertRow(at, std::min(got, expected));
    if (src.greyTable && plane == 0) {
        // The grey sample leads each pixel; extra samples keep their values.
        const uint64_t step = src.planes > 1 ? 1 : src.samplesPerPixel;
        for (uint64_t i = 0, n = std::min(got, expected); i < n; i += step)
            at[i] = src.greyTable[at[i]];
    }
    if (src.xyzToRgb) {
        // libtiff's LogLuv decoder answers CIE XYZ; the rows are linear RGB of
        // the primaries its own 8-bit output uses (ITU-R BT.709).
        for (uint64_t i = 0, n = std::min(got, expected) / 12; i < n; ++i) {
            float xyz[3];
            std::memcpy(xyz, at + 12 * i, 12);
            const float rgb[3] = {2.690f * xyz[0] - 1.276f * xyz[1] - 0.414f * xyz[2],
                                  -1.022f * xyz[0] + 1.978f * xyz[1] + 0.044f * xyz[2],
                                  0.061f * xyz[0] - 0.224f * xyz[1] + 1.163f * xyz[2]};
            std::memcpy(at + 12 * i, rgb, 12);
        }
    }
    // Data the codec found damaged arrives whole but is not the picture;
    // libtiff has said where.
    if (got >= expected) return errors == 0;
    // libtiff has reported why; the rows that did not arrive stay black.
    std::memset(at + got, 0, expected - got);
    if (n < 0)
        ILErrorF(src.h, "%s %u could not be read", tile ? "Tile" : "Strip", index);
    else
        ILErrorF(src.h, "Unexpected end of data in %s %u", what, index);
    return false;
}
