// The "Resample" tool dialog: a new pixel size for the image in pixels or
// percent, with the aspect lock, zoom presets and the library's filters.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Pre-filled from an action of the dialog's type when one is given.
void ShowResampleDialog(ToolDialogHost& host, const Action* action);
