// ILPalette: the 16-bit sRGB-encoded entries of an indexed image, their
// byte-level transfers, grey ramps and the nearest-entry search.
#include <algorithm>
#include <new>

#include "imglib/color.h"
#include "imglib/convert/srgb.h"

namespace {

// Zeroed entries, or null when n is 0 or memory runs out.
ILPaletteEntry* NewEntries(uint32_t n) {
    return n == 0 ? nullptr : new (std::nothrow) ILPaletteEntry[n]();
}

uint16_t Widen(uint8_t v) {
    return static_cast<uint16_t>(v * 257);
}
uint8_t Narrow(uint16_t v) {
    return static_cast<uint8_t>(v / 257);
}

} // namespace

ILPalette::ILPalette(uint32_t n) {
    Resize(n);
}

ILPalette::ILPalette(uint32_t n, const uint8_t* bgra) {
    LoadBGRA8(n, bgra);
}

ILPalette::ILPalette(const ILPalette& other) {
    *this = other;
}

ILPalette& ILPalette::operator=(const ILPalette& other) {
    if (this == &other) return *this;
    ILPaletteEntry* copy = NewEntries(other.count);
    delete[] entries;
    entries = copy;
    count = copy ? other.count : 0;
    if (copy) std::copy_n(other.entries, count, entries);
    return *this;
}

ILPalette::~ILPalette() {
    delete[] entries;
}

void ILPalette::Resize(uint32_t n) {
    if (n == count) return;
    delete[] entries;
    entries = NewEntries(n);
    count = entries ? n : 0;
}

void ILPalette::GetEntry16(uint32_t i, uint16_t* blue, uint16_t* green, uint16_t* red) const {
    *blue = entries[i].blue;
    *green = entries[i].green;
    *red = entries[i].red;
}

void ILPalette::SetEntry16(uint32_t i, uint16_t blue, uint16_t green, uint16_t red,
                           uint16_t alpha) {
    entries[i] = {blue, green, red, alpha};
}

void ILPalette::SetEntryBGR8(uint32_t i, uint8_t blue, uint8_t green, uint8_t red) {
    entries[i] = {Widen(blue), Widen(green), Widen(red), 65535};
}

void ILPalette::ReadBGR8(uint32_t i, uint8_t* out) const {
    out[0] = Narrow(entries[i].blue);
    out[1] = Narrow(entries[i].green);
    out[2] = Narrow(entries[i].red);
}

void ILPalette::ReadBGRA8(uint32_t i, uint8_t* out) const {
    ReadBGR8(i, out);
    out[3] = Narrow(entries[i].alpha);
}

void ILPalette::ReadRGB8(uint32_t i, uint8_t* out) const {
    out[0] = Narrow(entries[i].red);
    out[1] = Narrow(entries[i].green);
    out[2] = Narrow(entries[i].blue);
}

void ILPalette::ReadRGBA8(uint32_t i, uint8_t* out) const {
    ReadRGB8(i, out);
    out[3] = Narrow(entries[i].alpha);
}

void ILPalette::GetColor(uint32_t i, ILColor* color) const {
    color->r = ILSrgbTable16[entries[i].red];
    color->g = ILSrgbTable16[entries[i].green];
    color->b = ILSrgbTable16[entries[i].blue];
    color->index = static_cast<int32_t>(i);
}

void ILPalette::WriteBGRA8(uint32_t n, uint8_t* out) const {
    for (uint32_t i = 0; i < std::min(n, count); ++i)
        ReadBGRA8(i, out + 4 * i);
}

void ILPalette::WriteBGR8(uint32_t n, uint8_t* out) const {
    for (uint32_t i = 0; i < std::min(n, count); ++i)
        ReadBGR8(i, out + 3 * i);
}

void ILPalette::WriteRGB8(uint32_t n, uint8_t* out) const {
    for (uint32_t i = 0; i < std::min(n, count); ++i)
        ReadRGB8(i, out + 3 * i);
}

void ILPalette::LoadBGRA8(uint32_t n, const uint8_t* in) {
    if (!in) return;
    Resize(n);
    for (uint32_t i = 0; i < count; ++i, in += 4)
        entries[i] = {Widen(in[0]), Widen(in[1]), Widen(in[2]), Widen(in[3])};
}

void ILPalette::LoadBGR8(uint32_t n, const uint8_t* in) {
    if (!in) return;
    Resize(n);
    for (uint32_t i = 0; i < count; ++i, in += 3)
        SetEntryBGR8(i, in[0], in[1], in[2]);
}

void ILPalette::LoadRGB8(uint32_t n, const uint8_t* in) {
    if (!in) return;
    Resize(n);
    for (uint32_t i = 0; i < count; ++i, in += 3)
        SetEntryBGR8(i, in[2], in[1], in[0]);
}

bool ILPalette::MakeGrayRamp() {
    if (count < 2) return false;
    const uint16_t step = static_cast<uint16_t>(65535 / (count - 1));
    for (uint32_t i = 0; i < count; ++i) {
        const auto v = static_cast<uint16_t>(i * step);
        entries[i].blue = entries[i].green = entries[i].red = v;
    }
    return true;
}

void ILPalette::MakeOpaque() {
    for (uint32_t i = 0; i < count; ++i)
        entries[i].alpha = 65535;
}

bool ILPalette::IsGrayRamp() const {
    uint32_t step;
    switch (count) {
        case 2:
            step = 65535;
            break;
        case 4:
            step = 21845;
            break;
        case 16:
            step = 4369;
            break;
        case 256:
            step = 257;
            break;
        default:
            return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t v = i * step;
        if (entries[i].blue != v || entries[i].green != v || entries[i].red != v) return false;
    }
    return true;
}

// Squared distance in linear light over r, g, b; alpha takes no part, and the
// first of equally near entries wins. An empty palette leaves the colour as
// it is, with no index.
void ILPalette::FindNearest(ILColor* color) const {
    if (count == 0) {
        color->index = -1;
        return;
    }
    float best = 4294836224.0f;
    uint32_t bestIndex = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const float dr = ILSrgbTable16[entries[i].red] - color->r;
        const float dg = ILSrgbTable16[entries[i].green] - color->g;
        const float db = ILSrgbTable16[entries[i].blue] - color->b;
        const float d = (dr * dr + dg * dg) + db * db;
        if (d < best) {
            best = d;
            bestIndex = i;
        }
    }
    GetColor(bestIndex, color);
}
