#include "viewer/tool_dialogs/alpha_dialog.h"

#include <algorithm>
#include <memory>

#include "imglib/ops/alpha.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/alpha_settings.h"

namespace {

enum : int {
    kOpacityField = 1010,
    kBorderField = 1011,
    kRectangular = 1020,
    kCircular = 1021,
};

class AlphaChannelDialog : public ToolDialog {
public:
    explicit AlphaChannelDialog(ToolDialogHost& host) : ToolDialog(host) {
        statusText = "Working...";
        percentBar.Init(90, 162, 188);
        const ILImage& image = document().image;
        maxBorder_ = AlphaMaxBorder(image.width, image.height);
        settings_.border = std::min(settings_.border, maxBorder_);
        CopyCurrentImage();
        ready = true;
    }

    void CreateControls(HWND window) override {
        CreateSpinField(window, kOpacityField, 60, 13, 64, 0, 100,
                        AlphaOpacityField(settings_.opacity));
        CreateSpinField(window, kBorderField, 60, 43, 64, 0, maxBorder_, settings_.border);
        CreateRadioButton(window, kRectangular, L"rectangular", 10, 100, 90, settings_.shape == 1);
        CreateRadioButton(window, kCircular, L"circular", 10, 120, 90, settings_.shape == 2);
    }

    void OnSettingsChanged() override { EnableApplyPreview(true); }

    void PaintLabels(HDC context) override {
        SelectTextStyle(context);
        const struct {
            int x, y;
            const char* text;
        } labels[] = {{10, 16, "Opacity"}, {10, 44, "Border"}, {136, 20, "%"},
                      {136, 50, "pixel"},  {10, 78, "Shape"}};
        for (const auto& label : labels)
            TextOutA(context, label.x, label.y, label.text, lstrlenA(label.text));
        SelectSmallTextStyle(context);
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
        settings_ = AlphaSettings{};
        UpdateControls();
    }

    // Stored actions of the other alpha kinds leave the settings alone.
    void OpenAction() override {
        Action action;
        if (!host().OpenNamedAction(window(), ACTION_ALPHA_CHANNEL, &action) || !action.block)
            return;
        AlphaBlock block;
        if (DecodeBlock(action.block, &block) &&
            AlphaSettingsFromBlock(block, maxBorder_, &settings_))
            UpdateControls();
    }

    void SaveAction() override {
        uint8_t bytes[kAlphaBytes] = {};
        EncodeBlock(AlphaBlockOf(settings_), bytes);
        Action action;
        if (action.Set(ACTION_ALPHA_CHANNEL, bytes)) host().SaveNamedAction(window(), action);
    }

    // Preview and apply make the same image: the unedited one with alpha.
    ILResult Execute(ToolRun& run) override {
        return ILAddAlphaPreview(run.handle, run.source, &run.result, settings_.opacity,
                                 settings_.border, settings_.shape);
    }

    bool RecordAction(ActionList& history) override {
        return PushHistoryAlphaChannel(history, AlphaBlockOf(settings_));
    }

    INT_PTR OnCommand(WORD id, WORD code, LPARAM) override {
        switch (id) {
            case kOpacityField:
                settings_.opacity = AlphaOpacityFromField(GetSpinValue(Control(id)));
                OnSettingsChanged();
                return 1;
            case kBorderField:
                settings_.border = ClampBorder(GetSpinValue(Control(id)));
                OnSettingsChanged();
                return 1;
            case kRectangular:
            case kCircular:
                if (code == ControlChanged && SelectRadio(window(), kRectangular, kCircular, id)) {
                    settings_.shape = id - kRectangular + 1;
                    OnSettingsChanged();
                }
                return 1;
            default:
                return 0;
        }
    }

private:
    int32_t ClampBorder(int32_t border) const {
        return border < 0 ? 0 : std::min(border, maxBorder_);
    }

    void EnableControls(bool enable) {
        for (int id : {kOpacityField, kBorderField, kRectangular, kCircular})
            EnableWindow(Control(id), enable ? TRUE : FALSE);
    }

    void UpdateControls() {
        if (settingsLock) return;
        SetSpinValue(Control(kOpacityField), AlphaOpacityField(settings_.opacity));
        SetSpinValue(Control(kBorderField), settings_.border);
        SelectRadio(window(), kRectangular, kCircular, kRectangular + settings_.shape - 1);
    }

    AlphaSettings settings_;
    int32_t maxBorder_ = 0;
};

} // namespace

void ShowAlphaChannelDialog(ToolDialogHost& host) {
    Document& document = host.EditedDocument();
    if (!document.image.data) return;
    if (!OpenToolDialog(std::make_unique<AlphaChannelDialog>(host), L"Add Alpha channel", 294, 186))
        ReportOperationFailure(document);
}
