// "Select Font": the viewer's own font chooser for the Write Text dialog.
// It lists the installed families (greying those outside a chosen kind),
// edits size, bold, italic and underline, and shows a sample line that a
// double click lets the user rewrite.
#pragma once

#include <windows.h>

#include "viewer/logic/preferences.h"
#include "viewer/document/document.h"

enum FontDialogResult : int {
    kFontDialogFailed = -1, // could not be built, or one is open already
    kFontDialogCancelled = 0,
    kFontDialogAccepted = 1,
};

// Runs the dialog modally over owner on the caller's record; OK writes the
// chosen font into it and the family filter into the preferences. The
// sample text is kept in the preferences whether or not OK ends the dialog.
FontDialogResult RunFontDialog(HWND owner, HWND mainWindow, LOGFONTA& font,
                               Preferences& preferences);

// Over the open tool dialog (else the main window); "Out of memory" when the
// dialog cannot be built. True for OK.
bool ShowFontDialog(Document& state, LOGFONTA& font);
bool FontDialogIsOpen();
// After a style change.
void RedrawFontDialog();
