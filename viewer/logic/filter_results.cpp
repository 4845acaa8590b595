#include "viewer/logic/filter_results.h"

#include <new>

ILResult NewFilterTarget(const ILImage& source, ILImage* result) {
    const ILResult r = ILExtraChannel(source.type) != 0
                           ? ILAssignImage(result, &source)
                           : ILReallocImage(result, source.width, source.height, source.type,
                                            nullptr);
    if (r == IL_OK) result->background = source.background;
    return r;
}

ILResult PaletteResult(const ILImage& source, const ILPalette& palette, ILImage* result) {
    auto* copy = new (std::nothrow) ILPalette(palette);
    if (!copy || copy->count != palette.count) {
        delete copy;
        return IL_OUT_OF_MEMORY;
    }
    ILAliasImage(result, &source);
    result->palette = copy;
    return IL_OK;
}
