// Result reporting: messages to the handle's procedures, the ready-made
// reporters that pair one text with one code, and the progress call.
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "imglib/handle.h"

namespace {

// Names the module of a message raised while no codec has named itself; the
// name then stays until the next codec names itself. Several loads may share
// one handle, so the field is only touched atomically.
const char* CurrentModule(ILHandle* h) {
    std::atomic_ref<const char*> module(h->module);
    const char* expected = nullptr;
    module.compare_exchange_strong(expected, "ImgLib");
    return module.load();
}

bool Send(ILHandle* h, bool error, const char* text) {
    if (!ILCheckHandle(h)) return false;
    ILMessageProc proc = error ? h->errorProc : h->warningProc;
    if (!proc) return true;
    if (!text) text = error ? "Unexpected internal error" : "Unexpected internal warning";
    if (*text == '\0') return false;

    char buffer[IL_MESSAGE_MAX + 1];
    size_t n = strnlen(text, IL_MESSAGE_MAX);
    std::memcpy(buffer, text, n);
    if (!error && n > 0 && buffer[n - 1] == '\n') --n;
    buffer[n] = '\0';
    return proc(CurrentModule(h), buffer);
}

bool SendV(ILHandle* h, bool error, const char* format, va_list args) {
    char buffer[IL_MESSAGE_MAX + 1] = {};
    std::vsnprintf(buffer, sizeof buffer, format ? format : "", args);
    return Send(h, error, buffer);
}

ILResult Report(ILHandle* h, const char* text, ILResult code) {
    ILError(h, text);
    return code;
}

bool PrintDefault(const char* header, const char* module, const char* text) {
    std::fputs(header, stderr);
    if (module)
        std::fprintf(stderr, "ImgLib module %s - %s", module, text ? text : "");
    else
        std::fprintf(stderr, "ImgLib - %s", text ? text : "");
    return std::fflush(stderr) == 0;
}

} // namespace

bool ILError(ILHandle* h, const char* text) {
    return Send(h, true, text);
}

bool ILWarning(ILHandle* h, const char* text) {
    return Send(h, false, text);
}

bool ILErrorF(ILHandle* h, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool result = SendV(h, true, format, args);
    va_end(args);
    return result;
}

bool ILWarningF(ILHandle* h, const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool result = SendV(h, false, format, args);
    va_end(args);
    return result;
}

ILResult ILReportInternalError(ILHandle* h) {
    return Report(h, "Internal error", IL_FAILED);
}
ILResult ILReportWriteFailed(ILHandle* h) {
    return Report(h, "File write failed, disk full?", IL_WRITE_FAILED);
}
ILResult ILReportUnsupportedColorFormat(ILHandle* h) {
    return Report(h, "Unsupported color format", IL_UNSUPPORTED_FORMAT);
}
ILResult ILReportUnsupportedDataFormat(ILHandle* h) {
    return Report(h, "Unsupported data format", IL_UNSUPPORTED_FORMAT);
}
// A truncated file still yields the rows read so far.
ILResult ILReportUnexpectedEnd(ILHandle* h) {
    return Report(h, "Unexpected end of data", IL_PARTIAL);
}
ILResult ILReportDecompressionFailed(ILHandle* h) {
    return Report(h, "Decompression failed", IL_FAILED);
}
ILResult ILReportInvalidCompression(ILHandle* h) {
    return Report(h, "Invalid compression", IL_INVALID_COMPRESSION);
}
ILResult ILReportInvalidHeader(ILHandle* h) {
    return Report(h, "Invalid image file header", IL_INVALID_HEADER);
}
ILResult ILReportReadFailed(ILHandle* h) {
    return Report(h, "File read failed", IL_READ_FAILED);
}
ILResult ILReportEmptyFile(ILHandle* h) {
    return Report(h, "File size is 0 bytes", IL_EMPTY_FILE);
}
ILResult ILReportFileNotFound(ILHandle* h) {
    return Report(h, "File not found", IL_FILE_NOT_FOUND);
}

ILResult ILReportOpenFailed(ILHandle* h, bool reading) {
    return Report(h,
                  reading ? "Unable to open file for reading" : "Unable to open file for writing",
                  IL_CANNOT_OPEN);
}

ILResult ILReportOutOfMemory(ILHandle* h, uint64_t bytes) {
    if (bytes == 0) return Report(h, "Out of memory", IL_OUT_OF_MEMORY);
    // Sizes are rounded up to the unit shown.
    constexpr uint64_t kKiB = 1024, kMiB = 1024 * 1024, kGiB = 1024 * 1024 * 1024;
    uint64_t amount = bytes;
    const char* unit = "bytes";
    if (bytes > kGiB) {
        amount = bytes / kMiB + (bytes % kMiB != 0);
        unit = "MB";
    } else if (bytes > kMiB) {
        amount = bytes / kKiB + (bytes % kKiB != 0);
        unit = "KB";
    }
    char text[64];
    std::snprintf(text, sizeof text, "Out of memory on allocating %" PRIu64 " %s", amount, unit);
    return Report(h, text, IL_OUT_OF_MEMORY);
}

ILResult ILReportErrno(ILHandle* h, bool reading) {
    switch (errno) {
        case ENOENT:
            return ILReportFileNotFound(h);
        case EIO:
            return Report(h, "I/O failure", IL_CANNOT_OPEN);
        case ENOMEM:
            return Report(h, "Not enough OS core memory", IL_CANNOT_OPEN);
        case EACCES:
            return Report(h, "Access denied - file, directory or drive is locked", IL_CANNOT_OPEN);
        case EMFILE:
            return Report(h, "Too many open file handles", IL_CANNOT_OPEN);
        case ENOSPC:
            return Report(h, "Not enough disk space", IL_CANNOT_OPEN);
        case EROFS:
            return Report(h, "Read-only file system", IL_CANNOT_OPEN);
        case ENAMETOOLONG:
            return Report(h, "File name too long", IL_CANNOT_OPEN);
        default:
            return ILReportOpenFailed(h, reading);
    }
}

bool ILDefaultErrorHandler(const char* module, const char* text) {
    return PrintDefault("\nError: ", module, text);
}

bool ILDefaultWarningHandler(const char* module, const char* text) {
    return PrintDefault("\nWarning: ", module, text);
}

bool ILProgress(ILHandle* h, uint32_t done, uint32_t total) {
    if (!h || !h->progressProc) return true;
    return h->progressProc(done, total, h->progressUser);
}
