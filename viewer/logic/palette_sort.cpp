#include "viewer/logic/palette_sort.h"

#include <algorithm>
#include <vector>

#include "viewer/logic/control_values.h"

namespace {

constexpr int32_t kGridLeft = 238, kGridTop = 6, kGridRight = 593, kGridBottom = 361;
constexpr int32_t kCellStep = 22;

uint32_t Entries(uint32_t entryCount) {
    return std::min<uint32_t>(entryCount, 256);
}

} // namespace

bool CountPaletteIndices(const ILImage& image, PaletteCounts* counts) {
    counts->fill(0);
    ILGetPixelProc get = nullptr;
    if (!ILGetPixelAccessors(&image, nullptr, &get) || !get) return false;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            uint8_t value[16] = {};
            get(&image, static_cast<int32_t>(x), static_cast<int32_t>(y), value);
            ++(*counts)[value[0]];
        }
    return true;
}

bool PaletteCountsSorted(const PaletteCounts& counts, uint32_t entryCount) {
    for (uint32_t i = 1; i < Entries(entryCount); ++i)
        if (counts[i] > counts[i - 1]) return false;
    return true;
}

PaletteOrder SortPaletteByCount(const PaletteCounts& counts, uint32_t entryCount) {
    PaletteOrder o;
    for (int i = 0; i < 256; ++i)
        o.order[i] = o.rank[i] = static_cast<uint8_t>(i);
    const uint32_t n = Entries(entryCount);
    std::stable_sort(o.order.begin(), o.order.begin() + n,
                     [&](uint8_t a, uint8_t b) { return counts[a] > counts[b]; });
    for (uint32_t k = 0; k < n; ++k)
        o.rank[o.order[k]] = static_cast<uint8_t>(k);
    return o;
}

void ReorderPalette(ILPalette* palette, const PaletteOrder& order) {
    const uint32_t n = Entries(palette->count);
    const std::vector<ILPaletteEntry> old(palette->entries, palette->entries + n);
    for (uint32_t k = 0; k < n; ++k)
        palette->entries[k] = old[order.order[k]];
}

void ReorderCounts(PaletteCounts* counts, const PaletteOrder& order) {
    const PaletteCounts old = *counts;
    for (int k = 0; k < 256; ++k)
        (*counts)[k] = old[order.order[k]];
}

bool RemapPaletteIndices(ILImage* image, const PaletteOrder& order) {
    ILGetPixelProc get = nullptr;
    ILSetPixelProc set = nullptr;
    if (!ILGetPixelAccessors(image, &set, &get) || !get || !set) return false;
    for (uint32_t y = 0; y < image->height; ++y)
        for (uint32_t x = 0; x < image->width; ++x) {
            const auto px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
            uint8_t value[16] = {};
            get(image, px, py, value);
            value[0] = order.rank[value[0]];
            set(image, px, py, value);
        }
    return true;
}

int32_t PaletteCellAt(int32_t x, int32_t y) {
    if (x <= kGridLeft || x >= kGridRight - 1 || y <= kGridTop || y >= kGridBottom - 1) return -1;
    return (x - kGridLeft - 2) / kCellStep + 16 * ((y - kGridTop - 2) / kCellStep);
}

CellSquare PaletteCellSquare(uint32_t index) {
    return {kGridLeft + 2 + kCellStep * static_cast<int32_t>(index % 16),
            kGridTop + 2 + kCellStep * static_cast<int32_t>(index / 16)};
}

int32_t PaletteSliderOf(double value) {
    return ControlValueOf(value * 1000.5, 0, 1000);
}

uint16_t PaletteAlphaOf(int32_t slider) {
    const int32_t opaque =
        ControlValueOf(ClampToRange(slider, 0, 1000) / 1000.0 * 65535.5, 0, 65535);
    return static_cast<uint16_t>(65535 - opaque);
}
