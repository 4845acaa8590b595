// What the JPEG XR files share: the container records and operations (our
// own TIFF-like layout around the code-stream) and the narrow interface to
// jxrlib's code-stream core, which only jxr_core.cpp includes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include <lcms2.h>

#include "imglib/handle.h"
#include "imglib/metadata/info.h"

inline constexpr char kJxrModule[] = "JXR";

// ---- Container ----------------------------------------------------------

struct ILJxrReadState {
    uint32_t imageOffset = 0; // 0 for a bare code-stream
    uint32_t imageBytes = 0;
    uint32_t alphaOffset = 0;
    uint32_t alphaBytes = 0;
    uint8_t pixelFormat[16] = {};
    ILInfo* info = nullptr;
    cmsHPROFILE profile = nullptr; // a profile kept open for the load
    uint32_t exifOffset = 0;
    bool alpha = false;
    bool alphaPlane = false; // a separate alpha plane (offset and size given)
    uint64_t fileSize = 0;
};

struct ILJxrWriteState {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t imageOffset = 0;
    uint32_t imageBytesEntry = 0; // file positions of entries patched later
    uint32_t alphaOffsetEntry = 0;
    uint32_t alphaBytesEntry = 0;
    uint8_t pixelFormat[16] = {};
    uint32_t imageBytes = 0;
    const ILInfo* info = nullptr;
    bool alpha = false;
};

// Reads header, first IFD and EXIF IFD and leaves the file at the image
// offset; 1, or IL_INVALID_HEADER for a file to refuse (nothing reported).
ILResult ILJxrReadContainer(ILHandle* h, ILJxrReadState* s, FILE* file);
// Writes header, IFD and data area; 0 or a negative stream error.
int ILJxrWriteContainer(ILHandle* h, FILE* file, ILJxrWriteState* s);
// Rewrites the size entries once the code-stream is written.
int ILJxrPatchSizes(FILE* file, const ILJxrWriteState& s);
// The identifier of format number nn of the first family.
void ILJxrMakePixelFormat(uint8_t nn, uint8_t out[16]);
// Whether the identifier is one the reader accepts; *alpha tells whether
// the format carries alpha.
bool ILJxrLookupPixelFormat(const uint8_t id[16], bool* alpha);

// ---- Code-stream core ---------------------------------------------------

// jxrlib's values, checked against its headers in jxr_core.cpp.
enum ILJxrBitDepth : int {
    IL_JXR_BD_1 = 0,
    IL_JXR_BD_8,
    IL_JXR_BD_16,
    IL_JXR_BD_16S,
    IL_JXR_BD_16F,
    IL_JXR_BD_32,
    IL_JXR_BD_32S,
    IL_JXR_BD_32F,
    IL_JXR_BD_5,
    IL_JXR_BD_10,
    IL_JXR_BD_565,
    IL_JXR_BD_1ALT = 0xF,
};
enum ILJxrColorFormat : int {
    IL_JXR_Y_ONLY = 0,
    IL_JXR_YUV_420 = 1,
    IL_JXR_YUV_422 = 2,
    IL_JXR_YUV_444 = 3,
    IL_JXR_CMYK = 4,
    IL_JXR_CF_RGB = 7,
    IL_JXR_CF_RGBE = 8,
};

struct ILJxrStream; // jxrlib's file stream

ILJxrStream* ILJxrOpenStream(const char* path, bool write);
void ILJxrCloseStream(ILJxrStream* stream);
// The C library file under the stream, for the container code.
FILE* ILJxrStreamFile(ILJxrStream* stream);

// What the code-stream header says.
struct ILJxrCodeStreamInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    int colorFormat = 0; // ILJxrColorFormat
    int bitDepth = 0;    // ILJxrBitDepth
    bool rgb = false;    // R, G, B order
    uint32_t tilesX = 1;
    uint32_t tilesY = 1;
    uint8_t alphaMode = 0;
};

// A decode of the whole image (or of its 1/scale thumbnail) at offset.
struct ILJxrDecodeJob {
    uint64_t offset = 0;
    uint32_t bitsPerUnit = 0;
    uint32_t outWidth = 0; // the thumbnail size, or the image size
    uint32_t outHeight = 0;
    uint8_t alphaMode = 0;
    bool alphaOnly = false; // a separate alpha plane into the alpha samples
    size_t stride = 0;      // of the decoded rows
};

bool ILJxrGetInfo(ILJxrStream* stream, uint64_t offset, ILJxrCodeStreamInfo* info);
// Decodes into out (stride x outHeight bytes) in place: the samples an
// alpha-only decode does not write stay. Rows reach out only from a decode
// that succeeded.
bool ILJxrDecode(ILJxrStream* stream, const ILJxrDecodeJob& job, uint8_t* out);
// Decodes into a buffer of the decoder's and hands the rows to band, top
// first, a few at a time (first row, count). Not for alpha-only decodes.
bool ILJxrDecodeBands(
    ILJxrStream* stream, const ILJxrDecodeJob& job,
    const std::function<void(const uint8_t* rows, uint32_t first, uint32_t count)>& band);

// An encoder writing at the stream's current position.
struct ILJxrEncodeParams {
    uint32_t width, height;
    int colorFormat;      // of the rows: Y_ONLY or CF_RGB
    int bitDepth;         // of the rows
    uint32_t bitsPerUnit; // of a row pixel
    bool rgb;             // rows in R, G, B order
    uint8_t quantiser;    // 0 lossless
    int internalFormat;   // Y_ONLY, YUV_420, YUV_422 or YUV_444
    int overlap;          // 0, 1 or 2
    uint32_t channels;    // including alpha
    uint8_t alphaMode;    // 0 none, 3 alpha after the image plane
};
struct ILJxrEncoder;
ILJxrEncoder* ILJxrEncodeStart(ILJxrStream* stream, const ILJxrEncodeParams& p);
bool ILJxrEncodeRows(ILJxrEncoder* e, const uint8_t* rows, size_t count, size_t stride);
// Finishes the code-stream and frees the encoder; false when that failed.
bool ILJxrEncodeEnd(ILJxrEncoder* e);
