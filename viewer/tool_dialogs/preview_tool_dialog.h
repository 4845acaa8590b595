// A tool dialog with a small preview of the image right of its controls:
// the controls take (0, 0)-(270, 384), the preview area (270, 0)-(654, 384)
// shows the image fitted into 380 x 380 and centred.
//
// A derived dialog calls BuildPreview in its constructor and stores the
// answer in `ready`. For an image without a palette previewSource holds the
// image resampled to the preview size as B, G, R float: the dialog renders
// its settings from it into previewImage (B, G, R 8-bit) on every change and
// repaints previewRect. For an indexed image previewImage is the indexed
// image at the preview size with a copy of the palette (made opaque); the
// dialog changes that palette and calls RenderPreviewDib. PaintLabels draws
// the preview with DrawPreview.
#pragma once

#include "viewer/logic/dib_render.h"
#include "viewer/logic/preview_fit.h"
#include "viewer/tool_dialogs/tool_dialog.h"

class PreviewToolDialog : public ToolDialog {
public:
    explicit PreviewToolDialog(ToolDialogHost& host);
    ~PreviewToolDialog() override;

    void Paint(HDC context, bool erase) override;

    // The preview images from the current image; false when memory runs
    // out. Without a palette, and unless keepPixels, the current image also
    // becomes `unedited`.
    bool BuildPreview(bool keepPixels = false);
    // previewDib over previewImage again (after its palette changed).
    bool RenderPreviewDib();
    // The preview image at its place.
    void DrawPreview(HDC context) const;
    // The tip over the preview area: text, a blank line and the action-menu
    // sentence, or that sentence alone.
    void AddTipsToolTip(const char* text);
    // The Highlight fill of the preview area around the preview image.
    void PaintPreviewFrame(HDC context) const;

    RECT previewRect = {kPreviewAreaLeft, 0, kPreviewAreaLeft + kPreviewAreaSize, kPreviewAreaSize};
    HWND previewTipWindow = nullptr;
    PreviewPlacement preview; // place and size of the preview image
    ILImage previewImage;     // B, G, R 8-bit, or indexed 8-bit with its own palette
    ILImage previewSource;    // B, G, R float; only for images without a palette
    DibBuffer previewDib;     // over previewImage's rows
};
