// Thumbnail load: the file's loader (JPEG decodes at a reduced DCT scale
// when the handle has a thumbnail edge), then the fast resampler into an
// 8-bit B, G, R image that fits a square of the edge.
#include <algorithm>

#include "imglib/format.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/resample.h"

ILResult ILLoadThumbnail(ILHandle* h, const char16_t* path, ILImage* target) {
    if (!ILCheckHandle(h) || !path || !target || h->thumbnailEdge == 0) return IL_BAD_ARGUMENT;
    ILImageOwner loaded;
    const ILResult r = ILLoadImage(h, path, &loaded.image, nullptr);
    if (r != IL_OK) return r;

    // Fit into the square, never enlarging; 64-bit products, and never a
    // side of 0 (a 1000 x 1 image keeps one row).
    const uint64_t e = h->thumbnailEdge, w = loaded.image.width, hgt = loaded.image.height;
    uint64_t tw = w, th = hgt;
    if (w < hgt) {
        if (hgt > e) {
            tw = w * e / hgt;
            th = e;
        }
    } else if (w > e) {
        th = hgt * e / w;
        tw = e;
    }
    tw = std::max<uint64_t>(tw, 1);
    th = std::max<uint64_t>(th, 1);
    if (ILReallocImage(target, static_cast<uint32_t>(tw), static_cast<uint32_t>(th),
                       IL_BGR8, nullptr) != IL_OK)
        return IL_OUT_OF_MEMORY;
    return ILResampleFast(&loaded.image, target);
}
