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
#include <memory>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/row_split.h"
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

// Where a band reads the rows of the image: its own rows from the image
// (each read before it is written, as the ring reads ahead of the rows
// written), and the rows around it, which other bands may be writing, from a
// copy made before any band started.
class RowSource {
public:
    RowSource(const ILImage& image, uint32_t first, uint32_t end)
        : image_(image), first_(first), end_(end) {}

    // Copies the rows within reach r of [first, end) that lie outside it.
    void KeepNeighbours(int32_t r) {
        const uint64_t rowBytes = image_.stride;
        const uint32_t above = first_ - std::min<uint32_t>(first_, static_cast<uint32_t>(r));
        const uint32_t below =
            static_cast<uint32_t>(std::min<uint64_t>(image_.height, uint64_t{end_} + r + 1));
        keptFirst_ = above;
        kept_.assign((first_ - above + below - end_) * rowBytes, 0);
        uint8_t* to = kept_.data();
        for (uint32_t y = above; y < first_; ++y, to += rowBytes)
            std::memcpy(to, ILRowOf(&image_, y), rowBytes);
        for (uint32_t y = end_; y < below; ++y, to += rowBytes)
            std::memcpy(to, ILRowOf(&image_, y), rowBytes);
        keeps_ = true;
    }

    const uint8_t* Row(uint32_t y) const {
        if (!keeps_ || (y >= first_ && y < end_)) return ILRowOf(&image_, y);
        const uint64_t at = y < first_ ? y - keptFirst_ : (first_ - keptFirst_) + (y - end_);
        return kept_.data() + at * image_.stride;
    }

private:
    const ILImage& image_;
    uint32_t first_, end_, keptFirst_ = 0;
    bool keeps_ = false;
    std::vector<uint8_t> kept_;
};

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
        return ILConverterPrepare(&conv_.c);
    }

    // Fills the ring for the blurred rows from first on, reading rows from
    // source: rows above the image are its first, rows below its last.
    void Start(uint32_t first, const RowSource* source) {
        source_ = source;
        produced_ = first;
        const int64_t h = image_.height;
        for (int32_t k = 0; k <= 2 * r_; ++k) {
            const int64_t y = int64_t{first} - r_ + k;
            if (y >= 0 && y < h && (k == 0 || y > 0))
                Load(rows_[k], static_cast<uint32_t>(y));
            else if (y < 0 && k == 0)
                Load(rows_[k], 0);
            else
                std::memcpy(rows_[k], rows_[k - 1], width_ * sizeof(float));
        }
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
            Load(rows_[slots - 1], static_cast<uint32_t>(produced_ + r_));
        else
            std::memcpy(rows_[slots - 1], rows_[slots - 2], width_ * sizeof(float));
        return output_.data();
    }

private:
    // Converts image row y, raises it, repeats its edge pixels r times on
    // each side and blurs it across into out.
    void Load(float* out, uint32_t y) {
        float* interior = work_.data() + static_cast<size_t>(r_) * c_;
        conv_.c.rowKernel(&conv_.c, source_->Row(y), interior);
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
    const RowSource* source_ = nullptr;
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
    const uint64_t ringRows = 2 * uint64_t(p.radius) + 1;
    uint64_t ringBytes = 0;
    if (__builtin_mul_overflow(ringRows, uint64_t{source->width} * c * sizeof(float), &ringBytes) ||
        ringBytes > (uint64_t{4} << 30))
        return ILReportOutOfMemory(h, ringBytes ? ringBytes : UINT64_MAX);

    const float a = p.operation == 1 ? -p.amount : p.amount;
    const float e = Exponent(p, a);
    const float threshold = p.gain;
    bool mask[4] = {};
    ChannelMask(p, c, mask);

    // Bands of rows on the work pool, each with a ring of its own that starts
    // 2r rows early: bands of at least 64 rows, two a thread, and no more
    // threads than a gigabyte of rings allows. One band is the whole image.
    ILRowPlan plan = ILPlanRows(source->width, source->height);
    plan.slots =
        static_cast<unsigned>(std::clamp<uint64_t>((uint64_t{1} << 30) / ringBytes, 1, plan.slots));
    if (plan.slots > 1)
        plan.band = std::max(std::min(source->height, 64u), source->height / (2 * plan.slots));
    else
        plan.band = source->height;
    const uint32_t bands = (source->height + plan.band - 1) / plan.band;

    // One thread's converters, ring and row.
    struct Slot {
        Slot(const ILImage& image, int32_t r, float e, uint32_t c) : ring(image, r, e, c) {}
        Ring ring;
        ILConverterOwner toFloat, fromFloat;
        std::vector<float> row;
    };
    try {
        std::vector<std::unique_ptr<Slot>> slots;
        for (unsigned i = 0; i < plan.slots; ++i) {
            auto slot = std::make_unique<Slot>(*source, p.radius, e, c);
            if (!slot->ring.Init()) return IL_UNSUPPORTED_PIXEL_TYPE;
            ILConverterSetPalette(&slot->toFloat.c, source->palette);
            ILConverterSetModes(&slot->toFloat.c, source->type, FloatType(c), source->width);
            ILConverterSetDither(&slot->fromFloat.c, false);
            ILConverterSetModes(&slot->fromFloat.c, FloatType(c), out->type, source->width);
            if (!ILConverterPrepare(&slot->toFloat.c) || !ILConverterPrepare(&slot->fromFloat.c))
                return IL_UNSUPPORTED_PIXEL_TYPE;
            slot->row.resize(size_t{source->width} * c);
            slots.push_back(std::move(slot));
        }
        // In place, a band's neighbours' rows are kept before any is written.
        std::vector<RowSource> rowSources;
        rowSources.reserve(bands);
        for (uint32_t i = 0; i < bands; ++i) {
            const uint32_t first = i * plan.band;
            rowSources.emplace_back(*source, first, std::min(source->height, first + plan.band));
            if (bands > 1 && out == source) rowSources.back().KeepNeighbours(p.radius);
        }
        // Rows [y0, y1) of a band whose ring has been started.
        auto next = [&](Slot& slot, const RowSource& from, uint32_t y0, uint32_t y1) {
            std::vector<float>& row = slot.row;
            // Bands are long: a cancel stops them between rows.
            for (uint32_t y = y0; y < y1 && workpool::KeepGoing(); ++y) {
                slot.toFloat.c.rowKernel(&slot.toFloat.c, from.Row(y), row.data());
                const float* blurred = slot.ring.Advance();
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
                slot.fromFloat.c.rowKernel(&slot.fromFloat.c, row.data(), ILRowOf(out, y));
            }
        };
        if (bands == 1) {
            // Row by row, with progress at each.
            Slot& slot = *slots[0];
            slot.ring.Start(0, &rowSources[0]);
            for (uint32_t y = 0; y < source->height; ++y) {
                if (!ILProgress(h, y, source->height)) return IL_CANCELLED;
                next(slot, rowSources[0], y, y + 1);
            }
            return IL_OK;
        }
        return ILSplitRows(h, source->height, plan, ILProgressAt::kRowStart,
                           [&](unsigned slotIndex, uint32_t y0, uint32_t y1) {
                               Slot& slot = *slots[slotIndex];
                               const RowSource& from = rowSources[y0 / plan.band];
                               slot.ring.Start(y0, &from);
                               next(slot, from, y0, y1);
                           });
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, ringBytes);
    }
}

ILResult ILGaussFilterInPlace(const ILGaussParams* p, ILHandle* h, ILImage* image) {
    return ILGaussFilter(p, h, image, nullptr);
}
