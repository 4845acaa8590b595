#include "viewer/controls/dialog_tips.h"

#include <commctrl.h>

HWND CreateToolTipWindow() {
    const HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                         nullptr, nullptr, nullptr, nullptr);
    if (tooltip)
        SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return tooltip;
}

bool AddToolTip(HWND tooltip, HWND window, const RECT& rect, const char* text) {
    if (!tooltip) return false;
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = 0;
    tool.rect = rect;
    tool.lpszText = const_cast<char*>(text);
    if (!SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) return false;
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 360);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, 1500);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 5000);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_RESHOW, 2000);
    SendMessageW(tooltip, TTM_SETTIPBKCOLOR, 0xE8E8E8, 0);
    SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, 0x000000, 0);
    return true;
}
