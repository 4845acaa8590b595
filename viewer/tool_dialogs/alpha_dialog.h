// "Add Alpha channel": gives the current image an alpha channel holding a
// mask of constant opacity, feathered over a border at the edges of a
// rectangle or an ellipse. Preview shows the result in the main window.
#pragma once

#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without current pixels; a dialog that cannot open is reported
// with the kept library messages or "Out of memory".
void ShowAlphaChannelDialog(ToolDialogHost& host);
