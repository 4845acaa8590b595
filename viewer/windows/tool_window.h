// The base of the tool windows (Info, Histogram): a layered, non-activating
// window of class "VxTool", 352 pixels wide, owned by the main window, whose
// position is kept in two Preferences fields. A tool window's state struct
// holds a ToolWindow as its member `tool`; its procedure handles its own
// messages and passes the rest to ToolWindowMessage.
#pragma once

#include <windows.h>

#include <cstdint>

struct Document;

inline constexpr int kToolWindowWidth = 352;

struct ToolWindow {
    int32_t* xPosition = nullptr; // Preferences fields, kept up to date
    int32_t* yPosition = nullptr;
    HWND window = nullptr;        // null while the window does not exist
    Document* document = nullptr; // the document shown, whose host owns the window
};

// Creates the window (hidden) at the stored position pulled onto the screen,
// with `state` in its user data and `procedure` as its procedure. False when
// the window exists already or cannot be made.
bool CreateToolWindow(ToolWindow& tool, Document& document, const WCHAR* caption, int32_t* x,
                      int32_t* y, int clientHeight, WNDPROC procedure, void* state);
// The layered window's opacity: 220 while full screen runs, else 255; then
// shows the window without activating it.
void ShowToolWindow(const ToolWindow& tool);
void ApplyToolWindowAlpha(const ToolWindow& tool);
// Destroys the window.
void DestroyToolWindow(ToolWindow& tool);
// Moves and sizes the window for a client area of the given height, at the
// stored position kept on the screen.
void ResizeToolWindow(const ToolWindow& tool, int clientHeight);
// Repaints the window and its controls (after a change of style).
void RedrawToolWindow(const ToolWindow& tool);
// BeginPaint and the Face fill; EndToolWindowPaint ends it.
HDC BeginToolWindowPaint(const ToolWindow& tool, PAINTSTRUCT& ps);
void EndToolWindowPaint(const ToolWindow& tool, PAINTSTRUCT& ps);

// The messages every tool window answers alike: moves (stored), item
// measuring, control colours and the wheel (which acts on the image as over
// the main window); the rest goes to the default procedure.
LRESULT ToolWindowMessage(ToolWindow& tool, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam);
