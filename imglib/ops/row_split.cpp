#include "imglib/ops/row_split.h"

#include <algorithm>

namespace {

// Below this many pixels the work takes about a millisecond: waking threads
// would cost more than they gain.
constexpr uint64_t kSplitPixels = uint64_t{1} << 18;
// Bands per thread: enough that threads finishing early take over the rest
// of uneven rows (a rotation's corners are background).
constexpr uint32_t kBandsPerThread = 8;
// At most this many rows a band, so that progress still moves on one
// thread; enough for an operation to walk a band in tiles.
constexpr uint32_t kMaxBand = 64;

} // namespace

ILRowPlan ILPlanRows(uint32_t width, uint32_t height) {
    if (uint64_t{width} * height < kSplitPixels) return {1, 1};
    const unsigned slots = workpool::ThreadCount();
    return {slots, std::clamp(height / (slots * kBandsPerThread), 1u, kMaxBand)};
}

ILResult ILSplitRows(ILHandle* h, uint32_t height, const ILRowPlan& plan, ILProgressAt at,
                     const workpool::Body& rows) {
    if (plan.band <= 1 && plan.slots <= 1) {
        for (uint32_t y = 0; y < height; ++y) {
            if (at == ILProgressAt::kRowStart && !ILProgress(h, y, height)) return IL_CANCELLED;
            rows(0, y, y + 1);
            if (at == ILProgressAt::kRowEnd && !ILProgress(h, y, height)) return IL_CANCELLED;
        }
        return IL_OK;
    }
    const bool done = workpool::Run(
        height, plan.band, rows,
        [h, height, at](uint32_t finished) {
            if (at == ILProgressAt::kRowStart) return ILProgress(h, finished, height);
            return finished == 0 || ILProgress(h, finished - 1, height);
        },
        plan.slots);
    return done ? IL_OK : IL_CANCELLED;
}
