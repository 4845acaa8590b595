// "Tonemapping": exposure, black level, exponent curve, chroma, hue and
// white point of the current image through the library's tone-mapping
// model, with a live preview; an indexed image changes only its palette.
#pragma once

#include "viewer/actions/action_list.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without pixels or for a 1-bit grey image; `action` (or null)
// pre-fills the sliders.
void ShowToneMappingDialog(ToolDialogHost& host, const Action* action);
