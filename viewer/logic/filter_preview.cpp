#include "viewer/logic/filter_preview.h"

#include "imglib/convert/srgb.h"
#include "imglib/pixel_type.h"

namespace {

// The indexed preview's palette from the image's own through a library
// filter's palette path: a view of the preview that carries the image's
// palette is the source.
template <typename Filter>
bool FilterPalette(const ILPalette* palette, ILImage* previewImage, Filter filter) {
    if (!palette || !previewImage->palette) return false;
    ILImage view = *previewImage;
    view.ownsData = 0;
    view.palette = const_cast<ILPalette*>(palette); // read only
    return filter(&view, previewImage) == IL_OK;
}

bool FloatFitsPreview(const ILImage& source, const ILImage& preview) {
    return source.type == IL_BGR_FLOAT && preview.type == IL_BGR8 && source.data && preview.data &&
           source.width == preview.width && source.height == preview.height;
}

// Linear B, G, R floats of `rows` into 8-bit sRGB B, G, R.
void EncodeRows(const ILImage& rows, ILImage* preview) {
    for (uint32_t y = 0; y < rows.height; ++y) {
        const auto* in = reinterpret_cast<const float*>(rows.data + y * rows.stride);
        uint8_t* out = preview->data + y * preview->stride;
        for (uint32_t i = 0; i < 3 * rows.width; ++i)
            out[i] = ILLinearToSrgb8(in[i]);
    }
}

} // namespace

bool RenderToneMapPreview(const ILToneMap& t, ILHandle* h, const ILImage& previewSource,
                          const ILPalette* palette, ILImage* previewImage) {
    if (ILPixelModel(previewImage->type) == IL_MODEL_INDEXED)
        return FilterPalette(palette, previewImage, [&](ILImage* source, ILImage* target) {
            return ILToneMapApply(&t, h, source, target);
        });
    if (!FloatFitsPreview(previewSource, *previewImage)) return false;
    ILImage mapped;
    ILInitImage(&mapped);
    ILImage source = previewSource;
    source.ownsData = 0;
    const bool done =
        ILReallocImage(&mapped, source.width, source.height, IL_BGR_FLOAT, nullptr) == IL_OK &&
        ILToneMapApply(&t, h, &source, &mapped) == IL_OK;
    if (done) EncodeRows(mapped, previewImage);
    ILFreeImage(&mapped);
    return done;
}

bool RenderColorFilterPreview(const ILColorFilterParams& p, ILHandle* h,
                              const ILImage& previewSource, const ILPalette* palette,
                              ILImage* previewImage) {
    if (ILPixelModel(previewImage->type) == IL_MODEL_INDEXED)
        return FilterPalette(palette, previewImage, [&](ILImage* source, ILImage* target) {
            return ILColorFilter(&p, h, source, target);
        });
    if (!FloatFitsPreview(previewSource, *previewImage)) return false;
    for (uint32_t y = 0; y < previewSource.height; ++y) {
        const auto* in =
            reinterpret_cast<const float*>(previewSource.data + y * previewSource.stride);
        uint8_t* out = previewImage->data + y * previewImage->stride;
        for (uint32_t x = 0; x < previewSource.width; ++x, in += 3, out += 3) {
            float b = in[0], g = in[1], r = in[2];
            ILColorFilterPixel(&p, &r, &g, &b);
            out[0] = ILLinearToSrgb8(b);
            out[1] = ILLinearToSrgb8(g);
            out[2] = ILLinearToSrgb8(r);
        }
    }
    return true;
}
