// control_gallery: one window with every kind of custom control, for the
// viewer's Wine tests. Each notification the window receives is appended to
// the log file named on the command line as "id code lparam", so that a case
// script can drive the controls with vxdrive and read what they reported.
//
//   control_gallery LOGFILE [dark]
//
// LOGFILE is a Unix path: a winelib program writes through the host's C library.
#include <windows.h>

#include <cstdio>
#include <initializer_list>

#include "imglib/handle.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/dialog_tips.h"
#include "viewer/controls/label.h"
#include "viewer/controls/list_box.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/point_handle.h"
#include "viewer/controls/slider.h"
#include "viewer/controls/spin_field.h"
#include "viewer/style/style.h"

namespace {

FILE* g_log = nullptr;
HWND g_tips = nullptr; // a dialog tip over the free bottom-right corner

enum GalleryControl : int {
    kPush = 1001,
    kSmall = 1002,
    kSquare = 1003,
    kColor = 1004,
    kFirstRadio = 1005, // to 1007
    kCheck = 1008,
    kFirstLabel = 1010, // styles 0 to 3
    kHandle = 1020,
    kList = 1030,
    kLineEdit = 1040,
    kMultiEdit = 1041,
    kSpin = 1050,       // 0..200
    kSignedSpin = 1051, // -20..20
    kSlider = 1060,     // 0..10, 100 long
    kVerticalSlider = 1061,
};

void CreateGallery(HWND window) {
    CreatePushButton(window, kPush, L"Push", 10, 10, 80);
    CreateSmallButton(window, kSmall, L"Small", 100, 11, 60);
    CreateSquareButton(window, kSquare, 170, 12, true);
    CreateColorButton(window, kColor, L"Colour", 200, 10, 100, 0x3080E0);
    const WCHAR* radios[] = {L"First", L"Second", L"Third"};
    for (int i = 0; i < 3; ++i)
        CreateRadioButton(window, kFirstRadio + i, radios[i], 10, 40 + 18 * i, 90, i == 1);
    CreateCheckBox(window, kCheck, L"Check box", 110, 40, 100, false);
    for (int style = 0; style < 4; ++style)
        CreateLabel(window, kFirstLabel + style, L"Label text", 220, 40 + 18 * style, 100, style);
    const RECT bounds = {20, 120, 120, 170};
    CreatePointHandle(window, kHandle, 70, 145, bounds);
    const HWND list = CreateListBox(window, kList, 180, 150, 70, true, false);
    for (const WCHAR* item : {L"Alpha", L"Beta", L"Gamma", L"Delta"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    const HWND line = CreateLineEdit(window, kLineEdit, 180, 120, 150, false);
    SetWindowTextW(line, L"line edit");
    const HWND multi = CreateMultiLineEdit(window, kMultiEdit, 180, 180, 150, 70, true);
    SetWindowTextW(multi, L"read-only\r\nmulti-line edit");
    CreateSpinField(window, kSpin, 10, 260, 70, 0, 200, 100);
    CreateSpinField(window, kSignedSpin, 90, 260, 60, -20, 20, 0);
    CreateSlider(window, kSlider, 10, 290, 100, 0, 10, 5, false);
    CreateSlider(window, kVerticalSlider, 350, 10, 150, 0, 100, 30, true);
    EnableWindow(CreatePushButton(window, 1090, L"Disabled", 200, 290, 80), FALSE);
    g_tips = CreateToolTipWindow();
    AddToolTip(g_tips, window, {340, 180, 410, 280}, "A free corner of the gallery.");
}

// A spin field's EN_CHANGE carries its edit's handle: the value the parent
// reads then is logged instead.
void Log(HWND window, WPARAM wParam, LPARAM lParam) {
    if (!g_log) return;
    long long value = lParam;
    if (HIWORD(wParam) == EN_CHANGE) value = GetSpinValue(GetDlgItem(window, LOWORD(wParam)));
    std::fprintf(g_log, "%u %u %lld\n", LOWORD(wParam), HIWORD(wParam), value);
    std::fflush(g_log);
}

// The small button sets the other controls from the program's side: the
// handle moves (and reports it), the slider goes back to its default, the
// spin field and slider take new defaults, the swatch and square change.
void SetControls(HWND window) {
    SetPointHandlePosition(GetDlgItem(window, kHandle), 40, 130);
    const POINT at = GetPointHandlePosition(GetDlgItem(window, kHandle));
    Log(window, MAKEWPARAM(kHandle, 0), MAKELPARAM(at.x, at.y));
    Log(window, MAKEWPARAM(kSlider, 0), ResetSlider(GetDlgItem(window, kSlider)));
    SetSliderDefault(GetDlgItem(window, kSlider), 99); // clamped to 10
    SetSpinDefault(GetDlgItem(window, kSpin), -7);     // clamped to 0
    SetColorButtonColor(GetDlgItem(window, kColor), 0x40C040);
    SetButtonChecked(GetDlgItem(window, kSquare), !IsButtonChecked(GetDlgItem(window, kSquare)));
}

void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    Log(window, wParam, lParam);
    const int id = LOWORD(wParam);
    if (id == kSmall) SetControls(window);
    if (id >= kFirstRadio && id < kFirstRadio + 3 && HIWORD(wParam) == ControlChanged)
        SelectRadio(window, kFirstRadio, kFirstRadio + 2, id);
}

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, g_styleBrushes.Face);
    const RECT bounds = {17, 117, 124, 174};
    FrameRect(dc, &bounds, g_styleBrushes.Shadow);
    EndPaint(window, &ps);
}

LRESULT CALLBACK GalleryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateGallery(window);
            return 0;
        case WM_PAINT:
            OnPaint(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_COMMAND:
            OnCommand(window, wParam, lParam);
            return 0;
        case WM_KEYDOWN: // passed on by the owner-drawn buttons
            Log(window, MAKEWPARAM(0, WM_KEYDOWN), static_cast<LPARAM>(wParam));
            return 0;
        case WM_MEASUREITEM:
            OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                OnControlColor(reinterpret_cast<HDC>(wParam), message != WM_CTLCOLORSTATIC));
        case WM_DESTROY:
            DestroyWindow(g_tips);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    char path[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, argv[1], -1, path, MAX_PATH, nullptr, nullptr);
    const bool dark = argc > 2 && lstrcmpW(argv[2], L"dark") == 0;
    LocalFree(argv);
    // Appending: the case script empties the log between its steps.
    g_log = std::fopen(path, "a");
    // The glyphs blend through the library's sRGB table, which a handle makes.
    ILHandle* handle = ILCreateHandle("control gallery");
    SetInterfaceStyle(dark ? 1 : 0);
    if (!RegisterControlClasses(instance)) return 1;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = GalleryProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = L"VxGallery";
    RegisterClassExW(&wc);
    RECT outer = {0, 0, 420, 320};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    const HWND window = CreateWindowExW(0, L"VxGallery", L"Control Gallery", WS_OVERLAPPEDWINDOW,
                                        20, 20, outer.right - outer.left, outer.bottom - outer.top,
                                        nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyInterfaceStyle();
    ILDestroyHandle(handle);
    if (g_log) std::fclose(g_log);
    return 0;
}
