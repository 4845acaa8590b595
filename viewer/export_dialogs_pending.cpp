// The List window reaches the export dialogs through export_dialogs.h. Until
// the dialogs are linked in, these weak definitions stand in for them: the
// two export commands open nothing and no export ever runs. The dialogs'
// own definitions replace them at link time.
#include "viewer/export_dialogs.h"

__attribute__((weak)) void ShowSheetExportDialog(MainWindowState&, HWND) {}
__attribute__((weak)) void ShowGalleryExportDialog(MainWindowState&, HWND) {}
__attribute__((weak)) void UpdateExportSelection(int32_t) {}
__attribute__((weak)) void UpdateExportThumbnails(int32_t) {}
__attribute__((weak)) void CloseExportDialogs() {}
__attribute__((weak)) void RedrawExportDialogs() {}
__attribute__((weak)) bool IsExportRunning() {
    return false;
}
