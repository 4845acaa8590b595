// "Affine Projection": rotates, scales and translates the current image,
// optionally adapting the canvas, with a background colour and N x N
// oversampling.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without pixels; `action` (or null) pre-fills the settings.
void ShowAffineDialog(ToolDialogHost& host, const Action* action);
