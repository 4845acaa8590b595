// The settings of the Expand dialog: one border for all sides or one per
// side, over the Expand action block.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/actions/action_blocks.h"

inline constexpr int32_t kExpandBorderMaximum = 35000; // every border field, from 0

struct ExpandSettings {
    bool uniform = true;
    int32_t allSides = 0;
    MarginsBlock sides; // left, right, top, bottom
};

// A stored block's borders (each clamped to 0 ... 35000): all equal give the
// all-sides mode with that width, else the per-side mode.
ExpandSettings ExpandFromStored(const MarginsBlock& stored);
// The borders an apply uses and records.
MarginsBlock ExpandMarginsOf(const ExpandSettings& settings);
bool ExpandApplyEnabled(const ExpandSettings& settings);
// The size label: "%i x %i pixel" of the expanded image.
std::string ExpandSizeText(const ExpandSettings& settings, uint32_t imageWidth,
                           uint32_t imageHeight);
