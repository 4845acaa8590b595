// The "Gauss Filter" tool dialog: sharpen, blur or bloom with a strength,
// radius and gain on a chosen set of channels.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Pre-filled from an action of the dialog's type when one is given.
void ShowGaussFilterDialog(ToolDialogHost& host, const Action* action);
