// The main window's option setters: each stores its preference and puts its
// menu checks; some tell the user in the status tooltip.
#include <windows.h>

#include "viewer/commands.h"
#include "viewer/main_window.h"
#include "viewer/preferences_file.h"
#include "viewer/viewer_state.h"

namespace {

// Puts the radio check on one item of a range of consecutive ids.
void CheckRange(UINT first, UINT last, UINT checked) {
    for (UINT id = first; id <= last; ++id)
        CheckMainMenuItem(id, id == checked);
}

} // namespace

void SetUseAlpha(bool on) {
    g_preferences.useAlpha = on;
    CheckMainMenuItem(CMD_USE_ALPHA, on);
}

void SetUseBackground(bool on) {
    g_preferences.useBackground = on;
    CheckMainMenuItem(CMD_USE_BACKGROUND, on);
}

void SetDither(int mode) {
    g_preferences.dither = static_cast<uint8_t>(mode);
    CheckRange(CMD_DITHER_OFF, CMD_DITHER_ASK, CMD_DITHER_OFF + mode);
    if (mode == 2)
        ShowStatusTooltip("Ask for dithering", true);
    else
        ShowOptionToggled("Dithering", mode == 1);
}

void SetMonochromeDither(int mode) {
    g_preferences.monochromeDither = static_cast<uint8_t>(mode);
    const bool ask = (mode & 0x10) != 0;
    CheckRange(CMD_MONO_DITHER_OFF, CMD_MONO_DITHER_ASK,
               ask ? CMD_MONO_DITHER_ASK : CMD_MONO_DITHER_OFF + (mode & 0xF));
    static const char* const kNames[] = {"Ordered", "Floyd-Steinberg", "Halftone"};
    if (mode == 0) {
        ShowStatusTooltip("Monochrome dithering turned off", true);
    } else if (mode >= 1 && mode <= 3) {
        char text[80];
        wsprintfA(text, "Monochrome dithering is \"%s\"", kNames[mode - 1]);
        ShowStatusTooltip(text, true);
    } else {
        ShowStatusTooltip("Ask for monochrome dithering", true);
    }
}

void SetWheelMode(int zoom) {
    g_preferences.wheelZoom = zoom ? 1 : 0;
    CheckMainMenuItem(CMD_WHEEL_ZOOM, zoom != 0);
    CheckMainMenuItem(CMD_WHEEL_BROWSE, zoom == 0);
    ShowStatusTooltip(zoom ? "Mouse wheel zoom" : "Mouse wheel browse", true);
}

void SetWindowMode(int mode) {
    g_preferences.windowMode = static_cast<uint8_t>(mode);
    CheckRange(CMD_FIT_NOTHING, CMD_FIT_WINDOW_TO_IMAGE, CMD_FIT_NOTHING + mode);
}

void SetTransitionEffect(int effect) {
    g_preferences.transitionEffect = static_cast<uint8_t>(effect);
    CheckRange(CMD_FX_OFF, CMD_FX_PUSH_UP_DOWN, CMD_FX_OFF + effect);
}

void SetMultipageDialog(bool on) {
    g_preferences.multipageDialog = on;
    CheckMainMenuItem(CMD_MULTIPAGE_DIALOG, on);
}

void SetResolutionUnit(int unit) {
    g_preferences.resolutionUnit = unit ? 1 : 0;
    CheckMainMenuItem(CMD_UNIT_CM, unit == 0);
    CheckMainMenuItem(CMD_UNIT_INCH, unit != 0);
    ShowStatusTooltip(unit ? "Resolution unit: inch" : "Resolution unit: cm", true);
}

void ApplyStretchMode() {
    const HDC dc = g_viewer.mainDC;
    if (g_preferences.stretchMode == COLORONCOLOR) {
        SetStretchBltMode(dc, COLORONCOLOR);
    } else if (SetStretchBltMode(dc, HALFTONE)) {
        g_preferences.stretchMode = HALFTONE;
        SetBrushOrgEx(dc, 0, 0, nullptr); // HALFTONE leaves the brush origin undefined
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        g_preferences.stretchMode = COLORONCOLOR;
    }
    CheckMainMenuItem(CMD_SMOOTH_RESIZING, g_preferences.stretchMode == HALFTONE);
}

void UpdateBackgroundBrush() {
    bool changed = false;
    const ILColor& own = g_viewer.image.background;
    if (g_preferences.useBackground && g_viewer.image.data && own.a == 1.0f) {
        changed = own.Differs(g_viewer.background);
        g_viewer.background = own;
    } else if (g_viewer.background.Differs(g_preferences.backgroundColor)) {
        g_viewer.background = g_preferences.backgroundColor;
        changed = true;
    }
    if (changed || !g_viewer.backgroundBrush) {
        if (g_viewer.backgroundBrush) DeleteObject(g_viewer.backgroundBrush);
        g_viewer.backgroundBrush = CreateSolidBrush(g_viewer.background.ToCOLORREF());
    }
    ILSetBackgroundColor(g_viewer.handle, &g_viewer.background);
}

void ApplyToolWindowAlpha(HWND window) {
    SetLayeredWindowAttributes(window, 0, g_viewer.fullScreen ? 220 : 255, LWA_ALPHA);
}
