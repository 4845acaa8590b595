// The main window's two tooltips: the balloon over the caption's corner that
// sums up the image, and the tracking status tooltip at the client's corner.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

void CreateTooltips(MainWindowState& state);
void PlaceCaptionTooltip(const MainWindowState& state);
// Title (state.windowTitle, filled by the view layout) and caption tooltip
// of the current image, or the program's name without one.
void UpdateTitleAndTooltip(MainWindowState& state);
void ShowStatusTooltip(const MainWindowState& state, const char* text, bool autoHide);
void HideStatusTooltip(const MainWindowState& state);
void MoveStatusTooltip(const MainWindowState& state, int x, int y);
void ShowOptionToggled(const MainWindowState& state, const char* name, bool on); // "%s turned %s"
