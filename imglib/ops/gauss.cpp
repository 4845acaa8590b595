// The Gauss filter. A ring of 2r + 1 rows holds the rows around the current
// one, each converted to float and blurred across once as it enters; the
// vertical sum over the ring gives the blurred row, which is then mixed with
// the unblurred row channel by channel. The source is read at most r + 1
// rows ahead of the row written, so the filter runs in place. Sums run over
// whole rows, one kernel tap at a time, so that they vectorise; each value
// still adds its taps in the kernel's order.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/simd.h"

namespace {

ILPixelType FloatType(uint32_t channels) {
    switch (channels) {
        case 1:
            return IL_GREY_FLOAT;
        case 2:
            return IL_GREY_A_FLOAT;
        case 3:
            return IL_BGR_FLOAT;
        case 4:
            return IL_BGRA_FLOAT;
        default:
            return 0;
    }
}

// e: the exponent applied before blurring. Stored actions may carry any
// gain: e is kept where the normaliser's factor 3.45 - 1.45 e stays above 0
// and e itself above 0, so the kernel never degenerates.
float Exponent(const ILGaussParams& p, float a) {
    if (p.operation == 3) return 1.0f;
    const float gain = std::isfinite(p.gain) ? p.gain : 0.0f;
    float e = a < 0 ? 1.0f / (gain + 1.0f) : gain + 1.0f;
    if (!(e > 0.05f)) e = 0.05f;
    return std::min(e, 2.35f);
}

std::vector<float> Kernel(int32_t r, float e) {
    std::vector<float> w(static_cast<size_t>(r) + 1);
    w[0] = 1.0f;
    float n;
    if (r == 1) {
        w[1] = 0.125f;
        n = 1.25f;
    } else {
        const float s = static_cast<float>(r) * static_cast<float>(r) / 6.2831855f;
        n = 1.0f;
        for (int32_t i = 1; i <= r; ++i) {
            w[i] = std::pow(2.7182817f, -static_cast<float>(i) * static_cast<float>(i) / s);
            n += std::pow(w[i], 1.0f / e) * (3.45f - 1.45f * e);
        }
    }
    for (float& v : w)
        v /= n;
    return w;
}

float Power(float v, float e) {
    if (v >= 0) return std::exp(std::log(v) * e);
    if (e > 1) return v / (e * e * e * e * e);
    return -std::exp(std::log(-v) * e);
}

// out[k] = w0 in[k] + sum over i of wi (in[k - i step] + in[k + i step]),
// for k in [0, count).
void SymmetricSum(const float* in, float* out, size_t count, const std::vector<float>& w,
                  size_t step) {
    const float w0 = w[0];
    for (size_t k = 0; k < count; ++k)
        out[k] = w0 * in[k];
    for (size_t i = 1; i < w.size(); ++i)
        ILAddScaledPair(out, in - i * step, in + i * step, w[i], count);
}

class Ring {
public:
    Ring(const ILImage& image, int32_t r, float e, uint32_t channels)
        : image_(image),
          r_(r),
          e_(e),
          c_(channels),
          width_(size_t{image.width} * channels),
          weights_(Kernel(r, e)),
          raise_(std::fabs(1.0f - e) >= 0.001f) {}

    // False when a buffer cannot be had or the converter refuses the type.
    bool Init() {
        const size_t slots = 2 * static_cast<size_t>(r_) + 1;
        storage_.resize(slots * width_);
        work_.resize(width_ + 2 * static_cast<size_t>(r_) * c_);
        output_.resize(width_);
        for (size_t i = 0; i < slots; ++i)
            rows_.push_back(storage_.data() + i * width_);
        ILConverterSetPalette(&conv_.c, image_.palette);
        ILConverterSetModes(&conv_.c, image_.type, FloatType(c_), image_.width);
        if (!ILConverterPrepare(&conv_.c)) return false;
        for (int32_t i = 0; i <= r_; ++i) {
            if (static_cast<uint32_t>(i) < image_.height)
                Load(rows_[r_ + i]);
            else
                std::memcpy(rows_[r_ + i], rows_[r_ + i - 1], width_ * sizeof(float));
        }
        for (int32_t i = 0; i < r_; ++i)
            std::memcpy(rows_[i], rows_[r_], width_ * sizeof(float));
        return true;
    }

    // The blurred row of the next image row.
    const float* Advance() {
        const size_t slots = rows_.size();
        // Gather per tap over whole rows: the same sum as per value.
        std::copy(rows_[r_], rows_[r_] + width_, output_.begin());
        const float w0 = weights_[0];
        for (size_t k = 0; k < width_; ++k)
            output_[k] *= w0;
        for (int32_t i = 1; i <= r_; ++i)
            ILAddScaledPair(output_.data(), rows_[r_ - i], rows_[r_ + i], weights_[i], width_);
        ++produced_;
        std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
        if (produced_ < static_cast<int64_t>(image_.height) - r_)
            Load(rows_[slots - 1]);
        else
            std::memcpy(rows_[slots - 1], rows_[slots - 2], width_ * sizeof(float));
        return output_.data();
    }

private:
    // Converts the next image row, raises it, repeats its edge pixels r times
    // on each side and blurs it across into out.
    void Load(float* out) {
        float* interior = work_.data() + static_cast<size_t>(r_) * c_;
        conv_.c.rowKernel(&conv_.c, ILRowOf(&image_, next_++), interior);
        if (raise_) {
            const uint32_t raised = c_ == 2 ? 1 : std::min<uint32_t>(c_, 3);
            for (size_t x = 0; x < image_.width; ++x)
                for (uint32_t ch = 0; ch < raised; ++ch)
                    interior[x * c_ + ch] = Power(interior[x * c_ + ch], e_);
        }
        for (int32_t i = 0; i < r_; ++i) {
            std::memcpy(work_.data() + static_cast<size_t>(i) * c_, interior, c_ * sizeof(float));
            std::memcpy(interior + width_ + static_cast<size_t>(i) * c_, interior + width_ - c_,
                        c_ * sizeof(float));
        }
        SymmetricSum(interior, out, width_, weights_, c_);
    }

    const ILImage& image_;
    int32_t r_;
    float e_;
    uint32_t c_;
    size_t width_;
    std::vector<float> weights_;
    bool raise_;
    ILConverterOwner conv_;
    std::vector<float> storage_, work_, output_;
    std::vector<float*> rows_;
    uint64_t next_ = 0;
    int64_t produced_ = 0;
};

// Which float channels are mixed.
void ChannelMask(const ILGaussParams& p, uint32_t c, bool mask[4]) {
    const bool bloom = p.operation == 3;
    switch (c) {
        case 1:
            mask[0] = true;
            break;
        case 2:
            mask[0] = bloom || p.green;
            mask[1] = !bloom && p.alpha;
            break;
        default:
            mask[0] = bloom || p.blue;
            mask[1] = bloom || p.green;
            mask[2] = bloom || p.red;
            if (c == 4) mask[3] = !bloom && p.alpha;
    }
}

} // namespace

ILGaussParams* ILGaussParamsInit(ILGaussParams* p, int32_t operation, float amount, int32_t radius,
                                 float gain) {
    p->operation = operation;
    p->amount = amount;
    p->radius = radius;
    p->gain = gain;
    ILGaussParamsSetChannels(p, 1, 1, 1, 0);
    return p;
}

void ILGaussParamsSetChannels(ILGaussParams* p, uint8_t red, uint8_t green, uint8_t blue,
                              uint8_t alpha) {
    p->red = red;
    p->green = green;
    p->blue = blue;
    p->alpha = alpha;
}

ILResult ILGaussFilter(const ILGaussParams* params, ILHandle* h, ILImage* source, ILImage* target) {
    if (!params || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    if (target == source) target = nullptr;
    if (target && (target->type != source->type || target->width != source->width ||
                   target->height != source->height || !target->data))
        return IL_BAD_ARGUMENT;
    if ((source->type & IL_MODEL_MASK) == IL_MODEL_INDEXED) return IL_BAD_ARGUMENT;
    const ILGaussParams& p = *params;
    if (p.radius < 1) return IL_FAILED;
    ILImage* out = target ? target : source;
    const uint32_t c = source->channels;
    if (c < 1 || c > 4) return IL_OK;

    // The ring's (2r + 1) x width floats, checked before anything is taken:
    // a radius from a stored action may ask for more than any machine has.
    const uint64_t slots = 2 * uint64_t(p.radius) + 1;
    uint64_t ringBytes = 0;
    if (__builtin_mul_overflow(slots, uint64_t{source->width} * c * sizeof(float), &ringBytes) ||
        ringBytes > (uint64_t{4} << 30))
        return ILReportOutOfMemory(h, ringBytes ? ringBytes : UINT64_MAX);

    const float a = p.operation == 1 ? -p.amount : p.amount;
    const float e = Exponent(p, a);
    const float threshold = p.gain;
    bool mask[4] = {};
    ChannelMask(p, c, mask);
    try {
        Ring ring(*source, p.radius, e, c);
        if (!ring.Init()) return IL_UNSUPPORTED_PIXEL_TYPE;
        ILConverterOwner toFloat, fromFloat;
        ILConverterSetPalette(&toFloat.c, source->palette);
        ILConverterSetModes(&toFloat.c, source->type, FloatType(c), source->width);
        ILConverterSetDither(&fromFloat.c, false);
        ILConverterSetModes(&fromFloat.c, FloatType(c), out->type, source->width);
        if (!ILConverterPrepare(&toFloat.c) || !ILConverterPrepare(&fromFloat.c))
            return IL_UNSUPPORTED_PIXEL_TYPE;
        std::vector<float> row(size_t{source->width} * c);
        for (uint32_t y = 0; y < source->height; ++y) {
            if (!ILProgress(h, y, source->height)) return IL_CANCELLED;
            toFloat.c.rowKernel(&toFloat.c, ILRowOf(source, y), row.data());
            const float* blurred = ring.Advance();
            for (size_t k = 0; k < row.size(); ++k) {
                if (!mask[k % c]) continue;
                const float x = row[k], b = blurred[k];
                if (p.operation == 3) {
                    if (b <= threshold) continue;
                    const float u = (b - threshold) * a;
                    row[k] = u >= 1.0f ? b : (1.0f - u) * x + u * b;
                } else {
                    row[k] = a * b + (1.0f - a) * x;
                }
            }
            fromFloat.c.rowKernel(&fromFloat.c, row.data(), ILRowOf(out, y));
        }
        return IL_OK;
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, ringBytes);
    }
}

ILResult ILGaussFilterInPlace(const ILGaussParams* p, ILHandle* h, ILImage* image) {
    return ILGaussFilter(p, h, image, nullptr);
}
