#include "viewer/dialogs/metadata_dialog.h"

#include <string>

#include "viewer/controls/label.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/logic/text_utils.h"

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

class MetadataDialog : public OptionDialog {
    void CreateControls(HWND window) override {
        int y = 10;
        for (const Field& field : kFields) {
            CreateLabel(window, 0, field.label, 10, y + 3, 100, 1);
            const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL |
                                (field.lines > 1 ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : 0);
            const HWND edit = CreateWindowExW(
                0, L"EDIT", L"", style, 110, y, kWidth - 120, 20 * field.lines, window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(field.id)), nullptr, nullptr);
            SendMessageW(edit, EM_LIMITTEXT, kTextUnits - 1, 0);
            const char* text = ILFindText(&state->info.texts, field.key);
            SetWindowTextA(edit, text ? text : "");
            y += 20 * field.lines + 8;
        }
    }
    INT_PTR Accept() override {
        StoreTexts(dialog.window, state->info);
        state->host->InfoTextsChanged();
        return IDOK;
    }
    INT_PTR CancelResult() override { return IDCANCEL; }
};

} // namespace

void ShowMetadataDialog(Document& state, HWND owner) {
    MetadataDialog().Run(state, L"Metadata", kWidth, 214 + kButtonBarHeight, 2, owner);
}
