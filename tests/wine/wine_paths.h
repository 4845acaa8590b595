// Paths in Win32 test programs: a DOS path (Z:\tmp\a.png) becomes the Unix
// path ImgLib opens the way the viewer converts it (wine_get_unix_file_name,
// UTF-8, then UTF-16 char16_t). wchar_t is 2 bytes under wineg++ and 4 in
// the native library: only WCHAR (with Win32 string functions) and char16_t
// appear here.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace vxwine {

inline std::string ToUtf8(const WCHAR* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// The library's wide paths are UTF-16 like WCHAR here, but the types stay
// apart: convert through UTF-8 as the viewer's path helper will.
inline std::u16string ToLibraryPath(const char* unixPath) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unixPath, -1, nullptr, 0);
    if (n <= 1) return {};
    auto wide = std::make_unique<WCHAR[]>(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, unixPath, -1, wide.get(), n);
    return std::u16string(wide.get(), wide.get() + (n - 1));
}

struct UnixNameDeleter {
    void operator()(char* p) const { HeapFree(GetProcessHeap(), 0, p); }
};

// The library path of a DOS path; empty when it has no Unix name.
inline std::u16string LibraryPathOf(const WCHAR* dosPath) {
    std::unique_ptr<char, UnixNameDeleter> unixPath(wine_get_unix_file_name(dosPath));
    return unixPath ? ToLibraryPath(unixPath.get()) : std::u16string();
}

} // namespace vxwine
