// Wide (UTF-16) paths for the C library: the library takes char16_t paths
// and the file system wants UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// UTF-8 form of a NUL-terminated UTF-16 path; nullopt for a null pointer or
// invalid UTF-16 (a lone surrogate), which no file can carry.
std::optional<std::string> ILPathToUtf8(const char16_t* path);

// UTF-16 form of a UTF-8 string; invalid sequences become U+FFFD; empty when
// memory runs out.
std::u16string ILUtf8ToPath(const std::string& utf8);

// What stat tells about a path.
struct ILPathStat {
    uint64_t size;
    int64_t created; // seconds since 1970-01-01 UTC; the status change time
                     // where the file system keeps no birth time
    int64_t modified;
    bool isDirectory;
};

// fopen by wide path; nullptr with errno set (EILSEQ for invalid UTF-16,
// EINVAL for a null path).
FILE* ILPathOpen(const char16_t* path, const char* mode);
// stat by wide path; false with errno set when it fails.
bool ILPathStatOf(const char16_t* path, ILPathStat* out);
bool ILPathExists(const char16_t* path);
// remove / rename by wide path; false with errno set when they fail.
bool ILPathRemove(const char16_t* path);
bool ILPathRename(const char16_t* from, const char16_t* to);
// The file a path names once symbolic links are followed: the path itself
// when it names nothing yet or cannot be resolved.
std::u16string ILPathFinal(const char16_t* path);
// Gives `to` the permission bits of `from`; false with errno set when either
// call fails.
bool ILPathCopyMode(const char16_t* from, const char16_t* to);
