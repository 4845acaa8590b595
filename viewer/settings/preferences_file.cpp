// Loading and saving the preferences record through the settings folder.
#include "viewer/settings/preferences_file.h"

#include <windows.h>

#include <array>

#include "viewer/platform/settings_folder.h"
#include "viewer/platform/paths.h"
#include "viewer/platform/window_utils.h"

// One record per process: every window reads and writes the same settings,
// and the process writes them to its settings folder at exit.
Preferences g_preferences;

namespace {

// The file's path in the settings folder; false when the folder is missing
// or the name does not fit.
bool GetPreferencesPath(WCHAR (&path)[kPathUnits]) {
    static const WCHAR kName[] = L"Vx.up";
    if (!GetSettingsFolder(path)) return false;
    if (static_cast<size_t>(lstrlenW(path)) + ARRAYSIZE(kName) > kPathUnits) return false;
    lstrcatW(path, kName);
    return true;
}

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : handle_(h) {}
    ~FileHandle() {
        if (IsOpen()) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// Only a file of exactly the record's size is read at all.
bool ReadPreferencesFile(const WCHAR* path) {
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size) ||
        size.QuadPart != static_cast<LONGLONG>(kPreferencesFileSize))
        return false;
    std::array<uint8_t, kPreferencesFileSize> bytes;
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size())
        return false;
    return ReadPreferences(g_preferences, bytes);
}

} // namespace

bool LoadPreferences(ILHandle* handle) {
    WCHAR path[kPathUnits];
    const bool accepted = GetPreferencesPath(path) && ReadPreferencesFile(path);
    if (accepted)
        PushPreferenceOptions(g_preferences, handle);
    else
        SetDefaultPreferences(g_preferences, handle, GetSystemMetrics(SM_CXSCREEN));
    // The window is created with the remembered client area.
    g_preferences.mainWindowWidth += WindowFrameWidth();
    g_preferences.mainWindowHeight += WindowFrameHeight();
    return accepted;
}

void SavePreferences(HWND mainWindow) {
    WCHAR path[kPathUnits];
    if (!GetPreferencesPath(path)) return;
    FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return;
    // The normal rectangle, so that a window closed maximised or minimised
    // comes back at its restored size.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (mainWindow && GetWindowPlacement(mainWindow, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        g_preferences.mainWindowX = r.left;
        g_preferences.mainWindowY = r.top;
        g_preferences.mainWindowWidth = r.right - r.left - WindowFrameWidth();
        g_preferences.mainWindowHeight = r.bottom - r.top - WindowFrameHeight();
    }
    const auto bytes = PreferencesBytes(g_preferences);
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
