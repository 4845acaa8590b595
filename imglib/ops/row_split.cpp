#include "imglib/ops/row_split.h"

#include <algorithm>

namespace {

// Below this many pixels the work takes about a millisecond: waking threads
// would cost more than they gain.
constexpr uint64_t kSplitPixels = uint64_t{1} << 18;
// Bands per thread: enough that threads finishing early take over the rest
// of uneven rows (a rotation's corners are background).
constexpr uint32_t kBandsPerThread = 8;

} // namespace

unsigned ILRowSlots(uint64_t pixels) {
    return pixels < kSplitPixels ? 1 : workpool::ThreadCount();
}

ILResult ILSplitRows(ILHandle* h, uint32_t height, unsigned slots, ILProgressAt at,
                     const workpool::Body& rows) {
    if (slots <= 1) {
        for (uint32_t y = 0; y < height; ++y) {
            if (at == ILProgressAt::kRowStart && !ILProgress(h, y, height)) return IL_CANCELLED;
            rows(0, y, y + 1);
            if (at == ILProgressAt::kRowEnd && !ILProgress(h, y, height)) return IL_CANCELLED;
        }
        return IL_OK;
    }
    const uint32_t band = std::max(1u, height / (slots * kBandsPerThread));
    const bool done = workpool::Run(
        height, band, rows,
        [h, height, at](uint32_t finished) {
            if (at == ILProgressAt::kRowStart) return ILProgress(h, finished, height);
            return finished == 0 || ILProgress(h, finished - 1, height);
        },
        slots);
    return done ? IL_OK : IL_CANCELLED;
}
