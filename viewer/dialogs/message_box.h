// The viewer's own message boxes ("Vx Information", "Vx Warning",
// "Vx Error") and question box ("Vx Confirmation"), owned by the main window.
// One box at a time: busy bit 1 marks it while it runs.
#pragma once

#include <windows.h>

#include "viewer/document/document.h"

enum MessageBoxKind : int {
    BOX_CONFIRMATION = 0,
    BOX_INFORMATION = 1,
    BOX_WARNING = 2,
    BOX_ERROR = 3,
};

// Shows an information, warning or error box; nothing when a box is up.
void ShowMessageBox(Document& state, MessageBoxKind kind, const WCHAR* text);
// 1 for yes, 0 for no (also when a box is already up). Escape answers no only
// when cancelAllowed is set.
int AskConfirmation(Document& state, const WCHAR* text, bool cancelAllowed);
