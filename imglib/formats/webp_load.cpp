// WebP reading through libwebp 1.2: lossy (VP8) and lossless (VP8L) still
// images, with or without alpha, decoded straight into B, G, R or B, G, R, A
// 8-bit images from the whole file held in memory.
// Not handled: animations (libwebp's simple decoder refuses them), the ICC,
// EXIF and XMP chunks.
#include <webp/decode.h>

#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/pixel_type.h"
#include "imglib/formats/webp.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

void FillInfo(ILInfo* info, const WebPBitstreamFeatures& f) {
    info->formatId = IL_FORMAT_WEBP;
    info->width = static_cast<uint32_t>(f.width);
    info->height = static_cast<uint32_t>(f.height);
    info->channels = f.has_alpha ? 4 : 3;
    info->bitsPerPixel = f.has_alpha ? 32 : 24;
    info->ppiX = info->ppiY = 0;
    info->colorType = IL_CT_YUV;
    info->compression = IL_COMP_VP8;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFileReader file;
    const ILResult opened = file.Open(h, path, info);
    if (opened != IL_OK) return opened;
    // ILOpenRead has checked the size against the file system: the buffer is
    // backed by bytes that exist.
    ILBuffer<uint8_t> data(static_cast<uint8_t*>(ILAlloc(h, file.size)));
    if (!data) return IL_OUT_OF_MEMORY;
    if (file.Read(data.get(), file.size) != file.size) return ILReportReadFailed(h);
    file.Close();

    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data.get(), file.size, &features) != VP8_STATUS_OK)
        return ILReportInvalidHeader(h);
    if (info) FillInfo(info, features);
    if (!image) return IL_OK;

    ILClearImage(image);
    const uint32_t width = static_cast<uint32_t>(features.width);
    const uint32_t height = static_cast<uint32_t>(features.height);
    const ILPixelType type = features.has_alpha ? IL_BGRA8 : IL_BGR8;
    if (!ILClaimIsBacked(width, height, file.size))
        return ILReportUnbackedClaim(h, width, height, file.size);
    const uint64_t bytes = ILImageBufferSize(width, height, type);
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
    if (ILReallocImage(image, width, height, type, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, type));
    const size_t size = static_cast<size_t>(image->stride) * height;
    const int stride = static_cast<int>(image->stride);
    const uint8_t* decoded =
        features.has_alpha ? WebPDecodeBGRAInto(data.get(), file.size, image->data, size, stride)
                           : WebPDecodeBGRInto(data.get(), file.size, image->data, size, stride);
    return decoded ? IL_OK : ILReportDecompressionFailed(h);
}

} // namespace

ILResult ILLoadWebP(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kWebPModule, image, [&] { return Load(h, path, image, info); });
}
