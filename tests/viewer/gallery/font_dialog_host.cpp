// font_dialog_host: runs the viewer's "Select Font" dialog over a plain
// window, for the viewer's Wine tests, on a record of 12 pt of the face and
// weight given. When the dialog ends, one line goes to the log file:
//
//   RESULT FACE|HEIGHT|WEIGHT|ITALIC|UNDERLINE|FILTER|SAMPLE
//
//   font_dialog_host LOGFILE light|dark WEIGHT FACE
//
// LOGFILE is a Unix path: a winelib program writes through the host's C library.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "imglib/handle.h"
#include "viewer/controls/control_base.h"
#include "viewer/dialogs/font_dialog.h"
#include "viewer/style/style.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 5) return 2;
    char path[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, argv[1], -1, path, MAX_PATH, nullptr, nullptr);
    const bool dark = lstrcmpW(argv[2], L"dark") == 0;
    char weight[16];
    WideCharToMultiByte(CP_ACP, 0, argv[3], -1, weight, 16, nullptr, nullptr);
    LOGFONTA font = {};
    WideCharToMultiByte(CP_ACP, 0, argv[4], -1, font.lfFaceName, LF_FACESIZE, nullptr, nullptr);
    LocalFree(argv);
    // The controls' glyphs blend through the library's sRGB table, which a
    // handle makes.
    ILHandle* handle = ILCreateHandle("font dialog host");
    SetInterfaceStyle(dark ? 1 : 0);
    if (!RegisterControlClasses(instance)) return 1;
    const HWND owner = CreateWindowExW(0, L"STATIC", L"Font Dialog Host", WS_OVERLAPPEDWINDOW, 20,
                                       20, 500, 360, nullptr, nullptr, instance, nullptr);
    ShowWindow(owner, SW_SHOW);

    Preferences preferences;
    SetDefaultPreferences(preferences, handle, 1024);
    font.lfHeight = -16;
    font.lfWeight = std::atoi(weight);
    const FontDialogResult result = RunFontDialog(owner, owner, font, preferences);

    char sample[kFontSampleTextUnits * 3];
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const WCHAR*>(preferences.fontSampleText), -1,
                        sample, sizeof sample, nullptr, nullptr);
    if (FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%d %s|%ld|%ld|%d|%d|%d|%s\n", static_cast<int>(result), font.lfFaceName,
                     static_cast<long>(font.lfHeight), static_cast<long>(font.lfWeight),
                     font.lfItalic, font.lfUnderline, preferences.fontFamilyFilter, sample);
        std::fclose(log);
    }
    DestroyWindow(owner);
    DestroyInterfaceStyle();
    ILDestroyHandle(handle);
    return 0;
}
