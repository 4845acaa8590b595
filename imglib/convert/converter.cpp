// The converter record: defaults, setters, preparing, whole-image conversion
// and release; the generic row kernels (copy, lcms2 transform, chain); and the
// facts of a pixel type that the converter and loaders share.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter.h"
#include "imglib/convert/ycbcr_tables.h"

const float ILOrderedDitherF[16] = {0.03125f, 0.53125f, 0.15625f, 0.65625f, 0.78125f, 0.28125f,
                                    0.90625f, 0.40625f, 0.21875f, 0.71875f, 0.09375f, 0.59375f,
                                    0.96875f, 0.46875f, 0.84375f, 0.34375f};

namespace {

// 17 x the 4x4 Bayer value + 1, and (Bayer value + 0.5) / 16, indexed by
// 4 x (x mod 4) + row phase.
constexpr int32_t kDitherOn[16] = {1,  137, 35, 171, 205, 69,  239, 103,
                                   52, 188, 18, 154, 256, 120, 222, 86};
constexpr const float* kDitherOnF = ILOrderedDitherF;
constexpr int32_t kDitherOff[16] = {120, 120, 120, 120, 120, 120, 120, 120,
                                    120, 120, 120, 120, 120, 120, 120, 120};
constexpr float kDitherOffF[16] = {0.46875f, 0.46875f, 0.46875f, 0.46875f, 0.46875f, 0.46875f,
                                   0.46875f, 0.46875f, 0.46875f, 0.46875f, 0.46875f, 0.46875f,
                                   0.46875f, 0.46875f, 0.46875f, 0.46875f};

void DeleteOwnedPalette(ILConverter* c) {
    if (c->ownsPalette) delete c->palette;
    c->palette = nullptr;
    c->ownsPalette = 0;
}

// Tables and mappers are built from one palette; a new palette needs new ones.
void DropPaletteDerived(ILConverter* c) {
    std::free(c->paletteTable);
    c->paletteTable = nullptr;
    delete c->paletteMapper;
    c->paletteMapper = nullptr;
}

bool IsIndexed(ILPixelType t) {
    return (t & IL_MODEL_MASK) == IL_MODEL_INDEXED;
}

} // namespace

ILConverter* ILConverterInit(ILConverter* c) {
    ILConverterClear(c);
    return c;
}

void ILConverterClear(ILConverter* c) {
    *c = ILConverter{};
    ILConverterUseDefaultYCbCr(c);
    c->oneBitWhite = 1;
    c->dither = 1;
    c->ditherMatrix = kDitherOn;
    c->ditherMatrixF = kDitherOnF;
    c->alphaHandling = 1;
}

void ILConverterInitModes(ILConverter* c, ILPixelType source, ILPixelType target, uint64_t width) {
    ILConverterClear(c);
    ILConverterSetModes(c, source, target, width);
}

void ILConverterSetModes(ILConverter* c, ILPixelType source, ILPixelType target, uint64_t width) {
    c->sourceType = source;
    c->targetType = target;
    c->width = width;
    c->needsSelection = 1;
}

// The width is the smaller of the two, so that no row is read or written past
// its end. A colour source bound for an indexed target maps onto the
// target's palette.
void ILConverterSetImages(ILConverter* c, const ILImage* source, const ILImage* target) {
    if (!source || !target) {
        c->sourceType = c->targetType = 0;
        c->width = 0;
        c->rowKernel = nullptr;
        return;
    }
    c->sourceType = source->type;
    c->targetType = target->type;
    c->width = std::min(source->width, target->width);
    ILPalette* palette = source->palette;
    if (!palette && !IsIndexed(source->type) && IsIndexed(target->type)) palette = target->palette;
    ILConverterSetPalette(c, palette);
    c->needsSelection = 1;
}

void ILConverterSetImageTarget(ILConverter* c, const ILImage* source, ILPixelType target) {
    if (!source) {
        c->sourceType = c->targetType = 0;
        c->width = 0;
        c->rowKernel = nullptr;
        return;
    }
    c->sourceType = source->type;
    c->targetType = target;
    c->width = source->width;
    ILConverterSetPalette(c, source->palette);
    c->needsSelection = 1;
}

void ILConverterSetAlphaMode(ILConverter* c, uint8_t mode) {
    c->alphaHandling = mode;
    c->needsSelection = 1;
}

void ILConverterSetBackground(ILConverter* c, const ILColor& color) {
    color.ToBGR8(c->backgroundBGR8);
    color.ToBGR16(c->backgroundBGR16);
    color.ToBGRFloat(c->backgroundBGRF);
    c->backgroundGray8 = color.ToGray8();
    c->backgroundGray16 = color.ToGray16();
    c->backgroundGrayF = color.ToGrayFloat();
    c->needsSelection = 1;
}

void ILConverterSetProfile(ILConverter* c, cmsHPROFILE profile, uint32_t lcmsFormat) {
    if (lcmsFormat == 0) return;
    c->sourceProfile = profile;
    c->sourceFormat = lcmsFormat;
    c->needsSelection = 1;
}

void ILConverterSetDither(ILConverter* c, bool on) {
    if (static_cast<bool>(c->dither) == on) return;
    c->dither = on;
    c->ditherMatrix = on ? kDitherOn : kDitherOff;
    c->ditherMatrixF = on ? kDitherOnF : kDitherOffF;
}

void ILConverterSetPalette(ILConverter* c, ILPalette* palette) {
    if (palette == c->palette) return;
    DeleteOwnedPalette(c);
    DropPaletteDerived(c);
    c->palette = palette;
    c->needsSelection = 1;
}

ILPalette* ILConverterNewPalette(ILConverter* c, uint32_t count) {
    DeleteOwnedPalette(c);
    DropPaletteDerived(c);
    auto* palette = new (std::nothrow) ILPalette();
    if (!palette) return nullptr;
    try {
        palette->Resize(count);
    } catch (const std::bad_alloc&) {
        delete palette;
        return nullptr;
    }
    if (count && !palette->entries) {
        delete palette;
        return nullptr;
    }
    if (count) std::memset(palette->entries, 0, sizeof(ILPaletteEntry) * count);
    c->palette = palette;
    c->ownsPalette = 1;
    c->needsSelection = 1;
    return palette;
}

// The image must end up owning a palette of its own: a borrowed palette is
// copied rather than handed over, so that no palette has two owners.
void ILConverterGivePalette(ILConverter* c, ILImage* target) {
    if (!c->palette || !target || !IsIndexed(target->type)) return;
    if (target->palette == c->palette) {
        c->ownsPalette = 0;
        return;
    }
    ILPalette* given = c->palette;
    if (!c->ownsPalette) {
        given = new (std::nothrow) ILPalette();
        if (!given) return;
        try {
            *given = *c->palette;
        } catch (const std::bad_alloc&) {
            delete given;
            return;
        }
    }
    delete target->palette;
    target->palette = given;
    c->ownsPalette = 0;
}

bool ILConverterHasPalette(const ILConverter* c) {
    return c->palette != nullptr;
}

bool ILConverterIsPlainCopy(const ILConverter* c) {
    return c->rowKernel == ILConverterCopyRow;
}

// At least 256 entries, zeroed, so that an 8-bit code beyond a short palette
// reads a defined entry instead of memory past the table.
bool ILConverterAllocPaletteTable(ILConverter* c, uint32_t bytesPerEntry) {
    c->needsPaletteTable = 1;
    std::free(c->paletteTable);
    c->paletteTable = nullptr;
    if (!c->palette || bytesPerEntry == 0) return false;
    const uint64_t entries = std::max<uint64_t>(c->palette->count, 256);
    c->paletteTable = std::calloc(entries, bytesPerEntry);
    return c->paletteTable != nullptr;
}

// The kernel, its transform and its tables are chosen here, once for all the
// settings made since the last preparation.
bool ILConverterPrepare(ILConverter* c) {
    if (c->needsSelection) {
        ILConverterSelectKernel(c);
        c->needsSelection = 0;
    }
    if (!c->rowKernel) return false;
    // Own YCbCr tables that could not be allocated leave none at all.
    if ((c->sourceType & IL_MODEL_MASK) == IL_MODEL_YCBCR && !c->ycbcrY &&
        c->rowKernel != ILConverterTransformRow)
        return false;
    if (!c->needsPaletteTable) return true;
    if (!c->palette) return false;
    if (c->needsPaletteMapper) {
        if (c->paletteMapper) return true;
        ILPaletteMapper* mapper = nullptr;
        try {
            mapper = new ILPaletteMapper(c->palette);
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!mapper->IsReady()) {
            delete mapper;
            return false;
        }
        c->paletteMapper = mapper;
        return true;
    }
    return c->paletteTable != nullptr;
}

// Both images must have the same size: rows are converted one to one and no
// row is read or written past the narrower image.
bool ILConverterConvertImage(ILConverter* c, ILHandle* h, const ILImage* source, ILImage* target) {
    if (!ILCheckHandle(h) || !source || !target || !source->data || !target->data) return false;
    if (source->width != target->width || source->height != target->height) return false;
    ILConverterSetBackground(c, h->background);
    ILConverterSetImages(c, source, target);
    if (!ILConverterPrepare(c)) return false;
    const uint8_t* in = source->data;
    uint8_t* out = target->data;
    for (uint32_t y = 0; y < source->height; ++y) {
        c->rowKernel(c, in, out);
        in += source->stride;
        out += target->stride;
    }
    return true;
}

void ILConverterFree(ILConverter* c) {
    DeleteOwnedPalette(c);
    DropPaletteDerived(c);
    std::free(c->chainRow);
    c->chainRow = nullptr;
    if (c->transform) cmsDeleteTransform(c->transform);
    c->transform = nullptr;
    ILConverterFreeYCbCr(c);
    c->rowKernel = c->chainFirst = c->chainSecond = nullptr;
}

void ILConverterCopyRow(ILConverter* c, const void* source, void* target) {
    std::memcpy(target, source, c->rowBytes);
}

void ILConverterTransformRow(ILConverter* c, const void* source, void* target) {
    cmsDoTransform(c->transform, source, target, static_cast<cmsUInt32Number>(c->width));
}

void ILConverterChainRow(ILConverter* c, const void* source, void* target) {
    c->chainFirst(c, source, c->chainRow);
    c->chainSecond(c, c->chainRow, target);
}

ILPixelType ILGetLoadPixelType(const ILHandle* h, ILPixelType fileType, bool keepPremultiplied) {
    if (!h) return 0;
    if (h->loadMode == 1) return IL_BGR8;
    if (h->loadMode == 2) return IL_BGRA8;
    if (h->loadMode != 0) return 0;

    uint32_t model = fileType & IL_MODEL_MASK;
    uint32_t kind = fileType & IL_KIND_MASK;
    if (model == IL_MODEL_CMYK || model == IL_MODEL_YCBCR || model == IL_MODEL_LAB)
        model = IL_MODEL_RGB;
    if (model == IL_MODEL_RGB && (kind == IL_KIND_4 || kind == IL_KIND_555 || kind == IL_KIND_565))
        kind = IL_KIND_8;
    switch (kind) {
        case IL_KIND_12:
        case IL_KIND_101010:
            kind = IL_KIND_16;
            break;
        case IL_KIND_FIXED16:
        case IL_KIND_RGBE:
            kind = IL_KIND_HALF;
            break;
        case IL_KIND_32:
        case IL_KIND_FLOAT24:
        case IL_KIND_DOUBLE:
        case IL_KIND_FIXED32:
            kind = IL_KIND_FLOAT;
            break;
        default:
            break;
    }

    uint32_t extra = 0;
    const uint32_t fileExtra = fileType & IL_EXTRA_MASK;
    if (h->alphaMode == 1 && !(fileExtra & IL_EXTRA_FILLER)) {
        extra = fileExtra;
        if (extra == IL_EXTRA_PREMULTIPLIED && !keepPremultiplied) extra = IL_EXTRA_ALPHA;
    }
    return model | kind | extra;
}

uint32_t ILPixelTypeToLcmsFormat(ILPixelType type) {
    const bool bgrOrder = !(type & IL_ORDER_RGB);
    uint32_t format;
    switch (ILPixelModel(type)) {
        case IL_MODEL_GRAY:
            format = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1);
            break;
        case IL_MODEL_RGB:
            format = COLORSPACE_SH(PT_RGB) | CHANNELS_SH(3) | DOSWAP_SH(bgrOrder);
            break;
        case IL_MODEL_CMYK:
            format = COLORSPACE_SH(PT_CMYK) | CHANNELS_SH(4);
            break;
        case IL_MODEL_YCBCR:
            format = COLORSPACE_SH(PT_YCbCr) | CHANNELS_SH(3);
            break;
        case IL_MODEL_LAB:
            format = COLORSPACE_SH(PT_Lab) | CHANNELS_SH(3);
            break;
        default:
            return 0;
    }
    // Half and 24-bit float rows go through the library's formatter plug-in.
    switch (ILSampleKind(type)) {
        case IL_KIND_8:
            format |= BYTES_SH(1);
            break;
        case IL_KIND_16:
            format |= BYTES_SH(2);
            break;
        case IL_KIND_HALF:
            format |= FLOAT_SH(1) | BYTES_SH(IL_LCMS_BYTES_HALF);
            break;
        case IL_KIND_FLOAT24:
            format |= FLOAT_SH(1) | BYTES_SH(IL_LCMS_BYTES_FLOAT24);
            break;
        case IL_KIND_FLOAT:
            format |= FLOAT_SH(1) | BYTES_SH(IL_LCMS_BYTES_FLOAT);
            break;
        default:
            return 0;
    }
    if (ILExtraChannel(type)) {
        format |= EXTRA_SH(1);
        // With do-swap, swap-first describes B, G, R, A in memory.
        if (ILPixelModel(type) == IL_MODEL_RGB && bgrOrder) format |= SWAPFIRST_SH(1);
    }
    return format;
}
