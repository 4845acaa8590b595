// Drops a file on an X window with the XDND protocol, as a file manager does:
// Wine's X11 driver turns the drop into WM_DROPFILES for the window under the
// point. Drag and drop cannot be driven through Win32 from another process
// (an HDROP is valid only inside its receiver), but through X it can.
#pragma once

// window: the X window that Wine made for the top-level window; x, y: the
// drop point on the root window; path: a Unix path, UTF-8. True when the
// target accepted the drop and said it has finished with it.
bool XdndDropFile(unsigned long window, int x, int y, const char* path, int timeoutMs);

// Moves the X pointer to (x, y) on the root window, as a mouse would: Wine
// sees the motion and sends WM_MOUSEMOVE to the window under it.
bool XMovePointer(int x, int y);
