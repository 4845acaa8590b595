// The main window's two tooltips: the balloon over the caption's corner that
// sums up the image, and the tracking status tooltip at the client's corner.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "viewer/logic/image_summary.h"
#include "viewer/main_window.h"
#include "viewer/preferences_file.h"
#include "viewer/style.h"
#include "viewer/viewer_state.h"
#include "viewer/window_utils.h"

namespace {

constexpr UINT_PTR kStatusTimer = 1002;
constexpr UINT kStatusHideMs = 1250;
constexpr COLORREF kTipBackground = 0xF0F0F0;
constexpr COLORREF kTipText = 0x101010;

TTTOOLINFOW ToolInfo(UINT id) {
    TTTOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.hwnd = g_viewer.mainWindow;
    info.uId = id;
    return info;
}

HWND CreateTip(HINSTANCE instance, HWND owner, DWORD style, int maxWidth) {
    const HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | style, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                     instance, nullptr);
    if (!tip) return nullptr;
    SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, maxWidth);
    SendMessageW(tip, TTM_SETTIPBKCOLOR, kTipBackground, 0);
    SendMessageW(tip, TTM_SETTIPTEXTCOLOR, kTipText, 0);
    SendMessageW(tip, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont), FALSE);
    return tip;
}

} // namespace

void CreateTooltips(HINSTANCE instance, HWND mainWindow) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    g_viewer.captionTooltip = CreateTip(instance, mainWindow, TTS_BALLOON, 360);
    if (g_viewer.captionTooltip) {
        lstrcpyW(g_viewer.captionTooltipText, L"No image");
        TTTOOLINFOW info = ToolInfo(0);
        info.uFlags = TTF_SUBCLASS;
        info.lpszText = g_viewer.captionTooltipText;
        SendMessageW(g_viewer.captionTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        SendMessageW(g_viewer.captionTooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 250);
        PlaceCaptionTooltip();
    }

    g_viewer.statusTooltip = CreateTip(instance, mainWindow, 0, 200);
    if (g_viewer.statusTooltip) {
        TTTOOLINFOW info = ToolInfo(1);
        info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
        info.lpszText = const_cast<WCHAR*>(L"");
        SendMessageW(g_viewer.statusTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void PlaceCaptionTooltip() {
    if (!g_viewer.captionTooltip) return;
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    TTTOOLINFOW info = ToolInfo(0);
    info.rect = g_viewer.fullScreen ? RECT{0, 0, caption, caption} : RECT{0, -caption, caption, 0};
    SendMessageW(g_viewer.captionTooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void UpdateTitleAndTooltip() {
    const bool hasImage = g_viewer.image.data != nullptr;
    if (hasImage) {
        SetWindowTextW(g_viewer.mainWindow, g_viewer.windowTitle);
        const std::string mode = FormatModeName(g_viewer.image.type);
        const std::string alpha =
            FormatAlphaState(g_viewer.image.type, g_preferences.useAlpha != 0);
        char text[200];
        wsprintfA(text, "Size: %i x %i pixel \n\rMode: %s  %s",
                  static_cast<int>(g_viewer.image.width), static_cast<int>(g_viewer.image.height),
                  mode.c_str(), alpha.c_str());
        MultiByteToWideChar(CP_ACP, 0, text, -1, g_viewer.captionTooltipText, 200);
    } else {
        SetWindowTextW(g_viewer.mainWindow, L"Vx - Version 1.1.7");
        lstrcpyW(g_viewer.captionTooltipText, L"no image");
    }
    if (!g_viewer.captionTooltip) return;
    SendMessageW(g_viewer.captionTooltip, TTM_SETTITLEW, hasImage ? TTI_INFO : TTI_NONE,
                 reinterpret_cast<LPARAM>(hasImage ? g_viewer.windowTitle : L""));
    TTTOOLINFOW info = ToolInfo(0);
    info.lpszText = g_viewer.captionTooltipText;
    SendMessageW(g_viewer.captionTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ShowStatusTooltip(const char* text, bool autoHide) {
    if (!g_viewer.statusTooltip) return;
    RECT window;
    GetWindowRect(g_viewer.mainWindow, &window);
    int x = window.left;
    int y = window.top;
    if (!g_viewer.fullScreen) {
        x += WindowBorderWidth();
        y += WindowCaptionOffset();
    }
    WCHAR wide[200];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 200);
    wide[199] = 0;
    TTTOOLINFOW info = ToolInfo(1);
    info.lpszText = wide;
    SendMessageW(g_viewer.statusTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    MoveStatusTooltip(x, y);
    SendMessageW(g_viewer.statusTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
    if (autoHide) SetTimer(g_viewer.mainWindow, kStatusTimer, kStatusHideMs, nullptr);
}

void HideStatusTooltip() {
    if (g_viewer.statusTooltip) {
        TTTOOLINFOW info = ToolInfo(1);
        SendMessageW(g_viewer.statusTooltip, TTM_TRACKACTIVATE, FALSE,
                     reinterpret_cast<LPARAM>(&info));
    }
    KillTimer(g_viewer.mainWindow, kStatusTimer);
}

void MoveStatusTooltip(int x, int y) {
    if (g_viewer.statusTooltip)
        SendMessageW(g_viewer.statusTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
}

void ShowOptionToggled(const char* name, bool on) {
    char text[200];
    wsprintfA(text, "%s turned %s", name, on ? "on" : "off");
    ShowStatusTooltip(text, true);
}
