// The thumbnail resampler: cubic (a = -0.75) on 8-bit B, G, R codes, no
// linearisation, no progress. Streams like the full resampler: each source
// row is converted to 8-bit B, G, R once and filtered across into a ring of
// byte rows, and each target row sums its ring rows.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/resample.h"
#include "imglib/ops/resample_taps.h"

namespace {

// Truncated toward zero and clamped to a byte.
inline uint8_t Clamp8(float v) {
    const int32_t i = static_cast<int32_t>(v);
    return static_cast<uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
}

// in: the row's codes as floats (each is read by several taps: converted
// once); sums: each target sample's weight sum; acc: scratch of the target
// row's samples (the divisions then go in one vector loop).
void Across(const float* in, uint8_t* out, const ILResampleTaps& t, const float* sums, float* acc,
            uint32_t width) {
    for (uint32_t j = 0; j < width; ++j) {
        float b = 0, g = 0, r = 0;
        for (uint32_t k = t.first[j]; k < t.first[j + 1]; ++k) {
            const float w = t.taps[k].weight;
            const float* p = in + static_cast<size_t>(t.taps[k].index) * 3;
            b += w * p[0];
            g += w * p[1];
            r += w * p[2];
        }
        acc[j * 3] = b;
        acc[j * 3 + 1] = g;
        acc[j * 3 + 2] = r;
    }
    // Divided, not multiplied by the inverse: a code times weights that sum
    // to S, divided by S, gives the code back.
    for (size_t n = 0; n < size_t{width} * 3; ++n)
        out[n] = Clamp8(acc[n] / sums[n]);
}

} // namespace

ILResult ILResampleFast(const ILImage* source, ILImage* target) {
    if (!source || !target || !source->data || !target->data || target->type != IL_BGR8 ||
        source->width == 0 || source->height == 0 || target->width == 0 || target->height == 0)
        return IL_FAILED;
    ILConverterOwner conv;
    ILConverterSetAlphaMode(&conv.c, 0);
    ILConverterSetPalette(&conv.c, source->palette);
    ILConverterSetModes(&conv.c, source->type, IL_BGR8, source->width);
    if (!ILConverterPrepare(&conv.c)) return IL_FAILED;
    if (source->width == target->width && source->height == target->height) {
        for (uint32_t y = 0; y < source->height; ++y)
            conv.c.rowKernel(&conv.c, ILRowOf(source, y), ILRowOf(target, y));
        return IL_OK;
    }
    try {
        const ILResampleFilter& cubic = *ILGetResampleFilter(4);
        ILResampleTaps across, down;
        ILBuildResampleTaps(&across, target->width, source->width, cubic, cubic.kernel);
        ILBuildResampleTaps(&down, target->height, source->height, cubic, cubic.kernel);
        const size_t rowBytes = size_t{target->width} * 3;
        const uint32_t slots = std::max(down.widestSpan, 1u);
        std::vector<uint8_t> converted(size_t{source->width} * 3), ring(rowBytes * slots);
        std::vector<float> codes(converted.size()), acc(rowBytes), sums(rowBytes), sum(rowBytes);
        for (size_t n = 0; n < rowBytes; ++n)
            sums[n] = across.sum[n / 3];
        int64_t loaded = 0;
        for (uint32_t i = 0; i < target->height; ++i) {
            const uint32_t begin = down.first[i], end = down.first[i + 1];
            const int32_t needed = begin < end ? down.taps[end - 1].index : -1;
            for (; loaded <= needed; ++loaded) {
                conv.c.rowKernel(&conv.c, ILRowOf(source, static_cast<uint64_t>(loaded)),
                                 converted.data());
                std::copy(converted.begin(), converted.end(), codes.begin());
                Across(codes.data(), ring.data() + (loaded % slots) * rowBytes, across,
                       sums.data(), acc.data(), target->width);
            }
            std::fill(sum.begin(), sum.end(), 0.0f);
            for (uint32_t k = begin; k < end; ++k) {
                const float w = down.taps[k].weight;
                const uint8_t* r = ring.data() + (down.taps[k].index % slots) * rowBytes;
                for (size_t n = 0; n < rowBytes; ++n)
                    sum[n] += w * r[n];
            }
            uint8_t* out = ILRowOf(target, i);
            const float total = down.sum[i];
            for (size_t n = 0; n < rowBytes; ++n)
                out[n] = Clamp8(sum[n] / total);
        }
        return IL_OK;
    } catch (const std::bad_alloc&) {
        return IL_FAILED;
    }
}
