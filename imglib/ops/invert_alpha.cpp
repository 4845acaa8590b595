// Invert alpha: the last sample of every pixel complemented in its own
// scale (integers against their maximum, half and float against 1).
#include <Imath/half.h>

#include "imglib/ops/alpha.h"
#include "imglib/ops/alpha_samples.h"

ILResult ILInvertAlpha(ILHandle*, ILImage* image) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    for (uint32_t y = 0; y < image->height; ++y) {
        switch (ILSampleKind(image->type)) {
            case IL_KIND_8:
                ILForLastSamples<uint8_t>(image, y, [](uint8_t* p, uint32_t) { *p = 255 - *p; });
                break;
            case IL_KIND_16:
                ILForLastSamples<uint16_t>(image, y, [](uint8_t* p, uint32_t) {
                    ILStoreSample<uint16_t>(p, 65535 - ILLoadSample<uint16_t>(p));
                });
                break;
            case IL_KIND_HALF:
                ILForLastSamples<uint16_t>(image, y, [](uint8_t* p, uint32_t) {
                    half h;
                    h.setBits(ILLoadSample<uint16_t>(p));
                    ILStoreSample<uint16_t>(p, half(1.0f - float(h)).bits());
                });
                break;
            case IL_KIND_FLOAT:
                ILForLastSamples<float>(image, y, [](uint8_t* p, uint32_t) {
                    ILStoreSample<float>(p, 1.0f - ILLoadSample<float>(p));
                });
                break;
            default:
                return IL_OK;
        }
    }
    return IL_OK;
}
