// The kinds of recorded edits, and where an "Open" action's image came from:
// the numbers that blocks, lists and action files carry.
#pragma once

#include <cstdint>

enum ActionType : int32_t {
    ACTION_NONE = 0,
    ACTION_OPEN = 1,
    ACTION_SAVE = 2,
    ACTION_MODE = 3,
    ACTION_ALPHA_CHANNEL = 4,
    ACTION_TONEMAPPING = 5,
    ACTION_COLOR_FILTER = 6,
    ACTION_GAUSS_FILTER = 7,
    ACTION_CROP = 8,
    ACTION_EXPAND = 9,
    ACTION_SHIFT = 10,
    ACTION_ROTATE = 11,
    ACTION_MIRROR = 12,
    ACTION_RESAMPLE = 13,
    ACTION_INVERT = 14,
    ACTION_SWAP_RED_BLUE = 15,
    ACTION_WRITE_TEXT = 16,
    ACTION_AFFINE = 17,
    ACTION_PERSPECTIVE = 18,
    ACTION_PROJECTION_3D = 19,
};

// Where an Open action's image came from.
enum OpenSource : int32_t { OPEN_FROM_FILE = 1, OPEN_FROM_CLIPBOARD = 2, OPEN_ACQUIRED = 3 };
