// The support libraries ImgLib is linked with and their versions, read from
// the libraries at run time where they offer it, else as built against.
#pragma once

#include <cstddef>

struct ILLibraryVersion {
    char name[24];
    char version[24];
};

inline constexpr size_t kILLibraryCount = 16;

// Fills `out` with one row per library, in a fixed order; returns the number
// of rows written (at most capacity).
size_t ILGetLibraryVersions(ILLibraryVersion* out, size_t capacity);
