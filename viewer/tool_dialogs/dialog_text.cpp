#include "viewer/tool_dialogs/dialog_text.h"

#include "viewer/style/style.h"

namespace {

// Windows-1252, whatever the system's code page: the texts are the
// program's own.
constexpr UINT kTextCodePage = 1252;

// The text as UTF-16 (at most 127 units); its units, 0 for none.
int Widen(const std::string& text, WCHAR (&wide)[128]) {
    const int units =
        MultiByteToWideChar(kTextCodePage, 0, text.data(),
                            static_cast<int>(text.size() < 127 ? text.size() : 127), wide, 127);
    return units > 0 ? units : 0;
}

int WideWidth(HDC context, const WCHAR* text, int units) {
    SIZE size = {};
    GetTextExtentPoint32W(context, text, units, &size);
    return static_cast<int>(size.cx);
}

} // namespace

void DrawText8(HDC context, int x, int y, const std::string& text) {
    WCHAR wide[128];
    const int units = Widen(text, wide);
    if (units > 0) TextOutW(context, x, y, wide, units);
}

int Text8Width(HDC context, const std::string& text) {
    WCHAR wide[128];
    return WideWidth(context, wide, Widen(text, wide));
}

int ValueAfterName(HWND window, int x, const WCHAR* name) {
    int width = 0;
    if (const HDC dc = GetDC(window)) {
        const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.smallFont);
        width = WideWidth(dc, name, lstrlenW(name));
        SelectObject(dc, oldFont);
        ReleaseDC(window, dc);
    }
    return x + width + kValueGap;
}

int ValueAfterName(HWND window, int x, const std::string& name) {
    WCHAR wide[128];
    wide[Widen(name, wide)] = 0;
    return ValueAfterName(window, x, wide);
}

void DrawValueText(HDC context, int x, int y, int width, const std::string& text) {
    const RECT box = {x, y, x + width, y + g_interfaceFonts.smallLineHeight};
    FillRect(context, &box, g_styleBrushes.Face);
    DrawText8(context, x, y, text);
}
