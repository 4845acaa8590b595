// The List window ("VxDcTl"): a tool window beside the main window with one
// row per entry of the folder list (thumbnail, name, sizes, times), the
// current entry highlighted; its menu selects, sorts, sizes the thumbnails,
// starts the exports and sends the file commands to the main window. The
// thumbnails come from its ThumbnailLoader.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "viewer/dialogs/export_dialogs.h"
#include "viewer/windows/thumbnail_loader.h"

struct Document;

// With VX_LIST_TIMING set, the time from the start of a folder scan until
// every thumbnail of the new list is painted goes to stderr (benchmarks).
struct ListTiming {
    ULONGLONG scanStart = 0; // 0 when nothing is being timed
    ULONGLONG scanEnd = 0;
};

// The window's state object, made by the main window and passed at
// creation; it outlives the window.
struct ListWindowState {
    Document* document = nullptr; // the document whose folder list is shown
    HWND window = nullptr;        // null while the window is closed
    HMENU menu = nullptr;
    HDC dc = nullptr; // the class's own context, kept for the window's life
    int32_t rowHeight = 80;
    int32_t firstVisibleRow = 0;
    int32_t highlightRow = -1;
    int32_t clientHeight = 0;
    int32_t thumbnailSize = 0; // the size the rows are laid out for
    uint32_t typeCount = 0;    // items of the "by type" popup
    bool menuEnabled = true;
    bool ascending = true;
    int32_t thumbnailsUpdating = 0; // loader runs, size changes and sorts in progress
    std::unique_ptr<ThumbnailLoader> loader;
    ExportDialogs exports; // the open export dialogs, owned by the window
    ListTiming timing;
};

// Opens or closes the window; the Preferences remember which (command
// 40102, and at start-up).
void ShowListWindow(ListWindowState& list, Document& document, bool show);
// Writes the window's rectangle into the Preferences (also when the main
// window closes).
void SaveListWindowPlacement(const ListWindowState& list);

// After a change of the folder list: title, rows, scroll range, menus; with
// reset the thumbnails are freed and loaded again. Nothing while the window
// is closed or a folder scan runs.
void RefreshList(ListWindowState& list, bool reset);
// Before the folder list is emptied or rebuilt: the exports close, the
// loader stops and frees the thumbnails, the window shows no rows.
void ResetListWindow(ListWindowState& list);
// Around changes of the entry array (the loader must not run meanwhile).
void PauseThumbnails(ListWindowState& list);
void ResumeThumbnails(ListWindowState& list);

// True while an export's worker reads the folder list (its menus are grey).
bool IsListReadByExport(const ListWindowState& list);
// Greys the four menus while an export writes.
void EnableListMenu(ListWindowState& list, bool on);
// After a change of the interface style; on entering and leaving full screen.
void ApplyStyleToListWindow(ListWindowState& list);
void ApplyListWindowAlpha(const ListWindowState& list);
