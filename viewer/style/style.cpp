// The light and dark interface styles: colours, brushes, the four "Arial"
// fonts and the precomputed check and radio glyphs.
#include "viewer/style/style.h"

#include <cstring>
#include <initializer_list>

#include "viewer/logic/control_glyphs.h"
#include "viewer/logic/dib_render.h"

StyleColors g_styleColors;
StyleBrushes g_styleBrushes;
InterfaceFonts g_interfaceFonts = {nullptr, nullptr, nullptr, nullptr, 0, 16};

namespace {

constexpr StyleColors kLight = {0xE0E0E0, 0x000090, 0xD4D4D4, 0x202020, 0xC8C8C8,
                                0x404040, 0xB0B0B0, 0,        0x909090};
constexpr StyleColors kDark = {0x282828, 0x5050FF, 0x383838, 0xF0F0F0, 0x404040,
                               0xC0C0C0, 0x585858, 0,        0x787878};

ControlGlyphs g_glyphs;
// One bitmap for all glyphs: drawing one points its pixels at that glyph.
DibBuffer g_glyphDib;

HFONT CreateInterfaceFont(int height, int weight) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    std::strcpy(font.lfFaceName, "Arial");
    return CreateFontIndirectA(&font);
}

void CreateInterfaceFonts() {
    g_interfaceFonts.lineHeight = 17;
    const int normal = g_interfaceFonts.lineHeight - 2;
    const int smallHeight = g_interfaceFonts.smallLineHeight - 2;
    g_interfaceFonts.normalFont = CreateInterfaceFont(normal, FW_NORMAL);
    g_interfaceFonts.boldFont = CreateInterfaceFont(normal, FW_HEAVY);
    g_interfaceFonts.smallFont = CreateInterfaceFont(smallHeight, FW_NORMAL);
    g_interfaceFonts.smallBoldFont = CreateInterfaceFont(smallHeight, FW_HEAVY);
}

void DeleteInterfaceFonts() {
    if (g_interfaceFonts.lineHeight == 0) return;
    for (HFONT* font : {&g_interfaceFonts.normalFont, &g_interfaceFonts.boldFont,
                        &g_interfaceFonts.smallFont, &g_interfaceFonts.smallBoldFont}) {
        DeleteObject(*font);
        *font = nullptr;
    }
    g_interfaceFonts.lineHeight = 0;
}

struct BrushSlot {
    HBRUSH* brush;
    const COLORREF* color;
};

void RemakeBrushes() {
    const BrushSlot slots[] = {
        {&g_styleBrushes.Text, &g_styleColors.Text},
        {&g_styleBrushes.Shadow, &g_styleColors.Shadow},
        {&g_styleBrushes.Window, &g_styleColors.Window},
        {&g_styleBrushes.Face, &g_styleColors.Face},
        {&g_styleBrushes.Field, &g_styleColors.Field},
        {&g_styleBrushes.Highlight, &g_styleColors.Highlight},
    };
    for (const BrushSlot& slot : slots) {
        if (*slot.brush) DeleteObject(*slot.brush);
        *slot.brush = CreateSolidBrush(*slot.color);
    }
}

void DeleteBrushes() {
    for (HBRUSH* brush : {&g_styleBrushes.Text, &g_styleBrushes.Shadow, &g_styleBrushes.Window,
                          &g_styleBrushes.Face, &g_styleBrushes.Field, &g_styleBrushes.Highlight}) {
        if (*brush) DeleteObject(*brush);
        *brush = nullptr;
    }
}

uint8_t Grey(COLORREF color) {
    return GetRValue(color);
}

void BuildControlGlyphs() {
    const GlyphGreys greys = {Grey(g_styleColors.Face), Grey(g_styleColors.Field),
                              Grey(g_styleColors.Text), Grey(g_styleColors.Highlight),
                              Grey(g_styleColors.Shadow)};
    BuildGlyphs(g_glyphs, greys);
    if (!g_glyphDib.IsEmpty()) return;
    // The first build makes the bitmap, over the normal radio glyph, with a
    // grey ramp for its colour table.
    if (!g_glyphDib.Create(kGlyphSize, kGlyphSize, 8, g_glyphs.glyphs[GLYPH_CIRCLE][GLYPH_NORMAL]))
        return;
    uint8_t* table = g_glyphDib.ColorTable();
    for (int i = 0; i < 256; ++i) {
        uint8_t* entry = table + 4 * i;
        entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
        entry[3] = 0;
    }
}

void DrawGlyph(HDC context, int x, int y, GlyphShape shape, GlyphKind kind) {
    if (g_glyphDib.IsEmpty()) return;
    g_glyphDib.pixels = g_glyphs.glyphs[shape][kind];
    g_glyphDib.Draw(context, x, y);
}

GlyphKind ControlGlyphKind(int state, bool enabled) {
    if (!enabled) return state == 0 ? GLYPH_DISABLED : GLYPH_DISABLED_CHECKED;
    if (state == 0) return GLYPH_NORMAL;
    return state == 1 ? GLYPH_CHECKED : GLYPH_PRESSED;
}

} // namespace

void SetInterfaceStyle(int style) {
    const uint8_t focusCues = g_styleColors.ShowFocusCues;
    g_styleColors = style == 1 ? kDark : kLight;
    g_styleColors.ShowFocusCues = focusCues;
    if (g_interfaceFonts.lineHeight == 0) CreateInterfaceFonts();
    RemakeBrushes();
    BuildControlGlyphs();
}

void DestroyInterfaceStyle() {
    DeleteInterfaceFonts();
    DeleteBrushes();
}

void DrawCheckGlyph(HDC context, int state, bool enabled) {
    DrawGlyph(context, 1, 1, GLYPH_SQUARE, ControlGlyphKind(state, enabled));
}

void DrawRadioGlyph(HDC context, int state, bool enabled) {
    DrawGlyph(context, 1, 1, GLYPH_CIRCLE, ControlGlyphKind(state, enabled));
}

void DrawMenuCheckGlyph(HDC context, int x, int y, bool checked) {
    DrawGlyph(context, x, y, GLYPH_SQUARE, checked ? GLYPH_MENU_CHECKED : GLYPH_MENU);
}

void DrawMenuRadioGlyph(HDC context, int x, int y, bool checked) {
    DrawGlyph(context, x, y, GLYPH_CIRCLE, checked ? GLYPH_MENU_CHECKED : GLYPH_MENU);
}
