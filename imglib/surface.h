// A 24-bit drawing surface: pixels B, G, R, rows top-down, each row padded to
// 32 bits, together with a drawing context that text can be drawn through.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "imglib/color.h"

// The small graphics layer the surface rests on, standing in for the
// platform's bitmaps, fonts and memory drawing contexts. Objects are deleted
// through the base, as the platform deletes any of its objects by one call.
struct ILGdiObject {
    virtual ~ILGdiObject() = default;
};

// A device-independent section: the pixel memory the surface's bits point at.
struct ILGdiBitmap final : ILGdiObject {
    std::unique_ptr<uint8_t[]> pixels;
};

// A memory drawing context with what is selected into it.
struct ILGdiContext final : ILGdiObject {
    uint32_t textColor = 0xFFFFFF; // 0x00BBGGRR
    bool transparentBackground = true;
    ILGdiBitmap* bitmap = nullptr;
    ILGdiObject* font = nullptr;
};

// The platform's single-byte logical-font record, field for field (60 bytes).
struct ILLogFont {
    int32_t height;      // < 0: em size in pixels; > 0: cell height (ascent + descent); 0: default
    int32_t width;       // average character width; 0 keeps the face's proportions
    int32_t escapement;  // not used by the surface
    int32_t orientation; // not used by the surface
    int32_t weight;      // 0 default (400), 100 to 900; 700 bold
    uint8_t italic, underline, strikeOut, charSet;
    uint8_t outPrecision, clipPrecision;
    uint8_t quality; // kFontNonAntialiased: monochrome; anything else: grey anti-aliasing
    uint8_t pitchAndFamily;
    char faceName[32];
};
static_assert(sizeof(ILLogFont) == 60);
inline constexpr uint8_t kFontNonAntialiased = 3;

struct ILRect {
    int32_t left, top, right, bottom;
};

// Text-format flags, the platform's values.
enum : uint32_t {
    IL_DT_LEFT = 0,
    IL_DT_CENTER = 0x1,
    IL_DT_RIGHT = 0x2,
    IL_DT_NOCLIP = 0x100,
    IL_DT_CALCRECT = 0x400, // measure only: the rectangle becomes the text's extent
    IL_DT_NOPREFIX = 0x800, // without it "&x" underlines x and "&&" is one "&"
    IL_DT_END_ELLIPSIS = 0x8000,
    IL_DT_RTLREADING = 0x20000,
};

struct ILGdiSurface;

// What draws text on a surface: the native build's FreeType rasteriser by
// default; the Win32 viewer installs one on the platform's own drawing.
struct ILTextRasterizer {
    // A font object for the description; null when none can be made.
    ILGdiObject* (*createFont)(const ILLogFont& font);
    // Draws (or, with IL_DT_CALCRECT, measures) the text in the surface's
    // font and text colour; false when it cannot.
    bool (*drawText)(ILGdiSurface& surface, ILRect* rect, std::u16string_view text,
                     uint32_t format);
};
// Installs a rasteriser (null: the built-in one); answers the previous one.
const ILTextRasterizer* ILSetTextRasterizer(const ILTextRasterizer* rasterizer);
const ILTextRasterizer& ILBuiltinTextRasterizer();

struct ILGdiSurface {
    uint8_t* bits;  // top row; owned by the bitmap
    int64_t stride; // ((width * 24 + 31) / 32) * 4
    uint32_t width;
    uint32_t height;
    ILGdiBitmap* bitmap;
    ILGdiObject* font;
    ILGdiContext* dc;

    // Zeroes the record and makes the drawing context (white text, drawn
    // without filling its background). Call on a fresh or destroyed record.
    void Init();
    // Init, then Resize.
    bool Create(uint32_t newWidth, uint32_t newHeight);
    // Init, Resize (1, 1), SetFont: for measuring, then resizing to the text.
    bool CreateWithFont(const ILLogFont& description);
    // Replaces the pixels by a new zeroed buffer; on failure (no context, a
    // zero or too large size, no memory) the surface keeps its old pixels and
    // geometry and answers false.
    bool Resize(uint32_t newWidth, uint32_t newHeight);
    // The old font stays when the new one cannot be made.
    bool SetFont(const ILLogFont& description);
    void SetTextColor(const ILColor& color);
    // Every pixel becomes the colour's 8-bit sRGB value; the padding bytes of
    // the first row are copied into the others.
    void Fill(const ILColor& color);
    // All stride x height bytes become 0.
    void Clear();
    // Lines break only at CR, LF and CR LF; tabs are drawn as they stand.
    // False without a font or a context, or when the rasteriser fails.
    bool DrawText(ILRect* rect, std::u16string_view text, uint32_t format);
    // Centred; a last line too wide ends with "...". The single-byte
    // form reads Windows-1252.
    bool DrawTextCentered(ILRect* rect, std::u16string_view text);
    bool DrawTextCenteredA(ILRect* rect, std::string_view text);
    // Frees the bitmap, the font and the context; the record is then empty.
    void Destroy();
};
