// The projection's rows for interpolated 8-bit sources. Every target
// projection sends the mirror image of a pixel across the vertical centre
// line to its direction with x negated, and across the horizontal one to y
// negated; every source projection sends such directions to the mirrored
// position (u to 1 - u, v to 1 - v: with wrap-around, the same sample as 0
// for 1). A turn about one axis alone keeps the negation of the other axis
// and so that mirror of the map (about z: both at once, the point mirror);
// without a turn the map's quarter gives the rest.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imglib/ops/projection_rows.h"
#include "imglib/ops/row_split.h"

namespace {

enum class RowMirror { kNone, kColumnsKept, kColumnsReversed };

struct Mirrors {
    bool columns;   // column w - 1 - x of a row mirrors column x
    RowMirror rows; // row h - 1 - y mirrors row y, column for column or reversed
};

Mirrors MirrorsOf(const ILSphereTurn& turn) {
    const bool* e = turn.enabled;
    if (!e[0] && !e[1] && !e[2]) return {true, RowMirror::kColumnsKept};
    if (e[0] && !e[1] && !e[2]) return {true, RowMirror::kNone};
    if (!e[0] && e[1] && !e[2]) return {false, RowMirror::kColumnsKept};
    if (!e[0] && !e[1] && e[2]) return {false, RowMirror::kColumnsReversed};
    return {false, RowMirror::kNone};
}

// Units are mapped a group at a time and then sampled in strips of columns
// down the group's rows: a strip reads a compact part of the source, which
// stays in the caches (and its pages in the address cache) while a whole
// row's curve through the source would not.
constexpr uint32_t kGroup = 16;
constexpr uint32_t kStrip = 128;

struct Scratch {
    std::vector<double> sx, sy;
    std::vector<float> fx, fy; // 2 kGroup rows of positions
};

// A target row of a group: its number and its columns inside the disc.
struct GroupRow {
    uint32_t y, l, r;
};

class RowRunner {
public:
    RowRunner(const ILTransformer* t, const ILProjectionRows& m, ILSpanAtProc span)
        : t_(t), m_(m), span_(span), mirrors_(MirrorsOf(m.turn)), w_(t->target->width),
          h_(t->target->height), bytes_((t->target->bits * t->target->channels) / 8) {
        if (t->discMask) {
            // A row of the background, copied from in one piece.
            background_.resize(size_t{w_} * bytes_);
            for (uint32_t x = 0; x < w_; ++x)
                std::memcpy(background_.data() + size_t{x} * bytes_, t->background, bytes_);
            dx2_.resize(w_);
            for (uint32_t x = 0; x < w_; ++x) {
                const double dx = (x + 0.5) / w_ - 0.5;
                dx2_[x] = dx * dx;
            }
        }
    }

    uint32_t UnitCount() const { return mirrors_.rows == RowMirror::kNone ? h_ : (h_ + 1) / 2; }

    void PrepareSlots(unsigned slots) {
        scratch_.resize(slots);
        for (Scratch& s : scratch_) {
            s.sx.resize(size_t{w_} + 4), s.sy.resize(size_t{w_} + 4);
            s.fx.resize(size_t{w_} * 2 * kGroup), s.fy.resize(size_t{w_} * 2 * kGroup);
        }
    }

    // Row units [y0, y1): row y with its mirror row, if any.
    void Units(unsigned slot, uint32_t y0, uint32_t y1) {
        Scratch& s = scratch_[slot];
        GroupRow rows[2 * kGroup];
        // A cancel stops the band between groups.
        for (uint32_t g = y0; g < y1 && workpool::KeepGoing(); g += kGroup) {
            uint32_t n = 0;
            for (uint32_t y = g; y < std::min(y1, g + kGroup); ++y)
                n += Unit(y, &s, rows + n, n);
            for (uint32_t x0 = 0; x0 < w_; x0 += kStrip) {
                const uint32_t x1 = std::min(w_, x0 + kStrip);
                for (uint32_t i = 0; i < n; ++i) {
                    const uint32_t l = std::max(x0, rows[i].l), r = std::min(x1, rows[i].r);
                    const size_t at = size_t{i} * w_ + l;
                    if (l < r) span_(t_, rows[i].y, l, r, s.fx.data() + at, s.fy.data() + at);
                }
            }
        }
    }

private:
    // The positions of unit y's rows into group rows from first (their
    // backgrounds written): how many rows.
    uint32_t Unit(uint32_t y, Scratch* s, GroupRow* rows, uint32_t first) const {
        const bool paired = mirrors_.rows != RowMirror::kNone && h_ - 1 - y != y;
        const bool reversed = mirrors_.rows == RowMirror::kColumnsReversed;
        const uint32_t partner = h_ - 1 - y;
        uint32_t l0, r0, l1 = 0, r1 = 0;
        Inside(y, &l0, &r0);
        if (paired) Inside(partner, &l1, &r1);
        // The columns of row y whose positions either row needs.
        uint32_t a = l0, b = r0;
        if (l1 < r1) {
            const uint32_t pl = reversed ? w_ - r1 : l1, pr = reversed ? w_ - l1 : r1;
            a = a < b ? std::min(a, pl) : pl;
            b = a < b ? std::max(b, pr) : pr;
        }
        if (a < b) Map(y, a, b, s);
        rows[0] = {y, l0, r0};
        Prepare(rows[0], s, first, [&](uint32_t x, float* fx, float* fy) {
            *fx = static_cast<float>(s->sx[x]);
            *fy = static_cast<float>(s->sy[x]);
        });
        if (!paired) return 1;
        rows[1] = {partner, l1, r1};
        Prepare(rows[1], s, first + 1, [&](uint32_t x, float* fx, float* fy) {
            const uint32_t from = reversed ? w_ - 1 - x : x;
            *fx = static_cast<float>(reversed ? m_.sourceWidth - s->sx[from] : s->sx[from]);
            *fy = static_cast<float>(m_.sourceHeight - s->sy[from]);
        });
        return 2;
    }

    // Columns [*l, *r) of row y inside the disc mask (all without one; l = r
    // for none): the per-point loop's test, whose left side only grows away
    // from the centre.
    void Inside(uint32_t y, uint32_t* l, uint32_t* r) const {
        *l = 0, *r = w_;
        if (!t_->discMask) return;
        const double dy = (y + 0.5) / h_ - 0.5;
        while (*l < *r && dy * dy + dx2_[*l] > 0.25)
            ++*l;
        while (*r > *l && dy * dy + dx2_[*r - 1] > 0.25)
            --*r;
    }

    // Positions of columns [a, b) of row y (possibly more) into s.
    void Map(uint32_t y, uint32_t a, uint32_t b, Scratch* s) const {
        if (!mirrors_.columns) {
            ILMapProjectionRow(m_, y, a, b, s->sx.data() + a, s->sy.data() + a);
            return;
        }
        // The left half from the nearer of column a and the mirror of b - 1.
        const uint32_t half = (w_ + 1) / 2, c0 = std::min(a, w_ - b);
        ILMapProjectionRow(m_, y, c0, half, s->sx.data() + c0, s->sy.data() + c0);
        for (uint32_t x = half; x < w_ - c0; ++x) {
            s->sx[x] = m_.sourceWidth - s->sx[w_ - 1 - x];
            s->sy[x] = s->sy[w_ - 1 - x];
        }
    }

    // Row r: the background outside its disc, and inside the positions
    // position(x) gives into group row i.
    template <class Position>
    void Prepare(const GroupRow& r, Scratch* s, uint32_t i, const Position& position) const {
        uint8_t* row = t_->target->data + static_cast<int64_t>(r.y) * t_->target->stride;
        if (r.l > 0) std::memcpy(row, background_.data(), size_t{r.l} * bytes_);
        if (r.r < w_)
            std::memcpy(row + size_t{r.r} * bytes_, background_.data(), size_t{w_ - r.r} * bytes_);
        float* fx = s->fx.data() + size_t{i} * w_;
        float* fy = s->fy.data() + size_t{i} * w_;
        for (uint32_t x = r.l; x < r.r; ++x)
            position(x, fx + x, fy + x);
    }

    const ILTransformer* t_;
    const ILProjectionRows& m_;
    ILSpanAtProc span_;
    Mirrors mirrors_;
    uint32_t w_, h_, bytes_;
    std::vector<double> dx2_;
    std::vector<uint8_t> background_;
    std::vector<Scratch> scratch_;
};

} // namespace

ILResult ILProjectRows(const ILTransformer* t, const ILProjectionRows& m, ILSpanAtProc span) {
    try {
        RowRunner runner(t, m, span);
        const uint32_t units = runner.UnitCount();
        const ILRowPlan plan = ILPlanRows(t->target->width, units);
        runner.PrepareSlots(plan.slots);
        return ILSplitRows(t->handle, units, plan, ILProgressAt::kRowStart,
                           [&runner](unsigned slot, uint32_t y0, uint32_t y1) {
                               runner.Units(slot, y0, y1);
                           });
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(t->handle, 0);
    }
}
