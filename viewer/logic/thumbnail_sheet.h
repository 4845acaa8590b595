// The thumbnail sheet: the selected entries' thumbnails, framed on a
// background in a grid, drawn one grid row (band) at a time and streamed
// into a PNG file, so that the sheet is never held whole in memory.
#pragma once

#include <cstdint>
#include <functional>

#include "imglib/handle.h"
#include "viewer/logic/export_layout.h"
#include "viewer/logic/folder_list.h"

struct SheetColors {
    uint8_t background[3]; // B, G, R
    uint8_t frame[3];
};

// A band of layout.sheetWidth x layout.cellHeight B,G,R pixels.
struct SheetBand {
    uint8_t* pixels;
    int64_t stride;
};

void FillSheetBand(const SheetBand& band, const SheetLayout& layout, const uint8_t bgr[3]);
// The frame and the thumbnail of entry in the cell whose box starts at x,
// clipped to the band (a frame wider than the spacing would reach past the
// sheet's edge). An entry without a thumbnail gets its frame alone.
void DrawSheetCell(const SheetBand& band, const SheetLayout& layout, const SheetColors& colors,
                   int64_t x, const FileEntry& entry);

enum class SheetResult { Written, CannotOpen, WriteFailed, OutOfMemory, Cancelled };

// Writes the sheet of the selected entries to path. drawTexts draws the
// text lines of a cell into the band (x: the cell's box); progress is told
// the cells drawn so far and cancels by answering false. band is the
// caller's buffer of one band (rows padded to 4 bytes), null to have one
// allocated. Every band written is checked; on a failure or a cancel the
// partial file is removed.
SheetResult WriteThumbnailSheet(
    ILHandle* handle, const char16_t* path, const SheetLayout& layout, const SheetColors& colors,
    const FolderList& list,
    const std::function<void(const SheetBand&, int64_t x, const FileEntry&)>& drawTexts,
    const std::function<bool(uint32_t done)>& progress, uint8_t* band = nullptr);
