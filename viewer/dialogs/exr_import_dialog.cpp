#include "viewer/dialogs/exr_import_dialog.h"

#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/preferences_file.h"
#include "viewer/window_state.h"

namespace {

constexpr int kPremultiplied = 1208; // and 1209 non-pre-multiplied
constexpr int kWidth = 218;

struct ExrImportDialog {
    SimpleDialog dialog;
    MainWindowState* state = nullptr;
};

void OnInitDialog(ExrImportDialog& box, HWND window) {
    BeginSimpleDialog(box.dialog, window);
    const WCHAR* texts[] = {L"pre-multiplied (default)", L"non-pre-multiplied"};
    CreateRadioGroup(window, kPremultiplied, texts, 2, 10, 25, 190,
                     g_preferences.exrImportOptions ? 0 : 1);
    EndSimpleDialogSetup(box.dialog);
}

void OnCommand(ExrImportDialog& box, int id) {
    const HWND window = box.dialog.window;
    if (SelectInGroup(window, id, kPremultiplied, kPremultiplied + 1)) return;
    if (id == IDOK) {
        g_preferences.exrImportOptions =
            GetCheckedRadio(window, kPremultiplied, kPremultiplied + 1) == 0;
        ILSetEXRImportOptions(box.state->handle, &g_preferences.exrImportOptions);
    }
    if (id == IDOK || id == IDCANCEL) CloseSimpleDialog(box.dialog, 0);
}

INT_PTR ExrImportMessage(ExrImportDialog& box, HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, window);
            return TRUE;
        case WM_ERASEBKGND: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, dc, true);
            DrawSectionHeader(dc, kWidth, 0, L"Alpha Channel");
            RestoreSimpleDialogPen(dc, pen);
            return TRUE;
        }
        case WM_COMMAND:
            OnCommand(box, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

} // namespace

void ShowOpenExrImportDialog(MainWindowState& state) {
    ExrImportDialog box;
    box.state = &state;
    SetupSimpleDialog(box.dialog, L"OpenEXR Import", kWidth, 101, 2, true, state.window);
    RunOptionDialog(state, box.dialog, DialogProcOf<ExrImportDialog, ExrImportMessage>, &box);
}
