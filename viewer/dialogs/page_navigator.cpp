#include "viewer/dialogs/page_navigator.h"

#include "resources/commands.h"
#include "viewer/controls/spin_field.h"
#include "viewer/platform/window_state.h"

namespace {

constexpr int kPageField = 1242;

void OnInitDialog(PageNavigatorState& nav, HWND window) {
    BeginSimpleDialog(nav.dialog, window);
    nav.updating = true;
    CreateSpinField(window, kPageField, 40, 8, 48, 1, nav.pageCount, nav.page);
    nav.updating = false;
    EndSimpleDialogSetup(nav.dialog);
}

void Paint(const PageNavigatorState& nav, HDC dc) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(nav.dialog, dc, true);
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 10, 10, L"Page", 4);
    WCHAR text[24];
    const int length = wsprintfW(text, L"of %i", nav.pageCount);
    TextOutW(dc, 94, 10, text, length);
    RestoreSimpleDialogPen(dc, pen);
}

void OnPageChanged(PageNavigatorState& nav) {
    if (nav.updating) return;
    nav.page = GetSpinValue(GetDlgItem(nav.dialog.window, kPageField));
    nav.changePending = true;
    PostMessageW(nav.mainWindow, WM_COMMAND, CMD_GO_TO_PAGE, nav.page - 1);
}

INT_PTR PageNavigatorMessage(PageNavigatorState& nav, HWND window, UINT message, WPARAM wParam,
                             LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(nav, window);
            return TRUE;
        case WM_ERASEBKGND:
            Paint(nav, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == kPageField) OnPageChanged(nav);
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) CloseMultipageDialog(nav);
            return TRUE;
        default:
            return FALSE;
    }
}

// Another file, or a page chosen elsewhere: the field starts at 1 again.
void UpdateMultipageDialog(PageNavigatorState& nav, int pageCount) {
    if (nav.changePending) {
        nav.changePending = false;
        return;
    }
    nav.updating = true;
    const HWND field = GetDlgItem(nav.dialog.window, kPageField);
    SetSpinValue(field, 1);
    SetSpinMaximum(field, pageCount);
    nav.page = 1;
    nav.pageCount = pageCount;
    InvalidateRect(nav.dialog.window, nullptr, TRUE);
    nav.updating = false;
}

} // namespace

void ShowMultipageDialog(PageNavigatorState& nav, HWND mainWindow, int pageCount, int page) {
    if (pageCount < 2) {
        CloseMultipageDialog(nav);
        return;
    }
    if (nav.dialog.window) {
        UpdateMultipageDialog(nav, pageCount);
        return;
    }
    nav.mainWindow = mainWindow;
    nav.pageCount = pageCount;
    nav.page = page + 1;
    nav.changePending = nav.updating = false;
    SetupSimpleDialog(nav.dialog, L"Multipage Image", 134, 36, 0, false, mainWindow);
    ShowSimpleDialogModeless(nav.dialog, mainWindow,
                             DialogProcOf<PageNavigatorState, PageNavigatorMessage>, &nav);
}

void CloseMultipageDialog(PageNavigatorState& nav) {
    if (!nav.dialog.window) return;
    const HWND window = nav.dialog.window;
    nav.dialog.window = nullptr;
    DestroyWindow(window);
}
