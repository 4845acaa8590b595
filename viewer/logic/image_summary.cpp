#include "viewer/logic/image_summary.h"

#include "imglib/image.h"

std::string FormatModeName(uint32_t type) {
    const uint32_t model = type & IL_MODEL_MASK;
    const uint32_t kind = type & IL_KIND_MASK;
    if (model == IL_MODEL_GRAY && kind == IL_KIND_1) return "Monochrome";
    std::string name;
    switch (model) {
        case IL_MODEL_GRAY:
            name = "Gray";
            break;
        case IL_MODEL_INDEXED:
            name = "Index";
            break;
        default:
            name = "RGB";
            break;
    }
    switch (kind) {
        case IL_KIND_1:
            return name + " 1 bps";
        case IL_KIND_2:
            return name + " 2 bps";
        case IL_KIND_4:
            return name + " 4 bps";
        case IL_KIND_8:
            return name + " 8 bps";
        case IL_KIND_16:
            return name + " 16 bps";
        case IL_KIND_HALF:
            return name + " half";
        case IL_KIND_FLOAT:
            return name + " float";
        default:
            return name;
    }
}

std::string FormatAlphaState(uint32_t type, bool useAlpha) {
    if (!ILHasAlpha(type)) return "";
    return useAlpha ? "\r\nAlpha enabled" : "\r\nAlpha disabled";
}
