// The main menu: checks, greying, the rules that enable its items for the
// current image, and showing it as the context menu.
#include <windows.h>

#include "viewer/busy_guard.h"
#include "viewer/commands.h"
#include "viewer/logic/image_summary.h"
#include "viewer/main_commands.h"
#include "viewer/main_window.h"
#include "viewer/menus.h"
#include "viewer/preferences_file.h"
#include "viewer/viewer_state.h"

namespace {

// Positions inside the main menu and its "Options" submenu.
constexpr int kFileMenu = 0;
constexpr int kOptionsMenu = 2;
constexpr int kWindowModeMenu = 11;
constexpr int kFullScreenModeMenu = 12;

void Grey(UINT id) {
    EnableMainMenuItem(id, true);
}

void Enable(UINT id) {
    EnableMainMenuItem(id, false);
}

void GreyRange(UINT first, UINT last) {
    for (UINT id = first; id <= last; ++id)
        Grey(id);
}

// Items whose command is not built stay grey whatever the rules said.
void GreyUnbuiltCommands(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(menu, i, TRUE, &info) || (info.fType & MFT_SEPARATOR))
            continue;
        if (info.wID == 0 && info.hSubMenu) {
            GreyUnbuiltCommands(info.hSubMenu);
        } else if (!IsCommandBuilt(info.wID)) {
            EnableMenuItem(menu, i, MF_BYPOSITION | MF_GRAYED);
        } else if (info.hSubMenu) {
            GreyUnbuiltCommands(info.hSubMenu);
        }
    }
}

// The radio item of the "Mode" submenu for a pixel type; 0 for none.
UINT ModeMenuItem(uint32_t type) {
    const uint32_t kind = type & IL_KIND_MASK;
    switch (type & IL_MODEL_MASK) {
    case IL_MODEL_GRAY:
        switch (kind) {
        case IL_KIND_1: return CMD_MODE_MONOCHROME;
        case IL_KIND_2: return CMD_MODE_GRAY2;
        case IL_KIND_4: return CMD_MODE_GRAY4;
        case IL_KIND_8: return CMD_MODE_GRAY8;
        case IL_KIND_16: return CMD_MODE_GRAY16;
        case IL_KIND_HALF: return CMD_MODE_GRAY_HALF;
        case IL_KIND_FLOAT: return CMD_MODE_GRAY_FLOAT;
        default: return 0;
        }
    case IL_MODEL_INDEXED:
        switch (kind) {
        case IL_KIND_1: return CMD_MODE_INDEX1;
        case IL_KIND_2: return CMD_MODE_INDEX2;
        case IL_KIND_4: return CMD_MODE_INDEX4;
        case IL_KIND_8: return CMD_MODE_INDEX8;
        default: return 0;
        }
    case IL_MODEL_RGB:
        switch (kind) {
        case IL_KIND_8: return CMD_MODE_RGB8;
        case IL_KIND_16: return CMD_MODE_RGB16;
        case IL_KIND_HALF: return CMD_MODE_RGB_HALF;
        case IL_KIND_FLOAT: return CMD_MODE_RGB_FLOAT;
        default: return 0;
        }
    default:
        return 0;
    }
}

}  // namespace

void CheckMainMenuItem(UINT id, bool on) {
    if (g_viewer.mainMenu)
        CheckMenuItem(g_viewer.mainMenu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void EnableMainMenuItem(UINT id, bool greyed) {
    if (g_viewer.mainMenu)
        EnableMenuItem(g_viewer.mainMenu, id, MF_BYCOMMAND | (greyed ? MF_GRAYED : MF_ENABLED));
}

void CheckModeMenuRadio(UINT id) {
    for (UINT item = CMD_MODE_MONOCHROME; item <= CMD_MODE_RGB_FLOAT; ++item)
        CheckMainMenuItem(item, item == id);
}

void GetMainMenuText(UINT id, WCHAR (&text)[17]) {
    text[0] = 0;
    if (g_viewer.mainMenu)
        GetMenuStringW(g_viewer.mainMenu, id, text, 17, MF_BYCOMMAND);
}

void UpdateModeMenu() {
    CheckModeMenuRadio(g_viewer.image.data ? ModeMenuItem(g_viewer.image.type) : 0);
}

void OnInitMenuPopup() {
    const bool free = BeginImageChange(false, false, CHANGE_APPLY);
    const bool image = !g_viewer.display.IsEmpty();
    if (!free)
        Grey(CMD_OPEN_IMAGE);
    else
        Enable(CMD_OPEN_IMAGE);
    EnableMainMenuItem(CMD_COPY, !image);

    if (image && free) {
        for (UINT id : {CMD_SAVE_IMAGE, CMD_PRINT, CMD_MODE_MENU, CMD_RESOLUTION,
                        CMD_TRANSFORM_MENU, CMD_TONEMAPPING, CMD_ALPHA_MENU})
            Enable(id);
        for (UINT id = CMD_GAUSS_FILTER; id <= CMD_PROJECTION_3D; ++id)
            Enable(id);
        // The folder list comes with the List window; until then it is empty.
        for (UINT id : {CMD_NEXT_IMAGE, CMD_PREVIOUS_IMAGE, CMD_REOPEN_IMAGE, CMD_SHELL_FOLDER})
            Grey(id);
        const uint32_t type = g_viewer.image.type;
        const uint32_t bits = g_viewer.image.bits;
        EnableMainMenuItem(CMD_WRITE_TEXT, bits < 8);
        Grey(CMD_PALETTE);
        switch (type & IL_MODEL_MASK) {
        case IL_MODEL_GRAY:
            Grey(CMD_SWAP_RED_BLUE);
            Grey(CMD_COLOR_FILTER);
            if (bits < 8)
                Grey(CMD_ALPHA_MENU);
            if (bits == 1) {
                Grey(CMD_TONEMAPPING);
                Grey(CMD_GAUSS_FILTER);
            }
            break;
        case IL_MODEL_INDEXED:
            Enable(CMD_PALETTE);
            Grey(CMD_GAUSS_FILTER);
            Grey(CMD_ALPHA_MENU);
            break;
        default: {
            Enable(CMD_SWAP_RED_BLUE);
            Enable(CMD_COLOR_FILTER);
            Enable(CMD_ALPHA_LOAD);
            const bool alpha = HasAlphaChannel(type);
            EnableMainMenuItem(CMD_ALPHA_ADD, alpha);
            for (UINT id : {CMD_ALPHA_REMOVE, CMD_ALPHA_INVERT, CMD_ALPHA_SAVE})
                EnableMainMenuItem(id, !alpha);
            break;
        }
        }
    } else {
        for (UINT id : {CMD_SAVE_IMAGE, CMD_NEXT_IMAGE, CMD_PREVIOUS_IMAGE, CMD_REOPEN_IMAGE,
                        CMD_SHELL_FOLDER, CMD_PRINT, CMD_MODE_MENU, CMD_RESOLUTION,
                        CMD_TRANSFORM_MENU, CMD_ALPHA_MENU})
            Grey(id);
        GreyRange(CMD_PALETTE, CMD_WRITE_TEXT);
    }

    // No TWAIN sources are listed yet.
    EnableMainMenuItem(CMD_ACQUIRE,
                       g_viewer.twainSourceCount == 0 || !BeginImageChange(false, false, CHANGE_ACQUIRE));

    if (IsClipboardFormatAvailable(CF_DIB)) {
        EnableMainMenuItem(CMD_PASTE, !free);
        Enable(CMD_EMPTY_CLIPBOARD);
    } else {
        Grey(CMD_PASTE);
        Grey(CMD_EMPTY_CLIPBOARD);
    }

    for (UINT id = CMD_FX_OFF; id <= CMD_FX_PUSH_UP_DOWN; ++id)
        EnableMainMenuItem(id, !g_preferences.highQualityResizing);

    GreyUnbuiltCommands(g_viewer.mainMenu);
}

void ShowContextMenu(const POINT* clientPoint, WPARAM keyState, bool fromKeyboard) {
    if (!g_viewer.mainMenu)
        return;
    POINT point = clientPoint ? *clientPoint : POINT{0, 0};
    ClientToScreen(g_viewer.mainWindow, &point);
    HMENU menu = g_viewer.mainMenu;
    if (keyState & MK_CONTROL)
        menu = GetSubMenu(GetSubMenu(g_viewer.mainMenu, kOptionsMenu),
                          g_viewer.fullScreen ? kFullScreenModeMenu : kWindowModeMenu);
    else if (keyState & MK_SHIFT)
        menu = GetSubMenu(g_viewer.mainMenu, kFileMenu);
    SetMenuUnderlineMode(fromKeyboard);
    TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, point.x, point.y, g_viewer.mainWindow, nullptr);
}
