// The Palette dialog's arithmetic: pixel counts per index, the sort by
// count with its 256-entry rank table, the grid of cells, and the slider
// values of an entry.
#pragma once

#include <array>
#include <cstdint>

#include "imglib/color.h"
#include "imglib/image.h"

using PaletteCounts = std::array<uint32_t, 256>;

// Counts every pixel's index; false for an image without pixel accessors.
bool CountPaletteIndices(const ILImage& image, PaletteCounts* counts);
// Nothing for "Sort" to do: no entry below the count has more pixels than
// the one before it.
bool PaletteCountsSorted(const PaletteCounts& counts, uint32_t entryCount);

// order[k] is the old index of new entry k, rank[i] the new index of old
// entry i. Entries are ranked by count, most used first (equal counts keep
// their order); indices from the entry count on keep their places, so that
// pixels whose index lies beyond the palette keep their values.
struct PaletteOrder {
    std::array<uint8_t, 256> order, rank;
};
PaletteOrder SortPaletteByCount(const PaletteCounts& counts, uint32_t entryCount);
// Puts the palette's entries (and the counts) in the new order.
void ReorderPalette(ILPalette* palette, const PaletteOrder& order);
void ReorderCounts(PaletteCounts* counts, const PaletteOrder& order);
// Gives every pixel the new index of its entry; false without accessors.
bool RemapPaletteIndices(ILImage* image, const PaletteOrder& order);

// The grid of 16 cells a row inside (238, 6)-(593, 361): the cell under a
// client point, or -1 outside the grid; the caller checks it against the
// entry count.
int32_t PaletteCellAt(int32_t x, int32_t y);
struct CellSquare {
    int32_t left, top; // of the 21 x 21 square
};
CellSquare PaletteCellSquare(uint32_t index);

// A shown value (0 ... 1) as its slider's value: x 1000.5, truncated.
int32_t PaletteSliderOf(double value);
// The transparency slider's alpha: 65535 - trunc(v / 1000 x 65535.5).
uint16_t PaletteAlphaOf(int32_t slider);
// The transparency an entry shows: (65535 - alpha) / 65535.
inline double PaletteTransparencyOf(uint16_t alpha) {
    return (65535.0 - alpha) / 65535.0;
}
