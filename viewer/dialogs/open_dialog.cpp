#include "viewer/dialogs/open_dialog.h"

#include <commdlg.h>

#include <vector>

#include "imglib/imglib.h"

bool ChooseImageToOpen(HWND owner, WCHAR (&path)[kPathUnits], int32_t& filterIndex) {
    const uint32_t units = ILBuildFilterString(false, nullptr);
    std::vector<char16_t> filter(units + 2, u'\0');
    ILBuildFilterString(false, filter.data());
    // The dialog takes WCHAR; the library writes char16_t of the same units.
    std::vector<WCHAR> wideFilter(filter.begin(), filter.end());

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = wideFilter.data();
    dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
    dialog.lpstrFile = path;
    dialog.nMaxFile = kPathUnits;
    dialog.lpstrTitle = L"Open image file";
    dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS | OFN_EXPLORER |
                   OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) return false;
    filterIndex = static_cast<int32_t>(dialog.nFilterIndex);
    return true;
}
