// Aligned memory for pixel buffers and working rows.
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "imglib/image.h"

namespace {
constexpr uint64_t kAlignment = 16;
constexpr uint64_t kHugePage = uint64_t{2} << 20;

// Large image buffers go on huge pages where the system offers them: a fresh
// block of many megabytes otherwise costs a page fault every 4 KiB on its
// first write, a large share of decoding or converting a big image. Blocks
// of a few huge pages take them when rounding up wastes at most an eighth.
void* AllocateLarge(uint64_t bytes) {
#ifdef __linux__
    const uint64_t huge = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    if (bytes >= 4 * kHugePage || (bytes >= kHugePage && huge - bytes <= bytes / 8)) {
        if (huge < bytes) return nullptr;
        void* p = std::aligned_alloc(kHugePage, huge);
        if (p) madvise(p, huge, MADV_HUGEPAGE);
        return p;
    }
#endif
    // aligned_alloc wants a multiple of the alignment; a zero-byte request
    // still gets a distinct block so that null always means failure.
    const uint64_t rounded = bytes == 0 ? kAlignment : (bytes + kAlignment - 1) & ~(kAlignment - 1);
    return rounded < bytes ? nullptr : std::aligned_alloc(kAlignment, rounded);
}
} // namespace

void* ILAlloc(ILHandle* h, uint64_t bytes) {
    void* p = AllocateLarge(bytes);
    if (!p) ILReportOutOfMemory(h, bytes);
    return p;
}

void ILFree(void* p) {
    std::free(p);
}
