#include "viewer/logic/format_limits.h"

#include "imglib/format_id.h"

namespace {

enum class Extra { None, UpToPremultiplied, NotChecked };

const char* const kOnly8 = "Selected format supports only 8 bps";
const char* const kOnly16 = "Selected format supports only 16 bps";

bool WiderThan8(ILPixelType t) {
    return (t & 0xFF0) > 0x40;
}
bool WiderThan16(ILPixelType t) {
    return (t & 0xFF0) >= 0x70;
}

} // namespace

bool HasFormatOptions(uint32_t formatId) {
    const uint32_t f = formatId & IL_FORMAT_ROW_MASK;
    return f != IL_FORMAT_SGI && f != IL_FORMAT_CINEON;
}

std::string FormatLimitsText(uint32_t formatId, ILPixelType t) {
    std::string text;
    Extra extra = Extra::NotChecked;
    switch (formatId & IL_FORMAT_ROW_MASK) {
        case IL_FORMAT_BMP:
        case IL_FORMAT_PCX:
        case IL_FORMAT_JPEG:
            if (WiderThan8(t)) text = kOnly8;
            extra = Extra::None;
            break;
        case IL_FORMAT_GIF:
            if (WiderThan8(t) || ILChannelCount(t) > 1)
                text = "Selected format supports only indexed 8 bps colors";
            extra = Extra::None;
            break;
        case IL_FORMAT_PNM:
        case IL_FORMAT_RADIANCE:
        case IL_FORMAT_CINEON:
            extra = Extra::None;
            break;
        case IL_FORMAT_TGA:
        case IL_FORMAT_WEBP:
            if (WiderThan8(t)) text = kOnly8;
            extra = Extra::UpToPremultiplied;
            break;
        case IL_FORMAT_PGF:
            if ((t & 0xF000) != 0 && t != IL_BGRA8)
                return "Selected format supports alpha channels only with 8bps RGB";
            [[fallthrough]];
        case IL_FORMAT_PNG:
        case IL_FORMAT_JPEG2000:
        case IL_FORMAT_SGI:
            if (WiderThan16(t)) text = kOnly16;
            extra = Extra::UpToPremultiplied;
            break;
        case IL_FORMAT_JXR:
            if ((t & 0xF) == IL_MODEL_GRAY && (t & 0xF000) > 0x1FFF)
                return "Selected format does not support grayscale with alpha channels";
            break;
        default: // TIFF, OpenEXR
            break;
    }
    // "Up to premultiplied alpha" admits every extra channel the types have.
    if (extra == Extra::None && (t & 0xF000) != 0)
        text = text.empty() ? "Selected format does not support alpha channels"
                            : text + " and no alpha channels";
    return text;
}
