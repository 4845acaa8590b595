// A handle kept for a scope: the library's process-wide state (tables,
// profiles, the XMP toolkit) exists while at least one handle lives, so
// tests that call metadata or table functions without a handle of their own
// hold one of these.
#pragma once

#include "imglib/handle.h"

namespace vxtest {

struct LibraryScope {
    ILHandle* h = ILCreateHandle("Vx test");

    LibraryScope() = default;
    ~LibraryScope() { ILDestroyHandle(h); }
    LibraryScope(const LibraryScope&) = delete;
    LibraryScope& operator=(const LibraryScope&) = delete;
};

} // namespace vxtest
