// The About box: a borderless layered pop-up over the main window that fades
// in, shows the program's and the image library's versions and the support
// libraries linked, and turns the hues of the program icon. A click closes it.
#pragma once

#include <windows.h>

struct AboutBox;

// Opens the box over the owner, or closes it (with fade) when it is open;
// `open` is the owner's record of the open box, null while none is.
void ShowAboutBox(AboutBox*& open, HWND owner, HINSTANCE instance);
void CloseAboutBox(AboutBox*& open, bool fade);
// After a change of interface style: the logo on the new face colour.
void RefreshAboutBox(AboutBox* open);
