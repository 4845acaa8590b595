#include "viewer/full_screen_switch.h"

#include <windows.h>

#include "viewer/commands.h"
#include "viewer/main_window.h"
#include "viewer/preferences_file.h"
#include "viewer/view.h"
#include "viewer/viewer_state.h"

namespace {

constexpr LONG kFramedStyle = WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL;

void SetStyle(LONG style) {
    const HWND window = g_viewer.mainWindow;
    const LONG visible = GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongW(window, GWL_STYLE, style | visible);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HideScrollBars() {
    ShowScrollBar(g_viewer.mainWindow, SB_BOTH, FALSE);
    g_viewer.view.hBarShown = false;
    g_viewer.view.vBarShown = false;
}

} // namespace

void SetFullScreen(bool on) {
    const HWND window = g_viewer.mainWindow;
    if (on) {
        g_viewer.savedPlacement.length = sizeof(WINDOWPLACEMENT);
        GetWindowPlacement(window, &g_viewer.savedPlacement);
        g_viewer.savedScrollX = g_viewer.view.scrollX;
        g_viewer.savedScrollY = g_viewer.view.scrollY;
        g_viewer.fullScreen = true;
        if (g_preferences.windowMode != 1)
            SendMessageW(window, WM_COMMAND, CMD_FULL_SCREEN_STEP, 1);
        SendMessageW(window, WM_COMMAND, CMD_FULL_SCREEN_STEP, 2);
        SendMessageW(window, WM_COMMAND, CMD_FULL_SCREEN_STEP, 3);
    } else {
        g_viewer.fullScreen = false;
        SetStyle(kFramedStyle);
        HideScrollBars();
        SetWindowPlacement(window, &g_viewer.savedPlacement);
        g_viewer.view.scrollX = g_viewer.savedScrollX;
        g_viewer.view.scrollY = g_viewer.savedScrollY;
        LayoutView(g_viewer.view.zoomLevel, false);
        ApplyStretchMode();
    }
    PlaceCaptionTooltip();
    CheckMainMenuItem(CMD_FULL_SCREEN, on);
}

void RunFullScreenStep(int step) {
    const HWND window = g_viewer.mainWindow;
    switch (step) {
        case 1:
            SelectClipRgn(g_viewer.mainDC, nullptr);
            HideScrollBars();
            break;
        case 2:
            SetStyle(WS_POPUP);
            InvalidateRect(window, nullptr, TRUE);
            break;
        case 3: {
            // Without a window manager Wine does not move a pop-up that is
            // maximised: it gets the monitor's rectangle first.
            MONITORINFO monitor = {};
            monitor.cbSize = sizeof monitor;
            if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
                const RECT& m = monitor.rcMonitor;
                SetWindowPos(window, nullptr, m.left, m.top, m.right - m.left, m.bottom - m.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            }
            ShowWindow(window, SW_SHOWMAXIMIZED);
            break;
        }
        default:
            break;
    }
}
