#include "viewer/tool_dialogs/resample_dialog.h"

#include "imglib/ops/resample.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/paint_text.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/resample_settings.h"

namespace {

enum ResampleControl : int {
    kFirstFilterRadio = 1010, // 1010 + filter index
    kLastFilterRadio = 1016,
    kWidthField = 1021,
    kHeightField = 1022,
    kWidthPercentField = 1023,
    kHeightPercentField = 1024,
    kKeepAspectBox = 1039,
    kFirstPreset = 1040, // 25% ... 250%
    kLastPreset = 1047,
};

const WCHAR* const kPresetTexts[8] = {L"25%",  L"50%",  L"75%",  L"100%",
                                      L"125%", L"150%", L"200%", L"250%"};

class ResampleDialog final : public ToolDialog {
public:
    ResampleDialog(ToolDialogHost& host, const Action* action) : ToolDialog(host) {
        statusText = "Resample...";
        percentBar.Init(86, 228, 200);
        relayoutOnRefresh = true;
        const ILImage& image = document().image;
        ResampleBlock stored;
        if (action && action->type == ACTION_RESAMPLE && DecodeBlock(action->block, &stored))
            s_ = ResampleFromStored(stored, image.width, image.height);
        else
            s_ = ResampleDefaults(image.width, image.height, g_preferences.resampleFilter,
                                  g_preferences.resampleKeepAspect != 0);
        CopyCurrentImage();
        ready = true;
    }

private:
    void CreateControls(HWND window) override {
        CreateSpinField(window, kWidthField, 11, 30, 70, 1, kResampleSizeMaximum, s_.targetWidth);
        CreateSpinField(window, kHeightField, 93, 30, 70, 1, kResampleSizeMaximum,
                        s_.targetHeight);
        CreateSpinField(window, kWidthPercentField, 11, 60, 70, 0, kResamplePercentMaximum,
                        s_.widthPercent);
        CreateSpinField(window, kHeightPercentField, 93, 60, 70, 0, kResamplePercentMaximum,
                        s_.heightPercent);
        CreateCheckBox(window, kKeepAspectBox, L"keep aspect ratio", 10, 90, 112, s_.keepAspect);
        for (int i = 0; i < IL_RESAMPLE_FILTER_COUNT; ++i) {
            WCHAR name[16];
            MultiByteToWideChar(CP_UTF8, 0, ILResampleFilterNames[i], -1, name, 16);
            CreateRadioButton(window, kFirstFilterRadio + i, name, i < 4 ? 10 : 104,
                              141 + 17 * (i % 4), 80, i == s_.filter);
        }
        for (int k = 0; k < 8; ++k)
            CreatePushButton(window, kFirstPreset + k, kPresetTexts[k], 220, 30 + 23 * k, 60);
    }
    void OnSettingsChanged() override { EnableApplyPreview(ResampleApplyEnabled(s_)); }
    void PaintLabels(HDC context) override {
        RECT line = {202, 0, 203, controlsRect.bottom};
        FillRect(context, &line, g_styleBrushes.Highlight);
        line = {0, 112, 202, 113};
        FillRect(context, &line, g_styleBrushes.Highlight);
        PaintText(context, 219, 10, L"Quick select");
        PaintText(context, 167, 32, L"Pixel");
        PaintText(context, 167, 62, L"%");
        SelectTextStyle(context);
        PaintText(context, 11, 10, L"Width");
        PaintText(context, 95, 10, L"Height");
        PaintText(context, 10, 121, L"Filter");
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
        SetZoom(1.0);
        s_.keepAspect = true;
        SetButtonChecked(Control(kKeepAspectBox), true);
    }
    void OpenAction() override {
        Action chosen;
        ResampleBlock stored;
        if (!host().OpenNamedAction(window(), ACTION_RESAMPLE, &chosen) ||
            !DecodeBlock(chosen.block, &stored))
            return;
        s_ = ResampleFromStored(stored, static_cast<uint32_t>(s_.imageWidth),
                                static_cast<uint32_t>(s_.imageHeight));
        settingsLock = true;
        ShowFields();
        SelectRadio(window(), kFirstFilterRadio, kLastFilterRadio, kFirstFilterRadio + s_.filter);
        SetButtonChecked(Control(kKeepAspectBox), s_.keepAspect);
        settingsLock = false;
        OnSettingsChanged();
    }
    void SaveAction() override {
        Action action;
        if (MakeAction(ACTION_RESAMPLE, ResampleBlockOf(s_), &action))
            host().SaveNamedAction(window(), action);
    }
    ILResult Execute(ToolRun& run) override {
        const ILResult allocated =
            ILReallocImage(&run.result, static_cast<uint32_t>(s_.targetWidth),
                           static_cast<uint32_t>(s_.targetHeight), run.source->type, nullptr);
        if (allocated != IL_OK) return allocated;
        // The library reads the source only.
        return ILResampleInto(run.handle, const_cast<ILImage*>(run.source), &run.result,
                              s_.filter);
    }
    // The filter and the lock of the last apply are remembered with it.
    bool RecordAction(ActionList& history) override {
        g_preferences.resampleFilter = s_.filter;
        g_preferences.resampleKeepAspect = s_.keepAspect;
        return PushHistoryResample(history, ResampleBlockOf(s_));
    }
    INT_PTR OnCommand(WORD id, WORD code, LPARAM) override {
        if (id >= kWidthField && id <= kHeightPercentField) {
            if (settingsLock) return 1;
            const int32_t value = GetSpinValue(Control(id));
            switch (id) {
                case kWidthField:
                    ResampleWidthTyped(&s_, value);
                    break;
                case kHeightField:
                    ResampleHeightTyped(&s_, value);
                    break;
                case kWidthPercentField:
                    ResampleWidthPercentTyped(&s_, value);
                    break;
                default:
                    ResampleHeightPercentTyped(&s_, value);
                    break;
            }
            settingsLock = true;
            ShowChangedFields(id, value);
            settingsLock = false;
            OnSettingsChanged();
            return 1;
        }
        if (id == kKeepAspectBox) {
            if (IsButtonChecked(Control(kKeepAspectBox)) != s_.keepAspect)
                ResampleToggleKeepAspect(&s_);
            settingsLock = true;
            ShowChangedFields(0, 0);
            settingsLock = false;
            OnSettingsChanged();
            return 1;
        }
        if (id >= kFirstFilterRadio && id <= kLastFilterRadio) {
            if (code == ControlChanged &&
                SelectRadio(window(), kFirstFilterRadio, kLastFilterRadio, id)) {
                s_.filter = static_cast<uint8_t>(id - kFirstFilterRadio);
                OnSettingsChanged();
            }
            return 1;
        }
        if (id >= kFirstPreset && id <= kLastPreset) {
            SetZoom(kResamplePresets[id - kFirstPreset]);
            return 1;
        }
        return 0;
    }

    void SetZoom(double scale) {
        ResampleSetZoom(&s_, scale);
        settingsLock = true;
        ShowFields();
        settingsLock = false;
        EnableApplyPreview(scale != 1.0);
    }
    void ShowFields() {
        SetSpinValue(Control(kWidthField), s_.targetWidth);
        SetSpinValue(Control(kHeightField), s_.targetHeight);
        SetSpinValue(Control(kWidthPercentField), s_.widthPercent);
        SetSpinValue(Control(kHeightPercentField), s_.heightPercent);
    }
    // Rewrites the fields that do not show their value; the typed field only
    // when the settings took another value than the one typed, so that typing
    // is not disturbed.
    void ShowChangedFields(int typedId, int32_t typed) {
        const struct {
            int id;
            int32_t value;
        } fields[] = {{kWidthField, s_.targetWidth},
                      {kHeightField, s_.targetHeight},
                      {kWidthPercentField, s_.widthPercent},
                      {kHeightPercentField, s_.heightPercent}};
        for (const auto& f : fields) {
            const int32_t shown = f.id == typedId ? typed : GetSpinValue(Control(f.id));
            if (shown != f.value) SetSpinValue(Control(f.id), f.value);
        }
    }
    void EnableControls(bool on) {
        for (int id = kWidthField; id <= kHeightPercentField; ++id) EnableWindow(Control(id), on);
        EnableWindow(Control(kKeepAspectBox), on);
        for (int id = kFirstFilterRadio; id <= kLastFilterRadio; ++id) EnableWindow(Control(id), on);
        for (int id = kFirstPreset; id <= kLastPreset; ++id) EnableWindow(Control(id), on);
    }

    ResampleSettings s_;
};

} // namespace

void ShowResampleDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<ResampleDialog>(host, action), L"Resample", 298, 252))
        ReportOperationFailure(host.EditedDocument());
}
