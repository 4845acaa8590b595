#include "viewer/windows/tool_window.h"

#include "viewer/controls/control_drawing.h"
#include "viewer/controls/list_box.h"
#include "viewer/document/document.h"
#include "viewer/logic/preferences.h"
#include "viewer/logic/window_placement.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_utils.h"

namespace {

// The stored position kept on the screen; a window never placed yet opens
// beside the main window, not over the image.
RECT PlacedRect(const ToolWindow& tool, int clientHeight) {
    const int width = kToolWindowWidth + ToolWindowFrameWidth();
    const int height = clientHeight + ToolWindowFrameHeight();
    if (*tool.xPosition == kDefaultWindowPosition || *tool.yPosition == kDefaultWindowPosition) {
        RECT owner = {};
        GetWindowRect(tool.document->host->OwnerWindow(), &owner);
        const ScreenRect placed = PlaceBeside({owner.left, owner.top, owner.right, owner.bottom},
                                              width, height, WorkArea());
        return {placed.left, placed.top, placed.right, placed.bottom};
    }
    const int x = FitToScreenX(*tool.xPosition, width);
    const int y = FitToScreenY(*tool.yPosition, height);
    return {x, y, x + width, y + height};
}

void OnMove(const ToolWindow& tool, HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    *tool.xPosition = rect.left;
    *tool.yPosition = rect.top;
}

} // namespace

bool CreateToolWindow(ToolWindow& tool, Document& document, const WCHAR* caption, int32_t* x,
                      int32_t* y, int clientHeight, WNDPROC procedure, void* state) {
    if (tool.window) return false;
    tool.document = &document;
    tool.xPosition = x;
    tool.yPosition = y;
    const RECT rect = PlacedRect(tool, clientHeight);
    const HWND window =
        CreateWindowExW(WS_EX_LAYERED | WS_EX_CONTROLPARENT | WS_EX_TOOLWINDOW, L"VxTool", caption,
                        WS_POPUPWINDOW | WS_DLGFRAME, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, document.host->OwnerWindow(), nullptr,
                        document.host->Instance(), nullptr);
    if (!window) return false;
    tool.window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    return true;
}

void ApplyToolWindowAlpha(const ToolWindow& tool) {
    if (!tool.window) return;
    SetLayeredWindowAttributes(tool.window, 0, tool.document->host->InFullScreen() ? 220 : 255,
                               LWA_ALPHA);
}

void ShowToolWindow(const ToolWindow& tool) {
    ApplyToolWindowAlpha(tool);
    ShowWindow(tool.window, SW_SHOWNA);
}

void DestroyToolWindow(ToolWindow& tool) {
    if (!tool.window) return;
    const HWND window = tool.window;
    tool.window = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

void ResizeToolWindow(const ToolWindow& tool, int clientHeight) {
    const RECT rect = PlacedRect(tool, clientHeight);
    SetWindowPos(tool.window, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void RedrawToolWindow(const ToolWindow& tool) {
    if (tool.window) InvalidateWindowTree(tool.window);
}

HDC BeginToolWindowPaint(const ToolWindow& tool, PAINTSTRUCT& ps) {
    const HDC dc = BeginPaint(tool.window, &ps);
    RECT client;
    GetClientRect(tool.window, &client);
    FillRect(dc, &client, g_styleBrushes.Face);
    return dc;
}

void EndToolWindowPaint(const ToolWindow& tool, PAINTSTRUCT& ps) {
    EndPaint(tool.window, &ps);
}

LRESULT ToolWindowMessage(ToolWindow& tool, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
            OnMove(tool, window);
            return 1;
        case WM_ERASEBKGND:
            return 1;
        case WM_MEASUREITEM:
            OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return 1;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                OnControlColor(reinterpret_cast<HDC>(wParam), message != WM_CTLCOLORSTATIC));
        case WM_MOUSEWHEEL:
            // The main window zooms or browses.
            SendMessageW(tool.document->host->OwnerWindow(), message, wParam, lParam);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
