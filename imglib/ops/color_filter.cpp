// Colour filter: a* and b* pulled towards a highlight and a shadow tint,
// weighted by lightness, with the tint terms computed once per change.
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include <Imath/half.h>

#include "imglib/convert/converter.h"
#include "imglib/convert/lab4.h"
#include "imglib/convert/srgb.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/row_split.h"
#include "imglib/ops/srgb8_encoder.h"

ILColorFilterParams* ILColorFilterInit(ILColorFilterParams* p, float hueLights,
                                       float strengthLights, float hueShadows,
                                       float strengthShadows) {
    p->hueLights = hueLights;
    p->strengthLights = strengthLights;
    p->hueShadows = hueShadows;
    p->strengthShadows = strengthShadows;
    ILColorFilterUpdate(p);
    return p;
}

ILColorFilterParams* ILColorFilterInitDefault(ILColorFilterParams* p) {
    ILColorFilterSetDefaults(p);
    return p;
}

void ILColorFilterSetDefaults(ILColorFilterParams* p) {
    ILColorFilterInit(p, 90, 0, 270, 0);
}

void ILColorFilterSetLightHue(ILColorFilterParams* p, float v) {
    p->hueLights = v;
    ILColorFilterUpdate(p);
}
void ILColorFilterSetLightStrength(ILColorFilterParams* p, float v) {
    p->strengthLights = v;
    ILColorFilterUpdate(p);
}
void ILColorFilterSetShadowHue(ILColorFilterParams* p, float v) {
    p->hueShadows = v;
    ILColorFilterUpdate(p);
}
void ILColorFilterSetShadowStrength(ILColorFilterParams* p, float v) {
    p->strengthShadows = v;
    ILColorFilterUpdate(p);
}

void ILColorFilterUpdate(ILColorFilterParams* p) {
    constexpr float kRadians = 3.1415925f / 180.0f;
    // A full-strength tint sets a chroma of 95 at its hue.
    const float sL = p->strengthLights / 100.0f, sS = p->strengthShadows / 100.0f;
    p->lightScale = 1.0f - sL;
    p->lightA = std::cos(p->hueLights * kRadians) * sL * 95.0f;
    p->lightB = std::sin(p->hueLights * kRadians) * sL * 95.0f;
    p->shadowScale = 1.0f - sS;
    p->shadowA = std::cos(p->hueShadows * kRadians) * sS * 95.0f;
    p->shadowB = std::sin(p->hueShadows * kRadians) * sS * 95.0f;
}

namespace {

// Four pixels at once; each lane gives the bits of the one-pixel form.
void FilterPixels4(const ILColorFilterParams* p, ILFloat4* r, ILFloat4* g, ILFloat4* b) {
    ILFloat4 L, A, B;
    ILRgbToLab4(*r, *g, *b, &L, &A, &B);
    const ILFloat4 a1 = p->lightScale * A + p->lightA, b1 = p->lightScale * B + p->lightB;
    const ILFloat4 a0 = p->shadowScale * A + p->shadowA, b0 = p->shadowScale * B + p->shadowB;
    const ILFloat4 t = L * 0.01f;
    const ILFloat4 am = a1 * t + a0 * (1 - t), bm = b1 * t + b0 * (1 - t);
    A = L >= 100 ? a1 : (L <= 0 ? a0 : am);
    B = L >= 100 ? b1 : (L <= 0 ? b0 : bm);
    ILLabToRgb4(L, A, B, r, g, b);
}

} // namespace

void ILColorFilterPixel(const ILColorFilterParams* p, float* r, float* g, float* b) {
    ILFloat4 r4 = ILSplat4(*r), g4 = ILSplat4(*g), b4 = ILSplat4(*b);
    FilterPixels4(p, &r4, &g4, &b4);
    *r = r4[0];
    *g = g4[0];
    *b = b4[0];
}

namespace {

// Sample codecs by kind: decode to linear light, encode back at column x of
// the row last started.
struct Codec8 {
    using T = uint8_t;
    const ILSrgb8Encoder* encoders[4] = {}; // by x mod 4
    float Decode(T v) const { return ILSrgbTable8[v]; }
    void StartRow(uint32_t y) {
        for (uint32_t x = 0; x < 4; ++x)
            encoders[x] = &ILGetDitheredSrgb8Encoder(4 * x + (y & 3));
    }
    T Encode(float v, uint32_t x) const { return (*encoders[x & 3])(v); }
};
struct Codec16 {
    using T = uint16_t;
    float Decode(T v) const { return ILSrgbTable16[v]; }
    void StartRow(uint32_t) {}
    T Encode(float v, uint32_t) const { return ILLinearToSrgb16(v); }
};
struct CodecHalf {
    using T = uint16_t;
    float Decode(T v) const { return imath_half_to_float(v); }
    void StartRow(uint32_t) {}
    T Encode(float v, uint32_t) const { return imath_float_to_half(v); }
};
struct CodecFloat {
    using T = float;
    float Decode(T v) const { return v; }
    void StartRow(uint32_t) {}
    T Encode(float v, uint32_t) const { return v; }
};

// 8-bit colours recur from pixel to pixel and row to row: each result is
// remembered under its colour in a direct-mapped table, and only the
// colours not found there are filtered, four at a time.
class ColourMemo {
public:
    // A table of up to 2^18 entries (4 MB, which still fits a processor's
    // caches; larger ones measured slower), no larger than the image needs.
    bool Init(uint64_t pixels) try {
        bits_ = 10;
        while (bits_ < kMaxBits && (uint64_t{1} << bits_) < pixels)
            ++bits_;
        entries_.assign(size_t{1} << bits_, Entry{kEmpty, 0, 0, 0});
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }

    // keys[x] is pixel x's colour (B | G << 8 | R << 16); its decoded values
    // in the planes become the filtered ones.
    void FilterRow(const ILColorFilterParams* p, const uint32_t* keys, uint32_t width, float* rs,
                   float* gs, float* bs) {
        uint32_t misses[4];
        uint32_t n = 0;
        for (uint32_t x = 0; x < width; ++x) {
            const Entry& e = entries_[Slot(keys[x])];
            if (e.key == keys[x]) {
                rs[x] = e.r, gs[x] = e.g, bs[x] = e.b;
                continue;
            }
            misses[n++] = x;
            if (n == 4) {
                Filter(p, misses, n, keys, rs, gs, bs);
                n = 0;
            }
        }
        if (n) Filter(p, misses, n, keys, rs, gs, bs);
    }

private:
    struct Entry {
        uint32_t key;
        float r, g, b;
    };
    static constexpr uint32_t kMaxBits = 18, kEmpty = 0xFFFFFFFFu;
    uint32_t Slot(uint32_t key) const { return key * 2654435761u >> (32 - bits_); }

    void Filter(const ILColorFilterParams* p, const uint32_t* xs, uint32_t n, const uint32_t* keys,
                float* rs, float* gs, float* bs) {
        ILFloat4 r = {}, g = {}, b = {};
        for (uint32_t i = 0; i < n; ++i)
            r[i] = rs[xs[i]], g[i] = gs[xs[i]], b[i] = bs[xs[i]];
        FilterPixels4(p, &r, &g, &b);
        for (uint32_t i = 0; i < n; ++i) {
            rs[xs[i]] = r[i], gs[xs[i]] = g[i], bs[xs[i]] = b[i];
            entries_[Slot(keys[xs[i]])] = Entry{keys[xs[i]], r[i], g[i], b[i]};
        }
    }

    uint32_t bits_ = 10;
    std::vector<Entry> entries_;
};

// One thread's memory: planes of red, green and blue of a row, and for 8
// bits the row's colour keys and the memo.
struct Scratch {
    std::vector<float> planes;
    std::vector<uint32_t> keys;
    ColourMemo memo;
};

// Rows are decoded into planes of red, green and blue, filtered four pixels
// at a time (8-bit ones through the memo), and encoded back.
template <typename Codec>
void FilterRow(const ILColorFilterParams* p, const ILImage* source, ILImage* target, uint32_t y,
               Scratch& scratch) {
    using T = typename Codec::T;
    constexpr bool kMemo = std::is_same_v<Codec, Codec8>;
    Codec codec;
    const uint32_t c = source->channels;
    const size_t padded = scratch.planes.size() / 3;
    float* const rs = scratch.planes.data();
    float* const gs = rs + padded;
    float* const bs = gs + padded;
    uint32_t* const keys = scratch.keys.data();
    const uint8_t* in = ILRowOf(source, y);
    uint8_t* out = ILRowOf(target, y);
    for (uint32_t x = 0; x < source->width; ++x) {
        T s[3];
        std::memcpy(s, in + uint64_t{x} * c * sizeof(T), sizeof s);
        bs[x] = codec.Decode(s[0]);
        gs[x] = codec.Decode(s[1]);
        rs[x] = codec.Decode(s[2]);
        if constexpr (kMemo) keys[x] = s[0] | s[1] << 8 | uint32_t{s[2]} << 16;
    }
    if constexpr (kMemo) {
        scratch.memo.FilterRow(p, keys, source->width, rs, gs, bs);
    } else {
        for (size_t x = 0; x < padded; x += 4) {
            ILFloat4 r = ILLoad4(rs + x), g = ILLoad4(gs + x), b = ILLoad4(bs + x);
            FilterPixels4(p, &r, &g, &b);
            ILStore4(rs + x, r);
            ILStore4(gs + x, g);
            ILStore4(bs + x, b);
        }
    }
    codec.StartRow(y);
    for (uint32_t x = 0; x < source->width; ++x) {
        // One store per sample: a small array copied out whole would be
        // read back across its separate stores, which stalls.
        uint8_t* const o = out + uint64_t{x} * c * sizeof(T);
        const T b = codec.Encode(bs[x], x), g = codec.Encode(gs[x], x), r = codec.Encode(rs[x], x);
        std::memcpy(o, &b, sizeof b);
        std::memcpy(o + sizeof(T), &g, sizeof g);
        std::memcpy(o + 2 * sizeof(T), &r, sizeof r);
    }
}

template <typename Codec>
ILResult FilterRows(const ILColorFilterParams* p, ILHandle* h, const ILImage* source,
                    ILImage* target) {
    const size_t padded = (size_t{source->width} + 3) & ~size_t{3};
    constexpr bool kMemo = std::is_same_v<Codec, Codec8>;
    const uint64_t pixels = uint64_t{source->width} * source->height;
    const ILRowPlan plan = ILPlanRows(source->width, source->height);
    const unsigned slots = plan.slots;
    std::vector<Scratch> scratch;
    try {
        scratch.resize(slots);
        for (Scratch& s : scratch) {
            s.planes.resize(3 * padded);
            if (kMemo) s.keys.resize(padded);
        }
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, slots * 4 * padded * sizeof(float));
    }
    for (Scratch& s : scratch)
        if (kMemo && !s.memo.Init(pixels / slots))
            return ILReportOutOfMemory(h, uint64_t{16} << 18);
    return ILSplitRows(h, source->height, plan, ILProgressAt::kRowEnd,
                       [&](unsigned slot, uint32_t y0, uint32_t y1) {
                           for (uint32_t y = y0; y < y1; ++y)
                               FilterRow<Codec>(p, source, target, y, scratch[slot]);
                       });
}

} // namespace

ILResult ILColorFilter(const ILColorFilterParams* p, ILHandle* h, ILImage* source,
                       ILImage* target) {
    if (!p || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    if (!target) target = source;
    if (target->type != source->type || target->width != source->width ||
        target->height != source->height || !ILIsValidImage(target))
        return IL_BAD_ARGUMENT;
    const uint32_t model = source->type & IL_MODEL_MASK;
    if (model == IL_MODEL_GRAY) return IL_BAD_ARGUMENT;
    if (source->palette) {
        // In place the two palettes are one; a target palette larger than the
        // source's would read entries that do not exist.
        if (!target->palette || target->palette->count > source->palette->count)
            return IL_BAD_ARGUMENT;
        for (uint32_t i = 0; i < target->palette->count; ++i) {
            const ILPaletteEntry e = source->palette->GetEntry(i);
            const uint16_t bgra[4] = {e.blue, e.green, e.red, e.alpha};
            ILColor color;
            color.FromBGRA16(bgra);
            ILColorFilterPixel(p, &color.r, &color.g, &color.b);
            uint16_t out[4];
            color.ToBGRA16(out);
            target->palette->SetEntry16(i, out[0], out[1], out[2], out[3]);
        }
        return IL_OK;
    }
    // Only RGB samples are B, G, R; grey, CMYK, YCbCr and Lab would be
    // corrupted by filtering them as such.
    if (model != IL_MODEL_RGB || source->channels < 3) return IL_BAD_ARGUMENT;
    switch (source->type & IL_KIND_MASK) {
        case IL_KIND_8:
            return FilterRows<Codec8>(p, h, source, target);
        case IL_KIND_16:
            return FilterRows<Codec16>(p, h, source, target);
        case IL_KIND_HALF:
            return FilterRows<CodecHalf>(p, h, source, target);
        case IL_KIND_FLOAT:
            return FilterRows<CodecFloat>(p, h, source, target);
        default:
            return IL_OK;
    }
}

ILResult ILColorFilterInPlace(const ILColorFilterParams* p, ILHandle* h, ILImage* image) {
    return ILColorFilter(p, h, image, nullptr);
}
