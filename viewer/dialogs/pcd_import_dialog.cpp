#include "viewer/dialogs/pcd_import_dialog.h"

#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/logic/import_options.h"
#include "viewer/preferences_file.h"
#include "viewer/window_state.h"

namespace {

constexpr int kFirstMode = 1210; // 8 bit, 16 bit, half, float
constexpr int kLastMode = 1213;
constexpr int kFirstResolution = 1214; // 768 x 512, 1536 x 1024, 3072 x 2048
constexpr int kLastResolution = 1216;
constexpr int kWidth = 218;

struct PcdImportDialog {
    SimpleDialog dialog;
    MainWindowState* state = nullptr;
};

void OnInitDialog(PcdImportDialog& box, HWND window) {
    BeginSimpleDialog(box.dialog, window);
    const ILPCDImportOptions& options = g_preferences.pcdImportOptions;
    const WCHAR* modes[] = {L"8 bit", L"16 bit", L"half  (recoverd highlights)",
                            L"float (recoverd highlights)"};
    CreateRadioGroup(window, kFirstMode, modes, 4, 10, 25, 190,
                     SampleKindIndex(options.sampleKind));
    const WCHAR* sizes[] = {L"768 x 512", L"1536 x 1024 intepolated (default)",
                            L"3072 x 2048 interpolated"};
    CreateRadioGroup(window, kFirstResolution, sizes, 3, 10, 135, 190,
                     PcdResolutionIndex(options.resolution));
    EndSimpleDialogSetup(box.dialog);
}

void OnCommand(PcdImportDialog& box, int id) {
    const HWND window = box.dialog.window;
    if (SelectInGroup(window, id, kFirstMode, kLastMode) ||
        SelectInGroup(window, id, kFirstResolution, kLastResolution))
        return;
    if (id == IDOK) {
        ILPCDImportOptions& options = g_preferences.pcdImportOptions;
        options.sampleKind = SampleKindOfIndex(GetCheckedRadio(window, kFirstMode, kLastMode));
        options.resolution =
            static_cast<uint32_t>(GetCheckedRadio(window, kFirstResolution, kLastResolution) + 3);
        ILSetPCDImportOptions(box.state->handle, &options);
    }
    if (id == IDOK || id == IDCANCEL) CloseSimpleDialog(box.dialog, 0);
}

INT_PTR PcdImportMessage(PcdImportDialog& box, HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, window);
            return TRUE;
        case WM_ERASEBKGND: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, dc, true);
            DrawSectionHeader(dc, kWidth, 0, L"Image Mode");
            DrawSectionHeader(dc, kWidth, 110, L"Resolution");
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

void ShowPhotoCdImportDialog(MainWindowState& state) {
    PcdImportDialog box;
    box.state = &state;
    SetupSimpleDialog(box.dialog, L"Kodak Photo CD Import", kWidth, 230, 2, true, state.window);
    RunOptionDialog(state, box.dialog, DialogProcOf<PcdImportDialog, PcdImportMessage>, &box);
}
