// Glyph bitmaps: squares for check boxes, anti-aliased circles for radio
// buttons, in the normal, checked, pressed, disabled and menu looks.
#include "viewer/logic/control_glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imglib/convert/srgb.h"

namespace {

uint8_t& At(Glyph& glyph, int x, int y) {
    return glyph[static_cast<size_t>(y) * kGlyphStride + x];
}

void SetGlyphPixel(Glyph& glyph, int x, int y, uint8_t g) {
    At(glyph, x, y) = g;
}

// Mixes grey g into the pixel with weight w, in linear light.
void BlendGlyphPixel(Glyph& glyph, int x, int y, uint8_t g, float w) {
    uint8_t& pixel = At(glyph, x, y);
    pixel = ILLinearToSrgb8((1.0f - w) * ILSrgbTable8[pixel] + w * ILSrgbTable8[g]);
}

void Fill(Glyph& glyph, uint8_t g) {
    std::memset(glyph, g, kGlyphBytes);
}

// The eight mirror images of (a, b) about the centre: (c +- a, c +- b) and
// (c +- b, c +- a).
template <typename Op>
void ForEightOctants(int a, int b, Op op) {
    constexpr int c = kGlyphCentre;
    for (int sa : {-1, 1})
        for (int sb : {-1, 1}) {
            op(c + sa * a, c + sb * b);
            op(c + sb * b, c + sa * a);
        }
}

void DrawShape(Glyph& glyph, GlyphShape shape, int r, uint8_t g, bool filled) {
    if (shape == GLYPH_SQUARE)
        DrawSquareGlyph(glyph, r, g, filled);
    else
        DrawCircleGlyph(glyph, r, g, filled);
}

void BuildShape(Glyph (&set)[GLYPH_KINDS], GlyphShape shape, const GlyphGreys& greys) {
    Glyph& normal = set[GLYPH_NORMAL];
    Fill(normal, greys.face);
    DrawShape(normal, shape, 5, greys.field, false);
    DrawShape(normal, shape, 6, greys.text, false);
    std::memcpy(set[GLYPH_CHECKED], normal, kGlyphBytes);
    DrawShape(set[GLYPH_CHECKED], shape, 3, greys.text, true);
    std::memcpy(set[GLYPH_PRESSED], normal, kGlyphBytes);
    DrawShape(set[GLYPH_PRESSED], shape, 3, greys.shadow, true);

    Glyph& disabled = set[GLYPH_DISABLED];
    Fill(disabled, greys.face);
    DrawShape(disabled, shape, 6, greys.shadow, false);
    std::memcpy(set[GLYPH_DISABLED_CHECKED], disabled, kGlyphBytes);
    DrawShape(set[GLYPH_DISABLED_CHECKED], shape, 3, greys.shadow, true);

    Glyph& menu = set[GLYPH_MENU];
    Fill(menu, greys.highlight);
    DrawShape(menu, shape, 4, greys.face, false);
    DrawShape(menu, shape, 5, greys.text, false);
    std::memcpy(set[GLYPH_MENU_CHECKED], menu, kGlyphBytes);
    DrawShape(set[GLYPH_MENU_CHECKED], shape, 3, greys.text, true);
}

} // namespace

void DrawSquareGlyph(Glyph& glyph, int r, uint8_t g, bool filled) {
    for (int y = 0; y < kGlyphSize; ++y)
        for (int x = 0; x < kGlyphSize; ++x) {
            const int d = std::max(std::abs(x - kGlyphCentre), std::abs(y - kGlyphCentre));
            if (d == r || (filled && d < r)) SetGlyphPixel(glyph, x, y, g);
        }
}

void DrawCircleGlyph(Glyph& glyph, int r, uint8_t g, bool disc) {
    constexpr int c = kGlyphCentre;
    SetGlyphPixel(glyph, c, c - r, g);
    SetGlyphPixel(glyph, c - r, c, g);
    SetGlyphPixel(glyph, c + r, c, g);
    SetGlyphPixel(glyph, c, c + r, g);
    if (disc) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (std::abs(dx) + std::abs(dy) <= 2) SetGlyphPixel(glyph, c + dx, c + dy, g);
    }
    // Per column k off the axis, the edge crosses at s: the pixel beyond it
    // gets the covered fraction, the pixel inside the rest (or all, for a disc).
    for (int k = 1; k <= r / 2 + 1; ++k) {
        const double s = std::sqrt(static_cast<double>(r * r - k * k));
        float f = static_cast<float>(s - std::floor(s));
        const int h = static_cast<int>(s) + 1;
        if (f == 0.0f) f = 0.1f;
        ForEightOctants(k, h, [&](int x, int y) { BlendGlyphPixel(glyph, x, y, g, f); });
        ForEightOctants(k, h - 1, [&](int x, int y) {
            if (disc)
                SetGlyphPixel(glyph, x, y, g);
            else
                BlendGlyphPixel(glyph, x, y, g, 1.0f - f);
        });
    }
    const double d = r * 0.707106;
    const int e = static_cast<int>(std::ceil(d));
    const float w = static_cast<float>((d - std::floor(d)) * 0.5);
    for (int sx : {-1, 1})
        for (int sy : {-1, 1})
            BlendGlyphPixel(glyph, c + sx * e, c + sy * e, g, w);
}

void BuildGlyphs(ControlGlyphs& glyphs, const GlyphGreys& greys) {
    BuildShape(glyphs.glyphs[GLYPH_SQUARE], GLYPH_SQUARE, greys);
    BuildShape(glyphs.glyphs[GLYPH_CIRCLE], GLYPH_CIRCLE, greys);
}
