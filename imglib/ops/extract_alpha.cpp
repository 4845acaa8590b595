// Extract alpha: the last sample of every pixel into a grey image of the
// same sample kind, copied bit for bit.
#include "imglib/ops/alpha.h"
#include "imglib/ops/alpha_samples.h"

ILResult ILExtractAlpha(ILHandle*, const ILImage* image, ILImage* target) {
    if (!ILIsValidImage(image) || (image->channels != 2 && image->channels != 4) ||
        image->bits % 8 != 0)
        return IL_BAD_ARGUMENT;
    const ILPixelType type = ILSampleKind(image->type) | IL_MODEL_GRAY;
    if (const ILResult r = ILReallocImage(target, image->width, image->height, type, nullptr);
        r != IL_OK)
        return r;
    const uint32_t bytes = image->bits / 8;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* out = ILRowOf(target, y);
        auto copy = [&](uint8_t* p, uint32_t x) { std::memcpy(out + x * bytes, p, bytes); };
        ILImage* source = const_cast<ILImage*>(image); // read only
        if (bytes == 1) ILForLastSamples<uint8_t>(source, y, copy);
        if (bytes == 2) ILForLastSamples<uint16_t>(source, y, copy);
        if (bytes == 4) ILForLastSamples<uint32_t>(source, y, copy);
    }
    return IL_OK;
}
