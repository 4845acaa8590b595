#include "viewer/tool_dialogs/expand_dialog.h"

#include <string>

#include "imglib/ops/geometry.h"
#include "viewer/actions/action_apply.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/control_values.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/tool_dialogs/paint_text.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/background_settings.h"
#include "viewer/tool_settings/expand_settings.h"

namespace {

enum ExpandControl : int {
    kAllSidesField = 1020, // then left, right, top, bottom
    kLeftField = 1021,
    kRightField = 1022,
    kTopField = 1023,
    kBottomField = 1024,
    kAllSidesRadio = 1025,
    kSpecifiedSidesRadio = 1026,
    kBackgroundButton = 1029,
    kSizeLabel = 1030,
};
// The painted name that the target size follows, at x 9.
const WCHAR kTargetName[] = L"Target image:";

bool IsGrey(const ILImage& image) {
    return ILPixelModel(image.type) == IL_MODEL_GRAY;
}

class ExpandDialog final : public ToolDialog {
public:
    ExpandDialog(ToolDialogHost& host, const Action* action) : ToolDialog(host) {
        statusText = "Expand...";
        relayoutOnRefresh = true;
        const ILImage& image = document().image;
        imageWidth_ = image.width;
        imageHeight_ = image.height;
        ExpandBlock stored;
        if (action && action->type == ACTION_EXPAND && DecodeBlock(action->block, &stored))
            TakeBlock(stored);
        else
            color_ = SharedBackground(g_preferences, IsGrey(image));
        MatchPalette();
        CopyCurrentImage();
        ready = true;
    }

private:
    void CreateControls(HWND window) override {
        // A little wider than their texts' nominal room, which the interface
        // font overruns.
        CreateRadioButton(window, kAllSidesRadio, L"all sides", 10, 12, 74, settings_.uniform);
        CreateRadioButton(window, kSpecifiedSidesRadio, L"specified sides", 96, 12, 110,
                          !settings_.uniform);
        const MarginsBlock& m = settings_.sides;
        CreateSpinField(window, kAllSidesField, 11, 88, 62, 0, kExpandBorderMaximum,
                        settings_.allSides);
        CreateSpinField(window, kTopField, 160, 50, 62, 0, kExpandBorderMaximum, m.top);
        CreateSpinField(window, kLeftField, 96, 88, 62, 0, kExpandBorderMaximum, m.left);
        CreateSpinField(window, kRightField, 224, 88, 62, 0, kExpandBorderMaximum, m.right);
        CreateSpinField(window, kBottomField, 160, 126, 62, 0, kExpandBorderMaximum, m.bottom);
        CreateColorButton(window, kBackgroundButton, L"Background", 191, 167, 97,
                          color_.ToCOLORREF());
        CreateLabel(window, kSizeLabel, L"", ValueAfterName(window, 9, kTargetName), 169, 104, 0);
        UpdateSize();
        SetMode(settings_.uniform);
    }
    void OnSettingsChanged() override { EnableApplyPreview(ExpandApplyEnabled(settings_)); }
    void PaintLabels(HDC context) override {
        RECT line = {85, 0, 86, 158};
        FillRect(context, &line, g_styleBrushes.Highlight);
        line = {0, 158, controlsRect.right, 159};
        FillRect(context, &line, g_styleBrushes.Highlight);
        const COLORREF on = g_styleColors.Text, off = g_styleColors.Shadow;
        SetTextColor(context, settings_.uniform ? on : off);
        PaintText(context, 10, 72, L"border");
        SetTextColor(context, settings_.uniform ? off : on);
        PaintText(context, 160, 33, L"top border");
        PaintText(context, 96, 71, L"left border");
        PaintText(context, 224, 71, L"right border");
        PaintText(context, 160, 109, L"bottom border");
        SetTextColor(context, on);
        PaintText(context, 9, 169, kTargetName);
    }
    void Reset() override {
        settingsLock = true;
        settings_ = ExpandSettings{};
        ShowWidths();
        SetMode(true);
        SelectRadio(window(), kAllSidesRadio, kSpecifiedSidesRadio, kAllSidesRadio);
        UpdateSize();
        settingsLock = false;
        OnSettingsChanged();
    }
    void OpenAction() override {
        Action chosen;
        ExpandBlock stored;
        if (!host().OpenNamedAction(window(), ACTION_EXPAND, &chosen) ||
            !DecodeBlock(chosen.block, &stored))
            return;
        TakeBlock(stored);
        MatchPalette();
        settingsLock = true;
        SetMode(settings_.uniform);
        SelectRadio(window(), kAllSidesRadio, kSpecifiedSidesRadio,
                    settings_.uniform ? kAllSidesRadio : kSpecifiedSidesRadio);
        ShowWidths();
        SetColorButtonColor(Control(kBackgroundButton), color_.ToCOLORREF());
        UpdateSize();
        settingsLock = false;
        OnSettingsChanged();
    }
    void SaveAction() override {
        Action action;
        if (MakeAction(ACTION_EXPAND, Block(), &action)) host().SaveNamedAction(window(), action);
    }
    ILResult Execute(ToolRun& run) override {
        CropRect r;
        if (!ExpandRectOf(ExpandMarginsOf(settings_), imageWidth_, imageHeight_, &r))
            return IL_BAD_ARGUMENT;
        // The library reads the source only.
        return ILCropImage(const_cast<ILImage*>(run.source), &run.result, r.x, r.y, r.width,
                           r.height, &color_);
    }
    bool RecordAction(ActionList& history) override {
        return PushHistoryExpand(history, Block());
    }
    INT_PTR OnCommand(WORD id, WORD code, LPARAM) override {
        switch (id) {
            case kAllSidesField:
            case kLeftField:
            case kRightField:
            case kTopField:
            case kBottomField:
                if (!settingsLock) {
                    MarginsBlock& m = settings_.sides;
                    int32_t* const widths[] = {&settings_.allSides, &m.left, &m.right, &m.top,
                                               &m.bottom};
                    *widths[id - kAllSidesField] = GetSpinValue(Control(id));
                    OnSettingsChanged();
                }
                UpdateSize();
                return 1;
            case kAllSidesRadio:
            case kSpecifiedSidesRadio:
                if (code == ControlChanged &&
                    SelectRadio(window(), kAllSidesRadio, kSpecifiedSidesRadio, id)) {
                    SetMode(id == kAllSidesRadio);
                    UpdateSize();
                    OnSettingsChanged();
                }
                return 1;
            case kBackgroundButton:
                ChooseBackground();
                return 1;
            default:
                return 0;
        }
    }

    // A stored block's borders and colour; a grey image takes the colour's
    // grey.
    void TakeBlock(const ExpandBlock& stored) {
        settings_ = ExpandFromStored(stored.margins);
        color_ = ControlColorOf(stored.color);
        if (IsGrey(document().image)) color_.MakeGray();
    }
    // An indexed image's borders take the nearest palette entry.
    void MatchPalette() {
        const ILImage& image = document().image;
        if (ILPixelModel(image.type) == IL_MODEL_INDEXED && image.palette)
            image.palette->FindNearest(&color_);
    }
    void ChooseBackground() {
        const ILImage& image = document().image;
        if (!ShowColorChooser(document(), window(), L"Background Color", image.type, color_,
                              image.palette))
            return;
        SetColorButtonColor(Control(kBackgroundButton), color_.ToCOLORREF());
        StoreSharedBackground(g_preferences, color_, IsGrey(image));
        OnSettingsChanged();
    }
    void SetMode(bool all) {
        settings_.uniform = all;
        EnableWindow(Control(kAllSidesField), all);
        for (int id = kLeftField; id <= kBottomField; ++id) EnableWindow(Control(id), !all);
        InvalidateRect(window(), nullptr, TRUE);
    }
    void ShowWidths() {
        const MarginsBlock& m = settings_.sides;
        SetSpinValue(Control(kAllSidesField), settings_.allSides);
        SetSpinValue(Control(kLeftField), m.left);
        SetSpinValue(Control(kRightField), m.right);
        SetSpinValue(Control(kTopField), m.top);
        SetSpinValue(Control(kBottomField), m.bottom);
    }
    void UpdateSize() {
        const std::string text = ExpandSizeText(settings_, imageWidth_, imageHeight_);
        WCHAR wide[64];
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, 64);
        SetLabelText(Control(kSizeLabel), wide);
    }
    ExpandBlock Block() const { return {ExpandMarginsOf(settings_), color_}; }

    uint32_t imageWidth_ = 0, imageHeight_ = 0;
    ExpandSettings settings_;
    ILColor color_;
};

} // namespace

void ShowExpandDialog(ToolDialogHost& host, const Action* action) {
    if (!host.EditedDocument().image.data) return;
    if (!OpenToolDialog(std::make_unique<ExpandDialog>(host, action), L"Expand", 298, 228))
        ReportOperationFailure(host.EditedDocument());
}
