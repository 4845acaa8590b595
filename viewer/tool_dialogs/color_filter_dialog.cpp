// "Color Filter": hue and strength of a tint for the lights and for the
// shadows, with a live preview drawn on the small preview image at every
// slider step, and a strip of the hues beside each hue slider.
#include "viewer/tool_dialogs/color_filter_dialog.h"

#include <memory>
#include <string>

#include "imglib/convert/srgb.h"
#include "viewer/actions/action_types.h"
#include "viewer/actions/history_push.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/filter_preview.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/logic/filter_results.h"
#include "viewer/tool_dialogs/preview_tool_dialog.h"
#include "viewer/tool_settings/color_filter_settings.h"

namespace {

enum ColorFilterControl : int {
    kLightHue = 1010,
    kLightStrength = 1011,
    kShadowHue = 1020,
    kShadowStrength = 1021,
};
constexpr WORD kSliderMoved = 0x1704;

class ColorFilterDialog : public PreviewToolDialog {
public:
    ColorFilterDialog(ToolDialogHost& host, const Action* action);

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

    bool FillStrips();
    void EnableSliders(bool on);
    // The settings from slider values; the library's tint follows.
    void Take(const ColorFilterSliders& values);
    void DrawValueLabels(HDC context) const;
    void Redraw();

    DibBuffer lightStrip_, shadowStrip_;
    ColorFilterSliders sliders_;
    ILColorFilterParams settings_;
};

ColorFilterDialog::ColorFilterDialog(ToolDialogHost& host, const Action* action)
    : PreviewToolDialog(host) {
    statusText = "Apply filter...";
    percentBar.Init(84, 392, 184);
    ColorFilterBlock stored;
    if (action && action->type == ACTION_COLOR_FILTER && action->block &&
        DecodeBlock(action->block, &stored))
        sliders_ = ColorFilterSlidersOf(stored);
    Take(sliders_);
    ready = FillStrips() && BuildPreview();
    // An indexed image keeps its pixels: only its palette is filtered.
    if (ready && document().image.palette) CopyCurrentImage();
}

// Row i: the hue 360 - 1.16 i degrees at chroma 95, lightness 85 for the
// lights and 57.5 for the shadows, as 8-bit sRGB.
bool ColorFilterDialog::FillStrips() {
    for (int light = 0; light < 2; ++light) {
        DibBuffer& strip = light ? lightStrip_ : shadowStrip_;
        if (!strip.Create(1, kHueStripRows, 24, nullptr)) return false;
        for (int32_t row = 0; row < kHueStripRows; ++row) {
            float lab[3], r, g, b;
            HueStripLab(row, light != 0, lab);
            ILLabToRgb(lab[0], lab[1], lab[2], &r, &g, &b);
            uint8_t* pixel = strip.pixels + row * strip.stride;
            pixel[0] = ILLinearToSrgb8(b);
            pixel[1] = ILLinearToSrgb8(g);
            pixel[2] = ILLinearToSrgb8(r);
        }
    }
    return true;
}

void ColorFilterDialog::Take(const ColorFilterSliders& values) {
    sliders_ = values;
    const ColorFilterBlock b = ColorFilterBlockOf(values);
    ILColorFilterInit(&settings_, b.lightHue, b.lightStrength, b.shadowHue, b.shadowStrength);
}

void ColorFilterDialog::CreateControls(HWND window) {
    CreateSlider(window, kLightHue, 31, 49, 320, 0, 360, sliders_.lightHue, true);
    CreateSlider(window, kLightStrength, 69, 49, 320, 0, 100, sliders_.lightStrength, true);
    CreateSlider(window, kShadowHue, 165, 49, 320, 0, 360, sliders_.shadowHue, true);
    CreateSlider(window, kShadowStrength, 203, 49, 320, 0, 100, sliders_.shadowStrength, true);
    RenderColorFilterPreview(settings_, document().handle, previewSource, unedited.palette,
                             &previewImage);
    RenderPreviewDib();
    AddTipsToolTip(nullptr);
}

void ColorFilterDialog::OnSettingsChanged() {
    EnableApplyPreview(ColorFilterApplyEnabled(sliders_));
}

void ColorFilterDialog::DrawValueLabels(HDC context) const {
    DrawValueText(context, 33, 30, 34, ColorFilterHueLabel(sliders_.lightHue));
    DrawValueText(context, 93, 30, 34, ColorFilterStrengthLabel(sliders_.lightStrength));
    DrawValueText(context, 167, 30, 34, ColorFilterHueLabel(sliders_.shadowHue));
    DrawValueText(context, 227, 30, 34, ColorFilterStrengthLabel(sliders_.shadowStrength));
}

void ColorFilterDialog::PaintLabels(HDC context) {
    DrawPreview(context);
    lightStrip_.DrawScaled(context, 11, 54, 16, kHueStripRows);
    shadowStrip_.DrawScaled(context, 145, 54, 16, kHueStripRows);
    DrawScaleTicks(context, 50, 54, 309, 9);
    DrawScaleTicks(context, 88, 54, 309, 11);
    DrawScaleTicks(context, 184, 54, 309, 9);
    DrawScaleTicks(context, 222, 54, 309, 11);
    struct Text {
        int x, y;
        const char* text;
    };
    static const Text kSmall[] = {{11, 30, "Hue"},   {67, 30, "Filter"},  {145, 30, "Hue"},
                                  {201, 30, "Filter"}, {96, 47, "100%"},   {96, 201, "50%"},
                                  {96, 356, "0%"},     {230, 47, "100%"},  {230, 201, "50%"},
                                  {230, 356, "0%"}};
    for (const Text& t : kSmall)
        DrawText8(context, t.x, t.y, t.text);
    DrawValueLabels(context);
    SelectTextStyle(context);
    DrawText8(context, 11, 7, "Light");
    DrawText8(context, 145, 7, "Shadow");
    SelectSmallTextStyle(context);
}

void ColorFilterDialog::EnableSliders(bool on) {
    for (int id : {kLightHue, kLightStrength, kShadowHue, kShadowStrength})
        EnableWindow(Control(id), on);
}

void ColorFilterDialog::BeginWork() {
    PreviewToolDialog::BeginWork();
    EnableSliders(false);
}

void ColorFilterDialog::EndWork() {
    PreviewToolDialog::EndWork();
    EnableSliders(true);
}

void ColorFilterDialog::Redraw() {
    RenderColorFilterPreview(settings_, document().handle, previewSource, unedited.palette,
                             &previewImage);
    RenderPreviewDib();
    HDC context = GetDC(window());
    SelectSmallTextStyle(context);
    DrawValueLabels(context);
    DrawPreview(context);
    ReleaseDC(window(), context);
    OnSettingsChanged();
}

void ColorFilterDialog::Reset() {
    const ColorFilterSliders defaults;
    SetSliderValue(Control(kLightHue), defaults.lightHue);
    SetSliderValue(Control(kLightStrength), defaults.lightStrength);
    SetSliderValue(Control(kShadowHue), defaults.shadowHue);
    SetSliderValue(Control(kShadowStrength), defaults.shadowStrength);
    Take(defaults);
    Redraw();
}

void ColorFilterDialog::OpenAction() {
    Action chosen;
    ColorFilterBlock stored;
    if (!host().OpenNamedAction(window(), ACTION_COLOR_FILTER, &chosen) || !chosen.block ||
        !DecodeBlock(chosen.block, &stored))
        return;
    const ColorFilterSliders values = ColorFilterSlidersOf(stored);
    Take({SetSliderValue(Control(kLightHue), values.lightHue),
          SetSliderValue(Control(kLightStrength), values.lightStrength),
          SetSliderValue(Control(kShadowHue), values.shadowHue),
          SetSliderValue(Control(kShadowStrength), values.shadowStrength)});
    Redraw();
}

void ColorFilterDialog::SaveAction() {
    Action action;
    if (MakeAction(ACTION_COLOR_FILTER, ColorFilterBlockOf(sliders_), &action)) host().SaveNamedAction(window(), action);
}

ILResult ColorFilterDialog::Execute(ToolRun& run) {
    if (previewImage.palette) return PaletteResult(*run.source, *previewImage.palette, &run.result);
    const ILResult r = NewFilterTarget(*run.source, &run.result);
    if (r != IL_OK) return r;
    return ILColorFilter(&settings_, run.handle, const_cast<ILImage*>(run.source), &run.result);
}

bool ColorFilterDialog::RecordAction(ActionList& history) {
    return PushHistoryColorFilter(history, ColorFilterBlockOf(sliders_));
}

INT_PTR ColorFilterDialog::OnCommand(WORD id, WORD code, LPARAM lParam) {
    if (id != kLightHue && id != kLightStrength && id != kShadowHue && id != kShadowStrength)
        return 0;
    if (code == kSliderMoved && !settingsLock) {
        ColorFilterSliders values = sliders_;
        const auto v = static_cast<int32_t>(lParam);
        switch (id) {
            case kLightHue:
                values.lightHue = v;
                break;
            case kLightStrength:
                values.lightStrength = v;
                break;
            case kShadowHue:
                values.shadowHue = v;
                break;
            default:
                values.shadowStrength = v;
                break;
        }
        Take(values);
        Redraw();
    }
    return 1;
}

} // namespace

void ShowColorFilterDialog(ToolDialogHost& host, const Action* action) {
    const ILImage& image = host.EditedDocument().image;
    if (!image.data || ILPixelModel(image.type) == IL_MODEL_GRAY) return;
    if (!OpenToolDialog(std::make_unique<ColorFilterDialog>(host, action), L"Color Filter", 654,
                        416))
        ReportOperationFailure(host.EditedDocument());
}
