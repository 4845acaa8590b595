// UTF-16 paths to UTF-8 and back, and the file-system calls by wide path.
#include "imglib/io/path.h"

#include <cerrno>
#include <cstdlib>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Converts for a file-system call; sets errno when the path cannot name a file.
std::optional<std::string> FileSystemPath(const char16_t* path) {
    auto utf8 = ILPathToUtf8(path);
    if (!utf8) errno = path ? EILSEQ : EINVAL;
    return utf8;
}

} // namespace

std::optional<std::string> ILPathToUtf8(const char16_t* path) {
    if (!path) return std::nullopt;
    try {
        std::string out;
        for (const char16_t* p = path; *p; ++p) {
            uint32_t c = *p;
            if (c >= 0xD800 && c <= 0xDBFF) {
                const uint32_t low = p[1];
                if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++p;
            } else if (c >= 0xDC00 && c <= 0xDFFF) {
                return std::nullopt;
            }
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::u16string ILUtf8ToPath(const std::string& utf8) try {
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        uint32_t c = 0xFFFD;
        size_t len = 1;
        uint32_t min = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, c = b & 0x07, min = 0x10000;
        } else {
            len = 0; // stray continuation or invalid lead byte
        }
        if (len == 0) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        bool ok = i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += len;
    }
    return out;
} catch (const std::bad_alloc&) {
    return {};
}

FILE* ILPathOpen(const char16_t* path, const char* mode) {
    const auto utf8 = FileSystemPath(path);
    if (!utf8) return nullptr;
    return std::fopen(utf8->c_str(), mode);
}

bool ILPathStatOf(const char16_t* path, ILPathStat* out) {
    const auto utf8 = FileSystemPath(path);
    if (!utf8) return false;
#ifdef STATX_BTIME
    struct statx st {};
    if (::statx(AT_FDCWD, utf8->c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return false;
    if (out) {
        out->size = st.stx_size;
        out->created = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_ctime.tv_sec;
        out->modified = st.stx_mtime.tv_sec;
        out->isDirectory = S_ISDIR(st.stx_mode);
    }
#else
    struct stat st {};
    if (::stat(utf8->c_str(), &st) != 0) return false;
    if (out) {
        out->size = static_cast<uint64_t>(st.st_size);
        out->created = st.st_ctime;
        out->modified = st.st_mtime;
        out->isDirectory = S_ISDIR(st.st_mode);
    }
#endif
    return true;
}

bool ILPathExists(const char16_t* path) {
    return ILPathStatOf(path, nullptr);
}

bool ILPathRemove(const char16_t* path) {
    const auto utf8 = FileSystemPath(path);
    if (!utf8) return false;
    return std::remove(utf8->c_str()) == 0;
}

bool ILPathRename(const char16_t* from, const char16_t* to) {
    const auto a = FileSystemPath(from);
    if (!a) return false;
    const auto b = FileSystemPath(to);
    if (!b) return false;
    return std::rename(a->c_str(), b->c_str()) == 0;
}

std::u16string ILPathFinal(const char16_t* path) {
    const auto utf8 = FileSystemPath(path);
    if (!utf8) return path ? std::u16string(path) : std::u16string();
    char* resolved = ::realpath(utf8->c_str(), nullptr);
    if (!resolved) return std::u16string(path);
    std::u16string wide;
    try {
        wide = ILUtf8ToPath(resolved);
    } catch (const std::bad_alloc&) {
        // the given path serves, below
    }
    std::free(resolved);
    return wide.empty() ? std::u16string(path) : wide;
}

bool ILPathCopyMode(const char16_t* from, const char16_t* to) {
    const auto a = FileSystemPath(from);
    if (!a) return false;
    const auto b = FileSystemPath(to);
    if (!b) return false;
    struct stat st {};
    return ::stat(a->c_str(), &st) == 0 && ::chmod(b->c_str(), st.st_mode & 07777) == 0;
}
