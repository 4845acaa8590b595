// "Palette": the palette of an indexed image as a grid of colour cells with
// the pixel count of each entry; four sliders edit the selected entry of a
// working copy, "Sort" orders the palette by use and renumbers the pixels.
#include "viewer/tool_dialogs/palette_dialog.h"

#include <memory>
#include <new>
#include <string>

#include "imglib/convert/srgb.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/controls/spin_field.h"
#include "viewer/logic/palette_sort.h"
#include "viewer/logic/text_utils.h"
#include "viewer/style/style.h"
#include "viewer/tool_dialogs/dialog_text.h"
#include "viewer/logic/filter_results.h"
#include "viewer/tool_dialogs/tool_dialog.h"

namespace {

enum PaletteControl : int {
    kFirstSlider = 1011, // red, green, blue, transparency
    kLastSlider = 1014,
    kIndexField = 1015,
    kSortButton = 1020,
};
constexpr WORD kControlMoved = 0x1704;
constexpr RECT kGrid = {238, 6, 593, 361};
constexpr int kSliderX[4] = {20, 71, 122, 184};
constexpr int kValueX[4] = {16, 67, 118, 180};

class PaletteDialog : public ToolDialog {
public:
    explicit PaletteDialog(ToolDialogHost& host);

private:
    void CreateControls(HWND window) override;
    void OnSettingsChanged() override { EnableApplyPreview(true); }
    void PaintLabels(HDC context) override;
    void Reset() override {}
    void OpenAction() override {}
    void SaveAction() override {}
    ILResult Execute(ToolRun& run) override;
    bool RecordAction(ActionList& history) override;
    INT_PTR OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    uint32_t Entries() const { return workPalette_.count < 256 ? workPalette_.count : 256; }
    // The shown values of an entry: linear red, green, blue, transparency.
    double ShownValue(uint32_t index, int k) const;
    void SelectCell(uint32_t index, int how);
    void SetValue(int k, int32_t v);
    void Sort();
    void PaintCell(HDC context, uint32_t index) const;
    void FrameCell(HDC context, COLORREF color) const;
    void PaintValues(HDC context) const;

    ILPalette workPalette_;
    uint32_t selected_ = 0;
    PaletteCounts counts_ = {};
    bool sorted_ = true;
};

PaletteDialog::PaletteDialog(ToolDialogHost& host) : ToolDialog(host) {
    statusText = "";
    CopyCurrentImage();
    if (!unedited.palette) return;
    workPalette_ = *unedited.palette;
    ready = workPalette_.count == unedited.palette->count &&
            CountPaletteIndices(unedited, &counts_);
    sorted_ = PaletteCountsSorted(counts_, workPalette_.count);
}

double PaletteDialog::ShownValue(uint32_t index, int k) const {
    const ILPaletteEntry& e = workPalette_.entries[index];
    switch (k) {
        case 0:
            return ILSrgbTable16[e.red];
        case 1:
            return ILSrgbTable16[e.green];
        case 2:
            return ILSrgbTable16[e.blue];
        default:
            return PaletteTransparencyOf(e.alpha);
    }
}

void PaletteDialog::CreateControls(HWND window) {
    for (int k = 0; k < 4; ++k)
        CreateSlider(window, kFirstSlider + k, kSliderX[k], 34, 230, 0, 1000, 0, true);
    CreateSpinField(window, kIndexField, 52, 306, 48, 0,
                    static_cast<int32_t>(Entries() > 0 ? Entries() - 1 : 0), 0);
    const HWND sort = CreateSmallButton(window, kSortButton, L"Sort", 180, 335, 52);
    EnableWindow(sort, !sorted_);
    SelectCell(selected_, 0);
    tipsEnabled = false;
}

void PaletteDialog::PaintCell(HDC context, uint32_t index) const {
    const CellSquare at = PaletteCellSquare(index);
    uint8_t bgr[3];
    workPalette_.ReadBGR8(index, bgr);
    const HBRUSH brush = CreateSolidBrush(RGB(bgr[2], bgr[1], bgr[0]));
    const RECT square = {at.left, at.top, at.left + 21, at.top + 21};
    FillRect(context, &square, brush);
    DeleteObject(brush);
}

void PaletteDialog::FrameCell(HDC context, COLORREF color) const {
    const CellSquare at = PaletteCellSquare(selected_);
    const RECT frame = {at.left - 1, at.top - 1, at.left + 22, at.top + 22};
    const HBRUSH brush = CreateSolidBrush(color);
    FrameRect(context, &frame, brush);
    DeleteObject(brush);
}

void PaletteDialog::PaintValues(HDC context) const {
    if (selected_ >= Entries()) return;
    for (int k = 0; k < 4; ++k)
        DrawValueText(context, kValueX[k], 272, 42, FormatFixedPoint(ShownValue(selected_, k), 3));
    std::string count = std::to_string(counts_[selected_]);
    if (count.size() < 11) count.insert(0, 11 - count.size(), ' ');
    DrawValueText(context, 155, 308, 76, count);
}

void PaletteDialog::PaintLabels(HDC context) {
    FrameRect(context, &kGrid, g_styleBrushes.Text);
    const RECT inside = {kGrid.left + 1, kGrid.top + 1, kGrid.right - 1, kGrid.bottom - 1};
    FillRect(context, &inside, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    struct Text {
        int x, y;
        const char* text;
    };
    static const Text kTexts[] = {{21, 15, "Red"},     {68, 15, "Green"}, {121, 15, "Blue"},
                                  {180, 15, "Transp."}, {16, 308, "Index:"}, {118, 308, "Pixels:"}};
    for (const Text& t : kTexts)
        DrawText8(context, t.x, t.y, t.text);
    PaintValues(context);
    FrameCell(context, GetSysColor(COLOR_HIGHLIGHT));
    for (uint32_t i = 0; i < Entries(); ++i)
        PaintCell(context, i);
}

void PaletteDialog::SelectCell(uint32_t index, int how) {
    if (index >= Entries()) return;
    if (how == 2) {
        settingsLock = true;
        SetSpinValue(Control(kIndexField), static_cast<int32_t>(index));
        settingsLock = false;
    }
    HDC context = GetDC(window());
    FrameCell(context, RGB(255, 255, 255));
    selected_ = index;
    FrameCell(context, RGB(0, 0, 0));
    SelectSmallTextStyle(context);
    PaintValues(context);
    ReleaseDC(window(), context);
    for (int k = 0; k < 4; ++k) {
        const int32_t v = PaletteSliderOf(ShownValue(index, k));
        SetSliderValue(Control(kFirstSlider + k), v);
        SetSliderDefault(Control(kFirstSlider + k), v);
    }
}

void PaletteDialog::SetValue(int k, int32_t v) {
    if (selected_ >= Entries()) return;
    ILPaletteEntry& e = workPalette_.entries[selected_];
    const float linear = static_cast<float>(v) / 1000.0f;
    switch (k) {
        case 0:
            e.red = ILLinearToSrgb16(linear);
            break;
        case 1:
            e.green = ILLinearToSrgb16(linear);
            break;
        case 2:
            e.blue = ILLinearToSrgb16(linear);
            break;
        default:
            e.alpha = PaletteAlphaOf(v);
            break;
    }
    HDC context = GetDC(window());
    SelectSmallTextStyle(context);
    DrawValueText(context, kValueX[k], 272, 42, FormatFixedPoint(ShownValue(selected_, k), 3));
    PaintCell(context, selected_);
    ReleaseDC(window(), context);
    EnableApplyPreview(true);
}

// Orders the working palette and the image's own by use, most used first,
// and renumbers the pixels at once. Indices beyond the palette keep their
// values. The image shows the same colours afterwards; nothing is recorded,
// but the image counts as changed.
void PaletteDialog::Sort() {
    const PaletteOrder order = SortPaletteByCount(counts_, workPalette_.count);
    Document& doc = document();
    if (!RemapPaletteIndices(&doc.image, order)) return;
    ReorderPalette(&workPalette_, order);
    ReorderPalette(unedited.palette, order);
    if (doc.image.palette && doc.image.palette != unedited.palette)
        ReorderPalette(doc.image.palette, order);
    ReorderCounts(&counts_, order);
    doc.unrecordedChanges = true;
    sorted_ = true;
    EnableWindow(Control(kSortButton), FALSE);
    SelectCell(selected_, 2);
    InvalidateRect(window(), &kGrid, FALSE);
    host().RefreshImageView(false);
}

ILResult PaletteDialog::Execute(ToolRun& run) {
    return PaletteResult(*run.source, workPalette_, &run.result);
}

// A palette edit records no action; it still counts as an unsaved change.
bool PaletteDialog::RecordAction(ActionList&) {
    document().unrecordedChanges = true;
    return true;
}

INT_PTR PaletteDialog::OnCommand(WORD id, WORD code, LPARAM lParam) {
    if (id >= kFirstSlider && id <= kLastSlider) {
        if (code == kControlMoved && !settingsLock)
            SetValue(id - kFirstSlider, static_cast<int32_t>(lParam));
        return 1;
    }
    if (id == kIndexField) {
        if (!settingsLock) SelectCell(static_cast<uint32_t>(GetSpinValue(Control(kIndexField))), 1);
        return 1;
    }
    if (id == kSortButton) {
        if (code == kControlMoved) {
            Sort();
            EnableApplyPreview(true);
        }
        return 1;
    }
    return 0;
}

INT_PTR PaletteDialog::OnMessage(HWND, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN && !working) {
        const int32_t cell = PaletteCellAt(static_cast<short>(LOWORD(lParam)),
                                           static_cast<short>(HIWORD(lParam)));
        if (cell >= 0) SelectCell(static_cast<uint32_t>(cell), 2);
    }
    return 0;
}

} // namespace

void ShowPaletteDialog(ToolDialogHost& host) {
    const ILImage& image = host.EditedDocument().image;
    if (!image.data || ILPixelModel(image.type) != IL_MODEL_INDEXED || !image.palette) return;
    if (!OpenToolDialog(std::make_unique<PaletteDialog>(host), L"Palette", 599, 393))
        ReportOperationFailure(host.EditedDocument());
}
