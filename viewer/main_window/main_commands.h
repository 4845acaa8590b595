// The main window's command table: every command that is built, with the
// guard it passes. Commands missing from the table reach no handler and stay
// greyed in the menus.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Runs the command when it is in the table and its guard lets it; false for
// commands the table does not hold (they go to the default procedure).
bool DispatchCommand(MainWindowState& state, UINT id, LPARAM lParam);
bool IsCommandBuilt(UINT id);
