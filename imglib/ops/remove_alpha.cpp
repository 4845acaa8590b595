// Remove alpha: convert to the type without its extra channel under the
// handle's alpha mode, the new pixels moved in once complete.
#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/alpha.h"

ILResult ILCopyWithoutAlpha(ILHandle* h, const ILImage* image, ILImage* target) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const ILPixelType type = image->type & ~ILPixelType{IL_EXTRA_MASK};
    ILImageOwner plain;
    if (ILAllocImage(&plain.image, image->width, image->height, type, nullptr) != IL_OK)
        return IL_OUT_OF_MEMORY;
    ILConverterOwner converter;
    ILConverterSetAlphaMode(&converter.c, h->alphaMode);
    if (!ILConverterConvertImage(&converter.c, h, image, &plain.image))
        return IL_UNSUPPORTED_PIXEL_TYPE;
    ILMoveImage(target, &plain.image, true, false);
    return IL_OK;
}

ILResult ILRemoveAlpha(ILHandle* h, ILImage* image) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (ILExtraChannel(image->type) == 0) return IL_OK;
    return ILCopyWithoutAlpha(h, image, image);
}
