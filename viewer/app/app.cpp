// Process entry: hand-over of a path to a running instance, start-up, the
// message loop and its filters.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "resources/commands.h"
#include "viewer/windows/histogram_window.h"
#include "viewer/windows/info_window.h"
#include "viewer/windows/list_window.h"
#include "viewer/controls/control_base.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/settings/favorites_file.h"
#include "viewer/main_window/main_window.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/platform/shell_link.h"
#include "viewer/style/style.h"
#include "viewer/main_window/main_window_state.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/main_window/twain_acquire.h"

namespace {

constexpr char kCreator[] = "Vx 1.1.7 - lib version 0.7.13";
// Global atoms hold at most 255 characters.
constexpr int kAtomNameUnits = 255;

BOOL CALLBACK FindRunningInstanceCallback(HWND window, LPARAM found) {
    WCHAR name[81];
    if (GetClassNameW(window, name, 81) == 0) return TRUE;
    if (lstrcmpW(name, L"Vx") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The command-line path into the current path: a leading double quote drops
// the first and the last character. The path is made absolute, so that a
// running instance with another working folder opens the same file. A path
// that does not fit is refused (start without one).
void TakeCommandLinePath(WCHAR (&path)[kPathUnits]) {
    path[0] = 0;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return;
    if (count > 1 && args[1][0] != 0) {
        WCHAR* arg = args[1];
        if (arg[0] == L'"') {
            ++arg;
            const int length = lstrlenW(arg);
            if (length > 0) arg[length - 1] = 0;
        }
        WCHAR full[kPathUnits];
        const DWORD length = GetFullPathNameW(arg, kPathUnits, full, nullptr);
        if (arg[0] != 0 && length > 0 && length < kPathUnits) lstrcpynW(path, full, kPathUnits);
    }
    LocalFree(args);
}

// Hands the current path to a running instance: as a global atom in message
// 1125, or, when it is too long for an atom, as WM_COPYDATA.
bool HandPathToRunningInstance(WCHAR (&path)[kPathUnits]) {
    HWND running = nullptr;
    EnumWindows(FindRunningInstanceCallback, reinterpret_cast<LPARAM>(&running));
    if (!running) return false;
    const int length = lstrlenW(path);
    if (length <= kAtomNameUnits) {
        const ATOM atom = GlobalAddAtomW(path);
        if (atom && PostMessageW(running, MSG_OPEN_PATH_ATOM, atom, 0)) return true;
        if (atom) GlobalDeleteAtom(atom);
    }
    COPYDATASTRUCT data = {};
    data.dwData = kCopyDataOpenPath;
    data.cbData = static_cast<DWORD>((length + 1) * sizeof(WCHAR));
    data.lpData = path;
    DWORD_PTR answer = 0;
    // The receiver only queues the path, so a short wait is enough; a hung
    // instance does not hang this one.
    return SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, 5000, &answer) &&
           answer == TRUE;
}

bool CreateMainHandle(MainWindowState& state) {
    lstrcpynA(state.creator, kCreator, sizeof state.creator);
    state.handle = ILCreateHandle(state.creator);
    if (!state.handle) return false;
    ILSetErrorProc(state.handle, OnLibraryError);
    ILSetWarningProc(state.handle, OnLibraryWarning);
    ILSetAlphaMode(state.handle, 1); // keep alpha
    return true;
}

// Gives a modeless dialog its keyboard navigation; true when it took the
// message. Ctrl and the Apps key also reach the dialog itself; any other key
// turns the focus cues on.
bool ForwardDialogMessage(HWND window, MSG* msg) {
    if (!window || !IsWindow(window)) return false;
    if (GetForegroundWindow() == window &&
        (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP)) {
        if (msg->wParam == VK_CONTROL || msg->wParam == VK_APPS)
            SendMessageW(window, msg->message, msg->wParam, msg->lParam);
        else
            g_styleColors.ShowFocusCues = 1;
    }
    return IsDialogMessageA(window, msg);
}

int RunMessageLoop(MainWindowState& state) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // An enabled TWAIN source sees every message first.
        if (TwainSourceEnabled() && ProcessTwainEvent(state, &msg)) continue;
        if (ForwardDialogMessage(state.toolDialogWindow, &msg)) continue;
        if (state.pageNavigator.dialog.window &&
            IsDialogMessageW(state.pageNavigator.dialog.window, &msg))
            continue;
        // The Actions window's lists take their keys themselves.
        if (state.infoWindow.editFocusCount <= 0 && !IsActionsWindowActive(state.actionsWindow) &&
            state.accelerators &&
            TranslateAcceleratorW(state.window, state.accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WCHAR startPath[kPathUnits];
    TakeCommandLinePath(startPath);
    if (startPath[0] && HandPathToRunningInstance(startPath)) return 0;

    // Lives until the message loop has ended, after the window.
    MainWindowState state{};
    state.instance = instance;
    state.host = &state;
    // The start-up path is the current path until it is opened (a folder
    // without images keeps it, and the Open dialog starts there).
    lstrcpynW(state.currentPath, startPath, kPathUnits);
    if (!RegisterMainWindowClass(instance) || !RegisterControlClasses(instance)) return 0;
    if (!CreateMainHandle(state)) return 0;
    LoadPreferences(state.handle);
    LoadFavorites(state.favorites);
    SetInterfaceStyle(g_preferences.interfaceStyle);

    const HWND window = CreateMainWindow(state);
    if (!window) return 0;
    CreateTooltips(state);
    if (!CreateShellLinkResolver()) return 0;
    wsprintfW(state.undoSnapshotName, L"img%u.tmp",
              static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    ShowScrollBar(window, SB_BOTH, FALSE);
    ShowWindow(window, showCommand);
    if (g_preferences.infoWindowShown) CreateInfoWindow(state.infoWindow, state);
    if (g_preferences.histogramWindowShown) CreateHistogramWindow(state.histogramWindow, state);
    if (g_preferences.actionsWindowShown) CreateActionsWindow(state.actionsWindow, state, state);
    if (g_preferences.listWindowShown) ShowListWindow(state, true);
    state.accelerators = LoadAcceleratorsW(instance, L"Vx");

    // The start-up path is opened as a handed-over path would be, but
    // directly: an atom could not carry a path of more than 255 characters.
    if (startPath[0]) {
        UpdateWindow(window);
        OpenHandedOverPath(state, startPath);
    }
    const int exitCode = RunMessageLoop(state);
    UnloadTwainManager(); // a source still enabled at WM_DESTROY kept it
    return exitCode;
}
