// The display names of the action types and the vocabulary their
// descriptions use. Every lookup takes a value as it may come from a file:
// out of range it answers "unknown".
#pragma once

#include <cstdint>

// Line alignments 0-2, the twenty type names (type t at t + 3), anchors 0-8
// and text orientations 0-3 ("90° clockwise" with the Latin-1 degree sign).
inline constexpr int kActionNameCount = 36;
extern const char* const ActionNames[kActionNameCount];

inline constexpr const char* kUnknownName = "unknown";

const char* ActionTypeName(int32_t type);
const char* AlignmentName(int32_t alignment); // the low two bits
const char* AnchorName(int32_t anchor);
const char* OrientationName(int32_t orientation);
const char* ResampleFilterName(int32_t filter);
const char* ProjectionName(int32_t projection);
const char* MappingName(int32_t mapping);
const char* GaussOperationName(int32_t operation); // "sharpen", "blur", "bloom"
