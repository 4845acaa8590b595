// "Open action" and "Save action": the modal dialogs over the named-action
// database "actions.adb" in the settings folder, through which the tool
// dialogs and the Actions window keep single actions under names. One of
// them runs at a time.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/actions/action_list.h"
#include "viewer/document/document.h"

// Lists the stored actions of the type (0: of every type); on OK copies the
// chosen one into *chosen and answers true. A stored action whose block does
// not pass its checks is refused with a message, so that a dialog is never
// filled from it.
bool OpenNamedAction(Document& state, HWND owner, int32_t type, Action* chosen);
// Asks for a name and stores the action under it, replacing a stored action
// of the same type and name. False when cancelled, refused, or when the
// database could not be written (reported).
bool SaveNamedAction(Document& state, HWND owner, const Action& action);
