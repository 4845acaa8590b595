// The display bitmap (DibBuffer, viewer/logic/dib_render.h) on the Win32
// side: drawing into device contexts and the packed copy for the clipboard.
#pragma once

#include <windows.h>

#include "viewer/logic/dib_render.h"
