// Tap lists of the resamplers: for each target column (or row) the source
// indices and weights that make it, computed once per pass.
#pragma once

#include <cstdint>
#include <vector>

#include "imglib/ops/resample.h"

struct ILResampleTap {
    float weight;
    float alphaWeight;
    int32_t index; // clamped to the source
};

struct ILResampleTaps {
    std::vector<uint32_t> first; // list i is taps[first[i] .. first[i + 1])
    std::vector<ILResampleTap> taps;
    std::vector<float> sum;           // sum of the list's weights (1 when they cancel)
    std::vector<float> inverseWeight; // 1 / sum
    std::vector<float> inverseAlpha;  // 1 / sum of its alpha weights
    uint32_t longest = 0;             // taps in the longest list
    uint32_t widestSpan = 0;          // source positions from a list's first tap to its last
};

// The lists of target positions 0 .. targetSize - 1 over a source of
// sourceSize. The lists grow as the taps are found, so no count estimate can
// be overrun. Throws std::bad_alloc.
void ILBuildResampleTaps(ILResampleTaps* t, uint32_t targetSize, uint32_t sourceSize,
                         const ILResampleFilter& filter, float (*alphaKernel)(float));
