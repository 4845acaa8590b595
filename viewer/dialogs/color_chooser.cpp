#include "viewer/dialogs/color_chooser.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/simple_dialog.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/color_chooser_rules.h"
#include "viewer/logic/dib_render.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

enum ChooserControl : int {
    kRedSlider = 1101,
    kGreenSlider = 1102, // also the grey slider
    kBlueSlider = 1103,
    kAlphaSlider = 1104,
};

constexpr int kWidth = 462;
constexpr int kHeight = 290;
constexpr int kSliderLength = 164;
constexpr int kFieldSize = 256;
constexpr int kScaleTextX = 110;

struct ColorChooser {
    SimpleDialog dialog;
    RECT fieldRect = {kWidth - 258, 0, kWidth, 258};
    RECT swatchRect = {10, 230, 192, 248};
    ChooserForm form;
    const ILPalette* palette = nullptr;    // the image's, or ownPalette
    std::unique_ptr<ILPalette> ownPalette; // a grey ramp made here
    DibBuffer fieldBitmap;                 // hue/value field or grey ramp, 24 bits
    ILColor color;
};

void FillField(DibBuffer& bitmap, bool grayRamp) {
    for (int y = 0; y < kFieldSize; ++y) {
        uint8_t* row = bitmap.pixels + y * bitmap.stride;
        for (int x = 0; x < kFieldSize; ++x) {
            ILColor c;
            if (grayRamp)
                c.SetGray(static_cast<float>(y * kFieldSize + x) / 65535.0f);
            else
                HueValueColor(x, y, &c);
            c.ToBGR8(row + 3 * x);
        }
    }
}

// False when memory runs out.
bool Build(ColorChooser& chooser, ILPixelType type, const ILPalette* palette) {
    chooser.form = ChooserFormOf(type);
    const ChooserForm& form = chooser.form;
    if (form.mode == CHOOSER_COLOR || form.grayRamp) {
        if (!chooser.fieldBitmap.Create(kFieldSize, kFieldSize, 24, nullptr)) return false;
        FillField(chooser.fieldBitmap, form.grayRamp);
    }
    if (!ChooserShowsGrid(form)) return true;
    if (form.mode == CHOOSER_GRID && palette && palette->count > 0) {
        chooser.palette = palette;
        if (chooser.color.index < 0 || static_cast<uint32_t>(chooser.color.index) >= palette->count)
            palette->FindNearest(&chooser.color);
        return true;
    }
    chooser.ownPalette = std::make_unique<ILPalette>(static_cast<uint32_t>(form.cellCount));
    if (chooser.ownPalette->count == 0 || !chooser.ownPalette->MakeGrayRamp()) return false;
    chooser.palette = chooser.ownPalette.get();
    return true;
}

void SetSliders(const ColorChooser& chooser) {
    const HWND window = chooser.dialog.window;
    SetSliderValue(GetDlgItem(window, kRedSlider), ComponentToSlider(chooser.color.r));
    SetSliderValue(GetDlgItem(window, kGreenSlider), ComponentToSlider(chooser.color.g));
    SetSliderValue(GetDlgItem(window, kBlueSlider), ComponentToSlider(chooser.color.b));
}

void CreateControls(ColorChooser& chooser, HWND window) {
    const ChooserForm& form = chooser.form;
    if (form.mode == CHOOSER_GRID) return;
    const ILColor& c = chooser.color;
    auto slider = [&](int id, int x, float component) {
        CreateSlider(window, id, x, 25, kSliderLength, 0, kSliderScale,
                     ComponentToSlider(component), true);
    };
    if (form.mode == CHOOSER_COLOR) {
        slider(kRedSlider, 11, c.r);
        slider(kGreenSlider, 43, c.g);
        slider(kBlueSlider, 75, c.b);
    } else {
        slider(kGreenSlider, 43, c.g);
    }
    slider(kAlphaSlider, 143, c.a);
    if (form.extraChannel < IL_EXTRA_ALPHA) {
        const HWND alpha = GetDlgItem(window, kAlphaSlider);
        SetSliderValue(alpha, kSliderScale);
        EnableWindow(alpha, FALSE);
    }
}

void DrawText8(HDC dc, int x, int y, const std::string& text) {
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// An image's palette may hold fewer entries than the grid has cells: those
// cells show black and are never read from the palette.
ILColor CellColor(const ILPalette& palette, int32_t cell) {
    ILColor color;
    color.SetBlack();
    if (cell >= 0 && static_cast<uint32_t>(cell) < palette.count)
        palette.GetColor(static_cast<uint32_t>(cell), &color);
    return color;
}

void DrawGrid(const ColorChooser& chooser, HDC dc) {
    const GridShape shape = GridShapeOf(chooser.form.cellCount);
    for (int i = 0; i < chooser.form.cellCount; ++i) {
        const ILColor entry = CellColor(*chooser.palette, i);
        const int left = chooser.fieldRect.left + 1 + (i % shape.columns) * shape.cellWidth;
        const int top = chooser.fieldRect.top + 1 + (i / shape.columns) * shape.cellHeight;
        const RECT cell = {left, top, left + shape.cellWidth, top + shape.cellHeight};
        SetBkColor(dc, entry.ToCOLORREF());
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &cell, nullptr, 0, nullptr);
    }
}

void DrawValues(const ColorChooser& chooser, HDC dc) {
    SelectSmallTextStyle(dc);
    const HBRUSH swatch = CreateSolidBrush(chooser.color.ToCOLORREF());
    RECT inside = chooser.swatchRect;
    InflateRect(&inside, -1, -1);
    FillRect(dc, &inside, swatch);
    DeleteObject(swatch);
    const bool gray = chooser.form.mode == CHOOSER_GRAY;
    SetBkMode(dc, OPAQUE);
    DrawText8(dc, 54, 198, ChooserSrgbText(chooser.color, gray));
    DrawText8(dc, 54, 214, ChooserLinearText(chooser.color, gray));
    char text[32];
    if (chooser.form.mode == CHOOSER_GRID) {
        wsprintfA(text, "%-11d", chooser.color.index);
        DrawText8(dc, 54, 180, text);
    }
    if (ChooserHasAlpha(chooser.form)) {
        std::snprintf(text, sizeof text, "%.4f ", static_cast<double>(chooser.color.a));
        DrawText8(dc, 163, 9, std::string(text).substr(0, 7));
    }
}

void Paint(const ColorChooser& chooser, HDC dc) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(chooser.dialog, dc, true);
    FrameRect(dc, &chooser.swatchRect, g_styleBrushes.Text);
    FillRect(dc, &chooser.fieldRect, g_styleBrushes.Highlight);
    const ChooserForm& form = chooser.form;
    const bool gray = form.mode == CHOOSER_GRAY;
    SetBkMode(dc, TRANSPARENT);
    DrawText8(dc, 10, 198, gray ? "sGray:" : "sRGB:");
    DrawText8(dc, 10, 214, gray ? "scGray:" : "scRGB:");
    const int fieldX = chooser.fieldRect.left + 1;
    const int fieldY = chooser.fieldRect.top + 1;
    if (form.mode == CHOOSER_GRID) {
        DrawGrid(chooser, dc);
        DrawText8(dc, 10, 180, "index:");
    } else {
        if (form.mode == CHOOSER_COLOR) {
            for (int x : {29, 61, 93})
                DrawScaleTicks(dc, x, 30, 153, 11);
            DrawText8(dc, 10, 9, "red");
            DrawText8(dc, 37, 9, "green");
            DrawText8(dc, 73, 9, "blue");
            chooser.fieldBitmap.Draw(dc, fieldX, fieldY);
        } else {
            DrawScaleTicks(dc, 61, 30, 153, 11);
            if (form.grayRamp)
                chooser.fieldBitmap.Draw(dc, fieldX, fieldY);
            else
                DrawGrid(chooser, dc);
            DrawText8(dc, 40, 9, "gray");
        }
        // The scale's numbers stand in the gap before the alpha slider: at
        // the left edge the first slider would cover them.
        DrawText8(dc, kScaleTextX, 24, "1.0");
        DrawText8(dc, kScaleTextX, 100, "0.5");
        DrawText8(dc, kScaleTextX, 177, "0.0");
        if (!ChooserHasAlpha(form)) SetTextColor(dc, g_styleColors.Shadow);
        DrawText8(dc, 125, 9, ChooserHasAlpha(form) ? "opaque" : "opaque 1.0");
        SetTextColor(dc, g_styleColors.Text);
        DrawScaleTicks(dc, 161, 30, 153, 11);
    }
    DrawValues(chooser, dc);
    RestoreSimpleDialogPen(dc, pen);
}

void RedrawValues(const ColorChooser& chooser) {
    const HDC dc = GetDC(chooser.dialog.window);
    const int saved = SaveDC(dc);
    DrawValues(chooser, dc);
    RestoreDC(dc, saved);
    ReleaseDC(chooser.dialog.window, dc);
}

void OnSliderChanged(ColorChooser& chooser, int id, LPARAM value) {
    const float v = static_cast<float>(value) / kSliderScale;
    ILColor& c = chooser.color;
    switch (id) {
        case kRedSlider:
            c.r = v;
            break;
        case kGreenSlider:
            if (chooser.form.mode == CHOOSER_GRAY)
                c.SetGray(v);
            else
                c.g = v;
            break;
        case kBlueSlider:
            c.b = v;
            break;
        case kAlphaSlider:
            c.a = v;
            break;
        default:
            return;
    }
    c.index = -1;
    RedrawValues(chooser);
}

void OnFieldClick(ColorChooser& chooser, int x, int y) {
    const RECT& field = chooser.fieldRect;
    if (x < field.left || x >= field.right || y < field.top || y >= field.bottom) return;
    const int dx = x - field.left;
    const int dy = y - field.top;
    const ChooserForm& form = chooser.form;
    ILColor& c = chooser.color;
    if (ChooserShowsGrid(form)) {
        const int32_t last = static_cast<int32_t>(chooser.palette->count) - 1;
        const int32_t cell = std::min(GridCellAt(form.cellCount, dx, dy), last);
        const float alpha = c.a;
        c = CellColor(*chooser.palette, cell);
        c.a = alpha;
        c.index = cell;
        if (form.mode == CHOOSER_GRAY)
            SetSliderValue(GetDlgItem(chooser.dialog.window, kGreenSlider), ComponentToSlider(c.g));
    } else {
        const int px = dx - 1;
        const int py = dy - 1;
        if (px < 0 || px >= kFieldSize || py < 0 || py >= kFieldSize) return;
        const float alpha = c.a;
        if (form.grayRamp)
            c.SetGray(static_cast<float>(py * kFieldSize + px) / 65535.0f);
        else
            HueValueColor(px, py, &c);
        c.a = alpha;
        c.index = -1;
        SetSliders(chooser);
    }
    RedrawValues(chooser);
}

void OnInitDialog(ColorChooser& chooser, HWND window) {
    BeginSimpleDialog(chooser.dialog, window);
    CreateControls(chooser, window);
    EndSimpleDialogSetup(chooser.dialog);
}

INT_PTR ColorChooserMessage(ColorChooser& chooser, HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(chooser, window);
            return TRUE;
        case WM_ERASEBKGND:
            Paint(chooser, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_LBUTTONDOWN:
            OnFieldClick(chooser, static_cast<short>(LOWORD(lParam)),
                         static_cast<short>(HIWORD(lParam)));
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == ControlChanged) OnSliderChanged(chooser, LOWORD(wParam), lParam);
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                CloseSimpleDialog(chooser.dialog, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

} // namespace

bool ShowColorChooser(Document& state, HWND owner, const WCHAR* caption, ILPixelType type,
                      ILColor& color, const ILPalette* palette) {
    ColorChooser chooser;
    chooser.color = color;
    if (!Build(chooser, type, palette)) {
        ShowOutOfMemory(state);
        return false;
    }
    SetupSimpleDialog(chooser.dialog, caption, kWidth, kHeight, 2, true, state.host->OwnerWindow());
    const INT_PTR result = ShowSimpleDialogModal(
        chooser.dialog, owner, DialogProcOf<ColorChooser, ColorChooserMessage>, &chooser);
    if (result != IDOK || !chooser.color.Differs(color)) return false;
    color = chooser.color;
    return true;
}
