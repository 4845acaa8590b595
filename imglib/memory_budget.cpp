// The memory budget of one image.
#include "imglib/memory_budget.h"

#include <unistd.h>

namespace {

constexpr uint64_t kFallbackBudget = uint64_t{1} << 30;
constexpr uint64_t kShareOfMemory = 4; // one image may take a quarter

uint64_t PhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

} // namespace

uint64_t ILDefaultImageBudget() {
    static const uint64_t budget = [] {
        const uint64_t memory = PhysicalMemory();
        return memory ? memory / kShareOfMemory : kFallbackBudget;
    }();
    return budget;
}

ILResult ILCheckImageBudget(ILHandle* h, uint64_t bytes) {
    if (!ILCheckHandle(h)) return IL_BAD_ARGUMENT;
    return bytes <= h->imageBudget ? IL_OK : ILReportOutOfMemory(h, bytes);
}
