// The main window (class "Vx"): its procedure and the small operations that
// other parts of the viewer call on it.
#pragma once

#include <windows.h>

#include <cstdint>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens a path that came from outside (the command line of this or a second
// instance) after the guard: a folder yields its first supported file.
void OpenHandedOverPath(const WCHAR* path);

// Tag of the WM_COPYDATA block with which a second instance hands over a
// path that is too long for a global atom (UTF-16, NUL-terminated).
inline constexpr ULONG_PTR kCopyDataOpenPath = 0x56584F50;

// Tooltips: the caption tooltip with the image summary and the status
// tooltip at the client's top-left corner.
void CreateTooltips(HINSTANCE instance, HWND mainWindow);
void PlaceCaptionTooltip();
// Title (g_viewer.windowTitle, filled by the view layout) and caption
// tooltip of the current image, or the program's name without one.
void UpdateTitleAndTooltip();
void ShowStatusTooltip(const char* text, bool autoHide);
void HideStatusTooltip();
void MoveStatusTooltip(int x, int y);
void ShowOptionToggled(const char* name, bool on); // "%s turned %s"

// Shows the main menu (key state 0), the File submenu (MK_SHIFT) or the
// window-mode submenu (MK_CONTROL) at a client point, or at (0, 0) for none.
void ShowContextMenu(const POINT* clientPoint, WPARAM keyState, bool fromKeyboard);

// Main menu items, by command id.
void CheckMainMenuItem(UINT id, bool on);
void EnableMainMenuItem(UINT id, bool greyed);
void CheckModeMenuRadio(UINT id); // one of 40911-40925; 0 clears all
void GetMainMenuText(UINT id, WCHAR (&text)[17]);
void UpdateModeMenu();

void EnableFileDrop();
void DisableFileDrop();
void ApplyToolWindowAlpha(HWND window);
void BringMainWindowToFront();
bool RestoreMainWindow(); // true when it was minimised
void OnMouseWheel(WPARAM wParam, bool browseOnly);

// Option setters: each stores its preference and sets its menu checks.
void SetUseAlpha(bool on);
void SetUseBackground(bool on);
void SetDither(int mode);           // 0 off, 1 on, 2 ask
void SetMonochromeDither(int mode); // 0-3, plus 0x10 for ask
void SetWheelMode(int zoom);        // 1 zoom, 0 browse
void SetWindowMode(int mode);       // 0 fit nothing, 1 image to window, 2 window to image
void SetTransitionEffect(int effect);
void SetMultipageDialog(bool on);
void SetResolutionUnit(int unit); // 0 cm, 1 inch
void ApplyStretchMode();
void UpdateBackgroundBrush();
