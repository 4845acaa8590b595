#include "viewer/tool_dialogs/dialog_text.h"

#include "viewer/style/style.h"

namespace {

// Windows-1252, whatever the system's code page: the texts are the
// program's own.
constexpr UINT kTextCodePage = 1252;

} // namespace

void DrawText8(HDC context, int x, int y, const std::string& text) {
    WCHAR wide[128];
    const int units = MultiByteToWideChar(kTextCodePage, 0, text.data(),
                                          static_cast<int>(text.size() < 127 ? text.size() : 127),
                                          wide, 127);
    if (units > 0) TextOutW(context, x, y, wide, units);
}

void DrawValueText(HDC context, int x, int y, int width, const std::string& text) {
    const RECT box = {x, y, x + width, y + g_interfaceFonts.smallLineHeight};
    FillRect(context, &box, g_styleBrushes.Face);
    DrawText8(context, x, y, text);
}
