// Image records: sizes, life, moving, copying, aliasing and views, buffers
// handed in by callers, validity and the small setters.
#include <algorithm>
#include <cstring>
#include <new>

#include "imglib/convert/converter.h"
#include "imglib/image.h"

namespace {

uint32_t BitsPerPixel(const ILImage& image) {
    return image.channels * image.bits;
}

// Bytes of one row's pixels without the padding to 32 bits.
uint64_t PixelBytes(const ILImage& image) {
    return (uint64_t{BitsPerPixel(image)} * image.width + 7) / 8;
}

uint32_t PackedStride(const ILImage& image) {
    return ILRowStride(image.width, image.bits, image.channels);
}

void ZeroRecord(ILImage* image) {
    *image = ILImage{};
    image->background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = 0};
}

ILPalette* CopyPalette(const ILPalette* palette) {
    try {
        auto copy = new ILPalette(*palette);
        if (copy->count != palette->count) {
            delete copy;
            return nullptr;
        }
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool IsIndexedType(ILPixelType type) {
    return (type & IL_MODEL_MASK) == IL_MODEL_INDEXED;
}

} // namespace

uint32_t ILRowStride(uint32_t width, uint32_t bits, uint32_t channels) {
    // A row that does not fit 32 bits has no stride: callers see an empty
    // image rather than a buffer too short for its rows.
    uint64_t rowBits = 0;
    if (__builtin_mul_overflow(uint64_t{bits} * channels, uint64_t{width}, &rowBits) ||
        rowBits > UINT32_MAX - 31)
        return 0;
    return static_cast<uint32_t>((rowBits + 31) / 32 * 4);
}

uint64_t ILImageBufferSize(uint32_t width, uint32_t height, ILPixelType type) {
    uint64_t rowBits = uint64_t{ILBitsPerSample(type)} * ILChannelCount(type) * width;
    uint64_t size = 0;
    if (__builtin_mul_overflow((rowBits + 31) / 32 * 4, uint64_t{height}, &size)) return UINT64_MAX;
    return size;
}

void ILInitImage(ILImage* image) {
    *image = ILImage{};
}

ILResult ILCreateImage(ILImage* image, uint32_t width, uint32_t height, ILPixelType type,
                       void* buffer) {
    ILInitImage(image);
    return ILAllocImage(image, width, height, type, buffer);
}

ILResult ILAllocImage(ILImage* image, uint32_t width, uint32_t height, ILPixelType type,
                      void* buffer) {
    image->width = width;
    image->height = height;
    image->type = type;
    image->channels = ILChannelCount(type);
    image->bits = ILBitsPerSample(type);
    image->stride = PackedStride(*image);
    image->ownsData = buffer == nullptr;
    // An even channel count without an extra-channel flag (CMYK, no model) is
    // marked as carrying a filler; the stored type is the caller's only sign.
    if (image->channels % 2 == 0 && (type & IL_EXTRA_MASK) == 0) image->type |= IL_EXTRA_FILLER;

    uint64_t size = static_cast<uint64_t>(image->stride) * height;
    if (size == 0) {
        ZeroRecord(image);
        return IL_BAD_ARGUMENT;
    }
    if (buffer) {
        image->data = static_cast<uint8_t*>(buffer);
        return IL_OK;
    }
    image->data = static_cast<uint8_t*>(ILAlloc(nullptr, size));
    if (!image->data) {
        ZeroRecord(image);
        return IL_OUT_OF_MEMORY;
    }
    return IL_OK;
}

ILResult ILReallocImage(ILImage* image, uint32_t width, uint32_t height, ILPixelType type,
                        void* buffer) {
    ILClearImage(image);
    return ILAllocImage(image, width, height, type, buffer);
}

void ILClearImage(ILImage* image) {
    if (!image) return;
    if (image->ownsData) ILFree(image->data);
    delete image->palette;
    ZeroRecord(image);
}

void ILFreeImage(ILImage* image) {
    ILClearImage(image);
}

void ILMoveImage(ILImage* target, ILImage* source, bool zeroSource, bool keepTargetPalette) {
    if (target == source) return;
    ILPalette* kept = nullptr;
    if (keepTargetPalette) {
        kept = target->palette;
        target->palette = nullptr;
    }
    ILClearImage(target);
    *target = *source;
    if (keepTargetPalette) target->palette = kept;
    if (zeroSource) ZeroRecord(source);
}

ILResult ILAssignImage(ILImage* target, const ILImage* source) {
    if (target == source) return IL_OK;
    if (!source->data || source->width == 0 || source->height == 0) {
        ILClearImage(target);
        return IL_BAD_ARGUMENT;
    }

    // An alias of the source shares its palette, which stays the source's.
    if (target->palette == source->palette) target->palette = nullptr;
    ILPalette* palette = nullptr;
    if (source->palette && !(palette = CopyPalette(source->palette))) {
        ILClearImage(target);
        return IL_OUT_OF_MEMORY;
    }
    delete target->palette;
    target->palette = nullptr;

    // The target's buffer is kept only when it is one contiguous block of the
    // size the copy needs; a view's rows are spread over another image.
    uint32_t rowBytes = PackedStride(*source);
    uint64_t size = uint64_t{rowBytes} * source->height;
    bool reuse = target->data && target->stride == PackedStride(*target) &&
                 static_cast<uint64_t>(target->stride) * target->height == size;
    if (!reuse) {
        if (target->ownsData) ILFree(target->data);
        target->ownsData = 1;
        target->data = size ? static_cast<uint8_t*>(ILAlloc(nullptr, size)) : nullptr;
        if (!target->data) {
            delete palette;
            ZeroRecord(target);
            return size ? IL_OUT_OF_MEMORY : IL_BAD_ARGUMENT;
        }
    }
    target->width = source->width;
    target->height = source->height;
    target->type = source->type;
    target->channels = source->channels;
    target->bits = source->bits;
    target->stride = rowBytes;

    // A source that is a view has rows longer than its pixels (or spread over
    // a larger image): copy the pixels of each row, never past the last one.
    if (source->stride == rowBytes) {
        std::memmove(target->data, source->data, size);
    } else {
        uint64_t pixelBytes = PixelBytes(*source);
        for (uint32_t y = 0; y < source->height; ++y)
            std::memmove(target->data + uint64_t{y} * rowBytes, source->data + y * source->stride,
                         pixelBytes);
    }
    target->palette = palette;
    return IL_OK;
}

void ILAliasImage(ILImage* target, const ILImage* source) {
    if (target == source) return;
    ILClearImage(target);
    *target = *source;
    target->ownsData = 0;
}

ILResult ILViewImageRect(ILImage* target, const ILImage* source, int32_t x, int32_t y, int32_t w,
                         int32_t h) {
    if (target == source) return IL_BAD_ARGUMENT;
    ILClearImage(target);
    if (!source->data) return IL_BAD_ARGUMENT;
    // Clip in 64 bits so that x + w cannot wrap.
    int64_t left = x, top = y, width = w, height = h;
    if (left < 0) {
        width += left;
        left = 0;
    }
    if (top < 0) {
        height += top;
        top = 0;
    }
    if (width <= 0 || height <= 0 || left >= source->width || top >= source->height)
        return IL_BAD_ARGUMENT;
    width = std::min<int64_t>(width, source->width - left);
    height = std::min<int64_t>(height, source->height - top);

    *target = *source;
    target->width = static_cast<uint32_t>(width);
    target->height = static_cast<uint32_t>(height);
    target->ownsData = 0;
    // Below 8 bits per pixel the view starts at the byte holding pixel x.
    target->data = source->data + top * source->stride +
                   static_cast<int64_t>(uint64_t{BitsPerPixel(*source)} * left / 8);
    return IL_OK;
}

ILResult ILImageFromBuffer(ILHandle* h, ILImage* image, bool bottomUp) {
    if (!ILCheckHandle(h) || !image) return IL_BAD_ARGUMENT;
    const uint8_t* buffer = image->data;
    uint32_t stride = static_cast<uint32_t>(image->stride);
    image->data = nullptr;
    image->ownsData = 0;
    if (!buffer || image->width == 0 || image->height == 0) return IL_BAD_ARGUMENT;

    const ILPixelType sourceType = image->type;
    const uint32_t width = image->width, height = image->height;
    const uint32_t bitsPerPixel = ILBitsPerSample(sourceType) * ILChannelCount(sourceType);
    const uint32_t packed = ILRowStride(width, bitsPerPixel, 1);
    if (stride == 0) stride = packed;
    // Rows shorter than their pixels would make the last row reach past the
    // caller's buffer.
    if (packed == 0 || stride < (uint64_t{bitsPerPixel} * width + 7) / 8) return IL_BAD_ARGUMENT;

    // The palette is lent to the converter; the record must not free it when
    // it is reallocated.
    ILPalette* palette = image->palette;
    image->palette = nullptr;
    const ILPixelType targetType = ILGetLoadPixelType(h, sourceType, true);

    ILConverter converter;
    ILConverterInit(&converter);
    ILConverterSetPalette(&converter, palette);
    ILConverterSetAlphaMode(&converter, h->alphaMode);
    ILConverterSetBackground(&converter, h->background);
    ILConverterSetModes(&converter, sourceType, targetType, width);

    auto fail = [&](ILResult result) {
        ILConverterFree(&converter);
        image->palette = palette;
        ILClearImage(image);
        return result;
    };
    if (targetType == 0 || !ILConverterPrepare(&converter))
        return fail(ILReportUnsupportedDataFormat(h));
    if (ILReallocImage(image, width, height, targetType, nullptr) != IL_OK)
        return fail(ILReportOutOfMemory(h, ILImageBufferSize(width, height, targetType)));

    auto sourceRow = [&](uint32_t y) {
        return buffer + uint64_t{bottomUp ? height - 1 - y : y} * stride;
    };
    if (ILConverterIsPlainCopy(&converter)) {
        if (!bottomUp && stride == image->stride) {
            std::memcpy(image->data, buffer, uint64_t{stride} * height);
        } else {
            uint64_t rowBytes = std::min<uint64_t>(stride, image->stride);
            for (uint32_t y = 0; y < height; ++y)
                std::memcpy(image->data + y * image->stride, sourceRow(y), rowBytes);
        }
    } else {
        for (uint32_t y = 0; y < height; ++y)
            converter.rowKernel(&converter, sourceRow(y), image->data + y * image->stride);
    }

    // Only an indexed image keeps a palette; any other target was converted
    // through it and no longer needs it.
    if (IsIndexedType(image->type))
        image->palette = palette;
    else
        delete palette;
    ILConverterFree(&converter);
    return IL_OK;
}

bool ILIsValidImage(const ILImage* image) {
    if (!image || image->width == 0 || image->height == 0 || !image->data) return false;
    const uint32_t c = image->channels;
    switch (BitsPerPixel(*image)) {
        case 1:
        case 2:
        case 4:
        case 8:
            return c == 1 && ((image->type & IL_MODEL_MASK) == IL_MODEL_GRAY || image->palette);
        case 16:
            return c == 1 || c == 2;
        case 24:
        case 48:
        case 96:
            return c == 3;
        case 32:
            return c == 1 || c == 2 || c == 4;
        case 64:
            return c == 2 || c == 4;
        case 128:
            return c == 4;
        default:
            return false;
    }
}

void ILImage::SetExtraChannelBits(uint32_t extraBits) {
    type = (type & ~IL_EXTRA_MASK) | (extraBits & IL_EXTRA_MASK);
}

void ILImage::SetBackgroundBGR8(uint8_t b, uint8_t g, uint8_t r, int32_t index) {
    const uint8_t bgr[3] = {b, g, r};
    background.FromBGR8(bgr);
    background.a = 1;
    background.index = index;
}

void ILImage::SetBackgroundBGR16(uint16_t b, uint16_t g, uint16_t r) {
    const uint16_t bgr[3] = {b, g, r};
    background.FromBGR16(bgr);
    background.a = 1;
    background.index = -1;
}
