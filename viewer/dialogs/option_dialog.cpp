#include "viewer/dialogs/option_dialog.h"

#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/platform/window_state.h"
#include "viewer/style/style.h"

INT_PTR OptionDialog::Run(Document& main, const WCHAR* caption, int width, int height,
                          int8_t buttons, HWND owner, INT_PTR notRun) {
    state = &main;
    if (!main.busy.Set(BUSY_OPTION_DIALOG)) return notRun;
    // A dialog over the save dialog is placed at it as others are at the
    // main window.
    const HWND over = owner ? owner : main.host->OwnerWindow();
    SetupSimpleDialog(dialog, caption, width, height, buttons, true, over);
    const INT_PTR result = ShowSimpleDialogModal(
        dialog, over, DialogProcOf<OptionDialog, &OptionDialog::Message>, this);
    main.busy.Clear(BUSY_OPTION_DIALOG);
    return result;
}

INT_PTR OptionDialog::Message(OptionDialog& box, HWND window, UINT message, WPARAM wParam,
                              LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            BeginSimpleDialog(box.dialog, window);
            box.CreateControls(window);
            EndSimpleDialogSetup(box.dialog);
            return TRUE;
        case WM_ERASEBKGND: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, dc, true);
            box.Paint(dc);
            RestoreSimpleDialogPen(dc, pen);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK)
                CloseSimpleDialog(box.dialog, box.Accept());
            else if (id == IDCANCEL)
                CloseSimpleDialog(box.dialog, box.CancelResult());
            else
                box.OnCommand(id, HIWORD(wParam), lParam);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void DrawSectionHeader(HDC context, int width, int y, const WCHAR* title) {
    const RECT band = {0, y, width, y + g_interfaceFonts.lineHeight + 1};
    FillRect(context, &band, g_styleBrushes.Highlight);
    SelectHeaderStyle(context);
    SetBkMode(context, TRANSPARENT);
    TextOutW(context, 10, y + 1, title, lstrlenW(title));
}

void CreateRadioGroup(HWND window, int firstId, const WCHAR* const* texts, int count, int x, int y,
                      int width, int checked) {
    for (int i = 0; i < count; ++i)
        CreateRadioButton(window, firstId + i, texts[i], x, y + 20 * i, width, i == checked);
}

bool SelectInGroup(HWND window, int id, int firstId, int lastId) {
    if (id < firstId || id > lastId) return false;
    SelectRadio(window, firstId, lastId, id);
    return true;
}

bool IsChecked(HWND window, int id) {
    return IsButtonChecked(GetDlgItem(window, id));
}

const WCHAR* const kSampleKindTexts[4] = {L"8 bit", L"16 bit", L"half  (recoverd highlights)",
                                          L"float (recoverd highlights)"};
