// Load alpha: the mask brought to grey of the image's sample kind and to
// its size, then its grey written into the image's alpha.
#include "imglib/convert/modes.h"
#include "imglib/ops/alpha.h"
#include "imglib/ops/alpha_samples.h"
#include "imglib/ops/resample.h"

ILResult ILLoadAlpha(ILHandle* h, ILImage* image, ILImage* mask) {
    if (!ILIsValidImage(image) || !ILIsValidImage(mask)) return IL_BAD_ARGUMENT;
    ILResult r;
    // The kind the image's alpha will have (low-bit images become 8-bit).
    switch (ILSampleKind(ILTypeWithAlpha(image->type & ~ILPixelType{IL_EXTRA_MASK}))) {
        case IL_KIND_8:
            r = ILConvertToGray8(h, mask, 0);
            break;
        case IL_KIND_16:
            r = ILConvertToGray16(h, mask);
            break;
        case IL_KIND_HALF:
            r = ILConvertToGrayHalf(h, mask);
            break;
        case IL_KIND_FLOAT:
            r = ILConvertToGrayFloat(h, mask);
            break;
        default:
            return IL_UNSUPPORTED_PIXEL_TYPE; // no alpha sample of a colour kind
    }
    if (r != IL_OK) return r;
    if ((r = ILResampleImage(h, mask, image->width, image->height, 2)) != IL_OK) return r;
    if ((r = ILEnsureAlpha(h, image)) != IL_OK) return r;
    const uint32_t bytes = image->bits / 8;
    for (uint32_t y = 0; y < image->height; ++y) {
        const uint8_t* grey = ILRowOf(mask, y);
        const uint64_t step = uint64_t{mask->channels} * bytes;
        auto copy = [&](uint8_t* p, uint32_t x) { std::memcpy(p, grey + x * step, bytes); };
        if (bytes == 1) ILForLastSamples<uint8_t>(image, y, copy);
        if (bytes == 2) ILForLastSamples<uint16_t>(image, y, copy);
        if (bytes == 4) ILForLastSamples<uint32_t>(image, y, copy);
    }
    return IL_OK;
}
