// WebP writing through libwebp 1.2's simple lossy encoder at the handle's
// quality: B, G, R images, or B, G, R, A when the image has alpha; other
// pixel types are converted to one of these first.
// Not written: lossless files, metadata chunks.
#include <webp/encode.h>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/pixel_type.h"
#include "imglib/formats/webp.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"

namespace {

// libwebp answers its own sizes of 20 bytes or less only on failure.
constexpr size_t kMinEncodedBytes = 20;

struct WebPBytesFree {
    void operator()(uint8_t* p) const { WebPFree(p); }
};

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image) {
    // libwebp would answer "Out of memory" for these.
    if (image->width > kWebPMaxDimension || image->height > kWebPMaxDimension) {
        ILErrorF(h, "Image of %u x %u pixels exceeds the WebP limit of %u pixels", image->width,
                 image->height, kWebPMaxDimension);
        return IL_BAD_ARGUMENT;
    }
    const ILImage* source = image;
    ILImageOwner converted;
    if (image->type != IL_BGR8 && image->type != IL_BGRA8) {
        const ILPixelType target = ILHasAlpha(image->type) ? IL_BGRA8 : IL_BGR8;
        ILConverterOwner converter;
        ILConverterSetImageTarget(&converter.c, image, target);
        if (!ILConverterPrepare(&converter.c)) return ILReportUnsupportedDataFormat(h);
        if (ILAllocImage(&converted.image, image->width, image->height, target, nullptr) != IL_OK)
            return ILReportOutOfMemory(h, ILImageBufferSize(image->width, image->height, target));
        for (uint32_t y = 0; y < image->height; ++y)
            converter.c.rowKernel(&converter.c, image->data + int64_t{y} * image->stride,
                                  converted.image.data + int64_t{y} * converted.image.stride);
        source = &converted.image;
    }

    ILFileWriter file;
    const ILResult opened = file.Open(h, path);
    if (opened != IL_OK) return opened;
    const float quality = static_cast<float>(h->webpQuality);
    const int width = static_cast<int>(source->width);
    const int height = static_cast<int>(source->height);
    const int stride = static_cast<int>(source->stride);
    uint8_t* out = nullptr;
    const size_t size = source->type == IL_BGRA8
                            ? WebPEncodeBGRA(source->data, width, height, stride, quality, &out)
                            : WebPEncodeBGR(source->data, width, height, stride, quality, &out);
    std::unique_ptr<uint8_t, WebPBytesFree> encoded(out);
    if (size <= kMinEncodedBytes) {
        ILError(h, "Out of memory");
        return IL_OUT_OF_MEMORY;
    }
    if (file.Write(encoded.get(), size) != size || !file.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSaveWebP(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kWebPModule, [&] { return Save(h, path, image); });
}
