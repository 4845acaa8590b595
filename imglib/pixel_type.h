// Pixel-type codes: the parts of a code, a name for every type the library
// uses, and the facts derived from a code.
//
// A name reads model, extra channel, sample kind: IL_GREY_A16 is 16-bit grey
// with straight alpha, IL_BGRPA_HALF half-float B, G, R with premultiplied
// alpha, IL_RGBX8 8-bit R, G, B with a filler byte. The extra channel (A
// straight alpha, PA premultiplied alpha, X filler) joins the letters of the
// RGB family and follows an underscore otherwise; the sample kind is a digit
// count of bits or a word (_HALF, _FLOAT24, _FLOAT, _DOUBLE, _FIXED16,
// _FIXED32, _RGBE, _555, _565, _101010). Hexadecimal codes are kept only
// where a value is stored in a file.
#pragma once

#include <cstdint>

// ILPixelType: bits 0-3 colour model, 4-11 sample kind, 12-15 extra channel,
// bit 16 R,G,B order (clear: B,G,R).
using ILPixelType = uint32_t;

enum : uint32_t {
    IL_MODEL_MASK = 0xF,
    IL_MODEL_GRAY = 1,
    IL_MODEL_INDEXED = 2,
    IL_MODEL_RGB = 3,
    IL_MODEL_CMYK = 4,
    IL_MODEL_YCBCR = 5,
    IL_MODEL_LAB = 7,

    IL_KIND_MASK = 0xFF0,
    IL_KIND_1 = 0x10,
    IL_KIND_2 = 0x20,
    IL_KIND_4 = 0x30,
    IL_KIND_8 = 0x40,
    IL_KIND_12 = 0x50,
    IL_KIND_16 = 0x60,
    IL_KIND_32 = 0x70,
    IL_KIND_HALF = 0x100,
    IL_KIND_FLOAT24 = 0x110,
    IL_KIND_FLOAT = 0x120,
    IL_KIND_DOUBLE = 0x130,
    IL_KIND_FIXED16 = 0x140,
    IL_KIND_FIXED32 = 0x150,
    IL_KIND_RGBE = 0x160,
    IL_KIND_555 = 0x200,
    IL_KIND_565 = 0x210,
    IL_KIND_101010 = 0x220,

    IL_EXTRA_MASK = 0xF000,
    IL_EXTRA_FILLER = 0x1000,
    IL_EXTRA_ALPHA = 0x2000,
    IL_EXTRA_PREMULTIPLIED = 0x4000,

    IL_ORDER_RGB = 0x10000,
};

// The types images are built in, and the row types loaders hand to the
// converter (constants of ILPixelType itself, so that they mix with codes in
// lists and arithmetic).

// Grey.
constexpr ILPixelType IL_GREY1 = 0x11;
constexpr ILPixelType IL_GREY2 = 0x21;
constexpr ILPixelType IL_GREY4 = 0x31;
constexpr ILPixelType IL_GREY8 = 0x41;
constexpr ILPixelType IL_GREY12 = 0x51;
constexpr ILPixelType IL_GREY16 = 0x61;
constexpr ILPixelType IL_GREY32 = 0x71;
constexpr ILPixelType IL_GREY_HALF = 0x101;
constexpr ILPixelType IL_GREY_FLOAT24 = 0x111;
constexpr ILPixelType IL_GREY_FLOAT = 0x121;
constexpr ILPixelType IL_GREY_DOUBLE = 0x131;
constexpr ILPixelType IL_GREY_FIXED16 = 0x141;
constexpr ILPixelType IL_GREY_FIXED32 = 0x151;
constexpr ILPixelType IL_GREY_X8 = 0x1041;
constexpr ILPixelType IL_GREY_A1 = 0x2011;
constexpr ILPixelType IL_GREY_A8 = 0x2041;
constexpr ILPixelType IL_GREY_A12 = 0x2051;
constexpr ILPixelType IL_GREY_A16 = 0x2061;
constexpr ILPixelType IL_GREY_A32 = 0x2071;
constexpr ILPixelType IL_GREY_A_HALF = 0x2101;
constexpr ILPixelType IL_GREY_A_FLOAT24 = 0x2111;
constexpr ILPixelType IL_GREY_A_FLOAT = 0x2121;
constexpr ILPixelType IL_GREY_A_DOUBLE = 0x2131;
constexpr ILPixelType IL_GREY_PA8 = 0x4041;
constexpr ILPixelType IL_GREY_PA12 = 0x4051;
constexpr ILPixelType IL_GREY_PA16 = 0x4061;
constexpr ILPixelType IL_GREY_PA32 = 0x4071;
constexpr ILPixelType IL_GREY_PA_HALF = 0x4101;
constexpr ILPixelType IL_GREY_PA_FLOAT24 = 0x4111;
constexpr ILPixelType IL_GREY_PA_FLOAT = 0x4121;
constexpr ILPixelType IL_GREY_PA_DOUBLE = 0x4131;

// Indexed (the palette carries the colours).
constexpr ILPixelType IL_INDEX1 = 0x12;
constexpr ILPixelType IL_INDEX2 = 0x22;
constexpr ILPixelType IL_INDEX4 = 0x32;
constexpr ILPixelType IL_INDEX8 = 0x42;
constexpr ILPixelType IL_INDEX_A1 = 0x2012;
constexpr ILPixelType IL_INDEX_A2 = 0x2022;
constexpr ILPixelType IL_INDEX_A4 = 0x2032;
constexpr ILPixelType IL_INDEX_A8 = 0x2042;

// RGB, stored B, G, R.
constexpr ILPixelType IL_BGR1 = 0x13;
constexpr ILPixelType IL_BGR4 = 0x33;
constexpr ILPixelType IL_BGR8 = 0x43;
constexpr ILPixelType IL_BGR12 = 0x53;
constexpr ILPixelType IL_BGR16 = 0x63;
constexpr ILPixelType IL_BGR_HALF = 0x103;
constexpr ILPixelType IL_BGR_FLOAT24 = 0x113;
constexpr ILPixelType IL_BGR_FLOAT = 0x123;
constexpr ILPixelType IL_BGR_FIXED16 = 0x143;
constexpr ILPixelType IL_BGR_FIXED32 = 0x153;
constexpr ILPixelType IL_BGR_RGBE = 0x163;
constexpr ILPixelType IL_BGR_555 = 0x203;
constexpr ILPixelType IL_BGR_565 = 0x213;
constexpr ILPixelType IL_BGR_101010 = 0x223;
constexpr ILPixelType IL_BGRX4 = 0x1033;
constexpr ILPixelType IL_BGRX8 = 0x1043;
constexpr ILPixelType IL_BGRX16 = 0x1063;
constexpr ILPixelType IL_BGRA8 = 0x2043;
constexpr ILPixelType IL_BGRA12 = 0x2053;
constexpr ILPixelType IL_BGRA16 = 0x2063;
constexpr ILPixelType IL_BGRA_HALF = 0x2103;
constexpr ILPixelType IL_BGRA_FLOAT24 = 0x2113;
constexpr ILPixelType IL_BGRA_FLOAT = 0x2123;
constexpr ILPixelType IL_BGRA_FIXED16 = 0x2143;
constexpr ILPixelType IL_BGRA_FIXED32 = 0x2153;
constexpr ILPixelType IL_BGRPA8 = 0x4043;
constexpr ILPixelType IL_BGRPA12 = 0x4053;
constexpr ILPixelType IL_BGRPA16 = 0x4063;
constexpr ILPixelType IL_BGRPA_HALF = 0x4103;
constexpr ILPixelType IL_BGRPA_FLOAT = 0x4123;
constexpr ILPixelType IL_BGRPA_FIXED16 = 0x4143;
constexpr ILPixelType IL_BGRPA_FIXED32 = 0x4153;

// RGB, stored R, G, B.
constexpr ILPixelType IL_RGB4 = 0x10033;
constexpr ILPixelType IL_RGB8 = 0x10043;
constexpr ILPixelType IL_RGB12 = 0x10053;
constexpr ILPixelType IL_RGB16 = 0x10063;
constexpr ILPixelType IL_RGB_HALF = 0x10103;
constexpr ILPixelType IL_RGB_FLOAT24 = 0x10113;
constexpr ILPixelType IL_RGB_FLOAT = 0x10123;
constexpr ILPixelType IL_RGB_DOUBLE = 0x10133;
constexpr ILPixelType IL_RGB_FIXED16 = 0x10143;
constexpr ILPixelType IL_RGB_FIXED32 = 0x10153;
constexpr ILPixelType IL_RGBX8 = 0x11043;
constexpr ILPixelType IL_RGBA4 = 0x12033;
constexpr ILPixelType IL_RGBA8 = 0x12043;
constexpr ILPixelType IL_RGBA12 = 0x12053;
constexpr ILPixelType IL_RGBA16 = 0x12063;
constexpr ILPixelType IL_RGBA_HALF = 0x12103;
constexpr ILPixelType IL_RGBA_FLOAT24 = 0x12113;
constexpr ILPixelType IL_RGBA_FLOAT = 0x12123;
constexpr ILPixelType IL_RGBA_DOUBLE = 0x12133;
constexpr ILPixelType IL_RGBA_FIXED16 = 0x12143;
constexpr ILPixelType IL_RGBA_FIXED32 = 0x12153;
constexpr ILPixelType IL_RGBPA4 = 0x14033;
constexpr ILPixelType IL_RGBPA8 = 0x14043;
constexpr ILPixelType IL_RGBPA12 = 0x14053;
constexpr ILPixelType IL_RGBPA16 = 0x14063;
constexpr ILPixelType IL_RGBPA_HALF = 0x14103;
constexpr ILPixelType IL_RGBPA_FLOAT24 = 0x14113;
constexpr ILPixelType IL_RGBPA_FLOAT = 0x14123;
constexpr ILPixelType IL_RGBPA_DOUBLE = 0x14133;
constexpr ILPixelType IL_RGBPA_FIXED16 = 0x14143;
constexpr ILPixelType IL_RGBPA_FIXED32 = 0x14153;

// CMYK.
constexpr ILPixelType IL_CMYK4 = 0x34;
constexpr ILPixelType IL_CMYK8 = 0x44;
constexpr ILPixelType IL_CMYK16 = 0x64;
constexpr ILPixelType IL_CMYK_HALF = 0x104;
constexpr ILPixelType IL_CMYK_FLOAT24 = 0x114;
constexpr ILPixelType IL_CMYK_FLOAT = 0x124;
constexpr ILPixelType IL_CMYK_X8 = 0x1044;
constexpr ILPixelType IL_CMYK_X16 = 0x1064;
constexpr ILPixelType IL_CMYK_A8 = 0x2044;
constexpr ILPixelType IL_CMYK_A16 = 0x2064;
constexpr ILPixelType IL_CMYK_A_HALF = 0x2104;
constexpr ILPixelType IL_CMYK_A_FLOAT24 = 0x2114;
constexpr ILPixelType IL_CMYK_A_FLOAT = 0x2124;

// YCbCr.
constexpr ILPixelType IL_YCBCR8 = 0x45;
constexpr ILPixelType IL_YCBCR16 = 0x65;
constexpr ILPixelType IL_YCBCR_A8 = 0x2045;
constexpr ILPixelType IL_YCBCR_PA8 = 0x4045;

// Lab.
constexpr ILPixelType IL_LAB8 = 0x47;
constexpr ILPixelType IL_LAB16 = 0x67;

constexpr uint32_t ILPixelModel(ILPixelType type) {
    return type & IL_MODEL_MASK;
}
constexpr uint32_t ILSampleKind(ILPixelType type) {
    return type & IL_KIND_MASK;
}
// The alpha form: 0, IL_EXTRA_FILLER, IL_EXTRA_ALPHA or IL_EXTRA_PREMULTIPLIED.
constexpr uint32_t ILExtraChannel(ILPixelType type) {
    return type & IL_EXTRA_MASK;
}
// Straight or premultiplied alpha (a filler is no alpha).
constexpr bool ILHasAlpha(ILPixelType type) {
    return (type & (IL_EXTRA_ALPHA | IL_EXTRA_PREMULTIPLIED)) != 0;
}
constexpr bool ILIsPremultiplied(ILPixelType type) {
    return (type & IL_EXTRA_PREMULTIPLIED) != 0;
}

// Bits of one sample; 0 for a kind that names no type. Packed kinds count the
// narrowest field (5 for 5-6-5).
constexpr uint32_t ILBitsPerSample(ILPixelType type) {
    switch (type & IL_KIND_MASK) {
        case IL_KIND_1:
            return 1;
        case IL_KIND_2:
            return 2;
        case IL_KIND_4:
            return 4;
        case IL_KIND_8:
        case IL_KIND_RGBE:
            return 8;
        case IL_KIND_12:
            return 12;
        case IL_KIND_16:
        case IL_KIND_HALF:
        case IL_KIND_FIXED16:
            return 16;
        case IL_KIND_FLOAT24:
            return 24;
        case IL_KIND_32:
        case IL_KIND_FLOAT:
        case IL_KIND_FIXED32:
            return 32;
        case IL_KIND_DOUBLE:
            return 64;
        case IL_KIND_555:
        case IL_KIND_565:
            return 5;
        case IL_KIND_101010:
            return 10;
        default:
            return 0;
    }
}

// Samples per pixel: the model's channels plus any extra channel, which
// indexed types never count; 0 for a model that names no type.
constexpr uint32_t ILChannelCount(ILPixelType type) {
    uint32_t n = 0;
    switch (type & IL_MODEL_MASK) {
        case IL_MODEL_GRAY:
        case IL_MODEL_INDEXED:
            n = 1;
            break;
        case IL_MODEL_RGB:
        case IL_MODEL_YCBCR:
        case IL_MODEL_LAB:
            n = 3;
            break;
        case IL_MODEL_CMYK:
            n = 4;
            break;
        default:
            return 0;
    }
    if ((type & IL_MODEL_MASK) != IL_MODEL_INDEXED &&
        (type & (IL_EXTRA_FILLER | IL_EXTRA_ALPHA | IL_EXTRA_PREMULTIPLIED)))
        ++n;
    return n;
}
