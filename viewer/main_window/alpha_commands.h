// The alpha menu's edits without a dialog: removing and inverting the alpha
// channel and loading it from an image file. Each records its Alpha Channel
// action and renders the image again; the caller has passed the busy guard.
#pragma once

#include "viewer/main_window/main_window_state.h"

// "Use alpha" on composites the image onto the background, off drops alpha.
void RemoveAlphaChannel(MainWindowState& state);
void InvertAlphaChannel(MainWindowState& state);
// Asks for the image file (a shell link: its target), whose grey becomes the
// alpha channel.
void LoadAlphaChannel(MainWindowState& state);
