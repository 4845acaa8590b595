// The resampler: separable, in linear light, alpha with a non-negative
// kernel when the filter rings.
//
// The two passes stream: each source row is converted to linear float once,
// filtered horizontally into a ring of as many rows as the widest vertical
// tap list spans, and every target row is the weighted sum of its ring rows.
// Memory is the source, the target and that ring, not a float copy of the
// image; the source is read once, top to bottom. In place, the result is
// built apart and replaces the source only when it is complete, so a cancel
// or a failed allocation leaves the image as it was.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/convert/rows_samples.h"
#include "imglib/convert/srgb.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/destination.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/row_split.h"
#include "imglib/ops/resample.h"
#include "imglib/ops/resample_taps.h"
#include "imglib/ops/simd.h"
#include "imglib/ops/srgb8_encoder.h"

namespace {

bool IsIndexed(ILPixelType type) {
    return (type & IL_MODEL_MASK) == IL_MODEL_INDEXED;
}

// The float type that holds `channels` samples of the source in linear
// light, keeping its extra-channel flags and, where the converter offers it,
// its channel order.
bool PrepareFloatRows(ILConverterOwner* conv, const ILImage& source, uint32_t channels,
                      bool* rgbOrder) {
    ILPixelType type = channels <= 2 ? IL_GREY_FLOAT : IL_BGR_FLOAT;
    if (channels == 2 || channels == 4) type |= source.type & IL_EXTRA_MASK;
    const ILPixelType orders[] = {type | (source.type & IL_ORDER_RGB), type};
    for (ILPixelType t : orders) {
        ILConverterFree(&conv->c);
        ILConverterInit(&conv->c);
        ILConverterSetPalette(&conv->c, source.palette);
        ILConverterSetModes(&conv->c, source.type, t, source.width);
        if (ILConverterPrepare(&conv->c)) {
            *rgbOrder = channels >= 3 && (t & IL_ORDER_RGB) != 0;
            return true;
        }
    }
    return false;
}

template <int C>
void FilterRow(const float* in, float* out, const ILResampleTaps& t, uint32_t width, int alpha) {
    for (uint32_t j = 0; j < width; ++j) {
        float acc[C] = {};
        float accA = 0;
        for (uint32_t k = t.first[j]; k < t.first[j + 1]; ++k) {
            const ILResampleTap& tap = t.taps[k];
            const float* p = in + static_cast<size_t>(tap.index) * C;
            for (int ch = 0; ch < C; ++ch)
                acc[ch] += tap.weight * p[ch];
            if (alpha >= 0) accA += tap.alphaWeight * p[alpha];
        }
        float* o = out + static_cast<size_t>(j) * C;
        for (int ch = 0; ch < C; ++ch)
            o[ch] = acc[ch] * t.inverseWeight[j];
        if (alpha >= 0) o[alpha] = accA * t.inverseAlpha[j];
    }
}

// Three and four channels, all channels of a tap at once: in holds four
// floats per pixel (three-channel rows are padded first).
template <int C>
void FilterRow4(const float* in, float* out, const ILResampleTaps& t, uint32_t width, int alpha) {
    for (uint32_t j = 0; j < width; ++j) {
        ILFloat4 acc = ILSplat4(0.0f);
        float accA = 0;
        for (uint32_t k = t.first[j]; k < t.first[j + 1]; ++k) {
            const ILResampleTap& tap = t.taps[k];
            const float* p = in + static_cast<size_t>(tap.index) * 4;
            acc += ILSplat4(tap.weight) * ILLoad4(p);
            if (alpha >= 0) accA += tap.alphaWeight * p[alpha];
        }
        acc *= ILSplat4(t.inverseWeight[j]);
        float* o = out + static_cast<size_t>(j) * C;
        for (int ch = 0; ch < C; ++ch)
            o[ch] = acc[ch];
        if (alpha >= 0) o[alpha] = accA * t.inverseAlpha[j];
    }
}

using FilterRowProc = void (*)(const float*, float*, const ILResampleTaps&, uint32_t, int);
constexpr FilterRowProc kFilterRow[4] = {FilterRow<1>, FilterRow<2>, FilterRow4<3>, FilterRow4<4>};

// Writes one target row from its float samples by the target's kind.
struct RowEncoder {
    ILPixelType kind;
    uint32_t width, channels;
    int alpha;   // channel that is encoded without transfer, -1 for none
    bool swapRB; // float rows and target differ in colour order
    const float* dither;
    const ILSrgb8Encoder* srgb8;

    template <class T, class Colour, class Extra>
    void Whole(const float* in, uint8_t* out, Colour colour, Extra extra) const {
        T* o = reinterpret_cast<T*>(out);
        for (uint32_t x = 0; x < width; ++x) {
            const float* p = in + static_cast<size_t>(x) * channels;
            T* q = o + static_cast<size_t>(x) * channels;
            for (uint32_t ch = 0; ch < channels; ++ch) {
                const uint32_t from = swapRB && ch != 1 && ch < 3 ? 2 - ch : ch;
                q[ch] = static_cast<int>(ch) == alpha ? extra(p[from]) : colour(p[from]);
            }
        }
    }

    // 1, 2 and 4-bit grey, packed from the most significant bit.
    template <unsigned Bits, class Code>
    void Packed(const float* in, uint8_t* out, Code code) const {
        constexpr unsigned perByte = 8 / Bits;
        std::memset(out, 0, (width + perByte - 1) / perByte);
        for (uint32_t x = 0; x < width; ++x)
            out[x / perByte] |=
                static_cast<uint8_t>(code(x, in[x]) << (8 - Bits * (x % perByte + 1)));
    }

    void operator()(const float* in, uint8_t* out, uint32_t y) const {
        switch (kind) {
            case IL_KIND_1:
                return Packed<1>(in, out, [&](uint32_t x, float v) {
                    return v + dither[(x % 4) * 4 + y % 4] >= 1.0f ? 1u : 0u;
                });
            case IL_KIND_2:
                return Packed<2>(in, out,
                                 [&](uint32_t, float v) { return ((*srgb8)(v) + 42u) / 85u; });
            case IL_KIND_4:
                return Packed<4>(in, out,
                                 [&](uint32_t, float v) { return ((*srgb8)(v) + 8u) / 17u; });
            case IL_KIND_8:
                return Whole<uint8_t>(in, out, *srgb8, ILClampToU8);
            case IL_KIND_16:
                return Whole<uint16_t>(in, out, ILLinearToSrgb16, ILClampToU16);
            case IL_KIND_HALF:
                return Whole<uint16_t>(in, out, ilrows::FloatToHalf, ilrows::FloatToHalf);
            default: {
                auto same = [](float v) { return v; };
                return Whole<float>(in, out, same, same);
            }
        }
    }
};

bool EncodableKind(ILPixelType type, uint32_t channels) {
    switch (type & IL_KIND_MASK) {
        case IL_KIND_1:
        case IL_KIND_2:
        case IL_KIND_4:
            return channels == 1 && (type & IL_MODEL_MASK) == IL_MODEL_GRAY;
        case IL_KIND_8:
        case IL_KIND_16:
        case IL_KIND_HALF:
        case IL_KIND_FLOAT:
            return true;
        default:
            return false;
    }
}

// Equal sizes: a plain conversion.
ILResult ConvertWhole(ILHandle* h, const ILImage& source, ILImage* out) {
    ILConverterOwner conv;
    if (h) ILConverterSetBackground(&conv.c, h->background);
    ILConverterSetPalette(&conv.c, source.palette);
    ILConverterSetModes(&conv.c, source.type, out->type, source.width);
    if (!ILConverterPrepare(&conv.c)) return IL_FAILED;
    for (uint32_t y = 0; y < source.height; ++y)
        conv.c.rowKernel(&conv.c, ILRowOf(&source, y), ILRowOf(out, y));
    return IL_OK;
}

// Palettes: nearest neighbour, never a new colour.
ILResult Nearest(ILHandle* h, const ILImage& source, ILImage* out) {
    ILSetPixelProc set;
    ILGetPixelProc get;
    if (!ILGetPixelAccessors(&source, &set, &get)) return IL_BAD_ARGUMENT;
    const float sx = static_cast<float>(out->width) / static_cast<float>(source.width);
    const float sy = static_cast<float>(out->height) / static_cast<float>(source.height);
    std::vector<int32_t> columns(out->width);
    for (uint32_t x = 0; x < out->width; ++x)
        columns[x] = std::min(static_cast<int32_t>(static_cast<float>(x) / sx),
                              static_cast<int32_t>(source.width) - 1);
    uint8_t value[16];
    for (uint32_t y = 0; y < out->height; ++y) {
        if (!ILProgress(h, y, out->height)) return IL_CANCELLED;
        const int32_t row = std::min(static_cast<int32_t>(static_cast<float>(y) / sy),
                                     static_cast<int32_t>(source.height) - 1);
        for (uint32_t x = 0; x < out->width; ++x) {
            get(&source, columns[x], row, value);
            set(out, static_cast<int32_t>(x), static_cast<int32_t>(y), value);
        }
    }
    return IL_OK;
}

ILResult Filtered(ILHandle* h, const ILImage& source, ILImage* out, const ILResampleFilter& filter,
                  uint8_t index) {
    const uint32_t channels = out->channels;
    if (channels < 1 || channels > 4) return IL_FAILED;
    if (!EncodableKind(out->type, channels)) return IL_UNSUPPORTED_PIXEL_TYPE;
    ILConverterOwner conv;
    bool floatRGBOrder = false;
    if (!PrepareFloatRows(&conv, source, channels, &floatRGBOrder))
        return IL_UNSUPPORTED_PIXEL_TYPE;

    // Filters with negative lobes would make alpha ring: alpha takes Gauss.
    float (*alphaKernel)(float) = index <= 1 ? filter.kernel : ILGetResampleFilter(2)->kernel;
    const int alpha = channels == 2 ? 1 : channels == 4 ? 3 : -1;
    const int separateAlpha = alphaKernel != filter.kernel ? alpha : -1;

    ILResampleTaps across, down;
    ILBuildResampleTaps(&across, out->width, source.width, filter, alphaKernel);
    ILBuildResampleTaps(&down, out->height, source.height, filter, alphaKernel);

    const size_t sourceRow = static_cast<size_t>(source.width) * channels;
    const size_t targetRow = static_cast<size_t>(out->width) * channels;
    const uint32_t ringRows = std::max(down.widestSpan, 1u);

    const RowEncoder encode{out->type & IL_KIND_MASK,
                            out->width,
                            channels,
                            alpha,
                            channels >= 3 && floatRGBOrder != ((out->type & IL_ORDER_RGB) != 0),
                            ILOrderedDitherF,
                            &ILGetSrgb8Encoder()};
    const FilterRowProc filterRow = kFilterRow[channels - 1];

    // One thread's converter and rows: a ring of source rows filtered
    // across, and the sum of a target row.
    struct Slot {
        ILConverterOwner conv;
        std::vector<float> converted, ring, sum;
        std::vector<float> padded; // three-channel rows spread to four floats a pixel
    };
    // Bands of target rows on the work pool, each filling its ring with the
    // rows the ring holds at its first target row; every ring row is the same
    // filtered source row whichever band loads it.
    const ILRowPlan plan = ILPlanRows(out->width, out->height);
    std::vector<Slot> slots(plan.slots);
    for (Slot& slot : slots) {
        bool rgbOrder;
        if (!PrepareFloatRows(&slot.conv, source, channels, &rgbOrder))
            return IL_UNSUPPORTED_PIXEL_TYPE;
        slot.converted.resize(sourceRow);
        slot.ring.resize(targetRow * ringRows);
        slot.sum.resize(targetRow);
        slot.padded.resize(channels == 3 ? size_t{source.width} * 4 : 0);
    }

    auto rows = [&](unsigned slotIndex, uint32_t y0, uint32_t y1) {
        Slot& slot = slots[slotIndex];
        std::vector<float>& ring = slot.ring;
        std::vector<float>& sum = slot.sum;
        // The next source row to filter into the ring: the ring then holds
        // what it holds when every row before is loaded (a row on a source
        // row takes that row alone, the next one reaches back before it).
        const uint32_t firstEnd = down.first[y0 + 1];
        const int64_t firstNeeded = down.first[y0] < firstEnd ? down.taps[firstEnd - 1].index : 0;
        int64_t loaded = std::max<int64_t>(0, firstNeeded - ringRows + 1);
        for (uint32_t i = y0; i < y1 && workpool::KeepGoing(); ++i) {
            const uint32_t begin = down.first[i], end = down.first[i + 1];
            const int32_t needed = begin < end ? down.taps[end - 1].index : -1;
            for (; loaded <= needed; ++loaded) {
                slot.conv.c.rowKernel(&slot.conv.c, ILRowOf(&source, static_cast<uint64_t>(loaded)),
                                      slot.converted.data());
                const float* in = slot.converted.data();
                if (channels == 3) {
                    for (size_t x = 0; x < source.width; ++x)
                        std::memcpy(&slot.padded[x * 4], &slot.converted[x * 3], 3 * sizeof(float));
                    in = slot.padded.data();
                }
                filterRow(in, ring.data() + (loaded % ringRows) * targetRow, across, out->width,
                          separateAlpha);
            }
            std::fill(sum.begin(), sum.end(), 0.0f);
            for (uint32_t k = begin; k < end; ++k)
                ILAddScaled(sum.data(), ring.data() + (down.taps[k].index % ringRows) * targetRow,
                            down.taps[k].weight, targetRow);
            ILScale(sum.data(), down.inverseWeight[i], targetRow);
            if (separateAlpha >= 0) {
                for (size_t n = separateAlpha; n < targetRow; n += channels) {
                    float a = 0;
                    for (uint32_t k = begin; k < end; ++k)
                        a += down.taps[k].alphaWeight *
                             ring[(down.taps[k].index % ringRows) * targetRow + n];
                    sum[n] = a * down.inverseAlpha[i];
                }
            }
            encode(sum.data(), ILRowOf(out, i), i);
        }
    };
    return ILSplitRows(h, out->height, plan, ILProgressAt::kRowStart, rows);
}

} // namespace

ILResult ILResample(ILHandle* h, ILImage* source, ILImage* target, uint8_t filter,
                    bool releaseSource) {
    if (!source || !target || !source->data || source->width == 0 || source->height == 0 ||
        target->width == 0 || target->height == 0)
        return IL_BAD_ARGUMENT;
    const ILResampleFilter* f = ILGetResampleFilter(filter);
    if (!f) return IL_BAD_ARGUMENT;
    const uint32_t width = target->width, height = target->height;
    const bool equal = width == source->width && height == source->height;
    try {
        // With releaseSource the result is built apart and handed over whole.
        ILImageOwner built;
        ILImage* out = target;
        if (releaseSource) {
            out = &built.image;
            if (ILAllocImage(out, width, height, source->type, nullptr) != IL_OK)
                return IL_OUT_OF_MEMORY;
        } else {
            if (!target->data) return IL_BAD_ARGUMENT;
            // Pixels are copied raw into a palette target: only from its own type.
            if (!equal && IsIndexed(target->type) && target->type != source->type)
                return IL_BAD_ARGUMENT;
            if (equal || IsIndexed(target->type)) {
                ILPalette* copy = source->palette ? new ILPalette(*source->palette) : nullptr;
                delete target->palette;
                target->palette = copy;
                target->background = source->background;
            }
        }
        ILResult r;
        if (equal)
            r = ConvertWhole(h, *source, out);
        else if (IsIndexed(out->type))
            r = Nearest(h, *source, out);
        else
            r = Filtered(h, *source, out, *f, filter);
        if (releaseSource && r == IL_OK) {
            built.image.background = source->background;
            built.image.palette = source->palette;
            source->palette = nullptr;
            ILClearImage(source);
            ILMoveImage(target, &built.image, true, false);
        }
        return r;
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, 0);
    }
}

ILResult ILResampleImage(ILHandle* h, ILImage* image, int32_t width, int32_t height,
                         uint8_t filter) {
    if (!ILIsValidImage(image) || width <= 0 || height <= 0) return IL_BAD_ARGUMENT;
    ILImage result;
    result.width = static_cast<uint32_t>(width);
    result.height = static_cast<uint32_t>(height);
    // On success the image is released and the result takes its place; on
    // failure the image is untouched.
    const ILResult r = ILResample(h, image, &result, filter, true);
    if (r == IL_OK) ILMoveImage(image, &result, true, false);
    return r;
}

ILResult ILResampleInto(ILHandle* h, ILImage* source, ILImage* target, uint8_t filter) {
    if (!ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    return ILResample(h, source, target, filter, false);
}
