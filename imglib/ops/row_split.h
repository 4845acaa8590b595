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

// The threads that ILSplitRows may use for an image of this many pixels:
// scratch memory for that many slots is what a caller prepares.
unsigned ILRowSlots(uint64_t pixels);

// rows(slot, first, end) computes rows [first, end) with slot < slots;
// IL_CANCELLED when the progress procedure answered false (rows not started
// then stay as they were).
ILResult ILSplitRows(ILHandle* h, uint32_t height, unsigned slots, ILProgressAt at,
                     const workpool::Body& rows);
