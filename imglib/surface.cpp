// The drawing surface over the small native graphics layer.
#include "imglib/surface.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>

namespace {

// A section's image size is a 32-bit field of its header.
constexpr uint64_t kMaxSectionBytes = 0xFFFFFFFFu;

int64_t SurfaceStride(uint32_t width) {
    return static_cast<int64_t>((uint64_t{width} * 24 + 31) / 32 * 4);
}

std::atomic<const ILTextRasterizer*> g_rasterizer{nullptr};

const ILTextRasterizer& Rasterizer() {
    const ILTextRasterizer* r = g_rasterizer.load();
    return r ? *r : ILBuiltinTextRasterizer();
}

// Windows-1252's characters at 0x80 to 0x9F; the other bytes are Latin-1.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr uint32_t kCenteredFormat = IL_DT_CENTER | IL_DT_END_ELLIPSIS | IL_DT_NOPREFIX;

} // namespace

const ILTextRasterizer* ILSetTextRasterizer(const ILTextRasterizer* rasterizer) {
    return g_rasterizer.exchange(rasterizer);
}

void ILGdiSurface::Init() {
    *this = ILGdiSurface{};
    dc = new (std::nothrow) ILGdiContext;
}

bool ILGdiSurface::Create(uint32_t newWidth, uint32_t newHeight) {
    Init();
    return Resize(newWidth, newHeight);
}

bool ILGdiSurface::CreateWithFont(const ILLogFont& description) {
    Init();
    return Resize(1, 1) && SetFont(description);
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

bool ILGdiSurface::SetFont(const ILLogFont& description) {
    if (!dc) return false;
    ILGdiObject* made = Rasterizer().createFont(description);
    if (!made) return false;
    delete font;
    font = made;
    dc->font = font;
    return true;
}

bool ILGdiSurface::DrawText(ILRect* rect, std::u16string_view text, uint32_t format) {
    if (!dc || !font || !rect) return false;
    if (!(format & IL_DT_CALCRECT) && !bits) return false;
    return Rasterizer().drawText(*this, rect, text, format);
}

bool ILGdiSurface::DrawTextCentered(ILRect* rect, std::u16string_view text) {
    return DrawText(rect, text, kCenteredFormat);
}

bool ILGdiSurface::DrawTextCenteredA(ILRect* rect, std::string_view text) {
    std::u16string wide;
    try {
        wide.reserve(text.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        wide.push_back(byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
    }
    return DrawText(rect, wide, kCenteredFormat);
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
