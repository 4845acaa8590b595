// What the TIFF loader, saver and readers share: opening a file with its
// messages bound to the handle, the predictor stage the library runs itself,
// the strip and tile readers with their row operations, and the colour,
// palette and metadata helpers of the loader.
#pragma once

#include <cstdint>

#include <lcms2.h>
#include <tiffio.h>

#include "imglib/convert/converter.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"

inline constexpr char kTiffModule[] = "TIFF";

// ---------------------------------------------------------------------------
// Opening (tiff_open.cpp)

// libtiff's per-file error and warning handlers: user data is the ILHandle
// of the load or save that opened the file, so messages from any thread
// reach their own handle. Each formats into 512 bytes and reports the text.
int ILTiffErrorHandler(TIFF* tif, void* handle, const char* module, const char* format,
                       va_list args);
int ILTiffWarningHandler(TIFF* tif, void* handle, const char* module, const char* format,
                         va_list args);

// The client-info name under which a reader may lend libtiff's error
// handler a uint32_t to count the errors raised while it decodes: codecs
// such as CCITT fax report damaged data and still deliver whole strips.
inline constexpr char kTiffErrorCount[] = "ILTiffErrorCount";

// Opens by wide path with the handlers bound to h. mode is libtiff's ("rCm",
// "wl", "wb"); maxAlloc bounds every single allocation libtiff makes for the
// file (0: libtiff's own limit). Null when libtiff refuses; it has reported.
TIFF* ILTiffOpen(ILHandle* h, const char16_t* path, const char* mode, uint64_t maxAlloc);

struct ILTiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// ---------------------------------------------------------------------------
// Predictor stage (tiff_predictor.cpp)
//
// libtiff runs the Predictor tag only inside its LZW, Deflate, ZSTD and LZMA
// codecs, ignores it on uncompressed data and refuses the floating-point
// predictor on integer samples. The library undoes the predictor itself,
// after libtiff's decoding, for those codecs and for uncompressed data alike.

struct ILTiffPredictor {
    int32_t predictor = 1; // 1 none, 2 horizontal differencing, 3 floating point
    int64_t stride = 0;    // samples per pixel (contiguous) or 1 (separate planes)
    int64_t rowSize = 0;   // bytes of one row of a strip or tile
    uint32_t sampleBytes = 0;
    bool swapped = false; // libtiff byte-swapped the decoded samples
};

// Reads the Predictor tag, switches libtiff's own predictor off and checks
// the tag against the data; reports and answers false for a predictor that
// cannot be undone. Must run before the first strip or tile is read.
bool ILTiffSetupPredictor(ILHandle* h, TIFF* tif, ILTiffPredictor* p);
// Undoes the predictor on the whole rows among `bytes` bytes of decoded data.
void ILTiffUndoPredictor(const ILTiffPredictor& p, uint8_t* data, uint64_t bytes);

// ---------------------------------------------------------------------------
// Strip and tile readers (tiff_strips.cpp, tiff_tiles.cpp, tiff_rows.cpp)

// One directory's pixel data as the readers see it.
struct ILTiffSource {
    ILHandle* h;
    TIFF* tif;
    uint32_t width;
    uint32_t height;
    uint16_t bitsPerSample;
    uint16_t samplesPerPixel;
    uint16_t keptSamples; // the first samples of a pixel, those the converter takes
    uint16_t planes;      // 1 contiguous, samples per pixel for separate planes
    uint16_t subsampling; // YCbCr unit: horizontal x 16 + vertical; 0 otherwise
    bool invert;          // integer samples stored min-is-white, not 1 or 8 bits
    bool uncompressed;
    const uint8_t* greyTable; // for the first sample of 8-bit grey, or null
    bool xyzToRgb;            // float X, Y, Z pixels (LogLuv) become linear R, G, B
    ILTiffPredictor predictor;
};

// Deliver every row through the converter into the image: 1 when all data
// arrived, 2 when some strips or tiles could not be read (reported; their
// rows are zero), 0 when none could or a buffer cannot be allocated.
ILResult ILTiffReadStrips(const ILTiffSource& src, ILConverter* c, ILImage* image);
ILResult ILTiffReadTiles(const ILTiffSource& src, ILConverter* c, ILImage* image);

// Decodes strip or tile `index` of `plane` into `at` (size bytes of room)
// and applies the predictor, min-is-white, the grey table and the XYZ to RGB
// conversion; false, with a
// message and the missing part of `expected` bytes zeroed, when it does not
// arrive whole, and false when libtiff reported an error while decoding it.
bool ILTiffReadChunk(const ILTiffSource& src, bool tile, uint32_t index, uint32_t plane,
                     uint8_t* at, uint64_t size, uint64_t expected, bool* anyData);

// Bytes of one row of YCbCr units: ceil(width / h) units of h x v + 2 bytes.
uint64_t ILTiffYCbCrUnitRowBytes(uint32_t width, uint16_t subsampling);
// Writes width Y, Cb, Cr triplets for image row k of the encoded units (the
// start of the strip or tile); false without writing for codes other than
// 0x11, 0x12, 0x21 and 0x22. positioning 2: co-sited chroma.
bool ILTiffUnpackYCbCr(uint32_t k, const uint8_t* data, uint8_t* out, uint32_t width,
                       uint16_t subsampling, uint16_t positioning);
// Interleaves one row from separate planes: sample i of plane p lies at
// planes + p x planeBytes + offset + i x sample size. 4, 8, 16, 24, 32 and
// 64 bits; other depths write nothing.
void ILTiffInterleavePlanes(uint8_t* out, const uint8_t* planes, uint64_t offset, uint32_t width,
                            uint32_t count, uint64_t planeBytes, uint32_t bitsPerSample);
// Copies the first `kept` of each pixel's `samples` samples (whole bytes).
void ILTiffKeepSamples(uint8_t* out, const uint8_t* in, uint32_t width, uint32_t samples,
                       uint32_t kept, uint32_t sampleBytes);
// Min-is-white integer samples to min-is-black, in place.
void ILTiffInvertRow(uint8_t* row, uint64_t bytes);

// ---------------------------------------------------------------------------
// Colour, palette and metadata helpers of the loader (tiff_color.cpp,
// tiff_exif.cpp)

// The ICC profile, or for colour files one built from the chromaticity tags;
// gammaKind gets IL_GAMMA_ICC, IL_GAMMA_ICC_SRGB, IL_GAMMA_CHROMATICITIES or
// IL_GAMMA_CHROMATICITIES_SRGB, 0 when no profile comes back.
cmsHPROFILE ILTiffReadColorInfo(ILHandle* h, TIFF* tif, bool colour, uint8_t* gammaKind);
int32_t ILTiffResolutionToPpi(uint16_t unit, float resolution);
// Adjusts colour channels and extra samples to the photometric
// interpretation, warning about channels it cannot place.
void ILTiffCheckExtraSamples(ILHandle* h, uint16_t photometric, uint16_t samplesPerPixel,
                             int32_t* colorChannels, int32_t* extraSamples);
// 256 entries mapping low..high onto 0..255 (reversed with invert); the
// caller frees it with ILFree. Null when it cannot be allocated.
uint8_t* ILTiffBuildGreyTable(ILHandle* h, int32_t low, int32_t high, bool invert);
// Fills the palette from ColorMap; false without one.
bool ILTiffReadColormap(TIFF* tif, ILPalette* palette, uint32_t n);

// The values of a tag however libtiff keeps them: count and pointer for
// arrays, a fixed count for fixed arrays, one value otherwise. False when the
// tag is absent or holds no data.
bool ILTiffGetArray(TIFF* tif, uint32_t tag, uint32_t* count, const void** data);

// The TIFF tags that EXIF shares, from the current (main) directory.
void ILTiffCopyMainExif(TIFF* tif, ExifData* exif);
// The EXIF directory's entries; the current directory changes.
void ILTiffCopyExifDirectory(TIFF* tif, uint64_t offset, ExifData* exif);
