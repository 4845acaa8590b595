// What undo, redo and a jump in the history do, decided apart from doing it:
// whether the undo snapshot is reloaded first, which entries are applied
// and where the cursor goes.
#pragma once

#include <cstdint>
#include <functional>

#include "imglib/image.h"
#include "viewer/actions/action_list.h"

struct ReplayPlan {
    bool run = false;             // false: nothing happens
    bool reloadSnapshot = false;  // the unedited image first; when that fails, nothing more
    int32_t cursor = 0;           // the history cursor afterwards
    uint32_t first = 1, last = 0; // the entries to apply, in order (none when first > last)
};

// Back to the state before the current entry: reload and apply 1 ... c - 1.
ReplayPlan PlanUndo(const ActionList& history);
// The entry after the cursor, when there is one.
ReplayPlan PlanRedo(const ActionList& history);
// To entry `target`: forwards by applying the entries in between, backwards
// by reloading and applying 1 ... target.
ReplayPlan PlanJump(const ActionList& history, uint32_t target);

// Carries a plan out on the current image. The snapshot is loaded into an
// image of its own and moved in only once it loaded, so that a missing or
// broken snapshot leaves the image and the cursor as they were (false).
// A failing entry does not stop the replay.
bool CarryOutReplay(const ReplayPlan& plan, ActionList& history, ILImage* image,
                    const char16_t* snapshotPath, const std::function<bool(const Action&)>& apply);
