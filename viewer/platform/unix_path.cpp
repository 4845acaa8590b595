#include "viewer/platform/unix_path.h"

#include <memory>

#include "viewer/platform/wide_text.h"

namespace {

struct UnixNameDeleter {
    void operator()(char* p) const { HeapFree(GetProcessHeap(), 0, p); }
};

} // namespace

std::u16string ToLibraryPath(const WCHAR* dosPath) {
    if (!dosPath || !*dosPath) return {};
    const std::unique_ptr<char, UnixNameDeleter> unixName(wine_get_unix_file_name(dosPath));
    if (!unixName) return {};
    // ImgLib turns its UTF-16 paths into UTF-8 for fopen: a Unix name that is
    // not valid UTF-8 could not make the round trip, so it is refused here.
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unixName.get(), -1, nullptr, 0);
    if (n <= 1) return {};
    const auto wide = std::make_unique<WCHAR[]>(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unixName.get(), -1, wide.get(), n);
    return ToU16(wide.get());
}
