// Switching the main window between its frame and a maximised pop-up.
#pragma once

void SetFullScreen(bool on);
// The steps that command 40118 carries: 1 drop clipping and scroll bars,
// 2 pop-up style, 3 show maximised.
void RunFullScreenStep(int step);
