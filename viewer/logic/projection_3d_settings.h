// The settings of the 3D Projection dialog over its action record
// (ILProjectionParams): defaults, the target size shown after a change of
// projections or size mode, what a stored record puts into the controls, and
// the record an apply leaves in the history.
#pragma once

#include <cstdint>

#include "imglib/color.h"
#include "imglib/ops/projection.h"

inline constexpr int32_t kProjectionSizeMaximum = 99999; // width and height fields
inline constexpr int32_t kProjectionAngleMaximum = 359;  // rotation fields, from 0
inline constexpr int32_t kOversamplingMaximum = 8;       // oversampling fields, from 1

// Reset: no rotation, oversampling 1, downsample; a wider than high image
// is taken as latitude/longitude to angular, any other as angular to
// latitude/longitude; the size from the shared rule.
ILProjectionParams DefaultProjection3D(uint32_t imageWidth, uint32_t imageHeight,
                                       const ILColor& background);

// After a projection or the size mode changed: modes 1 and 2 take the size
// of the shared rule (ProjectionOutputSize), so what the fields show is what
// replaying gives; in user size (0) the target size stays as the fields show
// it.
void UpdateProjection3DSize(ILProjectionParams* p, uint32_t imageWidth, uint32_t imageHeight);

// A stored record as the controls take it: angles turned into 0 ... 359 and
// truncated, the size into 1 ... 99999, oversampling into 1 ... 8,
// projections and size mode into their ranges, the background into 0 ... 1
// (NaN and huge values from files included); then the size of modes 1 and 2 from the rule.
ILProjectionParams Projection3DFromStored(const ILProjectionParams& stored, uint32_t imageWidth,
                                          uint32_t imageHeight);

// The record of an apply that produced p.width x p.height: when the rule
// would give another size for p's mode (the user edited a size field in
// mode 1 or 2), the record says user size with the applied size, so that
// undo and redo replay the dialog's result.
ILProjectionParams Projection3DRecord(const ILProjectionParams& p, uint32_t imageWidth,
                                      uint32_t imageHeight);
