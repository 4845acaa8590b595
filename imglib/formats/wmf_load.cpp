// Windows and enhanced metafile reading: the headers give the info record
// and the raster size; the registered renderer (the platform's graphics
// interface) plays the metafile onto white, and the B, G, R surface becomes
// the image.
// Not handled without a renderer: the pixels (answered with -3).
#include <atomic>
#include <cinttypes>
#include <cstring>

#include "imglib/convert/converter.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/wmf.h"
#include "imglib/io/file_owner.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"
#include "imglib/memory_budget.h"
#include "imglib/metadata/info.h"
#include "imglib/pixel_type.h"

namespace {

// Metafiles are small; larger files are not read into memory.
constexpr uint64_t kMaxMetafileBytes = uint64_t{256} << 20;

std::atomic<ILMetafileRenderer> g_renderer{nullptr};

void FillInfo(ILInfo* info, uint32_t width, uint32_t height) {
    info->formatId = IL_FORMAT_WMF;
    info->width = width;
    info->height = height;
    info->channels = 3;
    info->bitsPerPixel = 24;
    info->colorType = IL_CT_RGB;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFilePtr file;
    uint64_t size = 0;
    const ILResult opened = ILOpenReadOwned(h, path, &file, info, &size);
    if (opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    if (size > kMaxMetafileBytes) return ILReportInvalidHeader(h);
    ILBuffer<uint8_t> bytes(static_cast<uint8_t*>(ILAlloc(h, size)));
    if (!bytes) return IL_OUT_OF_MEMORY;
    if (std::fread(bytes.get(), 1, size, file.get()) != size) return ILReportReadFailed(h);
    file.reset();

    ILMetafileHeader header;
    if (!ILParseMetafileHeader(bytes.get(), size, &header)) return IL_CANNOT_OPEN;
    uint32_t width = 0, height = 0;
    if (!ILMetafileRasterSize(header, &width, &height)) return ILReportInvalidHeader(h);
    if (info) FillInfo(info, width, height);
    if (!image) return IL_OK;

    const ILMetafileRenderer renderer = g_renderer.load();
    if (!renderer) return ILReportUnsupportedDataFormat(h);
    // The surface and the image it becomes.
    const uint64_t surfaceBytes = 2 * ILImageBufferSize(width, height, IL_BGR8);
    if (const ILResult r = ILCheckImageBudget(h, surfaceBytes); r != IL_OK) return r;
    ILImageOwner surface;
    if (ILAllocImage(&surface.image, width, height, IL_BGR8, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, IL_BGR8));
    std::memset(surface.image.data, 0xFF, static_cast<size_t>(surface.image.stride) * height);
    const ILMetafileJob job{bytes.get() + header.wmfOffset,
                            size - header.wmfOffset,
                            &header,
                            width,
                            height,
                            surface.image.data,
                            surface.image.stride};
    const ILResult played = renderer(job);
    switch (played) {
        case IL_OK:
            break;
        case IL_INVALID_HEADER:
            return ILReportInvalidHeader(h);
        case IL_OUT_OF_MEMORY:
            ILErrorF(h, "Unable to create a drawing surface of %u x %u pixels", width, height);
            return IL_OUT_OF_MEMORY;
        default:
            return played;
    }

    const ILPixelType target = ILGetLoadPixelType(h, IL_BGR8, false);
    if (target == IL_BGR8) {
        ILMoveImage(image, &surface.image, true, false);
        return IL_OK;
    }
    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, target));
    ILConverterOwner converter;
    ILConverterSetModes(&converter.c, IL_BGR8, target, width);
    if (!ILConverterPrepare(&converter.c)) return ILReportUnsupportedDataFormat(h);
    for (uint32_t y = 0; y < height; ++y)
        converter.c.rowKernel(&converter.c, surface.image.data + int64_t{y} * surface.image.stride,
                              image->data + int64_t{y} * image->stride);
    return IL_OK;
}

} // namespace

ILMetafileRenderer ILSetMetafileRenderer(ILMetafileRenderer renderer) {
    return g_renderer.exchange(renderer);
}

ILResult ILLoadWMF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kWmfModule, image, [&] { return Load(h, path, image, info); });
}
