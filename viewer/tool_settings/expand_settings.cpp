#include "viewer/tool_settings/expand_settings.h"

#include "viewer/logic/control_values.h"

ExpandSettings ExpandFromStored(const MarginsBlock& stored) {
    ExpandSettings s;
    s.sides = {ClampToRange(stored.left, 0, kExpandBorderMaximum),
               ClampToRange(stored.right, 0, kExpandBorderMaximum),
               ClampToRange(stored.top, 0, kExpandBorderMaximum),
               ClampToRange(stored.bottom, 0, kExpandBorderMaximum)};
    const MarginsBlock& m = s.sides;
    s.uniform = m.left == m.right && m.left == m.top && m.left == m.bottom;
    s.allSides = s.uniform ? m.left : 0;
    return s;
}

MarginsBlock ExpandMarginsOf(const ExpandSettings& settings) {
    if (!settings.uniform) return settings.sides;
    const int32_t a = settings.allSides;
    return {a, a, a, a};
}

bool ExpandApplyEnabled(const ExpandSettings& settings) {
    const MarginsBlock m = ExpandMarginsOf(settings);
    return m.left != 0 || m.right != 0 || m.top != 0 || m.bottom != 0;
}

std::string ExpandSizeText(const ExpandSettings& settings, uint32_t imageWidth,
                           uint32_t imageHeight) {
    const MarginsBlock m = ExpandMarginsOf(settings);
    const int64_t w = int64_t{imageWidth} + m.left + m.right;
    const int64_t h = int64_t{imageHeight} + m.top + m.bottom;
    return std::to_string(w) + " x " + std::to_string(h) + " pixel";
}
