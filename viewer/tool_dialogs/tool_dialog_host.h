// What a tool dialog asks of the window whose image it edits. The main
// window implements it and hands it to the Show functions, so that no tool
// dialog includes a main-window header. Every call is made on the
// user-interface thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/actions/action_list.h"
#include "viewer/document/document.h"

class ToolDialogHost {
public:
    // The edited document: its current image, main handle, source info and
    // history. The message boxes and library-message calls take it too.
    virtual Document& EditedDocument() = 0;
    // Owner of the tool dialog, and the window it is placed over.
    virtual HWND MainWindow() const = 0;
    // The slot of the one open tool dialog (null when none). While it is set
    // the busy guard refuses every other change of the image with the
    // dialog's caption in its text.
    virtual HWND ToolDialogWindow() const = 0;
    virtual void SetToolDialogWindow(HWND window) = 0;
    // The current image changed: render it again; with relayout the view is
    // laid out anew (for results of another size).
    virtual void RefreshImageView(bool relayout) = 0;
    // A short text in the main window's status tooltip, hidden after a while.
    virtual void ShowStatus(const char* text) = 0;
    // The named actions of "actions.adb": lets the user pick a stored action
    // of the type (0: any) into chosen; false when none was chosen.
    virtual bool OpenNamedAction(HWND owner, int32_t type, Action* chosen) = 0;
    // Asks for a name and stores the action under it; false when not stored.
    virtual bool SaveNamedAction(HWND owner, const Action& action) = 0;

protected:
    ~ToolDialogHost() = default;
};
