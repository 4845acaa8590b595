// ILColor: one colour in linear light, decoded from and encoded to every
// stored sample form.
#include <Imath/half.h>

#include <cstring>

#include "imglib/color.h"
#include "imglib/convert/half_float.h"
#include "imglib/convert/srgb.h"
#include "imglib/image.h"

namespace {

uint16_t ToHalf(float v) {
    return imath_float_to_half(v);
}
float FromHalf(uint16_t bits) {
    return ILHalfToFloat(bits);
}

} // namespace

void ILColor::Reset() {
    *this = ILColor{};
}

void ILColor::SetBlack() {
    Set(0.0f, 0.0f, 0.0f);
}

void ILColor::SetWhite() {
    Set(1.0f, 1.0f, 1.0f);
}

void ILColor::SetYellow() {
    Set(1.0f, 1.0f, 0.0f);
}

void ILColor::Set(float red, float green, float blue) {
    r = red;
    g = green;
    b = blue;
    a = 1.0f;
    index = -1;
}

void ILColor::SetGray(float v) {
    Set(v, v, v);
}

void ILColor::MakeGray() {
    SetGray(Luminance());
}

bool ILColor::Differs(const ILColor& other) const {
    // Written as negated equality so that a NaN on either side differs.
    return !(r == other.r) || !(g == other.g) || !(b == other.b) || !(a == other.a);
}

float ILColor::Luminance() const {
    return (g * 0.715158f + r * 0.212656f) + b * 0.072186f;
}

void ILColor::FromBGR8(const uint8_t* bgr) {
    Set(ILSrgbTable8[bgr[2]], ILSrgbTable8[bgr[1]], ILSrgbTable8[bgr[0]]);
}

void ILColor::FromCOLORREF(uint32_t colorref) {
    Set(ILSrgbTable8[colorref & 0xFF], ILSrgbTable8[(colorref >> 8) & 0xFF],
        ILSrgbTable8[(colorref >> 16) & 0xFF]);
}

void ILColor::FromBGR16(const uint16_t* bgr) {
    Set(ILSrgbTable16[bgr[2]], ILSrgbTable16[bgr[1]], ILSrgbTable16[bgr[0]]);
}

void ILColor::FromBGRA16(const uint16_t* bgra) {
    FromBGR16(bgra);
    a = bgra[3] / 65535.0f;
}

void ILColor::FromBGRFloat(const float* bgr) {
    Set(bgr[2], bgr[1], bgr[0]);
}

void ILColor::FromBGRAFloat(const float* bgra) {
    FromBGRFloat(bgra);
    a = bgra[3];
}

void ILColor::FromBGRHalf(const uint16_t* bgr) {
    Set(FromHalf(bgr[2]), FromHalf(bgr[1]), FromHalf(bgr[0]));
}

void ILColor::FromGrayAlphaFloat(const float* ga) {
    SetGray(ga[0]);
    a = ga[1];
}

void ILColor::ToBGR8(uint8_t* out) const {
    out[0] = ILLinearToSrgb8(b);
    out[1] = ILLinearToSrgb8(g);
    out[2] = ILLinearToSrgb8(r);
}

void ILColor::ToBGRA8(uint8_t* out) const {
    ToBGR8(out);
    out[3] = ILClampToU8(a);
}

uint32_t ILColor::ToCOLORREF() const {
    return ILLinearToSrgb8(r) | ILLinearToSrgb8(g) << 8 | ILLinearToSrgb8(b) << 16;
}

void ILColor::ToBGR16(uint16_t* out) const {
    out[0] = ILLinearToSrgb16(b);
    out[1] = ILLinearToSrgb16(g);
    out[2] = ILLinearToSrgb16(r);
}

void ILColor::ToBGRA16(uint16_t* out) const {
    ToBGR16(out);
    out[3] = ILClampToU16(a);
}

void ILColor::ToBGRFloat(float* out) const {
    out[0] = b;
    out[1] = g;
    out[2] = r;
}

void ILColor::ToBGRAFloat(float* out) const {
    ToBGRFloat(out);
    out[3] = a;
}

void ILColor::ToBGRHalf(uint16_t* out) const {
    out[0] = ToHalf(b);
    out[1] = ToHalf(g);
    out[2] = ToHalf(r);
}

void ILColor::ToBGRAHalf(uint16_t* out) const {
    ToBGRHalf(out);
    out[3] = ToHalf(a);
}

uint8_t ILColor::ToGray8() const {
    return ILLinearToSrgb8(Luminance());
}

uint16_t ILColor::ToGray16() const {
    return ILLinearToSrgb16(Luminance());
}

void ILColor::ToGrayAlpha8(uint8_t* out) const {
    out[0] = ToGray8();
    out[1] = ILClampToU8(a);
}

void ILColor::ToGrayAlpha16(uint16_t* out) const {
    out[0] = ToGray16();
    out[1] = ILClampToU16(a);
}

float ILColor::ToGrayFloat() const {
    return Luminance();
}

void ILColor::ToGrayAlphaFloat(float* out) const {
    out[0] = Luminance();
    out[1] = a;
}

uint16_t ILColor::ToGrayHalf() const {
    return ToHalf(Luminance());
}

void ILColor::ToGrayAlphaHalf(uint16_t* out) const {
    out[0] = ToGrayHalf();
    out[1] = ToHalf(a);
}

bool ILColor::ToPixel(ILPixelType type, void* destination) const {
    const uint32_t model = type & IL_MODEL_MASK;
    const uint32_t kind = type & IL_KIND_MASK;
    const bool extra = (type & IL_EXTRA_MASK) != 0;
    // The destination may be any byte of a row: 16-bit and float samples go
    // through local buffers so that no unaligned store is made.
    auto* out = static_cast<uint8_t*>(destination);
    uint16_t words[4];
    float floats[4];

    if (model == IL_MODEL_INDEXED) {
        *out = index < 0 ? 0 : static_cast<uint8_t>(index);
        return index >= 0;
    }
    if (model == IL_MODEL_GRAY) {
        if (!extra) {
            switch (kind) {
                case IL_KIND_1:
                    *out = ILLumaToBit(Luminance()) ? 1 : 0;
                    return true;
                case IL_KIND_2:
                    *out = ILLinearToSrgb2(Luminance());
                    return true;
                case IL_KIND_4:
                    *out = ILLinearToSrgb4(Luminance());
                    return true;
                case IL_KIND_8:
                    *out = ToGray8();
                    return true;
                case IL_KIND_16:
                    words[0] = ToGray16();
                    break;
                case IL_KIND_HALF:
                    words[0] = ToGrayHalf();
                    break;
                case IL_KIND_FLOAT:
                    floats[0] = ToGrayFloat();
                    break;
                default:
                    return false;
            }
        } else {
            switch (kind) {
                case IL_KIND_8:
                    ToGrayAlpha8(out);
                    return true;
                case IL_KIND_16:
                    ToGrayAlpha16(words);
                    break;
                case IL_KIND_HALF:
                    ToGrayAlphaHalf(words);
                    break;
                case IL_KIND_FLOAT:
                    ToGrayAlphaFloat(floats);
                    break;
                default:
                    return false;
            }
        }
    } else if (model == IL_MODEL_RGB) {
        switch (kind) {
            case IL_KIND_8:
                extra ? ToBGRA8(out) : ToBGR8(out);
                return true;
            case IL_KIND_16:
                extra ? ToBGRA16(words) : ToBGR16(words);
                break;
            case IL_KIND_HALF:
                extra ? ToBGRAHalf(words) : ToBGRHalf(words);
                break;
            case IL_KIND_FLOAT:
                extra ? ToBGRAFloat(floats) : ToBGRFloat(floats);
                break;
            default:
                return false;
        }
    } else {
        return false;
    }

    const size_t samples = (model == IL_MODEL_GRAY ? 1 : 3) + (extra ? 1 : 0);
    if (kind == IL_KIND_FLOAT)
        std::memcpy(out, floats, samples * sizeof(float));
    else
        std::memcpy(out, words, samples * sizeof(uint16_t));
    return true;
}
