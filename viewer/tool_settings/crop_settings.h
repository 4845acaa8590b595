// The Crop dialog's arithmetic: four margins and the result size kept
// consistent by the six fields, the selection on the preview, and the
// mouse: hit codes, the Ctrl band, moving the selection and dragging its
// edges, each turned back into margins snapped to whole image pixels.
#pragma once

#include <cstdint>

#include "imglib/surface.h"
#include "viewer/actions/action_blocks.h"
#include "viewer/logic/preview_fit.h"

struct CropState {
    int32_t imageWidth = 1, imageHeight = 1;
    MarginsBlock margins; // left, right, top, bottom: the Crop block
    int32_t cropWidth = 1, cropHeight = 1;
};

// The dialog opened with a stored block: margins clamped to their fields
// (0 ... side - 1), then, while no column is left, lowered by one in turn,
// left first (a margin at 0 skipped); rows likewise, top first.
CropState CropOpened(const MarginsBlock& stored, uint32_t imageWidth, uint32_t imageHeight);
// Reset, "Open action" and the mouse: margins clamped to their fields,
// then the right margin gives way before the left (bottom before top) until
// one column (row) is left; the result size follows.
void CropApplyMargins(CropState* s, const MarginsBlock& margins);
inline bool CropApplyEnabled(const CropState& s) {
    return s.cropWidth != s.imageWidth || s.cropHeight != s.imageHeight;
}

// The field handlers. A margin keeps the opposite margin and the size
// follows (the opposite margin gives way when no column would be left); the
// size keeps the left (top) margin and the right (bottom) one follows.
void CropLeftTyped(CropState* s, int32_t value);
void CropRightTyped(CropState* s, int32_t value);
void CropTopTyped(CropState* s, int32_t value);
void CropBottomTyped(CropState* s, int32_t value);
void CropWidthTyped(CropState* s, int32_t value);
void CropHeightTyped(CropState* s, int32_t value);

// The selection on a preview placed at `preview`, bottom-right exclusive:
// each margin scaled by preview size / image size, rounded half up.
ILRect CropSelectionRect(const CropState& s, const PreviewPlacement& preview);
// The margins a selection stands for, rounded half up and at least 0, then
// CropApplyMargins (so the selection snaps to whole image pixels).
void CropSelectionToMargins(CropState* s, const ILRect& selection, const PreviewPlacement& preview);

// Mouse modes besides the edge bits 1 left, 2 right, 4 top, 8 bottom.
inline constexpr int32_t kCropBand = -1, kCropMove = -2;
// What pressing at (x, y) drags: 0 outside the preview widened by a pixel,
// else the edge bits of the sides the point lies on or beyond; inside the
// selection kCropMove, unless the selection is the whole image (0).
int32_t CropHitCode(const CropState& s, const ILRect& selection, const PreviewPlacement& preview,
                    int32_t x, int32_t y);
// One mouse step (dx, dy) of a move or an edge drag: the selection stays
// inside the preview and at least a pixel wide and high.
void CropDragSelection(int32_t mode, int32_t dx, int32_t dy, const PreviewPlacement& preview,
                       ILRect* selection);
// The Ctrl band between the press and the pointer, both pixels included,
// kept on the preview.
ILRect CropBandRect(int32_t fromX, int32_t fromY, int32_t x, int32_t y,
                    const PreviewPlacement& preview);

// The preview mask outside the selection, per 8-bit sample: 1 darken,
// 2 lighten, 3 invert (other modes darken).
uint8_t CropMaskSample(uint8_t v, int32_t mode);
