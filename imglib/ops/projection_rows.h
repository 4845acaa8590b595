// How the panorama projection runs: interpolated 8-bit sources by rows
// whose map is computed in lanes a span at a time (and mirrored where the
// turn keeps the target's symmetries), everything else through the
// transformer's per-point loop, which is also the reference the rows are
// tested against.
#pragma once

#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/projection_map.h"
#include "imglib/ops/transformer.h"

enum class ILProjectionPath { kFastest, kPerPoint };

// ILProjectImage by the path given (kFastest is ILProjectImage).
ILResult ILProjectImageBy(ILHandle* h, ILImage* source, ILImage* target,
                          const ILProjectionParams* params, ILProjectionPath path);

// The rows of t's target (set up with wrap-around, its disc mask set) from
// the map m, sampled by span.
ILResult ILProjectRows(const ILTransformer* t, const ILProjectionRows& m, ILSpanAtProc span);
