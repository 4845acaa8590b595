// "Crop": margins to remove from the four sides, set in six fields kept
// consistent with each other or drawn on the preview with the mouse (a band
// with Ctrl, then moving the selection or dragging its edges); the preview
// shows what lies outside the selection masked.
#include "viewer/tool_dialogs/crop_dialog.h"

#include <memory>

#include "imglib/ops/geometry.h"
#include "imglib/ops/resample.h"
#include "viewer/actions/action_types.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/platform/display_bitmap.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/tool_dialogs/preview_tool_dialog.h"
#include "viewer/tool_settings/crop_settings.h"

namespace {

enum CropControl : int {
    kLeftField = 1021,
    kWidthField = 1022,
    kRightField = 1023,
    kTopField = 1024,
    kHeightField = 1025,
    kBottomField = 1026,
    kDarkenRadio = 1041, // 1041 + mask mode - 1
    kInvertRadio = 1043,
};
constexpr WORD kControlChanged = 0x1704;
constexpr uint8_t kCosineFilter = 1;

class CropDialog : public PreviewToolDialog {
public:
    CropDialog(ToolDialogHost& host, const Action* action);
    ~CropDialog() override;

private:
    void CreateControls(HWND window) override;
    void OnSettingsChanged() override;
    void PaintLabels(HDC context) override;
    void Reset() override;
    void OpenAction() override;
    void SaveAction() override;
    ILResult Execute(ToolRun& run) override;
    bool RecordAction(ActionList& history) override;
    INT_PTR OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    bool BuildCropPreview();
    void ApplyMask();
    void PaintPreview(HDC context);
    void RepaintPreview();
    // Writes the six values into their fields (their notifications ignored).
    void ShowFields();
    void ApplyMargins(const MarginsBlock& margins);
    void SelectionToMargins();
    void OnField(WORD id);
    bool InPreview(int x, int y) const {
        return x >= preview.x && x < preview.x + preview.width && y >= preview.y &&
               y < preview.y + preview.height;
    }
    void SetHitCursor(int x, int y);
    void DrawBand(HDC context) const;
    void OnMouseMove(int x, int y);

    DibBuffer clearDib_; // the preview without the mask
    CropState state_;
    int32_t mouseX_ = 0, mouseY_ = 0, dragX_ = 0, dragY_ = 0;
    RECT bandRect_ = {};
    ILRect selection_ = {};
    int32_t mouseMode_ = 0;
};

CropDialog::CropDialog(ToolDialogHost& host, const Action* action) : PreviewToolDialog(host) {
    statusText = "Crop...";
    relayoutOnRefresh = true;
    const ILImage& image = document().image;
    MarginsBlock stored;
    if (!(action && action->type == ACTION_CROP && action->block &&
          DecodeBlock(action->block, &stored)))
        stored = {};
    state_ = CropOpened(stored, image.width, image.height);
    selection_ = CropSelectionRect(state_, preview);
    ready = BuildCropPreview();
}

CropDialog::~CropDialog() {
    clearDib_.Free();
}

// The preview as 8-bit B, G, R: previewSource clear, previewImage masked.
bool CropDialog::BuildCropPreview() {
    Document& doc = document();
    const auto w = static_cast<uint32_t>(preview.width), h = static_cast<uint32_t>(preview.height);
    if (ILReallocImage(&previewSource, w, h, IL_BGR8, nullptr) != IL_OK ||
        ILResampleInto(doc.handle, &doc.image, &previewSource, kCosineFilter) != IL_OK ||
        ILReallocImage(&previewImage, w, h, IL_BGR8, nullptr) != IL_OK)
        return false;
    ApplyMask();
    if (!clearDib_.Render(previewSource, doc.background, false) || !RenderPreviewDib())
        return false;
    CopyCurrentImage();
    return true;
}

void CropDialog::ApplyMask() {
    const int32_t mode = g_preferences.cropPreviewMask;
    for (uint32_t y = 0; y < previewSource.height; ++y) {
        const uint8_t* in = previewSource.data + y * previewSource.stride;
        uint8_t* out = previewImage.data + y * previewImage.stride;
        for (uint32_t i = 0; i < 3 * previewSource.width; ++i)
            out[i] = CropMaskSample(in[i], mode);
    }
}

void CropDialog::CreateControls(HWND window) {
    const MarginsBlock& m = state_.margins;
    const int32_t w = state_.imageWidth, h = state_.imageHeight;
    CreateSpinField(window, kTopField, 100, 60, 68, 0, h - 1, m.top);
    CreateSpinField(window, kLeftField, 31, 110, 68, 0, w - 1, m.left);
    CreateSpinField(window, kRightField, 169, 110, 68, 0, w - 1, m.right);
    CreateSpinField(window, kBottomField, 100, 160, 68, 0, h - 1, m.bottom);
    CreateSpinField(window, kWidthField, 58, 230, 68, 1, w, state_.cropWidth);
    CreateSpinField(window, kHeightField, 144, 230, 68, 1, h, state_.cropHeight);
    const int mode = g_preferences.cropPreviewMask;
    CreateRadioButton(window, kDarkenRadio, L"darken", 10, 312, 66, mode != 2 && mode != 3);
    CreateRadioButton(window, kDarkenRadio + 1, L"lighten", 10, 332, 66, mode == 2);
    CreateRadioButton(window, kInvertRadio, L"invert", 10, 352, 66, mode == 3);
    AddTipsToolTip("Use left mouse button + CTRL to select.\r\n"
                   "Move/resize the selection with the left mouse button.");
}

void CropDialog::OnSettingsChanged() {
    EnableApplyPreview(CropApplyEnabled(state_));
    RepaintPreview();
}

// Outside the selection the masked preview, inside it the clear one.
void CropDialog::PaintPreview(HDC context) {
    selection_ = CropSelectionRect(state_, preview);
    const int saved = SaveDC(context);
    ExcludeClipRect(context, selection_.left, selection_.top, selection_.right,
                    selection_.bottom);
    DrawPreview(context);
    RestoreDC(context, saved);
    clearDib_.DrawRect(context, preview.x, preview.y, selection_.left - preview.x,
                       selection_.top - preview.y, selection_.right - selection_.left,
                       selection_.bottom - selection_.top);
}

void CropDialog::RepaintPreview() {
    if (!window()) return;
    HDC context = GetDC(window());
    PaintPreview(context);
    ReleaseDC(window(), context);
}

void CropDialog::PaintLabels(HDC context) {
    PaintPreview(context);
    DrawSeparator(context, 279);
    struct Text {
        int x, y;
        const char* text;
    };
    static const Text kSmall[] = {{100, 43, "top border"},     {31, 93, "left border"},
                                  {169, 93, "right border"},   {100, 143, "bottom border"},
                                  {58, 213, "image width"},    {144, 213, "image height"}};
    for (const Text& t : kSmall)
        DrawText8(context, t.x, t.y, t.text);
    SelectTextStyle(context);
    DrawText8(context, 10, 10, "Selection:");
    DrawText8(context, 10, 290, "Preview mask:");
    SelectSmallTextStyle(context);
}

void CropDialog::ShowFields() {
    const bool locked = settingsLock;
    settingsLock = true;
    const MarginsBlock& m = state_.margins;
    SetSpinValue(Control(kLeftField), m.left);
    SetSpinValue(Control(kRightField), m.right);
    SetSpinValue(Control(kTopField), m.top);
    SetSpinValue(Control(kBottomField), m.bottom);
    SetSpinValue(Control(kWidthField), state_.cropWidth);
    SetSpinValue(Control(kHeightField), state_.cropHeight);
    settingsLock = locked;
}

void CropDialog::ApplyMargins(const MarginsBlock& margins) {
    CropApplyMargins(&state_, margins);
    ShowFields();
    OnSettingsChanged();
}

void CropDialog::SelectionToMargins() {
    CropSelectionToMargins(&state_, selection_, preview);
    ShowFields();
    OnSettingsChanged();
}

void CropDialog::Reset() {
    ApplyMargins({});
}

void CropDialog::OpenAction() {
    Action chosen;
    MarginsBlock stored;
    if (host().OpenNamedAction(window(), ACTION_CROP, &chosen) && chosen.block &&
        DecodeBlock(chosen.block, &stored))
        ApplyMargins(stored);
}

void CropDialog::SaveAction() {
    Action action;
    if (MakeAction(ACTION_CROP, state_.margins, &action)) host().SaveNamedAction(window(), action);
}

ILResult CropDialog::Execute(ToolRun& run) {
    return ILCropImage(const_cast<ILImage*>(run.source), &run.result, state_.margins.left,
                       state_.margins.top, state_.cropWidth, state_.cropHeight, nullptr);
}

bool CropDialog::RecordAction(ActionList& history) {
    return PushHistoryCrop(history, state_.margins);
}

void CropDialog::OnField(WORD id) {
    const int32_t value = GetSpinValue(Control(id));
    const CropState before = state_;
    switch (id) {
        case kLeftField:
            CropLeftTyped(&state_, value);
            break;
        case kRightField:
            CropRightTyped(&state_, value);
            break;
        case kTopField:
            CropTopTyped(&state_, value);
            break;
        case kBottomField:
            CropBottomTyped(&state_, value);
            break;
        case kWidthField:
            CropWidthTyped(&state_, value);
            break;
        default:
            CropHeightTyped(&state_, value);
            break;
    }
    // Only the values that changed are written back: rewriting the field
    // being typed into would move its caret.
    settingsLock = true;
    const auto update = [&](int field, int32_t was, int32_t now) {
        if (was != now || (field == id && now != value)) SetSpinValue(Control(field), now);
    };
    const MarginsBlock &b = before.margins, &m = state_.margins;
    update(kLeftField, b.left, m.left);
    update(kRightField, b.right, m.right);
    update(kTopField, b.top, m.top);
    update(kBottomField, b.bottom, m.bottom);
    update(kWidthField, before.cropWidth, state_.cropWidth);
    update(kHeightField, before.cropHeight, state_.cropHeight);
    OnSettingsChanged();
    settingsLock = false;
}

INT_PTR CropDialog::OnCommand(WORD id, WORD code, LPARAM) {
    if (id >= kLeftField && id <= kBottomField) {
        if (!settingsLock && code == EN_CHANGE) OnField(id);
        return 1;
    }
    if (id >= kDarkenRadio && id <= kInvertRadio) {
        if (code == kControlChanged && SelectRadio(window(), kDarkenRadio, kInvertRadio, id)) {
            g_preferences.cropPreviewMask = static_cast<uint8_t>(id - kDarkenRadio + 1);
            ApplyMask();
            RepaintPreview();
        }
        return 1;
    }
    return 0;
}

void CropDialog::SetHitCursor(int x, int y) {
    LPCSTR cursor = IDC_ARROW;
    switch (CropHitCode(state_, selection_, preview, x, y)) {
        case 1:
        case 2:
            cursor = IDC_SIZEWE;
            break;
        case 4:
        case 8:
            cursor = IDC_SIZENS;
            break;
        case 5:
        case 10:
            cursor = IDC_SIZENWSE;
            break;
        case 6:
        case 9:
            cursor = IDC_SIZENESW;
            break;
        case kCropMove:
            cursor = IDC_SIZEALL;
            break;
        default:
            break;
    }
    SetCursor(LoadCursorA(nullptr, cursor));
}

// The band is drawn and erased with the same inverting pen.
void CropDialog::DrawBand(HDC context) const {
    if (IsRectEmpty(&bandRect_)) return;
    const int rop = SetROP2(context, R2_NOTXORPEN);
    const HGDIOBJ brush = SelectObject(context, GetStockObject(NULL_BRUSH));
    const HGDIOBJ pen = SelectObject(context, GetStockObject(BLACK_PEN));
    Rectangle(context, bandRect_.left, bandRect_.top, bandRect_.right, bandRect_.bottom);
    SelectObject(context, pen);
    SelectObject(context, brush);
    SetROP2(context, rop);
}

void CropDialog::OnMouseMove(int x, int y) {
    mouseX_ = x, mouseY_ = y;
    if (mouseMode_ == 0) {
        if (GetKeyState(VK_CONTROL) < 0)
            SetCursor(LoadCursorA(nullptr, InPreview(x, y) ? IDC_CROSS : IDC_ARROW));
        else
            SetHitCursor(x, y);
        return;
    }
    if (mouseMode_ == kCropBand) {
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        HDC context = GetDC(window());
        DrawBand(context);
        const ILRect band = CropBandRect(dragX_, dragY_, x, y, preview);
        bandRect_ = {band.left, band.top, band.right, band.bottom};
        DrawBand(context);
        ReleaseDC(window(), context);
        return;
    }
    const int32_t dx = x - dragX_, dy = y - dragY_;
    dragX_ = x, dragY_ = y;
    if (dx == 0 && dy == 0) return;
    CropDragSelection(mouseMode_, dx, dy, preview, &selection_);
    SelectionToMargins();
}

INT_PTR CropDialog::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    switch (message) {
        case WM_LBUTTONDOWN: {
            if (working) return 0;
            mouseMode_ = 0;
            dragX_ = x, dragY_ = y;
            if (wParam & MK_CONTROL) {
                if (InPreview(x, y)) {
                    SetRectEmpty(&bandRect_);
                    mouseMode_ = kCropBand;
                    SetCursor(LoadCursorA(nullptr, IDC_CROSS));
                }
            } else {
                mouseMode_ = CropHitCode(state_, selection_, preview, x, y);
                SetHitCursor(x, y);
            }
            if (mouseMode_ < 0) {
                RECT frame;
                GetWindowRect(window, &frame);
                const int left = frame.left + GetSystemMetrics(SM_CXDLGFRAME) + preview.x;
                const int top = frame.top + GetSystemMetrics(SM_CYSMCAPTION) +
                                GetSystemMetrics(SM_CYDLGFRAME) + preview.y;
                const RECT confine = {left, top, left + preview.width, top + preview.height};
                ClipCursor(&confine);
            }
            if (mouseMode_ != 0) SetCapture(window);
            return 0;
        }
        case WM_MOUSEMOVE:
            OnMouseMove(x, y);
            return 0;
        case WM_LBUTTONUP:
            if (mouseMode_ == kCropBand && !IsRectEmpty(&bandRect_)) {
                HDC context = GetDC(window);
                DrawBand(context);
                ReleaseDC(window, context);
                selection_ = {bandRect_.left, bandRect_.top, bandRect_.right, bandRect_.bottom};
                SetRectEmpty(&bandRect_);
                SelectionToMargins();
            }
            ClipCursor(nullptr);
            ReleaseCapture();
            mouseMode_ = 0;
            OnMouseMove(x, y);
            return 0;
        case WM_SETCURSOR: {
            // Over the dialog's own client area the cursor tells what a press
            // would drag; the class cursor of the dialogs stays as it is.
            if (reinterpret_cast<HWND>(wParam) != window || LOWORD(lParam) != HTCLIENT) return 0;
            POINT at;
            GetCursorPos(&at);
            ScreenToClient(window, &at);
            if (mouseMode_ == kCropBand)
                SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            else if (mouseMode_ == 0 && keyMode)
                SetCursor(LoadCursorA(nullptr, InPreview(at.x, at.y) ? IDC_CROSS : IDC_ARROW));
            else if (mouseMode_ == 0)
                SetHitCursor(at.x, at.y);
            SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        case WM_KEYDOWN:
        case WM_KEYUP: {
            if (wParam != VK_CONTROL) return 0;
            const bool held = message == WM_KEYDOWN;
            if (held == keyMode) return 0;
            keyMode = held;
            POINT at;
            GetCursorPos(&at);
            if (mouseMode_ == 0 && WindowFromPoint(at) == window && InPreview(mouseX_, mouseY_)) {
                if (held)
                    SetCursor(LoadCursorA(nullptr, IDC_CROSS));
                else
                    SetHitCursor(mouseX_, mouseY_);
            }
            return 0;
        }
        default:
            return 0;
    }
}

} // namespace

void ShowCropDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<CropDialog>(host, action), L"Crop", 654, 416))
        ReportOperationFailure(host.EditedDocument());
}
