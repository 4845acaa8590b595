// Add alpha: a shaped, feathered mask written into the alpha samples; the
// colour samples stay, also for premultiplied images.
#include <Imath/half.h>

#include "imglib/ops/alpha.h"
#include "imglib/ops/alpha_samples.h"

ILResult ILAddAlpha(ILHandle* h, ILImage* image, float opacity, int32_t border, int32_t shape) {
    if (!ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (const ILResult r = ILEnsureAlpha(h, image); r != IL_OK) return r;
    const auto mask = shape == 2 ? ILAlphaMaskEllipse : ILAlphaMaskRect;
    const int32_t w = static_cast<int32_t>(image->width), hh = static_cast<int32_t>(image->height);
    const uint32_t kind = ILSampleKind(image->type);
    for (uint32_t y = 0; y < image->height; ++y) {
        ILProgress(h, y, image->height); // cannot be cancelled
        const int32_t iy = static_cast<int32_t>(y);
        auto m = [&](uint32_t x) {
            return mask(static_cast<int32_t>(x), iy, w, hh, opacity, border);
        };
        switch (kind) {
            case IL_KIND_8:
                ILForLastSamples<uint8_t>(image, y, [&](uint8_t* p, uint32_t x) {
                    *p = static_cast<uint8_t>(m(x) * 255);
                });
                break;
            case IL_KIND_16:
                ILForLastSamples<uint16_t>(image, y, [&](uint8_t* p, uint32_t x) {
                    ILStoreSample<uint16_t>(p, static_cast<uint16_t>(m(x) * 65535));
                });
                break;
            case IL_KIND_HALF:
                ILForLastSamples<uint16_t>(image, y, [&](uint8_t* p, uint32_t x) {
                    ILStoreSample<uint16_t>(p, half(m(x)).bits());
                });
                break;
            case IL_KIND_FLOAT:
                ILForLastSamples<float>(
                    image, y, [&](uint8_t* p, uint32_t x) { ILStoreSample<float>(p, m(x)); });
                break;
            default:
                return IL_UNSUPPORTED_PIXEL_TYPE;
        }
    }
    return IL_OK;
}
