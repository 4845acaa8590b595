// Sliders of class "VxCtrl", horizontal or vertical (maximum at the top):
// the thumb follows the mouse, keys, wheel and middle button. Each change
// sends WM_COMMAND(MAKELONG(id, ControlChanged), value) to the parent.
#pragma once

#include <windows.h>

#include <cstdint>

// The value is clamped to the range; the default is the value as given.
HWND CreateSlider(HWND parent, int id, int x, int y, int length, int32_t minimum, int32_t maximum,
                  int32_t value, bool vertical);
// A null window gives 0 and changes nothing.
int32_t GetSliderValue(HWND slider);
// Clamps and stores without notifying; returns the value.
int32_t SetSliderValue(HWND slider, int32_t value);
int32_t ResetSlider(HWND slider);
void SetSliderDefault(HWND slider, int32_t value);
