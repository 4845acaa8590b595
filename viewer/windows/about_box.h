// The About box: a borderless layered pop-up over the main window that fades
// in, shows the program's and the image library's versions and the support
// libraries linked, and turns the hues of the program icon. A click closes it.
#pragma once

#include "viewer/main_window/main_window_state.h"

// Opens the box, or closes it (with fade) when it is open.
void ShowAboutBox(MainWindowState& state);
void CloseAboutBox(MainWindowState& state, bool fade);
// After a change of interface style: the logo on the new face colour.
void RefreshAboutBox(MainWindowState& state);
