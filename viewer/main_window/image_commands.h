// The edits that need no dialog: the Mode submenu's conversions, rotating by
// right angles, mirroring, inverting and swapping red and blue. Each changes
// the current image in place, records its action and renders it again; the
// caller has passed the busy guard.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/main_window/main_window_state.h"

// Sets the main handle's alpha mode from "Use alpha" (2 composite onto the
// background, else 0 drop); returns the previous mode.
uint8_t ApplyAlphaOption(MainWindowState& state);

// Interactive (from the menu) asks for the dithering itself and records a
// "Mode" action; otherwise (a replayed action) the recorded dither and alpha
// mode are used. False when the conversion failed (reported).
bool ChangeImageMode(MainWindowState& state, uint32_t command, uint8_t dither, uint8_t alphaMode,
                     bool interactive);
// The image's own palette quantised to 2^bits colours, or nothing to do when
// it is already indexed at that width.
ILResult ConvertToIndexed(MainWindowState& state, uint32_t bits, int32_t dither);

void RotateImage(MainWindowState& state, int32_t degrees);
void MirrorImage(MainWindowState& state, bool leftRight);
void InvertImage(MainWindowState& state);
void SwapRedAndBlue(MainWindowState& state);
