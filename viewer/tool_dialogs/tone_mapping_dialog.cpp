// "Tonemapping": six sliders over the library's tone-mapping model, with a
// live preview drawn on the small preview image at every step.
#include "viewer/tool_dialogs/tone_mapping_dialog.h"

#include <algorithm>
#include <memory>
#include <string>

#include "viewer/actions/action_types.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/filter_preview.h"
#include "viewer/logic/filter_results.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/tool_dialogs/preview_tool_dialog.h"
#include "viewer/tool_settings/tone_map_settings.h"

namespace {

constexpr int kFirstSlider = 1010; // exposure, black, exponent, chroma, hue, white point
constexpr WORD kSliderMoved = 0x1704;

struct SliderPlace {
    int x, y;   // the slider
    int labelY; // its name and value
};
constexpr SliderPlace kPlaces[kToneMapSliderCount] = {{11, 26, 7},   {96, 26, 7},   {181, 26, 7},
                                                      {11, 216, 197}, {96, 216, 197}, {181, 216, 197}};
// The right ends of the three columns of sliders, whose names and values
// stay inside (the last one short of the preview).
constexpr int kColumnRights[3] = {93, 178, 268};

class ToneMappingDialog : public PreviewToolDialog {
public:
    ToneMappingDialog(ToolDialogHost& host, const Action* action);

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
    HWND Slider(int k) const { return Control(kFirstSlider + k); }
    // A slider's value into the settings and the model, its label rewritten.
    void Take(int k, int32_t v);
    void DrawSliderLabels(HDC context, int only) const;
    // The labels, the preview and the buttons after the settings changed.
    void Redraw(int only);

    ToneMapSliders sliders_;
    ILToneMap toneMap_;
    std::string texts_[kToneMapSliderCount];
};

ToneMappingDialog::ToneMappingDialog(ToolDialogHost& host, const Action* action)
    : PreviewToolDialog(host) {
    statusText = "Mapping...";
    percentBar.Init(84, 392, 184);
    ToneMapBlock stored;
    if (action && action->type == ACTION_TONEMAPPING && action->block &&
        DecodeBlock(action->block, &stored))
        sliders_ = ToneMapSlidersOf(stored);
    for (int k = 0; k < kToneMapSliderCount; ++k)
        texts_[k] = ToneMapLabel(static_cast<ToneMapSlider>(k), sliders_.v[k]);
    ToneMapModelOf(ToneMapBlockOf(sliders_), &toneMap_);
    ready = BuildPreview();
    // An indexed image keeps its pixels: only its palette is filtered.
    if (ready && document().image.palette) CopyCurrentImage();
}

void ToneMappingDialog::CreateControls(HWND window) {
    for (int k = 0; k < kToneMapSliderCount; ++k) {
        const SliderRange range = kToneMapRanges[k];
        const HWND slider = CreateSlider(window, kFirstSlider + k, kPlaces[k].x, kPlaces[k].y,
                                         160, range.minimum, range.maximum, sliders_.v[k], true);
        if (k >= TONE_CHROMA && Gray()) EnableWindow(slider, FALSE);
    }
    RenderToneMapPreview(toneMap_, document().handle, previewSource, unedited.palette,
                         &previewImage);
    RenderPreviewDib();
    AddTipsToolTip(nullptr);
}

void ToneMappingDialog::OnSettingsChanged() {
    EnableApplyPreview(!ToneMapIsNeutral(sliders_));
}

// The names, each with its value a gap after it (all, or only one): a name
// moves left where its column is too narrow for both.
void ToneMappingDialog::DrawSliderLabels(HDC context, int only) const {
    static const char* const kNames[kToneMapSliderCount] = {"Exposure", "Black", "Exponent",
                                                           "Chroma",   "Hue",   "Whitepoint"};
    const int mode = SetBkMode(context, TRANSPARENT);
    for (int k = 0; k < kToneMapSliderCount; ++k) {
        if (only >= 0 && only != k) continue;
        const int x = kPlaces[k].x - 1, y = kPlaces[k].labelY, right = kColumnRights[k % 3];
        const int nameWidth = Text8Width(context, kNames[k]);
        const int nameX =
            std::min(x, right - Text8Width(context, texts_[k]) - kValueGap - nameWidth);
        const RECT line = {std::min(nameX, x), y, right, y + g_interfaceFonts.smallLineHeight};
        FillRect(context, &line, g_styleBrushes.Face);
        DrawText8(context, nameX, y, kNames[k]);
        DrawText8(context, nameX + nameWidth + kValueGap, y, texts_[k]);
    }
    SetBkMode(context, mode);
}

void ToneMappingDialog::PaintLabels(HDC context) {
    DrawPreview(context);
    DrawSliderLabels(context, -1);
    struct Ticks {
        int x, y, count;
    };
    static const Ticks kTicks[] = {{29, 31, 21},  {114, 31, 11},  {199, 31, 20},
                                   {29, 221, 21}, {114, 221, 13}, {199, 221, 13}};
    for (const Ticks& t : kTicks)
        DrawScaleTicks(context, t.x, t.y, 149, t.count);
    struct Scale {
        int x, y;
        const char* text;
    };
    static const Scale kScales[] = {
        {40, 24, "2.0"},          {40, 98, "1.0"},          {40, 173, "0.0"},
        {40, 214, "200%"},        {40, 288, "100%"},        {40, 363, "0%"},
        {125, 24, "0.5"},         {125, 98, "0.0"},         {125, 173, "-0.5"},
        {125, 214, "180\xB0"},    {125, 288, "0\xB0"},      {125, 363, "-180\xB0"},
        {210, 24, "4.0"},         {210, 63, "3.0"},         {210, 102, "2.0"},
        {210, 142, "1.0"},        {210, 173, "0.2"},        {210, 214, "9500\xB0"},
        {210, 288, "6500\xB0"},   {210, 363, "3500\xB0"}};
    for (const Scale& s : kScales)
        DrawText8(context, s.x, s.y, s.text);
}

void ToneMappingDialog::BeginWork() {
    PreviewToolDialog::BeginWork();
    for (int k = 0; k < kToneMapSliderCount; ++k)
        EnableWindow(Slider(k), FALSE);
}

void ToneMappingDialog::EndWork() {
    PreviewToolDialog::EndWork();
    for (int k = 0; k < kToneMapSliderCount; ++k)
        EnableWindow(Slider(k), k < TONE_CHROMA || !Gray());
}

void ToneMappingDialog::Take(int k, int32_t v) {
    sliders_.v[k] = v;
    texts_[k] = ToneMapLabel(static_cast<ToneMapSlider>(k), v);
}

void ToneMappingDialog::Redraw(int only) {
    ToneMapModelOf(ToneMapBlockOf(sliders_), &toneMap_);
    RenderToneMapPreview(toneMap_, document().handle, previewSource, unedited.palette,
                         &previewImage);
    RenderPreviewDib();
    HDC context = GetDC(window());
    SelectSmallTextStyle(context);
    DrawSliderLabels(context, only);
    DrawPreview(context);
    ReleaseDC(window(), context);
    OnSettingsChanged();
}

void ToneMappingDialog::Reset() {
    for (int k = 0; k < kToneMapSliderCount; ++k)
        Take(k, ResetSlider(Slider(k)));
    Redraw(-1);
}

void ToneMappingDialog::OpenAction() {
    Action chosen;
    ToneMapBlock stored;
    if (!host().OpenNamedAction(window(), ACTION_TONEMAPPING, &chosen) || !chosen.block ||
        !DecodeBlock(chosen.block, &stored))
        return;
    const ToneMapSliders values = ToneMapSlidersOf(stored);
    for (int k = 0; k < kToneMapSliderCount; ++k)
        Take(k, SetSliderValue(Slider(k), values.v[k]));
    Redraw(-1);
}

void ToneMappingDialog::SaveAction() {
    Action action;
    if (MakeAction(ACTION_TONEMAPPING, ToneMapBlockOf(sliders_), &action)) host().SaveNamedAction(window(), action);
}

ILResult ToneMappingDialog::Execute(ToolRun& run) {
    if (previewImage.palette) return PaletteResult(*run.source, *previewImage.palette, &run.result);
    const ILResult r = NewFilterTarget(*run.source, &run.result);
    if (r != IL_OK) return r;
    return ILToneMapApply(&toneMap_, run.handle, const_cast<ILImage*>(run.source), &run.result);
}

bool ToneMappingDialog::RecordAction(ActionList& history) {
    return PushHistoryToneMapping(history, ToneMapBlockOf(sliders_));
}

INT_PTR ToneMappingDialog::OnCommand(WORD id, WORD code, LPARAM lParam) {
    if (id < kFirstSlider || id >= kFirstSlider + kToneMapSliderCount) return 0;
    if (code == kSliderMoved && !settingsLock) {
        Take(id - kFirstSlider, static_cast<int32_t>(lParam));
        Redraw(id - kFirstSlider);
    }
    return 1;
}

} // namespace

void ShowToneMappingDialog(ToolDialogHost& host, const Action* action) {
    const ILImage& image = host.EditedDocument().image;
    if (!image.data || (ILPixelModel(image.type) == IL_MODEL_GRAY && image.bits == 1)) return;
    if (!OpenToolDialog(std::make_unique<ToneMappingDialog>(host, action), L"Tonemapping", 654,
                        416))
        ReportOperationFailure(host.EditedDocument());
}
