// Spin fields of class "VxCtrl": a number edit with up and down arrows that
// repeat while held, keys, wheel and middle button. Changes reach the parent
// as the edit's EN_CHANGE under the field's own id.
#pragma once

#include <windows.h>

#include <cstdint>

// The value is shown as given (not clamped) and is also the default.
HWND CreateSpinField(HWND parent, int id, int x, int y, int width, int32_t minimum, int32_t maximum,
                     int32_t value);
// A null window gives 0 and changes nothing.
int32_t GetSpinValue(HWND field);
// Stores and shows the value as given; returns it.
int32_t SetSpinValue(HWND field, int32_t value);
// Lowers the value to the new maximum when it was above; returns the value.
int32_t SetSpinMaximum(HWND field, int32_t maximum);
// The default (Space, middle button), clamped to the range.
void SetSpinDefault(HWND field, int32_t value);
