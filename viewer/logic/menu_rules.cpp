#include "viewer/logic/menu_rules.h"

#include "imglib/image.h"
#include "resources/commands.h"

std::vector<MenuItemState> MainMenuStates(const MenuFacts& facts) {
    std::vector<MenuItemState> out;
    const auto set = [&](unsigned id, bool enabled) { out.push_back({id, enabled}); };
    const auto setRange = [&](unsigned first, unsigned last, bool enabled) {
        for (unsigned id = first; id <= last; ++id)
            set(id, enabled);
    };

    set(CMD_OPEN_IMAGE, facts.free);
    set(CMD_COPY, facts.image);

    if (facts.image && facts.free) {
        for (unsigned id : {CMD_SAVE_IMAGE, CMD_PRINT, CMD_MODE_MENU, CMD_RESOLUTION,
                            CMD_TRANSFORM_MENU, CMD_TONEMAPPING, CMD_ALPHA_MENU})
            set(id, true);
        setRange(CMD_GAUSS_FILTER, CMD_PROJECTION_3D, true);
        set(CMD_NEXT_IMAGE, facts.folderEntries >= 2);
        set(CMD_PREVIOUS_IMAGE, facts.folderEntries >= 2);
        set(CMD_REOPEN_IMAGE, facts.folderEntries > 0);
        set(CMD_SHELL_FOLDER, facts.folderEntries > 0);
        // Write Text needs 8 bits or more; an image that has them gets the
        // item back (after an image without them had greyed it).
        set(CMD_WRITE_TEXT, facts.bits >= 8);
        set(CMD_PALETTE, false);
        switch (facts.pixelType & IL_MODEL_MASK) {
            case IL_MODEL_GRAY:
                set(CMD_SWAP_RED_BLUE, false);
                set(CMD_COLOR_FILTER, false);
                if (facts.bits < 8) set(CMD_ALPHA_MENU, false);
                if (facts.bits == 1) {
                    set(CMD_TONEMAPPING, false);
                    set(CMD_GAUSS_FILTER, false);
                }
                break;
            case IL_MODEL_INDEXED:
                set(CMD_PALETTE, true);
                set(CMD_GAUSS_FILTER, false);
                set(CMD_ALPHA_MENU, false);
                break;
            default: {
                set(CMD_SWAP_RED_BLUE, true);
                set(CMD_COLOR_FILTER, true);
                set(CMD_ALPHA_LOAD, true);
                // Likewise each alpha item comes back when the image fits it.
                const bool alpha = ILHasAlpha(facts.pixelType);
                set(CMD_ALPHA_ADD, !alpha);
                set(CMD_ALPHA_REMOVE, alpha);
                set(CMD_ALPHA_INVERT, alpha);
                set(CMD_ALPHA_SAVE, alpha);
                break;
            }
        }
    } else {
        for (unsigned id : {CMD_SAVE_IMAGE, CMD_NEXT_IMAGE, CMD_PREVIOUS_IMAGE, CMD_REOPEN_IMAGE,
                            CMD_SHELL_FOLDER, CMD_PRINT, CMD_MODE_MENU, CMD_RESOLUTION,
                            CMD_TRANSFORM_MENU, CMD_ALPHA_MENU})
            set(id, false);
        setRange(CMD_PALETTE, CMD_WRITE_TEXT, false);
    }

    set(CMD_ACQUIRE, facts.twainSources > 0 && facts.acquireFree);
    set(CMD_PASTE, facts.clipboardHasDib && facts.free);
    set(CMD_EMPTY_CLIPBOARD, facts.clipboardHasDib);
    setRange(CMD_FX_OFF, CMD_FX_PUSH_UP_DOWN, facts.highQualityResizing);
    return out;
}
