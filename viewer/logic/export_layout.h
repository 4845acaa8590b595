// The layout of the two exports of the List window: the thumbnail sheet's
// grid (cells, text lines, sheet size, where each framed thumbnail goes)
// and the gallery's cell size.
#pragma once

#include <cstdint>

// The text lines a cell may show under its thumbnail, in their order.
enum SheetLine { kLineName, kLineSize, kLineImageSize, kLineCreated, kLineModified, kLineCount };

inline constexpr int32_t kSheetLineHeight = 14;

struct ExportSettings {
    int32_t columns = 8;  // 1..100
    int32_t spacing = 24; // 1..100
    int32_t frame = 1;    // 0..10
    bool show[kLineCount] = {true, true, true, false, false};
};

struct SheetLayout {
    uint32_t columns = 1, spacing = 1, frame = 0, thumbnailSize = 0;
    uint32_t rows = 0;
    uint32_t cellWidth = 0;
    int64_t lineTop[kLineCount] = {}; // within a band, for the shown lines
    int64_t cellHeight = 0;           // one band
    uint64_t sheetWidth = 0;
    uint64_t sheetHeight = 0;
};

// Columns, spacing and frame brought into their ranges: values from a
// damaged preferences file must not reach the controls or the drawing.
ExportSettings ClampExportSettings(const ExportSettings& settings);

// The settings and the thumbnail size are clamped to their ranges first.
SheetLayout ComputeSheetLayout(const ExportSettings& settings, int32_t thumbnailSize,
                               uint32_t selectedCount);

// The frame around a w x h thumbnail in the cell whose box starts at x:
// the picture is centred in the s x s box, the frame f around it.
struct FrameBox {
    int64_t left, top, width, height;
};
FrameBox SheetFrameBox(const SheetLayout& layout, int64_t x, uint32_t w, uint32_t h);

// The gallery's table cell: max(220, cellWidth) wide, thumbnail size plus
// twice the frame plus 6 high.
struct GalleryCellSize {
    uint32_t width, height;
};
GalleryCellSize GalleryCellSizeFor(const SheetLayout& layout);
