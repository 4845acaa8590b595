// The per-user settings folder (application data\Vx\) with the undo
// snapshot in it.
#pragma once

#include <windows.h>

#include "viewer/paths.h"

// The folder with a trailing backslash; made when missing. False when there
// is no application-data folder or "Vx" cannot be made: callers then skip
// their file silently.
bool GetSettingsFolder(WCHAR (&path)[kPathUnits]);
bool GetUndoSnapshotPath(WCHAR (&path)[kPathUnits]);
void DeleteUndoSnapshot();
bool FolderExists(const WCHAR* path);
