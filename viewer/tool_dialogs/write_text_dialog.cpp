#include "viewer/tool_dialogs/write_text_dialog.h"

#include <cstring>
#include <string>

#include "viewer/actions/action_apply.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/label.h"
#include "viewer/controls/list_box.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/dialogs/font_dialog.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/platform/display_bitmap.h"
#include "viewer/platform/log_font.h"
#include "viewer/platform/window_utils.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/paint_text.h"
#include "viewer/tool_dialogs/tool_dialog.h"
#include "viewer/tool_settings/write_text_preview.h"
#include "viewer/tool_settings/write_text_settings.h"

// The edit's notifications when the user switches its reading order
// (Ctrl+Shift on the left or right).
#ifndef EN_ALIGN_LTR_EC
#define EN_ALIGN_LTR_EC 0x0700
#define EN_ALIGN_RTL_EC 0x0701
#endif

namespace {

enum WriteTextControl : int {
    kTextField = 1010,
    kAnchorLabel = 1011,
    kFontLabel = 1012,
    kEffectLabel = 1013,
    kFirstAlignRadio = 1020, // left, center, right
    kLastAlignRadio = 1022,
    kFirstOrientationRadio = 1025, // normal, 90, 180, 270 clockwise
    kLastOrientationRadio = 1028,
    kFirstAnchorButton = 1030, // + row x 3 + column
    kLastAnchorButton = 1038,
    kOffsetXField = 1040,
    kOffsetYField = 1041,
    kEffectField = 1045,
    kBlurField = 1046,
    kEffectXField = 1047,
    kEffectYField = 1048,
    kFontButton = 1050,
    kColorButton = 1051,
};

constexpr RECT kPreviewFrame = {258, 0, 662, 344};
constexpr int kFontLabelWidth = 120;

const WCHAR* const kAnchorNames[9] = {L"top-left",     L"top-center",    L"top-right",
                                      L"middle-left",  L"middle-center", L"middle-right",
                                      L"bottom-left",  L"bottom-center", L"bottom-right"};

bool IsGrey(const ILImage& image) {
    return ILPixelModel(image.type) == IL_MODEL_GRAY;
}

class WriteTextDialog final : public ToolDialog {
public:
    WriteTextDialog(ToolDialogHost& host, const Action* action) : ToolDialog(host) {
        statusText = "";
        const ILImage& image = document().image;
        if (!preview_.Init(image)) return;
        WriteTextBlock stored;
        if (action && action->type == ACTION_WRITE_TEXT && DecodeBlock(action->block, &stored)) {
            settings_ = WriteTextFromStored(stored);
            if (const char16_t* text = ActionText(*action)) text_ = text;
        } else {
            settings_ = g_preferences.writeTextSettings;
            ClampWriteText(settings_);
        }
        if (IsGrey(image)) settings_.textColor.MakeGray();
        preview_.Place(settings_.anchor);
        CopyCurrentImage();
        const ILImage& window = preview_.Pixels();
        ready = textDib_.Create(window.width, window.height, 24, window.data);
        if (ready) RenderPreview();
    }

private:
    void CreateControls(HWND window) override {
        const HWND edit = CreateMultiLineEdit(window, kTextField, 1, 1, 257, 92, false);
        SetWindowTextW(edit, reinterpret_cast<const WCHAR*>(text_.c_str()));
        CreatePushButton(window, kFontButton, L"Font...", 10, 102, 42);
        CreateColorButton(window, kColorButton, L"Color...", 178, 102, 68,
                          settings_.textColor.ToCOLORREF());
        CreateLabel(window, kFontLabel, L"", 56, 104, kFontLabelWidth, 0);
        const WCHAR* aligns[] = {L"left", L"center", L"right"};
        for (int i = 0; i < 3; ++i)
            CreateRadioButton(window, kFirstAlignRadio + i, aligns[i], 10, 151 + 16 * i, 60,
                              false);
        const WCHAR* orientations[] = {L"normal", L"90\u00b0 clockwise", L"180\u00b0",
                                       L"270\u00b0 clockwise"};
        for (int i = 0; i < 4; ++i)
            CreateRadioButton(window, kFirstOrientationRadio + i, orientations[i], 132,
                              151 + 16 * i, ChoiceWidth(window, orientations[i]), false);
        for (int i = 0; i < 9; ++i)
            CreateSquareButton(window, kFirstAnchorButton + i, 10 + 16 * (i % 3),
                               240 + 16 * (i / 3), false);
        CreateLabel(window, kAnchorLabel, L"", 54, 223, 72, 0);
        CreateSpinField(window, kOffsetXField, 142, 240, 62, -99999, 99999, 0);
        CreateSpinField(window, kOffsetYField, 142, 264, 62, -99999, 99999, 0);
        CreateSpinField(window, kEffectField, 10, 314, 44, -20, 20, 0);
        CreateSpinField(window, kBlurField, 80, 314, 36, 0, 9, 0);
        CreateSpinField(window, kEffectXField, 142, 314, 36, -9, 9, 0);
        CreateSpinField(window, kEffectYField, 198, 314, 36, -9, 9, 0);
        CreateLabel(window, kEffectLabel, L"", 10, 297, 60, 0);
        UpdateControls();
    }
    void OnSettingsChanged() override { EnableApplyPreview(!text_.empty()); }
    void PaintLabels(HDC context) override {
        DrawSeparator(context, 292);
        const struct {
            int x, y;
            const WCHAR* text;
        } labels[] = {{10, 132, L"Align lines:"}, {132, 132, L"Orientation:"},
                      {10, 223, L"Anchor:"},      {132, 223, L"Anchor offset:"},
                      {132, 241, L"x"},           {132, 265, L"y"},
                      {209, 241, L"pixel"},       {209, 265, L"pixel"},
                      {80, 297, L"Blur:"},        {132, 297, L"Effect offset:"},
                      {132, 315, L"x"},           {188, 315, L"y"}};
        for (const auto& l : labels) PaintText(context, l.x, l.y, l.text);
        PaintPreview(context);
    }
    // The frame around the preview in the Highlight colour, the preview
    // inside it.
    void PaintPreview(HDC context) {
        const WriteTextWindow& w = preview_.Geometry();
        const int saved = SaveDC(context);
        ExcludeClipRect(context, w.x, w.y, w.x + w.width, w.y + w.height);
        FillRect(context, &kPreviewFrame, g_styleBrushes.Highlight);
        RestoreDC(context, saved);
        textDib_.Draw(context, w.x, w.y);
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
        WriteTextReset(&settings_);
        UpdateControls();
    }
    void OpenAction() override {
        Action chosen;
        WriteTextBlock stored;
        if (!host().OpenNamedAction(window(), ACTION_WRITE_TEXT, &chosen) ||
            !DecodeBlock(chosen.block, &stored))
            return;
        settings_ = WriteTextFromStored(stored);
        if (IsGrey(document().image)) settings_.textColor.MakeGray();
        settingsLock = true;
        const char16_t* text = ActionText(chosen);
        SetWindowTextW(Control(kTextField), reinterpret_cast<const WCHAR*>(text ? text : u""));
        ReadText();
        settingsLock = false;
        UpdateControls();
    }
    void SaveAction() override {
        Action action;
        if (MakeAction(ACTION_WRITE_TEXT, Block(), &action))
            host().SaveNamedAction(window(), action);
    }
    ILResult Execute(ToolRun& run) override {
        const ILResult copied = ILAssignImage(&run.result, run.source);
        if (copied != IL_OK) return copied;
        const WriteTextParams params = WriteTextParamsOf(Block());
        return ILWriteText(run.handle, &run.result, &params, text_.c_str());
    }
    // The settings of the last apply, all but the text, are remembered.
    bool RecordAction(ActionList& history) override {
        g_preferences.writeTextSettings = settings_;
        return PushHistoryWriteText(history, Block());
    }
    INT_PTR OnCommand(WORD id, WORD code, LPARAM) override {
        switch (id) {
            case kTextField:
                if (code == EN_CHANGE) {
                    ReadText();
                } else if (code == EN_ALIGN_LTR_EC || code == EN_ALIGN_RTL_EC) {
                    settings_.alignment =
                        WriteTextReadingOrder(settings_.alignment, code == EN_ALIGN_RTL_EC);
                    RenderPreview();
                }
                return 1;
            case kFontButton: {
                LOGFONTA font = ToLogFont(settings_.font);
                if (ShowFontDialog(document(), font)) {
                    settings_.font = FromLogFont<FontRecord>(font);
                    ShowFontLabel();
                    RenderPreview();
                }
                return 1;
            }
            case kColorButton: {
                const ILImage& image = document().image;
                if (ShowColorChooser(document(), window(), L"Text Color",
                                     image.type | IL_EXTRA_ALPHA, settings_.textColor,
                                     image.palette)) {
                    SetColorButtonColor(Control(kColorButton), settings_.textColor.ToCOLORREF());
                    RenderPreview();
                }
                return 1;
            }
            case kOffsetXField:
            case kOffsetYField:
                if (!settingsLock) {
                    (id == kOffsetXField ? settings_.offsetX : settings_.offsetY) =
                        GetSpinValue(Control(id));
                    RenderPreview();
                }
                return 1;
            case kEffectField:
            case kBlurField:
            case kEffectXField:
            case kEffectYField:
                if (!settingsLock) ReadEffect();
                return 1;
            default:
                break;
        }
        if (id >= kFirstAlignRadio && id <= kLastAlignRadio) {
            SelectRadio(window(), kFirstAlignRadio, kLastAlignRadio, id);
            settings_.alignment = WriteTextAlignment(settings_.alignment, id - kFirstAlignRadio);
            RenderPreview();
            return 1;
        }
        if (id >= kFirstOrientationRadio && id <= kLastOrientationRadio) {
            SelectRadio(window(), kFirstOrientationRadio, kLastOrientationRadio, id);
            settings_.orientation = static_cast<uint8_t>(id - kFirstOrientationRadio);
            RenderPreview();
            return 1;
        }
        if (id >= kFirstAnchorButton && id <= kLastAnchorButton) {
            SelectRadio(window(), kFirstAnchorButton, kLastAnchorButton, id);
            settings_.anchor = static_cast<uint8_t>(id - kFirstAnchorButton);
            SetLabelText(Control(kAnchorLabel), kAnchorNames[settings_.anchor]);
            Reposition();
            return 1;
        }
        return 0;
    }

    WriteTextBlock Block() const {
        WriteTextBlock b = WriteTextBlockOf(settings_);
        b.text = text_;
        return b;
    }
    // The window follows the anchor; the preview is drawn again.
    void Reposition() {
        preview_.Place(settings_.anchor);
        if (!settingsLock) RenderPreview();
    }
    // The window out of the unedited image with the text on it; only the
    // preview is painted again.
    void RenderPreview() {
        const WriteTextParams params = WriteTextParamsOf(Block());
        preview_.Render(document().handle, unedited, params, text_.c_str());
        if (!window()) return;
        const WriteTextWindow& w = preview_.Geometry();
        const RECT area = {w.x, w.y, w.x + w.width, w.y + w.height};
        InvalidateRect(window(), &area, FALSE);
        OnSettingsChanged();
    }
    void ReadText() {
        const HWND edit = Control(kTextField);
        const int length = GetWindowTextLengthW(edit);
        std::u16string text(static_cast<size_t>(length) + 1, u'\0');
        const int read =
            GetWindowTextW(edit, reinterpret_cast<WCHAR*>(text.data()), length + 1);
        text.resize(static_cast<size_t>(read > 0 ? read : 0));
        text_ = std::move(text);
        if (!settingsLock) RenderPreview();
    }
    void ReadEffect() {
        const int32_t effect = GetSpinValue(Control(kEffectField));
        settings_.effect = WriteTextEffectFromField(effect);
        settings_.blur = static_cast<uint8_t>(GetSpinValue(Control(kBlurField)));
        settings_.effectX = static_cast<int8_t>(GetSpinValue(Control(kEffectXField)));
        settings_.effectY = static_cast<int8_t>(GetSpinValue(Control(kEffectYField)));
        ShowEffectLabel(effect);
        RenderPreview();
    }
    void ShowFontLabel() {
        const HDC context = GetDC(window());
        SelectObject(context, g_interfaceFonts.smallFont);
        const std::string label =
            FormatFontLabel(kFontLabelWidth, ToLogFont(settings_.font), context);
        ReleaseDC(window(), context);
        WCHAR wide[64];
        MultiByteToWideChar(CP_ACP, 0, label.c_str(), -1, wide, 64);
        SetLabelText(Control(kFontLabel), wide);
    }
    void ShowEffectLabel(int32_t field) {
        const char* label = WriteTextEffectLabel(field);
        WCHAR wide[16];
        MultiByteToWideChar(CP_UTF8, 0, label, -1, wide, 16);
        SetLabelText(Control(kEffectLabel), wide);
    }
    // Every control from the settings, then the window at the anchor.
    void UpdateControls() {
        const bool locked = settingsLock;
        settingsLock = true;
        ShowFontLabel();
        if (IsGrey(document().image)) settings_.textColor.MakeGray();
        SetColorButtonColor(Control(kColorButton), settings_.textColor.ToCOLORREF());
        SelectRadio(window(), kFirstAlignRadio, kLastAlignRadio,
                    kFirstAlignRadio + (settings_.alignment & 3));
        SelectRadio(window(), kFirstOrientationRadio, kLastOrientationRadio,
                    kFirstOrientationRadio + settings_.orientation);
        SelectRadio(window(), kFirstAnchorButton, kLastAnchorButton,
                    kFirstAnchorButton + settings_.anchor);
        SetLabelText(Control(kAnchorLabel), kAnchorNames[settings_.anchor]);
        SetSpinValue(Control(kOffsetXField), settings_.offsetX);
        SetSpinValue(Control(kOffsetYField), settings_.offsetY);
        const int32_t effect = WriteTextEffectField(settings_.effect);
        SetSpinValue(Control(kEffectField), effect);
        SetSpinValue(Control(kBlurField), settings_.blur);
        SetSpinValue(Control(kEffectXField), settings_.effectX);
        SetSpinValue(Control(kEffectYField), settings_.effectY);
        ShowEffectLabel(effect);
        settingsLock = locked;
        Reposition();
    }
    void EnableControls(bool on) {
        const int ids[] = {kTextField,    kFontButton,  kColorButton,  kOffsetXField,
                           kOffsetYField, kEffectField, kBlurField,    kEffectXField,
                           kEffectYField};
        for (int id : ids) EnableWindow(Control(id), on);
        for (int id = kFirstAlignRadio; id <= kLastAlignRadio; ++id) EnableWindow(Control(id), on);
        for (int id = kFirstOrientationRadio; id <= kLastOrientationRadio; ++id)
            EnableWindow(Control(id), on);
        for (int id = kFirstAnchorButton; id <= kLastAnchorButton; ++id)
            EnableWindow(Control(id), on);
    }

    WriteTextSettings settings_{};
    std::u16string text_;
    WriteTextPreview preview_;
    DibBuffer textDib_;
};

} // namespace

void ShowWriteTextDialog(ToolDialogHost& host, const Action* action) {
    const ILImage& image = host.EditedDocument().image;
    if (!image.data || image.bits < 8) return;
    if (!OpenToolDialog(std::make_unique<WriteTextDialog>(host, action), L"Write Text", 662, 376))
        ReportOperationFailure(host.EditedDocument());
}
