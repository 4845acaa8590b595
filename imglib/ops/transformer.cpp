// The transformer engine. Supersampling maps d x d points per target pixel,
// samples each in linear light and encodes their mean by the sample kind.
#include <algorithm>
#include <cstring>
#include <new>

#include "imglib/convert/rows_samples.h"
#include "imglib/convert/srgb.h"
#include "imglib/ops/row_split.h"
#include "imglib/ops/sampler_core.h"
#include "imglib/ops/srgb8_encoder.h"
#include "imglib/ops/transformer.h"

namespace {

// The mean of the samples, encoded into one raw pixel.
void EncodeMean(const ILImage* image, const float* mean, uint8_t* out) {
    const uint32_t c = image->channels;
    for (uint32_t ch = 0; ch < c; ++ch) {
        const bool alpha = ch == 3 || (c == 2 && ch == 1);
        const float v = mean[ch];
        switch (image->type & IL_KIND_MASK) {
            case IL_KIND_8:
                out[ch] = alpha ? ILClampToU8(v) : ILGetSrgb8Encoder()(v);
                break;
            case IL_KIND_16:
                ilrows::Store<uint16_t>(out + ch * 2,
                                        alpha ? ILClampToU16(v) : ILLinearToSrgb16(v));
                break;
            case IL_KIND_HALF:
                ilrows::Store<uint16_t>(out + ch * 2, ilrows::FloatToHalf(v));
                break;
            case IL_KIND_FLOAT:
                ilrows::Store<float>(out + ch * 4, v);
                break;
            default:
                break;
        }
    }
}

// Rows [y0, y1) for interpolated 8-bit sources: the sampler inlined and
// rows read and written directly, the same values as the generic loop.
template <uint32_t C, bool Extra, bool Wrap>
void Rows8(const ILTransformer* t, uint32_t y0, uint32_t y1) {
    const ILImage* source = t->source;
    ILImage* target = t->target;
    const int32_t d = t->oversampling;
    const uint32_t w = target->width, h = target->height;
    const double step = 1.0 / d, first = 0.5 / d;
    const float scale = d >= 2 ? 1.0f / static_cast<float>(d * d) : 1.0f;
    float samples[4], sum[4];
    for (uint32_t y = y0; y < y1; ++y) {
        uint8_t* row = target->data + static_cast<int64_t>(y) * target->stride;
        const double dy = (y + 0.5) / h - 0.5;
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* out = row + x * C;
            if (t->discMask) {
                const double dx = (x + 0.5) / w - 0.5;
                if (dy * dy + dx * dx > 0.25) {
                    std::memcpy(out, t->background, C);
                    continue;
                }
            }
            double sx, sy;
            if (d == 1 && !Wrap && !t->discMask && x + 4 <= w) {
                // Four at a time where all four lie inside the source.
                ILFloat4 fx, fy;
                for (uint32_t k = 0; k < 4; ++k) {
                    t->Map(x + k + 0.5, y + 0.5, &sx, &sy);
                    fx[k] = static_cast<float>(sx), fy[k] = static_cast<float>(sy);
                }
                if (ilsample::Sample8x4<C, Extra>(source, fx, fy, out)) {
                    x += 3;
                    continue;
                }
                for (uint32_t k = 0; k < 4; ++k)
                    ilsample::Sample8<C, Extra, Wrap>(source, fx[k], fy[k], t->background, nullptr,
                                                      out + k * C);
                x += 3;
                continue;
            }
            if (d == 1) {
                t->Map(x + 0.5, y + 0.5, &sx, &sy);
                ilsample::Sample8<C, Extra, Wrap>(source, static_cast<float>(sx),
                                                  static_cast<float>(sy), t->background, nullptr,
                                                  out);
                continue;
            }
            for (uint32_t ch = 0; ch < C; ++ch)
                sum[ch] = 0;
            for (int32_t m = 0; m < d; ++m) {
                for (int32_t n = 0; n < d; ++n) {
                    t->Map(x + first + n * step, y + first + m * step, &sx, &sy);
                    ilsample::Sample8<C, Extra, Wrap>(source, static_cast<float>(sx),
                                                      static_cast<float>(sy), t->background,
                                                      samples, nullptr);
                    for (uint32_t ch = 0; ch < C; ++ch)
                        sum[ch] += samples[ch];
                }
            }
            for (uint32_t ch = 0; ch < C; ++ch)
                sum[ch] *= scale;
            EncodeMean(source, sum, out);
        }
    }
}

template <bool Wrap>
void (*Rows8For(const ILImage* s))(const ILTransformer*, uint32_t, uint32_t) {
    if ((s->type & IL_KIND_MASK) != IL_KIND_8) return nullptr;
    const bool extra = (s->type & IL_EXTRA_MASK) != 0;
    switch (s->channels) {
        case 1:
            return Rows8<1, false, Wrap>;
        case 2:
            return extra ? Rows8<2, true, Wrap> : Rows8<2, false, Wrap>;
        case 3:
            return Rows8<3, false, Wrap>;
        case 4:
            return extra ? Rows8<4, true, Wrap> : Rows8<4, false, Wrap>;
        default:
            return nullptr;
    }
}

// Rows [y0, y1) through the sampler and the pixel accessors.
void Rows(const ILTransformer* t, uint32_t y0, uint32_t y1) {
    const ILImage* source = t->source;
    ILImage* target = t->target;
    const int32_t d = t->oversampling;
    const uint32_t w = target->width, h = target->height;
    const uint32_t c = source->channels;
    const double step = 1.0 / d, first = 0.5 / d;
    const float scale = d >= 2 ? 1.0f / static_cast<float>(d * d) : 1.0f;
    alignas(16) uint8_t pixel[16];
    float samples[4], sum[4];
    for (uint32_t y = y0; y < y1; ++y) {
        const double dy = (y + 0.5) / h - 0.5;
        for (uint32_t x = 0; x < w; ++x) {
            const int32_t ix = static_cast<int32_t>(x), iy = static_cast<int32_t>(y);
            if (t->discMask) {
                const double dx = (x + 0.5) / w - 0.5;
                if (dy * dy + dx * dx > 0.25) {
                    t->set(target, ix, iy, t->background);
                    continue;
                }
            }
            double sx, sy;
            if (d <= 1) {
                t->Map(x + 0.5, y + 0.5, &sx, &sy);
                t->sampler(static_cast<float>(sx), static_cast<float>(sy), source, t->get, pixel,
                           t->background);
                t->set(target, ix, iy, pixel);
                continue;
            }
            sum[0] = sum[1] = sum[2] = sum[3] = 0;
            for (int32_t m = 0; m < d; ++m) {
                for (int32_t n = 0; n < d; ++n) {
                    t->Map(x + first + n * step, y + first + m * step, &sx, &sy);
                    t->sampler(static_cast<float>(sx), static_cast<float>(sy), source, t->get,
                               samples, t->background);
                    for (uint32_t ch = 0; ch < c; ++ch)
                        sum[ch] += samples[ch];
                }
            }
            for (uint32_t ch = 0; ch < c; ++ch)
                sum[ch] *= scale;
            EncodeMean(source, sum, pixel);
            t->set(target, ix, iy, pixel);
        }
    }
}

} // namespace

ILResult ILTransformerInit(ILTransformer* t, ILHandle* h, const ILImage* source, ILImage* target,
                           bool wrap, uint8_t oversampling, const ILColor* background) {
    t->handle = h;
    t->source = source;
    t->target = target;
    t->setup = IL_BAD_ARGUMENT;
    if (!ILIsValidImage(source) || !ILGetPixelAccessors(source, &t->set, &t->get)) return t->setup;
    int32_t d = oversampling;
    if (source->bits < 8 || (source->type & IL_MODEL_MASK) == IL_MODEL_INDEXED ||
        !ILSamplerKnowsKind(source->type))
        d = 0;
    t->oversampling = d;
    if (d == 0)
        t->sampler = wrap ? ILSampleNearestWrap : ILSampleNearest;
    else if (d == 1)
        t->sampler = wrap ? ILSampleCosineWrap : ILSampleCosine;
    else
        t->sampler = wrap ? ILSampleCosineWrapLinear : ILSampleCosineLinear;
    std::memset(t->background, 0, sizeof t->background);
    if (background && !background->ToPixel(target->type, t->background))
        std::memset(t->background, 0, sizeof t->background);
    t->discMask = false;
    t->rows8 = d >= 1 ? (wrap ? Rows8For<true>(source) : Rows8For<false>(source)) : nullptr;
    return t->setup = IL_OK;
}

ILResult ILTransformerRun(ILTransformer* t) {
    if (t->setup != IL_OK) return t->setup;
    const auto rows = t->rows8 ? t->rows8 : Rows;
    const ILRowPlan plan = ILPlanRows(t->target->width, t->target->height);
    return ILSplitRows(t->handle, t->target->height, plan, ILProgressAt::kRowStart,
                       [t, rows](unsigned, uint32_t y0, uint32_t y1) { rows(t, y0, y1); });
}
