// Opening files into the current image and showing whatever image arrives.
#include "viewer/main_window/open_image.h"

#include <string>

#include "viewer/dialogs/page_navigator.h"
#include "viewer/main_window/full_screen_frame.h"
#include "viewer/windows/histogram_window.h"
#include "viewer/windows/info_window.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/actions/action_list.h"
#include "viewer/document/listable_files.h"
#include "viewer/logic/open_texts.h"
#include "viewer/logic/text_utils.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/main_window/option_setters.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/platform/shell_link.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/platform/unix_path.h"
#include "viewer/main_window/view.h"
#include "viewer/platform/wide_text.h"

namespace {

// ILInfo keeps the viewer's marks for images without a file in its
// unsigned format id.

ILResult LoadInto(MainWindowState& state, const WCHAR* dosPath) {
    const std::u16string path = ToLibraryPath(dosPath);
    if (path.empty()) return IL_FILE_NOT_FOUND;
    return ILLoadImage(state.handle, path.c_str(), &state.image, &state.info);
}

// Milliseconds of a monotonic clock; the tick count is too coarse under Wine
// to time a small file.
int64_t NowMilliseconds() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<int64_t>(count.QuadPart * 1000.0 / frequency.QuadPart);
}

void SetArrowCursor() {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

// A bitmap that cannot be made leaves the window painting its background.
void RenderDisplay(MainWindowState& state) {
    state.display.Render(state.image, state.background, g_preferences.useAlpha != 0);
}

void LayOutNewImage(MainWindowState& state) {
    LayoutView(state, LargestFittingZoomLevel(state), g_preferences.windowMode == 2);
}

} // namespace

bool OpenImageFile(MainWindowState& state, const WCHAR* path, int page) {
    const int64_t start = NowMilliseconds();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The path may be the current path itself, which success overwrites.
    WCHAR opened[kPathUnits];
    lstrcpynW(opened, path, kPathUnits);
    state.info.page = static_cast<uint16_t>(page);
    // The load replaces the pixels that the display bitmap may share.
    state.display.Free();

    WCHAR target[kPathUnits] = {};
    bool throughLink = false;
    ILResult result;
    if (IsShellLinkFile(ToU16(opened))) {
        WCHAR resolved[MAX_PATH];
        if (ResolveShellLink(opened, resolved)) {
            lstrcpynW(target, resolved, kPathUnits);
            result = LoadInto(state, target);
            throughLink = result >= IL_OK;
        } else {
            result = IL_UNSUPPORTED_FORMAT;
        }
    } else {
        result = LoadInto(state, opened);
    }

    if (result > 0 && state.image.data) {
        lstrcpynW(state.currentPath, opened, kPathUnits);
        // Kept in the preferences: the Open dialog starts there next time.
        CopyToU16(opened, g_preferences.lastImagePath);
        lstrcpynW(state.linkTarget, target, kPathUnits);
        state.openedThroughLink = throughLink;
        SetDisplayPath(state, throughLink ? state.linkTarget : state.currentPath);
        CopyToWide(FormatLoadTime(NowMilliseconds() - start), state.loadTimeText);
        ILApplyExifResolution(&state.info);
        ShowNewImage(state, IMAGE_FROM_FILE);
        if (g_preferences.multipageDialog)
            ShowMultipageDialog(state.pageNavigator, state.window, state.info.pages,
                                state.info.page);
        SetArrowCursor();
        // A partial image's errors, or the loader's warnings.
        if (ShowLibraryMessages(state, opened)) ClearLibraryMessages();
        return true;
    }

    if (state.image.data)
        RefreshImageView(state, true); // the library kept the previous image
    else
        ClearImage(state);
    SetArrowCursor();
    if (!ShowLibraryMessages(state, opened)) {
        WCHAR text[300];
        CopyToWide(FormatOpenFailure(ToU16(opened), result), text);
        ShowError(state, text);
    }
    ClearLibraryMessages();
    return false;
}

void SetDisplayPath(MainWindowState& state, const WCHAR* path) {
    state.displayPath = path;
    const std::u16string full = ToU16(path);
    CopyToWide(DisplayNameOf(full), state.displayName);
}

void ShowNewImage(MainWindowState& state, ImageSource source, const char* acquiredFrom) {
    OpenBlock block;
    switch (source) {
        case IMAGE_FROM_FILE:
            block = MakeOpenBlock(OPEN_FROM_FILE, ToU16(state.displayPath), {});
            break;
        case IMAGE_FROM_CLIPBOARD:
            block = MakeOpenBlock(OPEN_FROM_CLIPBOARD, {}, {});
            state.info.formatId = IL_FORMAT_PASTED;
            break;
        case IMAGE_ACQUIRED: {
            const char* name = acquiredFrom ? acquiredFrom : "";
            block = MakeOpenBlock(OPEN_ACQUIRED, {}, name);
            state.info.formatId = IL_FORMAT_ACQUIRED;
            state.linkTarget[0] = 0;
            MultiByteToWideChar(CP_ACP, 0, name, -1, state.linkTarget, kPathUnits);
            state.linkTarget[kPathUnits - 1] = 0;
            break;
        }
    }
    UpdateBackgroundBrush(state);

    state.history.Clear();
    state.unrecordedChanges = false;
    state.undoUnavailable = false;
    PushHistoryOpen(state.history, block);
    SetHistoryCursor(state.history, 0);
    RefreshActionsHistory(state.actionsWindow);
    UpdateModeMenu(state);
    // Before the display is made; the guard writes the snapshot of the image
    // as it arrived first.
    if (state.applyFavoritesOnOpen) state.ApplyFavoritesToNewImage();

    RenderDisplay(state);

    if (state.info.ppiX != 0) {
        state.viewResolutionX = static_cast<int>(state.info.ppiX);
        state.viewResolutionY = static_cast<int>(state.info.ppiY);
    } else {
        state.viewResolutionX = GetDeviceCaps(state.mainDC, LOGPIXELSX);
        state.viewResolutionY = GetDeviceCaps(state.mainDC, LOGPIXELSY);
    }
    LayOutNewImage(state);
    UpdateInfoTexts(state.infoWindow);
    UpdateHistogram(state.histogramWindow);
    ShowFullScreenImage(state, true);
    if (state.fullScreen) InvalidateRect(state.window, nullptr, FALSE);
}

void ClearImage(MainWindowState& state) {
    state.displayPath = L"NONE";
    lstrcpynW(state.displayName, L"NONE", kPathUnits);
    state.loadTimeText[0] = 0;

    ILInitImage(&state.image);
    state.display.Free();
    ILClearInfo(&state.info);

    ViewGeometry& view = state.view;
    view.displayWidth = view.displayHeight = 0;
    view.displayLeft = view.displayTop = 0;
    view.scale = 0;
    state.viewResolutionX = state.viewResolutionY = 0;

    state.history.Clear();
    state.unrecordedChanges = false;
    RefreshActionsHistory(state.actionsWindow);
    UpdateTitleAndTooltip(state);
    InvalidateRect(state.window, nullptr, FALSE);
    state.currentPath[0] = 0;
    UpdateInfoTexts(state.infoWindow);
    UpdateHistogram(state.histogramWindow);
    ShowFullScreenImage(state, false);
}

void RefreshImageView(MainWindowState& state, bool relayout) {
    if (state.image.data) {
        RenderDisplay(state);
        if (relayout) LayOutNewImage(state);
        ShowFullScreenImage(state, false);
        RefreshImageTexts(state);
        UpdateHistogram(state.histogramWindow);
    }
    SetArrowCursor();
}

void RefreshImageTexts(MainWindowState& state) {
    InvalidateRect(state.window, nullptr, FALSE);
    UpdateTitleAndTooltip(state);
    UpdateInfoTexts(state.infoWindow);
    RefreshActionsHistory(state.actionsWindow);
}

int FindFirstImageInFolder(WCHAR (&path)[kPathUnits]) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    std::u16string folder = ToU16(path);
    if (folder.empty() || folder.back() != u'\\') folder.push_back(u'\\');
    const std::u16string pattern = folder + u"*";
    WCHAR widePattern[kPathUnits + 2];
    CopyToWide(pattern, widePattern);

    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(widePattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    // The first by name, as the folder list shows it by default; enumeration
    // order differs between file systems.
    WCHAR best[MAX_PATH] = {};
    do {
        if (folder.size() + lstrlenW(entry.cFileName) >= kPathUnits) continue;
        if (best[0] && CompareStringOrdinal(entry.cFileName, -1, best, -1, TRUE) != CSTR_LESS_THAN)
            continue;
        std::u16string target;
        if (IsListableFile(entry, folder, target)) lstrcpynW(best, entry.cFileName, MAX_PATH);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (!best[0]) return 0;
    CopyToWide(folder + ToU16(best), path);
    return 1;
}
