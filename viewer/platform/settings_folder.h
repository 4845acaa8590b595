// The per-user settings folder (application data\Vx\) with the undo
// snapshot in it.
#pragma once

#include <windows.h>

#include "viewer/platform/paths.h"

// The folder with a trailing backslash; made when missing. False when there
// is no application-data folder or "Vx" cannot be made: callers then skip
// their file silently.
bool GetSettingsFolder(WCHAR (&path)[kPathUnits]);
// name: the snapshot's file name in the settings folder.
bool GetUndoSnapshotPath(const WCHAR* name, WCHAR (&path)[kPathUnits]);
void DeleteUndoSnapshot(const WCHAR* name);
bool FolderExists(const WCHAR* path);
