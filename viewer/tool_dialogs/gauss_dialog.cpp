#include "viewer/tool_dialogs/gauss_dialog.h"

#include <string>

#include "imglib/ops/gauss.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/tool_dialogs/paint_text.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/gauss_settings.h"

namespace {

enum GaussControl : int {
    kAmountSlider = 1010,
    kRadiusSlider = 1011,
    kGainSlider = 1012,
    kAmountLabel = 1015,
    kRadiusLabel = 1016,
    kGainLabel = 1017,
    kFirstOperationRadio = 1021, // sharpen, blur, bloom
    kLastOperationRadio = 1023,
    kAlphaBox = 1030,
    kRedBox = 1031,
    kGreenBox = 1032, // "gray channel" on grey images
    kBlueBox = 1033,
};
// The sliders' captions, which their values follow.
const WCHAR kAmountName[] = L"Filter:", kRadiusName[] = L"Radius:", kGainName[] = L"Gain:";

class GaussDialog final : public ToolDialog {
public:
    GaussDialog(ToolDialogHost& host, const Action* action) : ToolDialog(host) {
        statusText = "Apply filter...";
        percentBar.Init(86, 330, 200);
        const ILImage& image = document().image;
        grey_ = ILPixelModel(image.type) == IL_MODEL_GRAY;
        hasAlpha_ = ILHasAlpha(image.type);
        block_ = GaussDefaults();
        GaussBlock stored;
        if (action && action->type == ACTION_GAUSS_FILTER && DecodeBlock(action->block, &stored))
            block_ = GaussFromStored(stored, block_);
        CopyCurrentImage();
        ready = true;
    }

private:
    void CreateControls(HWND window) override {
        const WCHAR* operations[] = {L"sharpen", L"blur", L"bloom"};
        for (int i = 0; i < 3; ++i)
            CreateRadioButton(window, kFirstOperationRadio + i, operations[i], 10, 30 + 19 * i,
                              100, block_.operation == i + 1);
        if (grey_) {
            CreateCheckBox(window, kGreenBox, L"gray channel", 180, 30, 100, true);
        } else {
            CreateCheckBox(window, kRedBox, L"red channel", 180, 30, 100, true);
            CreateCheckBox(window, kGreenBox, L"green channel", 180, 49, 100, true);
            CreateCheckBox(window, kBlueBox, L"blue channel", 180, 68, 100, true);
        }
        if (hasAlpha_) CreateCheckBox(window, kAlphaBox, L"alpha channel", 180, 87, 100, false);
        // Each value a gap after its caption.
        CreateLabel(window, kAmountLabel, L"", ValueAfterName(window, 10, kAmountName), 136, 48, 0);
        CreateLabel(window, kRadiusLabel, L"", ValueAfterName(window, 115, kRadiusName), 136, 56,
                    0);
        CreateLabel(window, kGainLabel, L"", ValueAfterName(window, 220, kGainName), 136, 44, 0);
        CreateSlider(window, kAmountSlider, 11, 155, 156, 1, 100, GaussAmountSlider(block_.amount),
                     true);
        CreateSlider(window, kRadiusSlider, 116, 155, 156, 1, 100,
                     GaussRadiusSlider(block_.radius), true);
        CreateSlider(window, kGainSlider, 221, 155, 156, 0, 100, GaussGainSlider(block_.gain),
                     true);
        ShowValueLabels();
        EnableChannelBoxes(block_.operation != kGaussBloom);
    }
    void OnSettingsChanged() override {
        EnableApplyPreview(GaussApplyEnabled(Boxes(), grey_, hasAlpha_));
    }
    void PaintLabels(HDC context) override {
        DrawSeparator(context, 107);
        PaintText(context, 10, 136, kAmountName);
        PaintText(context, 115, 136, kRadiusName);
        PaintText(context, 220, 136, kGainName);
        DrawScaleTicks(context, 29, 160, 146, 11);
        DrawScaleTicks(context, 134, 160, 146, 11);
        DrawScaleTicks(context, 239, 160, 145, 11);
        const struct {
            int x, y;
            const WCHAR* text;
        } scales[] = {{41, 153, L"100%"}, {41, 226, L"50%"}, {41, 299, L"1%"},
                      {146, 153, L"100"}, {146, 226, L"50"}, {146, 299, L"1"},
                      {251, 153, L"1.0"}, {251, 226, L"0.5"}, {251, 299, L"0.0"}};
        for (const auto& s : scales) PaintText(context, s.x, s.y, s.text);
        SelectTextStyle(context);
        PaintText(context, 10, 10, L"Operation");
        PaintText(context, 10, 116, L"Settings");
    }
    // The check boxes are read here, on the user-interface thread, for the
    // worker's run.
    void BeginWork() override {
        ToolDialog::BeginWork();
        GaussRunChannels(Boxes(), grey_, hasAlpha_, channels_);
        EnableControls(false);
    }
    void EndWork() override {
        ToolDialog::EndWork();
        EnableControls(true);
    }
    void Reset() override {
        const GaussBlock defaults = GaussDefaults();
        block_.amount = defaults.amount;
        block_.radius = defaults.radius;
        block_.gain = defaults.gain;
        UpdateControls();
    }
    void OpenAction() override {
        Action chosen;
        GaussBlock stored;
        if (!host().OpenNamedAction(window(), ACTION_GAUSS_FILTER, &chosen) ||
            !DecodeBlock(chosen.block, &stored))
            return;
        block_ = GaussFromStored(stored, block_);
        UpdateControls();
    }
    void SaveAction() override {
        Action action;
        if (MakeAction(ACTION_GAUSS_FILTER, RecordedBlock(), &action))
            host().SaveNamedAction(window(), action);
    }
    ILResult Execute(ToolRun& run) override {
        const ILImage& source = *run.source;
        const ILResult allocated =
            ILReallocImage(&run.result, source.width, source.height, source.type, nullptr);
        if (allocated != IL_OK) return allocated;
        ILGaussParams p;
        ILGaussParamsInit(&p, block_.operation, block_.amount, block_.radius, block_.gain);
        ILGaussParamsSetChannels(&p, channels_[0], channels_[1], channels_[2], channels_[3]);
        // The library reads the source only.
        return ILGaussFilter(&p, run.handle, const_cast<ILImage*>(run.source), &run.result);
    }
    bool RecordAction(ActionList& history) override {
        return PushHistoryGaussFilter(history, RecordedBlock());
    }
    INT_PTR OnCommand(WORD id, WORD code, LPARAM lParam) override {
        switch (id) {
            case kAmountSlider:
            case kRadiusSlider:
            case kGainSlider:
                if (code == ControlChanged) {
                    const int32_t value = static_cast<int32_t>(lParam);
                    if (id == kAmountSlider) block_.amount = value / 100.0f;
                    if (id == kRadiusSlider) block_.radius = value;
                    if (id == kGainSlider) block_.gain = value / 100.0f;
                    ShowValueLabels();
                    OnSettingsChanged();
                }
                return 1;
            case kFirstOperationRadio:
            case kFirstOperationRadio + 1:
            case kLastOperationRadio:
                if (code == ControlChanged) SelectOperation(id - kFirstOperationRadio + 1);
                return 1;
            case kAlphaBox:
            case kRedBox:
            case kGreenBox:
            case kBlueBox:
                if (code == ControlChanged) OnSettingsChanged();
                return 1;
            default:
                return 0;
        }
    }

    GaussChannelBoxes Boxes() const {
        GaussChannelBoxes b;
        b.red = IsButtonChecked(Control(kRedBox));
        b.green = IsButtonChecked(Control(kGreenBox));
        b.blue = IsButtonChecked(Control(kBlueBox));
        b.alpha = IsButtonChecked(Control(kAlphaBox));
        return b;
    }
    GaussBlock RecordedBlock() const {
        GaussBlock b = block_;
        GaussRecordChannels(Boxes(), grey_, hasAlpha_, b.channels);
        return b;
    }
    void SelectOperation(int op) {
        if (!SelectRadio(window(), kFirstOperationRadio, kLastOperationRadio,
                         kFirstOperationRadio + op - 1))
            return;
        block_.operation = op;
        EnableChannelBoxes(op != kGaussBloom);
        OnSettingsChanged();
    }
    void EnableChannelBoxes(bool on) {
        for (int id = kAlphaBox; id <= kBlueBox; ++id)
            if (HWND box = Control(id)) EnableWindow(box, on);
    }
    void EnableControls(bool on) {
        for (int id = kAmountSlider; id <= kGainSlider; ++id) EnableWindow(Control(id), on);
        for (int id = kFirstOperationRadio; id <= kLastOperationRadio; ++id)
            EnableWindow(Control(id), on);
        EnableChannelBoxes(on && block_.operation != kGaussBloom);
    }
    void ShowValueLabels() {
        SetLabel(kAmountLabel, GaussAmountText(block_.amount));
        SetLabel(kRadiusLabel, GaussRadiusText(block_.radius));
        SetLabel(kGainLabel, GaussGainText(block_.gain));
    }
    void SetLabel(int id, const std::string& text) {
        WCHAR wide[32];
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, 32);
        SetLabelText(Control(id), wide);
    }
    void UpdateControls() {
        SetSliderValue(Control(kAmountSlider), GaussAmountSlider(block_.amount));
        SetSliderValue(Control(kRadiusSlider), GaussRadiusSlider(block_.radius));
        SetSliderValue(Control(kGainSlider), GaussGainSlider(block_.gain));
        ShowValueLabels();
        EnableApplyPreview(true);
        SelectOperation(block_.operation);
    }

    GaussBlock block_;
    uint8_t channels_[4] = {}; // of the running filter
    bool grey_ = false, hasAlpha_ = false;
};

} // namespace

void ShowGaussFilterDialog(ToolDialogHost& host, const Action* action) {
    const ILImage& image = host.EditedDocument().image;
    if (!image.data || ILPixelModel(image.type) == IL_MODEL_INDEXED || image.bits == 1) return;
    if (!OpenToolDialog(std::make_unique<GaussDialog>(host, action), L"Gauss Filter", 298, 354))
        ReportOperationFailure(host.EditedDocument());
}
