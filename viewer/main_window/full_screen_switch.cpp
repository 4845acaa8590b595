#include "viewer/main_window/full_screen_switch.h"

#include <windows.h>

#include "resources/commands.h"
#include "viewer/windows/list_window.h"
#include "viewer/main_window/full_screen_frame.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/main_window/option_setters.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/main_window/view.h"
#include "viewer/main_window/tooltips.h"

namespace {

constexpr LONG kFramedStyle = WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL;

void SetStyle(HWND window, LONG style) {
    const LONG visible = GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongW(window, GWL_STYLE, style | visible);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HideScrollBars(MainWindowState& state) {
    ShowScrollBar(state.window, SB_BOTH, FALSE);
    state.view.hBarShown = false;
    state.view.vBarShown = false;
}

} // namespace

void SetFullScreen(MainWindowState& state, bool on) {
    const HWND window = state.window;
    if (on) {
        state.savedPlacement.length = sizeof(WINDOWPLACEMENT);
        GetWindowPlacement(window, &state.savedPlacement);
        state.savedScrollX = state.view.scrollX;
        state.savedScrollY = state.view.scrollY;
        state.fullScreen = true;
        if (g_preferences.windowMode != 1)
            SendMessageW(window, WM_COMMAND, CMD_FULL_SCREEN_STEP, 1);
        SendMessageW(window, WM_COMMAND, CMD_FULL_SCREEN_STEP, 2);
        if (g_preferences.highQualityResizing) EnterFullScreenFrame(state);
        SendMessageW(window, WM_COMMAND, CMD_FULL_SCREEN_STEP, 3);
    } else {
        state.fullScreen = false;
        SetStyle(window, kFramedStyle);
        HideScrollBars(state);
        SetWindowPlacement(window, &state.savedPlacement);
        state.view.scrollX = state.savedScrollX;
        state.view.scrollY = state.savedScrollY;
        LayoutView(state, state.view.zoomLevel, false);
        LeaveFullScreenFrame(state); // and the stretching mode again
    }
    PlaceCaptionTooltip(state);
    ApplyListWindowAlpha(state.listWindow);
    CheckMainMenuItem(state, CMD_FULL_SCREEN, on);
}

void RunFullScreenStep(MainWindowState& state, int step) {
    const HWND window = state.window;
    switch (step) {
        case 1:
            SelectClipRgn(state.mainDC, nullptr);
            HideScrollBars(state);
            break;
        case 2:
            SetStyle(window, WS_POPUP);
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
