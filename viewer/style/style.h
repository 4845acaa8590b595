// The interface style: the process-wide colours, brushes, fonts and control
// glyphs that every window, custom control and owner-drawn menu paints with.
// Two styles, light and dark; painting reads these globals and computes
// nothing.
#pragma once

#include <windows.h>

#include <cstdint>

// Windows colour values (0x00BBGGRR). All but Accent are neutral greys: the
// glyphs take the low (red) byte as their grey level.
struct StyleColors {
    COLORREF Window;       // tool windows, tool dialogs' button bar, about box
    COLORREF Accent;       // accelerator texts of menu items
    COLORREF Face;         // controls, labels, static texts, glyph background
    COLORREF HotText;      // text and pen of a hot or pressed control
    COLORREF Field;        // edits, list boxes, slider tracks, menus
    COLORREF Text;         // normal text, frames, glyph rings and marks
    COLORREF Highlight;    // hot controls, selected items, menu glyph strip
    uint8_t ShowFocusCues; // owner-drawn controls draw focus rectangles only while set
    COLORREF Shadow;       // pressed controls; text and frames of disabled ones
};

// One solid brush per colour; they belong to the style and are never deleted
// by their users.
struct StyleBrushes {
    HBRUSH Text;
    HBRUSH Shadow;
    HBRUSH Window;
    HBRUSH Face;
    HBRUSH Field;
    HBRUSH Highlight;
};

struct InterfaceFonts {
    HFONT normalFont;    // "Arial" 15, weight 400
    HFONT boldFont;      // "Arial" 15, weight 900
    HFONT smallFont;     // "Arial" 14, weight 400
    HFONT smallBoldFont; // "Arial" 14, weight 900
    int lineHeight;      // 17 while the fonts exist, 0 before
    int smallLineHeight; // 16
};

extern StyleColors g_styleColors;
extern StyleBrushes g_styleBrushes;
extern InterfaceFonts g_interfaceFonts;

// Style 1 is dark, any other value light. Sets the colours, makes the fonts
// once, remakes the brushes and the glyphs. Needs a live ImgLib handle (the
// glyphs blend through its sRGB table). Windows repaint in the new style.
void SetInterfaceStyle(int style);
// Deletes the fonts and brushes; called when the main window is destroyed.
void DestroyInterfaceStyle();

// Check-box and radio-button marks at (1, 1) of a control's client area.
// Enabled: state 0 normal, 1 checked, other pressed. Disabled: state 0
// disabled, other disabled checked.
void DrawCheckGlyph(HDC context, int state, bool enabled);
void DrawRadioGlyph(HDC context, int state, bool enabled);
// The menu marks at (x, y).
void DrawMenuCheckGlyph(HDC context, int x, int y, bool checked);
void DrawMenuRadioGlyph(HDC context, int x, int y, bool checked);
