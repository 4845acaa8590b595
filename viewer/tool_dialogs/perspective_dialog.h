// "Perspective Projection": maps the current image through a four-point
// perspective transform, the quadrilateral placed by handles on the
// preview or by its corners' pixel coordinates.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without pixels; `action` (or null) pre-fills the settings, and
// Reset returns to them.
void ShowPerspectiveDialog(ToolDialogHost& host, const Action* action);
