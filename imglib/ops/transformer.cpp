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

// The source point of target point (x, y): the affine map inline, or the
// kind's Map.
inline void MapPoint(const ILTransformer* t, double x, double y, double* sx, double* sy) {
    if (t->affine)
        t->affine->Map(x, y, sx, sy);
    else
        t->Map(x, y, sx, sy);
}

// The source points of target points (x + k + 0.5, y + 0.5), k < 4, as
// floats: an affine map's arithmetic in double lanes (the same operations in
// the same order), another kind's Map one by one.
inline void MapFour(const ILTransformer* t, uint32_t x, uint32_t y, ILFloat4* fx, ILFloat4* fy) {
    const double ty = y + 0.5;
    if (const ILAffineMap* m = t->affine) {
        typedef double Double4 __attribute__((vector_size(32)));
        const double x0 = x;
        const Double4 tx = Double4{x0, x0 + 1, x0 + 2, x0 + 3} + 0.5;
        *fx = __builtin_convertvector(tx * m->m00 + ty * m->m10 + m->m20, ILFloat4);
        *fy = __builtin_convertvector(tx * m->m01 + ty * m->m11 + m->m21, ILFloat4);
        return;
    }
    for (uint32_t k = 0; k < 4; ++k) {
        double sx, sy;
        t->Map(x + k + 0.5, ty, &sx, &sy);
        (*fx)[k] = static_cast<float>(sx), (*fy)[k] = static_cast<float>(sy);
    }
}

// Interpolated 8-bit samples at four points into four pixels: all four at
// once where they lie inside the source (where wrap-around changes nothing),
// or all wholly outside it (the background), else one by one.
template <uint32_t C, bool Extra, bool Wrap>
inline void SampleFour(const ILTransformer* t, ILFloat4 fx, ILFloat4 fy, uint8_t* out) {
    if (ilsample::Sample8x4<C, Extra>(t->source, fx, fy, out)) return;
    if (!Wrap && ilsample::Outside4(t->source, fx, fy)) {
        for (uint32_t k = 0; k < 4; ++k)
            std::memcpy(out + k * C, t->background, C);
        return;
    }
    for (uint32_t k = 0; k < 4; ++k)
        ilsample::Sample8<C, Extra, Wrap>(t->source, fx[k], fy[k], t->background, nullptr,
                                          out + k * C);
}

// Columns [x0, x1) of row y for interpolated 8-bit sources: the sampler
// inlined and rows read and written directly, the same values as the
// generic loop.
template <uint32_t C, bool Extra, bool Wrap>
void Span8(const ILTransformer* t, uint32_t y, uint32_t x0, uint32_t x1) {
    const ILImage* source = t->source;
    ILImage* target = t->target;
    const int32_t d = t->oversampling;
    const uint32_t w = target->width, h = target->height;
    const double step = 1.0 / d, first = 0.5 / d;
    const float scale = d >= 2 ? 1.0f / static_cast<float>(d * d) : 1.0f;
    float samples[4], sum[4];
    uint8_t* row = target->data + static_cast<int64_t>(y) * target->stride;
    const double dy = (y + 0.5) / h - 0.5;
    auto inDisc = [&](uint32_t x) {
        const double dx = (x + 0.5) / w - 0.5;
        return !(dy * dy + dx * dx > 0.25);
    };
    for (uint32_t x = x0; x < x1; ++x) {
        uint8_t* out = row + x * C;
        if (t->discMask) {
            if (!inDisc(x)) {
                std::memcpy(out, t->background, C);
                continue;
            }
        }
        double sx, sy;
        if (d == 1 && x + 4 <= x1 &&
            (!t->discMask || (inDisc(x + 1) && inDisc(x + 2) && inDisc(x + 3)))) {
            // Four at a time: where all four lie inside the source (where
            // wrap-around changes nothing), or all four wholly outside it
            // (the background).
            ILFloat4 fx, fy;
            MapFour(t, x, y, &fx, &fy);
            SampleFour<C, Extra, Wrap>(t, fx, fy, out);
            x += 3;
            continue;
        }
        if (d == 1) {
            MapPoint(t, x + 0.5, y + 0.5, &sx, &sy);
            ilsample::Sample8<C, Extra, Wrap>(source, static_cast<float>(sx),
                                              static_cast<float>(sy), t->background, nullptr, out);
            continue;
        }
        for (uint32_t ch = 0; ch < C; ++ch)
            sum[ch] = 0;
        for (int32_t m = 0; m < d; ++m) {
            for (int32_t n = 0; n < d; ++n) {
                MapPoint(t, x + first + n * step, y + first + m * step, &sx, &sy);
                ilsample::Sample8<C, Extra, Wrap>(source, static_cast<float>(sx),
                                                  static_cast<float>(sy), t->background, samples,
                                                  nullptr);
                for (uint32_t ch = 0; ch < C; ++ch)
                    sum[ch] += samples[ch];
            }
        }
        for (uint32_t ch = 0; ch < C; ++ch)
            sum[ch] *= scale;
        EncodeMean(source, sum, out);
    }
}

template <uint32_t C, bool Extra, bool Wrap>
void SpanAt8(const ILTransformer* t, uint32_t y, uint32_t x0, uint32_t x1, const float* sx,
             const float* sy) {
    uint8_t* out = t->target->data + static_cast<int64_t>(y) * t->target->stride + x0 * C;
    const uint32_t n = x1 - x0;
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4)
        SampleFour<C, Extra, Wrap>(t, ILLoad4(sx + i), ILLoad4(sy + i), out + i * C);
    for (; i < n; ++i)
        ilsample::Sample8<C, Extra, Wrap>(t->source, sx[i], sy[i], t->background, nullptr,
                                          out + i * C);
}

template <bool Wrap>
ILSpanAtProc SpanAt8For(const ILImage* s) {
    const bool extra = (s->type & IL_EXTRA_MASK) != 0;
    switch (s->channels) {
        case 1:
            return SpanAt8<1, false, Wrap>;
        case 2:
            return extra ? SpanAt8<2, true, Wrap> : SpanAt8<2, false, Wrap>;
        case 3:
            return SpanAt8<3, false, Wrap>;
        case 4:
            return extra ? SpanAt8<4, true, Wrap> : SpanAt8<4, false, Wrap>;
        default:
            return nullptr;
    }
}

// Target columns a strip at a time down the rows: a turned row walks across
// many source rows, and a narrow strip keeps the source rows it reads in the
// caches (and their pages in the address cache) for the rows below it.
constexpr uint32_t kStrip = 128;

template <uint32_t C, bool Extra, bool Wrap>
void Rows8(const ILTransformer* t, uint32_t y0, uint32_t y1) {
    const uint32_t w = t->target->width;
    // Oversampled strips are slow: a cancel stops the band between them.
    for (uint32_t x0 = 0; x0 < w && workpool::KeepGoing(); x0 += kStrip)
        for (uint32_t y = y0; y < y1; ++y)
            Span8<C, Extra, Wrap>(t, y, x0, std::min(w, x0 + kStrip));
}

// Columns [x0, x1) of row y by the nearest pixel of Bytes bytes, without
// wrap-around: ILSampleNearest's pixels, four points at a time.
template <uint32_t Bytes>
void SpanNearest(const ILTransformer* t, uint32_t y, uint32_t x0, uint32_t x1) {
    const ILImage* source = t->source;
    ILImage* target = t->target;
    const uint32_t w = target->width, h = target->height;
    uint8_t* row = target->data + static_cast<int64_t>(y) * target->stride;
    const double dy = (y + 0.5) / h - 0.5;
    // Below 2^24 the sizes are exact floats; a point is inside when its
    // floor is, which for a float below the size is its truncation.
    const bool exact = source->width < (1u << 24) && source->height < (1u << 24);
    const ILFloat4 sw = ILSplat4(static_cast<float>(source->width)),
                   sh = ILSplat4(static_cast<float>(source->height));
    auto one = [&](uint32_t x, float sx, float sy) {
        const int32_t ix = ILFloorF(sx), iy = ILFloorF(sy);
        const uint8_t* from = ix >= 0 && iy >= 0 && ix < static_cast<int32_t>(source->width) &&
                                      iy < static_cast<int32_t>(source->height)
                                  ? source->data + static_cast<int64_t>(iy) * source->stride +
                                        static_cast<int64_t>(ix) * Bytes
                                  : t->background;
        std::memcpy(row + x * Bytes, from, Bytes);
    };
    for (uint32_t x = x0; x < x1; ++x) {
        if (t->discMask) {
            const double dx = (x + 0.5) / w - 0.5;
            if (dy * dy + dx * dx > 0.25) {
                std::memcpy(row + x * Bytes, t->background, Bytes);
                continue;
            }
        }
        if (exact && !t->discMask && x + 4 <= x1) {
            ILFloat4 fx, fy;
            MapFour(t, x, y, &fx, &fy);
            const ILInt4 inside = (fx >= 0.0f) & (fx < sw) & (fy >= 0.0f) & (fy < sh);
            const ILInt4 ix = __builtin_convertvector(fx, ILInt4),
                         iy = __builtin_convertvector(fy, ILInt4);
            for (uint32_t k = 0; k < 4; ++k) {
                const uint8_t* from = inside[k] ? source->data +
                                                      static_cast<int64_t>(iy[k]) * source->stride +
                                                      static_cast<int64_t>(ix[k]) * Bytes
                                                : t->background;
                std::memcpy(row + (x + k) * Bytes, from, Bytes);
            }
            x += 3;
            continue;
        }
        double sx, sy;
        MapPoint(t, x + 0.5, y + 0.5, &sx, &sy);
        one(x, static_cast<float>(sx), static_cast<float>(sy));
    }
}

template <uint32_t Bytes>
void RowsNearest(const ILTransformer* t, uint32_t y0, uint32_t y1) {
    const uint32_t w = t->target->width;
    for (uint32_t x0 = 0; x0 < w; x0 += kStrip)
        for (uint32_t y = y0; y < y1; ++y)
            SpanNearest<Bytes>(t, y, x0, std::min(w, x0 + kStrip));
}

void (*RowsNearestFor(const ILImage* s))(const ILTransformer*, uint32_t, uint32_t) {
    switch (s->bits * s->channels) {
        case 8:
            return RowsNearest<1>;
        case 16:
            return RowsNearest<2>;
        case 24:
            return RowsNearest<3>;
        case 32:
            return RowsNearest<4>;
        case 48:
            return RowsNearest<6>;
        case 64:
            return RowsNearest<8>;
        case 96:
            return RowsNearest<12>;
        case 128:
            return RowsNearest<16>;
        default:
            return nullptr;
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
    for (uint32_t y = y0; y < y1 && workpool::KeepGoing(); ++y) {
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
    if (d >= 1)
        t->fastRows = wrap ? Rows8For<true>(source) : Rows8For<false>(source);
    else
        t->fastRows = wrap ? nullptr : RowsNearestFor(source);
    return t->setup = IL_OK;
}

ILSpanAtProc ILSpanAt8For(const ILTransformer* t, bool wrap) {
    if (t->setup != IL_OK || t->oversampling != 1 ||
        (t->source->type & IL_KIND_MASK) != IL_KIND_8)
        return nullptr;
    return wrap ? SpanAt8For<true>(t->source) : SpanAt8For<false>(t->source);
}

ILResult ILTransformerRun(ILTransformer* t) {
    if (t->setup != IL_OK) return t->setup;
    const auto rows = t->fastRows ? t->fastRows : Rows;
    const ILRowPlan plan = ILPlanRows(t->target->width, t->target->height);
    return ILSplitRows(t->handle, t->target->height, plan, ILProgressAt::kRowStart,
                       [t, rows](unsigned, uint32_t y0, uint32_t y1) { rows(t, y0, y1); });
}
