// ImgLib's text rasteriser on GDI: fonts from CreateFontIndirectA, text
// drawn and measured by DrawTextExW. The surface's pixels stay the
// library's own; to draw, they are copied into a DIB section of the same
// size, drawn on and copied back. Registered when the program starts.
#include <windows.h>

#include <cstring>
#include <new>

#include "imglib/surface.h"
#include "viewer/platform/log_font.h"

namespace {

class GdiFont final : public ILGdiObject {
public:
    GdiFont(HFONT font, HDC dc) : font_(font), dc_(dc) {}
    ~GdiFont() override {
        DeleteDC(dc_);
        DeleteObject(font_);
    }
    HFONT Font() const { return font_; }
    // A memory context with the font selected, for measuring.
    HDC MeasuringContext() const { return dc_; }

private:
    HFONT font_;
    HDC dc_;
};

ILGdiObject* CreateGdiFont(const ILLogFont& description) {
    const LOGFONTA font = ToLogFont(description);
    HFONT handle = CreateFontIndirectA(&font);
    if (!handle) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(handle);
        return nullptr;
    }
    SelectObject(dc, handle);
    auto* made = new (std::nothrow) GdiFont(handle, dc);
    if (!made) {
        DeleteDC(dc);
        DeleteObject(handle);
    }
    return made;
}

struct Section {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    void* bits = nullptr;
    ~Section() {
        if (oldBitmap) SelectObject(dc, oldBitmap);
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
};

bool DrawGdiText(ILGdiSurface& s, ILRect* rect, std::u16string_view text, uint32_t format) {
    auto* font = dynamic_cast<GdiFont*>(s.font);
    if (!font) return false;
    RECT r = {rect->left, rect->top, rect->right, rect->bottom};
    // DrawTextExW takes a signed count; longer texts cannot be drawn.
    if (text.size() > 0x7FFFFFFF) return false;
    auto* wide = const_cast<WCHAR*>(reinterpret_cast<const WCHAR*>(text.data()));
    const int count = static_cast<int>(text.size());
    if (format & IL_DT_CALCRECT) {
        if (DrawTextExW(font->MeasuringContext(), wide, count, &r, format, nullptr) == 0 &&
            count > 0)
            return false;
        *rect = {r.left, r.top, r.right, r.bottom};
        return true;
    }
    Section section;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(s.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(s.height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    section.dc = CreateCompatibleDC(nullptr);
    if (!section.dc) return false;
    section.bitmap = CreateDIBSection(section.dc, &info, DIB_RGB_COLORS, &section.bits, nullptr, 0);
    if (!section.bitmap || !section.bits) return false;
    section.oldBitmap = SelectObject(section.dc, section.bitmap);
    const size_t bytes = static_cast<size_t>(s.stride) * s.height;
    std::memcpy(section.bits, s.bits, bytes);
    HGDIOBJ oldFont = SelectObject(section.dc, font->Font());
    SetTextColor(section.dc, s.dc->textColor);
    SetBkMode(section.dc, TRANSPARENT);
    const int drawn = DrawTextExW(section.dc, wide, count, &r, format, nullptr);
    GdiFlush();
    SelectObject(section.dc, oldFont);
    if (drawn == 0 && count > 0) return false;
    std::memcpy(s.bits, section.bits, bytes);
    return true;
}

constexpr ILTextRasterizer kGdi = {CreateGdiFont, DrawGdiText};

const bool g_registered = (ILSetTextRasterizer(&kGdi), true);

} // namespace
