#include "jpeg2000/block_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace j2k {

namespace {

// Distortion removed by coding one bit, in units of the plane's step
// squared times 2^16, indexed by the magnitude bits below the plane. The
// lossless tables serve the last plane of a reversible block, which the
// decoder reconstructs exactly.
struct distortion_tables {
    int32_t significance[2][32]; // [lossless]
    int32_t refinement[2][64];

    distortion_tables() {
        auto fixed = [](double v) { return static_cast<int32_t>(std::floor(v * 65536 + 0.5)); };
        for (int i = 0; i < 32; ++i) {
            const double x = 1 + i / 32.0;
            significance[0][i] = fixed(x * x - (x - 1.5) * (x - 1.5));
            significance[1][i] = fixed(x * x);
        }
        for (int i = 0; i < 64; ++i) {
            const double x = i / 32.0, xr = i < 32 ? x : x - 1;
            refinement[0][i] = fixed((x - 1) * (x - 1) - (xr - 0.5) * (xr - 0.5));
            refinement[1][i] = fixed((x - 1) * (x - 1));
        }
    }
};

const distortion_tables distortion;

// The magnitude bits p-1..p-5 (significance) or p..p-5 (refinement).
inline int bits_below(uint32_t magnitude, int p, int mask) {
    return static_cast<int>((uint64_t{magnitude} << 5 >> p) & mask);
}

} // namespace

uint16_t slope_to_log(double slope) {
    const double v = 65536 + (256 / std::log(2.0)) * std::log(std::min(slope / 4294967296.0, 1.0));
    if (v > 65535) return 0xFFFF;
    if (!(v >= 2)) return 2;
    return static_cast<uint16_t>(v);
}

double log_to_slope(int v) {
    return std::exp((std::log(2.0) / 256) * (v - 65536)) * 4294967296.0;
}

void convex_hull_slopes(const int64_t* lengths, const double* reductions, uint16_t* slopes,
                        int passes) {
    for (int i = 0; i < passes; ++i) {
        double d = 0, best = -1;
        int64_t l = 0;
        for (int j = i; j >= 0; --j) {
            d += reductions[j];
            l += lengths[j];
            if (d <= 0) break;
            if (l > 0 && (best < 0 || d / l < best)) best = d / l;
        }
        slopes[i] = best > 0 ? slope_to_log(best) : 0;
    }
    uint16_t later = 0;
    for (int i = passes - 1; i >= 0; --i) {
        if (slopes[i] <= later)
            slopes[i] = 0;
        else
            later = slopes[i];
    }
}

template <bool causal, bool raw>
int64_t block_encoder::significance_pass(int p, bool lossless) {
    const int32_t* table = distortion.significance[lossless];
    int64_t gain = 0;
    // Locals captured by value: flag stores could alias the members.
    const int stride = stride_;
    scan_stripes(view(), [&, p, stride](uint32_t* f, const uint32_t* s, int r) {
        uint32_t fl = *f;
        if (causal && r == 3) fl &= causal_mask;
        if ((fl & (significant | visited)) || !(fl & neighbours)) return;
        const uint32_t m = *s & 0x7FFFFFFF;
        const int bit = (m >> p) & 1;
        code<raw>(bit, zc_[fl & neighbours]);
        if (bit) {
            code_sign<raw>(*s, fl);
            make_significant(f, stride, static_cast<int>(*s >> 31));
            gain += table[bits_below(m, p, 31)];
        }
        *f |= visited;
    });
    return gain;
}

template <bool causal, bool raw>
int64_t block_encoder::refinement_pass(int p, bool lossless) {
    const int32_t* table = distortion.refinement[lossless];
    int64_t gain = 0;
    scan_stripes(view(), [&, p](uint32_t* f, const uint32_t* s, int r) {
        uint32_t fl = *f;
        if ((fl & (significant | visited)) != significant) return;
        if (causal && r == 3) fl &= causal_mask;
        const uint32_t m = *s & 0x7FFFFFFF;
        const int ctx = (fl & refined) ? 2 : (fl & neighbours) ? 1 : 0;
        code<raw>((m >> p) & 1, ctx_refine + ctx);
        gain += table[bits_below(m, p, 63)];
        *f |= refined;
    });
    return gain;
}

template <bool causal>
int64_t block_encoder::cleanup_pass(int p, bool lossless) {
    const int32_t* table = distortion.significance[lossless];
    int64_t gain = 0;
    // Locals: flag stores could alias the members.
    const int width = width_, height = height_, stride = stride_;
    uint32_t* const flags = flags_.data();
    const uint32_t* const samples = samples_;
    for (int y0 = 0; y0 < height; y0 += 4) {
        const int rows = std::min(4, height - y0);
        for (int x = 0; x < width; ++x) {
            uint32_t* const f0 = flags + (y0 + 1) * stride + x + 1;
            const uint32_t* const s0 = samples + y0 * width + x;
            auto become_significant = [&](int r, uint32_t fl) {
                const uint32_t s = s0[r * width];
                code_sign<false>(s, fl);
                make_significant(f0 + r * stride, stride, static_cast<int>(s >> 31));
                gain += table[bits_below(s & 0x7FFFFFFF, p, 31)];
            };
            int r = 0;
            if (rows == 4) {
                const uint32_t busy = significant | visited | neighbours;
                uint32_t last = f0[3 * stride];
                if (causal) last &= causal_mask;
                if (!((f0[0] | f0[stride] | f0[2 * stride]) & busy) && !(last & busy)) {
                    while (r < 4 && !((s0[r * width] >> p) & 1))
                        ++r;
                    mq_.encode(r < 4, contexts_[ctx_run]);
                    if (r == 4) continue;
                    mq_.encode(r >> 1, contexts_[ctx_uniform]);
                    mq_.encode(r & 1, contexts_[ctx_uniform]);
                    uint32_t fl = f0[r * stride];
                    if (causal && r == 3) fl &= causal_mask;
                    become_significant(r, fl);
                    ++r;
                }
            }
            for (; r < rows; ++r) {
                uint32_t fl = f0[r * stride];
                if (fl & (significant | visited)) continue;
                if (causal && r == 3) fl &= causal_mask;
                const int bit = (s0[r * width] >> p) & 1;
                mq_.encode(bit, contexts_[zc_[fl & neighbours]]);
                if (bit) become_significant(r, fl);
            }
            for (r = 0; r < rows; ++r)
                f0[r * stride] &= ~visited;
        }
    }
    return gain;
}

void block_encoder::encode(const block_source& b, encoded_block& out) {
    out.data.clear();
    out.ends.clear();
    out.slopes.clear();
    uint32_t all = 0;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            all |= b.samples[int64_t{y} * b.width + x];
    all &= 0x7FFFFFFF;
    const int k = b.planes;
    // Planes above the block's largest magnitude are not coded.
    out.missing_msbs = all ? std::min(k, std::countl_zero(all) - 1) : k;
    const int coded_planes = k - out.missing_msbs;
    const int passes = coded_planes > 0 ? 3 * coded_planes - 2 : 0;
    if (passes == 0) return;

    width_ = b.width;
    height_ = b.height;
    stride_ = width_ + 2;
    samples_ = b.samples;
    flags_.assign(static_cast<size_t>(stride_) * (height_ + 2), 0u);
    zc_ = block_tables.zc[b.orientation == 1 ? 1 : b.orientation == 3 ? 2 : 0];
    reset_block_contexts(contexts_);
    bytes_.assign(1, 0);

    const bool causal = b.modes & mode_causal, erterm = b.modes & mode_erterm;
    std::vector<double> reductions(passes);
    std::vector<mq_encoder::snapshot> points(passes);
    out.ends.resize(passes);
    int p = 30 - out.missing_msbs;
    double t = b.weight * std::ldexp(1.0, -32) * std::pow(0.25, out.missing_msbs);
    int first = 0;        // first pass of the open segment
    size_t seg_begin = 0; // and where its bytes start
    for (int n = 0; n < passes; ++n) {
        const int type = n % 3;
        if (type == 1) {
            --p;
            t *= 0.25;
        }
        const bool raw = (b.modes & mode_bypass) && n >= 10 && type != 0;
        if (n == first) {
            seg_begin = bytes_.size();
            if (raw)
                raw_.start(bytes_);
            else
                mq_.start(bytes_);
        }
        const bool lossless = b.reversible && p == 31 - k;
        int64_t gain;
        if (type == 0) {
            gain = causal ? cleanup_pass<true>(p, lossless) : cleanup_pass<false>(p, lossless);
            if (b.modes & mode_segmark)
                for (int bit : {1, 0, 1, 0})
                    mq_.encode(bit, contexts_[ctx_uniform]);
        } else if (type == 1) {
            if (raw)
                gain = causal ? significance_pass<true, true>(p, lossless)
                              : significance_pass<false, true>(p, lossless);
            else
                gain = causal ? significance_pass<true, false>(p, lossless)
                              : significance_pass<false, false>(p, lossless);
        } else {
            if (raw)
                gain = causal ? refinement_pass<true, true>(p, lossless)
                              : refinement_pass<false, true>(p, lossless);
            else
                gain = causal ? refinement_pass<true, false>(p, lossless)
                              : refinement_pass<false, false>(p, lossless);
        }
        reductions[n] = static_cast<double>(gain) * t;
        if (b.modes & mode_reset) reset_block_contexts(contexts_);

        const bool last = n + 1 == passes || n + 1 - first == segment_pass_limit(b.modes, first);
        if (!last) {
            // Raw cuts are known now; arithmetic ones once the segment's
            // bytes are all out.
            if (raw)
                out.ends[n] = static_cast<int64_t>(seg_begin + raw_.truncation_point());
            else
                points[n] = mq_.save();
            continue;
        }
        const size_t length = raw ? raw_.terminate() : mq_.terminate(erterm);
        const int64_t end = static_cast<int64_t>(seg_begin + length);
        for (int i = first; i < n; ++i) {
            const int64_t cut =
                raw ? out.ends[i]
                    : static_cast<int64_t>(seg_begin + mq_.truncation_point(points[i]));
            out.ends[i] = std::min(cut, end);
        }
        out.ends[n] = end;
        first = n + 1;
    }
    // Offsets counted the guard byte; cut points never go backwards.
    for (int n = 0; n < passes; ++n) {
        out.ends[n] -= 1;
        if (n) out.ends[n] = std::max(out.ends[n], out.ends[n - 1]);
    }
    out.data.assign(bytes_.begin() + 1, bytes_.end());
    out.slopes.assign(passes, 0);
    if (b.weight > 0) {
        std::vector<int64_t> lengths(passes);
        for (int n = 0; n < passes; ++n)
            lengths[n] = out.ends[n] - (n ? out.ends[n - 1] : 0);
        convex_hull_slopes(lengths.data(), reductions.data(), out.slopes.data(), passes);
        // A lossless layer can always take the whole block.
        if (b.reversible && out.slopes[passes - 1] == 0) out.slopes[passes - 1] = 1;
    }
}

} // namespace j2k
