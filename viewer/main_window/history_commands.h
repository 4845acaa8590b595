// Undo, redo and applying action lists to the current image: the viewer's
// side of the recorded actions (the planning and the replay itself are in
// viewer/actions/).
#pragma once

#include <windows.h>

#include "viewer/actions/action_list.h"
#include "viewer/main_window/main_window_state.h"

// The history changes only on the user-interface thread, so that painting it
// never reads a list being reallocated: a worker that applied an edit posts
// its action with this message (lParam: an Action from new, taken over).
constexpr UINT kMsgHistoryEntry = WM_APP + 2;
// From any thread; false (the action not recorded) when it cannot be posted.
bool PostHistoryEntry(HWND mainWindow, const Action& action);
// The posted entry arrives: appended to the history, then freed.
void OnHistoryEntry(MainWindowState& state, Action* action);

// Repeats one action on the current image with the main handle.
bool ApplyToCurrentImage(MainWindowState& state, const Action& action);

// Reloads the undo snapshot and replays the history up to the entry before
// the cursor; the image stays as it is when the snapshot cannot be loaded.
void UndoAction(MainWindowState& state);
// Applies the entry after the cursor.
void RedoAction(MainWindowState& state);

// To the state after history entry `target`: forwards by applying the
// entries in between, backwards by reloading the snapshot and replaying.
void JumpInHistory(MainWindowState& state, uint32_t target);
// Applies the action; only when it succeeded the view follows and the
// action joins the history.
void ApplyFavoriteAction(MainWindowState& state, const Action& action);

// Appends each action to the history and applies it; one that fails leaves
// the history again. With refresh, the wait cursor and the view's relayout.
void ApplyActionList(MainWindowState& state, const ActionList& list, bool refresh);
// A dropped action-list file (Unix path): applied, or "Invalid action list".
void ApplyActionListFile(MainWindowState& state, const char16_t* libraryPath);
