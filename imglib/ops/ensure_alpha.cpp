// Ensure alpha: convert to the type with alpha; the new alpha samples are
// left for the caller to write.
#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/alpha.h"

ILResult ILEnsureAlpha(ILHandle* h, ILImage* image) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (ILHasAlpha(image->type)) return IL_OK;
    ILImageOwner withAlpha;
    const ILPixelType type = ILTypeWithAlpha(image->type & ~ILPixelType{IL_EXTRA_MASK});
    if (ILAllocImage(&withAlpha.image, image->width, image->height, type, nullptr) != IL_OK)
        return IL_OUT_OF_MEMORY;
    ILConverterOwner converter;
    if (!ILConverterConvertImage(&converter.c, h, image, &withAlpha.image))
        return IL_UNSUPPORTED_PIXEL_TYPE;
    ILMoveImage(image, &withAlpha.image, true, false);
    return IL_OK;
}
