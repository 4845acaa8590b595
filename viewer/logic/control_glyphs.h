// The check-box and radio-button marks of the interface style, precomputed as
// 13 x 13 grey bitmaps so that painting a control is one bitmap draw.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kGlyphSize = 13;
inline constexpr int kGlyphCentre = 6;
inline constexpr size_t kGlyphStride = 16; // rows padded for a device-independent bitmap
inline constexpr size_t kGlyphBytes = kGlyphStride * kGlyphSize;

// One byte per pixel holds its grey level.
using Glyph = uint8_t[kGlyphBytes];

enum GlyphKind : int {
    GLYPH_NORMAL,
    GLYPH_CHECKED,
    GLYPH_PRESSED,
    GLYPH_DISABLED,
    GLYPH_DISABLED_CHECKED,
    GLYPH_MENU,
    GLYPH_MENU_CHECKED,
    GLYPH_KINDS
};
enum GlyphShape : int { GLYPH_SQUARE = 0, GLYPH_CIRCLE = 1 };

struct ControlGlyphs {
    Glyph glyphs[2][GLYPH_KINDS]; // [shape][kind]
};

// The grey levels the glyphs are drawn with: the low (red) byte of the
// style's colours, all of which are neutral greys.
struct GlyphGreys {
    uint8_t face;
    uint8_t field;
    uint8_t text;
    uint8_t highlight;
    uint8_t shadow;
};

// Builds all fourteen glyphs. The anti-aliased circles blend in linear light
// through the library's 8-bit sRGB table.
void BuildGlyphs(ControlGlyphs& glyphs, const GlyphGreys& greys);

// Outline (every pixel whose larger distance from the centre along x or y is
// r) or filled mark (at most r) of grey g.
void DrawSquareGlyph(Glyph& glyph, int r, uint8_t g, bool filled);
// Anti-aliased ring or disc of radius r about the centre.
void DrawCircleGlyph(Glyph& glyph, int r, uint8_t g, bool disc);
