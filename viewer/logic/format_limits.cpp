#include "viewer/logic/format_limits.h"

namespace {

enum : uint32_t {
    kBmp = 0x10,
    kGif = 0x20,
    kPcx = 0x30,
    kPng = 0x40,
    kJpeg = 0x50,
    kJpeg2000 = 0x60,
    kTiff = 0x70,
    kTga = 0x80,
    kPnm = 0x90,
    kSgi = 0xB0,
    kJpegXr = 0xE0,
    kRadiance = 0x100,
    kExr = 0x110,
    kCineon = 0x120,
    kPgf = 0x130,
    kWebp = 0x140,
};

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
    const uint32_t f = formatId & ~0xFu;
    return f != kSgi && f != kCineon;
}

std::string FormatLimitsText(uint32_t formatId, ILPixelType t) {
    std::string text;
    Extra extra = Extra::NotChecked;
    switch (formatId & ~0xFu) {
        case kBmp:
        case kPcx:
        case kJpeg:
            if (WiderThan8(t)) text = kOnly8;
            extra = Extra::None;
            break;
        case kGif:
            if (WiderThan8(t) || ILChannelCount(t) > 1)
                text = "Selected format supports only indexed 8 bps colors";
            extra = Extra::None;
            break;
        case kPnm:
        case kRadiance:
        case kCineon:
            extra = Extra::None;
            break;
        case kTga:
        case kWebp:
            if (WiderThan8(t)) text = kOnly8;
            extra = Extra::UpToPremultiplied;
            break;
        case kPgf:
            if ((t & 0xF000) != 0 && t != IL_BGRA8)
                return "Selected format supports alpha channels only with 8bps RGB";
            [[fallthrough]];
        case kPng:
        case kJpeg2000:
        case kSgi:
            if (WiderThan16(t)) text = kOnly16;
            extra = Extra::UpToPremultiplied;
            break;
        case kJpegXr:
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
