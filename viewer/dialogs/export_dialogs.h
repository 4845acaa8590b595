// The List window's two exports: the thumbnail sheet ("Create Thumbnail
// Sheet") and the HTML gallery ("Create HTML"). Each is a modeless dialog on
// the user-interface thread whose worker writes the files of the selected
// entries of the folder list. The worker has its own library handle, reads
// the list only while the dialog lives, posts its progress and its end to
// the dialog and never waits for a window; closing the dialog cancels a
// running worker and waits for it while messages keep flowing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "viewer/document/document.h"

// Sent (not posted) to the dialog's owner on the user-interface thread when
// a worker starts (wParam 1) and when it has ended (wParam 0): the List
// window greys its menus meanwhile.
inline constexpr UINT kMsgExportRunning = WM_APP + 40;

struct ExportDialog;

// The open export dialogs of one List window, held in the window's state.
struct ExportDialogs {
    ExportDialogs();
    ~ExportDialogs(); // closes the open dialogs
    ExportDialogs(const ExportDialogs&) = delete;
    ExportDialogs& operator=(const ExportDialogs&) = delete;

    std::unique_ptr<ExportDialog> sheet; // null while closed
    std::unique_ptr<ExportDialog> gallery;
    int32_t thumbnailsUpdating = 0; // the List window's count, for a dialog that opens
};

// Commands 40725 and 40726: nothing when the dialog is open already.
void ShowSheetExportDialog(ExportDialogs& dialogs, Document& state, HWND owner);
void ShowGalleryExportDialog(ExportDialogs& dialogs, Document& state, HWND owner);

// The List window tells the open dialogs the selected count after a
// selection change, and calls UpdateExportThumbnails when its count of
// thumbnail work in progress changes (OK stays disabled while it is not 0).
void UpdateExportSelection(ExportDialogs& dialogs, int32_t selectedCount);
void UpdateExportThumbnails(ExportDialogs& dialogs, int32_t thumbnailsUpdating);
// Closes both dialogs (a running worker is cancelled and waited for): before
// the folder list is emptied or rebuilt, and at exit.
void CloseExportDialogs(ExportDialogs& dialogs);
// Repaints the open dialogs after a change of the interface style.
void RedrawExportDialogs(ExportDialogs& dialogs);
