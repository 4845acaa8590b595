// The library object: options, callbacks and the handle count whose end
// undoes the process-wide set-ups. Also the result codes and message reporting.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imglib/color.h"

using ILResult = int32_t;

// Result codes of every library call.
enum : ILResult {
    IL_OK = 1,
    IL_PARTIAL = 2,
    IL_FAILED = 0,
    IL_CANCELLED = -1,
    IL_BAD_ARGUMENT = -2,
    IL_UNSUPPORTED_FORMAT = -3,
    IL_UNSUPPORTED_PIXEL_TYPE = -4,
    IL_FILE_NOT_FOUND = -5,
    IL_CANNOT_OPEN = -6,
    IL_READ_FAILED = -7,
    IL_WRITE_FAILED = -8,
    IL_EMPTY_FILE = -9,
    IL_INVALID_HEADER = -10,
    IL_INVALID_COMPRESSION = -11,
    IL_REFUSED_CONTENTS = -12,
    IL_OUT_OF_MEMORY = -100,
};

// (module, text) for one error or warning; the result is passed back by
// ILError / ILWarning.
using ILMessageProc = bool (*)(const char* module, const char* text);
// (done, total, user) once per unit of work; false cancels.
using ILProgressProc = bool (*)(uint32_t done, uint32_t total, void* user);

// Option records. Their layout is stored byte for byte in the viewer's
// preferences file: keep sizes and offsets.
struct ILRAWImportOptions {
    uint32_t sampleKind;
    uint32_t interpolation;
    float waveletThreshold;
};
struct ILPCDImportOptions {
    uint32_t sampleKind;
    uint32_t resolution;
};
struct ILPNGOptions {
    uint32_t compression;
    uint32_t interlaced;
    uint8_t gamma;
};
struct ILJPEGOptions {
    uint32_t quality;
    uint8_t progressive;
    uint8_t arithmetic;
    uint8_t subsampling;
    uint8_t embedProfile;
};
struct ILJPEG2000Options {
    uint32_t rate;
    uint32_t layers;
    uint32_t colorFormat;
    uint8_t reversible;
    uint8_t lossless;
    uint8_t subsampling;
};
struct ILJPEGXROptions {
    uint32_t quality;
    uint32_t overlap;
    uint32_t subsampling;
    uint8_t lossless;
};
struct ILTIFFOptions {
    uint8_t byteOrder;
    uint32_t compression;
    uint8_t predictor;
    uint8_t embedProfile;
};
struct ILPGFOptions {
    uint32_t level;
    uint8_t lossless;
};

static_assert(sizeof(ILRAWImportOptions) == 12);
static_assert(sizeof(ILPCDImportOptions) == 8);
static_assert(sizeof(ILPNGOptions) == 12 && offsetof(ILPNGOptions, gamma) == 8);
static_assert(sizeof(ILJPEGOptions) == 8 && offsetof(ILJPEGOptions, embedProfile) == 7);
static_assert(sizeof(ILJPEG2000Options) == 16 && offsetof(ILJPEG2000Options, subsampling) == 14);
static_assert(sizeof(ILJPEGXROptions) == 16 && offsetof(ILJPEGXROptions, lossless) == 12);
static_assert(sizeof(ILTIFFOptions) == 12 && offsetof(ILTIFFOptions, compression) == 4 &&
              offsetof(ILTIFFOptions, embedProfile) == 9);
static_assert(sizeof(ILPGFOptions) == 8 && offsetof(ILPGFOptions, lossless) == 4);

inline constexpr uint32_t IL_HANDLE_MAGIC = 208;

struct ILHandle {
    uint32_t magic;
    uint8_t loadMode;
    uint8_t alphaMode;
    ILColor background;
    uint32_t thumbnailEdge;
    uint8_t readMetadata;
    uint8_t writeMetadata;
    ILMessageProc errorProc;
    ILMessageProc warningProc;
    ILProgressProc progressProc;
    void* progressUser;
    const char* module;
    const char* creator;
    uint8_t exrKeepPremultiplied;
    ILRAWImportOptions raw;
    ILPCDImportOptions pcd;
    uint8_t bmpOS2;
    ILPNGOptions png;
    uint8_t pcxRLE;
    uint8_t gifInterlaced;
    ILJPEGOptions jpeg;
    ILJPEG2000Options jpeg2000;
    ILJPEGXROptions jpegxr;
    ILTIFFOptions tiff;
    uint8_t tgaRLE;
    uint8_t pnmASCII;
    uint8_t radianceXYZE;
    uint32_t exrCompression;
    uint32_t reserved;
    ILPGFOptions pgf;
    uint32_t webpQuality;
    // Bytes one image may take while it is loaded (imglib/memory_budget.h).
    uint64_t imageBudget;
};

// Handle life.
ILHandle* ILCreateHandle(const char* creator);
bool ILDestroyHandle(ILHandle* handle);
bool ILCheckHandle(const ILHandle* handle);

// Option getters and setters: false for a bad handle, true otherwise.
bool ILGetBMPOptions(const ILHandle* h, uint8_t* os2);
bool ILSetBMPOptions(ILHandle* h, const uint8_t* os2);
bool ILGetPCXOptions(const ILHandle* h, uint8_t* rle);
bool ILSetPCXOptions(ILHandle* h, const uint8_t* rle);
bool ILGetPNGOptions(const ILHandle* h, ILPNGOptions* o);
bool ILSetPNGOptions(ILHandle* h, const ILPNGOptions* o);
bool ILGetGIFOptions(const ILHandle* h, uint8_t* interlaced);
bool ILSetGIFOptions(ILHandle* h, const uint8_t* interlaced);
bool ILGetJPEGOptions(const ILHandle* h, ILJPEGOptions* o);
bool ILSetJPEGOptions(ILHandle* h, const ILJPEGOptions* o);
bool ILGetJPEG2000Options(const ILHandle* h, ILJPEG2000Options* o);
bool ILSetJPEG2000Options(ILHandle* h, const ILJPEG2000Options* o);
bool ILGetJPEGXROptions(const ILHandle* h, ILJPEGXROptions* o);
bool ILSetJPEGXROptions(ILHandle* h, const ILJPEGXROptions* o);
bool ILGetTIFFOptions(const ILHandle* h, ILTIFFOptions* o);
bool ILSetTIFFOptions(ILHandle* h, const ILTIFFOptions* o);
bool ILGetTGAOptions(const ILHandle* h, uint8_t* rle);
bool ILSetTGAOptions(ILHandle* h, const uint8_t* rle);
bool ILGetPNMOptions(const ILHandle* h, uint8_t* ascii);
bool ILSetPNMOptions(ILHandle* h, const uint8_t* ascii);
bool ILGetRadianceOptions(const ILHandle* h, uint8_t* xyze);
bool ILSetRadianceOptions(ILHandle* h, const uint8_t* xyze);
bool ILGetEXROptions(const ILHandle* h, uint32_t* compression);
bool ILSetEXROptions(ILHandle* h, const uint32_t* compression);
bool ILGetPGFOptions(const ILHandle* h, ILPGFOptions* o);
bool ILSetPGFOptions(ILHandle* h, const ILPGFOptions* o);
bool ILGetWebPOptions(const ILHandle* h, uint32_t* quality);
bool ILSetWebPOptions(ILHandle* h, const uint32_t* quality);
bool ILGetEXRImportOptions(const ILHandle* h, uint8_t* keepPremultiplied);
bool ILSetEXRImportOptions(ILHandle* h, const uint8_t* keepPremultiplied);
bool ILGetRAWImportOptions(const ILHandle* h, ILRAWImportOptions* o);
bool ILSetRAWImportOptions(ILHandle* h, const ILRAWImportOptions* o);
bool ILGetPCDImportOptions(const ILHandle* h, ILPCDImportOptions* o);
bool ILSetPCDImportOptions(ILHandle* h, const ILPCDImportOptions* o);
bool ILGetReservedOption(const ILHandle* h, uint32_t* value);
bool ILGetAlphaMode(const ILHandle* h, uint8_t* mode);
bool ILGetImageMemoryBudget(const ILHandle* h, uint64_t* bytes);
bool ILSetImageMemoryBudget(ILHandle* h, const uint64_t* bytes);

bool ILSetAlphaMode(ILHandle* h, uint8_t mode);
bool ILSetBackgroundColor(ILHandle* h, const ILColor* color);
bool ILSetThumbnailSize(ILHandle* h, uint32_t edge);
bool ILSetLoadModeRGB8(ILHandle* h);
bool ILSkipMetadata(ILHandle* h);
void ILSetModuleName(ILHandle* h, const char* name);
ILMessageProc ILSetErrorProc(ILHandle* h, ILMessageProc proc);
ILMessageProc ILSetWarningProc(ILHandle* h, ILMessageProc proc);
ILProgressProc ILSetProgressProc(ILHandle* h, ILProgressProc proc, void* user);

struct ILInfo;
bool ILShouldWriteTexts(const ILHandle* h, const ILInfo* info);

// Reporting. Texts reach the procedures cut to 511 characters.
inline constexpr size_t IL_MESSAGE_MAX = 511;

bool ILError(ILHandle* h, const char* text);
bool ILWarning(ILHandle* h, const char* text);
bool ILErrorF(ILHandle* h, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool ILWarningF(ILHandle* h, const char* format, ...) __attribute__((format(printf, 2, 3)));

ILResult ILReportInternalError(ILHandle* h);
ILResult ILReportWriteFailed(ILHandle* h);
ILResult ILReportUnsupportedColorFormat(ILHandle* h);
ILResult ILReportUnsupportedDataFormat(ILHandle* h);
ILResult ILReportUnexpectedEnd(ILHandle* h);
ILResult ILReportDecompressionFailed(ILHandle* h);
ILResult ILReportInvalidCompression(ILHandle* h);
ILResult ILReportInvalidHeader(ILHandle* h);
ILResult ILReportReadFailed(ILHandle* h);
ILResult ILReportEmptyFile(ILHandle* h);
ILResult ILReportFileNotFound(ILHandle* h);
ILResult ILReportOpenFailed(ILHandle* h, bool reading);
ILResult ILReportOutOfMemory(ILHandle* h, uint64_t bytes);
// Maps the C library's errno after a failed stat/open.
ILResult ILReportErrno(ILHandle* h, bool reading);

bool ILDefaultErrorHandler(const char* module, const char* text);
bool ILDefaultWarningHandler(const char* module, const char* text);

bool ILProgress(ILHandle* h, uint32_t done, uint32_t total);
