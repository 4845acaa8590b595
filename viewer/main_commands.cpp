// The commands of the main menu, the accelerators and the other windows, in
// one table with the guard each passes, so that the guard sits in one place.
#include "viewer/main_commands.h"

#include "viewer/busy_guard.h"
#include "viewer/commands.h"
#include "viewer/display_bitmap.h"
#include "viewer/full_screen_switch.h"
#include "viewer/library_messages.h"
#include "viewer/logic/image_summary.h"
#include "viewer/main_window.h"
#include "viewer/open_dialog.h"
#include "viewer/open_image.h"
#include "viewer/preferences_file.h"
#include "viewer/shell_services.h"
#include "viewer/style.h"
#include "viewer/view.h"
#include "viewer/viewer_state.h"
#include "viewer/wide_text.h"

namespace {

// What a command does to the current image, and so which guard it passes.
enum class Guard {
    None,
    OpenUser, // replaces the image; the user is told why when refused
};

struct Command {
    UINT first;
    UINT last;
    void (*handler)(UINT id, LPARAM lParam);
    bool needsImage; // does nothing without a current image
    Guard guard;
};

bool PassGuard(Guard guard) {
    switch (guard) {
        case Guard::None:
            return true;
        case Guard::OpenUser:
            return BeginImageChange(false, true, CHANGE_OPEN);
    }
    return false;
}

// File

void OpenImage(UINT, LPARAM) {
    WCHAR path[kPathUnits];
    if (g_viewer.currentPath[0])
        lstrcpynW(path, g_viewer.currentPath, kPathUnits);
    else if (g_viewer.lastOpenedPath[0])
        lstrcpynW(path, g_viewer.lastOpenedPath, kPathUnits);
    else
        CopyToWide(g_preferences.lastImagePath, path);
    if (!ChooseImageToOpen(path, g_preferences.openFilterIndex)) return;
    UpdateWindow(g_viewer.mainWindow);
    OpenImageFile(path, 0);
}

void Exit(UINT, LPARAM) {
    PostMessageW(g_viewer.mainWindow, WM_CLOSE, 0, 0);
}

void CopyToClipboard(UINT, LPARAM) {
    if (g_viewer.display.IsEmpty() || !OpenClipboard(g_viewer.mainWindow)) return;
    EmptyClipboard();
    const HGLOBAL dib = static_cast<HGLOBAL>(g_viewer.display.ToClipboard());
    if (!dib || !SetClipboardData(CF_DIB, dib)) {
        if (dib) GlobalFree(dib);
        CloseClipboard();
        ShowError(L"Copy to clipboard failed");
        return;
    }
    CloseClipboard();
}

void EmptyTheClipboard(UINT, LPARAM) {
    if (OpenClipboard(g_viewer.mainWindow)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// The page comes from another window's message: only pages the file has.
void GoToPage(UINT, LPARAM page) {
    if (page >= 0 && page < g_viewer.info.pages && page != g_viewer.info.page)
        OpenImageFile(g_viewer.currentPath, static_cast<int>(page));
}

// Image

// After an option that changes how the image is drawn.
void RenderAgainIfAlpha() {
    if (g_viewer.image.data && HasAlphaChannel(g_viewer.image.type)) RefreshImageView(false);
}

void ToggleUseAlpha(UINT, LPARAM) {
    SetUseAlpha(!g_preferences.useAlpha);
    ShowOptionToggled("Use alpha", g_preferences.useAlpha);
    RenderAgainIfAlpha();
}

void ToggleUseBackground(UINT, LPARAM) {
    SetUseBackground(!g_preferences.useBackground);
    UpdateBackgroundBrush();
    RenderAgainIfAlpha();
    InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
    ShowOptionToggled("Use background", g_preferences.useBackground);
}

// Options

struct Toggle {
    UINT id;
    uint8_t Preferences::*field;
    const char* name;
};
constexpr Toggle kToggles[] = {
    {CMD_WARNING_MESSAGES, &Preferences::warningMessages, "Warning messages"},
    {CMD_ASK_IF_CHANGED, &Preferences::askIfChanged, "Ask if image has changed"},
    {CMD_DIALOG_TIPS, &Preferences::dialogTips, "Show dialog tips"},
    {CMD_AUTO_FOCUS, &Preferences::autoFocus, "Auto focus"},
    {CMD_UPSAMPLE_SMALLER, &Preferences::upsampleSmallImages, nullptr},
    {CMD_HIGH_QUALITY_RESIZING, &Preferences::highQualityResizing, nullptr},
};

void ToggleOption(UINT id, LPARAM) {
    for (const Toggle& toggle : kToggles) {
        if (toggle.id != id) continue;
        uint8_t& value = g_preferences.*toggle.field;
        value = value ? 0 : 1;
        CheckMainMenuItem(id, value);
        if (toggle.name) ShowOptionToggled(toggle.name, value);
    }
    if (id == CMD_UPSAMPLE_SMALLER && g_viewer.fullScreen) {
        LayoutView(g_viewer.view.zoomLevel, false);
        InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
    }
}

void ToggleMultipageDialog(UINT, LPARAM) {
    SetMultipageDialog(!g_preferences.multipageDialog);
    ShowOptionToggled("Multipage dialog", g_preferences.multipageDialog);
}

void ChooseMonochromeDither(UINT id, LPARAM) {
    if (id == CMD_MONO_DITHER_ASK)
        SetMonochromeDither((g_preferences.monochromeDither & 0xF) | 0x10);
    else
        SetMonochromeDither(static_cast<int>(id - CMD_MONO_DITHER_OFF));
}

void ChooseDither(UINT id, LPARAM) {
    if (id == CMD_DITHER_TOGGLE)
        SetDither(g_preferences.dither == 1 ? 0 : 1);
    else
        SetDither(static_cast<int>(id - CMD_DITHER_OFF));
}

void ChooseResolutionUnit(UINT id, LPARAM) {
    SetResolutionUnit(id == CMD_UNIT_INCH ? 1 : 0);
}

void ChooseWheelMode(UINT id, LPARAM) {
    SetWheelMode(id == CMD_WHEEL_ZOOM ? 1 : 0);
}

void ChooseInterfaceStyle(UINT id, LPARAM) {
    const int style = id == CMD_STYLE_DARK ? 1 : 0;
    g_preferences.interfaceStyle = static_cast<uint8_t>(style);
    CheckMainMenuItem(CMD_STYLE_LIGHT, style == 0);
    CheckMainMenuItem(CMD_STYLE_DARK, style == 1);
    SetInterfaceStyle(style);
}

void ToggleSmoothResizing(UINT, LPARAM) {
    g_preferences.stretchMode = g_preferences.stretchMode == HALFTONE ? COLORONCOLOR : HALFTONE;
    ApplyStretchMode();
    InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
}

void ChooseWindowMode(UINT id, LPARAM) {
    const int mode = static_cast<int>(id - CMD_FIT_NOTHING);
    SetWindowMode(mode);
    if (g_viewer.fullScreen) return;
    if (mode == 1) {
        ShowScrollBar(g_viewer.mainWindow, SB_BOTH, FALSE);
        g_viewer.view.hBarShown = false;
        g_viewer.view.vBarShown = false;
        LayoutView(g_viewer.view.zoomLevel, false);
        InvalidateRect(g_viewer.mainWindow, nullptr, TRUE);
    } else {
        LayoutView(g_viewer.view.zoomLevel, mode == 2);
    }
}

void ChooseTransitionEffect(UINT id, LPARAM) {
    SetTransitionEffect(static_cast<int>(id - CMD_FX_OFF));
}

void ToggleFullScreen(UINT, LPARAM) {
    SetFullScreen(!g_viewer.fullScreen);
}

void FullScreenStep(UINT, LPARAM step) {
    RunFullScreenStep(static_cast<int>(step));
}

// Help

void OpenHelp(UINT, LPARAM) {
    ShowHelp(g_viewer.mainWindow);
}

// View

void ContextMenuFromKeyboard(UINT id, LPARAM) {
    const WPARAM keys[] = {0, MK_SHIFT, MK_CONTROL};
    ShowContextMenu(nullptr, keys[id - CMD_CONTEXT_MENU], true);
}

void Zoom(UINT id, LPARAM) {
    const bool ratio = id >= CMD_ZOOM_1_1_RATIO;
    const int step[] = {0, 1, -1};
    ZoomView(step[(id - (ratio ? CMD_ZOOM_1_1_RATIO : CMD_ZOOM_1_1))], ratio);
}

void ScrollByKey(UINT id, LPARAM) {
    ViewGeometry& view = g_viewer.view;
    switch (id) {
        case CMD_SCROLL_UP:
        case CMD_SCROLL_DOWN:
            if (view.vBarShown) ScrollViewVertically(view.scrollY + (id == CMD_SCROLL_UP ? -1 : 1));
            break;
        default:
            if (view.hBarShown)
                ScrollViewHorizontally(view.scrollX + (id == CMD_SCROLL_LEFT ? -1 : 1));
            break;
    }
}

void FitWindowToDisplay(UINT, LPARAM) {
    FitWindowToClientSize(g_viewer.view.displayWidth, g_viewer.view.displayHeight);
}

constexpr Command kCommands[] = {
    {CMD_OPEN_IMAGE, CMD_OPEN_IMAGE, OpenImage, false, Guard::OpenUser},
    {CMD_EXIT, CMD_EXIT, Exit, false, Guard::None},
    {CMD_COPY, CMD_COPY, CopyToClipboard, true, Guard::None},
    {CMD_EMPTY_CLIPBOARD, CMD_EMPTY_CLIPBOARD, EmptyTheClipboard, false, Guard::None},
    {CMD_GO_TO_PAGE, CMD_GO_TO_PAGE, GoToPage, true, Guard::None},

    {CMD_USE_ALPHA, CMD_USE_ALPHA, ToggleUseAlpha, false, Guard::None},
    {CMD_USE_BACKGROUND, CMD_USE_BACKGROUND, ToggleUseBackground, false, Guard::None},

    {CMD_WARNING_MESSAGES, CMD_ASK_IF_CHANGED, ToggleOption, false, Guard::None},
    {CMD_MULTIPAGE_DIALOG, CMD_MULTIPAGE_DIALOG, ToggleMultipageDialog, false, Guard::None},
    {CMD_DIALOG_TIPS, CMD_AUTO_FOCUS, ToggleOption, false, Guard::None},
    {CMD_MONO_DITHER_OFF, CMD_MONO_DITHER_ASK, ChooseMonochromeDither, false, Guard::None},
    {CMD_DITHER_OFF, CMD_DITHER_TOGGLE, ChooseDither, false, Guard::None},
    {CMD_UNIT_CM, CMD_UNIT_INCH, ChooseResolutionUnit, false, Guard::None},
    {CMD_WHEEL_ZOOM, CMD_WHEEL_BROWSE, ChooseWheelMode, false, Guard::None},
    {CMD_STYLE_LIGHT, CMD_STYLE_DARK, ChooseInterfaceStyle, false, Guard::None},
    {CMD_SMOOTH_RESIZING, CMD_SMOOTH_RESIZING, ToggleSmoothResizing, false, Guard::None},
    {CMD_FIT_NOTHING, CMD_FIT_WINDOW_TO_IMAGE, ChooseWindowMode, false, Guard::None},
    {CMD_HIGH_QUALITY_RESIZING, CMD_UPSAMPLE_SMALLER, ToggleOption, false, Guard::None},
    {CMD_FX_OFF, CMD_FX_PUSH_UP_DOWN, ChooseTransitionEffect, false, Guard::None},
    {CMD_FULL_SCREEN, CMD_FULL_SCREEN, ToggleFullScreen, false, Guard::None},
    {CMD_FULL_SCREEN_STEP, CMD_FULL_SCREEN_STEP, FullScreenStep, false, Guard::None},

    {CMD_HELP, CMD_HELP, OpenHelp, false, Guard::None},

    {CMD_CONTEXT_MENU, CMD_CONTEXT_MENU_CONTROL, ContextMenuFromKeyboard, false, Guard::None},
    {CMD_ZOOM_1_1, CMD_ZOOM_OUT, Zoom, false, Guard::None},
    {CMD_ZOOM_1_1_RATIO, CMD_ZOOM_OUT_RATIO, Zoom, false, Guard::None},
    {CMD_SCROLL_UP, CMD_SCROLL_RIGHT, ScrollByKey, false, Guard::None},
    {CMD_FIT_WINDOW_TO_CLIENT, CMD_FIT_WINDOW_TO_CLIENT, FitWindowToDisplay, true, Guard::None},
};

const Command* FindCommand(UINT id) {
    for (const Command& command : kCommands)
        if (id >= command.first && id <= command.last) return &command;
    return nullptr;
}

} // namespace

bool IsCommandBuilt(UINT id) {
    return FindCommand(id) != nullptr;
}

bool DispatchCommand(UINT id, LPARAM lParam) {
    const Command* command = FindCommand(id);
    if (!command) return false;
    if (command->needsImage && !g_viewer.image.data) return true;
    if (PassGuard(command->guard)) command->handler(id, lParam);
    return true;
}

bool OpenPathFromOutside(WCHAR (&path)[480]) {
    if (FindFirstImageInFolder(path) == 0) {
        ShowNoImagesInFolder(path);
        return false;
    }
    return path[0] != 0 && OpenImageFile(path, 0);
}
