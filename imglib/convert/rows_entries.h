// Builds a family's kernel table from groups: every source of a group with
// every target of it, one entry per pair.
#pragma once

#include <initializer_list>
#include <vector>

#include "imglib/convert/kernel_table.h"
#include "imglib/image.h"

struct ILKernelGroup {
    std::initializer_list<ILPixelType> sources;
    std::initializer_list<ILPixelType> targets;
    ILRowKernel kernel;
    // Serves the pairs whose colour orders (B, G, R or R, G, B) differ; null
    // when `kernel` serves every pair of the group.
    ILRowKernel reversed = nullptr;
    ILKernelVariant variant = IL_KV_ANY;
    ILPaletteTableBuilder builder = nullptr;
};

inline std::vector<ILKernelEntry> ILExpandKernelGroups(
    std::initializer_list<ILKernelGroup> groups) {
    std::vector<ILKernelEntry> entries;
    for (const ILKernelGroup& g : groups) {
        for (ILPixelType s : g.sources) {
            for (ILPixelType t : g.targets) {
                const bool differ = ((s ^ t) & IL_ORDER_RGB) != 0;
                entries.push_back(
                    {s, t, g.variant, differ && g.reversed ? g.reversed : g.kernel, g.builder});
            }
        }
    }
    return entries;
}
