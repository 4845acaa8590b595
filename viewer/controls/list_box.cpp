#include "viewer/controls/list_box.h"

#include "viewer/controls/control_base.h"
#include "viewer/style/menus.h"
#include "viewer/style/style.h"

namespace {

constexpr int kItemTextUnits = 120;

// The system class's own procedure, saved once for all list boxes: one per
// process, as the class is.
WNDPROC g_listBoxProc = nullptr;

LRESULT PassOn(HWND listBox, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND)
        SendMessageW(listBox, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont),
                     FALSE);
    return CallWindowProcW(g_listBoxProc, listBox, message, wParam, lParam);
}

void Notify(HWND listBox, WORD code, LPARAM lParam) {
    NotifyParent(listBox, GetDlgCtrlID(listBox), code, lParam);
}

bool CtrlHeld(HWND listBox) {
    return GetWindowLongPtrW(listBox, GWLP_USERDATA) != 0;
}

// The user data holds whether Ctrl is down.
LRESULT CALLBACK ListBoxKeyProc(HWND listBox, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_CONTROL:
                    SetWindowLongPtrW(listBox, GWLP_USERDATA, 1);
                    break;
                case VK_INSERT:
                    Notify(listBox, ListBoxInsert, 0);
                    return 0;
                case VK_DELETE:
                    Notify(listBox, CtrlHeld(listBox) ? ListBoxCtrlDelete : ListBoxDelete, 0);
                    return 0;
                case VK_SPACE:
                    Notify(listBox, CtrlHeld(listBox) ? ListBoxCtrlActivate : ListBoxSpace, 0);
                    return 0;
                default:
                    break;
            }
            break;
        case WM_KEYUP:
            if (wParam == VK_CONTROL) SetWindowLongPtrW(listBox, GWLP_USERDATA, 0);
            break;
        case WM_LBUTTONDBLCLK:
            if (wParam & MK_CONTROL) {
                Notify(listBox, ListBoxCtrlActivate, 0);
                return 0;
            }
            break;
        case WM_RBUTTONDOWN:
            Notify(listBox, ListBoxRightClick, lParam);
            break;
        default:
            break;
    }
    return PassOn(listBox, message, wParam, lParam);
}

LRESULT CALLBACK ListBoxFontProc(HWND listBox, UINT message, WPARAM wParam, LPARAM lParam) {
    return PassOn(listBox, message, wParam, lParam);
}

HWND CreateEdit(HWND parent, int id, DWORD style, int x, int y, int width, int height) {
    const HWND edit = CreateWindowExW(
        0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<WORD>(id))),
        GetModuleHandleW(nullptr), nullptr);
    if (edit)
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont),
                     FALSE);
    return edit;
}

void DrawListBoxItem(const DRAWITEMSTRUCT* item) {
    if (item->itemID == static_cast<UINT>(-1)) return;
    if (!(item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return;
    WCHAR text[kItemTextUnits];
    const LRESULT length = SendMessageW(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    if (length < 0 || length >= kItemTextUnits) return;
    SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text));
    const bool greyed = (item->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    RECT rect = item->rcItem;
    if (item->itemState & ODS_SELECTED) {
        FrameRect(item->hDC, &rect, g_styleBrushes.Text);
        RECT inside = rect;
        InflateRect(&inside, -1, -1);
        FillRect(item->hDC, &inside, greyed ? g_styleBrushes.Field : g_styleBrushes.Highlight);
    } else {
        FillRect(item->hDC, &rect, g_styleBrushes.Field);
    }
    SetTextColor(item->hDC, greyed ? g_styleColors.Shadow : g_styleColors.Text);
    SetBkMode(item->hDC, TRANSPARENT);
    RECT textRect = {rect.left + 2, rect.top + 1, rect.right - 2, rect.bottom - 1};
    DrawTextW(item->hDC, text, -1, &textRect, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE);
}

} // namespace

HWND CreateListBox(HWND parent, int id, int y, int width, int height, bool keyNotifications,
                   bool sorted) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
                        LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_WANTKEYBOARDINPUT |
                        (sorted ? LBS_SORT : 0);
    const HWND listBox =
        CreateWindowExW(0, L"LISTBOX", L"", style, 11, y, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<WORD>(id))),
                        GetModuleHandleW(nullptr), nullptr);
    if (!listBox) return nullptr;
    SendMessageW(listBox, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont), FALSE);
    const WNDPROC own = keyNotifications ? ListBoxKeyProc : ListBoxFontProc;
    const auto original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(listBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own)));
    if (!g_listBoxProc) g_listBoxProc = original;
    SetWindowLongPtrW(listBox, GWLP_USERDATA, 0);
    return listBox;
}

HWND CreateMultiLineEdit(HWND parent, int id, int x, int y, int width, int height, bool readOnly) {
    return CreateEdit(
        parent, id,
        WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | (readOnly ? ES_READONLY : 0),
        x, y, width, height);
}

HWND CreateLineEdit(HWND parent, int id, int x, int y, int width, bool readOnly) {
    return CreateEdit(parent, id, ES_AUTOHSCROLL | (readOnly ? ES_READONLY : 0), x, y, width, 18);
}

bool OnMeasureItem(HWND window, MEASUREITEMSTRUCT* item) {
    if (item->CtlType == ODT_MENU) {
        MeasureMenuItem(window, item);
        return true;
    }
    if (item->CtlType == ODT_LISTBOX) {
        item->itemHeight = static_cast<UINT>(g_interfaceFonts.lineHeight + 1);
        return true;
    }
    return false;
}

bool OnDrawItem(const DRAWITEMSTRUCT* item) {
    switch (item->CtlType) {
        case ODT_MENU:
            DrawMenuItem(item);
            return true;
        case ODT_LISTBOX:
            DrawListBoxItem(item);
            return true;
        case ODT_BUTTON:
            g_styleColors.ShowFocusCues = (item->itemState & ODS_NOFOCUSRECT) ? 0 : 1;
            return false;
        default:
            return false;
    }
}
