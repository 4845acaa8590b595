// The main window's state object: everything the main window and the code
// it calls keep between messages. WinMain makes the one object and hands it
// to CreateWindowExW; the window procedure reaches it through window_state.h
// and passes it on to the handlers, which take it as their first parameter.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "imglib/imglib.h"
#include "viewer/actions/action_list.h"
#include "viewer/dialogs/page_navigator.h"
#include "viewer/windows/histogram_window.h"
#include "viewer/windows/info_window.h"
#include "viewer/logic/dib_render.h"
#include "viewer/logic/view_geometry.h"
#include "viewer/platform/paths.h"

// What holds the current image besides the user interface thread's commands.
enum BusyBit : uint32_t {
    BUSY_MESSAGE_BOX = 1,   // a message or question box is up
    BUSY_OPTION_DIALOG = 2, // a modal option dialog is up
    BUSY_FOLDER_SCAN = 4,   // the folder scan runs
    BUSY_SAVING = 8,        // the save thread runs
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

// The main window's timers.
enum MainWindowTimer : UINT_PTR {
    kSlideshowTimer = 1001, // each tick shows the next image
    kStatusTimer = 1002,    // hides the status tooltip
    kSpinRepeatTimer = 777, // a spin field's arrow repeats (a timer of the spin field)
    kAboutLogoTimer = 6666, // turns the About box's logo (a timer of the box)
};

struct AboutBox;
class SaveThread;

struct MainWindowState {
    // Library and image.
    ILHandle* handle = nullptr; // main handle, start-up until WM_DESTROY
    ILImage image;              // current image
    ILInfo info;                // its source info
    ILColor background;         // effective background colour
    char creator[64] = {};      // "Software" text of saved files
    WCHAR currentPath[kPathUnits] = {};
    WCHAR undoSnapshotName[18] = {}; // "img", up to 10 digits, ".tmp"
    bool undoUnavailable = false;    // the snapshot of this image could not be written

    // Windows and interface objects.
    HINSTANCE instance = nullptr;
    HWND window = nullptr;        // the main window itself
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
    AboutBox* aboutBox = nullptr; // the open About box, null when none (about_box.cpp)
    InfoWindowState infoWindow;
    HistogramWindowState histogramWindow;
    PageNavigatorState pageNavigator;

    // Main-window state.
    BusyFlags busy;
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
    std::deque<std::u16string> queuedPaths; // handed over by WM_COPYDATA, not opened yet

    // Opening and showing images (display).
    DibBuffer display;           // the current image as Windows draws it
    ViewGeometry view;           // display rectangle, zoom and scrolling
    SCROLLINFO hScrollInfo = {}; // last values given to the scroll bars
    SCROLLINFO vScrollInfo = {};
    ActionList history;                // actions of the current image, "Open" first
    ActionList favorites;              // the user's list, kept in "fa.up"
    WCHAR linkTarget[kPathUnits] = {}; // target of an opened shell link
    bool openedThroughLink = false;
    const WCHAR* displayPath = L"NONE"; // link target or current path
    WCHAR displayName[kPathUnits] = {}; // displayPath after its last backslash
    WCHAR loadTimeText[30] = {};        // "(time: ...)" of the last load
    int viewResolutionX = 0;            // pixels per inch, 0 when none
    int viewResolutionY = 0;

    // Saving (save_thread.cpp): the running save, null when none.
    SaveThread* saveThread = nullptr;
};
