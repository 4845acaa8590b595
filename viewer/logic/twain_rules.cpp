#include "viewer/logic/twain_rules.h"

ScanPixelType ScanPixelTypeFor(uint16_t pixelType, const int16_t (&bitsPerSample)[3]) {
    const int16_t bits = bitsPerSample[0];
    switch (pixelType) {
        case kTwainBlackWhite:
            if (bits == 1) return {IL_GREY1, 1};
            break;
        case kTwainGrey:
            if (bits == 8) return {IL_GREY8, 2};
            if (bits == 16) return {IL_GREY16, 2};
            break;
        case kTwainRgb:
            if (bitsPerSample[1] != bits || bitsPerSample[2] != bits) break;
            if (bits == 8) return {IL_BGR8, 4};
            if (bits == 16) return {IL_BGR16, 4};
            break;
        default:
            break;
    }
    return {};
}

std::string FormatTwainSourceName(std::string_view productName, unsigned major, unsigned minor) {
    std::string name(productName.substr(0, productName.find('\0')).substr(0, 48));
    name += " - ";
    name += std::to_string(major);
    name += '.';
    name += std::to_string(minor);
    return name;
}

int32_t Fix32ToInt(int16_t whole, uint16_t frac) {
    // In double: a float rounds 299 + 65535 / 65536 up to 300.
    return static_cast<int32_t>(whole + frac / 65536.0);
}
