// Claimed image sizes against the bytes that can carry them.
#include "imglib/formats/claimed_size.h"

#include <cinttypes>

namespace {

constexpr uint64_t kPixelsAlwaysAllowed = uint64_t{1} << 24;
constexpr uint64_t kPixelsPerFileByte = 4096;

} // namespace

bool ILClaimIsBacked(uint32_t width, uint32_t height, uint64_t fileSize) {
    const uint64_t pixels = uint64_t{width} * height;
    return pixels <= kPixelsAlwaysAllowed || pixels / kPixelsPerFileByte <= fileSize;
}

ILResult ILReportUnbackedClaim(ILHandle* h, uint32_t width, uint32_t height, uint64_t fileSize) {
    ILErrorF(h, "Image of %u x %u pixels cannot come from a file of %" PRIu64 " bytes", width,
             height, fileSize);
    return IL_INVALID_HEADER;
}
