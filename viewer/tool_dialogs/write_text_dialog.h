// The "Write Text" tool dialog: a multi-line text drawn into the image, with
// a preview window cut from the image at the anchor at full scale.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Pre-filled from an action of the dialog's type when one is given.
void ShowWriteTextDialog(ToolDialogHost& host, const Action* action);
