// Switching the main window between its frame and a maximised pop-up.
#pragma once

#include "viewer/main_window/main_window_state.h"

void SetFullScreen(MainWindowState& state, bool on);
// The steps that command 40118 carries: 1 drop clipping and scroll bars,
// 2 pop-up style, 3 show maximised.
void RunFullScreenStep(MainWindowState& state, int step);
