// The library object: creation and destruction (the last live handle undoes
// the process-wide set-ups) and the options.
#include <atomic>
#include <mutex>
#include <new>

#include "imglib/convert/cms.h"
#include "imglib/handle.h"
#include "imglib/memory_budget.h"
#include "imglib/metadata/info.h"

namespace {

// Handles are created and destroyed on several threads (folder scan, gallery
// export); the count changes under this lock.
std::mutex g_lifeLock;
int32_t g_liveHandles = 0;

// The process-wide set-ups are made on their first need, not here: the XMP
// toolkit by the first parse, the colour-management profiles and plug-in by
// the first colour-managed conversion or profile query, OpenEXR by the first
// EXR load or save; the sRGB tables and the format count are constants. A
// process that only decodes a JPEG pays for none of them.
// With no handle left nobody uses them, so they go now and come back with
// the next need. OpenEXR's static data has no undo and stays.
void EndSharedState() {
    ILEndXmpToolkit();
    ILEndColorManagement();
}

template <typename T>
bool GetOption(const ILHandle* h, T ILHandle::*field, T* out) {
    if (!ILCheckHandle(h) || !out) return false;
    *out = h->*field;
    return true;
}

template <typename T>
bool SetOption(ILHandle* h, T ILHandle::*field, const T* in) {
    if (!ILCheckHandle(h) || !in) return false;
    h->*field = *in;
    return true;
}

} // namespace

ILHandle* ILCreateHandle(const char* creator) {
    auto* h = new (std::nothrow) ILHandle{};
    if (!h) return nullptr;
    h->magic = IL_HANDLE_MAGIC;
    h->loadMode = 0;
    h->alphaMode = 1;
    h->background = ILColor{};
    h->thumbnailEdge = 0;
    h->readMetadata = 1;
    h->writeMetadata = 1;
    h->errorProc = ILDefaultErrorHandler;
    h->warningProc = ILDefaultWarningHandler;
    h->progressProc = nullptr;
    h->progressUser = nullptr;
    h->module = nullptr;
    h->creator = creator;

    // Save options.
    h->bmpOS2 = 0;
    h->png = {.compression = 1, .interlaced = 0, .gamma = 1};
    h->pcxRLE = 1;
    h->gifInterlaced = 0;
    h->jpeg = {
        .quality = 90, .progressive = 1, .arithmetic = 0, .subsampling = 1, .embedProfile = 0};
    h->jpeg2000 = {.rate = 90,
                   .layers = 4,
                   .colorFormat = 1,
                   .reversible = 1,
                   .lossless = 0,
                   .subsampling = 1};
    h->jpegxr = {.quality = 90, .overlap = 0, .subsampling = 0, .lossless = 0};
    h->tiff = {.byteOrder = 0, .compression = 2, .predictor = 1, .embedProfile = 0};
    h->tgaRLE = 1;
    h->pnmASCII = 0;
    h->radianceXYZE = 0;
    h->exrCompression = 3;
    h->reserved = 0;
    h->pgf = {.level = 9, .lossless = 0};
    h->webpQuality = 20;
    // Import options.
    h->exrKeepPremultiplied = 1;
    h->raw = {.sampleKind = 0x60, .interpolation = 1, .waveletThreshold = 0};
    h->pcd = {.sampleKind = 0x60, .resolution = 4};
    h->imageBudget = ILDefaultImageBudget();

    std::lock_guard lock(g_lifeLock);
    ++g_liveHandles;
    return h;
}

bool ILDestroyHandle(ILHandle* h) {
    std::lock_guard lock(g_lifeLock);
    if (!ILCheckHandle(h) || g_liveHandles <= 0) return false;
    if (--g_liveHandles == 0) EndSharedState();
    // A stale pointer to this record then fails the check instead of passing it.
    h->magic = 0;
    delete h;
    return true;
}

bool ILCheckHandle(const ILHandle* h) {
    return h && h->magic == IL_HANDLE_MAGIC;
}

bool ILGetBMPOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::bmpOS2, o);
}
bool ILSetBMPOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::bmpOS2, o);
}
bool ILGetPCXOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::pcxRLE, o);
}
bool ILSetPCXOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::pcxRLE, o);
}
bool ILGetPNGOptions(const ILHandle* h, ILPNGOptions* o) {
    return GetOption(h, &ILHandle::png, o);
}
bool ILSetPNGOptions(ILHandle* h, const ILPNGOptions* o) {
    return SetOption(h, &ILHandle::png, o);
}
bool ILGetGIFOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::gifInterlaced, o);
}
bool ILSetGIFOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::gifInterlaced, o);
}
bool ILGetJPEGOptions(const ILHandle* h, ILJPEGOptions* o) {
    return GetOption(h, &ILHandle::jpeg, o);
}
bool ILSetJPEGOptions(ILHandle* h, const ILJPEGOptions* o) {
    return SetOption(h, &ILHandle::jpeg, o);
}
bool ILGetJPEG2000Options(const ILHandle* h, ILJPEG2000Options* o) {
    return GetOption(h, &ILHandle::jpeg2000, o);
}
bool ILSetJPEG2000Options(ILHandle* h, const ILJPEG2000Options* o) {
    return SetOption(h, &ILHandle::jpeg2000, o);
}
bool ILGetJPEGXROptions(const ILHandle* h, ILJPEGXROptions* o) {
    return GetOption(h, &ILHandle::jpegxr, o);
}
bool ILSetJPEGXROptions(ILHandle* h, const ILJPEGXROptions* o) {
    return SetOption(h, &ILHandle::jpegxr, o);
}
bool ILGetTIFFOptions(const ILHandle* h, ILTIFFOptions* o) {
    return GetOption(h, &ILHandle::tiff, o);
}
bool ILSetTIFFOptions(ILHandle* h, const ILTIFFOptions* o) {
    return SetOption(h, &ILHandle::tiff, o);
}
bool ILGetTGAOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::tgaRLE, o);
}
bool ILSetTGAOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::tgaRLE, o);
}
bool ILGetPNMOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::pnmASCII, o);
}
bool ILSetPNMOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::pnmASCII, o);
}
bool ILGetRadianceOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::radianceXYZE, o);
}
bool ILSetRadianceOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::radianceXYZE, o);
}
bool ILGetEXROptions(const ILHandle* h, uint32_t* o) {
    return GetOption(h, &ILHandle::exrCompression, o);
}
bool ILSetEXROptions(ILHandle* h, const uint32_t* o) {
    return SetOption(h, &ILHandle::exrCompression, o);
}
bool ILGetPGFOptions(const ILHandle* h, ILPGFOptions* o) {
    return GetOption(h, &ILHandle::pgf, o);
}
bool ILSetPGFOptions(ILHandle* h, const ILPGFOptions* o) {
    return SetOption(h, &ILHandle::pgf, o);
}
bool ILGetWebPOptions(const ILHandle* h, uint32_t* o) {
    return GetOption(h, &ILHandle::webpQuality, o);
}
bool ILSetWebPOptions(ILHandle* h, const uint32_t* o) {
    return SetOption(h, &ILHandle::webpQuality, o);
}
bool ILGetEXRImportOptions(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::exrKeepPremultiplied, o);
}
bool ILSetEXRImportOptions(ILHandle* h, const uint8_t* o) {
    return SetOption(h, &ILHandle::exrKeepPremultiplied, o);
}
bool ILGetRAWImportOptions(const ILHandle* h, ILRAWImportOptions* o) {
    return GetOption(h, &ILHandle::raw, o);
}
bool ILSetRAWImportOptions(ILHandle* h, const ILRAWImportOptions* o) {
    return SetOption(h, &ILHandle::raw, o);
}
bool ILGetPCDImportOptions(const ILHandle* h, ILPCDImportOptions* o) {
    return GetOption(h, &ILHandle::pcd, o);
}
bool ILSetPCDImportOptions(ILHandle* h, const ILPCDImportOptions* o) {
    return SetOption(h, &ILHandle::pcd, o);
}
bool ILGetReservedOption(const ILHandle* h, uint32_t* o) {
    return GetOption(h, &ILHandle::reserved, o);
}
bool ILGetAlphaMode(const ILHandle* h, uint8_t* o) {
    return GetOption(h, &ILHandle::alphaMode, o);
}

bool ILGetImageMemoryBudget(const ILHandle* h, uint64_t* o) {
    return GetOption(h, &ILHandle::imageBudget, o);
}
bool ILSetImageMemoryBudget(ILHandle* h, const uint64_t* o) {
    return SetOption(h, &ILHandle::imageBudget, o);
}

bool ILSetAlphaMode(ILHandle* h, uint8_t mode) {
    return SetOption(h, &ILHandle::alphaMode, &mode);
}
bool ILSetBackgroundColor(ILHandle* h, const ILColor* color) {
    return SetOption(h, &ILHandle::background, color);
}
bool ILSetThumbnailSize(ILHandle* h, uint32_t edge) {
    return SetOption(h, &ILHandle::thumbnailEdge, &edge);
}

bool ILSetLoadModeRGB8(ILHandle* h) {
    const uint8_t rgb8 = 1;
    return SetOption(h, &ILHandle::loadMode, &rgb8);
}

bool ILSkipMetadata(ILHandle* h) {
    const uint8_t off = 0;
    return SetOption(h, &ILHandle::readMetadata, &off);
}

void ILSetModuleName(ILHandle* h, const char* name) {
    if (ILCheckHandle(h)) std::atomic_ref<const char*>(h->module).store(name);
}

ILMessageProc ILSetErrorProc(ILHandle* h, ILMessageProc proc) {
    if (!ILCheckHandle(h)) return nullptr;
    ILMessageProc previous = h->errorProc;
    h->errorProc = proc;
    return previous;
}

ILMessageProc ILSetWarningProc(ILHandle* h, ILMessageProc proc) {
    if (!ILCheckHandle(h)) return nullptr;
    ILMessageProc previous = h->warningProc;
    h->warningProc = proc;
    return previous;
}

ILProgressProc ILSetProgressProc(ILHandle* h, ILProgressProc proc, void* user) {
    if (!ILCheckHandle(h)) return nullptr;
    ILProgressProc previous = h->progressProc;
    h->progressProc = proc;
    h->progressUser = user;
    return previous;
}

bool ILShouldWriteTexts(const ILHandle* h, const ILInfo* info) {
    return h && info && (h->writeMetadata & 1) && info->texts.count > 0;
}
