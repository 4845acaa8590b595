// The guard that every command changing or replacing the current image passes
// first. It reads the busy flags of the main window's state, tells refusals
// through the message boxes, and touches no other window code.
#pragma once

#include "viewer/logic/image_change_guard.h"
#include "viewer/main_window/main_window_state.h"

// True when the command may go on. A user's command that other work holds
// up is told why in an information box; the program's own are refused
// silently. Opening and a user's acquisition ask before unsaved edits are
// thrown away (and drop the undo snapshot); a user's first edit of an image
// writes the undo snapshot and stops the slideshow.
bool BeginImageChange(MainWindowState& state, ImageChange kind, ChangeAsker asker);

enum class DiscardFor {
    Open, // another image replaces the edited one
    Exit,
};
// Asks before unsaved edits are thrown away; true when the caller may
// discard them.
bool ConfirmDiscardChanges(MainWindowState& state, DiscardFor reason);
