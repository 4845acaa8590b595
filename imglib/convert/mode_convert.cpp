// Grey and RGB mode conversions through one converter, the new image moved
// into place only once it is complete.
#include "imglib/convert/converter_owner.h"
#include "imglib/convert/modes.h"
#include "imglib/memory_owner.h"

ILResult ILConvertImage(ILHandle* h, ILImage* image, ILPixelType type, int32_t dither) {
    ILImageOwner converted;
    if (ILAllocImage(&converted.image, image->width, image->height, type, nullptr) != IL_OK)
        return IL_OUT_OF_MEMORY;
    ILConverterOwner converter;
    ILConverterSetDither(&converter.c, dither != 0);
    if (!ILConverterConvertImage(&converter.c, h, image, &converted.image))
        return IL_UNSUPPORTED_PIXEL_TYPE;
    ILMoveImage(image, &converted.image, true, false);
    return IL_OK;
}

namespace {

ILResult ToModel(ILHandle* h, ILImage* image, ILPixelType base, int32_t dither) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const bool sameKind = ILSampleKind(image->type) == ILSampleKind(base);
    const bool done = ILPixelModel(base) == IL_MODEL_GRAY
                          ? ILPixelModel(image->type) == IL_MODEL_GRAY && sameKind
                          : image->channels >= 3 && sameKind;
    if (done) return IL_OK;
    const ILPixelType alphaForm = image->type & (IL_EXTRA_ALPHA | IL_EXTRA_PREMULTIPLIED);
    return ILConvertImage(h, image, alphaForm | base, dither);
}

} // namespace

ILResult ILConvertToGray8(ILHandle* h, ILImage* image, int32_t dither) {
    return ToModel(h, image, IL_GREY8, dither);
}
ILResult ILConvertToGray16(ILHandle* h, ILImage* image) {
    return ToModel(h, image, IL_GREY16, 0);
}
ILResult ILConvertToGrayHalf(ILHandle* h, ILImage* image) {
    return ToModel(h, image, IL_GREY_HALF, 0);
}
ILResult ILConvertToGrayFloat(ILHandle* h, ILImage* image) {
    return ToModel(h, image, IL_GREY_FLOAT, 0);
}
ILResult ILConvertToRgb8(ILHandle* h, ILImage* image, int32_t dither) {
    return ToModel(h, image, IL_BGR8, dither);
}
ILResult ILConvertToRgb16(ILHandle* h, ILImage* image) {
    return ToModel(h, image, IL_BGR16, 0);
}
ILResult ILConvertToRgbHalf(ILHandle* h, ILImage* image) {
    return ToModel(h, image, IL_BGR_HALF, 0);
}
ILResult ILConvertToRgbFloat(ILHandle* h, ILImage* image) {
    return ToModel(h, image, IL_BGR_FLOAT, 0);
}
