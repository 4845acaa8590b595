#include "viewer/logic/export_layout.h"

#include <algorithm>

#include "viewer/logic/list_layout.h"

ExportSettings ClampExportSettings(const ExportSettings& settings) {
    ExportSettings s = settings;
    s.columns = std::clamp(s.columns, 1, 100);
    s.spacing = std::clamp(s.spacing, 1, 100);
    s.frame = std::clamp(s.frame, 0, 10);
    return s;
}

SheetLayout ComputeSheetLayout(const ExportSettings& settings, int32_t thumbnailSize,
                               uint32_t selectedCount) {
    const ExportSettings s = ClampExportSettings(settings);
    SheetLayout l;
    l.columns = static_cast<uint32_t>(s.columns);
    l.spacing = static_cast<uint32_t>(s.spacing);
    l.frame = static_cast<uint32_t>(s.frame);
    l.thumbnailSize = static_cast<uint32_t>(ClampThumbnailSize(thumbnailSize));
    l.rows = static_cast<uint32_t>((uint64_t(selectedCount) + l.columns - 1) / l.columns);
    l.cellWidth = l.spacing + 2 * l.frame + l.thumbnailSize;
    int64_t y = l.cellWidth;
    bool any = false;
    for (int line = 0; line < kLineCount; ++line) {
        if (!settings.show[line]) continue;
        l.lineTop[line] = y + 1;
        y += kSheetLineHeight;
        any = true;
    }
    l.cellHeight = any ? y + 1 : y;
    l.sheetWidth = l.spacing + uint64_t(l.columns) * l.cellWidth;
    l.sheetHeight = uint64_t(l.rows) * l.cellHeight + l.spacing;
    return l;
}

FrameBox SheetFrameBox(const SheetLayout& l, int64_t x, uint32_t w, uint32_t h) {
    const int64_t s = l.thumbnailSize, f = l.frame;
    w = std::min<uint32_t>(w, l.thumbnailSize);
    h = std::min<uint32_t>(h, l.thumbnailSize);
    return {x + (s - w) / 2 - f, int64_t(l.spacing) + (s - h) / 2 - f, w + 2 * f, h + 2 * f};
}

GalleryCellSize GalleryCellSizeFor(const SheetLayout& l) {
    return {std::max<uint32_t>(220, l.cellWidth), l.thumbnailSize + 2 * l.frame + 6};
}
