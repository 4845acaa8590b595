// The value rules of the spin fields and sliders and the layout arithmetic
// of the custom controls, kept apart from the window procedures.
#pragma once

#include <cstdint>
#include <string_view>

#include "imglib/color.h"

// Saturating, NaN-safe conversion of a stored or computed value to an
// integer control value: NaN gives 0, values beyond int32 the nearest limit;
// others are rounded to nearest.
int32_t SaturatingToInt(double value);
// The same, truncating towards zero instead of rounding.
int32_t SaturatingTruncate(double value);
// What a control shows of a stored or computed quantity (the tool dialogs'
// "x 100, truncated" and the like): truncated, saturated, NaN as 0, then
// clamped to the control's range. Every value a dialog takes from a stored
// action passes through here (or ControlValueRounded) before a control sees it.
int32_t ControlValueOf(double value, int32_t minimum, int32_t maximum);
// The same for values the dialogs round half up: floor(value + 0.5).
int32_t ControlValueRounded(double value, int32_t minimum, int32_t maximum);
// A stored colour as a colour button and the colour chooser take it: each
// component in 0 ... 1, a colour with a NaN or infinite component opaque
// black; the palette index kept (-1 for none).
ILColor ControlColorOf(const ILColor& stored);
// value clamped to [minimum, maximum]; a range given upside down is taken as
// [maximum, minimum] so that settings from a file can never invert it.
int32_t ClampToRange(int64_t value, int32_t minimum, int32_t maximum);

// Result of storing a clamped spin value: 1 rose, 2 fell, 0 unchanged.
int SpinStepResult(int32_t before, int32_t after);
// The decimal number an edit's text starts with (an optional minus, then
// leading digits); 0 for no digits. Saturates instead of overflowing.
int64_t ParseLeadingNumber(std::string_view text);
// Digits are centred when both limits have a single digit.
bool SpinDigitsCentred(int32_t minimum, int32_t maximum);
// Auto-repeat interval of a spin arrow while the pointer is y pixels from the
// field's top: 310 ms near row 9, 20 ms less for each further pixel, at
// least 10.
int SpinRepeatInterval(int y);
// The step of one wheel message: +-1 by the delta's sign, times 10 with
// Shift, else times 100 with Ctrl.
int WheelStep(int delta, bool shift, bool control);

// Slider geometry along a length of `length` pixels.
struct SliderGeometry {
    int32_t minimum;
    int32_t maximum;
    int32_t length;
    bool vertical;

    int32_t TrackStart() const { return 5; }
    int32_t TrackEnd() const { return length - 6; }
    int32_t TrackLength() const { return length - 11; }
    // Pixel of the thumb for a value in range (the maximum at the top when
    // vertical).
    int32_t ThumbOf(int32_t value) const;
    // Value under pixel p along the length, clamped to the range.
    int32_t ValueAt(int32_t p) const;
};

// New slider value for a key, or false when the key is not a slider key.
// Keys are Windows virtual-key codes.
bool SliderKeyValue(unsigned key, int32_t value, int32_t minimum, int32_t maximum,
                    int32_t defaultValue, int32_t* result);

// Position that keeps a window of `size` on a screen of `screen` pixels:
// 0 for a negative position, screen - size past the far edge.
int FitToScreen(int position, int size, int screen);
// Height of a label of the given style: 16 for the odd styles, else 15.
inline int LabelHeight(int style) {
    return 15 + (style & 1);
}
// MulDiv as Windows rounds it (to nearest, halves away from zero), -1 for a
// zero divisor.
int32_t MulDivRound(int32_t number, int32_t numerator, int32_t denominator);
