// Palette quantiser: the exact path for images with few colours, else a
// median cut over a histogram of perceptually curved values, mapped directly
// or with serpentine Floyd-Steinberg through an inverse colour map.
#include "imglib/convert/quantize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "imglib/convert/converter_owner.h"
#include "imglib/convert/diffusion.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/pixel_rows.h"

namespace {

struct ILColorBox {
    int32_t rmin, gmin, bmin, rmax, gmax, bmax;
    int32_t volume;
    int32_t colors; // occupied cells
};

struct ILMedianCutContext {
    int32_t bits; // histogram bits per channel
    int32_t cells;
    int32_t shift;
    int32_t boxCount;
    int32_t maxColors;
    ILColorBox* boxes;
    int32_t* histogram; // r << 2c | g << c | b; later the inverse colour map
};

struct Curves {
    uint8_t forward[256]; // F: ^(4/3)
    uint8_t inverse[256]; // G: ^(3/4)
    Curves() {
        for (int i = 0; i < 256; ++i) {
            const double x = i / 255.0;
            forward[i] = i == 0 || i == 255 ? static_cast<uint8_t>(i)
                                            : static_cast<uint8_t>(255 * std::pow(x, 4.0 / 3.0));
            inverse[i] = i == 0 || i == 255 ? static_cast<uint8_t>(i)
                                            : static_cast<uint8_t>(255 * std::pow(x, 3.0 / 4.0));
        }
    }
};

const Curves& TheCurves() {
    static const Curves curves;
    return curves;
}

int32_t& Cell(const ILMedianCutContext& m, int32_t r, int32_t g, int32_t b) {
    return m.histogram[(r << (2 * m.bits)) | (g << m.bits) | b];
}

bool Occupied(const ILMedianCutContext& m, int r0, int r1, int g0, int g1, int b0, int b1) {
    for (int r = r0; r <= r1; ++r)
        for (int g = g0; g <= g1; ++g)
            for (int b = b0; b <= b1; ++b)
                if (Cell(m, r, g, b)) return true;
    return false;
}

void ILUpdateBox(const ILMedianCutContext& m, ILColorBox* box) {
    ILColorBox& x = *box;
    // Shrink each bound to the first occupied plane, red, then green, then blue.
    if (x.rmax > x.rmin)
        while (x.rmin < x.rmax && !Occupied(m, x.rmin, x.rmin, x.gmin, x.gmax, x.bmin, x.bmax))
            ++x.rmin;
    if (x.rmax > x.rmin)
        while (x.rmax > x.rmin && !Occupied(m, x.rmax, x.rmax, x.gmin, x.gmax, x.bmin, x.bmax))
            --x.rmax;
    if (x.gmax > x.gmin)
        while (x.gmin < x.gmax && !Occupied(m, x.rmin, x.rmax, x.gmin, x.gmin, x.bmin, x.bmax))
            ++x.gmin;
    if (x.gmax > x.gmin)
        while (x.gmax > x.gmin && !Occupied(m, x.rmin, x.rmax, x.gmax, x.gmax, x.bmin, x.bmax))
            --x.gmax;
    if (x.bmax > x.bmin)
        while (x.bmin < x.bmax && !Occupied(m, x.rmin, x.rmax, x.gmin, x.gmax, x.bmin, x.bmin))
            ++x.bmin;
    if (x.bmax > x.bmin)
        while (x.bmax > x.bmin && !Occupied(m, x.rmin, x.rmax, x.gmin, x.gmax, x.bmax, x.bmax))
            --x.bmax;
    const int32_t s = m.shift;
    const int32_t dr = (x.rmax - x.rmin) << s, dg = (x.gmax - x.gmin) << s,
                  db = (x.bmax - x.bmin) << s;
    x.volume = dr * dr + dg * dg + db * db;
    int32_t colors = 0;
    for (int r = x.rmin; r <= x.rmax; ++r)
        for (int g = x.gmin; g <= x.gmax; ++g)
            for (int b = x.bmin; b <= x.bmax; ++b)
                colors += Cell(m, r, g, b) != 0;
    x.colors = colors;
}

ILColorBox* ILFindMostColorfulBox(const ILMedianCutContext& m, int32_t count) {
    ILColorBox* best = nullptr;
    int32_t most = 0;
    for (int32_t i = 0; i < count; ++i)
        if (m.boxes[i].colors > most && m.boxes[i].volume > 0) {
            best = &m.boxes[i];
            most = best->colors;
        }
    return best;
}

ILColorBox* ILFindLargestBox(const ILMedianCutContext& m, int32_t count) {
    ILColorBox* best = nullptr;
    int32_t largest = 0;
    for (int32_t i = 0; i < count; ++i)
        if (m.boxes[i].volume > largest) {
            best = &m.boxes[i];
            largest = best->volume;
        }
    return best;
}

int32_t ILMedianCut(ILMedianCutContext* m, int32_t count) {
    if (count < 2) return 1;
    m->boxCount = 1;
    while (m->boxCount < count) {
        ILColorBox* box = 2 * m->boxCount <= count ? ILFindMostColorfulBox(*m, m->boxCount)
                                                   : ILFindLargestBox(*m, m->boxCount);
        if (!box) break;
        ILColorBox* copy = &m->boxes[m->boxCount];
        *copy = *box;
        const int32_t s = m->shift;
        const int32_t lr = (box->rmax - box->rmin) << s, lg = (box->gmax - box->gmin) << s,
                      lb = (box->bmax - box->bmin) << s;
        // Ties go green, then red, then blue.
        int axis = 1, longest = lg;
        if (lr > longest) axis = 0, longest = lr;
        if (lb > longest) axis = 2;
        int32_t* lo[3] = {&box->rmin, &box->gmin, &box->bmin};
        int32_t* hi[3] = {&box->rmax, &box->gmax, &box->bmax};
        int32_t* copyLo[3] = {&copy->rmin, &copy->gmin, &copy->bmin};
        const int32_t mid = (*lo[axis] + *hi[axis]) / 2;
        *hi[axis] = mid;
        *copyLo[axis] = mid + 1;
        ILUpdateBox(*m, box);
        ILUpdateBox(*m, copy);
        ++m->boxCount;
    }
    return m->boxCount;
}

// Errors -255..255 limited: full below 16, half slope to 48, then 32.
std::array<int32_t, 511> ILMakeErrorLimit() {
    std::array<int32_t, 511> table;
    for (int32_t e = -255; e <= 255; ++e) {
        const int32_t a = e < 0 ? -e : e, sign = e < 0 ? -1 : 1;
        table[e + 255] = a < 16 ? e : a < 48 ? sign * (16 + (a - 16) / 2) : sign * 32;
    }
    return table;
}

using Setter = void (*)(ILImage*, int32_t, int32_t, const void*);

bool ILDiffuseErrors(const ILMedianCutContext& m, const ILImage& work, ILImage* result,
                     const uint8_t* palette, Setter set) {
    const uint8_t* F = TheCurves().forward;
    const std::array<int32_t, 511> limit = ILMakeErrorLimit();
    const int64_t w = work.width;
    // Current and next error rows of blue, green and red; pixel x at x + 1.
    std::unique_ptr<int32_t[]> rows(new (std::nothrow) int32_t[6 * (w + 2)]());
    if (!rows) return false;
    int32_t* current[3] = {&rows[0], &rows[w + 2], &rows[2 * (w + 2)]};
    int32_t* next[3] = {&rows[3 * (w + 2)], &rows[4 * (w + 2)], &rows[5 * (w + 2)]};
    const int32_t s = m.shift;
    for (uint32_t y = 0; y < work.height; ++y) {
        const bool forward = y % 2 == 0;
        const int64_t d = forward ? 1 : -1;
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t start = forward ? 0 : w;
            next[ch][start] = next[ch][start + 1] = 0;
        }
        const uint8_t* row = ILRowOf(&work, y);
        for (int64_t i = 0; i < w; ++i) {
            const int64_t x = forward ? i : w - 1 - i;
            int32_t v[3];
            for (int ch = 0; ch < 3; ++ch) {
                const int32_t e = std::clamp(current[ch][x + 1], -255, 255);
                v[ch] = std::clamp(row[3 * x + ch] + limit[e + 255], 0, 255);
            }
            const uint8_t index =
                static_cast<uint8_t>(Cell(m, F[v[2]] >> s, F[v[1]] >> s, F[v[0]] >> s));
            set(result, static_cast<int32_t>(x), static_cast<int32_t>(y), &index);
            for (int ch = 0; ch < 3; ++ch) {
                int32_t p7, p3, p5, p1;
                ILSplitDiffusionError(v[ch] - palette[4 * index + ch], &p7, &p3, &p5, &p1);
                current[ch][x + 1 + d] += p7;
                next[ch][x + 1 - d] += p3;
                next[ch][x + 1] += p5;
                next[ch][x + 1 + d] = p1;
            }
        }
        for (int ch = 0; ch < 3; ++ch)
            std::swap(current[ch], next[ch]);
    }
    return true;
}

uint32_t Key(const uint8_t* bgr) {
    return uint32_t{bgr[2]} << 16 | uint32_t{bgr[1]} << 8 | bgr[0];
}

// Colour set of one bit per key, bit 7 - (k mod 8) of byte k / 8.
bool TestAndSet(uint8_t* set, uint32_t key) {
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (key & 7));
    const bool was = set[key >> 3] & bit;
    set[key >> 3] |= bit;
    return was;
}

// Distinct colours of an 8-bit image of three or more channels (its first
// three bytes a pixel), counting stops once above `stop`; 0 for other images.
// The colour set comes zeroed and is left filled.
uint32_t ILCountColors(const ILImage& image, uint32_t stop, uint8_t* colourSet) {
    if (image.bits != 8 || image.channels < 3) return 0;
    uint32_t n = 0;
    const uint32_t c = image.channels;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* p = ILRowOf(&image, y);
        for (uint32_t x = 0; x < image.width; ++x, p += c) {
            n += !TestAndSet(colourSet, Key(p));
            if (n > stop) return n;
        }
    }
    return n;
}

void ExactPath(const ILImage& work, ILImage* result, uint8_t* colourSet, uint8_t* palette,
               Setter set) {
    // Index of each colour seen, by key hash; the palette order stays that of
    // first appearance.
    constexpr uint32_t kSlots = 1024;
    uint32_t keys[kSlots];
    int32_t indices[kSlots];
    std::fill(indices, indices + kSlots, -1);
    uint32_t m = 0;
    for (uint32_t y = 0; y < work.height; ++y) {
        const uint8_t* row = ILRowOf(&work, y);
        for (uint32_t x = 0; x < work.width; ++x) {
            const uint32_t key = Key(row + 3 * x);
            uint32_t slot = (key * 2654435761u) >> 22;
            uint8_t index;
            if (!TestAndSet(colourSet, key)) {
                index = static_cast<uint8_t>(m);
                std::memcpy(palette + 4 * m, row + 3 * x, 3);
                palette[4 * m + 3] = 255;
                ++m;
                while (indices[slot] >= 0)
                    slot = (slot + 1) % kSlots;
                keys[slot] = key;
                indices[slot] = index;
            } else {
                while (keys[slot] != key || indices[slot] < 0)
                    slot = (slot + 1) % kSlots;
                index = static_cast<uint8_t>(indices[slot]);
            }
            set(result, static_cast<int32_t>(x), static_cast<int32_t>(y), &index);
        }
    }
}

bool MedianCutPath(ILHandle* h, const ILImage& work, ILImage* result, int32_t count,
                   int32_t histogramBits, bool dither, uint8_t* palette, Setter set) {
    const Curves& curves = TheCurves();
    const uint8_t* F = curves.forward;
    ILMedianCutContext m{};
    m.bits = std::clamp(histogramBits, 4, 6);
    m.cells = 1 << m.bits;
    m.shift = 8 - m.bits;
    m.maxColors = count;
    const uint64_t cells = uint64_t{1} << (3 * m.bits);
    ILBuffer<int32_t> histogram(static_cast<int32_t*>(ILAlloc(h, 4 * cells)));
    ILBuffer<ILColorBox> boxes(
        static_cast<ILColorBox*>(ILAlloc(h, sizeof(ILColorBox) * static_cast<uint64_t>(count))));
    if (!histogram || !boxes) return false;
    std::memset(histogram.get(), 0, 4 * cells);
    m.histogram = histogram.get();
    m.boxes = boxes.get();
    const int32_t s = m.shift;
    for (uint32_t y = 0; y < work.height; ++y) {
        const uint8_t* p = ILRowOf(&work, y);
        for (uint32_t x = 0; x < work.width; ++x, p += 3)
            ++Cell(m, F[p[2]] >> s, F[p[1]] >> s, F[p[0]] >> s);
    }
    m.boxes[0] = {0, 0, 0, m.cells - 1, m.cells - 1, m.cells - 1, 0, 0};
    ILUpdateBox(m, &m.boxes[0]);
    const int32_t k = ILMedianCut(&m, count);

    // Box colours: count-weighted cell centres, in curved units.
    const int64_t centre = (1 << s) >> 1;
    for (int32_t i = 0; i < k; ++i) {
        const ILColorBox& b = m.boxes[i];
        int64_t total = 0, sums[3] = {0, 0, 0}; // blue, green, red
        for (int r = b.rmin; r <= b.rmax; ++r)
            for (int g = b.gmin; g <= b.gmax; ++g)
                for (int bl = b.bmin; bl <= b.bmax; ++bl)
                    if (const int64_t n = Cell(m, r, g, bl); n > 0) {
                        total += n;
                        sums[2] += n * ((int64_t{r} << s) + centre);
                        sums[1] += n * ((int64_t{g} << s) + centre);
                        sums[0] += n * ((int64_t{bl} << s) + centre);
                    }
        if (total > 0)
            for (int ch = 0; ch < 3; ++ch)
                palette[4 * i + ch] = static_cast<uint8_t>((sums[ch] + total / 2) / total);
    }
    boxes.reset();

    // Inverse colour map: each cell gets its nearest entry (lowest index on
    // ties), searched once per cell rather than per pixel.
    const int32_t back = 2 * m.bits - 8;
    for (int32_t r = 0; r < m.cells; ++r)
        for (int32_t g = 0; g < m.cells; ++g)
            for (int32_t b = 0; b < m.cells; ++b) {
                const int32_t er = (r << s) + (r >> back), eg = (g << s) + (g >> back),
                              eb = (b << s) + (b >> back);
                int32_t best = 0, bestD = INT32_MAX;
                for (int32_t i = 0; i < count; ++i) {
                    const int32_t db = eb - palette[4 * i], dg = eg - palette[4 * i + 1],
                                  dr = er - palette[4 * i + 2];
                    const int32_t d = 2 * dr * dr + 4 * dg * dg + db * db;
                    if (d < bestD) bestD = d, best = i;
                }
                Cell(m, r, g, b) = best;
            }

    for (int32_t i = 0; i < count; ++i) {
        for (int ch = 0; ch < 3; ++ch)
            palette[4 * i + ch] = curves.inverse[palette[4 * i + ch]];
        palette[4 * i + 3] = 255;
    }
    if (dither) return ILDiffuseErrors(m, work, result, palette, set);
    for (uint32_t y = 0; y < work.height; ++y) {
        const uint8_t* p = ILRowOf(&work, y);
        for (uint32_t x = 0; x < work.width; ++x, p += 3) {
            const uint8_t index =
                static_cast<uint8_t>(Cell(m, F[p[2]] >> s, F[p[1]] >> s, F[p[0]] >> s));
            set(result, static_cast<int32_t>(x), static_cast<int32_t>(y), &index);
        }
    }
    return true;
}

} // namespace

ILResult ILQuantizeImage(ILHandle* h, ILImage* source, ILImage* target, int32_t count,
                         int32_t histogramBits, int32_t dither) {
    if (!ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    // Counts may come from stored actions.
    count = std::clamp(count, 1, 256);

    // The working image: the source itself when it is 8-bit B, G, R.
    ILImageOwner converted;
    const ILImage* work = source;
    if (source->type != IL_BGR8) {
        if (ILAllocImage(&converted.image, source->width, source->height, IL_BGR8, nullptr) !=
            IL_OK)
            return ILReportOutOfMemory(h,
                                       ILImageBufferSize(source->width, source->height, IL_BGR8));
        ILConverterOwner converter;
        ILConverterSetAlphaMode(&converter.c, h->alphaMode);
        if (!ILConverterConvertImage(&converter.c, h, source, &converted.image))
            return IL_OUT_OF_MEMORY;
        work = &converted.image;
    }

    ILPixelType type;
    uint32_t n;
    Setter set;
    if (count <= 2)
        type = IL_INDEX1, n = 2, set = ILSetPixel1;
    else if (count <= 4)
        type = IL_INDEX2, n = 4, set = ILSetPixel2;
    else if (count <= 16)
        type = IL_INDEX4, n = 16, set = ILSetPixel4;
    else
        type = IL_INDEX8, n = 256, set = ILSetPixel8;

    ILBuffer<uint8_t> palette(static_cast<uint8_t*>(ILAlloc(h, 4 * n)));
    if (!palette) return IL_OUT_OF_MEMORY;
    std::memset(palette.get(), 0, 4 * n);

    // The result is built aside, so that a failure leaves source and target
    // as they were.
    ILImageOwner result;
    if (ILAllocImage(&result.image, work->width, work->height, type, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(work->width, work->height, type));
    constexpr uint64_t kSetBytes = uint64_t{1} << 21; // one bit per 24-bit colour
    ILBuffer<uint8_t> colourSet(static_cast<uint8_t*>(ILAlloc(h, kSetBytes)));
    if (!colourSet) return IL_OUT_OF_MEMORY;
    std::memset(colourSet.get(), 0, kSetBytes);
    if (ILCountColors(*work, n, colourSet.get()) <= n) {
        std::memset(colourSet.get(), 0, kSetBytes);
        ExactPath(*work, &result.image, colourSet.get(), palette.get(), set);
    } else if (!MedianCutPath(h, *work, &result.image, count, histogramBits, dither != 0,
                              palette.get(), set)) {
        return IL_OUT_OF_MEMORY;
    }
    result.image.palette = new (std::nothrow) ILPalette(n, palette.get());
    if (!result.image.palette || result.image.palette->count != n)
        return ILReportOutOfMemory(h, uint64_t{n} * sizeof(ILPaletteEntry));

    ILImage* out = target ? target : source;
    ILMoveImage(out, &result.image, true, false);
    return IL_OK;
}
