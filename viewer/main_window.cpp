// The main window (class "Vx"): its creation, close and destruction, painting,
// scrolling and panning, the mouse, dropped files and handed-over paths. The
// procedure is a table of contents; commands go through main_commands.cpp.
#include "viewer/main_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <exempi/xmp.h>

#include <deque>
#include <string>

#include "viewer/busy_guard.h"
#include "viewer/commands.h"
#include "viewer/display_bitmap.h"
#include "viewer/library_messages.h"
#include "viewer/logic/text_utils.h"
#include "viewer/main_commands.h"
#include "viewer/menus.h"
#include "viewer/open_image.h"
#include "viewer/preferences_file.h"
#include "viewer/settings_folder.h"
#include "viewer/shell_link.h"
#include "viewer/style.h"
#include "viewer/view.h"
#include "viewer/viewer_state.h"
#include "viewer/wide_text.h"

namespace {

constexpr UINT_PTR kSlideshowTimer = 1001;
constexpr UINT_PTR kStatusTimer = 1002;
// Posted to itself after WM_COPYDATA queued a handed-over path.
constexpr UINT kMsgOpenQueuedPath = WM_APP + 1;

// Paths handed over with WM_COPYDATA, opened once the sender has returned.
std::deque<std::u16string> g_queuedPaths;

// Creation

void OnCreate(HWND window) {
    g_viewer.mainWindow = window;
    g_viewer.background = g_preferences.backgroundColor;
    g_viewer.backgroundBrush = CreateSolidBrush(g_viewer.background.ToCOLORREF());
    DragAcceptFiles(window, TRUE);
    g_viewer.menuResource = LoadMenuW(g_viewer.instance, L"Vx");
    g_viewer.mainMenu = g_viewer.menuResource ? GetSubMenu(g_viewer.menuResource, 0) : nullptr;
    g_viewer.mainDC = GetDC(window);
    // No TWAIN sources are listed yet: "Acquire" keeps no submenu.
    if (g_viewer.mainMenu) MakeMenuOwnerDrawn(g_viewer.mainMenu);
    ApplyStretchMode();

    SetUseAlpha(g_preferences.useAlpha);
    SetUseBackground(g_preferences.useBackground);
    SetDither(g_preferences.dither);
    SetMonochromeDither(g_preferences.monochromeDither);
    SetMultipageDialog(g_preferences.multipageDialog);

    CheckMainMenuItem(CMD_FULL_SCREEN, false);
    CheckMainMenuItem(CMD_SLIDESHOW, false);
    CheckMainMenuItem(CMD_AUTO_FOCUS, g_preferences.autoFocus);
    CheckMainMenuItem(CMD_WARNING_MESSAGES, g_preferences.warningMessages);
    CheckMainMenuItem(CMD_ASK_IF_CHANGED, g_preferences.askIfChanged);
    CheckMainMenuItem(CMD_DIALOG_TIPS, g_preferences.dialogTips);
    CheckMainMenuItem(CMD_HIGH_QUALITY_RESIZING, g_preferences.highQualityResizing);
    CheckMainMenuItem(CMD_UPSAMPLE_SMALLER, g_preferences.upsampleSmallImages);
    CheckMainMenuItem(CMD_STYLE_LIGHT, g_preferences.interfaceStyle == 0);
    CheckMainMenuItem(CMD_STYLE_DARK, g_preferences.interfaceStyle == 1);
    CheckMainMenuItem(CMD_WHEEL_ZOOM, g_preferences.wheelZoom != 0);
    CheckMainMenuItem(CMD_WHEEL_BROWSE, g_preferences.wheelZoom == 0);
    CheckMainMenuItem(CMD_UNIT_CM, g_preferences.resolutionUnit == 0);
    CheckMainMenuItem(CMD_UNIT_INCH, g_preferences.resolutionUnit == 1);
    // The tool windows are not part of the viewer yet: their checks stay off.
    for (UINT id : {CMD_INFO_WINDOW, CMD_LIST_WINDOW, CMD_HISTOGRAM_WINDOW, CMD_ACTIONS_WINDOW})
        CheckMainMenuItem(id, false);
    SetTransitionEffect(g_preferences.transitionEffect);
    UpdateModeMenu();

    SCROLLINFO empty = {sizeof empty, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 1, 0, 0};
    SetScrollInfo(window, SB_HORZ, &empty, FALSE);
    SetScrollInfo(window, SB_VERT, &empty, FALSE);
    g_viewer.view.hBarShown = false;
    g_viewer.view.vBarShown = false;
    SetWindowMode(g_preferences.windowMode);
}

// Close and destruction

bool OnClose(HWND window) {
    if (IsBusy(BUSY_SAVING)) {
        // Completes once the save thread has posted its completion.
        PostMessageW(window, WM_CLOSE, 0, 0);
        return false;
    }
    if (!ConfirmDiscardChanges(false)) return false;
    DragAcceptFiles(window, FALSE);
    SavePreferences();
    return true;
}

// Static destructors do not run once a worker thread existed: everything is
// released here.
void OnDestroy() {
    g_viewer.display.Free(); // may share the image's rows: goes first
    ILClearImage(&g_viewer.image);
    ILClearInfo(&g_viewer.info);
    g_viewer.history.Clear();
    xmp_terminate();
    DeleteUndoSnapshot();
    ILDestroyHandle(g_viewer.handle);
    g_viewer.handle = nullptr;
    if (g_viewer.mainMenu) FreeOwnerDrawnMenu(g_viewer.mainMenu);
    if (g_viewer.menuResource) DestroyMenu(g_viewer.menuResource);
    g_viewer.menuResource = g_viewer.mainMenu = nullptr;
    if (g_viewer.backgroundBrush) DeleteObject(g_viewer.backgroundBrush);
    g_viewer.backgroundBrush = nullptr;
    DestroyInterfaceStyle();
    ReleaseShellLinkResolver();
    PostQuitMessage(0);
}

// Painting

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    const ViewGeometry& view = g_viewer.view;
    if (!g_viewer.display.IsEmpty() && view.displayWidth > 0 && view.displayHeight > 0) {
        g_viewer.display.DrawScaled(dc, view.displayLeft, view.displayTop, view.displayWidth,
                                    view.displayHeight);
        ExcludeClipRect(dc, view.displayLeft, view.displayTop, view.displayLeft + view.displayWidth,
                        view.displayTop + view.displayHeight);
    }
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, g_viewer.backgroundBrush);
    SelectClipRgn(dc, nullptr);
    EndPaint(window, &ps);
}

// Owner-drawn items: the main window owns only menu items.
void OnDrawItem(DRAWITEMSTRUCT* item) {
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

void OnHScroll(HWND window, WPARAM wParam) {
    const ViewGeometry& view = g_viewer.view;
    ScrollViewHorizontally(NewScrollPosition(LOWORD(wParam), view.scrollX, view.clientWidth,
                                             ThumbTrackPosition(window, SB_HORZ)));
}

void OnVScroll(HWND window, WPARAM wParam) {
    const ViewGeometry& view = g_viewer.view;
    ScrollViewVertically(NewScrollPosition(LOWORD(wParam), view.scrollY, view.clientHeight,
                                           ThumbTrackPosition(window, SB_VERT)));
}

void OnMouseMove(int x, int y) {
    if (g_viewer.panning) {
        ScrollViewHorizontally(g_viewer.view.scrollX + (g_viewer.lastMouse.x - x));
        ScrollViewVertically(g_viewer.view.scrollY + (g_viewer.lastMouse.y - y));
    }
    g_viewer.lastMouse = {x, y};
}

void OnLButtonDown(HWND window, int x, int y, WPARAM keys) {
    g_viewer.lastMouse = {x, y};
    if (keys & MK_CONTROL) return; // picks a pixel into the Histogram window, which comes later
    if (g_viewer.view.hBarShown || g_viewer.view.vBarShown) {
        SetCapture(window);
        SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
        g_viewer.panning = true;
    }
}

void OnLButtonUp() {
    if (!g_viewer.panning) return;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ReleaseCapture();
    g_viewer.panning = false;
}

void OnRButtonDown(HWND window, int x, int y, WPARAM keys) {
    RECT client;
    GetClientRect(window, &client);
    const POINT point = {x, y};
    if (PtInRect(&client, point)) ShowContextMenu(&point, keys & (MK_SHIFT | MK_CONTROL), false);
}

void OnSize(int width, int height) {
    g_viewer.view.clientWidth = width;
    g_viewer.view.clientHeight = height;
    LayoutView(g_viewer.view.zoomLevel, false);
}

void OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = 2 * GetSystemMetrics(SM_CXFRAME) + 32;
    info->ptMinTrackSize.y = 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + 32;
}

void OnTimer(HWND window, UINT_PTR timer) {
    if (timer == kSlideshowTimer)
        PostMessageW(window, WM_COMMAND, CMD_NEXT_IMAGE, 0);
    else if (timer == kStatusTimer)
        HideStatusTooltip();
}

// Paths from outside: dropped files and paths of a second instance

void FocusAfterHandOver() {
    if (!g_preferences.autoFocus || g_viewer.fullScreen) return;
    if (!RestoreMainWindow()) BringMainWindowToFront();
}

void OnDropFiles(HDROP drop) {
    // A name longer than the path buffer is not cut into another file's name.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    WCHAR path[kPathUnits] = {};
    if (length > 0 && length < kPathUnits) DragQueryFileW(drop, 0, path, kPathUnits);
    DragFinish(drop);
    if (!path[0]) return;
    // Action lists are applied through the Actions window, which comes later.
    if (IsActionListFile(ToU16(path))) return;
    if (BeginImageChange(false, true, CHANGE_OPEN)) OpenPathFromOutside(path);
    if (g_preferences.autoFocus) BringMainWindowToFront();
}

void OnOpenPathAtom(ATOM atom) {
    if (BeginImageChange(false, true, CHANGE_OPEN)) {
        WCHAR path[kPathUnits] = {};
        if (GlobalGetAtomNameW(atom, path, kPathUnits) > 0) OpenPathFromOutside(path);
        FocusAfterHandOver();
    }
    GlobalDeleteAtom(atom);
}

// A second instance's path that did not fit into an atom.
bool OnCopyData(HWND window, const COPYDATASTRUCT* data) {
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
    g_queuedPaths.push_back(std::move(path));
    PostMessageW(window, kMsgOpenQueuedPath, 0, 0);
    return true;
}

void OnOpenQueuedPath() {
    if (g_queuedPaths.empty()) return;
    const std::u16string path = std::move(g_queuedPaths.front());
    g_queuedPaths.pop_front();
    if (BeginImageChange(false, true, CHANGE_OPEN)) {
        WCHAR wide[kPathUnits];
        CopyToWide(path, wide);
        OpenPathFromOutside(wide);
        FocusAfterHandOver();
    }
}

} // namespace

void OpenHandedOverPath(const WCHAR* path) {
    if (!BeginImageChange(false, true, CHANGE_OPEN)) return;
    WCHAR copy[kPathUnits];
    lstrcpynW(copy, path, kPathUnits);
    OpenPathFromOutside(copy);
    FocusAfterHandOver();
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_CLOSE:
            if (OnClose(window)) break;
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_MOVE:
            MoveStatusTooltip(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_DRAWITEM:
            OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return 1;
        case WM_MEASUREITEM:
            OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return 1;
        case WM_DISPLAYCHANGE:
            SetInterfaceStyle(g_preferences.interfaceStyle);
            break;
        case WM_SYSCOMMAND:
            if (g_viewer.slideshow &&
                ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER))
                return 0;
            break;
        case WM_TIMER:
            if (wParam != kSlideshowTimer && wParam != kStatusTimer) break;
            OnTimer(window, wParam);
            return 0;
        case WM_HSCROLL:
            OnHScroll(window, wParam);
            return 0;
        case WM_VSCROLL:
            OnVScroll(window, wParam);
            return 0;
        case WM_INITMENUPOPUP:
            OnInitMenuPopup();
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp();
            return 0;
        case WM_CAPTURECHANGED:
            // Capture taken away mid-drag (a box, another window): the button-up
            // never comes, so the image must stop following the mouse here.
            g_viewer.panning = false;
            return 0;
        case WM_LBUTTONDBLCLK:
            PostMessageW(window, WM_COMMAND, CMD_FULL_SCREEN, 0);
            return 0;
        case WM_RBUTTONDOWN:
            OnRButtonDown(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
            return 0;
        case WM_MBUTTONDOWN:
            SetWheelMode(g_preferences.wheelZoom ? 0 : 1);
            return 0;
        case WM_MOUSEWHEEL:
            OnMouseWheel(wParam, false);
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_COMMAND:
            if (DispatchCommand(LOWORD(wParam), lParam)) return 0;
            break;
        case WM_COPYDATA:
            return OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE
                                                                                       : FALSE;
        case MSG_OPEN_PATH_ATOM:
            OnOpenPathAtom(static_cast<ATOM>(wParam));
            return 0;
        case kMsgOpenQueuedPath:
            OnOpenQueuedPath();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Small operations on the main window

void EnableFileDrop() {
    DragAcceptFiles(g_viewer.mainWindow, TRUE);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void DisableFileDrop() {
    DragAcceptFiles(g_viewer.mainWindow, FALSE);
}

void BringMainWindowToFront() {
    const DWORD self = GetCurrentThreadId();
    const DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const bool attach = front != 0 && front != self;
    if (attach) AttachThreadInput(self, front, TRUE);
    SetForegroundWindow(g_viewer.mainWindow);
    SetFocus(g_viewer.mainWindow);
    if (attach) AttachThreadInput(self, front, FALSE);
}

bool RestoreMainWindow() {
    if (!IsIconic(g_viewer.mainWindow)) return false;
    ShowWindow(g_viewer.mainWindow, SW_RESTORE);
    return true;
}

void OnMouseWheel(WPARAM wParam, bool browseOnly) {
    const short delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) return;
    if (!g_preferences.wheelZoom || browseOnly) {
        PostMessageW(g_viewer.mainWindow, WM_COMMAND,
                     delta < 0 ? CMD_NEXT_IMAGE : CMD_PREVIOUS_IMAGE, 0);
        return;
    }
    ZoomView(delta > 0 ? 1 : -1, (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0);
}
