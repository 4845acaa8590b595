// The List window ("VxDcTl"): a tool window beside the main window with one
// row per entry of the folder list (thumbnail, name, sizes, times), the
// current entry highlighted; its menu selects, sorts, sizes the thumbnails,
// starts the exports and sends the file commands to the main window. The
// thumbnails come from its ThumbnailLoader.
#pragma once

#include <windows.h>

#include <cstdint>

struct Document;

// Opens or closes the window; the Preferences remember which (command
// 40102, and at start-up).
void ShowListWindow(Document& document, bool show);
HWND ListWindowHandle();
// Writes the window's rectangle into the Preferences (also when the main
// window closes).
void SaveListWindowPlacement();

// After a change of the folder list: title, rows, scroll range, menus; with
// reset the thumbnails are freed and loaded again. Nothing while the window
// is closed or a folder scan runs.
void RefreshList(bool reset);
// Before the folder list is emptied or rebuilt: the exports close, the
// loader stops and frees the thumbnails, the window shows no rows.
void ResetListWindow();
// Around changes of the entry array (the loader must not run meanwhile).
void PauseThumbnails();
void ResumeThumbnails();

// True while an export's worker reads the folder list (its menus are grey).
bool IsListReadByExport();
// Greys the four menus while an export writes.
void EnableListMenu(bool on);
// After a change of the interface style; on entering and leaving full screen.
void ApplyStyleToListWindow();
void ApplyListWindowAlpha();
