// The rows of an operation, in bands on the process's work pool when the
// image is large enough to gain from more threads, row by row on the
// caller's thread otherwise. Each row is computed as the plain loop would,
// so the result does not depend on the number of threads. The progress
// procedure (which may be the program's) is called on the caller's thread
// only.
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "workpool/work_pool.h"

// Whether progress is reported at the start of each row or at its end (then
// a cancel keeps the rows finished so far).
enum class ILProgressAt { kRowStart, kRowEnd };

// How an image's rows are split: into bands of band rows, on up to slots
// threads (scratch memory for that many slots is what a caller prepares).
// Small images go row by row on the caller's thread.
struct ILRowPlan {
    unsigned slots;
    uint32_t band;
};
ILRowPlan ILPlanRows(uint32_t width, uint32_t height);

// rows(slot, first, end) computes rows [first, end) with slot < plan.slots;
// IL_CANCELLED when the progress procedure answered false (rows not started
// then stay as they were).
ILResult ILSplitRows(ILHandle* h, uint32_t height, const ILRowPlan& plan, ILProgressAt at,
                     const workpool::Body& rows);
