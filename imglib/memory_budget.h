// The memory budget of one image.
//
// A file's header can claim any size, and padding (comments, unknown chunks)
// makes a file as large as its claim needs. Every loader first bounds the
// claim by the bytes that can carry pixels, then asks, before it allocates
// the image and any whole-image working buffer, whether the bytes fit the
// handle's budget:
//
//     const uint64_t bytes = ILImageBufferSize(width, height, target);
//     if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
//
// Count what the load holds at once for this image: the image itself plus
// buffers of its whole size (libjpeg's coefficients of a progressive file, a
// temporary image in the file's own pixel type); single rows need no check.
// ILImageBufferSize answers UINT64_MAX for sizes that overflow, which no
// budget admits.
//
// The budget starts as a share of the physical memory (ILDefaultImageBudget)
// and is changed with ILSetImageMemoryBudget (handle.h); a fuzzer, or a
// caller that only wants thumbnails, sets a small one.
#pragma once

#include <cstdint>

#include "imglib/handle.h"

// IL_OK when `bytes` fit the handle's budget; otherwise reports "Out of memory
// on allocating <size>" through the handle and answers -100 (IL_OUT_OF_MEMORY);
// -2 for a bad handle.
ILResult ILCheckImageBudget(ILHandle* h, uint64_t bytes);

// A quarter of the physical memory (1 GiB where it cannot be learnt).
uint64_t ILDefaultImageBudget();
