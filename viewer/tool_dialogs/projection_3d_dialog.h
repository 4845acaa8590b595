// The "3D Projection" tool dialog: reprojects a panorama between four
// projections with a rotation of the view sphere, at a chosen size.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Pre-filled from an action of the dialog's type when one is given.
void Show3DProjectionDialog(ToolDialogHost& host, const Action* action);
