// Image sizes claimed by the headers of compressed formats whose codec
// library allocates from them (WebP, PGF, JPEG XR, OpenEXR): up to 2^24
// pixels a claim needs no backing; beyond, the file must hold at least one
// byte per 4096 pixels (more than any of these codings packs into a byte of
// a real picture), so that a few bytes cannot ask for gigabytes.
#pragma once

#include <cstdint>

#include "imglib/handle.h"

bool ILClaimIsBacked(uint32_t width, uint32_t height, uint64_t fileSize);
// Every loader's answer to a claim its file cannot back. Reports "Image of W x H pixels cannot come from a file of N bytes" and
// answers -10.
ILResult ILReportUnbackedClaim(ILHandle* h, uint32_t width, uint32_t height, uint64_t fileSize);
