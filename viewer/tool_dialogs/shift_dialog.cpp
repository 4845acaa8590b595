#include "viewer/tool_dialogs/shift_dialog.h"

#include "imglib/ops/geometry.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/tool_dialogs/paint_text.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/shift_settings.h"

namespace {

enum ShiftControl : int {
    kHorizontalField = 1021,
    kVerticalField = 1022,
};

class ShiftDialog final : public ToolDialog {
public:
    ShiftDialog(ToolDialogHost& host, const Action* action) : ToolDialog(host) {
        statusText = "Shift...";
        const ILImage& image = document().image;
        imageWidth_ = image.width;
        imageHeight_ = image.height;
        ShiftBlock stored;
        if (action && action->type == ACTION_SHIFT && DecodeBlock(action->block, &stored))
            shift_ = ShiftFromStored(stored, imageWidth_, imageHeight_);
        CopyCurrentImage();
        ready = true;
    }

private:
    void CreateControls(HWND window) override {
        const ShiftFieldRange x = ShiftRangeFor(imageWidth_), y = ShiftRangeFor(imageHeight_);
        EnableWindow(CreateSpinField(window, kHorizontalField, 94, 30, 62, x.minimum, x.maximum,
                                     shift_.dx),
                     x.enabled);
        EnableWindow(CreateSpinField(window, kVerticalField, 94, 68, 62, y.minimum, y.maximum,
                                     shift_.dy),
                     y.enabled);
        InvalidateRect(window, nullptr, TRUE);
    }
    void OnSettingsChanged() override { EnableApplyPreview(ShiftApplyEnabled(shift_)); }
    void PaintLabels(HDC context) override {
        PaintText(context, 16, 31, L"horizontal:");
        PaintText(context, 16, 69, L"vertical:");
        PaintText(context, 170, 31, L"pixel");
        PaintText(context, 170, 69, L"pixel");
    }
    void Reset() override {
        shift_ = {};
        ShowShift();
    }
    void OpenAction() override {
        Action chosen;
        ShiftBlock stored;
        if (!host().OpenNamedAction(window(), ACTION_SHIFT, &chosen) ||
            !DecodeBlock(chosen.block, &stored))
            return;
        shift_ = ShiftFromStored(stored, imageWidth_, imageHeight_);
        ShowShift();
    }
    void SaveAction() override {
        Action action;
        if (MakeAction(ACTION_SHIFT, shift_, &action)) host().SaveNamedAction(window(), action);
    }
    ILResult Execute(ToolRun& run) override {
        // The library reads the source only.
        return ILShiftImage(const_cast<ILImage*>(run.source), &run.result, shift_.dx, shift_.dy);
    }
    bool RecordAction(ActionList& history) override { return PushHistoryShift(history, shift_); }
    INT_PTR OnCommand(WORD id, WORD, LPARAM) override {
        if (id != kHorizontalField && id != kVerticalField) return 0;
        if (!settingsLock) {
            (id == kHorizontalField ? shift_.dx : shift_.dy) = GetSpinValue(Control(id));
            OnSettingsChanged();
        }
        return 1;
    }

    // Both fields from shift_, without their notifications.
    void ShowShift() {
        settingsLock = true;
        SetSpinValue(Control(kHorizontalField), shift_.dx);
        SetSpinValue(Control(kVerticalField), shift_.dy);
        settingsLock = false;
        OnSettingsChanged();
    }

    uint32_t imageWidth_ = 0, imageHeight_ = 0;
    ShiftBlock shift_;
};

} // namespace

void ShowShiftDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<ShiftDialog>(host, action), L"Shift", 298, 148))
        ReportOperationFailure(host.EditedDocument());
}
