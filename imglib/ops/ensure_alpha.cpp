// Ensure alpha: convert to the type with alpha; the new alpha samples are
// left for the caller to write.
#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/alpha.h"

namespace {

bool Convert(ILHandle* h, const ILImage* from, ILImage* to) {
    ILConverterOwner converter;
    return ILConverterConvertImage(&converter.c, h, from, to);
}

} // namespace

ILResult ILCopyWithAlpha(ILHandle* h, const ILImage* image, ILImage* target) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    ILImageOwner withAlpha;
    const ILPixelType type = ILTypeWithAlpha(image->type & ~ILPixelType{IL_EXTRA_MASK});
    if (ILAllocImage(&withAlpha.image, image->width, image->height, type, nullptr) != IL_OK)
        return IL_OUT_OF_MEMORY;
    if (!Convert(h, image, &withAlpha.image)) {
        // Packed grey has no route of its own to grey with alpha: it is
        // widened to 8-bit grey first.
        if (ILPixelModel(image->type) != IL_MODEL_GRAY || image->bits >= 8)
            return IL_UNSUPPORTED_PIXEL_TYPE;
        ILImageOwner grey;
        if (ILAllocImage(&grey.image, image->width, image->height, IL_GREY8, nullptr) != IL_OK)
            return IL_OUT_OF_MEMORY;
        if (!Convert(h, image, &grey.image) || !Convert(h, &grey.image, &withAlpha.image))
            return IL_UNSUPPORTED_PIXEL_TYPE;
    }
    ILMoveImage(target, &withAlpha.image, true, false);
    return IL_OK;
}

ILResult ILEnsureAlpha(ILHandle* h, ILImage* image) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (ILHasAlphaSample(image->type)) return IL_OK;
    return ILCopyWithAlpha(h, image, image);
}
