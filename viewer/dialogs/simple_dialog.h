// The base of the viewer's small dialogs: every control is created in code
// on one of two empty templates ("VxDLG", "VxASK"), with an optional button
// bar of "OK" and "Cancel". A dialog's state struct holds a SimpleDialog as
// its first member `dialog`; its procedure (DialogProcOf) handles
// WM_INITDIALOG with BeginSimpleDialog, its own controls and
// EndSimpleDialogSetup, and WM_ERASEBKGND with PaintSimpleDialogBackground
// followed by its own painting.
#pragma once

#include <windows.h>

#include <cstdint>

struct SimpleDialog {
    HWND window = nullptr; // set at WM_INITDIALOG
    HWND owner = nullptr;
    HWND mainWindow = nullptr; // where a dialog without another owner is placed
    int width = 0;             // client size
    int height = 0;
    const WCHAR* caption = L"";
    bool modal = false;
    int showCommand = SW_SHOW; // SW_SHOWNA not to activate
    // 0 none, 1 "OK", 2 "OK" and "Cancel", -1 the confirmation form (template
    // "VxASK", buttons made by the dialog itself).
    int8_t buttons = 0;
};

inline constexpr int kButtonBarHeight = 32;

void SetupSimpleDialog(SimpleDialog& dialog, const WCHAR* caption, int width, int height,
                       int8_t buttons, bool activate, HWND mainWindow);
// The content above the button bar (the whole client area without one), and
// the bar.
RECT SimpleDialogContentRect(const SimpleDialog& dialog);
RECT SimpleDialogButtonBarRect(const SimpleDialog& dialog);

// Runs the dialog modally; `state` is the derived state struct, handed to the
// procedure as its initialisation parameter.
INT_PTR ShowSimpleDialogModal(SimpleDialog& dialog, HWND owner, DLGPROC procedure, void* state);
HWND ShowSimpleDialogModeless(SimpleDialog& dialog, HWND owner, DLGPROC procedure, void* state);
// EndDialog for a modal dialog, DestroyWindow for a modeless one.
void CloseSimpleDialog(const SimpleDialog& dialog, INT_PTR result);

// Steps of WM_INITDIALOG before the dialog's own controls: placement, caption
// and "OK"; EndSimpleDialogSetup adds "Cancel" and shows the window.
void BeginSimpleDialog(SimpleDialog& dialog, HWND window);
void EndSimpleDialogSetup(const SimpleDialog& dialog);
// The face, the separating line and the button bar; selects the small text
// style and a one-pixel Text pen, which RestoreSimpleDialogPen puts back.
HGDIOBJ PaintSimpleDialogBackground(const SimpleDialog& dialog, HDC context, bool erase);
void RestoreSimpleDialogPen(HDC context, HGDIOBJ previousPen);
