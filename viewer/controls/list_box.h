// Owner-drawn list boxes (the system "LISTBOX" drawn in the interface style)
// and the edits of the dialogs. A list box with key notifications reports
// Insert, Delete, Ctrl+Delete, Space, Ctrl+Space, Ctrl+double-click and the
// right button to its parent (ControlNotify codes).
#pragma once

#include <windows.h>

HWND CreateListBox(HWND parent, int id, int y, int width, int height, bool keyNotifications,
                   bool sorted);
HWND CreateMultiLineEdit(HWND parent, int id, int x, int y, int width, int height, bool readOnly);
HWND CreateLineEdit(HWND parent, int id, int x, int y, int width, bool readOnly);

// WM_MEASUREITEM and WM_DRAWITEM of a dialog or tool window: menu items go to
// the owner-drawn menus, list box items are handled here. True when handled.
bool OnMeasureItem(HWND window, MEASUREITEMSTRUCT* item);
bool OnDrawItem(const DRAWITEMSTRUCT* item);
