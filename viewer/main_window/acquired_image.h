// The main window's side of TWAIN acquisition: choosing a source from the
// Acquire submenu, and taking over or refusing the image a transfer
// reports with command 1033.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Lists the sources of the loaded source manager as the "Acquire" submenu
// (command 40428 + i for source i); without sources the item keeps none.
void BuildAcquireMenu(MainWindowState& state);
// Command 40428 + index: opens and enables the source.
void AcquireFromSource(MainWindowState& state, int index);
// Command 1033: the transfer's result code (TwainResult).
void OnTwainResult(MainWindowState& state, int code);
