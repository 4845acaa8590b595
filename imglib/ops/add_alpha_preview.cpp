// Add Alpha's preview: always a copy of the base image, so that the preview
// never writes into the unedited image and Cancel keeps its original alpha.
#include "imglib/convert/converter_owner.h"
#include "imglib/ops/alpha.h"

ILResult ILAddAlphaPreview(ILHandle* h, const ILImage* base, ILImage* preview, float opacity,
                           int32_t border, int32_t shape) {
    if (!ILIsValidImage(base)) return IL_BAD_ARGUMENT;
    if (ILHasAlphaSample(base->type)) {
        if (ILReallocImage(preview, base->width, base->height, base->type, nullptr) != IL_OK)
            return IL_OUT_OF_MEMORY;
        ILConverterOwner converter;
        if (!ILConverterConvertImage(&converter.c, h, base, preview))
            return IL_UNSUPPORTED_PIXEL_TYPE;
    } else if (const ILResult r = ILCopyWithAlpha(h, base, preview); r != IL_OK) {
        return r;
    }
    return ILAddAlpha(h, preview, opacity, border, shape);
}
