#include "viewer/dialogs/named_action_dialog.h"

#include <algorithm>
#include <string>

#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_file.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/list_box.h"
#include "viewer/dialogs/action_describe.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/dialogs/simple_dialog.h"
#include "viewer/platform/settings_folder.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_state.h"
#include "viewer/style/style.h"

namespace {

enum NamedActionControl : int {
    kNameList = 1111,
    kNameEdit = 1112,
};

constexpr int kWidth = 348;
constexpr int kHeight = 196;
constexpr RECT kDescriptionArea = {178, 10, 348, 123};

struct NamedActionDialog {
    SimpleDialog dialog;
    Document* state = nullptr;
    HWND nameList = nullptr;
    int32_t actionType = 0; // 0: every type
    ActionList listed;      // copies of the listed actions, in list order
    int32_t chosen = -1;
    std::u16string name;
    bool opening = false;
};

// The one named-action dialog that runs, null when none.
NamedActionDialog* g_running = nullptr;

// "actions.adb" as ImgLib opens it; empty without a settings folder.
std::u16string DatabasePath() {
    WCHAR path[kPathUnits];
    if (!GetSettingsFolder(path) || static_cast<size_t>(lstrlenW(path)) + 12 > kPathUnits)
        return {};
    lstrcatW(path, L"actions.adb");
    return ToLibraryPath(path);
}

bool LoadStore(ActionStore& store) {
    const std::u16string path = DatabasePath();
    return !path.empty() && store.LoadFile(path.c_str());
}

// Written only when something changed; a failed write is reported.
bool SaveStore(Document& state, const ActionStore& store) {
    if (!store.NeedsSaving()) return true;
    const std::u16string path = DatabasePath();
    if (!path.empty() && store.SaveFile(path.c_str())) return true;
    ShowMessageBox(state, BOX_ERROR, L"Cannot write the named actions (actions.adb)");
    return false;
}

int32_t Selection(const NamedActionDialog& box) {
    return static_cast<int32_t>(SendMessageW(box.nameList, LB_GETCURSEL, 0, 0));
}

void RedrawDescription(const NamedActionDialog& box) {
    InvalidateRect(box.dialog.window, &kDescriptionArea, TRUE);
}

// The selected entry's name into the edit field (empty without one).
void ShowSelectedName(NamedActionDialog& box) {
    WCHAR name[kStoreNameUnits] = {};
    const int32_t selection = Selection(box);
    const LRESULT length = selection >= 0 ? SendMessageW(box.nameList, LB_GETTEXTLEN, selection, 0)
                                          : LB_ERR;
    if (length >= 0 && length < static_cast<LRESULT>(kStoreNameUnits))
        SendMessageW(box.nameList, LB_GETTEXT, selection, reinterpret_cast<LPARAM>(name));
    SetDlgItemTextW(box.dialog.window, kNameEdit, name);
    RedrawDescription(box);
}

void FillList(NamedActionDialog& box) {
    ActionStore store;
    LoadStore(store);
    const int count = store.Count(box.actionType);
    for (int n = 0; n < count; ++n) {
        Action action;
        std::u16string name;
        if (!store.Get(box.actionType, static_cast<uint32_t>(n), &action, &name)) continue;
        if (!box.listed.AppendCopy(action)) break;
        WCHAR wide[kStoreNameUnits];
        CopyToWide(name, wide);
        SendMessageW(box.nameList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
    }
}

void CreateControls(NamedActionDialog& box, HWND window) {
    box.nameList = CreateListBox(window, kNameList, 11, 156, 112, true, false);
    CreateLineEdit(window, kNameEdit, 11, 134, 156, box.opening);
    SendDlgItemMessageW(window, kNameEdit, EM_LIMITTEXT, kStoreNameUnits - 1, 0);
    FillList(box);
}

void OnInitDialog(NamedActionDialog& box, HWND window) {
    BeginSimpleDialog(box.dialog, window);
    CreateControls(box, window);
    EndSimpleDialogSetup(box.dialog);
    if (!box.opening) {
        SetFocus(GetDlgItem(window, kNameEdit));
        return;
    }
    if (box.listed.Count() == 0) {
        EnableWindow(GetDlgItem(window, IDOK), FALSE);
        return;
    }
    SetFocus(box.nameList);
    SendMessageW(box.nameList, LB_SETCURSEL, 0, 0);
    ShowSelectedName(box);
}

void Paint(const NamedActionDialog& box, HDC context) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, context, true);
    FrameControl(box.nameList, context, 11);
    FrameControl(GetDlgItem(box.dialog.window, kNameEdit), context, 134);
    FillRect(context, &kDescriptionArea, g_styleBrushes.Face);
    const int32_t selection = Selection(box);
    if (selection >= 0 && static_cast<uint32_t>(selection) < box.listed.Count())
        DescribeActionOn(context, 178, 10, box.listed.items[static_cast<size_t>(selection)], true);
    RestoreSimpleDialogPen(context, pen);
}

// After a confirmation, removes the selected entry from the database at once.
void DeleteSelected(NamedActionDialog& box) {
    const int32_t selection = Selection(box);
    if (selection < 0) return;
    if (AskConfirmation(*box.state, L"Delete selected action permanently?", false) != 1) return;
    ActionStore store;
    LoadStore(store);
    if (store.Remove(box.actionType, static_cast<uint32_t>(selection))) {
        SendMessageW(box.nameList, LB_DELETESTRING, selection, 0);
        box.listed.Remove(static_cast<uint32_t>(selection));
        const int32_t count = static_cast<int32_t>(box.listed.Count());
        if (count > 0) SendMessageW(box.nameList, LB_SETCURSEL, std::min(selection, count - 1), 0);
        ShowSelectedName(box);
        if (count == 0) {
            EnableWindow(GetDlgItem(box.dialog.window, IDOK), FALSE);
            SetFocus(GetDlgItem(box.dialog.window, IDCANCEL));
        }
    }
    SaveStore(*box.state, store);
}

void Accept(NamedActionDialog& box) {
    box.chosen = Selection(box);
    WCHAR name[kStoreNameUnits] = {};
    GetDlgItemTextW(box.dialog.window, kNameEdit, name, kStoreNameUnits);
    box.name = ToU16(name);
    CloseSimpleDialog(box.dialog, IDOK);
}

INT_PTR OnCommand(NamedActionDialog& box, int id, int code) {
    switch (id) {
        case IDOK:
            Accept(box);
            return TRUE;
        case IDCANCEL:
            CloseSimpleDialog(box.dialog, IDCANCEL);
            return TRUE;
        case kNameList:
            if (code == LBN_SELCHANGE) ShowSelectedName(box);
            if (code == LBN_DBLCLK && box.opening && Selection(box) >= 0) Accept(box);
            if (code == ListBoxDelete) DeleteSelected(box);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR NamedActionMessage(NamedActionDialog& box, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, window);
            return FALSE; // the focus is set already
        case WM_ERASEBKGND:
            Paint(box, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_MEASUREITEM:
            return OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        case WM_DRAWITEM:
            return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_VKEYTOITEM:
            return -1; // the list box's own handling of the key
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                OnControlColor(reinterpret_cast<HDC>(wParam), message != WM_CTLCOLORSTATIC));
        case WM_COMMAND:
            return OnCommand(box, LOWORD(wParam), HIWORD(wParam));
        default:
            return FALSE;
    }
}

// Runs the dialog; IDOK or IDCANCEL, 0 when another one runs already.
INT_PTR Run(NamedActionDialog& box, HWND owner, const WCHAR* refusal) {
    if (g_running) {
        ShowInformation(*box.state, refusal);
        return 0;
    }
    g_running = &box;
    SetupSimpleDialog(box.dialog, box.opening ? L"Open action" : L"Save action", kWidth, kHeight,
                      2, true, box.state->host->OwnerWindow());
    const INT_PTR result = ShowSimpleDialogModal(
        box.dialog, owner, DialogProcOf<NamedActionDialog, NamedActionMessage>, &box);
    g_running = nullptr;
    return result;
}

} // namespace

bool OpenNamedAction(Document& state, HWND owner, int32_t type, Action* chosen) {
    NamedActionDialog box;
    box.state = &state;
    box.actionType = type;
    box.opening = true;
    if (Run(box, owner,
            L"Cannot open actions while another open/save action dialog is running.") != IDOK)
        return false;
    const Action* action = box.chosen >= 0 ? box.listed.At(static_cast<uint32_t>(box.chosen)) : nullptr;
    if (!action) return false;
    if (!BlockIsValid(action->type, action->block)) {
        ShowMessageBox(state, BOX_ERROR, L"Invalid action");
        return false;
    }
    *chosen = *action;
    return true;
}

bool SaveNamedAction(Document& state, HWND owner, const Action& action) {
    NamedActionDialog box;
    box.state = &state;
    box.actionType = action.type;
    box.opening = false;
    if (Run(box, owner,
            L"Cannot save actions while another open/save action dialog is running.") != IDOK ||
        box.name.empty())
        return false;
    ActionStore store;
    LoadStore(store);
    return store.Put(action, box.name) && SaveStore(state, store);
}
