// "Color Filter": tints the lights and the shadows of the current image
// with two hues of adjustable strength, with a live preview; an indexed
// image changes only its palette.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without pixels or for a grey image; `action` (or null) pre-fills
// the sliders.
void ShowColorFilterDialog(ToolDialogHost& host, const Action* action);
