// Owner-drawn buttons of class "VxCtrl": push, small, square, colour, radio
// and check buttons. A click that ends on the button sends
// WM_COMMAND(MAKELONG(id, ControlChanged), state) to the parent: the new
// checked state for a check box, 0 for the others. Radio buttons never check
// themselves: the parent calls SelectRadio.
#pragma once

#include <windows.h>

#include <cstdint>

enum ButtonBit : uint32_t {
    BUTTON_CHECKED = 1,
    BUTTON_BOLD = 2,
    BUTTON_HOT = 4,
    BUTTON_PRESSED = 8,
    BUTTON_FOCUSED = 0x10,
    BUTTON_CAPTURED = 0x20,
    BUTTON_TOGGLES = 0x100,
};

struct ButtonState;
using ButtonPaint = void (*)(HWND window, HDC context, const ButtonState& state, bool full);

struct ButtonState {
    uint32_t bits = 0;
    int id = 0;
    ButtonPaint paint = nullptr;
    uint32_t extra = 0; // swatch colour, or 1 for the small font of push buttons
};

HWND CreateOwnerButton(HWND parent, int id, const WCHAR* text, int x, int y, int width, int height,
                       uint32_t bits, uint32_t extra, ButtonPaint paint);
HWND CreatePushButton(HWND parent, int id, const WCHAR* text, int x, int y, int width);
HWND CreateSmallButton(HWND parent, int id, const WCHAR* text, int x, int y, int width);
HWND CreateSquareButton(HWND parent, int id, int x, int y, bool checked);
HWND CreateColorButton(HWND parent, int id, const WCHAR* text, int x, int y, int width,
                       COLORREF color);
HWND CreateRadioButton(HWND parent, int id, const WCHAR* text, int x, int y, int width,
                       bool checked);
HWND CreateCheckBox(HWND parent, int id, const WCHAR* text, int x, int y, int width, bool checked);
// The width a radio button or check box takes to show its whole text: the
// glyph, the text in the small font and the room of the focus frame.
int ChoiceWidth(HWND parent, const WCHAR* text);

bool IsButtonChecked(HWND button);
void SetButtonChecked(HWND button, bool on);
void SetButtonBold(HWND button, bool on);
void SetColorButtonColor(HWND button, COLORREF color);
// Offset from firstId of the first checked button of the range, 0 when none.
int GetCheckedRadio(HWND parent, int firstId, int lastId);
// Unchecks every button of the range but chosenId and checks chosenId; true
// only when chosenId was not checked before.
bool SelectRadio(HWND parent, int firstId, int lastId, int chosenId);
