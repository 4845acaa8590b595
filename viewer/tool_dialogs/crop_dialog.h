// "Crop": removes margins from the four sides of the current image, set in
// fields or drawn on the preview with the mouse.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without pixels; `action` (or null) pre-fills the margins.
void ShowCropDialog(ToolDialogHost& host, const Action* action);
