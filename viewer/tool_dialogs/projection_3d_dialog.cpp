#include "viewer/tool_dialogs/projection_3d_dialog.h"

#include <algorithm>

#include "imglib/ops/projection.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/control_values.h"
#include "viewer/logic/projection_3d_settings.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/paint_text.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/background_settings.h"

namespace {

enum ProjectionControl : int {
    kWidthField = 1021,
    kHeightField = 1022,
    kAngleXField = 1025, // 1025 + axis
    kAngleZField = 1027,
    kOversamplingField = 1029,
    kFirstSourceRadio = 1110, // + projection
    kLastSourceRadio = 1113,
    kFirstTargetRadio = 1115,
    kLastTargetRadio = 1118,
    kUserSizeRadio = 1130, // + size mode: user size, downsample, upsample
    kUpsampleRadio = 1132,
    kBackgroundButton = 1135,
};

const WCHAR* const kProjectionNames[4] = {L"Latitude/Longitude", L"Cylindrical", L"Angular",
                                          L"Mirror Ball"};
constexpr int kTargetColumn = 164;

class Projection3DDialog final : public ToolDialog {
public:
    Projection3DDialog(ToolDialogHost& host, const Action* action) : ToolDialog(host) {
        statusText = "Projection...";
        percentBar.Init(86, 300, 200);
        relayoutOnRefresh = true;
        const ILImage& image = document().image;
        imageWidth_ = image.width;
        imageHeight_ = image.height;
        grey_ = ILPixelModel(image.type) == IL_MODEL_GRAY;
        ILProjectionParams stored;
        if (action && action->type == ACTION_PROJECTION_3D && DecodeBlock(action->block, &stored))
            p_ = Projection3DFromStored(stored, imageWidth_, imageHeight_);
        else
            p_ = DefaultProjection3D(imageWidth_, imageHeight_,
                                     SharedBackground(g_preferences, grey_));
        oversampleAllowed_ = ILPixelModel(image.type) != IL_MODEL_INDEXED && image.bits >= 8;
        if (ILPixelModel(image.type) == IL_MODEL_INDEXED && image.palette)
            image.palette->FindNearest(&p_.background);
        CopyCurrentImage();
        ready = true;
    }

private:
    void CreateControls(HWND window) override {
        // Each name whole; the connector starts right of the widest.
        int widest = 0;
        for (int i = 0; i < 4; ++i) {
            const int width = ChoiceWidth(window, kProjectionNames[i]);
            widest = std::max(widest, width);
            CreateRadioButton(window, kFirstSourceRadio + i, kProjectionNames[i], 10, 33 + 18 * i,
                              width, i == p_.sourceProjection);
            CreateRadioButton(window, kFirstTargetRadio + i, kProjectionNames[i], kTargetColumn,
                              33 + 18 * i, width, i == p_.targetProjection);
        }
        connector_ = {std::min(10 + widest + 2, kTargetColumn - 16), 41, kTargetColumn - 7, 96};
        const double angles[3] = {p_.angleX, p_.angleY, p_.angleZ};
        for (int axis = 0; axis < 3; ++axis)
            CreateSpinField(window, kAngleXField + axis, 79 + 78 * axis, 121, 50, 0,
                            kProjectionAngleMaximum,
                            ControlValueOf(angles[axis], 0, kProjectionAngleMaximum));
        CreateSpinField(window, kWidthField, 85, 159, 70, 1, kProjectionSizeMaximum, p_.width);
        CreateSpinField(window, kHeightField, 175, 159, 70, 1, kProjectionSizeMaximum, p_.height);
        CreateRadioButton(window, kUserSizeRadio + 1, L"downsample", 10, 192, 96,
                          p_.sizeMode == 1);
        CreateRadioButton(window, kUserSizeRadio + 2, L"upsample", 10, 210, 96, p_.sizeMode == 2);
        CreateRadioButton(window, kUserSizeRadio, L"user size", 10, 228, 96, p_.sizeMode == 0);
        EnableWindow(CreateSpinField(window, kOversamplingField, 120, 262, 36, 1,
                                     kOversamplingMaximum, p_.oversampling),
                     oversampleAllowed_);
        CreateColorButton(window, kBackgroundButton, L"Background", 188, 262, 100,
                          p_.background.ToCOLORREF());
    }
    void OnSettingsChanged() override { EnableApplyPreview(true); }
    void PaintLabels(HDC context) override {
        DrawSeparator(context, 112);
        DrawSeparator(context, 150);
        DrawSeparator(context, 253);
        PaintText(context, 252, 161, L"Pixel");
        SelectTextStyle(context);
        const struct {
            int x, y;
            const WCHAR* text;
        } labels[] = {{10, 10, L"Source"},     {164, 10, L"Destination"}, {10, 122, L"Rotation"},
                      {64, 122, L"X\u00b0"},    {142, 122, L"Y\u00b0"},    {220, 122, L"Z\u00b0"},
                      {10, 160, L"Dimension"}, {162, 160, L"x"},          {10, 263, L"Oversample N x N"}};
        for (const auto& l : labels) PaintText(context, l.x, l.y, l.text);
        FillRect(context, &connector_, g_styleBrushes.Face);
        const int from = 41 + 18 * p_.sourceProjection, to = 41 + 18 * p_.targetProjection;
        const int left = connector_.left, right = connector_.right;
        const int middle = (left + right) / 2;
        const POINT line[4] = {{left, from}, {middle, from}, {middle, to}, {right, to}};
        Polyline(context, line, 4);
    }
    void BeginWork() override {
        ToolDialog::BeginWork();
        EnableControls(false);
    }
    void EndWork() override {
        ToolDialog::EndWork();
        EnableControls(true);
    }
    void Reset() override {
        p_ = DefaultProjection3D(imageWidth_, imageHeight_, SharedBackground(g_preferences, grey_));
        const ILImage& image = document().image;
        if (ILPixelModel(image.type) == IL_MODEL_INDEXED && image.palette)
            image.palette->FindNearest(&p_.background);
        UpdateControls();
    }
    void OpenAction() override {
        Action chosen;
        ILProjectionParams stored;
        if (!host().OpenNamedAction(window(), ACTION_PROJECTION_3D, &chosen) ||
            !DecodeBlock(chosen.block, &stored))
            return;
        p_ = Projection3DFromStored(stored, imageWidth_, imageHeight_);
        UpdateControls();
    }
    void SaveAction() override {
        Action action;
        if (MakeAction(ACTION_PROJECTION_3D, p_, &action)) host().SaveNamedAction(window(), action);
    }
    ILResult Execute(ToolRun& run) override {
        const ILResult allocated =
            ILReallocImage(&run.result, static_cast<uint32_t>(p_.width),
                           static_cast<uint32_t>(p_.height), run.source->type, nullptr);
        if (allocated != IL_OK) return allocated;
        // The library reads the source only.
        return ILProjectImage(run.handle, const_cast<ILImage*>(run.source), &run.result, &p_);
    }
    // Recorded so that a replay on this image makes the size applied.
    bool RecordAction(ActionList& history) override {
        return PushHistory3DProjection(history, p_, imageWidth_, imageHeight_);
    }
    INT_PTR OnCommand(WORD id, WORD code, LPARAM) override {
        if (id == kWidthField || id == kHeightField) {
            (id == kWidthField ? p_.width : p_.height) = GetSpinValue(Control(id));
            EnableApplyPreview(true);
            return 1;
        }
        if (id >= kAngleXField && id <= kAngleZField) {
            double* angles[3] = {&p_.angleX, &p_.angleY, &p_.angleZ};
            *angles[id - kAngleXField] = GetSpinValue(Control(id));
            EnableApplyPreview(true);
            return 1;
        }
        if (id == kOversamplingField) {
            p_.oversampling = static_cast<uint8_t>(
                ClampToRange(GetSpinValue(Control(id)), 1, kOversamplingMaximum));
            EnableApplyPreview(true);
            return 1;
        }
        if (id >= kFirstSourceRadio && id <= kLastTargetRadio) {
            const bool source = id <= kLastSourceRadio;
            const int first = source ? kFirstSourceRadio : kFirstTargetRadio;
            if (id > kLastSourceRadio && id < kFirstTargetRadio) return 0;
            if (code == ControlChanged && SelectRadio(window(), first, first + 3, id)) {
                (source ? p_.sourceProjection : p_.targetProjection) =
                    static_cast<uint8_t>(id - first);
                ProjectionChanged();
            }
            return 1;
        }
        if (id >= kUserSizeRadio && id <= kUpsampleRadio) {
            if (code == ControlChanged &&
                SelectRadio(window(), kUserSizeRadio, kUpsampleRadio, id)) {
                p_.sizeMode = id - kUserSizeRadio;
                UpdateSize();
                EnableApplyPreview(true);
            }
            return 1;
        }
        if (id == kBackgroundButton) {
            const ILImage& image = document().image;
            if (ShowColorChooser(document(), window(), L"Background color", image.type,
                                 p_.background, image.palette)) {
                SetColorButtonColor(Control(kBackgroundButton), p_.background.ToCOLORREF());
                StoreSharedBackground(g_preferences, p_.background, grey_);
                OnSettingsChanged();
            }
            return 1;
        }
        return 0;
    }

    // The size of modes 1 and 2 from the shared rule into the fields (which
    // then also take it as their default).
    void UpdateSize() {
        UpdateProjection3DSize(&p_, imageWidth_, imageHeight_);
        settingsLock = true;
        SetSpinValue(Control(kWidthField), p_.width);
        SetSpinValue(Control(kHeightField), p_.height);
        SetSpinDefault(Control(kWidthField), p_.width);
        SetSpinDefault(Control(kHeightField), p_.height);
        settingsLock = false;
    }
    void ProjectionChanged() {
        InvalidateRect(window(), &connector_, FALSE);
        UpdateSize();
        EnableApplyPreview(true);
    }
    void UpdateControls() {
        SelectRadio(window(), kUserSizeRadio, kUpsampleRadio, kUserSizeRadio + p_.sizeMode);
        SelectRadio(window(), kFirstSourceRadio, kLastSourceRadio,
                    kFirstSourceRadio + p_.sourceProjection);
        SelectRadio(window(), kFirstTargetRadio, kLastTargetRadio,
                    kFirstTargetRadio + p_.targetProjection);
        const double angles[3] = {p_.angleX, p_.angleY, p_.angleZ};
        for (int axis = 0; axis < 3; ++axis)
            SetSpinValue(Control(kAngleXField + axis),
                         ControlValueOf(angles[axis], 0, kProjectionAngleMaximum));
        SetSpinValue(Control(kOversamplingField), p_.oversampling);
        SetColorButtonColor(Control(kBackgroundButton), p_.background.ToCOLORREF());
        ProjectionChanged();
    }
    void EnableControls(bool on) {
        const int ids[] = {kWidthField, kHeightField, kAngleXField, kAngleXField + 1, kAngleZField,
                           kBackgroundButton};
        for (int id : ids) EnableWindow(Control(id), on);
        if (oversampleAllowed_) EnableWindow(Control(kOversamplingField), on);
        for (int id = kUserSizeRadio; id <= kUpsampleRadio; ++id) EnableWindow(Control(id), on);
        for (int id = kFirstSourceRadio; id <= kLastSourceRadio; ++id) EnableWindow(Control(id), on);
        for (int id = kFirstTargetRadio; id <= kLastTargetRadio; ++id) EnableWindow(Control(id), on);
    }

    ILProjectionParams p_{};
    RECT connector_ = {126, 41, 157, 96}; // the line from source to target
    uint32_t imageWidth_ = 0, imageHeight_ = 0;
    bool grey_ = false, oversampleAllowed_ = false;
};

} // namespace

void Show3DProjectionDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<Projection3DDialog>(host, action), L"3D Projection", 298,
                        324))
        ReportOperationFailure(host.EditedDocument());
}
