// The main menu: checks, greying, the rules that enable its items for the
// current image, and showing it as the context menu.
#include <windows.h>

#include "viewer/main_window/busy_guard.h"
#include "resources/commands.h"
#include "viewer/logic/menu_rules.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/style/menus.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/main_window/main_window_state.h"

namespace {

// Positions inside the main menu and its "Options" submenu.
constexpr int kFileMenu = 0;
constexpr int kOptionsMenu = 2;
constexpr int kWindowModeMenu = 11;
constexpr int kFullScreenModeMenu = 12;

// Items whose command is not built stay grey whatever the rules said; a
// submenu item with an id of its own (the Acquire sources, Mode) stays grey
// only when nothing in it is built. Answers whether the menu holds a built
// command.
bool GreyUnbuiltCommands(HMENU menu, bool (*isBuilt)(UINT id)) {
    bool anyBuilt = false;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(menu, i, TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
        const bool built =
            info.hSubMenu ? GreyUnbuiltCommands(info.hSubMenu, isBuilt) : isBuilt(info.wID);
        if (!built && info.wID != 0) EnableMenuItem(menu, i, MF_BYPOSITION | MF_GRAYED);
        anyBuilt = anyBuilt || built;
    }
    return anyBuilt;
}

// The radio item of the "Mode" submenu for a pixel type; 0 for none.
UINT ModeMenuItem(uint32_t type) {
    const uint32_t kind = type & IL_KIND_MASK;
    switch (type & IL_MODEL_MASK) {
        case IL_MODEL_GRAY:
            switch (kind) {
                case IL_KIND_1:
                    return CMD_MODE_MONOCHROME;
                case IL_KIND_2:
                    return CMD_MODE_GRAY2;
                case IL_KIND_4:
                    return CMD_MODE_GRAY4;
                case IL_KIND_8:
                    return CMD_MODE_GRAY8;
                case IL_KIND_16:
                    return CMD_MODE_GRAY16;
                case IL_KIND_HALF:
                    return CMD_MODE_GRAY_HALF;
                case IL_KIND_FLOAT:
                    return CMD_MODE_GRAY_FLOAT;
                default:
                    return 0;
            }
        case IL_MODEL_INDEXED:
            switch (kind) {
                case IL_KIND_1:
                    return CMD_MODE_INDEX1;
                case IL_KIND_2:
                    return CMD_MODE_INDEX2;
                case IL_KIND_4:
                    return CMD_MODE_INDEX4;
                case IL_KIND_8:
                    return CMD_MODE_INDEX8;
                default:
                    return 0;
            }
        case IL_MODEL_RGB:
            switch (kind) {
                case IL_KIND_8:
                    return CMD_MODE_RGB8;
                case IL_KIND_16:
                    return CMD_MODE_RGB16;
                case IL_KIND_HALF:
                    return CMD_MODE_RGB_HALF;
                case IL_KIND_FLOAT:
                    return CMD_MODE_RGB_FLOAT;
                default:
                    return 0;
            }
        default:
            return 0;
    }
}

} // namespace

void CheckMainMenuItem(const MainWindowState& state, UINT id, bool on) {
    if (state.mainMenu)
        CheckMenuItem(state.mainMenu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void EnableMainMenuItem(const MainWindowState& state, UINT id, bool greyed) {
    if (state.mainMenu)
        EnableMenuItem(state.mainMenu, id, MF_BYCOMMAND | (greyed ? MF_GRAYED : MF_ENABLED));
}

void CheckModeMenuRadio(const MainWindowState& state, UINT id) {
    for (UINT item = CMD_MODE_MONOCHROME; item <= CMD_MODE_RGB_FLOAT; ++item)
        CheckMainMenuItem(state, item, item == id);
}

void GetMainMenuText(const MainWindowState& state, UINT id, WCHAR (&text)[17]) {
    text[0] = 0;
    if (state.mainMenu) GetMenuStringW(state.mainMenu, id, text, 17, MF_BYCOMMAND);
}

void UpdateModeMenu(const MainWindowState& state) {
    CheckModeMenuRadio(state, state.image.data ? ModeMenuItem(state.image.type) : 0);
}

void UpdateMainMenuStates(MainWindowState& state, bool (*isBuilt)(UINT id)) {
    MenuFacts facts;
    facts.free = BeginImageChange(state, ImageChange::Apply, ChangeAsker::Program);
    facts.image = !state.display.IsEmpty();
    facts.pixelType = state.image.type;
    facts.bits = state.image.bits;
    facts.folderEntries = static_cast<uint32_t>(state.folders.entries.size());
    facts.twainSources = state.twainSourceCount;
    facts.acquireFree = facts.twainSources > 0 &&
                        BeginImageChange(state, ImageChange::Acquire, ChangeAsker::Program);
    facts.clipboardHasDib = IsClipboardFormatAvailable(CF_DIB);
    facts.highQualityResizing = g_preferences.highQualityResizing != 0;
    for (const MenuItemState& item : MainMenuStates(facts))
        EnableMainMenuItem(state, item.id, !item.enabled);
    GreyUnbuiltCommands(state.mainMenu, isBuilt);
}

void ShowContextMenu(const MainWindowState& state, const POINT* clientPoint, WPARAM keyState,
                     bool fromKeyboard) {
    if (!state.mainMenu) return;
    POINT point = clientPoint ? *clientPoint : POINT{0, 0};
    ClientToScreen(state.window, &point);
    HMENU menu = state.mainMenu;
    if (keyState & MK_CONTROL)
        menu = GetSubMenu(GetSubMenu(state.mainMenu, kOptionsMenu),
                          state.fullScreen ? kFullScreenModeMenu : kWindowModeMenu);
    else if (keyState & MK_SHIFT)
        menu = GetSubMenu(state.mainMenu, kFileMenu);
    SetMenuUnderlineMode(fromKeyboard);
    TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, point.x, point.y, state.window, nullptr);
}
