#include "viewer/dialogs/action_describe.h"

#include <cstring>
#include <string>

#include "viewer/actions/action_describe.h"
#include "viewer/style/style.h"
#include "viewer/platform/log_font.h"
#include "viewer/platform/window_utils.h"

namespace {

void TextA(HDC context, int x, int y, const std::string& text) {
    TextOutA(context, x, y, text.c_str(), static_cast<int>(text.size()));
}

void WideInBox(HDC context, int x, int y, const DescribeItem& item, UINT ellipsis) {
    RECT box = {x, y, x + item.width, y + item.height};
    DrawTextW(context, reinterpret_cast<const WCHAR*>(item.wide.c_str()),
              static_cast<int>(item.wide.size()), &box, DT_SINGLELINE | DT_NOPREFIX | ellipsis);
}

// The menu resource, loaded once for the process: painting asks for it
// often and it never changes.
HMENU ModeMenuTexts() {
    static const HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), L"Vx");
    return menu;
}

} // namespace

void DescribeActionOn(HDC context, int x, int y, const Action& action, bool withName) {
    for (const DescribeItem& item : DescribeAction(action, withName)) {
        const int left = x + item.x, top = y + item.y;
        switch (item.kind) {
            case DescribeKind::Text:
                TextA(context, left, top, item.text);
                break;
            case DescribeKind::WideText:
                TextOutW(context, left, top, reinterpret_cast<const WCHAR*>(item.wide.c_str()),
                         static_cast<int>(item.wide.size()));
                break;
            case DescribeKind::PathEllipsis:
                WideInBox(context, left, top, item, DT_PATH_ELLIPSIS);
                break;
            case DescribeKind::EndEllipsis:
                WideInBox(context, left, top, item, DT_END_ELLIPSIS);
                break;
            case DescribeKind::FontLabel:
                TextA(context, left, top,
                      FormatFontLabel(item.width, ToLogFont(item.font), context));
                break;
            case DescribeKind::ModeItem: {
                char text[64] = {};
                if (const HMENU menu = ModeMenuTexts())
                    GetMenuStringA(menu, static_cast<UINT>(item.number), text, 64, MF_BYCOMMAND);
                TextA(context, left, top, text);
                break;
            }
            case DescribeKind::Swatch: {
                RECT box = {left, top, left + 40, top + 15};
                const HBRUSH brush = CreateSolidBrush(item.color.ToCOLORREF());
                FillRect(context, &box, brush);
                DeleteObject(brush);
                FrameRect(context, &box, g_styleBrushes.Highlight);
                break;
            }
        }
    }
}
