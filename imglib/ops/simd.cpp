#include "imglib/ops/simd.h"

#include <algorithm>
#include <atomic>

namespace {

ILLanes ProcessorLanes() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f")) return ILLanes::k16;
    if (__builtin_cpu_supports("avx2")) return ILLanes::k8;
#endif
    return ILLanes::k4;
}

std::atomic<ILLanes> g_limit{ILLanes::k16};

} // namespace

ILLanes ILWidestLanes() {
    static const ILLanes lanes = ProcessorLanes();
    return std::min(lanes, g_limit.load(std::memory_order_relaxed));
}

void ILLimitLanes(ILLanes widest) {
    g_limit.store(widest, std::memory_order_relaxed);
}
