// "Multipage Image": the modeless page navigator of multi-page files. Its
// page field posts CMD_GO_TO_PAGE to the main window; the load that follows
// calls ShowMultipageDialog again.
#pragma once

#include <windows.h>

#include "viewer/dialogs/simple_dialog.h"

struct PageNavigatorState {
    SimpleDialog dialog; // dialog.window null while closed
    HWND mainWindow = nullptr; // takes CMD_GO_TO_PAGE
    int pageCount = 0;
    int page = 0;               // 1-based
    bool changePending = false; // a page change of ours is on its way
    bool updating = false;      // the navigator is setting its own field
};

// Closes the navigator for fewer than 2 pages, updates an open one, or opens
// it; page is zero-based.
void ShowMultipageDialog(PageNavigatorState& nav, HWND mainWindow, int pageCount, int page);
void CloseMultipageDialog(PageNavigatorState& nav);
