#include "viewer/dialogs/option_dialog.h"

#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/style.h"

bool RunOptionDialog(MainWindowState& state, SimpleDialog& dialog, DLGPROC procedure,
                     void* dialogState, HWND owner) {
    if (!state.busy.Set(BUSY_OPTION_DIALOG)) return false;
    ShowSimpleDialogModal(dialog, owner ? owner : state.window, procedure, dialogState);
    state.busy.Clear(BUSY_OPTION_DIALOG);
    return true;
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
