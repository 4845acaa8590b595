// Which main-menu items the current state enables: the rules that run each
// time a submenu of the main menu opens.
#pragma once

#include <cstdint>
#include <vector>

struct MenuFacts {
    bool free = false;          // the guard would let an edit through (silently asked)
    bool image = false;         // a display bitmap exists
    uint32_t pixelType = 0;     // of the current image
    uint32_t bits = 0;          // bits per channel of the current image
    uint32_t folderEntries = 0; // entries of the folder list
    int twainSources = 0;
    bool acquireFree = false; // the guard would let an acquisition through
    bool clipboardHasDib = false;
    bool highQualityResizing = false;
};

struct MenuItemState {
    unsigned id;
    bool enabled;
};

// Items the rules decide, in the order they decide them; an id may come
// more than once, the last state counts.
std::vector<MenuItemState> MainMenuStates(const MenuFacts& facts);
