// The viewer's global state: one object per process (g_viewer, defined in
// app.cpp). Each part of the viewer keeps its members here; add yours in the
// section of your part.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "imglib/imglib.h"
#include "viewer/logic/action_list.h"
#include "viewer/logic/dib_render.h"
#include "viewer/logic/view_geometry.h"
#include "viewer/paths.h"

// BusyFlags bits.
enum : uint32_t {
    BUSY_MESSAGE_BOX = 1,   // a message or question box is up
    BUSY_OPTION_DIALOG = 2, // a modal option dialog is up
    BUSY_FOLDER_SCAN = 4,   // the folder scan runs
    BUSY_SAVING = 8,        // the save thread runs
};

struct ViewerState {
    // Library and image.
    ILHandle* handle = nullptr; // main handle, start-up until WM_DESTROY
    ILImage image;              // current image
    ILInfo info;                // its source info
    ILColor background;         // effective background colour
    char creator[64] = {};      // "Software" text of saved files
    WCHAR currentPath[kPathUnits] = {};
    WCHAR lastOpenedPath[kPathUnits] = {};
    WCHAR undoSnapshotName[18] = {}; // "img", up to 10 digits, ".tmp"

    // Windows and interface objects.
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HMENU menuResource = nullptr; // "Vx" as loaded
    HMENU mainMenu = nullptr;     // its first submenu, shown as the context menu
    HDC mainDC = nullptr;         // the main window's own device context
    HBRUSH backgroundBrush = nullptr;
    HACCEL accelerators = nullptr;
    HWND captionTooltip = nullptr;
    HWND statusTooltip = nullptr;
    WCHAR captionTooltipText[200] = {};
    WCHAR windowTitle[164] = {};     // title of the shown image (view layout)
    HWND toolDialogWindow = nullptr; // the one open tool dialog, null when none
    HWND listWindow = nullptr;

    // Main-window state.
    uint32_t busyFlags = 0;
    bool slideshow = false;
    bool fullScreen = false;
    bool panning = false;
    POINT lastMouse = {};
    WINDOWPLACEMENT savedPlacement = {};
    int savedScrollX = 0;
    int savedScrollY = 0;
    int twainSourceCount = 0;
    int pastedImageCounter = 0; // numbered names of images without a file
    int acquiredImageCounter = 0;

    // Opening and showing images (display).
    DibBuffer display;           // the current image as Windows draws it
    ViewGeometry view;           // display rectangle, zoom and scrolling
    SCROLLINFO hScrollInfo = {}; // last values given to the scroll bars
    SCROLLINFO vScrollInfo = {};
    ActionList history;                // actions of the current image, "Open" first
    WCHAR linkTarget[kPathUnits] = {}; // target of an opened shell link
    bool openedThroughLink = false;
    const WCHAR* displayPath = L"NONE"; // link target or current path
    WCHAR displayName[kPathUnits] = {}; // displayPath after its last backslash
    WCHAR loadTimeText[30] = {};        // "(time: ...)" of the last load
    int viewResolutionX = 0;            // pixels per inch, 0 when none
    int viewResolutionY = 0;

    // Preferences and style.
};

extern ViewerState g_viewer;
