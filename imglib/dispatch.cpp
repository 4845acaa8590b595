// Load and save dispatch through the format table.
#include <atomic>
#include <ctime>
#include <new>
#include <random>
#include <string>

#include "imglib/format.h"
#include "imglib/path.h"

namespace {

// Runs a codec; exceptions end here, as failures reported through the handle.
template <typename Call>
ILResult RunCodec(ILHandle* h, Call&& call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, 0);
    } catch (...) {
        return ILReportInternalError(h);
    }
}

uint32_t TempSeed()
{
    try {
        return std::random_device {}();
    } catch (...) {
        return static_cast<uint32_t>(std::time(nullptr));
    }
}

// "dir/name.~vx1234.ext" beside "dir/name.ext": the same folder, so that the
// rename cannot cross file systems, and the same extension, which savers may
// look at. Empty when no free name turns up.
std::u16string TempPathBeside(const std::u16string& path)
{
    static std::atomic<uint32_t> next {TempSeed()};
    const size_t dot = path.rfind(u'.');
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string number = std::to_string(next.fetch_add(1) % 1000000);
        std::u16string temp = path.substr(0, dot) + u".~vx";
        temp.append(number.begin(), number.end());
        temp += path.substr(dot);
        if (!ILPathExists(temp.c_str()))
            return temp;
    }
    return {};
}

// Saves through a temporary file that replaces the target only on success.
ILResult SaveReplacing(ILHandle* h, ILSaveProc save, const char16_t* path, const ILImage* image,
                       const ILInfo* info)
{
    // The rename below would also replace a file the user may not write to.
    if (ILPathExists(path)) {
        FILE* probe = ILPathOpen(path, "ab");
        if (!probe)
            return ILReportErrno(h, false);
        std::fclose(probe);
    }
    const std::u16string temp = TempPathBeside(path);
    if (temp.empty())
        return ILReportOpenFailed(h, false);
    const ILResult result = RunCodec(h, [&] { return save(h, temp.c_str(), image, info); });
    if (result != IL_OK) {
        ILPathRemove(temp.c_str());
        return result;
    }
    if (!ILPathRename(temp.c_str(), path)) {
        const ILResult failed = ILReportErrno(h, false);
        ILPathRemove(temp.c_str());
        return failed;
    }
    return IL_OK;
}

}  // namespace

ILResult ILLoadImage(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info)
{
    if (!ILCheckHandle(h) || !path || (!image && !info))
        return IL_BAD_ARGUMENT;
    const ILFormat& row = ILGetFormatRow(ILFindFormatRow(path));
    if (!row.load)
        return IL_UNSUPPORTED_FORMAT;
    const ILResult result = RunCodec(h, [&] { return row.load(h, path, image, info); });
    ILSetModuleName(h, nullptr);
    if (image && result < IL_OK)
        ILClearImage(image);
    return result;
}

ILResult ILSaveImage(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info)
{
    if (!ILCheckHandle(h) || !path || !image || !ILIsValidImage(image))
        return IL_BAD_ARGUMENT;
    const ILFormat& row = ILGetFormatRow(ILFindFormatRow(path));
    if (!row.save)
        return IL_UNSUPPORTED_FORMAT;
    ILResult result;
    try {
        result = SaveReplacing(h, row.save, path, image, info);
    } catch (const std::bad_alloc&) {
        result = ILReportOutOfMemory(h, 0);
    }
    ILSetModuleName(h, nullptr);
    return result;
}
