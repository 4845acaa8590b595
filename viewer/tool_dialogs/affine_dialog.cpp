// "Affine Projection": rotation, scale and translation of the current image,
// the canvas optionally adapted to the turned and scaled image, with a
// background colour and N x N oversampling. The live preview is the same
// library operation on the small preview image.
#include "viewer/tool_dialogs/affine_dialog.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "imglib/ops/resample.h"
#include "viewer/actions/action_types.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/logic/affine_settings.h"
#include "viewer/logic/control_values.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/tool_dialogs/preview_tool_dialog.h"
#include "viewer/tool_settings/background_settings.h"

namespace {

enum AffineControl : int {
    kAngleSlider = 1010,
    kScaleSlider = 1011,
    kShiftXSlider = 1012,
    kShiftYSlider = 1013,
    kAdaptCheck = 1014,
    kAngleLabel = 1015,
    kScaleLabel = 1016,
    kShiftLabel = 1017,
    kSizeLabel = 1018,
    kOversampleField = 1028,
    kBackgroundButton = 1029,
};
constexpr WORD kControlChanged = 0x1704;
constexpr uint8_t kCosineFilter = 1;
constexpr RECT kShiftSection = {162, 10, 276, 312};
// The painted names whose values follow them (small font, y 10 or 330).
constexpr int kRotateX = 10, kScaleX = 86, kTransX = 162, kTargetX = 126;
constexpr char kRotateName[] = "Rotate", kScaleName[] = "Scale", kTransName[] = "Trans.",
               kTargetName[] = "target:";

void SetLabel(HWND label, const std::string& text) {
    WCHAR wide[64];
    MultiByteToWideChar(1252, 0, text.c_str(), -1, wide, 64);
    SetLabelText(label, wide);
}

// 8 bits or more per sample without a palette: oversampling averages colours.
bool OversampleAllowed(const ILImage& image) {
    return !image.palette && ILPixelModel(image.type) != IL_MODEL_INDEXED && image.bits >= 8;
}

class AffineDialog : public PreviewToolDialog {
public:
    AffineDialog(ToolDialogHost& host, const Action* action);

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
    ILColor StoredBackground() const;
    void MatchBackground();
    void UpdateSize();
    void RenderPreview();
    void ShowPreview();
    void EnableShift();
    void OnAngle(int32_t v);
    void OnScale(int32_t v);
    void OnShift();
    void ChooseBackground();

    ILAffineParams params_;
    bool oversampleAllowed_ = false;
};

AffineDialog::AffineDialog(ToolDialogHost& host, const Action* action) : PreviewToolDialog(host) {
    statusText = "Projection...";
    percentBar.Init(84, 392, 184);
    relayoutOnRefresh = true;
    const ILImage& image = document().image;
    oversampleAllowed_ = OversampleAllowed(image);
    params_ = DefaultAffine(SharedBackground(g_preferences, ILPixelModel(image.type) == IL_MODEL_GRAY));
    ILAffineParams stored;
    if (action && action->type == ACTION_AFFINE && action->block &&
        DecodeBlock(action->block, &stored))
        params_ = AffineFromStored(stored);
    if (!oversampleAllowed_) params_.oversampling = 1;
    if (image.palette) image.palette->FindNearest(&params_.background);
    // The preview's diagonal is at most 380, so that every turn fits.
    preview = AffinePreviewFit(image.width, image.height);
    Document& doc = document();
    const auto w = static_cast<uint32_t>(preview.width), h = static_cast<uint32_t>(preview.height);
    ready = ILReallocImage(&previewSource, w, h, IL_BGR8, nullptr) == IL_OK &&
            ILResampleInto(doc.handle, &doc.image, &previewSource, kCosineFilter) == IL_OK;
    if (!ready) return;
    CopyCurrentImage();
    RenderPreview();
    ready = !previewDib.IsEmpty();
}

ILColor AffineDialog::StoredBackground() const {
    return SharedBackground(g_preferences, Gray());
}

void AffineDialog::MatchBackground() {
    if (unedited.palette) unedited.palette->FindNearest(&params_.background);
}

void AffineDialog::CreateControls(HWND window) {
    const AffineSliders s = AffineSlidersOf(params_);
    CreateSlider(window, kAngleSlider, 11, 34, 276, -1800, 1800, s.angle, true);
    CreateSlider(window, kScaleSlider, 87, 34, 276, 250, 2500, s.scale, true);
    CreateSlider(window, kShiftXSlider, 172, 34, 276, -800, 800, s.shiftX, true);
    CreateSlider(window, kShiftYSlider, 212, 34, 276, -800, 800, s.shiftY, true);
    CreateCheckBox(window, kAdaptCheck, L"Adapt image size", 10, 330, 150, params_.fitCanvas != 0);
    const HWND field =
        CreateSpinField(window, kOversampleField, 120, 354, 36, 1, 8, params_.oversampling);
    EnableWindow(field, oversampleAllowed_);
    CreateColorButton(window, kBackgroundButton, L"Background", 160, 354, 100,
                      params_.background.ToCOLORREF());
    // Each value a gap after its name, short of the next name.
    const int angleX = ValueAfterName(window, kRotateX, kRotateName);
    const int scaleX = ValueAfterName(window, kScaleX, kScaleName);
    CreateLabel(window, kAngleLabel, L"", angleX, 10, std::min(41, kScaleX - 2 - angleX), 0);
    CreateLabel(window, kScaleLabel, L"", scaleX, 10, std::min(41, kTransX - 2 - scaleX), 0);
    CreateLabel(window, kShiftLabel, L"", ValueAfterName(window, kTransX, kTransName), 10, 70, 0);
    CreateLabel(window, kSizeLabel, L"", ValueAfterName(window, kTargetX, kTargetName), 330, 104,
                0);
    SetLabel(Control(kAngleLabel), AffineAngleText(params_));
    SetLabel(Control(kScaleLabel), AffineScaleText(params_));
    SetLabel(Control(kShiftLabel), AffineShiftText(params_));
    UpdateSize();
    EnableShift();
    AddTipsToolTip(nullptr);
}

void AffineDialog::OnSettingsChanged() {
    EnableApplyPreview(AffineApplyEnabled(params_));
}

void AffineDialog::EnableShift() {
    const bool on = params_.fitCanvas == 0;
    EnableWindow(Control(kShiftXSlider), on);
    EnableWindow(Control(kShiftYSlider), on);
    EnableWindow(Control(kShiftLabel), on);
}

void AffineDialog::PaintLabels(HDC context) {
    DrawPreview(context);
    DrawSeparator(context, 320);
    DrawScaleTicks(context, 29, 39, 265, 17);
    DrawScaleTicks(context, 105, 39, 265, 10);
    DrawText8(context, kRotateX, 10, kRotateName);
    DrawText8(context, kScaleX, 10, kScaleName);
    static const char* const kAngles[] = {"180\xB0", "135\xB0", "90\xB0",   "45\xB0",  "0\xB0",
                                          "-45\xB0", "-90\xB0", "-135\xB0", "-180\xB0"};
    for (int k = 0; k < 9; ++k)
        DrawText8(context, 38, 32 + 33 * k, kAngles[k]);
    DrawText8(context, 114, 32, "250%");
    DrawText8(context, 114, 91, "200%");
    DrawText8(context, 114, 209, "100%");
    DrawText8(context, 114, 297, "25%");
    DrawText8(context, kTargetX, 330, kTargetName);
    // The translation section greys while the canvas adapts.
    const bool off = params_.fitCanvas != 0;
    const HGDIOBJ pen = off ? SelectObject(context, CreatePen(PS_SOLID, 1, g_styleColors.Shadow))
                            : nullptr;
    const COLORREF text = off ? SetTextColor(context, g_styleColors.Shadow) : 0;
    DrawScaleTicks(context, 190, 39, 265, 17);
    DrawScaleTicks(context, 230, 39, 265, 17);
    static const char* const kShifts[] = {"0.8",  "0.6",  "0.4",  "0.2", "0.0",
                                          "-0.2", "-0.4", "-0.6", "-0.8"};
    for (int k = 0; k < 9; ++k)
        DrawText8(context, 239, 32 + 33 * k, kShifts[k]);
    DrawText8(context, kTransX, 10, kTransName);
    if (off) {
        SetTextColor(context, text);
        DeleteObject(SelectObject(context, pen));
    }
    SelectTextStyle(context);
    DrawText8(context, 10, 355, "Oversample N x N");
    SelectSmallTextStyle(context);
}

void AffineDialog::BeginWork() {
    PreviewToolDialog::BeginWork();
    for (int id : {kAngleSlider, kScaleSlider, kShiftXSlider, kShiftYSlider, kAdaptCheck,
                   kOversampleField, kBackgroundButton})
        EnableWindow(Control(id), FALSE);
}

void AffineDialog::EndWork() {
    PreviewToolDialog::EndWork();
    for (int id : {kAngleSlider, kScaleSlider, kAdaptCheck, kBackgroundButton})
        EnableWindow(Control(id), TRUE);
    EnableShift();
    EnableWindow(Control(kOversampleField), oversampleAllowed_);
}

void AffineDialog::UpdateSize() {
    SetLabel(Control(kSizeLabel), AffineSizeText(unedited, params_));
}

// The preview with oversampling 1, and scale 1 while the canvas adapts; its
// result size becomes the preview's, centred again.
void AffineDialog::RenderPreview() {
    const ILAffineParams p = AffinePreviewParams(params_);
    ILImage result;
    ILInitImage(&result);
    if (ILAffineTransform(document().handle, &previewSource, &result, &p) != IL_OK) {
        ILClearImage(&result);
        return;
    }
    previewDib.Free();
    ILMoveImage(&previewImage, &result, true, false);
    preview = CentrePreview(static_cast<int32_t>(previewImage.width),
                            static_cast<int32_t>(previewImage.height));
    RenderPreviewDib();
}

void AffineDialog::ShowPreview() {
    RenderPreview();
    HDC context = GetDC(window());
    DrawPreview(context);
    PaintPreviewFrame(context);
    ReleaseDC(window(), context);
}

void AffineDialog::OnAngle(int32_t v) {
    params_.angle = v * 0.1;
    SetLabel(Control(kAngleLabel), AffineAngleText(params_));
    UpdateSize();
    ShowPreview();
    OnSettingsChanged();
}

void AffineDialog::OnScale(int32_t v) {
    params_.scaleX = params_.scaleY = v * 0.001;
    SetLabel(Control(kScaleLabel), AffineScaleText(params_));
    UpdateSize();
    if (!params_.fitCanvas) ShowPreview();
    OnSettingsChanged();
}

void AffineDialog::OnShift() {
    params_.shiftX = GetSliderValue(Control(kShiftXSlider)) * 0.001;
    params_.shiftY = GetSliderValue(Control(kShiftYSlider)) * 0.001;
    SetLabel(Control(kShiftLabel), AffineShiftText(params_));
    ShowPreview();
    OnSettingsChanged();
}

void AffineDialog::ChooseBackground() {
    ILColor color = params_.background;
    if (!ShowColorChooser(document(), window(), L"Background Color", unedited.type, color,
                          unedited.palette))
        return;
    params_.background = color;
    ShowPreview();
    SetColorButtonColor(Control(kBackgroundButton), color.ToCOLORREF());
    StoreSharedBackground(g_preferences, color, Gray());
    OnSettingsChanged();
}

void AffineDialog::Reset() {
    params_ = DefaultAffine(StoredBackground());
    MatchBackground();
    if (settingsLock) return;
    settingsLock = true;
    SetSliderValue(Control(kAngleSlider), 0);
    SetSliderValue(Control(kScaleSlider), 1000);
    SetSliderValue(Control(kShiftXSlider), 0);
    SetSliderValue(Control(kShiftYSlider), 0);
    SetSpinValue(Control(kOversampleField), 1);
    SetButtonChecked(Control(kAdaptCheck), true);
    SetColorButtonColor(Control(kBackgroundButton), params_.background.ToCOLORREF());
    settingsLock = false;
    EnableShift();
    InvalidateRect(window(), &kShiftSection, TRUE);
    OnScale(1000);
    OnAngle(0);
    OnShift();
}

void AffineDialog::OpenAction() {
    Action chosen;
    ILAffineParams stored;
    if (!host().OpenNamedAction(window(), ACTION_AFFINE, &chosen) || !chosen.block ||
        !DecodeBlock(chosen.block, &stored))
        return;
    params_ = AffineFromStored(stored);
    if (!oversampleAllowed_) params_.oversampling = 1;
    MatchBackground();
    const AffineSliders s = AffineSlidersOf(params_);
    settingsLock = true;
    SetSliderValue(Control(kAngleSlider), s.angle);
    SetSliderValue(Control(kScaleSlider), s.scale);
    SetSliderValue(Control(kShiftXSlider), s.shiftX);
    SetSliderValue(Control(kShiftYSlider), s.shiftY);
    SetButtonChecked(Control(kAdaptCheck), params_.fitCanvas != 0);
    SetSpinValue(Control(kOversampleField), params_.oversampling);
    SetColorButtonColor(Control(kBackgroundButton), params_.background.ToCOLORREF());
    settingsLock = false;
    StoreSharedBackground(g_preferences, params_.background, Gray());
    EnableShift();
    InvalidateRect(window(), &kShiftSection, TRUE);
    OnScale(s.scale);
    OnAngle(s.angle);
    OnShift();
}

void AffineDialog::SaveAction() {
    Action action;
    if (MakeAction(ACTION_AFFINE, params_, &action)) host().SaveNamedAction(window(), action);
}

ILResult AffineDialog::Execute(ToolRun& run) {
    return ILAffineTransform(run.handle, const_cast<ILImage*>(run.source), &run.result, &params_);
}

bool AffineDialog::RecordAction(ActionList& history) {
    return PushHistoryAffine(history, params_);
}

INT_PTR AffineDialog::OnCommand(WORD id, WORD code, LPARAM lParam) {
    const auto v = static_cast<int32_t>(lParam);
    switch (id) {
        case kAngleSlider:
            if (code == kControlChanged && !settingsLock) OnAngle(v);
            return 1;
        case kScaleSlider:
            if (code == kControlChanged && !settingsLock) OnScale(v);
            return 1;
        case kShiftXSlider:
        case kShiftYSlider:
            if (code == kControlChanged && !settingsLock) OnShift();
            return 1;
        case kAdaptCheck:
            if (settingsLock) return 1;
            params_.fitCanvas = params_.fitCanvas ? 0 : 1;
            UpdateSize();
            EnableShift();
            InvalidateRect(window(), &kShiftSection, TRUE);
            ShowPreview();
            OnSettingsChanged();
            return 1;
        case kOversampleField:
            if (settingsLock) return 1;
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

void ShowAffineDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<AffineDialog>(host, action), L"Affine Projection", 654,
                        416))
        ReportOperationFailure(host.EditedDocument());
}
