#include "viewer/main_window/print_image.h"

#include <commdlg.h>

#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/print_layout.h"

namespace {

const WCHAR* SpoolerErrorText(int result) {
    switch (result) {
        case SP_OUTOFMEMORY:
            return L"Print spooler out of memory.";
        case SP_OUTOFDISK:
            return L"Print spooler out of disk space.";
        case SP_USERABORT:
        case SP_APPABORT:
            return L"Print spooler aborted.";
        default:
            return L"Print spooler reported an error.";
    }
}

void PrintPage(const MainWindowState& state, HDC printer) {
    const PrintResolution screen = {GetDeviceCaps(state.mainDC, LOGPIXELSX),
                                    GetDeviceCaps(state.mainDC, LOGPIXELSY)};
    const PrintResolution paper = {GetDeviceCaps(printer, LOGPIXELSX),
                                   GetDeviceCaps(printer, LOGPIXELSY)};
    const PrintRect rect = FitPrintPicture(
        static_cast<int32_t>(state.display.Width()), static_cast<int32_t>(state.display.Height()),
        screen, paper, GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES));
    if (rect.width > 0 && rect.height > 0)
        state.display.DrawScaled(printer, rect.x, rect.y, rect.width, rect.height);
}

// Spools the document: one page per copy. Answers the first spooler result
// of zero or less, 1 when every call succeeded.
int SpoolDocument(const MainWindowState& state, HDC printer, int copies) {
    WCHAR name[240];
    wsprintfW(name, L"Vx print job [%.224s]", state.displayName);
    DOCINFOW doc = {};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = name;
    int result = StartDocW(printer, &doc);
    if (result <= 0) return result;
    for (int copy = 0; copy < copies && result > 0; ++copy) {
        result = StartPage(printer);
        if (result <= 0) break;
        PrintPage(state, printer);
        result = EndPage(printer);
    }
    if (result > 0) result = EndDoc(printer);
    // A half-spooled document is taken back rather than left to print.
    if (result <= 0) AbortDoc(printer);
    return result;
}

void PrintWithDialogResult(MainWindowState& state, const PRINTDLGEXA& dialog) {
    if (!dialog.hDC) return;
    if (!(GetDeviceCaps(dialog.hDC, RASTERCAPS) & RC_STRETCHDIB)) {
        ShowError(state, L"Printer does not support bitmaps.");
        return;
    }
    EnableWindow(state.window, FALSE);
    const int result = SpoolDocument(state, dialog.hDC, static_cast<int>(dialog.nCopies));
    EnableWindow(state.window, TRUE);
    if (result <= 0) ShowError(state, SpoolerErrorText(result));
}

} // namespace

bool PrintImage(MainWindowState& state) {
    auto* dialog = static_cast<PRINTDLGEXA*>(GlobalAlloc(GPTR, sizeof(PRINTDLGEXA)));
    if (!dialog) {
        ShowOutOfMemory(state);
        return false;
    }
    dialog->lStructSize = sizeof *dialog;
    dialog->hwndOwner = state.window;
    dialog->Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_NOCURRENTPAGE;
    dialog->nMinPage = 1;
    dialog->nMaxPage = 1;
    dialog->nCopies = 1;
    dialog->nStartPage = START_PAGE_GENERAL;
    const HRESULT shown = PrintDlgExA(dialog);
    if (FAILED(shown))
        ShowError(state, shown == E_OUTOFMEMORY ? L"Print dialog out of memory."
                                                : L"Print dialog reported an error.");
    else if (dialog->dwResultAction == PD_RESULT_PRINT)
        PrintWithDialogResult(state, *dialog);
    if (dialog->hDC) DeleteDC(dialog->hDC);
    if (dialog->hDevMode) GlobalFree(dialog->hDevMode);
    if (dialog->hDevNames) GlobalFree(dialog->hDevNames);
    GlobalFree(dialog);
    return true;
}
