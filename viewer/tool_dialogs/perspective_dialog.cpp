// "Perspective Projection": four corners of a quadrilateral, dragged as
// handles on the preview or typed as pixel coordinates, and the mapping
// between it and the image; scales, background colour and oversampling. A
// quadrilateral the library cannot map in the preview reads "INVALID !" and
// disables Preview and Apply.
#include "viewer/tool_dialogs/perspective_dialog.h"

#include <memory>
#include <optional>
#include <string>

#include "imglib/ops/resample.h"
#include "viewer/actions/action_types.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/point_handle.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/logic/control_values.h"
#include "viewer/logic/perspective_settings.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/tool_dialogs/preview_tool_dialog.h"
#include "viewer/tool_settings/background_settings.h"

namespace {

enum PerspectiveControl : int {
    kHandleNotify = 111, // every point handle reports under this id
    kFirstField = 1050,  // x, y of corners 0, 1, 3, 2
    kLastField = 1057,
    kScaleXSlider = 1045,
    kScaleYSlider = 1046,
    kScaleXLabel = 1047,
    kScaleYLabel = 1048,
    kSizeLabel = 1049,
    kSelectionRadio = 1040,
    kImageRadio = 1041,
    kAdaptCheck = 1042,
    kOversampleField = 1028,
    kBackgroundButton = 1029,
};
// The painted name that the target size follows, at x 10.
constexpr char kTargetName[] = "Target image:";
constexpr WORD kControlChanged = 0x1704;
constexpr WORD kHandleReleased = 0x1706;
constexpr uint8_t kCosineFilter = 1;
// The handle of corner k, and the corner of each pair of fields.
constexpr int kHandleIds[4] = {1031, 1032, 1034, 1033};
constexpr int kFieldCorner[4] = {0, 1, 3, 2};
constexpr RECT kInvalidRect = {78, 8, 150, 25};

void SetLabel(HWND label, const std::string& text) {
    WCHAR wide[64];
    MultiByteToWideChar(1252, 0, text.c_str(), -1, wide, 64);
    SetLabelText(label, wide);
}

int FieldOfCorner(int corner) {
    for (int pair = 0; pair < 4; ++pair)
        if (kFieldCorner[pair] == corner) return kFirstField + 2 * pair;
    return kFirstField;
}

class PerspectiveDialog : public PreviewToolDialog {
public:
    PerspectiveDialog(ToolDialogHost& host, const Action* action);
    ~PerspectiveDialog() override;

private:
    void CreateControls(HWND window) override;
    void OnSettingsChanged() override;
    void PaintLabels(HDC context) override;
    void BeginWork() override;
    void EndWork() override;
    void Reset() override;
    void OpenAction() override;
    void SaveAction() override;
    ILResult Execute(ToolRun& run) override;
    bool RecordAction(ActionList& history) override;
    INT_PTR OnCommand(WORD id, WORD code, LPARAM lParam) override;

    bool Gray() const { return ILPixelModel(unedited.type) == IL_MODEL_GRAY; }
    void EnableControls(bool on);
    // Draws the preview (mapped anew when recompute) with the selection,
    // the handles and the size label.
    void Render(HDC context, bool recompute, uint8_t oversampling);
    void RenderNow(bool recompute, uint8_t oversampling);
    void UpdateControls();
    void WriteCornerFields(int corner);
    void PlaceHandle(int corner);
    void ReadCornerFields(int corner);
    void HandleMoved(int handleId);
    void OnScale(int id);
    void ChooseBackground();

    std::optional<ILPerspectiveParams> openedParams_;
    ILPerspectiveParams params_;
    PerspectiveGeometry geometry_;
    bool oversampleAllowed_ = false;
    bool valid_ = true;
    HICON invalidIcon_ = nullptr;
};

PerspectiveDialog::PerspectiveDialog(ToolDialogHost& host, const Action* action)
    : PreviewToolDialog(host) {
    statusText = "Projection...";
    percentBar.Init(84, 392, 184);
    relayoutOnRefresh = true;
    Document& doc = document();
    const ILImage& image = doc.image;
    geometry_ = PerspectiveGeometryFor(image.width, image.height, preview);
    oversampleAllowed_ =
        !image.palette && ILPixelModel(image.type) != IL_MODEL_INDEXED && image.bits >= 8;
    ILPerspectiveParams stored;
    if (action && action->type == ACTION_PERSPECTIVE && action->block &&
        DecodeBlock(action->block, &stored))
        openedParams_ = PerspectiveFromStored(stored, oversampleAllowed_);
    Reset();
    invalidIcon_ = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"SAVEINFO", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    const auto w = static_cast<uint32_t>(preview.width), h = static_cast<uint32_t>(preview.height);
    ready = ILReallocImage(&previewSource, w, h, IL_BGR8, nullptr) == IL_OK &&
            ILResampleInto(doc.handle, &doc.image, &previewSource, kCosineFilter) == IL_OK &&
            previewDib.Render(previewSource, doc.background, false);
    if (ready) CopyCurrentImage();
}

PerspectiveDialog::~PerspectiveDialog() {
    if (invalidIcon_) DestroyIcon(invalidIcon_);
}

void PerspectiveDialog::Reset() {
    const ILImage& image = document().image;
    params_ = openedParams_ ? *openedParams_
                            : DefaultPerspective(SharedBackground(
                                  g_preferences, ILPixelModel(image.type) == IL_MODEL_GRAY));
    if (image.palette) image.palette->FindNearest(&params_.background);
    if (!settingsLock) UpdateControls();
}

void PerspectiveDialog::CreateControls(HWND window) {
    settingsLock = true;
    const RECT bounds = {preview.x, preview.y, preview.x + preview.width - 1,
                         preview.y + preview.height - 1};
    for (int k = 0; k < 4; ++k) {
        const ClientPoint at = CornerHandle(geometry_, params_.corners[2 * k],
                                            params_.corners[2 * k + 1]);
        CreatePointHandle(window, kHandleIds[k], at.x, at.y, bounds);
    }
    struct FieldPlace {
        int x, y;
    };
    static const FieldPlace kFieldPlaces[8] = {{11, 51},  {72, 51},  {137, 51}, {198, 51},
                                               {11, 107}, {72, 107}, {137, 107}, {198, 107}};
    for (int i = 0; i < 8; ++i) {
        const int corner = kFieldCorner[i / 2];
        const bool y = i % 2 != 0;
        const double value = params_.corners[2 * corner + (y ? 1 : 0)];
        CreateSpinField(window, kFirstField + i, kFieldPlaces[i].x, kFieldPlaces[i].y, 60, 0,
                        y ? geometry_.maxY : geometry_.maxX,
                        y ? CornerFieldY(geometry_, value) : CornerFieldX(geometry_, value));
    }
    CreateSlider(window, kScaleXSlider, 56, 156, 162, 250, 2500,
                 PerspectiveScaleSlider(params_.scaleX), false);
    CreateSlider(window, kScaleYSlider, 56, 176, 162, 250, 2500,
                 PerspectiveScaleSlider(params_.scaleY), false);
    CreateLabel(window, kScaleXLabel, L"", 221, 156, 40, 0);
    CreateLabel(window, kScaleYLabel, L"", 221, 176, 40, 0);
    CreateLabel(window, kSizeLabel, L"", ValueAfterName(window, 10, kTargetName), 328, 120, 0);
    SetLabel(Control(kScaleXLabel), PerspectiveScaleText(params_.scaleX));
    SetLabel(Control(kScaleYLabel), PerspectiveScaleText(params_.scaleY));
    CreateRadioButton(window, kSelectionRadio, L"Selection to image", 10, 258, 136,
                      params_.mapping == 0);
    CreateRadioButton(window, kImageRadio, L"Image to selection", 10, 278, 136,
                      params_.mapping != 0);
    const HWND adapt = CreateCheckBox(window, kAdaptCheck, L"adapt image size to selection", 32,
                                      298, 220, params_.mapping == 2);
    EnableWindow(adapt, params_.mapping != 0);
    const HWND field =
        CreateSpinField(window, kOversampleField, 120, 354, 36, 1, 8, params_.oversampling);
    EnableWindow(field, oversampleAllowed_);
    CreateColorButton(window, kBackgroundButton, L"Background", 160, 354, 100,
                      params_.background.ToCOLORREF());
    RenderNow(true, 1);
    AddTipsToolTip("Drag the selection boxes with the left mouse button.");
    settingsLock = false;
}

void PerspectiveDialog::OnSettingsChanged() {
    EnableApplyPreview(PerspectiveApplyEnabled(params_, valid_));
    if (window()) InvalidateRect(window(), &kInvalidRect, FALSE);
}

void PerspectiveDialog::Render(HDC context, bool recompute, uint8_t oversampling) {
    Document& doc = document();
    if (params_.mapping == 0) {
        if (recompute) {
            previewDib.Render(previewSource, doc.background, false);
            valid_ = true;
        }
        DrawPreview(context);
        // The selection from handle to handle, inverted in white.
        const int rop = SetROP2(context, R2_XORPEN);
        const HGDIOBJ pen = SelectObject(context, GetStockObject(WHITE_PEN));
        for (int k = 0; k <= 4; ++k) {
            const int corner = k % 4;
            const ClientPoint at = CornerHandle(geometry_, params_.corners[2 * corner],
                                                params_.corners[2 * corner + 1]);
            if (k == 0)
                MoveToEx(context, at.x, at.y, nullptr);
            else
                LineTo(context, at.x, at.y);
        }
        SelectObject(context, pen);
        SetROP2(context, rop);
    } else {
        if (recompute) {
            // Into a new image: a refused quadrilateral leaves the last
            // mapped preview (and the bitmap over its rows) as it was.
            ILImage mapped;
            ILInitImage(&mapped);
            valid_ = MapPerspectivePreview(doc.handle, &previewSource, &mapped, params_,
                                           oversampling);
            if (valid_) {
                previewDib.Free();
                ILMoveImage(&previewImage, &mapped, true, false);
                RenderPreviewDib();
            }
            ILClearImage(&mapped);
        }
        DrawPreview(context);
    }
    for (int id : kHandleIds)
        if (const HWND handle = Control(id)) InvalidateRect(handle, nullptr, FALSE);
    SetLabel(Control(kSizeLabel), PerspectiveSizeText(unedited, params_));
}

void PerspectiveDialog::RenderNow(bool recompute, uint8_t oversampling) {
    HDC context = GetDC(window());
    Render(context, recompute, oversampling);
    ReleaseDC(window(), context);
}

void PerspectiveDialog::PaintLabels(HDC context) {
    Render(context, false, 1);
    if (valid_) {
        FillRect(context, &kInvalidRect, g_styleBrushes.Face);
    } else {
        DrawIconEx(context, 78, 9, invalidIcon_, 16, 16, 0, nullptr, DI_NORMAL);
        DrawText8(context, 98, 10, "INVALID !");
    }
    DrawSeparator(context, 145);
    DrawSeparator(context, 225);
    struct Text {
        int x, y;
        const char* text;
    };
    static const Text kSmall[] = {{10, 32, "top/left (x,y)"},     {136, 32, "top/right (x,y)"},
                                  {10, 88, "bottom/left (x,y)"},  {136, 88, "bottom/right (x,y)"},
                                  {53, 196, "25%"},               {101, 196, "100%"},
                                  {207, 196, "250%"},             {10, 328, kTargetName}};
    for (const Text& t : kSmall)
        DrawText8(context, t.x, t.y, t.text);
    SelectTextStyle(context);
    static const Text kNormal[] = {{10, 10, "Selection"}, {10, 156, "Scale X"},
                                   {10, 176, "Scale Y"},  {10, 236, "Mapping"},
                                   {10, 355, "Oversample N x N"}};
    for (const Text& t : kNormal)
        DrawText8(context, t.x, t.y, t.text);
    SelectSmallTextStyle(context);
}

void PerspectiveDialog::EnableControls(bool on) {
    for (int id = kFirstField; id <= kLastField; ++id)
        EnableWindow(Control(id), on);
    for (int id : {kSelectionRadio, kImageRadio, kScaleXSlider, kScaleYSlider, kBackgroundButton})
        EnableWindow(Control(id), on);
    for (int id : kHandleIds)
        EnableWindow(Control(id), on);
    EnableWindow(Control(kOversampleField), on && oversampleAllowed_);
    EnableWindow(Control(kAdaptCheck), on && IsButtonChecked(Control(kImageRadio)));
}

void PerspectiveDialog::BeginWork() {
    PreviewToolDialog::BeginWork();
    EnableControls(false);
}

void PerspectiveDialog::EndWork() {
    PreviewToolDialog::EndWork();
    EnableControls(true);
}

void PerspectiveDialog::WriteCornerFields(int corner) {
    const int field = FieldOfCorner(corner);
    SetSpinValue(Control(field), CornerFieldX(geometry_, params_.corners[2 * corner]));
    SetSpinValue(Control(field + 1), CornerFieldY(geometry_, params_.corners[2 * corner + 1]));
}

void PerspectiveDialog::PlaceHandle(int corner) {
    const ClientPoint at =
        CornerHandle(geometry_, params_.corners[2 * corner], params_.corners[2 * corner + 1]);
    SetPointHandlePosition(Control(kHandleIds[corner]), at.x, at.y);
}

void PerspectiveDialog::ReadCornerFields(int corner) {
    const int field = FieldOfCorner(corner);
    double& x = params_.corners[2 * corner];
    double& y = params_.corners[2 * corner + 1];
    x = CornerFromFieldX(geometry_, GetSpinValue(Control(field)), x);
    y = CornerFromFieldY(geometry_, GetSpinValue(Control(field + 1)), y);
}

void PerspectiveDialog::UpdateControls() {
    if (unedited.palette) unedited.palette->FindNearest(&params_.background);
    SetColorButtonColor(Control(kBackgroundButton), params_.background.ToCOLORREF());
    StoreSharedBackground(g_preferences, params_.background, Gray());
    settingsLock = true;
    params_.scaleX =
        SetSliderValue(Control(kScaleXSlider), PerspectiveScaleSlider(params_.scaleX)) / 1000.0;
    params_.scaleY =
        SetSliderValue(Control(kScaleYSlider), PerspectiveScaleSlider(params_.scaleY)) / 1000.0;
    SetLabel(Control(kScaleXLabel), PerspectiveScaleText(params_.scaleX));
    SetLabel(Control(kScaleYLabel), PerspectiveScaleText(params_.scaleY));
    EnableWindow(Control(kAdaptCheck), params_.mapping != 0);
    SetButtonChecked(Control(kAdaptCheck), params_.mapping == 2);
    SelectRadio(window(), kSelectionRadio, kImageRadio,
                params_.mapping == 0 ? kSelectionRadio : kImageRadio);
    if (oversampleAllowed_) SetSpinValue(Control(kOversampleField), params_.oversampling);
    for (int k = 0; k < 4; ++k) {
        WriteCornerFields(k);
        PlaceHandle(k);
    }
    settingsLock = false;
    RenderNow(true, 1);
    OnSettingsChanged();
}

void PerspectiveDialog::OpenAction() {
    Action chosen;
    ILPerspectiveParams stored;
    if (!host().OpenNamedAction(window(), ACTION_PERSPECTIVE, &chosen) || !chosen.block ||
        !DecodeBlock(chosen.block, &stored))
        return;
    params_ = PerspectiveFromStored(stored, oversampleAllowed_);
    UpdateControls();
}

void PerspectiveDialog::SaveAction() {
    Action action;
    if (MakeAction(ACTION_PERSPECTIVE, params_, &action)) host().SaveNamedAction(window(), action);
}

ILResult PerspectiveDialog::Execute(ToolRun& run) {
    return ILPerspectiveTransform(run.handle, const_cast<ILImage*>(run.source), &run.result,
                                  &params_);
}

bool PerspectiveDialog::RecordAction(ActionList& history) {
    return PushHistoryPerspective(history, params_);
}

// A handle was dragged: its fields follow, and the corner is read back from
// them (so it lies on whole image pixels). Dragging maps the preview
// without oversampling; the release maps it once more with it.
void PerspectiveDialog::HandleMoved(int handleId) {
    if (settingsLock) return;
    int corner = -1;
    for (int k = 0; k < 4; ++k)
        if (kHandleIds[k] == handleId) corner = k;
    if (corner < 0) return;
    const POINT at = GetPointHandlePosition(Control(handleId));
    const int field = FieldOfCorner(corner);
    settingsLock = true;
    SetSpinValue(Control(field), HandleFieldX(geometry_, at.x));
    SetSpinValue(Control(field + 1), HandleFieldY(geometry_, at.y));
    settingsLock = false;
    ReadCornerFields(corner);
    RenderNow(true, 0);
    OnSettingsChanged();
}

void PerspectiveDialog::OnScale(int id) {
    const double scale = GetSliderValue(Control(id)) / 1000.0;
    if (id == kScaleXSlider)
        params_.scaleX = scale;
    else
        params_.scaleY = scale;
    SetLabel(Control(id == kScaleXSlider ? kScaleXLabel : kScaleYLabel),
             PerspectiveScaleText(scale));
    SetLabel(Control(kSizeLabel), PerspectiveSizeText(unedited, params_));
    OnSettingsChanged();
}

void PerspectiveDialog::ChooseBackground() {
    ILColor color = params_.background;
    if (!ShowColorChooser(document(), window(), L"Background Color", unedited.type, color,
                          unedited.palette))
        return;
    params_.background = color;
    RenderNow(true, 1);
    SetColorButtonColor(Control(kBackgroundButton), color.ToCOLORREF());
    StoreSharedBackground(g_preferences, color, Gray());
    OnSettingsChanged();
}

INT_PTR PerspectiveDialog::OnCommand(WORD id, WORD code, LPARAM lParam) {
    if (id == kHandleNotify) {
        if (code == kControlChanged)
            HandleMoved(static_cast<int>(lParam));
        else if (code == kHandleReleased && params_.mapping != 0 && !settingsLock)
            RenderNow(true, 1);
        return 1;
    }
    if (id >= kFirstField && id <= kLastField) {
        if (settingsLock) return 1;
        const int corner = kFieldCorner[(id - kFirstField) / 2];
        ReadCornerFields(corner);
        settingsLock = true;
        PlaceHandle(corner);
        settingsLock = false;
        RenderNow(true, 1);
        OnSettingsChanged();
        return 1;
    }
    switch (id) {
        case kScaleXSlider:
        case kScaleYSlider:
            if (code == kControlChanged && !settingsLock) OnScale(id);
            return 1;
        case kSelectionRadio:
        case kImageRadio:
            if (code == kControlChanged && !settingsLock &&
                SelectRadio(window(), kSelectionRadio, kImageRadio, id)) {
                EnableWindow(Control(kAdaptCheck), id == kImageRadio);
                params_.mapping = PerspectiveMapping(id == kImageRadio,
                                                     IsButtonChecked(Control(kAdaptCheck)));
                RenderNow(true, 1);
                OnSettingsChanged();
            }
            return 1;
        case kAdaptCheck:
            if (!settingsLock && params_.mapping != 0) {
                params_.mapping = PerspectiveMapping(true, IsButtonChecked(Control(kAdaptCheck)));
                RenderNow(true, 1);
                OnSettingsChanged();
            }
            return 1;
        case kOversampleField:
            if (!settingsLock)
                params_.oversampling = static_cast<uint8_t>(
                    ClampToRange(GetSpinValue(Control(kOversampleField)), 1, 8));
            OnSettingsChanged();
            return 1;
        case kBackgroundButton:
            if (code == kControlChanged && !settingsLock) ChooseBackground();
            return 1;
        default:
            return 0;
    }
}

} // namespace

void ShowPerspectiveDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<PerspectiveDialog>(host, action),
                        L"Perspective Projection", 654, 416))
        ReportOperationFailure(host.EditedDocument());
}
