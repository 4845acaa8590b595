// The shell's headers come before ImgLib's: both declare an ILFree.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "viewer/platform/shell_services.h"

namespace {

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM) {
    switch (message) {
        case BFFM_INITIALIZED:
            SetWindowTextW(window, L"Select folder");
            return 0;
        case BFFM_VALIDATEFAILEDW: {
            WCHAR text[kPathUnits + 20] = L"Invalid selection\n";
            lstrcpynW(text + lstrlenW(text), reinterpret_cast<const WCHAR*>(parameter), kPathUnits);
            MessageBoxW(window, text, L"Error", MB_ICONWARNING);
            return 1; // keep the chooser open
        }
        default:
            return 0;
    }
}

} // namespace

bool DeleteToRecycleBin(const WCHAR* paths) {
    if (!paths) return false;
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = paths;
    op.fFlags = FOF_ALLOWUNDO | FOF_SILENT;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

bool CopyOrMoveFiles(const WCHAR* paths, const WCHAR* folder, bool move) {
    if (!paths || !folder[0]) return false;
    // The target is a list of one: it needs a second terminator too.
    WCHAR target[kPathUnits + 1] = {};
    lstrcpynW(target, folder, kPathUnits);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = move ? FO_MOVE : FO_COPY;
    op.pFrom = paths;
    op.pTo = target;
    op.fFlags = FOF_ALLOWUNDO;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

bool RecycleFile(const WCHAR* path) {
    // The list form needs a second terminator after the one path.
    WCHAR list[kPathUnits + 1] = {};
    lstrcpynW(list, path, kPathUnits);
    return DeleteToRecycleBin(list);
}

bool ChooseFolder(HWND owner, const WCHAR* title, WCHAR (&path)[kPathUnits]) {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseFolderCallback;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item) return false;
    WCHAR chosen[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(item, chosen);
    CoTaskMemFree(item);
    if (ok) lstrcpynW(path, chosen, kPathUnits);
    return ok;
}

INT_PTR ShowHelp(HWND owner, WCHAR (&path)[kPathUnits]) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    path[0] = 0;
    if (args && count > 0) {
        lstrcpynW(path, args[0], kPathUnits);
        // A program path without a folder part: look beside the working folder.
        WCHAR* slash = nullptr;
        for (WCHAR* p = path; *p; ++p)
            if (*p == L'\\') slash = p;
        if (slash)
            slash[1] = 0;
        else
            path[0] = 0;
    }
    if (args) LocalFree(args);
    if (lstrlenW(path) + 11 >= static_cast<int>(kPathUnits)) return SE_ERR_FNF;
    lstrcatW(path, L"Doc\\Vx.htm");
    return reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", path, nullptr, nullptr, SW_SHOWNORMAL));
}
