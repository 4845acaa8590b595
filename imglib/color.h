// Colours in linear light, 16-bit palettes, and the nearest-entry search.
#pragma once

#include <cstdint>

#include "imglib/pixel_type.h"

// A colour in linear light (1.0 = white); alpha is linear; index names the
// palette entry the colour stands for, -1 for none.
struct ILColor {
    float r = 0, g = 0, b = 0, a = 1;
    int32_t index = -1;

    void Reset();
    void SetBlack();
    void SetWhite();
    void SetYellow();
    void Set(float red, float green, float blue);
    void SetGray(float v);
    void MakeGray();
    bool Differs(const ILColor& other) const;
    float Luminance() const;

    void FromBGR8(const uint8_t* bgr);
    void FromCOLORREF(uint32_t colorref);
    void FromBGR16(const uint16_t* bgr);
    void FromBGRA16(const uint16_t* bgra);
    void FromBGRFloat(const float* bgr);
    void FromBGRAFloat(const float* bgra);
    void FromBGRHalf(const uint16_t* bgr);
    void FromGrayAlphaFloat(const float* ga);

    void ToBGR8(uint8_t* out) const;
    void ToBGRA8(uint8_t* out) const;
    uint32_t ToCOLORREF() const;
    void ToBGR16(uint16_t* out) const;
    void ToBGRA16(uint16_t* out) const;
    void ToBGRFloat(float* out) const;
    void ToBGRAFloat(float* out) const;
    void ToBGRHalf(uint16_t* out) const;
    void ToBGRAHalf(uint16_t* out) const;
    uint8_t ToGray8() const;
    uint16_t ToGray16() const;
    void ToGrayAlpha8(uint8_t* out) const;
    void ToGrayAlpha16(uint16_t* out) const;
    float ToGrayFloat() const;
    void ToGrayAlphaFloat(float* out) const;
    uint16_t ToGrayHalf() const;
    void ToGrayAlphaHalf(uint16_t* out) const;

    // Packs the colour into one pixel of the type; false for a type it does
    // not serve, or an indexed type while index is negative.
    bool ToPixel(ILPixelType type, void* destination) const;
};
static_assert(sizeof(ILColor) == 20);

// sRGB-encoded 16-bit entry (8-bit v stored as v * 257); alpha 65535 opaque.
struct ILPaletteEntry {
    uint16_t blue, green, red, alpha;
};

// Entries are owned; an allocation that fails leaves the palette empty
// (count 0) instead of throwing.
class ILPalette {
public:
    ILPaletteEntry* entries = nullptr;
    uint32_t count = 0;

    ILPalette() = default;
    explicit ILPalette(uint32_t n);
    ILPalette(uint32_t n, const uint8_t* bgra);
    ILPalette(const ILPalette& other);
    ILPalette& operator=(const ILPalette& other);
    ~ILPalette();

    void Resize(uint32_t n);

    ILPaletteEntry GetEntry(uint32_t i) const { return entries[i]; }
    void SetEntry(uint32_t i, const ILPaletteEntry& e) { entries[i] = e; }
    void GetEntry16(uint32_t i, uint16_t* blue, uint16_t* green, uint16_t* red) const;
    void SetEntry16(uint32_t i, uint16_t blue, uint16_t green, uint16_t red, uint16_t alpha);
    void SetEntryBGR8(uint32_t i, uint8_t blue, uint8_t green, uint8_t red);
    void ReadBGR8(uint32_t i, uint8_t* out) const;
    void ReadBGRA8(uint32_t i, uint8_t* out) const;
    void ReadRGB8(uint32_t i, uint8_t* out) const;
    void ReadRGBA8(uint32_t i, uint8_t* out) const;
    void GetColor(uint32_t i, ILColor* color) const;

    void WriteBGRA8(uint32_t n, uint8_t* out) const;
    void WriteBGR8(uint32_t n, uint8_t* out) const;
    void WriteRGB8(uint32_t n, uint8_t* out) const;
    void LoadBGRA8(uint32_t n, const uint8_t* in);
    void LoadBGR8(uint32_t n, const uint8_t* in);
    void LoadRGB8(uint32_t n, const uint8_t* in);

    bool MakeGrayRamp();
    void MakeOpaque();
    bool IsGrayRamp() const;
    // On an empty palette only sets the index to -1.
    void FindNearest(ILColor* color) const;
};

// Caches the nearest-entry search per 24-bit sRGB colour.
class ILPaletteMapper {
public:
    const ILPalette* palette = nullptr;
    uint8_t* cache = nullptr; // 2^24 bytes; 0 = key not met yet
    ILColor blackEntry;

    explicit ILPaletteMapper(const ILPalette* p);
    ~ILPaletteMapper();
    ILPaletteMapper(const ILPaletteMapper&) = delete;
    ILPaletteMapper& operator=(const ILPaletteMapper&) = delete;

    // False when the cache could not be allocated (Map then searches every
    // colour afresh).
    bool IsReady() const { return cache != nullptr; }
    void Map(ILColor* color);
};
