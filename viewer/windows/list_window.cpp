#include "viewer/windows/list_window.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "imglib/imglib.h"
#include "resources/commands.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/platform/date_time.h"
#include "viewer/dialogs/export_dialogs.h"
#include "viewer/logic/list_layout.h"
#include "viewer/document/document.h"
#include "viewer/style/menus.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/platform/system_info.h"
#include "viewer/windows/thumbnail_loader.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_utils.h"

namespace {

// Menu "LM".
enum ListCommand : UINT {
    kReread = 40720,
    kDeleteSelected = 40721,
    kCopySelected = 40722,
    kMoveSelected = 40723,
    kSheetExport = 40725,
    kGalleryExport = 40726,
    kClose = 40710,
    kSelectAll = 40730,
    kSelectNone = 40731,
    kSelectInvert = 40732,
    kAscending = 40750,
    kDescending = 40751,
    kThumbnailNone = 40770,
    kThumbnail64 = 40772,
    kThumbnail192 = 40776,
    kByType = 40780,
    kFirstType = 40781,
};
constexpr int kTopMenus = 4; // File, Select, Sort, Thumbnail

struct ListWindow {
    Document* document = nullptr; // the document whose folder list is shown
    HWND window = nullptr;
    HMENU menu = nullptr;
    HDC dc = nullptr; // the class's own context, kept for the window's life
    int32_t rowHeight = 80;
    int32_t firstVisibleRow = 0;
    int32_t highlightRow = -1;
    int32_t clientHeight = 0;
    int32_t thumbnailSize = 0; // the size the rows are laid out for
    uint32_t typeCount = 0;    // items of the "by type" popup
    bool menuEnabled = true;
    bool ascending = true;
    int32_t thumbnailsUpdating = 0; // loader runs, size changes and sorts in progress
    std::unique_ptr<ThumbnailLoader> loader;
};

ListWindow g_list;

// With VX_LIST_TIMING set, the time from the start of a folder scan until
// every thumbnail of the new list is painted goes to stderr (benchmarks).
struct ListTiming {
    ULONGLONG scanStart = 0; // 0 when nothing is being timed
    ULONGLONG scanEnd = 0;
};
ListTiming g_timing;

bool TimingOn() {
    static const bool on = GetEnvironmentVariableW(L"VX_LIST_TIMING", nullptr, 0) > 0;
    return on;
}

void ReportTimingWhenAllShown() {
    if (!g_timing.scanStart || !g_timing.scanEnd) return;
    size_t loaded = 0;
    for (const FileEntry& entry : g_list.document->folders.entries) {
        if (entry.thumbState == 0) return;
        loaded += entry.thumbState != kThumbClaimed;
    }
    UpdateWindow(g_list.window);
    const ULONGLONG now = GetTickCount64();
    std::fprintf(stderr,
                 "list: %zu of %zu thumbnails shown %llu ms after the scan began (scan %llu ms)\n",
                 loaded, g_list.document->folders.entries.size(),
                 static_cast<unsigned long long>(now - g_timing.scanStart),
                 static_cast<unsigned long long>(g_timing.scanEnd - g_timing.scanStart));
    std::fflush(stderr);
    g_timing.scanStart = g_timing.scanEnd = 0;
}

int32_t EntryCount() {
    return static_cast<int32_t>(g_list.document->folders.entries.size());
}

int32_t VisibleRows() {
    return ListVisibleRows(g_list.clientHeight, g_list.rowHeight);
}

void AdjustThumbnailsUpdating(int32_t delta) {
    g_list.thumbnailsUpdating += delta;
    UpdateExportThumbnails(g_list.thumbnailsUpdating);
}

void SetFirstVisibleRow(int32_t row) {
    g_list.firstVisibleRow = row;
    if (g_list.loader) g_list.loader->SetFirstRow(row);
}

void SetListScrollRange() {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = EntryCount();
    info.nPage = static_cast<UINT>(VisibleRows() + 1);
    info.nPos = g_list.firstVisibleRow;
    SetScrollInfo(g_list.window, SB_VERT, &info, TRUE);
    InvalidateRect(g_list.window, nullptr, FALSE);
}

void ScrollList(int32_t row) {
    row = ClampListScroll(row, VisibleRows(), EntryCount());
    SetScrollPos(g_list.window, SB_VERT, row, TRUE);
    if (row == g_list.firstVisibleRow) return;
    SetFirstVisibleRow(row);
    InvalidateRect(g_list.window, nullptr, FALSE);
}

void FitListToWindow() {
    SetFirstVisibleRow(FitFirstRow(g_list.firstVisibleRow, VisibleRows(), EntryCount()));
    SetListScrollRange();
}

void UpdateListTitle() {
    const bool scanning = g_list.document->busy.Has(BUSY_FOLDER_SCAN);
    WCHAR title[kPathUnits + 40];
    CopyToWide(ListTitle(g_list.document->folders, scanning), title);
    SetWindowTextW(g_list.window, title);
}

void EnableItem(UINT id, bool on) {
    EnableMenuItem(g_list.menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void CheckItem(UINT id, bool on) {
    CheckMenuItem(g_list.menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void UpdateListMenu() {
    const bool listed = EntryCount() > 0;
    for (UINT id : {kReread, kSheetExport, kGalleryExport, kSelectAll, kSelectNone, kSelectInvert})
        EnableItem(id, listed);
    EnableItem(kByType, listed);
    const int32_t selected = CountSelectedEntries(g_list.document->folders);
    for (UINT id : {kDeleteSelected, kCopySelected, kMoveSelected})
        EnableItem(id, selected > 0);
    UpdateExportSelection(selected);
}

void RepaintListAndMenu() {
    InvalidateRect(g_list.window, nullptr, FALSE);
    UpdateListMenu();
}

void CheckSortItems(int32_t key) {
    const int32_t id = key < 0 ? -key : key;
    for (UINT item = kSortName; item <= kSortModified; ++item)
        CheckItem(item, static_cast<int32_t>(item) == id);
    CheckItem(kSortShuffle, id == kSortShuffle);
    const bool shuffle = id == kSortShuffle;
    EnableItem(kAscending, !shuffle);
    EnableItem(kDescending, !shuffle);
    CheckItem(kAscending, !shuffle && key > 0);
    CheckItem(kDescending, !shuffle && key < 0);
}

void SortList(int32_t key) {
    CheckSortItems(key);
    if (key != kSortShuffle) g_list.ascending = key > 0;
    if (key != kSortShuffle && key == g_preferences.SortKey) return;
    g_preferences.SortKey = key;
    AdjustThumbnailsUpdating(1);
    g_list.loader->Pause();
    SortEntries(g_list.document->folders, key, DrawShuffleNumber);
    g_list.loader->Resume();
    AdjustThumbnailsUpdating(-1);
    RefreshList(false);
}

void SetThumbnailSize(int32_t size) {
    const bool changed = size != g_list.thumbnailSize;
    if (changed) {
        AdjustThumbnailsUpdating(1);
        g_list.loader->Reset();
    }
    CheckItem(kThumbnailNone, size == 0);
    for (int32_t i = 0; i <= 4; ++i)
        CheckItem(kThumbnail64 + i, size == 64 + 32 * i);
    g_list.rowHeight = ListRowHeight(size);
    g_list.thumbnailSize = size;
    if (!changed) return;
    g_preferences.thumbnailSize = size;
    FitListToWindow();
    g_list.loader->Restart(EntryCount(), size);
    UpdateExportSelection(CountSelectedEntries(g_list.document->folders));
    AdjustThumbnailsUpdating(-1);
}

// Painting

void FillBox(HDC dc, int left, int top, int right, int bottom, HBRUSH brush) {
    const RECT rect = {left, top, right, bottom};
    FillRect(dc, &rect, brush);
}

void DrawThumbnail(HDC dc, const FileEntry& entry, int top) {
    const uint8_t* pixels = LoadedThumbnail(entry);
    if (!pixels) return;
    const ThumbGeometry g = UnpackThumbState(entry.thumbState);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = static_cast<LONG>(g.width);
    header.bmiHeader.biHeight = -static_cast<LONG>(g.height);
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = BI_RGB;
    header.bmiHeader.biSizeImage = g.stride * g.height;
    const int w = static_cast<int>(g.width), h = static_cast<int>(g.height);
    StretchDIBits(dc, (g_list.rowHeight - w) / 2, top + (g_list.rowHeight - h) / 2, w, h, 0, 0, w,
                  h, pixels, &header, DIB_RGB_COLORS, SRCCOPY);
}

void Text(HDC dc, int x, int y, const std::string& text) {
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// The times start 44 pixels after the labels, or further right where the
// font's "modified:" would reach them.
int TimeColumn(HDC dc) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, "modified:", 9, &size);
    return std::max<int>(44, size.cx + 4);
}

void TimeText(HDC dc, int x, int y, const char* label, int64_t seconds) {
    Text(dc, x, y, label);
    WCHAR text[120];
    FormatFileTime(seconds, text, false);
    TextOutW(dc, x + TimeColumn(dc), y, text, lstrlenW(text));
}

void PaintEntryTexts(HDC dc, const FileEntry& entry, int x, int top) {
    const ListTextOffsets at = ListTextOffsetsFor(g_list.thumbnailSize);
    SelectObject(
        dc, g_list.thumbnailSize > 64 ? g_interfaceFonts.boldFont : g_interfaceFonts.smallBoldFont);
    WCHAR name[kEntryNameUnits];
    CopyToWide(EntryName(entry), name);
    TextOutW(dc, x, top + at.name, name, lstrlenW(name));
    SelectObject(dc, g_interfaceFonts.smallFont);
    // Sizes are 64-bit: files of 4 GB and more show their real size.
    Text(dc, x, top + at.fileSize,
         entry.size < 1024 ? "file size: " + std::to_string(entry.size) + " byte"
                           : "file size: " + std::to_string((entry.size + 1023) / 1024) + " kb");
    Text(dc, x, top + at.imageSize,
         "image size: " + std::to_string(entry.width) + " x " + std::to_string(entry.height) +
             " pixel");
    TimeText(dc, x, top + at.created, "created:", entry.created);
    TimeText(dc, x, top + at.modified, "modified:", entry.modified);
}

void PaintList() {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(g_list.window, &ps);
    RECT client;
    GetClientRect(g_list.window, &client);
    const int b = g_list.thumbnailSize > 0 ? g_list.rowHeight : 8;
    const int right = std::max<int>(client.right, b + 1);
    const int32_t count = EntryCount();
    if (count == 0) {
        FillBox(dc, b, 0, right, client.bottom, g_styleBrushes.Field);
        FillBox(dc, 0, 0, b, client.bottom, g_styleBrushes.Highlight);
        EndPaint(g_list.window, &ps);
        return;
    }
    const HBRUSH imageBrush = CreateSolidBrush(g_preferences.backgroundColor.ToCOLORREF());
    const int32_t first = g_list.firstVisibleRow;
    const int32_t rh = g_list.rowHeight;
    for (int32_t row = first; row <= first + VisibleRows(); ++row) {
        const int top = (row - first) * rh;
        const bool highlighted = row == g_list.highlightRow && row < count;
        if (highlighted) {
            FillBox(dc, b, top, right, top + rh, g_styleBrushes.Highlight);
            FillBox(dc, 0, top, b, top + rh, imageBrush);
            SetBkColor(dc, g_styleColors.Highlight);
        } else {
            FillBox(dc, b, top, right, top + rh, g_styleBrushes.Field);
            FillBox(dc, 0, top, b, top + rh, g_styleBrushes.Highlight);
            SetBkColor(dc, g_styleColors.Field);
        }
        if (row >= count) continue;
        const FileEntry& entry = g_list.document->folders.entries[row];
        PaintEntryTexts(dc, entry, b + 8, top);
        if (g_list.thumbnailSize > 0) DrawThumbnail(dc, entry, top);
        if (entry.isSelected) FillBox(dc, b, top, b + 4, top + rh, g_styleBrushes.Text);
        if (highlighted) {
            const RECT frame = {b, top, right, top + rh};
            FrameRect(dc, &frame, g_styleBrushes.Text);
        }
    }
    DeleteObject(imageBrush);
    EndPaint(g_list.window, &ps);
}

// The thumbnail cells of the rows in view.
void InvalidateThumbnailColumn() {
    if (g_list.thumbnailSize <= 0) return;
    const RECT column = {0, 0, g_list.rowHeight, g_list.clientHeight};
    InvalidateRect(g_list.window, &column, FALSE);
}

// Commands

void OnCommand(UINT id) {
    Document& document = *g_list.document;
    // While an export reads the list its menus are grey; a command that still
    // arrives (posted, or from a key) must not change the list under it.
    if (!g_list.menuEnabled && id != kClose) return;
    switch (id) {
        case kReread:
        case kDeleteSelected:
        case kCopySelected:
        case kMoveSelected: {
            const UINT command = id == kReread           ? CMD_REREAD_FOLDER
                                 : id == kDeleteSelected ? CMD_DELETE_SELECTED
                                 : id == kCopySelected   ? CMD_COPY_SELECTED
                                                         : CMD_MOVE_SELECTED;
            PostMessageW(document.host->OwnerWindow(), WM_COMMAND, command, 0);
            return;
        }
        case kSheetExport:
            ShowSheetExportDialog(document, g_list.window);
            return;
        case kGalleryExport:
            ShowGalleryExportDialog(document, g_list.window);
            return;
        case kClose:
            ShowListWindow(document, false);
            return;
        case kSelectAll:
        case kSelectNone:
        case kSelectInvert: {
            const Selection change[] = {Selection::All, Selection::None, Selection::Invert};
            ChangeSelection(g_list.document->folders, change[id - kSelectAll]);
            RepaintListAndMenu();
            return;
        }
        case kAscending:
            if (g_preferences.SortKey < 0) SortList(-g_preferences.SortKey);
            return;
        case kDescending:
            if (g_preferences.SortKey > 0 && g_preferences.SortKey != kSortShuffle)
                SortList(-g_preferences.SortKey);
            return;
        default:
            break;
    }
    if (id >= kSortName && id <= kSortFormat) {
        SortList(g_list.ascending ? static_cast<int32_t>(id) : -static_cast<int32_t>(id));
    } else if (id == kSortShuffle) {
        SortList(kSortShuffle);
    } else if (id == kThumbnailNone || (id >= kThumbnail64 && id <= kThumbnail192)) {
        SetThumbnailSize(static_cast<int32_t>(id - kThumbnailNone) * 32);
    } else if (id >= kFirstType && id < kFirstType + g_list.typeCount) {
        SelectFormat(g_list.document->folders,
                     static_cast<int32_t>(ILGetFormatId(id - kFirstType, false)));
        RepaintListAndMenu();
    }
}

void OnClick(WPARAM keys, int y) {
    const int32_t row = y / g_list.rowHeight + g_list.firstVisibleRow;
    if (!(keys & MK_CONTROL)) {
        SendMessageW(g_list.document->host->OwnerWindow(), WM_COMMAND, CMD_GO_TO_IMAGE, row);
        return;
    }
    if (!g_list.menuEnabled || row >= EntryCount()) return;
    FileEntry& entry = g_list.document->folders.entries[row];
    entry.isSelected = !entry.isSelected;
    RepaintListAndMenu();
}

void OnVerticalScroll(WORD code, int track) {
    int32_t row = g_list.firstVisibleRow;
    const int32_t page = std::max(VisibleRows() - 1, 1);
    switch (code) {
        case SB_LINEUP:
            --row;
            break;
        case SB_LINEDOWN:
            ++row;
            break;
        case SB_PAGEUP:
            row -= page;
            break;
        case SB_PAGEDOWN:
            row += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            row = track;
            break;
        default:
            return;
    }
    ScrollList(row);
}

void OnDestroy() {
    SaveListWindowPlacement();
    g_list.loader.reset(); // stops the run and frees the thumbnails
    for (int i = 0; i < kTopMenus; ++i)
        FreeOwnerDrawnMenu(GetSubMenu(g_list.menu, i));
    // The window destroys its menu bar itself.
    g_list.menu = nullptr;
    g_list.window = nullptr;
    g_list.dc = nullptr;
    g_list.thumbnailsUpdating = 0;
    UpdateExportThumbnails(0);
}

LRESULT CALLBACK ListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_list.document || window != g_list.window)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnClick(wParam, static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_MOUSEWHEEL:
            g_list.document->host->BrowseByWheel(wParam);
            return 0;
        case WM_VSCROLL:
            OnVerticalScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
            return 0;
        case WM_SIZE:
            g_list.clientHeight = HIWORD(lParam);
            FitListToWindow();
            return 0;
        case WM_PAINT:
            PaintList();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_CLOSE:
            ShowListWindow(*g_list.document, false);
            return 0;
        case WM_CONTEXTMENU:
            return 0;
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure->CtlType == ODT_MENU) MeasureMenuItem(window, measure);
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlType == ODT_MENU) DrawMenuItem(draw);
            return TRUE;
        }
        case kThumbnailsPublishedMessage:
            g_list.loader->OnThumbnailsPublished();
            InvalidateThumbnailColumn();
            return 0;
        case kThumbnailRunEndedMessage:
            g_list.loader->OnRunEnded(wParam);
            InvalidateThumbnailColumn();
            ReportTimingWhenAllShown();
            return 0;
        case kMsgExportRunning:
            EnableListMenu(wParam == 0);
            if (wParam == 0) g_list.document->host->FolderListReleased();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterListWindowClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = ListWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = L"VxDcTl";
    registered = RegisterClassExW(&wc) != 0;
    return registered;
}

// The "by type" popup: one item per format the library loads.
void HangTypeMenu() {
    const HMENU types = CreatePopupMenu();
    uint32_t n = 0;
    for (; ILGetNthFormatRow(n, false) < ILGetFormatCount(); ++n) {
        WCHAR name[kMenuTextUnits];
        const char* text = ILGetLoadFormatName(n);
        MultiByteToWideChar(CP_UTF8, 0, text ? text : "", -1, name, kMenuTextUnits);
        name[kMenuTextUnits - 1] = 0;
        AppendMenuW(types, MF_STRING, kFirstType + n, name);
    }
    g_list.typeCount = n;
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU;
    item.hSubMenu = types;
    SetMenuItemInfoW(g_list.menu, kByType, FALSE, &item);
}

void CreateListWindow(Document& document) {
    const HINSTANCE instance = document.host->Instance();
    if (g_list.window || !RegisterListWindowClass(instance)) return;
    const HMENU menu = LoadMenuW(instance, L"LM");
    if (!menu) return;
    g_list.document = &document;
    g_list.menu = menu;
    HangTypeMenu();
    for (int i = 0; i < kTopMenus; ++i)
        MakeMenuOwnerDrawn(GetSubMenu(menu, i));
    const int width = g_preferences.listWindowWidth;
    const int height = g_preferences.listWindowHeight;
    g_list.window = CreateWindowExW(WS_EX_LAYERED | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW, L"VxDcTl",
                                    L"List", WS_CAPTION | WS_VSCROLL | WS_SYSMENU | WS_THICKFRAME,
                                    FitToScreenX(g_preferences.listWindowX, width),
                                    FitToScreenY(g_preferences.listWindowY, height), width, height,
                                    document.host->OwnerWindow(), menu, instance, nullptr);
    if (!g_list.window) {
        for (int i = 0; i < kTopMenus; ++i)
            FreeOwnerDrawnMenu(GetSubMenu(menu, i));
        DestroyMenu(menu);
        g_list.menu = nullptr;
        return;
    }
    RECT client;
    GetClientRect(g_list.window, &client);
    g_list.clientHeight = client.bottom;
    g_list.menuEnabled = true;
    g_list.firstVisibleRow = 0;
    g_list.loader = std::make_unique<ThumbnailLoader>(
        g_list.window, g_list.document->folders, GetWorkerThreadCount(), AdjustThumbnailsUpdating);
    // The stored size may come from an edited file: only the offered sizes.
    g_list.thumbnailSize = ClampThumbnailSize(g_preferences.thumbnailSize);
    g_preferences.thumbnailSize = g_list.thumbnailSize;
    SetThumbnailSize(g_list.thumbnailSize);
    SortList(g_preferences.SortKey);
    ApplyListWindowAlpha();
    g_list.dc = GetDC(g_list.window);
    SetTextColor(g_list.dc, g_styleColors.Text);
    SelectObject(g_list.dc, g_interfaceFonts.smallFont);
    RefreshList(true);
    ShowWindow(g_list.window, SW_SHOWNA);
    DrawMenuBar(g_list.window);
}

} // namespace

void ShowListWindow(Document& document, bool show) {
    if (show) {
        CreateListWindow(document);
        if (!g_list.window) return;
    } else if (g_list.window) {
        DestroyWindow(g_list.window);
    }
    g_preferences.listWindowShown = show ? 1 : 0;
    document.host->CheckMenuItem(CMD_LIST_WINDOW, show);
}

HWND ListWindowHandle() {
    return g_list.window;
}

void SaveListWindowPlacement() {
    if (!g_list.window) return;
    RECT rect;
    GetWindowRect(g_list.window, &rect);
    g_preferences.listWindowX = rect.left;
    g_preferences.listWindowY = rect.top;
    g_preferences.listWindowWidth = rect.right - rect.left;
    g_preferences.listWindowHeight = rect.bottom - rect.top;
}

void RefreshList(bool reset) {
    if (!g_list.window || g_list.document->busy.Has(BUSY_FOLDER_SCAN)) return;
    UpdateListTitle();
    if (reset) g_list.loader->Reset();
    if (reset && g_timing.scanStart && !g_timing.scanEnd) g_timing.scanEnd = GetTickCount64();
    const int32_t count = EntryCount();
    if (count == 0) {
        SetFirstVisibleRow(0);
        g_list.highlightRow = -1;
    } else {
        g_list.highlightRow = g_list.document->folders.current;
        SetFirstVisibleRow(FirstRowShowing(g_list.document->folders.current, g_list.firstVisibleRow,
                                           VisibleRows(), count));
    }
    SetListScrollRange();
    UpdateListMenu();
    if (reset)
        g_list.loader->Restart(count, g_list.thumbnailSize);
    else
        g_list.loader->SetEntryCount(count);
}

void ResetListWindow() {
    if (!g_list.window) return;
    CloseExportDialogs();
    g_list.loader->Reset();
    if (TimingOn() && g_list.document->busy.Has(BUSY_FOLDER_SCAN)) {
        g_timing.scanStart = GetTickCount64();
        g_timing.scanEnd = 0;
    }
    SetFirstVisibleRow(0);
    g_list.highlightRow = -1;
    UpdateListTitle();
    SetListScrollRange();
    UpdateListMenu();
}

void PauseThumbnails() {
    if (g_list.loader) g_list.loader->Pause();
}

void ResumeThumbnails() {
    if (g_list.loader) g_list.loader->Resume();
}

bool IsListReadByExport() {
    return !g_list.menuEnabled;
}

void EnableListMenu(bool on) {
    g_list.menuEnabled = on;
    if (!g_list.window) return;
    for (int i = 0; i < kTopMenus; ++i)
        EnableMenuItem(g_list.menu, i, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(g_list.window);
}

void ApplyStyleToListWindow() {
    if (!g_list.window) return;
    SetTextColor(g_list.dc, g_styleColors.Text);
    InvalidateWindowTree(g_list.window);
    RedrawExportDialogs();
}

void ApplyListWindowAlpha() {
    if (!g_list.window) return;
    SetLayeredWindowAttributes(g_list.window, 0, g_list.document->host->InFullScreen() ? 220 : 255,
                               LWA_ALPHA);
}
