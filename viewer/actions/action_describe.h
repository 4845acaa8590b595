// What describing an action draws: its text lines and colour swatches with
// their offsets from the top-left point, worked out apart from the device
// context that draws them (the Actions window and the named-action dialog).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imglib/color.h"
#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_list.h"

enum class DescribeKind {
    Text,         // `text` (8-bit) at (x, y)
    WideText,     // `wide` at (x, y)
    PathEllipsis, // `wide` into the width x height box, shortened in the middle
    EndEllipsis,  // `wide` into the box, shortened at its end
    FontLabel,    // the font's label fitted into `width` pixels
    ModeItem,     // the Mode menu's text of command `number`
    Swatch,       // a 40 x 15 box of `color`
};

struct DescribeItem {
    DescribeKind kind = DescribeKind::Text;
    int x = 0, y = 0;
    std::string text;
    std::u16string wide;
    int width = 0, height = 0;
    int32_t number = 0;
    ILColor color;
    ActionLogFont font;
};

std::vector<DescribeItem> DescribeAction(const Action& action, bool withName);
