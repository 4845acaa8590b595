// The "Expand" tool dialog: borders of a background colour around the image,
// one width for all sides or one per side.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Pre-filled from an action of the dialog's type when one is given.
void ShowExpandDialog(ToolDialogHost& host, const Action* action);
