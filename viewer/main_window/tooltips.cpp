// The main window's two tooltips: the balloon over the caption's corner that
// sums up the image, and the tracking status tooltip at the client's corner.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "viewer/logic/image_summary.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/main_window/main_window_state.h"
#include "viewer/platform/window_utils.h"

namespace {

constexpr UINT kStatusHideMs = 1250;
constexpr COLORREF kTipBackground = 0xF0F0F0;
constexpr COLORREF kTipText = 0x101010;

TTTOOLINFOW ToolInfo(const MainWindowState& state, UINT id) {
    TTTOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.hwnd = state.window;
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

void CreateTooltips(MainWindowState& state) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    state.captionTooltip = CreateTip(state.instance, state.window, TTS_BALLOON, 360);
    if (state.captionTooltip) {
        lstrcpyW(state.captionTooltipText, L"No image");
        TTTOOLINFOW info = ToolInfo(state, 0);
        info.uFlags = TTF_SUBCLASS;
        info.lpszText = state.captionTooltipText;
        SendMessageW(state.captionTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        SendMessageW(state.captionTooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 250);
        PlaceCaptionTooltip(state);
    }

    state.statusTooltip = CreateTip(state.instance, state.window, 0, 200);
    if (state.statusTooltip) {
        TTTOOLINFOW info = ToolInfo(state, 1);
        info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
        info.lpszText = const_cast<WCHAR*>(L"");
        SendMessageW(state.statusTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void PlaceCaptionTooltip(const MainWindowState& state) {
    if (!state.captionTooltip) return;
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    TTTOOLINFOW info = ToolInfo(state, 0);
    info.rect = state.fullScreen ? RECT{0, 0, caption, caption} : RECT{0, -caption, caption, 0};
    SendMessageW(state.captionTooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void UpdateTitleAndTooltip(MainWindowState& state) {
    const bool hasImage = state.image.data != nullptr;
    if (hasImage) {
        SetWindowTextW(state.window, state.windowTitle);
        const std::string mode = FormatModeName(state.image.type);
        const std::string alpha = FormatAlphaState(state.image.type, g_preferences.useAlpha != 0);
        char text[200];
        wsprintfA(text, "Size: %i x %i pixel \n\rMode: %s  %s", static_cast<int>(state.image.width),
                  static_cast<int>(state.image.height), mode.c_str(), alpha.c_str());
        MultiByteToWideChar(CP_ACP, 0, text, -1, state.captionTooltipText, 200);
    } else {
        SetWindowTextW(state.window, L"Vx - Version 1.1.7");
        lstrcpyW(state.captionTooltipText, L"no image");
    }
    if (!state.captionTooltip) return;
    SendMessageW(state.captionTooltip, TTM_SETTITLEW, hasImage ? TTI_INFO : TTI_NONE,
                 reinterpret_cast<LPARAM>(hasImage ? state.windowTitle : L""));
    TTTOOLINFOW info = ToolInfo(state, 0);
    info.lpszText = state.captionTooltipText;
    SendMessageW(state.captionTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ShowStatusTooltip(const MainWindowState& state, const char* text, bool autoHide) {
    if (!state.statusTooltip) return;
    RECT window;
    GetWindowRect(state.window, &window);
    int x = window.left;
    int y = window.top;
    if (!state.fullScreen) {
        x += WindowBorderWidth();
        y += WindowCaptionOffset();
    }
    WCHAR wide[200];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 200);
    wide[199] = 0;
    TTTOOLINFOW info = ToolInfo(state, 1);
    info.lpszText = wide;
    SendMessageW(state.statusTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    MoveStatusTooltip(state, x, y);
    SendMessageW(state.statusTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
    if (autoHide) SetTimer(state.window, kStatusTimer, kStatusHideMs, nullptr);
}

void HideStatusTooltip(const MainWindowState& state) {
    if (state.statusTooltip) {
        TTTOOLINFOW info = ToolInfo(state, 1);
        SendMessageW(state.statusTooltip, TTM_TRACKACTIVATE, FALSE,
                     reinterpret_cast<LPARAM>(&info));
    }
    KillTimer(state.window, kStatusTimer);
}

void MoveStatusTooltip(const MainWindowState& state, int x, int y) {
    if (state.statusTooltip)
        SendMessageW(state.statusTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
}

void ShowOptionToggled(const MainWindowState& state, const char* name, bool on) {
    char text[200];
    wsprintfA(text, "%s turned %s", name, on ? "on" : "off");
    ShowStatusTooltip(state, text, true);
}
