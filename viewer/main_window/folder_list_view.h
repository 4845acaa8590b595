// The viewer's folder list: the one list of the process (the model is
// viewer/logic/folder_list.h), its scan on a worker thread, paging from the
// main window and the file commands on its entries.
#pragma once

#include <windows.h>

#include "viewer/logic/folder_list.h"
#include "viewer/main_window/main_window_state.h"

// Belongs to the user-interface thread; a scan builds its own list and
// hands it over with CMD_FOLDER_SCAN_FINISHED.
extern FolderList g_folderList;

// The random numbers of a shuffle (SortEntries).
bool DrawShuffleNumber(uint32_t& value);

// Is the directory entry a file whose extension (or, for a shell link, whose
// target's extension) the library loads? A link's target goes to target
// (empty for other files).
bool IsListableFile(const WIN32_FIND_DATAW& entry, const std::u16string& folder,
                    std::u16string& target);

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
void AddFilesSavedMeanwhile();
// Cancels a running scan and waits for it (at destruction).
void StopFolderScan();
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
