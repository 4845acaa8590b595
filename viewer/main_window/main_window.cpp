// The main window (class "Vx"): its creation, close and destruction, painting,
// scrolling and panning, the mouse, dropped files and handed-over paths. The
// procedure is a table of contents; commands go through main_commands.cpp.
#include "viewer/main_window/main_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>

#include "viewer/windows/about_box.h"
#include "viewer/main_window/acquired_image.h"
#include "viewer/main_window/busy_guard.h"
#include "resources/commands.h"
#include "viewer/settings/favorites_file.h"
#include "viewer/main_window/folder_list_view.h"
#include "viewer/main_window/full_screen_frame.h"
#include "viewer/windows/histogram_window.h"
#include "viewer/main_window/history_commands.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/windows/list_window.h"
#include "viewer/logic/open_texts.h"
#include "viewer/logic/text_utils.h"
#include "viewer/main_window/main_commands.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/style/menus.h"
#include "viewer/main_window/open_image.h"
#include "viewer/main_window/option_setters.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/platform/settings_folder.h"
#include "viewer/platform/shell_link.h"
#include "viewer/style/style.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/main_window/twain_acquire.h"
#include "viewer/platform/unix_path.h"
#include "viewer/main_window/view.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_state.h"
#include "viewer/platform/window_utils.h"
#include "viewer/tool_dialogs/tool_dialog.h"

namespace {

constexpr WCHAR kClassName[] = L"Vx";
// Posted to itself after WM_COPYDATA queued a handed-over path.
constexpr UINT kMsgOpenQueuedPath = WM_APP + 1;

// Creation

void OnCreate(MainWindowState& state, HWND window) {
    state.window = window;
    state.background = g_preferences.backgroundColor;
    state.backgroundBrush = CreateSolidBrush(state.background.ToCOLORREF());
    DragAcceptFiles(window, TRUE);
    state.menuResource = LoadMenuW(state.instance, L"Vx");
    state.mainMenu = state.menuResource ? GetSubMenu(state.menuResource, 0) : nullptr;
    state.mainDC = GetDC(window);
    // The sources join the menu before it is made owner-drawn.
    if (LoadTwainManager(window)) BuildAcquireMenu(state);
    if (state.mainMenu) MakeMenuOwnerDrawn(state.mainMenu);
    ApplyStretchMode(state);

    SetUseAlpha(state, g_preferences.useAlpha);
    SetUseBackground(state, g_preferences.useBackground);
    SetDither(state, g_preferences.dither);
    SetMonochromeDither(state, g_preferences.monochromeDither);
    SetMultipageDialog(state, g_preferences.multipageDialog);

    CheckMainMenuItem(state, CMD_FULL_SCREEN, false);
    CheckMainMenuItem(state, CMD_SLIDESHOW, false);
    CheckMainMenuItem(state, CMD_AUTO_FOCUS, g_preferences.autoFocus);
    CheckMainMenuItem(state, CMD_WARNING_MESSAGES, g_preferences.warningMessages);
    CheckMainMenuItem(state, CMD_ASK_IF_CHANGED, g_preferences.askIfChanged);
    CheckMainMenuItem(state, CMD_DIALOG_TIPS, g_preferences.dialogTips);
    CheckMainMenuItem(state, CMD_HIGH_QUALITY_RESIZING, g_preferences.highQualityResizing);
    CheckMainMenuItem(state, CMD_UPSAMPLE_SMALLER, g_preferences.upsampleSmallImages);
    CheckMainMenuItem(state, CMD_STYLE_LIGHT, g_preferences.interfaceStyle == 0);
    CheckMainMenuItem(state, CMD_STYLE_DARK, g_preferences.interfaceStyle == 1);
    CheckMainMenuItem(state, CMD_WHEEL_ZOOM, g_preferences.wheelZoom != 0);
    CheckMainMenuItem(state, CMD_WHEEL_BROWSE, g_preferences.wheelZoom == 0);
    CheckMainMenuItem(state, CMD_UNIT_CM, g_preferences.resolutionUnit == 0);
    CheckMainMenuItem(state, CMD_UNIT_INCH, g_preferences.resolutionUnit == 1);
    // The tool windows are not part of the viewer yet: their checks stay off.
    for (UINT id : {CMD_INFO_WINDOW, CMD_LIST_WINDOW, CMD_HISTOGRAM_WINDOW, CMD_ACTIONS_WINDOW})
        CheckMainMenuItem(state, id, false);
    SetTransitionEffect(state, g_preferences.transitionEffect);
    UpdateModeMenu(state);

    SCROLLINFO empty = {sizeof empty, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 1, 0, 0};
    SetScrollInfo(window, SB_HORZ, &empty, FALSE);
    SetScrollInfo(window, SB_VERT, &empty, FALSE);
    state.view.hBarShown = false;
    state.view.vBarShown = false;
    SetWindowMode(state, g_preferences.windowMode);
}

// Close and destruction

bool OnClose(MainWindowState& state, HWND window) {
    if (state.busy.Has(BUSY_SAVING) || IsToolDialogWorking()) {
        // Completes once the save thread or the tool dialog's worker has
        // posted its completion.
        PostMessageW(window, WM_CLOSE, 0, 0);
        return false;
    }
    if (!ConfirmDiscardChanges(state, DiscardFor::Exit)) return false;
    DragAcceptFiles(window, FALSE);
    SaveListWindowPlacement();
    SavePreferences(window);
    SaveFavorites(state.favorites);
    return true;
}

// Static destructors do not run once a worker thread existed: everything is
// released here.
void OnDestroy(MainWindowState& state) {
    StopFolderScan();
    EmptyFolderList(state);
    CloseAboutBox(state.aboutBox, false);
    LeaveFullScreenFrame(state);
    state.display.Free(); // may share the image's rows: goes first
    ILClearImage(&state.image);
    ILClearInfo(&state.info);
    state.history.Clear();
    state.favorites.Clear();
    DeleteUndoSnapshot(state.undoSnapshotName);
    ILDestroyHandle(state.handle);
    state.handle = nullptr;
    if (state.mainMenu) FreeOwnerDrawnMenu(state.mainMenu);
    if (state.menuResource) DestroyMenu(state.menuResource);
    state.menuResource = state.mainMenu = nullptr;
    if (state.backgroundBrush) DeleteObject(state.backgroundBrush);
    state.backgroundBrush = nullptr;
    DestroyInterfaceStyle();
    ReleaseShellLinkResolver();
    UnloadTwainManager();
    PostQuitMessage(0);
}

// Painting

void OnPaint(const MainWindowState& state, HWND window) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    if (IsFullScreenFrameShown()) {
        PaintFullScreenFrame(dc);
        EndPaint(window, &ps);
        return;
    }
    const ViewGeometry& view = state.view;
    if (!state.display.IsEmpty() && view.displayWidth > 0 && view.displayHeight > 0) {
        state.display.DrawScaled(dc, view.displayLeft, view.displayTop, view.displayWidth,
                                 view.displayHeight);
        ExcludeClipRect(dc, view.displayLeft, view.displayTop, view.displayLeft + view.displayWidth,
                        view.displayTop + view.displayHeight);
    }
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, state.backgroundBrush);
    SelectClipRgn(dc, nullptr);
    EndPaint(window, &ps);
}

// Owner-drawn items: the main window owns only menu items.
void OnDrawItem(const DRAWITEMSTRUCT* item) {
    if (item->CtlType == ODT_MENU) DrawMenuItem(item);
}

void OnMeasureItem(HWND window, MEASUREITEMSTRUCT* item) {
    if (item->CtlType == ODT_MENU) MeasureMenuItem(window, item);
}

// Scrolling and the mouse

int NewScrollPosition(WORD code, int current, int page, int thumb) {
    switch (code) {
        case SB_LINEUP:
            return current - 1;
        case SB_LINEDOWN:
            return current + 1;
        case SB_PAGEUP:
            return current - page;
        case SB_PAGEDOWN:
            return current + page;
        case SB_THUMBTRACK:
            return thumb;
        default:
            return current;
    }
}

// The thumb's position from the bar itself: the message carries only 16
// bits of it, and a zoomed display can be wider than that.
int ThumbTrackPosition(HWND window, int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    return GetScrollInfo(window, bar, &info) ? info.nTrackPos : 0;
}

void OnHScroll(MainWindowState& state, HWND window, WORD code) {
    const ViewGeometry& view = state.view;
    ScrollViewHorizontally(state, NewScrollPosition(code, view.scrollX, view.clientWidth,
                                                    ThumbTrackPosition(window, SB_HORZ)));
}

void OnVScroll(MainWindowState& state, HWND window, WORD code) {
    const ViewGeometry& view = state.view;
    ScrollViewVertically(state, NewScrollPosition(code, view.scrollY, view.clientHeight,
                                                  ThumbTrackPosition(window, SB_VERT)));
}

void OnMouseMove(MainWindowState& state, int x, int y) {
    if (state.panning) {
        ScrollViewHorizontally(state, state.view.scrollX + (state.lastMouse.x - x));
        ScrollViewVertically(state, state.view.scrollY + (state.lastMouse.y - y));
    }
    state.lastMouse = {x, y};
    ProbeMouseMove(state.histogramWindow);
}

void OnLButtonDown(MainWindowState& state, HWND window, int x, int y, WPARAM keys) {
    state.lastMouse = {x, y};
    if (keys & MK_CONTROL) {
        LockProbeAtMouse(state.histogramWindow); // picks the pixel into the Histogram window
        return;
    }
    if (state.view.hBarShown || state.view.vBarShown) {
        SetCapture(window);
        SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
        state.panning = true;
    }
}

void OnLButtonUp(MainWindowState& state) {
    if (!state.panning) return;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ReleaseCapture();
    state.panning = false;
}

// Capture taken away mid-drag (a box, another window): the button-up never
// comes, so the image must stop following the mouse here.
void OnCaptureChanged(MainWindowState& state) {
    state.panning = false;
}

void OnRButtonDown(const MainWindowState& state, HWND window, int x, int y, WPARAM keys) {
    RECT client;
    GetClientRect(window, &client);
    const POINT point = {x, y};
    if (PtInRect(&client, point))
        ShowContextMenu(state, &point, keys & (MK_SHIFT | MK_CONTROL), false);
}

void OnSize(MainWindowState& state, int width, int height) {
    state.view.clientWidth = width;
    state.view.clientHeight = height;
    LayoutView(state, state.view.zoomLevel, false);
}

void OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = 2 * GetSystemMetrics(SM_CXFRAME) + 32;
    info->ptMinTrackSize.y = 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + 32;
}

// The slideshow keeps the screen awake.
bool SwallowsSystemCommand(const MainWindowState& state, WPARAM command) {
    const WPARAM kind = command & 0xFFF0;
    return state.slideshow && (kind == SC_SCREENSAVE || kind == SC_MONITORPOWER);
}

// False for timers that are not the main window's own.
bool OnTimer(const MainWindowState& state, HWND window, UINT_PTR timer) {
    switch (timer) {
        case kSlideshowTimer:
            PostMessageW(window, WM_COMMAND, CMD_NEXT_IMAGE, 0);
            return true;
        case kStatusTimer:
            HideStatusTooltip(state);
            return true;
        default:
            return false;
    }
}

// Paths from outside: dropped files and paths of a second instance

// The one road of every path from outside after the guard: a folder is
// replaced by its first supported file, then the file is opened. False when
// the guard refused.
bool OpenPathFromOutside(MainWindowState& state, const WCHAR* path) {
    if (!BeginImageChange(state, ImageChange::Open, ChangeAsker::User)) return false;
    WCHAR opened[kPathUnits];
    lstrcpynW(opened, path, kPathUnits);
    if (FindFirstImageInFolder(opened) == 0)
        ShowNoImagesInFolder(state, opened);
    else if (opened[0] && OpenImageFile(state, opened, 0))
        ScanFolder(state, state.currentPath, false);
    return true;
}

void FocusAfterHandOver(const MainWindowState& state) {
    if (!g_preferences.autoFocus || state.fullScreen) return;
    if (!RestoreIfMinimised(state.window)) BringToFront(state.window);
}

// A dropped action-list file is applied to the current image.
void OnDroppedActionList(MainWindowState& state, const WCHAR* path) {
    if (!state.image.data) {
        WCHAR text[64];
        CopyToWide(DroppedActionListError(false), text);
        ShowError(state, text);
        return;
    }
    ApplyActionListFile(state, ToLibraryPath(path).c_str());
}

void OnDropFiles(MainWindowState& state, HDROP drop) {
    // A name longer than the path buffer is not cut into another file's name.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    WCHAR path[kPathUnits] = {};
    if (length > 0 && length < kPathUnits) DragQueryFileW(drop, 0, path, kPathUnits);
    DragFinish(drop);
    if (!path[0]) return;
    if (IsActionListFile(ToU16(path))) {
        OnDroppedActionList(state, path);
        return;
    }
    OpenPathFromOutside(state, path);
    if (g_preferences.autoFocus) BringToFront(state.window);
}

void OnOpenPathAtom(MainWindowState& state, ATOM atom) {
    WCHAR path[kPathUnits] = {};
    GlobalGetAtomNameW(atom, path, kPathUnits);
    GlobalDeleteAtom(atom);
    OpenHandedOverPath(state, path);
}

// A second instance's path that did not fit into an atom.
bool OnCopyData(MainWindowState& state, HWND window, const COPYDATASTRUCT* data) {
    if (!data || data->dwData != kCopyDataOpenPath || !data->lpData) return false;
    const size_t units = data->cbData / sizeof(WCHAR);
    if (units == 0 || units > kPathUnits) return false;
    const auto* text = static_cast<const WCHAR*>(data->lpData);
    std::u16string path;
    for (size_t i = 0; i < units && text[i]; ++i)
        path.push_back(static_cast<char16_t>(text[i]));
    // Empty, or without a terminator inside the viewer's path size: opening
    // it cut would open another file.
    if (path.empty() || path.size() >= kPathUnits) return false;
    state.queuedPaths.push_back(std::move(path));
    PostMessageW(window, kMsgOpenQueuedPath, 0, 0);
    return true;
}

void OnOpenQueuedPath(MainWindowState& state) {
    // Opening waits while the folder of the last image is listed: the path
    // stays queued until the scan has finished, instead of being dropped.
    if (state.queuedPaths.empty() || state.busy.Has(BUSY_FOLDER_SCAN)) return;
    WCHAR path[kPathUnits];
    CopyToWide(state.queuedPaths.front(), path);
    state.queuedPaths.pop_front();
    OpenHandedOverPath(state, path);
}

// Creation asks for the size limits before the state is attached.
LRESULT MainWindowEarlyMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_GETMINMAXINFO) return DefWindowProcW(window, message, wParam, lParam);
    OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
    return 0;
}

LRESULT MainWindowMessage(MainWindowState& state, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(state, window);
            return 0;
        case WM_CLOSE:
            if (OnClose(state, window)) break;
            return 0;
        case WM_DESTROY:
            OnDestroy(state);
            return 0;
        case WM_MOVE:
            MoveStatusTooltip(state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_SIZE:
            OnSize(state, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_PAINT:
            OnPaint(state, window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_DRAWITEM:
            OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return 1;
        case WM_MEASUREITEM:
            OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return 1;
        case WM_DISPLAYCHANGE:
            CloseAboutBox(state.aboutBox, false);
            SetInterfaceStyle(g_preferences.interfaceStyle);
            RefitFullScreenFrame(state);
            if (state.toolDialogWindow) InvalidateWindowTree(state.toolDialogWindow);
            break;
        case WM_SYSCOMMAND:
            if (SwallowsSystemCommand(state, wParam)) return 0;
            break;
        case WM_TIMER:
            if (OnTimer(state, window, wParam)) return 0;
            break;
        case WM_HSCROLL:
            OnHScroll(state, window, LOWORD(wParam));
            return 0;
        case WM_VSCROLL:
            OnVScroll(state, window, LOWORD(wParam));
            return 0;
        case WM_INITMENUPOPUP:
            UpdateMainMenuStates(state, IsCommandBuilt);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(state, window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp(state);
            return 0;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(state);
            return 0;
        case WM_LBUTTONDBLCLK:
            PostMessageW(window, WM_COMMAND, CMD_FULL_SCREEN, 0);
            return 0;
        case WM_RBUTTONDOWN:
            OnRButtonDown(state, window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
            return 0;
        case WM_MBUTTONDOWN:
            SetWheelMode(state, g_preferences.wheelZoom ? 0 : 1);
            return 0;
        case WM_MOUSELEAVE:
            ProbeMouseLeave(state.histogramWindow);
            return 0;
        case WM_MOUSEWHEEL:
            OnMouseWheel(state, wParam, false);
            return 0;
        case WM_DROPFILES:
            OnDropFiles(state, reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_COMMAND:
            if (!DispatchCommand(state, LOWORD(wParam), lParam)) break;
            if (LOWORD(wParam) == CMD_FOLDER_SCAN_FINISHED && !state.queuedPaths.empty())
                PostMessageW(window, kMsgOpenQueuedPath, 0, 0);
            return 0;
        case WM_COPYDATA:
            return OnCopyData(state, window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case MSG_OPEN_PATH_ATOM:
            OnOpenPathAtom(state, static_cast<ATOM>(wParam));
            return 0;
        case kMsgOpenQueuedPath:
            OnOpenQueuedPath(state);
            return 0;
        case kMsgHistoryEntry:
            OnHistoryEntry(state, reinterpret_cast<Action*>(lParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = WindowProcOf<MainWindowState, MainWindowMessage, MainWindowEarlyMessage>;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"Vx");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

HWND CreateMainWindow(MainWindowState& state) {
    return CreateWindowExW(
        0, kClassName, L"Vx - Version 1.1.7", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
        g_preferences.mainWindowX, g_preferences.mainWindowY, g_preferences.mainWindowWidth,
        g_preferences.mainWindowHeight, nullptr, nullptr, state.instance, &state);
}

void OpenHandedOverPath(MainWindowState& state, const WCHAR* path) {
    if (OpenPathFromOutside(state, path)) FocusAfterHandOver(state);
}

void OnMouseWheel(MainWindowState& state, WPARAM wParam, bool browseOnly) {
    const short delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) return;
    if (!g_preferences.wheelZoom || browseOnly) {
        PostMessageW(state.window, WM_COMMAND, delta < 0 ? CMD_NEXT_IMAGE : CMD_PREVIOUS_IMAGE, 0);
        return;
    }
    ZoomView(state, delta > 0 ? 1 : -1, (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0);
}
