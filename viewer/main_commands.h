// The main window's command table: every command that is built, with the
// guard it passes. Commands missing from the table reach no handler and stay
// greyed in the menus.
#pragma once

#include <windows.h>

// Runs the command when it is in the table and its guard lets it; false for
// commands the table does not hold (they go to the default procedure).
bool DispatchCommand(UINT id, LPARAM lParam);
bool IsCommandBuilt(UINT id);

// The road of dropped files, message 1125 and a handed-over path after the
// guard: a folder is replaced by its first supported file, then the file is
// opened.
bool OpenPathFromOutside(WCHAR (&path)[480]);

// Menu enabling (WM_INITMENUPOPUP): the rules for the current image, then
// every item whose command is not built is greyed.
void OnInitMenuPopup();
