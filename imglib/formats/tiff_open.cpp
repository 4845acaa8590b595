// Opening TIFF files through libtiff 4.5 with handlers of the file's own:
// libtiff's process-wide handlers cannot tell which load raised a message,
// the per-file ones carry the handle.
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "imglib/formats/tiff.h"
#include "imglib/io/path.h"

namespace {

// The message as one line of at most 511 characters.
void Format(char (&text)[512], const char* format, va_list args) {
    std::vsnprintf(text, sizeof text, format, args);
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

} // namespace

int ILTiffErrorHandler(TIFF* tif, void* handle, const char*, const char* format, va_list args) {
    if (tif) {
        if (auto* count = static_cast<uint32_t*>(TIFFGetClientInfo(tif, kTiffErrorCount))) ++*count;
    }
    char text[512] = {};
    Format(text, format, args);
    ILError(static_cast<ILHandle*>(handle), text);
    return 1; // handled: libtiff's process-wide handler stays silent
}

int ILTiffWarningHandler(TIFF*, void* handle, const char*, const char* format, va_list args) {
    char text[512] = {};
    Format(text, format, args);
    ILWarning(static_cast<ILHandle*>(handle), text);
    return 1;
}

TIFF* ILTiffOpen(ILHandle* h, const char16_t* path, const char* mode, uint64_t maxAlloc) {
    const auto utf8 = ILPathToUtf8(path);
    if (!utf8) return nullptr;
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), ILTiffErrorHandler, h);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ILTiffWarningHandler, h);
    if (maxAlloc)
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(maxAlloc));
    return TIFFOpenExt(utf8->c_str(), mode, options.get());
}
