// Owner-drawn menus: converting items, measuring and painting them in the
// interface style; PopupMenu over a menu resource; PercentBar.
#include "viewer/style/menus.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "resources/commands.h"
#include "viewer/style/style.h"

namespace {

// DrawText format of menu labels: underlines only after a keyboard opening.
// One per process, as the keyboard cue of the menus it follows.
UINT g_menuTextFormat = DT_NOCLIP | DT_HIDEPREFIX;

MenuItemRecord* RecordOf(ULONG_PTR itemData) {
    return reinterpret_cast<MenuItemRecord*>(itemData);
}

void MakeMenuItemOwnerDrawn(HMENU menu, int position) {
    WCHAR text[kMenuTextUnits] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = kMenuTextUnits;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return;
    text[kMenuTextUnits - 1] = 0; // longer texts are cut
    const int length = lstrlenW(text);

    // Sized to the text actually read.
    auto* record = static_cast<MenuItemRecord*>(
        std::malloc(offsetof(MenuItemRecord, text) + (length + 1) * sizeof(WCHAR)));
    if (!record) return;
    record->flags = info.fType & 0x3FFF;
    if ((info.fState & MFS_CHECKED) && !(info.fType & MFT_RADIOCHECK))
        record->flags |= kMenuCheckItem;
    if (GetSubMenu(menu, position)) record->flags |= kMenuOpensSubmenu;
    record->length = static_cast<uint32_t>(length);
    std::memcpy(record->text, text, (length + 1) * sizeof(WCHAR));
    record->accelerator = nullptr;
    for (int i = length - 1; i >= 0; --i) {
        if (record->text[i] == L'\t') {
            record->text[i] = 0;
            record->accelerator = record->text + i + 1;
            break;
        }
    }

    MENUITEMINFOW update = {};
    update.cbSize = sizeof update;
    update.fMask = MIIM_FTYPE | MIIM_DATA;
    update.fType = info.fType | MFT_OWNERDRAW;
    update.dwItemData = reinterpret_cast<ULONG_PTR>(record);
    if (!SetMenuItemInfoW(menu, position, TRUE, &update)) std::free(record);
}

void FreeOwnerDrawnMenuItem(HMENU menu, int position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_DATA;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return;
    std::free(RecordOf(info.dwItemData));
    info.fType &= ~MFT_OWNERDRAW;
    info.dwItemData = 0;
    SetMenuItemInfoW(menu, position, TRUE, &info);
}

// Width in pixels of a label as DrawText shows it (access-key marks dropped).
int LabelWidth(HDC dc, const WCHAR* label) {
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, label, -1, &r, DT_CALCRECT | DT_SINGLELINE | g_menuTextFormat);
    return r.right - r.left;
}

int TextWidth(HDC dc, const WCHAR* text, int length) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, length, &size);
    return size.cx;
}

void DrawLine(HDC dc, int left, int right, int y, COLORREF color) {
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, color);
    MoveToEx(dc, left, y, nullptr);
    LineTo(dc, right, y);
}

} // namespace

void MakeMenuOwnerDrawn(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MakeMenuItemOwnerDrawn(menu, i);
        if (HMENU sub = GetSubMenu(menu, i)) MakeMenuOwnerDrawn(sub);
    }
}

void FreeOwnerDrawnMenu(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        FreeOwnerDrawnMenuItem(menu, i);
        if (HMENU sub = GetSubMenu(menu, i)) FreeOwnerDrawnMenu(sub);
    }
}

void SetMenuUnderlineMode(bool byKeyboard) {
    g_menuTextFormat = byKeyboard ? DT_NOCLIP : DT_NOCLIP | DT_HIDEPREFIX;
}

void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure) {
    const MenuItemRecord* record = RecordOf(measure->itemData);
    if (!record) return;
    if (record->flags & MFT_SEPARATOR) {
        measure->itemWidth = 0;
        measure->itemHeight = 2;
        return;
    }
    HDC dc = GetDC(window);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.normalFont);
    // The whole text, the accelerator included.
    int width = TextWidth(dc, record->text, static_cast<int>(record->length));
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    width += record->accelerator ? 14 : 12;
    if (record->flags & kMenuOpensSubmenu) width += 8;
    measure->itemWidth = static_cast<UINT>(width);
    measure->itemHeight = g_interfaceFonts.lineHeight <= 16 ? 19 : 21;
}

void DrawMenuItem(const DRAWITEMSTRUCT* draw) {
    const MenuItemRecord* record = RecordOf(draw->itemData);
    if (!record) return;
    HDC dc = draw->hDC;
    const RECT& item = draw->rcItem;
    const int saved = SaveDC(dc);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, g_interfaceFonts.normalFont);

    const RECT strip = {item.left, item.top, item.left + 15, item.bottom};
    const RECT rest = {item.left + 15, item.top, item.right, item.bottom};
    FillRect(dc, &strip, g_styleBrushes.Highlight);
    FillRect(dc, &rest, g_styleBrushes.Field);

    if (record->flags & MFT_SEPARATOR) {
        DrawLine(dc, item.left, item.right + 1, item.top, g_styleColors.Text);
        RestoreDC(dc, saved);
        return;
    }

    const bool checked = (draw->itemState & ODS_CHECKED) != 0;
    const bool greyed = (draw->itemState & ODS_GRAYED) != 0;
    const bool selected = (draw->itemState & ODS_SELECTED) != 0;
    SetTextColor(dc, g_styleColors.Text);
    if (record->flags & MFT_RADIOCHECK) {
        DrawMenuRadioGlyph(dc, item.left + 1, item.top + 3, checked);
    } else if (record->flags & kMenuCheckItem) {
        DrawMenuCheckGlyph(dc, item.left + 1, item.top + 3, checked);
    } else if (draw->itemID == CMD_HELP) {
        TextOutW(dc, item.left + 4, item.top + 2, L"?", 1);
    } else if (draw->itemID == CMD_EXIT) {
        TextOutW(dc, item.left + 4, item.top + 2, L"X", 1);
    }

    if (selected) {
        SelectObject(dc, GetStockObject(DC_PEN));
        SetDCPenColor(dc, g_styleColors.Text);
        SelectObject(dc, greyed ? g_styleBrushes.Field : g_styleBrushes.Highlight);
        Rectangle(dc, item.left + 16, item.top, item.right, item.bottom - 1);
    }

    SetTextColor(dc, greyed ? g_styleColors.Shadow : g_styleColors.Text);
    // The label is the text up to the tab, which the record holds as a NUL.
    if (selected && !greyed && (record->flags & kMenuOpensSubmenu)) {
        RECT label = {item.right - LabelWidth(dc, record->text) - 8, item.top + 2, item.right,
                      item.bottom};
        DrawTextW(dc, record->text, -1, &label, DT_SINGLELINE | g_menuTextFormat);
    } else {
        RECT label = {item.left + 22, item.top + 2, item.right, item.bottom};
        DrawTextW(dc, record->text, -1, &label, DT_SINGLELINE | g_menuTextFormat);
        if (record->accelerator) {
            SelectObject(dc, g_interfaceFonts.smallFont);
            SetTextColor(dc, g_styleColors.Accent);
            const int length = lstrlenW(record->accelerator);
            const int width = TextWidth(dc, record->accelerator, length);
            TextOutW(dc, item.right - width - 6, item.top + 3, record->accelerator, length);
        }
    }
    RestoreDC(dc, saved);
    // The system draws a submenu's arrow after this, a monochrome glyph in
    // the context's text and background colours: the item's own, not a
    // white box.
    SetTextColor(dc, greyed ? g_styleColors.Shadow : g_styleColors.Text);
    SetBkColor(dc, selected && !greyed ? g_styleColors.Highlight : g_styleColors.Field);
}

PopupMenu::~PopupMenu() {
    if (!menu_) return;
    FreeOwnerDrawnMenu(popup_);
    DestroyMenu(menu_);
}

bool PopupMenu::Load(const WCHAR* resourceName) {
    menu_ = LoadMenuW(GetModuleHandleW(nullptr), resourceName);
    if (!menu_) return false;
    trackFlags_ = TPM_RIGHTBUTTON | TPM_NOANIMATION;
    popup_ = GetSubMenu(menu_, 0);
    MakeMenuOwnerDrawn(popup_);
    return true;
}

void PopupMenu::Track(HWND owner, int x, int y, bool byKeyboard) const {
    if (!popup_) return;
    SetMenuUnderlineMode(byKeyboard);
    TrackPopupMenuEx(popup_, trackFlags_, x, y, owner, nullptr);
}

void PopupMenu::EnableItem(UINT commandId, bool enable) const {
    if (popup_) EnableMenuItem(popup_, commandId, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void PercentBar::Init(int x, int y, int width) {
    width_ = width;
    filled_ = 0;
    percent_ = 0;
    frame_ = {x, y, x + width + 2, y + 16};
    fill_ = {x + 1, y + 1, x + 1, y + 15};
    textX_ = x + width / 2 - 8;
}

void PercentBar::Update(HWND window, double fraction) {
    // Progress from a worker may overshoot or be NaN; the bar stays inside.
    const double f = fraction > 0.0 ? std::min(fraction, 1.0) : 0.0;
    if (!SetFilled(static_cast<int>(width_ * f))) return;
    HDC dc = GetDC(window);
    if (!dc) return;
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.smallFont);
    const COLORREF oldColor = SetTextColor(dc, g_styleColors.Text);
    Draw(dc);
    SetTextColor(dc, oldColor);
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
}

bool PercentBar::SetFilled(int pixels) {
    if (pixels == filled_) return false;
    filled_ = pixels;
    percent_ = width_ > 0 ? (pixels * 100 + pixels / 2) / width_ : 0;
    fill_.right = fill_.left + pixels;
    return true;
}

void PercentBar::Draw(HDC context) const {
    if (width_ == 0) return;
    FrameRect(context, &frame_, g_styleBrushes.Text);
    const RECT empty = {fill_.right, fill_.top, frame_.right - 1, fill_.bottom};
    FillRect(context, &empty, g_styleBrushes.Face);
    FillRect(context, &fill_, g_styleBrushes.Highlight);
    WCHAR text[16];
    const int length = wsprintfW(text, L"%d%%", percent_);
    SetBkMode(context, TRANSPARENT);
    TextOutW(context, textX_, frame_.top + 1, text, length);
    SetBkMode(context, OPAQUE);
}
