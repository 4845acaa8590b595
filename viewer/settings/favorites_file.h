// The favourites list kept in "fa.up" in the settings folder: read at
// start-up, written whenever the preferences are.
#pragma once

#include "viewer/actions/action_list.h"

// A missing or unreadable file leaves the favourites empty.
void LoadFavorites(ActionList& favorites);
// False when the file could not be written whole (the old one then stays).
bool SaveFavorites(const ActionList& favorites);
