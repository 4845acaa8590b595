// The "Shift" tool dialog: moves the image's content by whole pixels with
// wrap-around.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Pre-filled from a Shift action when one is given.
void ShowShiftDialog(ToolDialogHost& host, const Action* action);
