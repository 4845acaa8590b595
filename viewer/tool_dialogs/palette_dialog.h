// "Palette": edits the palette of an indexed current image entry by entry,
// and sorts it by use.
#pragma once

#include "viewer/tool_dialogs/tool_dialog_host.h"

// Nothing without pixels or for an image that is not indexed.
void ShowPaletteDialog(ToolDialogHost& host);
