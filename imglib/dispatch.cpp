// Load and save dispatch through the format table.
#include <atomic>
#include <ctime>
#include <new>
#include <random>
#include <string>

#include "imglib/format.h"
#include "imglib/io/path.h"

namespace {

// Runs a codec; exceptions end here, as failures reported through the handle.
template <typename Call>
ILResult RunCodec(ILHandle* h, Call&& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, 0);
    } catch (...) {
        return ILReportInternalError(h);
    }
}

uint32_t TempSeed() {
    try {
        return std::random_device{}();
    } catch (...) {
        return static_cast<uint32_t>(std::time(nullptr));
    }
}

// The extension of a path, with its dot; empty when the last name has none.
std::u16string ExtensionOf(const std::u16string& path) {
    const size_t dot = path.rfind(u'.');
    const size_t slash = path.find_last_of(u"/\\");
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return {};
    return path.substr(dot);
}

// "dir/name.~vx1234.ext" beside "dir/name.ext": the same folder, so that the
// rename cannot cross file systems, and the extension the caller gave, which
// savers may look at. Empty when no free name turns up.
std::u16string TempPathBeside(const std::u16string& path, const std::u16string& extension) {
    static std::atomic<uint32_t> next{TempSeed()};
    const std::u16string stem = path.substr(0, path.size() - ExtensionOf(path).size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string number = std::to_string(next.fetch_add(1) % 1000000);
        std::u16string temp = stem + u".~vx";
        temp.append(number.begin(), number.end());
        temp += extension;
        if (!ILPathExists(temp.c_str())) return temp;
    }
    return {};
}

// Saves through a temporary file that replaces the target only on success.
ILResult SaveReplacing(ILHandle* h, ILSaveProc save, const char16_t* givenPath,
                       const ILImage* image, const ILInfo* info) {
    // A symbolic link is saved through: renaming over the link itself would
    // leave the picture it points to unchanged and the link gone.
    const std::u16string finalPath = ILPathFinal(givenPath);
    const char16_t* path = finalPath.c_str();
    // The rename below would also replace a file the user may not write to.
    const bool replacing = ILPathExists(path);
    if (replacing) {
        FILE* probe = ILPathOpen(path, "ab");
        if (!probe) return ILReportErrno(h, false);
        std::fclose(probe);
    }
    const std::u16string temp = TempPathBeside(finalPath, ExtensionOf(givenPath));
    if (temp.empty()) return ILReportOpenFailed(h, false);
    const ILResult result = RunCodec(h, [&] { return save(h, temp.c_str(), image, info); });
    if (result != IL_OK) {
        ILPathRemove(temp.c_str());
        return result;
    }
    // The new file is created with default permissions; a file kept private
    // must not turn readable by others because it was saved again. Should the
    // mode not carry over, the picture is still saved.
    if (replacing) ILPathCopyMode(path, temp.c_str());
    if (!ILPathRename(temp.c_str(), path)) {
        const ILResult failed = ILReportErrno(h, false);
        ILPathRemove(temp.c_str());
        return failed;
    }
    return IL_OK;
}

} // namespace

ILResult ILLoadImage(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    if (!ILCheckHandle(h) || !path || (!image && !info)) return IL_BAD_ARGUMENT;
    const ILFormat& row = ILGetFormatRow(ILFindFormatRow(path));
    if (!row.load) return IL_UNSUPPORTED_FORMAT;
    const ILResult result = RunCodec(h, [&] { return row.load(h, path, image, info); });
    ILSetModuleName(h, nullptr);
    if (image && result < IL_OK) ILClearImage(image);
    return result;
}

ILResult ILSaveImage(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!ILCheckHandle(h) || !path || !image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const ILFormat& row = ILGetFormatRow(ILFindFormatRow(path));
    if (!row.save) return IL_UNSUPPORTED_FORMAT;
    ILResult result;
    try {
        result = SaveReplacing(h, row.save, path, image, info);
    } catch (const std::bad_alloc&) {
        result = ILReportOutOfMemory(h, 0);
    }
    ILSetModuleName(h, nullptr);
    return result;
}
