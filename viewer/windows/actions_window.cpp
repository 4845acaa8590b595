#include "viewer/windows/actions_window.h"

#include <commctrl.h>

#include <string>

#include "resources/commands.h"
#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_file.h"
#include "viewer/actions/action_names.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/list_box.h"
#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/action_describe.h"
#include "viewer/dialogs/action_file_dialogs.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/dialogs/named_action_dialog.h"
#include "viewer/document/document.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/window_state.h"

namespace {

enum ActionsControl : int {
    kHistoryList = 1011,
    kResetButton = 1012,
    kFavoritesList = 1021,
    kOptionsButton = 1022,
    kApplyOnOpenBox = 1030,
};

// The favourites kept across a close of the window.
int32_t g_keptFavoriteSelection = -1;

int L() {
    return g_interfaceFonts.lineHeight;
}

// Top of the Favorites section.
int FavoritesTop() {
    return 7 * L() + 53;
}

int ClientHeight() {
    return 14 * L() + 107;
}

ActionList& History(const ActionsWindowState& a) {
    return a.tool.document->history;
}

ActionList& Favorites(const ActionsWindowState& a) {
    return a.tool.document->favorites;
}

int32_t ListSelection(HWND list) {
    return static_cast<int32_t>(SendMessageW(list, LB_GETCURSEL, 0, 0));
}

void AddName(HWND list, int32_t type, LPARAM data) {
    const char* name = ActionTypeName(type);
    WCHAR wide[64];
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64);
    const LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
    if (index >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

// The description of entry `index` of the list in its area right of the
// list box; the index is clamped to the list (-1 when empty) and kept.
int32_t DescribeEntry(HDC dc, const ActionList& list, int32_t index,
                      int top) {
    SelectSmallTextStyle(dc);
    const RECT area = {136, top + L() + 10, kToolWindowWidth, top + 7 * L() + 12};
    FillRect(dc, &area, g_styleBrushes.Face);
    if (index >= static_cast<int32_t>(list.Count())) index = static_cast<int32_t>(list.Count()) - 1;
    if (index < 0) index = -1;
    if (index >= 0)
        DescribeActionOn(dc, 136, top + L() - 7, list.items[static_cast<size_t>(index)], false);
    return index;
}

void ShowHistoryDescription(ActionsWindowState& a, int32_t index) {
    const HDC dc = GetDC(a.tool.window);
    a.historySelection = DescribeEntry(dc, History(a), index, 0);
    ReleaseDC(a.tool.window, dc);
}

void ShowFavoriteDescription(ActionsWindowState& a, int32_t index) {
    const HDC dc = GetDC(a.tool.window);
    a.favoriteSelection = DescribeEntry(dc, Favorites(a), index, FavoritesTop());
    ReleaseDC(a.tool.window, dc);
}

void FillHistory(ActionsWindowState& a) {
    SendMessageW(a.historyList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(a.historyList, LB_RESETCONTENT, 0, 0);
    const ActionList& history = History(a);
    const int32_t cursor = GetHistoryCursor(history);
    for (uint32_t i = 0; i < history.Count(); ++i)
        AddName(a.historyList, history.items[i].type,
                static_cast<int32_t>(i) > cursor ? 1 : 0); // undone: greyed
    ShowHistoryDescription(a, cursor);
    if (history.Count() > 0) SendMessageW(a.historyList, LB_SETCURSEL, cursor, 0);
    EnableWindow(GetDlgItem(a.tool.window, kResetButton), history.Count() > 0);
    SendMessageW(a.historyList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(a.historyList, nullptr, TRUE);
}

void FillFavorites(ActionsWindowState& a) {
    SendMessageW(a.favoritesList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(a.favoritesList, LB_RESETCONTENT, 0, 0);
    const ActionList& favorites = Favorites(a);
    for (const Action& action : favorites.items)
        AddName(a.favoritesList, action.type, 0);
    ShowFavoriteDescription(a, a.favoriteSelection);
    if (favorites.Count() > 0) SendMessageW(a.favoritesList, LB_SETCURSEL, a.favoriteSelection, 0);
    SendMessageW(a.favoritesList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(a.favoritesList, nullptr, TRUE);
}

// Favourite `index`, or null for none.
const Action* Favorite(const ActionsWindowState& a, int32_t index) {
    return index >= 0 ? Favorites(a).At(static_cast<uint32_t>(index)) : nullptr;
}

void ApplyFavorite(ActionsWindowState& a, int32_t index) {
    const Action* action = Favorite(a, index);
    if (action) a.host->ApplyFavorite(*action);
}

void ApplyAllFavorites(ActionsWindowState& a) {
    // A copy: the list may change while it is applied (a box's messages).
    const ActionList favorites = Favorites(a);
    if (favorites.Count() > 0) a.host->ApplyActionList(favorites);
}

void OpenDialogForAction(ActionsWindowState& a, int32_t index) {
    const Action* action = Favorite(a, index);
    // Settings from a file reach a dialog only once their block is checked.
    if (!action || !BlockIsValid(action->type, action->block)) return;
    const Action copy = *action;
    a.host->OpenDialogForAction(copy);
}

void RemoveFavorite(ActionsWindowState& a, int32_t index) {
    if (index >= 0 && Favorites(a).Remove(static_cast<uint32_t>(index))) FillFavorites(a);
}

void ClearFavorites(ActionsWindowState& a) {
    Favorites(a).Clear();
    a.favoriteSelection = -1;
    FillFavorites(a);
}

void ResetHistoryList(ActionsWindowState& a) {
    ResetHistory(History(a));
    a.historySelection = 0;
    FillHistory(a);
}

void CopyHistoryToFavorites(ActionsWindowState& a) {
    if (!CopyHistoryTo(History(a), Favorites(a)))
        ShowMessageBox(*a.tool.document, BOX_ERROR, L"Out of memory");
    a.favoriteSelection = -1;
    FillFavorites(a);
}

void AddNamedAction(ActionsWindowState& a) {
    Action chosen;
    if (!OpenNamedAction(*a.tool.document, a.tool.window, ACTION_NONE, &chosen)) return;
    if (!Favorites(a).AppendCopy(chosen))
        ShowMessageBox(*a.tool.document, BOX_ERROR, L"Out of memory");
    FillFavorites(a);
}

// The chosen action-list file as ImgLib opens it; empty when none was
// chosen. The choice is remembered for the next chooser.
std::u16string ChooseListFile(ActionsWindowState& a, bool exporting) {
    WCHAR path[kPathUnits] = {};
    lstrcpynW(path, reinterpret_cast<const WCHAR*>(g_preferences.actionListPath), kPathUnits);
    const bool chosen = exporting ? ChooseActionFileToExport(a.tool.window, path)
                                  : ChooseActionFileToImport(a.tool.window, path);
    if (!chosen) return {};
    lstrcpynW(reinterpret_cast<WCHAR*>(g_preferences.actionListPath), path,
              kPreferencesPathUnits);
    return ToLibraryPath(path);
}

// A file that is not an action list leaves the favourites as they were.
void ImportFavorites(ActionsWindowState& a) {
    const std::u16string path = ChooseListFile(a, false);
    if (path.empty()) return;
    if (!LoadActionListFile(path.c_str(), &Favorites(a))) {
        ShowMessageBox(*a.tool.document, BOX_ERROR, L"Invalid action list");
        return;
    }
    a.favoriteSelection = -1;
    FillFavorites(a);
}

void ExportFavorites(ActionsWindowState& a) {
    const std::u16string path = ChooseListFile(a, true);
    if (!path.empty() && !SaveActionListFile(path.c_str(), Favorites(a)))
        ShowMessageBox(*a.tool.document, BOX_ERROR, L"Cannot write the action list");
}

void EnableMenuItems(const ActionsWindowState& a) {
    const bool image = a.tool.document->image.data != nullptr;
    const bool selected = Favorite(a, ListSelection(a.favoritesList)) != nullptr;
    const bool any = Favorites(a).Count() > 0;
    const PopupMenu& menu = a.optionsMenu;
    menu.EnableItem(CMD_APPLY_FAVORITE, image && selected);
    menu.EnableItem(CMD_APPLY_FAVORITES, image && any);
    menu.EnableItem(CMD_FAVORITE_DIALOG, true);
    menu.EnableItem(CMD_REMOVE_FAVORITE, selected);
    menu.EnableItem(CMD_CLEAR_FAVORITES, any);
    menu.EnableItem(CMD_ADD_NAMED_ACTION, true);
    menu.EnableItem(CMD_COPY_HISTORY, History(a).Count() > 1);
    menu.EnableItem(CMD_IMPORT_FAVORITES, true);
    menu.EnableItem(CMD_EXPORT_FAVORITES, any);
}

// At a point of the favourites list (client coordinates), or from the
// keyboard at the fixed place under the list.
void OpenOptionsMenu(const ActionsWindowState& a, const POINT* inList, bool byKeyboard) {
    POINT point = {12, 7 * L() + FavoritesTop() + 28};
    HWND from = a.tool.window;
    if (inList) {
        point = *inList;
        from = a.favoritesList;
    }
    ClientToScreen(from, &point);
    a.optionsMenu.Track(a.tool.window, point.x, point.y, byKeyboard);
}

void RunMenuCommand(ActionsWindowState& a, int id) {
    const int32_t selection = ListSelection(a.favoritesList);
    switch (id) {
        case CMD_APPLY_FAVORITE:
            ApplyFavorite(a, selection);
            break;
        case CMD_APPLY_FAVORITES:
            ApplyAllFavorites(a);
            break;
        case CMD_FAVORITE_DIALOG:
            OpenDialogForAction(a, selection);
            break;
        case CMD_REMOVE_FAVORITE:
            RemoveFavorite(a, selection);
            break;
        case CMD_CLEAR_FAVORITES:
            ClearFavorites(a);
            break;
        case CMD_ADD_NAMED_ACTION:
            AddNamedAction(a);
            break;
        case CMD_COPY_HISTORY:
            CopyHistoryToFavorites(a);
            break;
        case CMD_IMPORT_FAVORITES:
            ImportFavorites(a);
            break;
        case CMD_EXPORT_FAVORITES:
            ExportFavorites(a);
            break;
        default:
            break;
    }
}

bool OnFavoritesCommand(ActionsWindowState& a, int code, LPARAM lParam) {
    const int32_t selection = ListSelection(a.favoritesList);
    switch (code) {
        case LBN_SELCHANGE:
            ShowFavoriteDescription(a, selection);
            return true;
        case LBN_DBLCLK:
        case ListBoxSpace:
            ApplyFavorite(a, selection);
            return true;
        case ListBoxInsert:
            AddNamedAction(a);
            return true;
        case ListBoxDelete:
            RemoveFavorite(a, selection);
            return true;
        case ListBoxCtrlDelete:
            ClearFavorites(a);
            return true;
        case ListBoxCtrlActivate:
            OpenDialogForAction(a, selection);
            return true;
        case ListBoxRightClick: {
            const POINT point = {static_cast<short>(LOWORD(lParam)),
                                 static_cast<short>(HIWORD(lParam))};
            OpenOptionsMenu(a, &point, false);
            return true;
        }
        default:
            return false;
    }
}

bool OnCommand(ActionsWindowState& a, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
        case kHistoryList:
            if (code == LBN_SELCHANGE) {
                ShowHistoryDescription(a, ListSelection(a.historyList));
                return true;
            }
            if (code == LBN_DBLCLK) {
                const int32_t target = ListSelection(a.historyList);
                if (target >= 0) a.host->GoToHistoryEntry(static_cast<uint32_t>(target));
                return true;
            }
            return false;
        case kResetButton:
            ResetHistoryList(a);
            return true;
        case kFavoritesList:
            return OnFavoritesCommand(a, code, lParam);
        case kOptionsButton:
            OpenOptionsMenu(a, nullptr, false);
            return true;
        case kApplyOnOpenBox:
            if (code != ControlChanged) return false;
            a.tool.document->applyFavoritesOnOpen = lParam != 0;
            return true;
        default:
            if (id < CMD_APPLY_FAVORITE || id > CMD_EXPORT_FAVORITES) return false;
            RunMenuCommand(a, id);
            return true;
    }
}

// The marker left of the favourites list, before item `index` (none for -1).
void DrawDropMarker(const ActionsWindowState& a, int32_t index) {
    const HDC dc = GetDC(a.tool.window);
    const int top = FavoritesTop() + L() + 6;
    const RECT strip = {2, top, 10, FavoritesTop() + 7 * L() + 23};
    FillRect(dc, &strip, g_styleBrushes.Face);
    if (index >= 0) {
        const int first = static_cast<int>(SendMessageW(a.favoritesList, LB_GETTOPINDEX, 0, 0));
        const int itemHeight =
            static_cast<int>(SendMessageW(a.favoritesList, LB_GETITEMHEIGHT, 0, 0));
        const int y = top + (index - first) * itemHeight;
        const POINT tip[3] = {{3, y}, {9, y + 5}, {3, y + 10}};
        const HPEN pen = CreatePen(PS_SOLID, 1, g_styleColors.Text);
        const HGDIOBJ oldPen = SelectObject(dc, pen);
        const HGDIOBJ oldBrush = SelectObject(dc, g_styleBrushes.Shadow);
        Polygon(dc, tip, 3);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
    ReleaseDC(a.tool.window, dc);
}

void EndDrag(ActionsWindowState& a) {
    a.dragIndex = a.dropIndex = -1;
    DrawDropMarker(a, -1);
}

LRESULT OnDragList(ActionsWindowState& a, const DRAGLISTINFO* info) {
    const int item = LBItemFromPt(info->hWnd, info->ptCursor, TRUE);
    switch (info->uNotification) {
        case DL_BEGINDRAG:
            a.dragIndex = item;
            return item >= 0;
        case DL_DRAGGING:
            a.dropIndex = item;
            if (item < 0) {
                DrawDropMarker(a, -1);
                return DL_STOPCURSOR;
            }
            // Before the item, or before the next one when it lies after the
            // dragged item; none over the dragged item itself.
            DrawDropMarker(a, item == a.dragIndex ? -1 : item > a.dragIndex ? item + 1 : item);
            return DL_MOVECURSOR;
        case DL_DROPPED:
            if (Favorites(a).Move(static_cast<uint32_t>(a.dragIndex),
                                  static_cast<uint32_t>(a.dropIndex))) {
                a.favoriteSelection = a.dropIndex;
                FillFavorites(a);
            }
            EndDrag(a);
            return 1;
        default: // DL_CANCELDRAG
            EndDrag(a);
            return 0;
    }
}

void OnPaint(const ActionsWindowState& a) {
    PAINTSTRUCT ps;
    const HDC dc = BeginToolWindowPaint(a.tool, ps);
    const int l = L();
    const int f = FavoritesTop();
    SelectHeaderStyle(dc);
    const RECT historyBand = {0, 0, kToolWindowWidth, l + 1};
    const RECT favoritesBand = {0, f, kToolWindowWidth, f + l + 1};
    FillRect(dc, &historyBand, g_styleBrushes.Highlight);
    FillRect(dc, &favoritesBand, g_styleBrushes.Highlight);
    TextOutW(dc, 10, 1, L"History", 7);
    TextOutW(dc, 10, f + 1, L"Favorites", 9);
    SelectSmallTextStyle(dc);
    FrameControl(a.historyList, dc, l + 12);
    FrameControl(a.favoritesList, dc, f + l + 12);
    DescribeEntry(dc, History(a), a.historySelection, 0);
    DescribeEntry(dc, Favorites(a), a.favoriteSelection, f);
    EndToolWindowPaint(a.tool, ps);
}

LRESULT ActionsMessage(ActionsWindowState& a, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam) {
    if (message == a.dragListMessage && a.dragListMessage != 0)
        return OnDragList(a, reinterpret_cast<const DRAGLISTINFO*>(lParam));
    switch (message) {
        case WM_PAINT:
            OnPaint(a);
            return 0;
        case WM_COMMAND:
            return OnCommand(a, wParam, lParam) ? 1 : 0;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            if (item->CtlType == ODT_LISTBOX && item->itemID != static_cast<UINT>(-1) &&
                item->itemData != 0)
                item->itemState |= ODS_GRAYED;
            OnDrawItem(item);
            return 1;
        }
        case WM_KEYDOWN:
            if (wParam == VK_APPS || wParam == VK_F10) {
                OpenOptionsMenu(a, nullptr, true);
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_INITMENUPOPUP:
            EnableMenuItems(a);
            return 1;
        case WM_CLOSE:
            CloseActionsWindow(a);
            return 0;
        default:
            return ToolWindowMessage(a.tool, window, message, wParam, lParam);
    }
}

void CreateControls(ActionsWindowState& a) {
    const HWND window = a.tool.window;
    const int l = L();
    const int f = FavoritesTop();
    a.historyList = CreateListBox(window, kHistoryList, l + 12, 116, 6 * l + 6, false, false);
    CreateSmallButton(window, kResetButton, L"reset", 10, 7 * l + 26, 64);
    a.favoritesList = CreateListBox(window, kFavoritesList, f + l + 12, 116, 6 * l + 6, true, false);
    CreateSmallButton(window, kOptionsButton, L"options", 10, f + 7 * l + 26, 64);
    // Wide enough for its text in the fonts the interface falls back to.
    CreateCheckBox(window, kApplyOnOpenBox, L"allways apply when opening images", 90,
                   f + 7 * l + 28, 252, a.tool.document->applyFavoritesOnOpen);
    if (a.favoritesList) MakeDragList(a.favoritesList);
}

} // namespace

void CreateActionsWindow(ActionsWindowState& a, Document& document, ActionsHost& host) {
    if (a.tool.window) return;
    a.host = &host;
    if (!a.dragListMessage) a.dragListMessage = RegisterWindowMessageA("commctrl_DragListMsg");
    if (!a.optionsMenu.Loaded() && !a.optionsMenu.Load(L"VxAF")) return;
    if (!CreateToolWindow(a.tool, document, L"Actions", &g_preferences.actionsWindowX,
                          &g_preferences.actionsWindowY, ClientHeight(),
                          WindowProcOf<ActionsWindowState, ActionsMessage>, &a))
        return;
    CreateControls(a);
    a.favoriteSelection = g_keptFavoriteSelection;
    a.dragIndex = a.dropIndex = -1;
    FillHistory(a);
    FillFavorites(a);
    g_preferences.actionsWindowShown = 1;
    document.host->CheckMenuItem(CMD_ACTIONS_WINDOW, true);
    ShowToolWindow(a.tool);
}

void CloseActionsWindow(ActionsWindowState& a) {
    if (!a.tool.window) return;
    g_keptFavoriteSelection = a.favoriteSelection;
    DestroyToolWindow(a.tool);
    a.historyList = a.favoritesList = nullptr;
    g_preferences.actionsWindowShown = 0;
    a.tool.document->host->CheckMenuItem(CMD_ACTIONS_WINDOW, false);
}

void RefreshActionsHistory(ActionsWindowState& a) {
    if (a.tool.window) FillHistory(a);
}

bool IsActionsWindowActive(const ActionsWindowState& a) {
    return a.tool.window && GetForegroundWindow() == a.tool.window;
}
