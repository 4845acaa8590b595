// The main menu: checks, greying, the rules that enable its items for the
// current image, and showing it as the context menu.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Main menu items, by command id.
void CheckMainMenuItem(const MainWindowState& state, UINT id, bool on);
void EnableMainMenuItem(const MainWindowState& state, UINT id, bool greyed);
void CheckModeMenuRadio(const MainWindowState& state, UINT id); // one of 40911-40925; 0 clears all
void GetMainMenuText(const MainWindowState& state, UINT id, WCHAR (&text)[17]);
// The radio check of the current image's pixel mode.
void UpdateModeMenu(const MainWindowState& state);

// Menu enabling (WM_INITMENUPOPUP): the rules for the current image, then
// every item whose command is not built (isBuilt, the command table's
// answer) is greyed.
void UpdateMainMenuStates(MainWindowState& state, bool (*isBuilt)(UINT id));

// Shows the main menu (key state 0), the File submenu (MK_SHIFT) or the
// window-mode submenu (MK_CONTROL) at a client point, or at (0, 0) for none.
void ShowContextMenu(const MainWindowState& state, const POINT* clientPoint, WPARAM keyState,
                     bool fromKeyboard);
