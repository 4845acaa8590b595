// Tap lists. Target position j has its centre at c = (j + 0.5) / scale in
// source pixels; the source pixels i in [floor(c - S), ceil(c + S)) are
// weighed by the kernel at their distance, which is scaled to the target's
// pixels when shrinking (support S = R / scale) so that the kernel widens.
// Taps of weight 0 are dropped; indices beyond the source repeat its edge.
#include <cmath>

#include "imglib/ops/resample_taps.h"

void ILBuildResampleTaps(ILResampleTaps* t, uint32_t targetSize, uint32_t sourceSize,
                         const ILResampleFilter& filter, float (*alphaKernel)(float)) {
    const float scale = static_cast<float>(targetSize) / static_cast<float>(sourceSize);
    const bool shrinking = scale < 1.0f;
    const float support = shrinking ? filter.radius / scale : filter.radius;
    const int32_t last = static_cast<int32_t>(sourceSize) - 1;
    t->first.assign(1, 0);
    t->taps.clear();
    t->sum.clear();
    t->inverseWeight.clear();
    t->inverseAlpha.clear();
    t->longest = 0;
    t->widestSpan = 0;
    t->first.reserve(targetSize + 1);
    t->inverseWeight.reserve(targetSize);
    t->inverseAlpha.reserve(targetSize);
    t->taps.reserve(static_cast<size_t>(targetSize) * static_cast<size_t>(2.0f * support + 3.0f));
    for (uint32_t j = 0; j < targetSize; ++j) {
        const float c = (static_cast<float>(j) + 0.5f) / scale;
        const int32_t begin = static_cast<int32_t>(std::floor(c - support));
        const int32_t end = static_cast<int32_t>(std::ceil(c + support));
        float sumW = 0, sumA = 0;
        for (int32_t i = begin; i < end; ++i) {
            float u = (c - 0.5f) - static_cast<float>(i);
            if (shrinking) u *= scale;
            const float w = filter.kernel(u);
            if (w == 0.0f) continue;
            const float a = alphaKernel(u);
            t->taps.push_back({w, a, i < 0 ? 0 : (i > last ? last : i)});
            sumW += w;
            sumA += a;
        }
        const uint32_t count = static_cast<uint32_t>(t->taps.size()) - t->first.back();
        if (count > t->longest) t->longest = count;
        if (count > 0) {
            const uint32_t span =
                static_cast<uint32_t>(t->taps.back().index - t->taps[t->first.back()].index) + 1;
            if (span > t->widestSpan) t->widestSpan = span;
        }
        t->first.push_back(static_cast<uint32_t>(t->taps.size()));
        // A list whose weights cancel gives 0 rather than infinity.
        t->sum.push_back(sumW != 0.0f ? sumW : 1.0f);
        t->inverseWeight.push_back(sumW != 0.0f ? 1.0f / sumW : 0.0f);
        t->inverseAlpha.push_back(sumA != 0.0f ? 1.0f / sumA : 0.0f);
    }
}
