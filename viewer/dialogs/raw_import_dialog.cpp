#include "viewer/dialogs/raw_import_dialog.h"

#include <algorithm>

#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/logic/import_options.h"
#include "viewer/settings/preferences_file.h"

namespace {

constexpr int kFirstMode = 1210; // 8 bit, 16 bit, half, float
constexpr int kLastMode = 1213;
constexpr int kFirstInterpolation = 1220; // bilinear, PPG, AHD
constexpr int kLastInterpolation = 1222;
constexpr int kThresholdSlider = 1230;
constexpr int kWidth = 218;

constexpr WCHAR kThresholdLabel[] = L"Wavelet threshold:";

// At x 105, or after the label where the font draws it wider.
void DrawThresholdValue(HDC dc, int32_t value) {
    SelectSmallTextStyle(dc);
    SIZE label = {};
    GetTextExtentPoint32W(dc, kThresholdLabel, lstrlenW(kThresholdLabel), &label);
    SetBkMode(dc, OPAQUE);
    const std::string text = ThresholdText(value);
    TextOutA(dc, std::max<int>(105, 10 + label.cx + 4), 224, text.c_str(),
             static_cast<int>(text.size()));
}

// 26 ticks under the slider, one for every 100 of the threshold.
void DrawThresholdTicks(HDC dc) {
    for (int i = 0; i <= 25; ++i) {
        const int x = 16 + MulDiv(i, 189, 25);
        MoveToEx(dc, x, 242, nullptr);
        LineTo(dc, x, 246);
    }
}

class RawImportDialog : public OptionDialog {
    void CreateControls(HWND window) override {
        const ILRAWImportOptions& options = g_preferences.rawImportOptions;
        CreateRadioGroup(window, kFirstMode, kSampleKindTexts, 4, 10, 25, 190,
                         SampleKindIndex(options.sampleKind));
        const WCHAR* filters[] = {L"Bilinear", L"PPG Filter", L"AHD Filter"};
        CreateRadioGroup(window, kFirstInterpolation, filters, 3, 10, 135, 190,
                         InterpolationIndex(options.interpolation));
        CreateSlider(window, kThresholdSlider, 10, 250, 200, 0, 250,
                     ThresholdSliderValue(options.waveletThreshold), false);
    }
    void Paint(HDC dc) override {
        DrawSectionHeader(dc, kWidth, 0, L"Image Mode");
        DrawSectionHeader(dc, kWidth, 110, L"Interpolation");
        DrawSectionHeader(dc, kWidth, 200, L"Noise Reduction");
        SelectSmallTextStyle(dc);
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 10, 224, kThresholdLabel, lstrlenW(kThresholdLabel));
        DrawThresholdValue(dc, GetSliderValue(GetDlgItem(dialog.window, kThresholdSlider)));
        DrawThresholdTicks(dc);
    }
    void OnCommand(int id, int code, LPARAM lParam) override {
        const HWND window = dialog.window;
        if (id == kThresholdSlider && code == ControlChanged) {
            const HDC dc = GetDC(window);
            DrawThresholdValue(dc, static_cast<int32_t>(lParam));
            ReleaseDC(window, dc);
            return;
        }
        SelectInGroup(window, id, kFirstMode, kLastMode) ||
            SelectInGroup(window, id, kFirstInterpolation, kLastInterpolation);
    }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        ILRAWImportOptions& options = g_preferences.rawImportOptions;
        options.sampleKind = SampleKindOfIndex(GetCheckedRadio(window, kFirstMode, kLastMode));
        options.interpolation =
            static_cast<uint32_t>(GetCheckedRadio(window, kFirstInterpolation, kLastInterpolation));
        options.waveletThreshold =
            static_cast<float>(GetSliderValue(GetDlgItem(window, kThresholdSlider)) * 10);
        ILSetRAWImportOptions(state->handle, &options);
        return 0;
    }
};

} // namespace

void ShowRawImportDialog(Document& state) {
    RawImportDialog().Run(state, L"Digital Camera RAW Import", kWidth, 306, 2);
}
