// What the window showing a document does for the dialogs and windows
// below it. The main window implements it and hands it down in the document
// (Document::host), so that lower rooms never include the main window.
#pragma once

#include <windows.h>

class DocumentHost {
public:
    // Owner of dialogs and message boxes.
    virtual HWND OwnerWindow() const = 0;
    // Owner of the font dialog: the open tool dialog, else OwnerWindow().
    virtual HWND ToolOwnerWindow() const = 0;
    virtual HINSTANCE Instance() const = 0;
    // False while messages must not interrupt (the slideshow).
    virtual bool ShowsMessages() const = 0;
    // The image's texts changed: the Info window shows them again.
    virtual void InfoTextsChanged() = 0;
    // The image's resolution changed: the view, caption, tooltip and Info
    // window follow.
    virtual void ResolutionChanged() = 0;
    // The check of a main menu item (a window shown or closed).
    virtual void CheckMenuItem(UINT id, bool on) = 0;
    // Tool windows are translucent while full screen runs.
    virtual bool InFullScreen() const = 0;
    // The image pixel under the mouse's last place in the main window.
    virtual void MouseImagePoint(int* x, int* y) const = 0;
    // The wheel turned over a window that only browses (the List window).
    virtual void BrowseByWheel(WPARAM wParam) = 0;
    // Tool dialogs and saves stop the main window from taking dropped files
    // while they run.
    virtual void AcceptFileDrops(bool on) = 0;
    // An export stopped reading the folder list: files saved meanwhile join it.
    virtual void FolderListReleased() = 0;

protected:
    ~DocumentHost() = default;
};
