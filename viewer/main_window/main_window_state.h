// The main window's state object: the document it shows and its window
// objects, everything the main window and the code it calls keep between
// messages. WinMain makes the one object and hands it to CreateWindowExW; the
// window procedure reaches it through window_state.h and passes it on to the
// handlers, which take it as their first parameter. Dialogs and windows are
// handed the Document part, whose host is this object.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "imglib/imglib.h"
#include "viewer/actions/action_list.h"
#include "viewer/dialogs/page_navigator.h"
#include "viewer/document/document.h"
#include "viewer/logic/dib_render.h"
#include "viewer/logic/view_geometry.h"
#include "viewer/platform/paths.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"
#include "viewer/windows/actions_window.h"
#include "viewer/windows/histogram_window.h"
#include "viewer/windows/info_window.h"

// The main window's timers.
enum MainWindowTimer : UINT_PTR {
    kSlideshowTimer = 1001, // each tick shows the next image
    kStatusTimer = 1002,    // hides the status tooltip
};

struct AboutBox;
class SaveThread;

struct MainWindowState : Document, DocumentHost, ToolDialogHost, ActionsHost {
    // WinMain sets the document's host to the object itself.
    MainWindowState() = default;
    MainWindowState(const MainWindowState&) = delete;
    MainWindowState& operator=(const MainWindowState&) = delete;

    // DocumentHost (main_window.cpp).
    HWND OwnerWindow() const override;
    HWND ToolOwnerWindow() const override;
    HINSTANCE Instance() const override;
    bool ShowsMessages() const override;
    void InfoTextsChanged() override;
    void ResolutionChanged() override;
    void CheckMenuItem(UINT id, bool on) override;
    bool InFullScreen() const override;
    void MouseImagePoint(int* x, int* y) const override;
    void BrowseByWheel(WPARAM wParam) override;
    void AcceptFileDrops(bool on) override;
    void FolderListReleased() override;

    // ToolDialogHost (main_window_host.cpp).
    Document& EditedDocument() override;
    HWND MainWindow() const override;
    HWND ToolDialogWindow() const override;
    void SetToolDialogWindow(HWND dialog) override;
    void RefreshImageView(bool relayout) override;
    void ShowStatus(const char* text) override;
    bool OpenNamedAction(HWND owner, int32_t type, Action* chosen) override;
    bool SaveNamedAction(HWND owner, const Action& action) override;

    // ActionsHost (main_window_host.cpp).
    void ApplyActionList(const ActionList& list) override;
    void ApplyFavorite(const Action& action) override;
    void GoToHistoryEntry(uint32_t target) override;
    void OpenDialogForAction(const Action& action) override;
    // The favourites applied to an image that has just arrived, without the
    // wait cursor and the view's refresh (history_commands.cpp).
    void ApplyFavoritesToNewImage();

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
    AboutBox* aboutBox = nullptr;    // the open About box, null when none (about_box.cpp)
    InfoWindowState infoWindow;
    HistogramWindowState histogramWindow;
    ActionsWindowState actionsWindow;
    PageNavigatorState pageNavigator;

    // Main-window state.
    bool slideshow = false;
    bool fullScreen = false;
    bool panning = false;
    POINT lastMouse = {};
    WINDOWPLACEMENT savedPlacement = {};
    int savedScrollX = 0;
    int savedScrollY = 0;
    int twainSourceCount = 0;
    std::deque<std::u16string> queuedPaths; // handed over by WM_COPYDATA, not opened yet

    // Opening and showing images (display).
    DibBuffer display;           // the current image as Windows draws it
    ViewGeometry view;           // display rectangle, zoom and scrolling
    SCROLLINFO hScrollInfo = {}; // last values given to the scroll bars
    SCROLLINFO vScrollInfo = {};

    // Saving (save_thread.cpp): the running save, null when none.
    SaveThread* saveThread = nullptr;
};
