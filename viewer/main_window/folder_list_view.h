// The document's folder list (Document::folders, the model is
// viewer/logic/folder_list.h): its scan on a worker thread, paging from the
// main window and the file commands on its entries.
#pragma once

#include <windows.h>

#include "viewer/logic/folder_list.h"
#include "viewer/main_window/main_window_state.h"

// Lists the folder of path (a file path), unless it is the listed folder
// and the file is one of its entries: then that entry becomes current.
// force scans always. Nothing while a scan runs.
void ScanFolder(MainWindowState& state, const WCHAR* path, bool force);
// Takes over the finished scan's list and, when the shown file has another
// entry now, opens it (through the busy guard).
void OnFolderScanFinished(MainWindowState& state);
// After a save: a file saved into the listed folder joins the list (a new
// entry sorted into place) or has its entry read again. While a scan runs
// or an export reads the list, the change waits for their end
// (AddFilesSavedMeanwhile) and then applies to the list of that time.
void AddSavedFileToList(MainWindowState& state, const WCHAR* path);
void AddFilesSavedMeanwhile(MainWindowState& state);
// Cancels a running scan and waits for it (at destruction).
void StopFolderScan(MainWindowState& state);
// Empties the list (the image no longer comes from a folder).
void EmptyFolderList(MainWindowState& state);

// The main window's folder commands; each passes its own guard.
void GoToListEntry(MainWindowState& state, PageStep step);
void GoToListIndex(MainWindowState& state, int32_t index);
void ReopenCurrentEntry(MainWindowState& state);
void RescanFolder(MainWindowState& state);
void RecycleCurrentFile(MainWindowState& state);
void OpenFolderInShell(MainWindowState& state);
// The List window's file commands on the selected entries: to the recycle
// bin, or copied or moved to a folder the user chooses. The shell asks its
// own questions; the list changes only when the shell succeeded.
void DeleteSelectedFiles(MainWindowState& state);
void CopyOrMoveSelectedFiles(MainWindowState& state, bool move);
