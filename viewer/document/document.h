// The document: the current image with its source info, its recorded
// history and its paths, and the busy flags that guard it. The main window
// shows one document; dialogs and windows are handed the document (and its
// host) without the main window's own objects.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imglib/imglib.h"
#include "viewer/actions/action_list.h"
#include "viewer/document/document_host.h"
#include "viewer/logic/folder_list.h"
#include "viewer/platform/paths.h"

// What holds the current image besides the user interface thread's commands.
enum BusyBit : uint32_t {
    BUSY_MESSAGE_BOX = 1,     // a message or question box is up
    BUSY_OPTION_DIALOG = 2,   // a modal option dialog is up
    BUSY_FOLDER_SCAN = 4,     // the folder scan runs
    BUSY_SAVING = 8,          // the save thread runs
    BUSY_TWAIN_TRANSFER = 16, // a TWAIN source hands over an image
};

class BusyFlags {
public:
    bool Has(uint32_t bits) const { return (bits_ & bits) == bits; } // all bits set
    // False when the bit was set already.
    bool Set(uint32_t bit) {
        if (bits_ & bit) return false;
        bits_ |= bit;
        return true;
    }
    // False when the bit was clear.
    bool Clear(uint32_t bit) {
        if (!(bits_ & bit)) return false;
        bits_ &= ~bit;
        return true;
    }

private:
    uint32_t bits_ = 0;
};

struct Document {
    // The window that shows the document, handed down at its creation.
    DocumentHost* host = nullptr;

    // Library and image.
    ILHandle* handle = nullptr; // main handle, start-up until WM_DESTROY
    ILImage image;              // current image
    ILInfo info;                // its source info
    ILColor background;         // effective background colour
    char creator[64] = {};      // "Software" text of saved files
    WCHAR currentPath[kPathUnits] = {};
    WCHAR undoSnapshotName[18] = {}; // "img", up to 10 digits, ".tmp"
    bool undoUnavailable = false;    // the snapshot of this image could not be written
    BusyFlags busy;
    ActionList history; // actions of the current image, "Open" first
    // Edits that no action records (the Palette dialog's): they count as
    // unsaved changes all the same. Cleared when another image arrives.
    bool unrecordedChanges = false;
    // The user's list, kept in "fa.up"; applied to every image that arrives
    // while the Actions window's check box says so (not kept).
    ActionList favorites;
    bool applyFavoritesOnOpen = false;
    // The listed folder of the current image; empty for an image without a
    // folder (pasted, acquired). Belongs to the user-interface thread; a scan
    // builds its own list and hands it over with CMD_FOLDER_SCAN_FINISHED.
    FolderList folders;

    // Paths and names.
    WCHAR linkTarget[kPathUnits] = {}; // target of an opened shell link
    bool openedThroughLink = false;
    const WCHAR* displayPath = L"NONE"; // link target or current path
    WCHAR displayName[kPathUnits] = {}; // displayPath after its last backslash
    WCHAR loadTimeText[30] = {};        // "(time: ...)" of the last load
    int viewResolutionX = 0;            // pixels per inch, 0 when none
    int viewResolutionY = 0;
    int pastedImageCounter = 0; // numbered names of images without a file
    int acquiredImageCounter = 0;
};
