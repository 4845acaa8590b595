// The shell's header comes before ImgLib's: both declare an ILFree.
#include <shlobj.h>

#include "viewer/platform/settings_folder.h"

bool FolderExists(const WCHAR* path) {
    // Asking for the attributes answers the same question as making the folder
    // current, without touching the process-wide current directory that
    // worker threads share.
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool GetSettingsFolder(WCHAR (&path)[kPathUnits]) {
    path[0] = 0;
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE)) return false;
    const int length = lstrlenW(path);
    if (length + 5 >= static_cast<int>(kPathUnits)) return false;
    lstrcatW(path, L"\\Vx");
    if (!FolderExists(path) && !CreateDirectoryW(path, nullptr)) return false;
    lstrcatW(path, L"\\");
    return true;
}

bool GetUndoSnapshotPath(const WCHAR* name, WCHAR (&path)[kPathUnits]) {
    if (!GetSettingsFolder(path)) return false;
    if (lstrlenW(path) + lstrlenW(name) >= static_cast<int>(kPathUnits)) return false;
    lstrcatW(path, name);
    return true;
}

void DeleteUndoSnapshot(const WCHAR* name) {
    WCHAR path[kPathUnits];
    if (GetUndoSnapshotPath(name, path)) DeleteFileW(path);
}
