// Write Text: the text is drawn white on black on a surface the size of the
// text block plus a margin; its grey levels are the coverage with which the
// text colour is blended into the image, in linear light. A glow or shadow
// is drawn the same way on a second surface, moved and blurred, and applied
// first. Only the box around the block is converted and rendered.
//
//   anchor      0 1 2     orientation 1 turns the block 90 degrees
//   grid:       3 4 5     clockwise: image column c of the box reads the
//               6 7 8     surface from the bottom up.
#include "imglib/ops/write_text.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/pixel_rows.h"

namespace {

constexpr uint32_t kMeasureFlags = IL_DT_NOPREFIX | IL_DT_NOCLIP | IL_DT_CALCRECT;
constexpr uint32_t kDrawFlags = IL_DT_NOPREFIX | IL_DT_NOCLIP;

struct SurfaceOwner {
    ILGdiSurface s{};
    ~SurfaceOwner() { s.Destroy(); }
};

struct Box {
    int64_t left, top, width, height;
};

// The block's top-left corner in a W x H image, by the anchor grid.
void PlaceBlock(const WriteTextParams& p, int64_t W, int64_t H, int64_t bw, int64_t bh, int64_t* x,
                int64_t* y) {
    const int column = p.anchor % 3, row = p.anchor / 3;
    *x = (column == 0 ? 0 : column == 1 ? (W - bw) / 2 : W - bw) + p.offsetX;
    *y = (row == 0 ? 0 : row == 1 ? (H - bh) / 2 : H - bh) - p.offsetY;
}

// The part of the whole surface (the block and its margin, full width x
// full height) that a surface holds: what the box reads, and for a blurred
// effect the blur's reach around it. Text far larger than the image then
// costs no more than the box, and the pixels read are those the whole
// surface would give (glyphs sit on whole pixels; the blur's window stays
// inside).
struct Window {
    int64_t fullWidth, fullHeight;
    int64_t left, top, width, height;
};

// Whole-surface coordinates of box pixel (c, r), for the orientation.
inline void ToSurface(const Window& w, uint8_t orientation, int64_t c, int64_t r, int64_t* sx,
                      int64_t* sy) {
    switch (orientation) {
        case 1:
            *sx = r, *sy = w.fullHeight - 1 - c;
            break;
        case 2:
            *sx = w.fullWidth - 1 - c, *sy = w.fullHeight - 1 - r;
            break;
        case 3:
            *sx = w.fullWidth - 1 - r, *sy = c;
            break;
        default:
            *sx = c, *sy = r;
            break;
    }
}

// The window over box columns [c0, c0 + width) and rows [r0, r0 + height),
// grown by reach and clipped to the whole surface.
Window WindowOf(int64_t fullWidth, int64_t fullHeight, uint8_t orientation, int64_t c0, int64_t r0,
                int64_t width, int64_t height, int64_t reach) {
    Window w = {fullWidth, fullHeight, 0, 0, 0, 0};
    int64_t x0, y0, x1, y1;
    ToSurface(w, orientation, c0, r0, &x0, &y0);
    ToSurface(w, orientation, c0 + width - 1, r0 + height - 1, &x1, &y1);
    w.left = std::max<int64_t>(std::min(x0, x1) - reach, 0);
    w.top = std::max<int64_t>(std::min(y0, y1) - reach, 0);
    w.width = std::min(std::max(x0, x1) + reach + 1, fullWidth) - w.left;
    w.height = std::min(std::max(y0, y1) + reach + 1, fullHeight) - w.top;
    return w;
}

// The surface pixel under box pixel (c, r).
inline const uint8_t* SurfacePixel(const ILGdiSurface& s, const Window& w, uint8_t orientation,
                                   int64_t c, int64_t r) {
    int64_t sx, sy;
    ToSurface(w, orientation, c, r, &sx, &sy);
    return s.bits + (sy - w.top) * s.stride + (sx - w.left) * 3;
}

// The effect offset on the surface, for the orientation.
void EffectOffset(const WriteTextParams& p, int32_t* ex, int32_t* ey) {
    const int32_t x = p.effectX, y = p.effectY;
    switch (p.orientation) {
        case 1:
            *ex = -y, *ey = -x;
            break;
        case 2:
            *ex = -x, *ey = y;
            break;
        case 3:
            *ex = y, *ey = x;
            break;
        default:
            *ex = x, *ey = -y;
            break;
    }
}

// Draws the block into the rectangle (m, m, tw + m, th + m) of the whole
// surface moved by (dx, dy), on the window's part of it.
bool DrawBlock(ILGdiSurface& s, const Window& w, int64_t tw, int64_t th, int64_t m, int32_t dx,
               int32_t dy, std::u16string_view text, uint32_t align) {
    if (!s.Resize(static_cast<uint32_t>(w.width), static_cast<uint32_t>(w.height))) return false;
    s.Clear();
    const int64_t x = m + dx - w.left, y = m + dy - w.top;
    ILRect rect = {static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + tw),
                   static_cast<int32_t>(y + th)};
    // A text that draws nothing (only line breaks) leaves the surface black.
    s.DrawText(&rect, text, align | kDrawFlags);
    return true;
}

float Coverage(const uint8_t* bgr) {
    return static_cast<float>(bgr[0] + bgr[1] + bgr[2]) * (1.0f / 765.0f);
}

} // namespace

ILResult ILWriteText(ILHandle* h, ILImage* image, const WriteTextParams* params,
                     const char16_t* text) try {
    if (!params || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const WriteTextParams& p = *params;
    if (p.anchor > 8 || p.orientation > 3) return IL_BAD_ARGUMENT;
    // Stored records can carry any float; these would blend into NaN.
    const ILColor& color = p.color;
    if (!std::isfinite(p.effect) || !std::isfinite(color.r) || !std::isfinite(color.g) ||
        !std::isfinite(color.b) || !std::isfinite(color.a))
        return IL_BAD_ARGUMENT;
    if (image->bits < 8) return IL_UNSUPPORTED_PIXEL_TYPE;
    const std::u16string_view chars = text ? std::u16string_view(text) : std::u16string_view();
    // Only the alignment and the reading order come from the stored field.
    const uint32_t align = static_cast<uint32_t>(p.lineAlign) & (3 | IL_DT_RTLREADING);

    SurfaceOwner textSurface, effectSurface;
    if (!textSurface.s.CreateWithFont(p.font)) {
        ILError(h, "The font cannot be made at this size");
        return IL_FAILED;
    }
    ILRect measured = {0, 0, 0, 0};
    if (!textSurface.s.DrawText(&measured, chars, align | kMeasureFlags)) return IL_FAILED;
    const int64_t tw = int64_t{measured.right} - measured.left;
    const int64_t th = int64_t{measured.bottom} - measured.top;
    if (tw <= 0 || th <= 0) return IL_OK;
    const bool turned = p.orientation == 1 || p.orientation == 3;
    const int64_t bw = turned ? th : tw, bh = turned ? tw : th;

    const int64_t W = image->width, H = image->height;
    int64_t x = 0, y = 0;
    PlaceBlock(p, W, H, bw, bh, &x, &y);
    const float e = p.effect * p.color.a;
    const int64_t m =
        e != 0 ? std::max(std::abs(int{p.effectX}), std::abs(int{p.effectY})) + p.blur + 4 : 4;

    // The block grown by the margin, clipped to the image.
    const int64_t left = std::max<int64_t>(x - m, 0), top = std::max<int64_t>(y - m, 0);
    const int64_t right = std::min(x + bw + m, W), bottom = std::min(y + bh + m, H);
    if (right <= left || bottom <= top) return IL_OK;
    const Box box = {left, top, right - left, bottom - top};
    const int64_t clipLeft = left - (x - m), clipTop = top - (y - m);

    // Rectangles on the surfaces are 32-bit.
    if (tw + 2 * m > INT32_MAX || th + 2 * m > INT32_MAX) return IL_OUT_OF_MEMORY;
    const Window textWindow = WindowOf(tw + 2 * m, th + 2 * m, p.orientation, clipLeft, clipTop,
                                       box.width, box.height, 0);
    const Window effectWindow = WindowOf(tw + 2 * m, th + 2 * m, p.orientation, clipLeft, clipTop,
                                         box.width, box.height, p.blur);
    if (!DrawBlock(textSurface.s, textWindow, tw, th, m, 0, 0, chars, align))
        return IL_OUT_OF_MEMORY;
    if (e != 0) {
        if (!effectSurface.s.CreateWithFont(p.font)) return IL_FAILED;
        int32_t ex = 0, ey = 0;
        EffectOffset(p, &ex, &ey);
        if (!DrawBlock(effectSurface.s, effectWindow, tw, th, m, ex, ey, chars, align))
            return IL_OUT_OF_MEMORY;
        if (p.blur != 0) {
            ILImage view;
            ILInitImage(&view);
            view.data = effectSurface.s.bits;
            view.stride = effectSurface.s.stride;
            view.width = effectSurface.s.width;
            view.height = effectSurface.s.height;
            view.type = IL_BGR8;
            view.channels = 3;
            view.bits = 8;
            ILGaussParams gauss;
            ILGaussParamsInit(&gauss, 2, 1.0f, p.blur, 1.0f);
            // A cancel from the progress procedure is no lack of memory.
            const ILResult blurred = ILGaussFilterInPlace(&gauss, h, &view);
            if (blurred != IL_OK) return blurred;
        }
    }

    const bool alpha = ILHasAlpha(image->type);
    const ILPixelType rowType = alpha ? IL_BGRA_FLOAT : IL_BGR_FLOAT;
    const uint32_t c = alpha ? 4 : 3;
    ILBuffer<float> row(
        static_cast<float*>(ILAlloc(h, static_cast<uint64_t>(box.width) * c * sizeof(float))));
    if (!row) return IL_OUT_OF_MEMORY;
    ILConverterOwner toFloat, fromFloat;
    ILConverterInitModes(&toFloat.c, image->type, rowType, static_cast<uint64_t>(box.width));
    ILConverterInitModes(&fromFloat.c, rowType, image->type, static_cast<uint64_t>(box.width));
    ILConverterSetDither(&fromFloat.c, false);
    if (image->palette) {
        ILConverterSetPalette(&toFloat.c, image->palette);
        ILConverterSetPalette(&fromFloat.c, image->palette);
    }
    if (!ILConverterPrepare(&toFloat.c) || !ILConverterPrepare(&fromFloat.c)) return IL_FAILED;

    const uint64_t pixelBytes = uint64_t{image->bits} * image->channels / 8;
    for (int64_t r = 0; r < box.height; ++r) {
        uint8_t* segment =
            ILRowOf(image, static_cast<uint64_t>(box.top + r)) + box.left * pixelBytes;
        toFloat.c.rowKernel(&toFloat.c, segment, row.get());
        float* px = row.get();
        for (int64_t col = 0; col < box.width; ++col, px += c) {
            if (e != 0) {
                const float s = Coverage(SurfacePixel(effectSurface.s, effectWindow, p.orientation,
                                                      clipLeft + col, clipTop + r));
                if (s != 0) {
                    const float w = std::pow(s, 1.4f) * e;
                    for (int k = 0; k < 3; ++k)
                        px[k] = e > 0 ? (1 - w) * px[k] + w : (1 + w) * px[k];
                }
            }
            const float k = Coverage(SurfacePixel(textSurface.s, textWindow, p.orientation,
                                                  clipLeft + col, clipTop + r));
            if (k == 0) continue;
            const float a = std::pow(k, 2.2f) * color.a;
            px[0] = a * color.b + (1 - a) * px[0];
            px[1] = a * color.g + (1 - a) * px[1];
            px[2] = a * color.r + (1 - a) * px[2];
            if (alpha && p.alphaWrite == 1) px[3] = k;
            if (alpha && p.alphaWrite == 2) px[3] = a;
        }
        fromFloat.c.rowKernel(&fromFloat.c, row.get(), segment);
    }
    return IL_OK;
} catch (const std::bad_alloc&) {
    return IL_OUT_OF_MEMORY;
}
