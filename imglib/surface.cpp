// The drawing surface over the small native graphics layer.
#include "imglib/surface.h"

#include <cstring>
#include <new>

namespace {

// A section's image size is a 32-bit field of its header.
constexpr uint64_t kMaxSectionBytes = 0xFFFFFFFFu;

int64_t SurfaceStride(uint32_t width) {
    return static_cast<int64_t>((uint64_t{width} * 24 + 31) / 32 * 4);
}

} // namespace

void ILGdiSurface::Init() {
    *this = ILGdiSurface{};
    dc = new (std::nothrow) ILGdiContext;
}

bool ILGdiSurface::Create(uint32_t newWidth, uint32_t newHeight) {
    Init();
    return Resize(newWidth, newHeight);
}

bool ILGdiSurface::Resize(uint32_t newWidth, uint32_t newHeight) {
    if (!dc || newWidth == 0 || newHeight == 0) return false;
    // The stride changes only with the pixels: a stride that no longer matches
    // the buffer would let Fill and Clear write past it.
    const int64_t newStride = SurfaceStride(newWidth);
    const uint64_t bytes = static_cast<uint64_t>(newStride) * newHeight;
    if (bytes > kMaxSectionBytes) return false;
    auto section = std::unique_ptr<ILGdiBitmap>(new (std::nothrow) ILGdiBitmap);
    if (!section) return false;
    section->pixels.reset(new (std::nothrow) uint8_t[bytes]());
    if (!section->pixels) return false;
    bits = section->pixels.get();
    stride = newStride;
    width = newWidth;
    height = newHeight;
    delete bitmap;
    bitmap = section.release();
    dc->bitmap = bitmap;
    return true;
}

void ILGdiSurface::SetTextColor(const ILColor& color) {
    if (dc) dc->textColor = color.ToCOLORREF();
}

void ILGdiSurface::Fill(const ILColor& color) {
    if (!bits) return;
    uint8_t bgr[3];
    color.ToBGR8(bgr);
    for (uint32_t x = 0; x < width; ++x)
        std::memcpy(bits + size_t{x} * 3, bgr, 3);
    for (uint32_t y = 1; y < height; ++y)
        std::memcpy(bits + y * stride, bits, static_cast<size_t>(stride));
}

void ILGdiSurface::Clear() {
    if (bits) std::memset(bits, 0, static_cast<size_t>(stride) * height);
}

void ILGdiSurface::Destroy() {
    delete bitmap;
    delete font;
    delete dc;
    *this = ILGdiSurface{};
}
