#include "viewer/dialogs/metadata_dialog.h"

#include <string>

#include "viewer/controls/label.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/info_window.h"
#include "viewer/logic/text_utils.h"
#include "viewer/window_state.h"

namespace {

constexpr int kWidth = 320;
constexpr int kTextUnits = 1680; // 1679 characters and the terminator

struct Field {
    int id;
    const WCHAR* label;
    ILTextKey key;
    int lines;
};
const Field kFields[] = {
    {10205, L"Title", IL_TEXT_TITLE, 1},
    {10206, L"Author / Artist", IL_TEXT_AUTHOR, 1},
    {10208, L"Creation time", IL_TEXT_CREATION_TIME, 1},
    {10207, L"Description", IL_TEXT_DESCRIPTION, 4},
    {10200, L"Copyright", IL_TEXT_COPYRIGHT, 1},
};

struct MetadataDialog {
    SimpleDialog dialog;
    MainWindowState* state = nullptr;
};

void OnInitDialog(MetadataDialog& box, HWND window) {
    BeginSimpleDialog(box.dialog, window);
    int y = 10;
    for (const Field& field : kFields) {
        CreateLabel(window, 0, field.label, 10, y + 3, 100, 1);
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL |
                            (field.lines > 1 ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : 0);
        const HWND edit = CreateWindowExW(
            0, L"EDIT", L"", style, 110, y, kWidth - 120, 20 * field.lines, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(field.id)), nullptr, nullptr);
        SendMessageW(edit, EM_LIMITTEXT, kTextUnits - 1, 0);
        const char* text = ILFindText(&box.state->info.texts, field.key);
        SetWindowTextA(edit, text ? text : "");
        y += 20 * field.lines + 8;
    }
    EndSimpleDialogSetup(box.dialog);
}

// Blank-only texts remove their key.
void StoreTexts(HWND window, ILInfo& info) {
    for (const Field& field : kFields) {
        char text[kTextUnits] = {};
        GetDlgItemTextA(window, field.id, text, kTextUnits);
        std::string value = text;
        TrimBlanks(value);
        ILSetText(&info.texts, field.key, value.size(), value.c_str());
    }
}

INT_PTR MetadataMessage(MetadataDialog& box, HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, window);
            return TRUE;
        case WM_ERASEBKGND: {
            const HGDIOBJ pen =
                PaintSimpleDialogBackground(box.dialog, reinterpret_cast<HDC>(wParam), true);
            RestoreSimpleDialogPen(reinterpret_cast<HDC>(wParam), pen);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                StoreTexts(window, box.state->info);
                UpdateInfoTexts(*box.state);
            }
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                CloseSimpleDialog(box.dialog, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

} // namespace

void ShowMetadataDialog(MainWindowState& state, HWND owner) {
    MetadataDialog box;
    box.state = &state;
    SetupSimpleDialog(box.dialog, L"Metadata", kWidth, 214 + kButtonBarHeight, 2, true, owner);
    RunOptionDialog(state, box.dialog, DialogProcOf<MetadataDialog, MetadataMessage>, &box, owner);
}
