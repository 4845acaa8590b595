// Exact quarter turns: every pixel moved, none computed.
#pragma once

#include "imglib/handle.h"
#include "imglib/image.h"

// Writes source turned clockwise by quarterTurns x 90 degrees (1, 2 or 3)
// into destination, allocated by the caller at the turned size in the
// source's type. Calls the progress once per source row and ignores its
// answer: the copy always completes.
void ILRotateQuarterTurns(ILHandle* h, const ILImage* source, ILImage* destination,
                          int quarterTurns);
