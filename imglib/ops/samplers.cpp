// The samplers of the transformers: nearest, or 2 x 2 cosine-weighted with
// colour mixed in linear light and an extra channel (alpha or filler) mixed
// on its codes; outside the source either wrap-around or the background.
//
// Mixed codes are rounded to nearest: truncating would turn an opaque alpha
// of 255 into 254 wherever the weights sum a hair below 1.
#include <cmath>
#include <cstring>

#include "imglib/convert/rows_samples.h"
#include "imglib/convert/srgb.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/sampler_core.h"
#include "imglib/ops/srgb8_encoder.h"

using ilsample::Neighbours;
using ilsample::RoundCode;
using ilsample::WrapIndex;

namespace {

uint32_t ExtraCount(const ILImage* image) {
    return (image->type & IL_EXTRA_MASK) != 0 ? 1 : 0;
}

template <class T>
T Load(const uint8_t* p, uint32_t i) {
    T v;
    std::memcpy(&v, p + i * sizeof(T), sizeof v);
    return v;
}

template <class T>
void Store(uint8_t* p, uint32_t i, T v) {
    std::memcpy(p + i * sizeof(T), &v, sizeof v);
}

const float* DecodeTable(uint32_t kind) {
    return kind == IL_KIND_8 ? ILSrgbTable8 : ILSrgbTable16;
}

// Integer kinds: colour through the sRGB decode table, the extra channel as
// code / full scale.
template <class T>
void IntegerToLinear(const ILImage* image, float* out, const uint8_t* p, float full) {
    const uint32_t c = image->channels, colour = c - ExtraCount(image);
    const float* table = DecodeTable(image->type & IL_KIND_MASK);
    for (uint32_t ch = 0; ch < colour; ++ch)
        out[ch] = table[Load<T>(p, ch)];
    if (colour < c) out[colour] = static_cast<float>(Load<T>(p, colour)) / full;
}

template <class T>
void IntegerMix(const ILImage* image, const ILSampleQuad* q, float* linear, uint8_t* raw,
                float full) {
    const uint32_t c = image->channels, colour = c - ExtraCount(image);
    const float* table = DecodeTable(image->type & IL_KIND_MASK);
    static const ILSrgb8Encoder& encoder = ILGetSrgb8Encoder();
    for (uint32_t ch = 0; ch < c; ++ch) {
        float sum = 0;
        if (ch < colour) {
            for (int k = 0; k < 4; ++k)
                sum += q->weights[k] * table[Load<T>(q->pixels[k], ch)];
        } else {
            for (int k = 0; k < 4; ++k)
                sum += q->weights[k] * static_cast<float>(Load<T>(q->pixels[k], ch));
        }
        if (linear) {
            linear[ch] = ch < colour ? sum : sum / full;
        } else if (ch < colour) {
            if constexpr (sizeof(T) == 1)
                Store<T>(raw, ch, encoder(sum));
            else
                Store<T>(raw, ch, ILLinearToSrgb16(sum));
        } else {
            Store<T>(raw, ch, RoundCode<T>(sum, full));
        }
    }
}

// Half and float: every channel decoded alike.
template <bool Half>
void FloatMix(const ILImage* image, const ILSampleQuad* q, float* linear, uint8_t* raw) {
    for (uint32_t ch = 0; ch < image->channels; ++ch) {
        float sum = 0;
        for (int k = 0; k < 4; ++k) {
            const float v = Half ? ilrows::HalfToFloat(Load<uint16_t>(q->pixels[k], ch))
                                 : Load<float>(q->pixels[k], ch);
            sum += q->weights[k] * v;
        }
        if (linear)
            linear[ch] = sum;
        else if (Half)
            Store<uint16_t>(raw, ch, ilrows::FloatToHalf(sum));
        else
            Store<float>(raw, ch, sum);
    }
}

void Mix(const ILImage* image, const ILSampleQuad* q, float* linear, uint8_t* raw) {
    switch (image->type & IL_KIND_MASK) {
        case IL_KIND_8:
            return IntegerMix<uint8_t>(image, q, linear, raw, 255.0f);
        case IL_KIND_16:
            return IntegerMix<uint16_t>(image, q, linear, raw, 65535.0f);
        case IL_KIND_HALF:
            return FloatMix<true>(image, q, linear, raw);
        case IL_KIND_FLOAT:
            return FloatMix<false>(image, q, linear, raw);
        default:
            return;
    }
}

// The neighbours' weights into the quad.
Neighbours Around(float x, float y, ILSampleQuad* q) {
    const Neighbours n = ilsample::Around(x, y);
    std::memcpy(q->weights, n.w, sizeof n.w);
    return n;
}

// The 8-bit sampler of the image's channel layout; null for other kinds.
using Sample8Proc = void (*)(const ILImage*, float, float, const uint8_t*, float*, uint8_t*);

template <bool Wrap>
Sample8Proc Sample8For(const ILImage* image) {
    if ((image->type & IL_KIND_MASK) != IL_KIND_8) return nullptr;
    const bool extra = (image->type & IL_EXTRA_MASK) != 0;
    switch (image->channels) {
        case 1:
            return ilsample::Sample8<1, false, Wrap>;
        case 2:
            return extra ? ilsample::Sample8<2, true, Wrap> : ilsample::Sample8<2, false, Wrap>;
        case 3:
            return ilsample::Sample8<3, false, Wrap>;
        case 4:
            return extra ? ilsample::Sample8<4, true, Wrap> : ilsample::Sample8<4, false, Wrap>;
        default:
            return nullptr;
    }
}

void GatherWrap(float x, float y, const ILImage* s, ILGetPixelProc get, ILSampleQuad* q) {
    Neighbours n = Around(x, y, q);
    const int32_t w = static_cast<int32_t>(s->width), h = static_cast<int32_t>(s->height);
    n.x0 = WrapIndex(n.x0, w), n.x1 = WrapIndex(n.x1, w);
    n.y0 = WrapIndex(n.y0, h), n.y1 = WrapIndex(n.y1, h);
    get(s, n.x0, n.y0, q->pixels[0]);
    get(s, n.x1, n.y0, q->pixels[1]);
    get(s, n.x0, n.y1, q->pixels[2]);
    get(s, n.x1, n.y1, q->pixels[3]);
}

// False when the sample lies wholly outside; otherwise the neighbours that
// lie outside keep the background, which thus blends in along the border.
bool GatherBackground(float x, float y, const ILImage* s, ILGetPixelProc get, ILSampleQuad* q,
                      const void* background) {
    const Neighbours n = Around(x, y, q);
    const int32_t w = static_cast<int32_t>(s->width), h = static_cast<int32_t>(s->height);
    if (n.x1 < 0 || n.x0 >= w || n.y1 < 0 || n.y0 >= h) return false;
    for (auto& slot : q->pixels)
        std::memcpy(slot, background, 16);
    const bool left = n.x0 >= 0, right = n.x1 < w, top = n.y0 >= 0, bottom = n.y1 < h;
    if (left && top) get(s, n.x0, n.y0, q->pixels[0]);
    if (right && top) get(s, n.x1, n.y0, q->pixels[1]);
    if (left && bottom) get(s, n.x0, n.y1, q->pixels[2]);
    if (right && bottom) get(s, n.x1, n.y1, q->pixels[3]);
    return true;
}

} // namespace

bool ILSamplerKnowsKind(ILPixelType type) {
    switch (type & IL_KIND_MASK) {
        case IL_KIND_8:
        case IL_KIND_16:
        case IL_KIND_HALF:
        case IL_KIND_FLOAT:
            return true;
        default:
            return false;
    }
}

// Built before main (from cosf, so not at compile time); read-only after.
const ilsample::CosineTable ilsample::kCosineTable = [] {
    CosineTable t;
    for (int i = 0; i <= CosineTable::kSteps + 1; ++i)
        t.w[i] = (1.0f + std::cos(kPi * (static_cast<float>(i) / CosineTable::kSteps))) / 2.0f;
    return t;
}();

void ILCosineWeights(float x, float y, ILSampleQuad* q) {
    const ilsample::CosineTable& table = ilsample::kCosineTable;
    const float wx = ilsample::CosineWeight(table, x - std::floor(x));
    const float wy = ilsample::CosineWeight(table, y - std::floor(y));
    q->weights[0] = wx * wy;
    q->weights[1] = (1.0f - wx) * wy;
    q->weights[2] = wx * (1.0f - wy);
    q->weights[3] = (1.0f - wx) * (1.0f - wy);
}

void ILPixelToLinear(const ILImage* image, float* out, const void* pixel) {
    const uint8_t* p = static_cast<const uint8_t*>(pixel);
    switch (image->type & IL_KIND_MASK) {
        case IL_KIND_8:
            return IntegerToLinear<uint8_t>(image, out, p, 255.0f);
        case IL_KIND_16:
            return IntegerToLinear<uint16_t>(image, out, p, 65535.0f);
        case IL_KIND_HALF:
            for (uint32_t ch = 0; ch < image->channels; ++ch)
                out[ch] = ilrows::HalfToFloat(Load<uint16_t>(p, ch));
            return;
        case IL_KIND_FLOAT:
            std::memcpy(out, p, image->channels * sizeof(float));
            return;
        default:
            return;
    }
}

void ILMixToLinear(const ILImage* image, const ILSampleQuad* quad, float* out) {
    Mix(image, quad, out, nullptr);
}

void ILMixToPixel(const ILImage* image, const ILSampleQuad* quad, void* out) {
    Mix(image, quad, nullptr, static_cast<uint8_t*>(out));
}

void ILSampleNearest(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                     const void* background) {
    const int32_t ix = ILFloorF(x), iy = ILFloorF(y);
    if (ix >= 0 && iy >= 0 && ix < static_cast<int32_t>(source->width) &&
        iy < static_cast<int32_t>(source->height))
        get(source, ix, iy, out);
    else
        std::memcpy(out, background, 16);
}

void ILSampleNearestWrap(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                         const void*) {
    get(source, WrapIndex(ILFloorF(x), static_cast<int32_t>(source->width)),
        WrapIndex(ILFloorF(y), static_cast<int32_t>(source->height)), out);
}

void ILSampleCosine(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                    const void* background) {
    if (Sample8Proc fast = Sample8For<false>(source))
        return fast(source, x, y, static_cast<const uint8_t*>(background), nullptr,
                    static_cast<uint8_t*>(out));
    ILSampleQuad q;
    if (GatherBackground(x, y, source, get, &q, background))
        ILMixToPixel(source, &q, out);
    else
        std::memcpy(out, background, 16);
}

void ILSampleCosineWrap(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                        const void*) {
    if (Sample8Proc fast = Sample8For<true>(source))
        return fast(source, x, y, nullptr, nullptr, static_cast<uint8_t*>(out));
    ILSampleQuad q;
    GatherWrap(x, y, source, get, &q);
    ILMixToPixel(source, &q, out);
}

void ILSampleCosineLinear(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                          const void* background) {
    if (Sample8Proc fast = Sample8For<false>(source))
        return fast(source, x, y, static_cast<const uint8_t*>(background), static_cast<float*>(out),
                    nullptr);
    ILSampleQuad q;
    if (GatherBackground(x, y, source, get, &q, background))
        ILMixToLinear(source, &q, static_cast<float*>(out));
    else
        ILPixelToLinear(source, static_cast<float*>(out), background);
}

void ILSampleCosineWrapLinear(float x, float y, const ILImage* source, ILGetPixelProc get,
                              void* out, const void*) {
    if (Sample8Proc fast = Sample8For<true>(source))
        return fast(source, x, y, nullptr, static_cast<float*>(out), nullptr);
    ILSampleQuad q;
    GatherWrap(x, y, source, get, &q);
    ILMixToLinear(source, &q, static_cast<float*>(out));
}
