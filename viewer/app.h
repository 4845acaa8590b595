// The message loop's dialog filter, also used by the tool dialog's owner.
#pragma once

#include <windows.h>

// Gives a modeless dialog its keyboard navigation; true when it took the
// message. Ctrl and the Apps key also reach the dialog itself; any other key
// turns the focus cues on.
bool ForwardDialogMessage(HWND window, MSG* msg);
