// The Actions window: the history of the current image (undone entries
// greyed, a double click jumps to any state) and the favourites, a list the
// user reorders by dragging, edits through its options menu ("VxAF") and
// keys, applies entry by entry or whole, imports and exports as action-list
// files, and may have applied to every opened image. The selected entry of
// each list is described beside it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/actions/action_list.h"
#include "viewer/style/menus.h"
#include "viewer/windows/tool_window.h"

// What the main window does for the Actions window: every replay passes its
// busy guard and ends with its view refreshed.
class ActionsHost {
public:
    // Appends each action to the history and applies it; one that fails
    // leaves the history again.
    virtual void ApplyActionList(const ActionList& list) = 0;
    // Applies the action; it joins the history only when it succeeded.
    virtual void ApplyFavorite(const Action& action) = 0;
    // Brings the image to the state after history entry `target`.
    virtual void GoToHistoryEntry(uint32_t target) = 0;
    // Re-opens the tool dialog of the action's type filled from its block
    // (checked already); nothing for types without a dialog.
    virtual void OpenDialogForAction(const Action& action) = 0;

protected:
    ~ActionsHost() = default;
};

struct ActionsWindowState {
    ToolWindow tool;
    ActionsHost* host = nullptr;
    HWND historyList = nullptr;
    HWND favoritesList = nullptr;
    PopupMenu optionsMenu;
    int32_t historySelection = -1;
    // Kept while the window is closed and restored when it opens again.
    int32_t favoriteSelection = -1;
    int32_t dragIndex = -1; // favourite being dragged, -1 none
    int32_t dropIndex = -1; // where it would go
    UINT dragListMessage = 0;
};

// Opens the window (nothing when it is open).
void CreateActionsWindow(ActionsWindowState& actions, Document& document, ActionsHost& host);
// Closes it; the Preferences remember that it is closed.
void CloseActionsWindow(ActionsWindowState& actions);
// Lists the history again after it changed; nothing while the window is closed.
void RefreshActionsHistory(ActionsWindowState& actions);
// True while the window is the foreground window: the main window's
// accelerators then stay off, so that its lists take the keys.
bool IsActionsWindowActive(const ActionsWindowState& actions);
