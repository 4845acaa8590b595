// A 24-bit drawing surface: pixels B, G, R, rows top-down, each row padded to
// 32 bits, together with a drawing context that text can be drawn through.
#pragma once

#include <cstdint>
#include <memory>

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
    // Replaces the pixels by a new zeroed buffer; on failure (no context, a
    // zero or too large size, no memory) the surface keeps its old pixels and
    // geometry and answers false.
    bool Resize(uint32_t newWidth, uint32_t newHeight);
    void SetTextColor(const ILColor& color);
    // Every pixel becomes the colour's 8-bit sRGB value; the padding bytes of
    // the first row are copied into the others.
    void Fill(const ILColor& color);
    // All stride x height bytes become 0.
    void Clear();
    // Frees the bitmap, the font and the context; the record is then empty.
    void Destroy();
};
