#include "viewer/dialogs/simple_dialog.h"

#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_utils.h"

void SetupSimpleDialog(SimpleDialog& dialog, const WCHAR* caption, int width, int height,
                       int8_t buttons, bool activate, HWND mainWindow) {
    dialog.caption = caption;
    dialog.width = width;
    dialog.height = height;
    dialog.buttons = buttons;
    dialog.modal = false;
    dialog.showCommand = activate ? SW_SHOW : SW_SHOWNA;
    dialog.mainWindow = mainWindow;
}

RECT SimpleDialogContentRect(const SimpleDialog& dialog) {
    return {0, 0, dialog.width,
            dialog.buttons != 0 ? dialog.height - kButtonBarHeight : dialog.height};
}

RECT SimpleDialogButtonBarRect(const SimpleDialog& dialog) {
    return {0, dialog.height - kButtonBarHeight, dialog.width, dialog.height};
}

INT_PTR ShowSimpleDialogModal(SimpleDialog& dialog, HWND owner, DLGPROC procedure, void* state) {
    dialog.owner = owner;
    dialog.modal = true;
    return DialogBoxParamW(GetModuleHandleW(nullptr), dialog.buttons > 0 ? L"VxDLG" : L"VxASK",
                           owner, procedure, reinterpret_cast<LPARAM>(state));
}

HWND ShowSimpleDialogModeless(SimpleDialog& dialog, HWND owner, DLGPROC procedure, void* state) {
    dialog.owner = owner;
    dialog.modal = false;
    dialog.window = CreateDialogParamW(GetModuleHandleW(nullptr), L"VxDLG", owner, procedure,
                                       reinterpret_cast<LPARAM>(state));
    return dialog.window;
}

void CloseSimpleDialog(const SimpleDialog& dialog, INT_PTR result) {
    if (dialog.modal)
        EndDialog(dialog.window, result);
    else
        DestroyWindow(dialog.window);
}

namespace {

void Place(const SimpleDialog& dialog) {
    if (!dialog.owner || dialog.owner == dialog.mainWindow) {
        PlaceAtMainWindow(dialog.window, dialog.mainWindow, dialog.width, dialog.height);
        return;
    }
    RECT owner = {};
    GetWindowRect(dialog.owner, &owner);
    const int outerWidth = dialog.width + ToolWindowFrameWidth();
    const int outerHeight = dialog.height + ToolWindowFrameHeight();
    const int x = FitToScreenX(owner.left + GetSystemMetrics(SM_CXDLGFRAME), outerWidth);
    const int y =
        FitToScreenY(owner.top + GetSystemMetrics(SM_CYSMCAPTION) + GetSystemMetrics(SM_CYDLGFRAME),
                     outerHeight);
    SetWindowPos(dialog.window, nullptr, x, y, outerWidth, outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

} // namespace

void BeginSimpleDialog(SimpleDialog& dialog, HWND window) {
    dialog.window = window;
    g_styleColors.ShowFocusCues = 0;
    SetClassLongPtrW(window, GCLP_HBRBACKGROUND, 0);
    SetClassLongPtrW(window, GCLP_HCURSOR,
                     reinterpret_cast<LONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)));
    SetWindowTextW(window, dialog.caption);
    Place(dialog);
    if (dialog.buttons > 0)
        CreatePushButton(window, IDOK, L"OK", dialog.width - 74, dialog.height - 26, 64);
}

void EndSimpleDialogSetup(const SimpleDialog& dialog) {
    if (dialog.buttons > 1)
        CreatePushButton(dialog.window, IDCANCEL, L"Cancel", dialog.width - 144, dialog.height - 26,
                         64);
    ShowWindow(dialog.window, dialog.showCommand);
}

HGDIOBJ PaintSimpleDialogBackground(const SimpleDialog& dialog, HDC context, bool erase) {
    SelectSmallTextStyle(context);
    const HGDIOBJ previousPen = SelectObject(context, CreatePen(PS_SOLID, 1, g_styleColors.Text));
    if (erase) {
        const RECT content = SimpleDialogContentRect(dialog);
        FillRect(context, &content, g_styleBrushes.Face);
        if (dialog.buttons != 0) {
            const RECT line = {0, content.bottom - 1, dialog.width, content.bottom};
            FillRect(context, &line, g_styleBrushes.Highlight);
            const RECT bar = SimpleDialogButtonBarRect(dialog);
            FillRect(context, &bar, g_styleBrushes.Window);
        }
    }
    return previousPen;
}

void RestoreSimpleDialogPen(HDC context, HGDIOBJ previousPen) {
    DeleteObject(SelectObject(context, previousPen));
}
