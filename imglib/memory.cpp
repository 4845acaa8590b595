// Aligned memory for pixel buffers and working rows.
#include <cstdlib>

#include "imglib/image.h"

namespace {
constexpr uint64_t kAlignment = 16;
}

void* ILAlloc(ILHandle* h, uint64_t bytes)
{
    // aligned_alloc wants a multiple of the alignment; a zero-byte request
    // still gets a distinct block so that null always means failure.
    uint64_t rounded = bytes == 0 ? kAlignment : (bytes + kAlignment - 1) & ~(kAlignment - 1);
    void* p = rounded < bytes ? nullptr : std::aligned_alloc(kAlignment, rounded);
    if (!p)
        ILReportOutOfMemory(h, bytes);
    return p;
}

void ILFree(void* p)
{
    std::free(p);
}
