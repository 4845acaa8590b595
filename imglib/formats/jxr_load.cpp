// JPEG XR reading: our container parser around jxrlib's code-stream
// decoder. Read: every bit depth and colour format of the code-stream that
// the library has a pixel type for (1-bit, 8, 16 and 32-bit integers, 16
// and 32-bit fixed point, half and float, 5-5-5, 5-6-5, 10-10-10, RGBE,
// grey, RGB and CMYK), interleaved or separate alpha planes, tiles,
// thumbnails at 1/2, 1/4 and 1/8 size; texts, EXIF, IPTC, XMP and the ICC
// profile of the container.
// Not handled: n-component and YUV output formats, region decoding.
#include <algorithm>
#include <cinttypes>
#include <memory>
#include <optional>
#include <string>

#include "imglib/convert/converter.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jxr.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"
#include "imglib/pixel_type.h"

namespace {

struct StreamCloser {
    void operator()(ILJxrStream* s) const { ILJxrCloseStream(s); }
};

struct ProfileHolder {
    cmsHPROFILE* profile;
    ~ProfileHolder() {
        if (*profile) cmsCloseProfile(*profile);
    }
};

struct Depth {
    ILPixelType kind;
    uint32_t bits; // per sample
    double gamma;
};

std::optional<Depth> DepthOf(int bitDepth) {
    switch (bitDepth) {
        case IL_JXR_BD_1:
        case IL_JXR_BD_1ALT:
            return Depth{IL_KIND_1, 1, 1.0};
        case IL_JXR_BD_8:
            return Depth{IL_KIND_8, 8, 2.2};
        case IL_JXR_BD_16:
            return Depth{IL_KIND_16, 16, 2.2};
        case IL_JXR_BD_16S:
            return Depth{IL_KIND_FIXED16, 16, 1.0};
        case IL_JXR_BD_16F:
            return Depth{IL_KIND_HALF, 16, 1.0};
        case IL_JXR_BD_32:
            return Depth{IL_KIND_32, 32, 2.2};
        case IL_JXR_BD_32S:
            return Depth{IL_KIND_FIXED32, 32, 1.0};
        case IL_JXR_BD_32F:
            return Depth{IL_KIND_FLOAT, 32, 1.0};
        case IL_JXR_BD_5:
            return Depth{IL_KIND_555, 5, 2.2};
        case IL_JXR_BD_10:
            return Depth{IL_KIND_101010, 10, 2.2};
        case IL_JXR_BD_565:
            return Depth{IL_KIND_565, 5, 2.2};
        default:
            return std::nullopt;
    }
}

struct Layout {
    ILPixelType source = 0;
    uint32_t channels = 0;
    uint32_t colorType = 0;
    uint32_t bitsPerSample = 0;
    double gamma = 0;
};

// The source type by colour format; 0 for one the loader does not read.
Layout ChooseLayout(const ILJxrCodeStreamInfo& cs, const Depth& d) {
    Layout l{0, 0, 0, d.bits, d.gamma};
    const ILPixelType order = cs.rgb || d.bits >= 16 ? ILPixelType{IL_ORDER_RGB} : 0u;
    switch (cs.colorFormat) {
        case IL_JXR_Y_ONLY:
            l.source = IL_MODEL_GRAY | d.kind;
            l.channels = 1;
            l.colorType = d.bits == 1 ? IL_CT_MONOCHROME : IL_CT_GRAY;
            break;
        case IL_JXR_CMYK:
            l.source = IL_MODEL_CMYK | d.kind;
            l.channels = 4;
            l.colorType = IL_CT_CMYK;
            l.gamma = 0;
            break;
        case IL_JXR_CF_RGB:
            l.source = IL_MODEL_RGB | d.kind | order;
            l.channels = 3;
            l.colorType = IL_CT_YUV;
            break;
        case IL_JXR_CF_RGBE:
            l.source = IL_MODEL_RGB | IL_KIND_RGBE | order;
            l.channels = 4;
            l.colorType = IL_CT_RGBE;
            l.bitsPerSample = 8;
            l.gamma = 1.0;
            break;
        default:
            break;
    }
    return l;
}

// Bits of one decoded pixel: packed kinds take 16 or 32 bits whole.
uint32_t PixelBits(const Layout& l) {
    switch (ILSampleKind(l.source)) {
        case IL_KIND_555:
        case IL_KIND_565:
            return 16;
        case IL_KIND_101010:
        case IL_KIND_RGBE:
            return 32;
        default:
            return l.bitsPerSample * l.channels;
    }
}

void FillInfo(ILInfo* info, const ILJxrReadState& s, const ILJxrCodeStreamInfo& cs,
              const Layout& l) {
    info->formatId = s.imageOffset ? IL_FORMAT_JXR : IL_FORMAT_JXR_CODESTREAM;
    info->width = cs.width;
    info->height = cs.height;
    if (s.alpha) info->alphaKind = IL_ALPHA_STRAIGHT;
    info->colorType = l.colorType;
    info->channels = l.channels;
    info->bitsPerPixel = l.bitsPerSample * l.channels;
    info->compression = IL_COMP_DCT;
    info->pages = 1;
    if (!info->ppiX) info->ppiX = info->ppiY;
    if (!info->ppiY) info->ppiY = info->ppiX;
    if (!info->ppiX) info->ppiX = info->ppiY = 96;
    if (info->exif) {
        ILExifAddUnsignedRational(info->exif, IL_EXIF_IFD_0, 282, info->ppiX, 1);
        ILExifAddUnsignedRational(info->exif, IL_EXIF_IFD_0, 283, info->ppiY, 1);
    }
    if (!info->gammaKind) {
        info->gamma = l.gamma;
        info->gammaKind = l.gamma == 2.2 ? IL_GAMMA_SRGB : IL_GAMMA_STORED;
    }
    if (cs.tilesX > 1 || cs.tilesY > 1) {
        info->tiled = 1;
        info->tilesX = cs.tilesX;
        info->tilesY = cs.tilesY;
    }
}

// The scale of a thumbnail decode: the largest of 1, 2, 4, 8 that keeps the
// shorter side at the thumbnail edge or more.
uint32_t ThumbnailScale(uint32_t edge, const ILJxrCodeStreamInfo& cs) {
    if (!edge) return 1;
    const uint32_t v = (std::min(cs.width, cs.height) - 1) / edge;
    return v <= 1 ? 1 : v <= 3 ? 2 : v <= 7 ? 4 : 8;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    uint64_t fileSize = 0;
    const ILResult checked = ILOpenRead(h, path, nullptr, info, &fileSize);
    if (checked != IL_OK) return checked;
    const std::optional<std::string> name = ILPathToUtf8(path);
    std::unique_ptr<ILJxrStream, StreamCloser> stream(name ? ILJxrOpenStream(name->c_str(), false)
                                                           : nullptr);
    if (!stream) {
        ILError(h, "Unable to open file for reading");
        return IL_CANNOT_OPEN;
    }
    ILJxrReadState s;
    s.info = info;
    s.fileSize = fileSize;
    ProfileHolder profileHolder{&s.profile};
    ILJxrCodeStreamInfo cs;
    if (ILJxrReadContainer(h, &s, ILJxrStreamFile(stream.get())) != IL_OK ||
        !ILJxrGetInfo(stream.get(), s.imageOffset, &cs))
        return ILReportInvalidHeader(h);

    const std::optional<Depth> depth = DepthOf(cs.bitDepth);
    if (!depth) return ILReportUnsupportedDataFormat(h);
    Layout layout = ChooseLayout(cs, *depth);
    if (!layout.source) return ILReportUnsupportedColorFormat(h);
    uint8_t alphaMode = cs.alphaMode;
    if (s.alpha) {
        layout.source |= IL_EXTRA_ALPHA;
        ++layout.channels;
        if (!s.alphaPlane) alphaMode = 3;
    }
    if (info) FillInfo(info, s, cs, layout);
    if (!image) return IL_OK;

    ILClearImage(image);
    if (!ILClaimIsBacked(cs.width, cs.height, fileSize))
        return ILReportUnbackedClaim(h, cs.width, cs.height, fileSize);
    const ILPixelType target = ILGetLoadPixelType(h, layout.source, true);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint32_t scale = ThumbnailScale(h->thumbnailEdge, cs);
    const uint32_t width = (cs.width + scale - 1) / scale;
    const uint32_t height = (cs.height + scale - 1) / scale;
    ILJxrDecodeJob job;
    job.offset = s.imageOffset;
    job.bitsPerUnit = PixelBits(layout);
    job.outWidth = width;
    job.outHeight = height;
    job.alphaMode = alphaMode;
    job.stride = (size_t{width} * job.bitsPerUnit + 31) / 32 * 4;
    // The image, and the decoder's rows of its size when they are converted.
    const bool direct = target == layout.source && !s.profile;
    const uint64_t bytes =
        ILImageBufferSize(width, height, target) + (direct ? 0 : uint64_t{job.stride} * height);
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, target));

    auto decodeAlphaPlane = [&](uint8_t* out) {
        ILJxrDecodeJob alpha = job;
        alpha.offset = s.alphaOffset;
        alpha.alphaOnly = true;
        if (!ILJxrDecode(stream.get(), alpha, out)) ILWarning(h, "Corrupt alpha channel");
    };
    if (direct) {
        // Straight into the image's rows.
        job.stride = static_cast<size_t>(image->stride);
        if (!ILJxrDecode(stream.get(), job, image->data)) return ILReportDecompressionFailed(h);
        if (s.alphaPlane) decodeAlphaPlane(image->data);
        return IL_OK;
    }

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    if (s.profile && ILPixelModel(layout.source) == IL_MODEL_CMYK)
        ILConverterSetProfile(c, s.profile, ILPixelTypeToLcmsFormat(layout.source));
    ILConverterSetModes(c, layout.source, target, width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    auto convert = [&](const uint8_t* rows, uint32_t first, uint32_t count) {
        for (uint32_t y = 0; y < count; ++y)
            c->rowKernel(c, rows + job.stride * y,
                         image->data + int64_t{first + y} * image->stride);
    };
    if (!s.alphaPlane || h->alphaMode == 0) {
        // Converted band by band as they arrive: no whole decoded copy here.
        if (!ILJxrDecodeBands(stream.get(), job, convert)) return ILReportDecompressionFailed(h);
        return IL_OK;
    }
    // A separate alpha plane joins the decoded rows before they are converted.
    const ILBuffer<uint8_t> rows(static_cast<uint8_t*>(ILAlloc(h, job.stride * height)));
    if (!rows) return IL_OUT_OF_MEMORY;
    if (!ILJxrDecode(stream.get(), job, rows.get())) return ILReportDecompressionFailed(h);
    decodeAlphaPlane(rows.get());
    convert(rows.get(), 0, height);
    return IL_OK;
}

} // namespace

ILResult ILLoadJXR(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kJxrModule, image, [&] { return Load(h, path, image, info); });
}
