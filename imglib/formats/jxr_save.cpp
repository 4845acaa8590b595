// JPEG XR writing: our container around jxrlib's code-stream encoder, fed
// in bands of 16 rows through the converter. Written: black and white,
// grey 8, 16, half and float, and B, G, R 8 / R, G, B 16, half and float
// with or without alpha (alpha as a plane after the image plane inside the
// code-stream), at the handle's quality, overlap and chroma subsampling, or
// lossless; the texts and the creator as ASCII entries, the resolution.
// Not written: EXIF, IPTC, XMP and ICC entries, tiles.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "imglib/convert/converter.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jxr.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"
#include "imglib/pixel_type.h"

namespace {

constexpr uint32_t kBandRows = 16;
// Two-pixel overlap filters need more than one macroblock of width when the
// chroma is subsampled.
constexpr uint32_t kMinWidthForOverlapTwo = 17;

struct StreamCloser {
    void operator()(ILJxrStream* s) const { ILJxrCloseStream(s); }
};

struct Format {
    uint8_t nn;       // the pixel-format number
    ILPixelType rows; // what the converter writes
    int bitDepth;
};

// By sample kind, model and alpha; none for kinds the format cannot carry.
std::optional<Format> ChooseFormat(ILPixelType type, bool single, bool alpha) {
    switch (ILSampleKind(type)) {
        case IL_KIND_1:
            return Format{0x05, IL_GREY1, IL_JXR_BD_1};
        case IL_KIND_2:
        case IL_KIND_4:
        case IL_KIND_8:
            if (single) return Format{0x08, IL_GREY8, IL_JXR_BD_8};
            return alpha ? Format{0x0F, IL_BGRA8, IL_JXR_BD_8} : Format{0x0C, IL_BGR8, IL_JXR_BD_8};
        case IL_KIND_16:
            if (single) return Format{0x0B, IL_GREY16, IL_JXR_BD_16};
            return alpha ? Format{0x16, IL_RGBA16, IL_JXR_BD_16}
                         : Format{0x15, IL_RGB16, IL_JXR_BD_16};
        case IL_KIND_HALF:
            if (single) return Format{0x3E, IL_GREY_HALF, IL_JXR_BD_16F};
            return alpha ? Format{0x3A, IL_RGBA_HALF, IL_JXR_BD_16F}
                         : Format{0x3B, IL_RGB_HALF, IL_JXR_BD_16F};
        case IL_KIND_FLOAT:
            if (single) return Format{0x11, IL_GREY_FLOAT, IL_JXR_BD_32F};
            return alpha ? Format{0x19, IL_RGBA_FLOAT, IL_JXR_BD_32F}
                         : Format{0x1B, IL_RGB_FLOAT, IL_JXR_BD_32F};
        default:
            return std::nullopt;
    }
}

// The internal colour format: subsampled chroma only where the codec takes
// it (not for floating-point samples, not with two-pixel overlap on images
// of one macroblock's width), else full chroma.
int InternalFormat(const ILJPEGXROptions& o, const Format& f, bool single, uint32_t width) {
    if (single) return IL_JXR_Y_ONLY;
    if (o.lossless || (o.subsampling != 1 && o.subsampling != 2)) return IL_JXR_YUV_444;
    if (f.bitDepth == IL_JXR_BD_16F || f.bitDepth == IL_JXR_BD_32F) return IL_JXR_YUV_444;
    if (o.overlap == 2 && width < kMinWidthForOverlapTwo) return IL_JXR_YUV_444;
    return o.subsampling == 1 ? IL_JXR_YUV_422 : IL_JXR_YUV_420;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    const ILJPEGXROptions& o = h->jpegxr;
    const bool single =
        ILPixelModel(image->type) == IL_MODEL_GRAY || ILBitsPerSample(image->type) == 1;
    const bool alpha = !single && ILHasAlpha(image->type);
    const std::optional<Format> format = ChooseFormat(image->type, single, alpha);
    if (!format) return ILReportUnsupportedDataFormat(h);

    // Rows already of the written type are copied as they stand.
    const bool same = image->type == format->rows;
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (!same) {
        ILConverterSetImageTarget(c, image, format->rows);
        if (single) ILConverterSetAlphaMode(c, 0);
        if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    }

    const uint32_t width = image->width, height = image->height;
    const uint32_t rowBits = ILBitsPerSample(format->rows) * ILChannelCount(format->rows);
    const uint64_t bandStride = (uint64_t{rowBits} * width + 127) / 8;
    ILBuffer<uint8_t> band(static_cast<uint8_t*>(ILAlloc(h, bandStride * kBandRows)));
    if (!band) return IL_OUT_OF_MEMORY;

    const std::optional<std::string> name = ILPathToUtf8(path);
    std::unique_ptr<ILJxrStream, StreamCloser> stream(name ? ILJxrOpenStream(name->c_str(), true)
                                                           : nullptr);
    if (!stream) return ILReportErrno(h, false);
    FILE* file = ILJxrStreamFile(stream.get());

    ILJxrWriteState s;
    s.width = width;
    s.height = height;
    s.info = info;
    s.alpha = alpha;
    ILJxrMakePixelFormat(format->nn, s.pixelFormat);
    if (ILJxrWriteContainer(h, file, &s) != 0) return ILReportWriteFailed(h);
    const off_t start = ftello(file);

    ILJxrEncodeParams p;
    p.width = width;
    p.height = height;
    p.colorFormat = single ? IL_JXR_Y_ONLY : IL_JXR_CF_RGB;
    p.bitDepth = format->bitDepth;
    p.bitsPerUnit = rowBits;
    p.rgb = (format->rows & IL_ORDER_RGB) != 0;
    const uint32_t quality = std::clamp<uint32_t>(o.quality, 1, 100);
    p.quantiser = o.lossless ? 0 : static_cast<uint8_t>(102 - quality);
    p.internalFormat = InternalFormat(o, *format, single, width);
    p.overlap =
        o.lossless ? 0 : (o.overlap == 1 || o.overlap == 2 ? static_cast<int>(o.overlap) : 0);
    p.channels = (single ? 1 : 3) + (alpha ? 1 : 0);
    p.alphaMode = alpha ? 3 : 0;
    ILJxrEncoder* encoder = ILJxrEncodeStart(stream.get(), p);
    if (!encoder) return ILReportWriteFailed(h);

    bool ok = true;
    for (uint32_t y = 0; y < height && ok; y += kBandRows) {
        const uint32_t rows = std::min(kBandRows, height - y);
        for (uint32_t i = 0; i < rows; ++i) {
            const uint8_t* row = image->data + int64_t{y + i} * image->stride;
            if (same)
                std::memcpy(band.get() + bandStride * i, row, (uint64_t{rowBits} * width + 7) / 8);
            else
                c->rowKernel(c, row, band.get() + bandStride * i);
        }
        ok = ILJxrEncodeRows(encoder, band.get(), rows, bandStride);
    }
    ok = ILJxrEncodeEnd(encoder) && ok;
    const off_t end = ftello(file);
    if (!ok || start < 0 || end < start || end - start > UINT32_MAX) return ILReportWriteFailed(h);
    s.imageBytes = static_cast<uint32_t>(end - start);
    if (ILJxrPatchSizes(file, s) != 0) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSaveJXR(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kJxrModule, [&] { return Save(h, path, image, info); });
}
