#include "viewer/logic/save_names.h"

#include "imglib/format_id.h"

#include "viewer/logic/text_utils.h"

namespace {


} // namespace

std::u16string ProposedSaveName(std::u16string_view currentPath) {
    std::u16string name(currentPath);
    StripExtension(name);
    return name;
}

std::u16string SaveExtension(uint32_t formatId, ILPixelType type, std::string_view firstExtension) {
    if ((formatId & IL_FORMAT_ROW_MASK) == IL_FORMAT_PNM)
        return (type & 0xFF0) > 0x60 ? u"pfm" : u"pnm";
    return std::u16string(firstExtension.begin(), firstExtension.end());
}

std::u16string ForceExtension(std::u16string_view chosen, std::u16string_view extension) {
    std::u16string name(chosen);
    StripExtension(name);
    name += u'.';
    name += extension;
    return name;
}
