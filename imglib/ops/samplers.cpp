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
#include "imglib/ops/srgb8_encoder.h"

namespace {

constexpr float kPi = 3.1415927f;

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

// A weighted sum of codes rounded to nearest and clamped; NaN gives 0.
template <class T>
T RoundCode(float v, float max) {
    if (!(v > 0.0f)) return 0;
    if (v >= max) return static_cast<T>(max);
    return static_cast<T>(v + 0.5f);
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
                Store<T>(raw, ch, ILGetSrgb8Encoder()(sum));
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

int32_t WrapIndex(int32_t i, int32_t n) {
    if (i < 0) i = n - 1;
    if (i > n - 1) i = 0;
    return i;
}

// The four neighbours of (x, y) after the shift to pixel centres.
struct Neighbours {
    int32_t x0, x1, y0, y1;
};

Neighbours Around(float x, float y, ILSampleQuad* q) {
    x -= 0.5f;
    y -= 0.5f;
    ILCosineWeights(x, y, q);
    const int32_t x0 = ILFloorF(x), y0 = ILFloorF(y);
    // ceil: x0 for an integral x, x0 + 1 otherwise (also for NaN, where x0
    // already lies outside).
    const int32_t x1 = static_cast<float>(x0) == x ? x0 : x0 + (x0 != INT32_MAX);
    const int32_t y1 = static_cast<float>(y0) == y ? y0 : y0 + (y0 != INT32_MAX);
    return {x0, x1, y0, y1};
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

void ILCosineWeights(float x, float y, ILSampleQuad* q) {
    const float fx = x - std::floor(x), fy = y - std::floor(y);
    const float wx = (1.0f + std::cos(kPi * fx)) / 2.0f;
    const float wy = (1.0f + std::cos(kPi * fy)) / 2.0f;
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
    ILSampleQuad q;
    if (GatherBackground(x, y, source, get, &q, background))
        ILMixToPixel(source, &q, out);
    else
        std::memcpy(out, background, 16);
}

void ILSampleCosineWrap(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                        const void*) {
    ILSampleQuad q;
    GatherWrap(x, y, source, get, &q);
    ILMixToPixel(source, &q, out);
}

void ILSampleCosineLinear(float x, float y, const ILImage* source, ILGetPixelProc get, void* out,
                          const void* background) {
    ILSampleQuad q;
    if (GatherBackground(x, y, source, get, &q, background))
        ILMixToLinear(source, &q, static_cast<float*>(out));
    else
        ILPixelToLinear(source, static_cast<float*>(out), background);
}

void ILSampleCosineWrapLinear(float x, float y, const ILImage* source, ILGetPixelProc get,
                              void* out, const void*) {
    ILSampleQuad q;
    GatherWrap(x, y, source, get, &q);
    ILMixToLinear(source, &q, static_cast<float*>(out));
}
