// What the option dialogs share: one at a time (busy bit 2 while it runs),
// section headers, and groups of radio buttons 20 pixels apart.
#pragma once

#include <windows.h>

#include "viewer/dialogs/simple_dialog.h"
#include "viewer/main_window_state.h"

// Runs the prepared dialog modally over the owner (the main window when
// null); false without running it when an option dialog is up already.
bool RunOptionDialog(MainWindowState& state, SimpleDialog& dialog, DLGPROC procedure,
                     void* dialogState, HWND owner = nullptr);
// A band across the dialog with its title in the header style.
void DrawSectionHeader(HDC context, int width, int y, const WCHAR* title);
// Radio buttons firstId.. at (x, y + 20 i); `checked` is the index checked.
void CreateRadioGroup(HWND window, int firstId, const WCHAR* const* texts, int count, int x, int y,
                      int width, int checked);
// A click on a radio of the group firstId..lastId selects it; false for ids
// outside the group.
bool SelectInGroup(HWND window, int id, int firstId, int lastId);
