// Draws an action's description (viewer/actions/action_describe.h) into a
// device context, for the Actions window and the named-action dialog.
#pragma once

#include <windows.h>

#include "viewer/actions/action_list.h"

// The lines in the context's current font; a mode's text comes from the Mode
// menu of the program's menu resource.
void DescribeActionOn(HDC context, int x, int y, const Action& action, bool withName);
