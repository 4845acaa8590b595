// The main window's option setters: each stores its preference and puts its
// menu checks; some tell the user in the status tooltip.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

void SetUseAlpha(const MainWindowState& state, bool on);
void SetUseBackground(const MainWindowState& state, bool on);
void SetDither(const MainWindowState& state, int mode);           // 0 off, 1 on, 2 ask
void SetMonochromeDither(const MainWindowState& state, int mode); // 0-3, plus 0x10 for ask
void SetWheelMode(const MainWindowState& state, int zoom);        // 1 zoom, 0 browse
// 0 fit nothing, 1 image to window, 2 window to image
void SetWindowMode(const MainWindowState& state, int mode);
void SetTransitionEffect(const MainWindowState& state, int effect);
void SetMultipageDialog(const MainWindowState& state, bool on);
void SetResolutionUnit(const MainWindowState& state, int unit); // 0 cm, 1 inch
void ApplyStretchMode(const MainWindowState& state);
void UpdateBackgroundBrush(MainWindowState& state);
// Tool windows are a little transparent over the full-screen image.
void ApplyToolWindowAlpha(const MainWindowState& state, HWND window);
