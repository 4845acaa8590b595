#include "viewer/logic/thumbnail_sheet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imglib/formats/png_stream_writer.h"
#include "imglib/io/path.h"
#include "imglib/memory_owner.h"

namespace {

// Fills the rectangle, clipped to the band.
void FillRect(const SheetBand& band, const SheetLayout& layout, int64_t left, int64_t top,
              int64_t width, int64_t height, const uint8_t bgr[3]) {
    const int64_t x0 = std::max<int64_t>(left, 0);
    const int64_t x1 = std::min<int64_t>(left + width, int64_t(layout.sheetWidth));
    const int64_t y0 = std::max<int64_t>(top, 0);
    const int64_t y1 = std::min<int64_t>(top + height, layout.cellHeight);
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* p = band.pixels + y * band.stride + 3 * x0;
        for (int64_t x = x0; x < x1; ++x, p += 3)
            std::memcpy(p, bgr, 3);
    }
}

} // namespace

void FillSheetBand(const SheetBand& band, const SheetLayout& layout, const uint8_t bgr[3]) {
    FillRect(band, layout, 0, 0, int64_t(layout.sheetWidth), layout.cellHeight, bgr);
}

void DrawSheetCell(const SheetBand& band, const SheetLayout& layout, const SheetColors& colors,
                   int64_t x, const FileEntry& entry) {
    const uint8_t* pixels = LoadedThumbnail(entry);
    ThumbGeometry g = UnpackThumbState(entry.thumbState);
    if (!pixels) g = {0, 0, 0};
    const FrameBox box = SheetFrameBox(layout, x, g.width, g.height);
    FillRect(band, layout, box.left, box.top, box.width, box.height, colors.frame);
    if (!pixels) return;
    const int64_t f = layout.frame;
    const uint32_t w = std::min(g.width, layout.thumbnailSize);
    const uint32_t h = std::min(g.height, layout.thumbnailSize);
    for (uint32_t row = 0; row < h; ++row) {
        const int64_t y = box.top + f + row;
        if (y < 0 || y >= layout.cellHeight) continue;
        const int64_t left = box.left + f;
        const int64_t from = std::max<int64_t>(0, -left);
        const int64_t to = std::min<int64_t>(w, int64_t(layout.sheetWidth) - left);
        if (from >= to) continue;
        std::memcpy(band.pixels + y * band.stride + 3 * (left + from),
                    pixels + int64_t(row) * g.stride + 3 * from, size_t(3 * (to - from)));
    }
}

SheetResult WriteThumbnailSheet(
    ILHandle* handle, const char16_t* path, const SheetLayout& layout, const SheetColors& colors,
    const FolderList& list,
    const std::function<void(const SheetBand&, int64_t x, const FileEntry&)>& drawTexts,
    const std::function<bool(uint32_t done)>& progress, uint8_t* bandPixels) {
    const int64_t stride = (int64_t(layout.sheetWidth) * 3 + 3) & ~int64_t(3);
    const uint64_t bytes = uint64_t(stride) * uint64_t(layout.cellHeight);
    std::unique_ptr<uint8_t, ILBufferFree> memory;
    if (!bandPixels) {
        memory.reset(static_cast<uint8_t*>(ILAlloc(handle, bytes)));
        if (!memory) return SheetResult::OutOfMemory;
        bandPixels = memory.get();
    }
    const SheetBand band{bandPixels, stride};

    ILPngStreamWriter writer(handle, path, layout.sheetWidth, layout.sheetHeight,
                             uint64_t(layout.cellHeight), band.pixels);
    if (!writer.isOpen) return SheetResult::CannotOpen;
    bool ok = true, cancelled = false;
    int32_t i = 0;
    uint32_t done = 0;
    for (uint32_t row = 0; row < layout.rows && ok && !cancelled; ++row) {
        FillSheetBand(band, layout, colors.background);
        for (uint32_t c = 0; c < layout.columns; ++c) {
            i = NextSelectedEntry(list, i);
            if (i < 0) break;
            const int64_t x = int64_t(c) * layout.cellWidth + layout.spacing;
            const FileEntry& entry = list.entries[i];
            DrawSheetCell(band, layout, colors, x, entry);
            if (drawTexts) drawTexts(band, x, entry);
            ++i;
            if (progress && !progress(++done)) {
                cancelled = true;
                break;
            }
        }
        if (!cancelled) ok = writer.WriteRows();
        if (i < 0) i = int32_t(list.entries.size());
    }
    // The bottom margin: the writer takes only the rows still missing.
    if (ok && !cancelled) {
        FillSheetBand(band, layout, colors.background);
        ok = writer.WriteRows();
    }
    ok = writer.Close() && ok && !cancelled;
    if (ok) return SheetResult::Written;
    if (const auto utf8 = ILPathToUtf8(path)) std::remove(utf8->c_str());
    return cancelled ? SheetResult::Cancelled : SheetResult::WriteFailed;
}
