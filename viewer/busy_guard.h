// The busy flags and the guard that every command changing or replacing the
// current image passes first.
#pragma once

#include <cstdint>

// What the command is about to do to the current image.
enum ImageChangeKind : int {
    CHANGE_APPLY = 0,   // changes the current image
    CHANGE_OPEN = 1,    // replaces it by another file, the clipboard or a page
    CHANGE_ACQUIRE = 2, // a TWAIN transfer will replace it
};

// Busy bits are the BUSY_* values of viewer_state.h.
bool IsBusy(uint32_t bits);       // all bits set
bool SetBusyFlag(uint32_t bit);   // false when it was set already
bool ClearBusyFlag(uint32_t bit); // false when it was clear

// True when the command may go on. A user-initiated command that is refused
// because other work holds the image is told why in an information box;
// refusals of commands the user did not give are silent.
bool BeginImageChange(bool waitCursor, bool userInitiated, ImageChangeKind kind);

// Asks before unsaved edits are thrown away ("open" or exit); true when the
// caller may discard them.
bool ConfirmDiscardChanges(bool open);
