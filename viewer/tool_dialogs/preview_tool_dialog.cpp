#include "viewer/tool_dialogs/preview_tool_dialog.h"

#include <cstdio>
#include <new>

#include "imglib/ops/resample.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/dialog_tips.h"
#include "viewer/platform/display_bitmap.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"

namespace {

constexpr uint8_t kCosineFilter = 1;
constexpr uint8_t kBoxFilter = 0; // keeps indices

} // namespace

PreviewToolDialog::PreviewToolDialog(ToolDialogHost& host) : ToolDialog(host) {
    controlsRect = {0, 0, kPreviewAreaLeft, kPreviewAreaSize};
    const ILImage& image = document().image;
    preview = FitPreview(image.width, image.height);
    previewTipWindow = CreateToolTipWindow();
}

PreviewToolDialog::~PreviewToolDialog() {
    if (previewTipWindow) DestroyWindow(previewTipWindow);
    previewDib.Free(); // shares previewImage's rows: goes first
    ILClearImage(&previewSource);
    ILClearImage(&previewImage);
}

bool PreviewToolDialog::BuildPreview(bool keepPixels) {
    Document& doc = document();
    ILImage& image = doc.image;
    const auto width = static_cast<uint32_t>(preview.width);
    const auto height = static_cast<uint32_t>(preview.height);
    if (!image.palette) {
        if (ILReallocImage(&previewSource, width, height, IL_BGR_FLOAT, nullptr) != IL_OK ||
            ILResampleInto(doc.handle, &image, &previewSource, kCosineFilter) != IL_OK ||
            ILReallocImage(&previewImage, width, height, IL_BGR8, nullptr) != IL_OK ||
            !RenderPreviewDib())
            return false;
        if (!keepPixels) CopyCurrentImage();
        return true;
    }
    if (ILReallocImage(&previewImage, width, height, IL_INDEX8, nullptr) != IL_OK ||
        ILResampleInto(doc.handle, &image, &previewImage, kBoxFilter) != IL_OK)
        return false;
    delete previewImage.palette;
    previewImage.palette = new (std::nothrow) ILPalette(*image.palette);
    if (!previewImage.palette || previewImage.palette->count != image.palette->count) return false;
    previewImage.palette->MakeOpaque();
    return RenderPreviewDib();
}

bool PreviewToolDialog::RenderPreviewDib() {
    return previewDib.Render(previewImage, document().background, false);
}

void PreviewToolDialog::DrawPreview(HDC context) const {
    if (!previewDib.IsEmpty()) previewDib.Draw(context, preview.x, preview.y);
}

void PreviewToolDialog::AddTipsToolTip(const char* text) {
    if (!tipsEnabled || !g_preferences.dialogTips) return;
    constexpr char kSentence[] = "Use right mouse button to open/save/reset actions.";
    char composed[512];
    if (text)
        std::snprintf(composed, sizeof composed, "%s\r\n\r\n%s", text, kSentence);
    else
        std::snprintf(composed, sizeof composed, "%s", kSentence);
    AddToolTip(previewTipWindow, window(), previewRect, composed);
}

void PreviewToolDialog::PaintPreviewFrame(HDC context) const {
    const int saved = SaveDC(context);
    ExcludeClipRect(context, preview.x, preview.y, preview.x + preview.width,
                    preview.y + preview.height);
    FillRect(context, &previewRect, g_styleBrushes.Highlight);
    RestoreDC(context, saved);
}

void PreviewToolDialog::Paint(HDC context, bool erase) {
    SelectSmallTextStyle(context);
    const HGDIOBJ previousPen = SelectObject(context, CreatePen(PS_SOLID, 1, g_styleColors.Text));
    if (erase) {
        RECT client;
        GetClientRect(window(), &client);
        FillRect(context, &controlsRect, g_styleBrushes.Face);
        const RECT bar = {0, client.bottom - kToolButtonBarHeight, client.right, client.bottom};
        FillRect(context, &bar, g_styleBrushes.Window);
        const RECT line = {0, bar.top - 1, client.right, bar.top};
        FillRect(context, &line, g_styleBrushes.Highlight);
    }
    PaintLabels(context);
    PaintPreviewFrame(context);
    PaintStatus(context);
    DeleteObject(SelectObject(context, previousPen));
}
