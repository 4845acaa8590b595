#include "viewer/dialogs/resolution_dialog.h"

#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/simple_dialog.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/logic/resolution_rules.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

enum ResolutionControl : int {
    kHorizontalField = 1201,
    kVerticalField = 1202,
    kFirstAspectRadio = 1211, // 1:1, keep, free
    kLastAspectRadio = 1213,
    kSizeLabel = 1220,
};

constexpr int kWidth = 220;
constexpr int kHeight = 190;

struct ResolutionDialog {
    SimpleDialog dialog;
    ResolutionPair pair;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    bool updating = false;
};

int SizeLabelTop() {
    return kHeight - g_interfaceFonts.lineHeight - 44;
}

void UpdateSizeLabel(const ResolutionDialog& box) {
    const std::string text =
        PrintSizeText(box.imageWidth, box.imageHeight, box.pair, g_preferences.resolutionUnit);
    WCHAR wide[96];
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide, 96);
    SetLabelText(GetDlgItem(box.dialog.window, kSizeLabel), wide);
}

// Writes the pair into the fields that do not show it yet; the fields'
// notifications come back while `updating` is set and are ignored.
void ShowPair(ResolutionDialog& box) {
    box.updating = true;
    const HWND window = box.dialog.window;
    if (GetSpinValue(GetDlgItem(window, kHorizontalField)) != box.pair.horizontal)
        SetSpinValue(GetDlgItem(window, kHorizontalField), box.pair.horizontal);
    if (GetSpinValue(GetDlgItem(window, kVerticalField)) != box.pair.vertical)
        SetSpinValue(GetDlgItem(window, kVerticalField), box.pair.vertical);
    UpdateSizeLabel(box);
    box.updating = false;
}

void CreateControls(ResolutionDialog& box, HWND window) {
    const ResolutionPair& pair = box.pair;
    CreateLabel(window, 0, L"horizontal", 10, 10, 90, 0);
    CreateLabel(window, 0, L"vertical", 114, 10, 90, 0);
    CreateSpinField(window, kHorizontalField, 10, 30, 70, kMinimumPpi, kMaximumPpi,
                    pair.horizontal);
    CreateSpinField(window, kVerticalField, 114, 30, 70, kMinimumPpi, kMaximumPpi, pair.vertical);
    CreateLabel(window, 0, L"ppi", 85, 31, 24, 0);
    CreateLabel(window, 0, L"ppi", 189, 31, 24, 0);
    const WCHAR* aspects[] = {L"1:1 aspect ratio", L"keep aspect ratio", L"free aspect ratio"};
    for (int m = 0; m < 3; ++m)
        CreateRadioButton(window, kFirstAspectRadio + m, aspects[m], 10, 60 + 18 * m, 180,
                          m == pair.mode);
    CreateLabel(window, kSizeLabel, L"", 18, SizeLabelTop(), 160, 1);
    UpdateSizeLabel(box);
}

void OnInitDialog(ResolutionDialog& box, HWND window) {
    BeginSimpleDialog(box.dialog, window);
    CreateControls(box, window);
    EndSimpleDialogSetup(box.dialog);
}

void Paint(const ResolutionDialog& box, HDC context) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, context, true);
    RECT frame = {10, SizeLabelTop() - 3, 210, 147};
    FrameRect(context, &frame, g_styleBrushes.Highlight);
    RestoreSimpleDialogPen(context, pen);
}

void OnFieldChanged(ResolutionDialog& box, int id) {
    if (box.updating) return;
    const int32_t value = GetSpinValue(GetDlgItem(box.dialog.window, id));
    if (id == kHorizontalField)
        SetHorizontalPpi(box.pair, value);
    else
        SetVerticalPpi(box.pair, value);
    ShowPair(box);
}

void OnAspectChosen(ResolutionDialog& box, int id) {
    SelectRadio(box.dialog.window, kFirstAspectRadio, kLastAspectRadio, id);
    SetAspectMode(box.pair, static_cast<AspectMode>(id - kFirstAspectRadio));
    ShowPair(box);
}

INT_PTR OnCommand(ResolutionDialog& box, int id, Document& state) {
    switch (id) {
        case kHorizontalField:
        case kVerticalField:
            OnFieldChanged(box, id);
            return TRUE;
        case IDOK:
            state.viewResolutionX = box.pair.horizontal;
            state.viewResolutionY = box.pair.vertical;
            state.host->ResolutionChanged();
            CloseSimpleDialog(box.dialog, 0);
            return TRUE;
        case IDCANCEL:
            CloseSimpleDialog(box.dialog, 0);
            return TRUE;
        default:
            if (id >= kFirstAspectRadio && id <= kLastAspectRadio) OnAspectChosen(box, id);
            return TRUE;
    }
}

struct ResolutionRun {
    ResolutionDialog box;
    Document* state;
};

INT_PTR ResolutionMessage(ResolutionRun& run, HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(run.box, window);
            return TRUE;
        case WM_ERASEBKGND:
            Paint(run.box, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_COMMAND:
            return OnCommand(run.box, LOWORD(wParam), *run.state);
        default:
            return FALSE;
    }
}

} // namespace

void ShowResolutionDialog(Document& state) {
    ResolutionRun run{{}, &state};
    SetupSimpleDialog(run.box.dialog, L"Resolution", kWidth, kHeight, 2, true,
                      state.host->OwnerWindow());
    run.box.pair = OpenResolution(state.viewResolutionX, state.viewResolutionY);
    run.box.imageWidth = state.image.width;
    run.box.imageHeight = state.image.height;
    ShowSimpleDialogModal(run.box.dialog, state.host->OwnerWindow(),
                          DialogProcOf<ResolutionRun, ResolutionMessage>, &run);
}
