// "Resolution": the pixels per inch with which the viewer measures the
// current image, horizontal and vertical, optionally bound to each other,
// with the print size shown as they change.
#pragma once

#include "viewer/document/document.h"

// Runs modally over the main window; OK makes the values the view
// resolution.
void ShowResolutionDialog(Document& state);
