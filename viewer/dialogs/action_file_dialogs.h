// The file dialogs that choose an action-list file ("vxa") to import or to
// export the favourites to.
#pragma once

#include <windows.h>

#include "viewer/platform/paths.h"

// The buffer holds the starting path and receives the chosen one; true when
// a file was chosen. An exported name always ends in ".vxa".
bool ChooseActionFileToImport(HWND owner, WCHAR (&path)[kPathUnits]);
bool ChooseActionFileToExport(HWND owner, WCHAR (&path)[kPathUnits]);
