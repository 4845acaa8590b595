// Process entry: hand-over of a path to a running instance, start-up, the
// message loop and its filters.
#include <windows.h>
#include <shellapi.h>

#include <exempi/xmp.h>

#include <cstdint>

#include "viewer/commands.h"
#include "viewer/library_messages.h"
#include "viewer/main_window.h"
#include "viewer/preferences_file.h"
#include "viewer/shell_link.h"
#include "viewer/style.h"
#include "viewer/viewer_state.h"

ViewerState g_viewer;

namespace {

constexpr char kCreator[] = "Vx 1.1.7 - lib version 0.7.13";
// Global atoms hold at most 255 characters.
constexpr int kAtomNameUnits = 255;

BOOL CALLBACK FindRunningInstanceCallback(HWND window, LPARAM) {
    WCHAR name[81];
    if (GetClassNameW(window, name, 81) == 0) return TRUE;
    if (lstrcmpW(name, L"Vx") != 0) return TRUE;
    g_viewer.mainWindow = window;
    return FALSE;
}

// The command-line path into the current path: a leading double quote drops
// the first and the last character. The path is made absolute, so that a
// running instance with another working folder opens the same file. A path
// that does not fit is refused (start without one).
void TakeCommandLinePath() {
    g_viewer.currentPath[0] = 0;
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
        if (arg[0] != 0 && length > 0 && length < kPathUnits)
            lstrcpynW(g_viewer.currentPath, full, kPathUnits);
    }
    LocalFree(args);
}

// Hands the current path to a running instance: as a global atom in message
// 1125, or, when it is too long for an atom, as WM_COPYDATA.
bool HandPathToRunningInstance() {
    g_viewer.mainWindow = nullptr;
    EnumWindows(FindRunningInstanceCallback, 0);
    const HWND running = g_viewer.mainWindow;
    g_viewer.mainWindow = nullptr;
    if (!running) return false;
    const int length = lstrlenW(g_viewer.currentPath);
    if (length <= kAtomNameUnits) {
        const ATOM atom = GlobalAddAtomW(g_viewer.currentPath);
        if (atom && PostMessageW(running, MSG_OPEN_PATH_ATOM, atom, 0)) return true;
        if (atom) GlobalDeleteAtom(atom);
    }
    COPYDATASTRUCT data = {};
    data.dwData = kCopyDataOpenPath;
    data.cbData = static_cast<DWORD>((length + 1) * sizeof(WCHAR));
    data.lpData = g_viewer.currentPath;
    DWORD_PTR answer = 0;
    // The receiver only queues the path, so a short wait is enough; a hung
    // instance does not hang this one.
    return SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, 5000, &answer) &&
           answer == TRUE;
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"Vx");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = L"Vx";
    return RegisterClassExW(&wc) != 0;
}

bool CreateMainHandle() {
    lstrcpynA(g_viewer.creator, kCreator, sizeof g_viewer.creator);
    g_viewer.handle = ILCreateHandle(g_viewer.creator);
    if (!g_viewer.handle) return false;
    ILSetErrorProc(g_viewer.handle, OnLibraryError);
    ILSetWarningProc(g_viewer.handle, OnLibraryWarning);
    ILSetAlphaMode(g_viewer.handle, 1); // keep alpha
    return true;
}

HWND CreateMainWindow(HINSTANCE instance) {
    return CreateWindowExW(0, L"Vx", L"Vx - Version 1.1.7",
                           WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, g_preferences.mainWindowX,
                           g_preferences.mainWindowY, g_preferences.mainWindowWidth,
                           g_preferences.mainWindowHeight, nullptr, nullptr, instance, nullptr);
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

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (ForwardDialogMessage(g_viewer.toolDialogWindow, &msg)) continue;
        if (g_viewer.accelerators &&
            TranslateAcceleratorW(g_viewer.mainWindow, g_viewer.accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    g_viewer.instance = instance;
    TakeCommandLinePath();
    if (g_viewer.currentPath[0] && HandPathToRunningInstance()) return 0;

    if (!RegisterMainWindowClass(instance)) return 0;
    if (!CreateMainHandle()) return 0;
    LoadPreferences();
    SetInterfaceStyle(g_preferences.interfaceStyle);

    const HWND window = CreateMainWindow(instance);
    if (!window) return 0;
    CreateTooltips(instance, window);
    if (!CreateShellLinkResolver()) return 0;
    wsprintfW(g_viewer.undoSnapshotName, L"img%u.tmp",
              static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    ShowScrollBar(window, SB_BOTH, FALSE);
    ShowWindow(window, showCommand);
    g_viewer.accelerators = LoadAcceleratorsW(instance, L"Vx");
    xmp_init();

    // The start-up path is opened as a handed-over path would be, but
    // directly: an atom could not carry a path of more than 255 characters.
    if (g_viewer.currentPath[0]) {
        UpdateWindow(window);
        WCHAR path[kPathUnits];
        lstrcpynW(path, g_viewer.currentPath, kPathUnits);
        OpenHandedOverPath(path);
    }
    return RunMessageLoop();
}
