#include "viewer/dialogs/action_file_dialogs.h"

#include <commdlg.h>

#include <string>

#include "viewer/logic/text_utils.h"
#include "viewer/platform/wide_text.h"

namespace {

constexpr WCHAR kFilter[] = L"Vx Actions (vxa)\0*.vxa\0";

OPENFILENAMEW FileDialog(HWND owner, WCHAR (&path)[kPathUnits], const WCHAR* title,
                         DWORD flags) {
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = kPathUnits;
    dialog.lpstrTitle = title;
    dialog.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
    return dialog;
}

} // namespace

bool ChooseActionFileToImport(HWND owner, WCHAR (&path)[kPathUnits]) {
    OPENFILENAMEW dialog =
        FileDialog(owner, path, L"Import actions", OFN_HIDEREADONLY | OFN_FILEMUSTEXIST);
    return GetOpenFileNameW(&dialog) != FALSE;
}

bool ChooseActionFileToExport(HWND owner, WCHAR (&path)[kPathUnits]) {
    OPENFILENAMEW dialog = FileDialog(owner, path, L"Export actions", OFN_OVERWRITEPROMPT);
    if (!GetSaveFileNameW(&dialog)) return false;
    std::u16string chosen = ToU16(path);
    SetActionListExtension(chosen);
    if (chosen.size() >= kPathUnits) return false;
    CopyToWide(chosen, path);
    return true;
}
