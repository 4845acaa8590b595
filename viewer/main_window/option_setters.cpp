// The main window's option setters: each stores its preference and puts its
// menu checks; some tell the user in the status tooltip.
#include <windows.h>

#include "resources/commands.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/main_window/option_setters.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/main_window/tooltips.h"

namespace {

// Puts the radio check on one item of a range of consecutive ids.
void CheckRange(const MainWindowState& state, UINT first, UINT last, UINT checked) {
    for (UINT id = first; id <= last; ++id)
        CheckMainMenuItem(state, id, id == checked);
}

} // namespace

void SetUseAlpha(const MainWindowState& state, bool on) {
    g_preferences.useAlpha = on;
    CheckMainMenuItem(state, CMD_USE_ALPHA, on);
}

void SetUseBackground(const MainWindowState& state, bool on) {
    g_preferences.useBackground = on;
    CheckMainMenuItem(state, CMD_USE_BACKGROUND, on);
}

void SetDither(const MainWindowState& state, int mode) {
    g_preferences.dither = static_cast<uint8_t>(mode);
    CheckRange(state, CMD_DITHER_OFF, CMD_DITHER_ASK, CMD_DITHER_OFF + mode);
    if (mode == 2)
        ShowStatusTooltip(state, "Ask for dithering", true);
    else
        ShowOptionToggled(state, "Dithering", mode == 1);
}

void SetMonochromeDither(const MainWindowState& state, int mode) {
    g_preferences.monochromeDither = static_cast<uint8_t>(mode);
    const bool ask = (mode & kMonochromeDitherAsk) != 0;
    CheckRange(state, CMD_MONO_DITHER_OFF, CMD_MONO_DITHER_ASK,
               ask ? CMD_MONO_DITHER_ASK : CMD_MONO_DITHER_OFF + (mode & 0xF));
    static const char* const kNames[] = {"Ordered", "Floyd-Steinberg", "Halftone"};
    if (mode == 0) {
        ShowStatusTooltip(state, "Monochrome dithering turned off", true);
    } else if (mode >= 1 && mode <= 3) {
        char text[80];
        wsprintfA(text, "Monochrome dithering is \"%s\"", kNames[mode - 1]);
        ShowStatusTooltip(state, text, true);
    } else {
        ShowStatusTooltip(state, "Ask for monochrome dithering", true);
    }
}

void SetWheelMode(const MainWindowState& state, int zoom) {
    g_preferences.wheelZoom = zoom ? 1 : 0;
    CheckMainMenuItem(state, CMD_WHEEL_ZOOM, zoom != 0);
    CheckMainMenuItem(state, CMD_WHEEL_BROWSE, zoom == 0);
    ShowStatusTooltip(state, zoom ? "Mouse wheel zoom" : "Mouse wheel browse", true);
}

void SetWindowMode(const MainWindowState& state, int mode) {
    g_preferences.windowMode = static_cast<uint8_t>(mode);
    CheckRange(state, CMD_FIT_NOTHING, CMD_FIT_WINDOW_TO_IMAGE, CMD_FIT_NOTHING + mode);
}

void SetTransitionEffect(const MainWindowState& state, int effect) {
    g_preferences.transitionEffect = static_cast<uint8_t>(effect);
    CheckRange(state, CMD_FX_OFF, CMD_FX_PUSH_UP_DOWN, CMD_FX_OFF + effect);
}

void SetMultipageDialog(const MainWindowState& state, bool on) {
    g_preferences.multipageDialog = on;
    CheckMainMenuItem(state, CMD_MULTIPAGE_DIALOG, on);
}

void SetResolutionUnit(const MainWindowState& state, int unit) {
    g_preferences.resolutionUnit = unit ? 1 : 0;
    CheckMainMenuItem(state, CMD_UNIT_CM, unit == 0);
    CheckMainMenuItem(state, CMD_UNIT_INCH, unit != 0);
    ShowStatusTooltip(state, unit ? "Resolution unit: inch" : "Resolution unit: cm", true);
}

void ApplyStretchMode(const MainWindowState& state) {
    const HDC dc = state.mainDC;
    if (g_preferences.stretchMode == COLORONCOLOR) {
        SetStretchBltMode(dc, COLORONCOLOR);
    } else if (SetStretchBltMode(dc, HALFTONE)) {
        g_preferences.stretchMode = HALFTONE;
        SetBrushOrgEx(dc, 0, 0, nullptr); // HALFTONE leaves the brush origin undefined
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        g_preferences.stretchMode = COLORONCOLOR;
    }
    CheckMainMenuItem(state, CMD_SMOOTH_RESIZING, g_preferences.stretchMode == HALFTONE);
}

void UpdateBackgroundBrush(MainWindowState& state) {
    bool changed = false;
    const ILColor& own = state.image.background;
    if (g_preferences.useBackground && state.image.data && own.a == 1.0f) {
        changed = own.Differs(state.background);
        state.background = own;
    } else if (state.background.Differs(g_preferences.backgroundColor)) {
        state.background = g_preferences.backgroundColor;
        changed = true;
    }
    if (changed || !state.backgroundBrush) {
        if (state.backgroundBrush) DeleteObject(state.backgroundBrush);
        state.backgroundBrush = CreateSolidBrush(state.background.ToCOLORREF());
    }
    ILSetBackgroundColor(state.handle, &state.background);
}

void ApplyToolWindowAlpha(const MainWindowState& state, HWND window) {
    SetLayeredWindowAttributes(window, 0, state.fullScreen ? 220 : 255, LWA_ALPHA);
}
