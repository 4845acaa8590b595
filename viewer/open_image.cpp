// Opening files into the current image and showing whatever image arrives.
#include "viewer/open_image.h"

#include <string>

#include "viewer/library_messages.h"
#include "viewer/logic/action_list.h"
#include "viewer/logic/open_texts.h"
#include "viewer/logic/preferences.h"
#include "viewer/logic/text_utils.h"
#include "viewer/main_window.h"
#include "viewer/shell_link.h"
#include "viewer/unix_path.h"
#include "viewer/view.h"
#include "viewer/wide_text.h"

namespace {

// ILInfo keeps the viewer's marks for images without a file in its
// unsigned format id.
constexpr uint32_t kPastedFormatId = static_cast<uint32_t>(-2);
constexpr uint32_t kAcquiredFormatId = static_cast<uint32_t>(-3);

ILResult LoadInto(const WCHAR* dosPath) {
    const std::u16string path = ToLibraryPath(dosPath);
    if (path.empty()) return IL_FILE_NOT_FOUND;
    return ILLoadImage(g_viewer.handle, path.c_str(), &g_viewer.image, &g_viewer.info);
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
void RenderDisplay() {
    g_viewer.display.Render(g_viewer.image, g_viewer.background, g_preferences.useAlpha != 0);
}

void LayOutNewImage() {
    LayoutView(LargestFittingZoomLevel(), g_preferences.windowMode == 2);
}

void SetDisplayPath(const WCHAR* path) {
    g_viewer.displayPath = path;
    const std::u16string full = ToU16(path);
    CopyToWide(DisplayNameOf(full), g_viewer.displayName);
}

// Is the directory entry a file whose extension (or, for a shell link, whose
// target's extension) the library loads?
bool IsLoadableEntry(const WIN32_FIND_DATAW& entry, const std::u16string& folder) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const std::u16string name = ToU16(entry.cFileName);
    if (!IsShellLinkFile(name)) return ILGetFormatIdOfPath(name.c_str()) > 0;
    WCHAR link[kPathUnits];
    CopyToWide(folder + name, link);
    WCHAR target[MAX_PATH];
    return ResolveShellLink(link, target) && ILGetFormatIdOfPath(ToU16(target).c_str()) > 0;
}

} // namespace

bool OpenImageFile(const WCHAR* path, int page) {
    const int64_t start = NowMilliseconds();
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The path may be the current path itself, which success overwrites.
    WCHAR opened[kPathUnits];
    lstrcpynW(opened, path, kPathUnits);
    g_viewer.info.page = static_cast<uint16_t>(page);
    // The load replaces the pixels that the display bitmap may share.
    g_viewer.display.Free();

    WCHAR target[kPathUnits] = {};
    bool throughLink = false;
    ILResult result;
    if (IsShellLinkFile(ToU16(opened))) {
        WCHAR resolved[MAX_PATH];
        if (ResolveShellLink(opened, resolved)) {
            lstrcpynW(target, resolved, kPathUnits);
            result = LoadInto(target);
            throughLink = result >= IL_OK;
        } else {
            result = IL_UNSUPPORTED_FORMAT;
        }
    } else {
        result = LoadInto(opened);
    }

    if (result > 0 && g_viewer.image.data) {
        lstrcpynW(g_viewer.currentPath, opened, kPathUnits);
        lstrcpynW(g_viewer.lastOpenedPath, opened, kPathUnits);
        lstrcpynW(g_viewer.linkTarget, target, kPathUnits);
        g_viewer.openedThroughLink = throughLink;
        SetDisplayPath(throughLink ? g_viewer.linkTarget : g_viewer.currentPath);
        CopyToWide(FormatLoadTime(NowMilliseconds() - start), g_viewer.loadTimeText);
        ILApplyExifResolution(&g_viewer.info);
        ShowNewImage(IMAGE_FROM_FILE);
        SetArrowCursor();
        // A partial image's errors, or the loader's warnings.
        if (ShowLibraryMessages(opened)) ClearLibraryMessages();
        return true;
    }

    if (g_viewer.image.data)
        RefreshImageView(true); // the library kept the previous image
    else
        ClearImage();
    SetArrowCursor();
    if (!ShowLibraryMessages(opened)) {
        WCHAR text[300];
        CopyToWide(FormatOpenFailure(ToU16(opened), result), text);
        ShowError(text);
    }
    ClearLibraryMessages();
    return false;
}

void ShowNewImage(ImageSource source, const char* acquiredFrom) {
    OpenBlock block;
    switch (source) {
        case IMAGE_FROM_FILE:
            block = MakeOpenBlock(OPEN_FROM_FILE, ToU16(g_viewer.displayPath), {});
            break;
        case IMAGE_FROM_CLIPBOARD:
            block = MakeOpenBlock(OPEN_FROM_CLIPBOARD, {}, {});
            g_viewer.info.formatId = kPastedFormatId;
            break;
        case IMAGE_ACQUIRED: {
            const char* name = acquiredFrom ? acquiredFrom : "";
            block = MakeOpenBlock(OPEN_ACQUIRED, {}, name);
            g_viewer.info.formatId = kAcquiredFormatId;
            g_viewer.linkTarget[0] = 0;
            MultiByteToWideChar(CP_ACP, 0, name, -1, g_viewer.linkTarget, kPathUnits);
            g_viewer.linkTarget[kPathUnits - 1] = 0;
            break;
        }
    }
    UpdateBackgroundBrush();

    g_viewer.history.Clear();
    PushHistoryOpen(g_viewer.history, block);
    SetHistoryCursor(g_viewer.history, 0);
    UpdateModeMenu();

    RenderDisplay();

    if (g_viewer.info.ppiX != 0) {
        g_viewer.viewResolutionX = static_cast<int>(g_viewer.info.ppiX);
        g_viewer.viewResolutionY = static_cast<int>(g_viewer.info.ppiY);
    } else {
        g_viewer.viewResolutionX = GetDeviceCaps(g_viewer.mainDC, LOGPIXELSX);
        g_viewer.viewResolutionY = GetDeviceCaps(g_viewer.mainDC, LOGPIXELSY);
    }
    LayOutNewImage();
    if (g_viewer.fullScreen) InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
}

void ClearImage() {
    g_viewer.displayPath = L"NONE";
    lstrcpynW(g_viewer.displayName, L"NONE", kPathUnits);
    g_viewer.loadTimeText[0] = 0;

    ILInitImage(&g_viewer.image);
    g_viewer.display.Free();
    ILClearInfo(&g_viewer.info);

    ViewGeometry& view = g_viewer.view;
    view.displayWidth = view.displayHeight = 0;
    view.displayLeft = view.displayTop = 0;
    view.scale = 0;
    g_viewer.viewResolutionX = g_viewer.viewResolutionY = 0;

    g_viewer.history.Clear();
    UpdateTitleAndTooltip();
    InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
    g_viewer.currentPath[0] = 0;
}

void RefreshImageView(bool relayout) {
    if (g_viewer.image.data) {
        RenderDisplay();
        if (relayout) LayOutNewImage();
        RefreshImageTexts();
    }
    SetArrowCursor();
}

void RefreshImageTexts() {
    InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
    UpdateTitleAndTooltip();
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
        if (IsLoadableEntry(entry, folder)) lstrcpynW(best, entry.cFileName, MAX_PATH);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (!best[0]) return 0;
    CopyToWide(folder + ToU16(best), path);
    return 1;
}
