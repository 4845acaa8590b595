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
#include "viewer/logic/preferences.h"
#include "viewer/logic/window_placement.h"
#include "viewer/document/document.h"
#include "viewer/style/menus.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/platform/system_info.h"
#include "viewer/windows/thumbnail_loader.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_state.h"
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
    kFirstType = 40781, // one item per format the library loads
    kLastType = 40980,
};
constexpr int kTopMenus = 4; // File, Select, Sort, Thumbnail

constexpr DWORD kListStyle = WS_CAPTION | WS_VSCROLL | WS_SYSMENU | WS_THICKFRAME;
constexpr DWORD kListExStyle = WS_EX_LAYERED | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW;
// Rows a window sized from its content shows.
constexpr int32_t kWantedRows = 8;
// 28 December 2028, 18:58:58 UTC: a date and time of two-digit fields.
constexpr int64_t kWidestTimeSample = 1861642738;

bool TimingOn() {
    static const bool on = GetEnvironmentVariableW(L"VX_LIST_TIMING", nullptr, 0) > 0;
    return on;
}

void ReportTimingWhenAllShown(ListWindowState& list) {
    if (!list.timing.scanStart || !list.timing.scanEnd) return;
    size_t loaded = 0;
    for (const FileEntry& entry : list.document->folders.entries) {
        if (entry.thumbState == 0) return;
        loaded += entry.thumbState != kThumbClaimed;
    }
    UpdateWindow(list.window);
    const ULONGLONG now = GetTickCount64();
    std::fprintf(stderr,
                 "list: %zu of %zu thumbnails shown %llu ms after the scan began (scan %llu ms)\n",
                 loaded, list.document->folders.entries.size(),
                 static_cast<unsigned long long>(now - list.timing.scanStart),
                 static_cast<unsigned long long>(list.timing.scanEnd - list.timing.scanStart));
    std::fflush(stderr);
    list.timing.scanStart = list.timing.scanEnd = 0;
}

int32_t EntryCount(const ListWindowState& list) {
    return static_cast<int32_t>(list.document->folders.entries.size());
}

int32_t VisibleRows(const ListWindowState& list) {
    return ListVisibleRows(list.clientHeight, list.rowHeight);
}

void AdjustThumbnailsUpdating(ListWindowState& list, int32_t delta) {
    list.thumbnailsUpdating += delta;
    UpdateExportThumbnails(list.exports, list.thumbnailsUpdating);
}

void SetFirstVisibleRow(ListWindowState& list, int32_t row) {
    list.firstVisibleRow = row;
    if (list.loader) list.loader->SetFirstRow(row);
}

void SetListScrollRange(ListWindowState& list) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = EntryCount(list);
    info.nPage = static_cast<UINT>(VisibleRows(list) + 1);
    info.nPos = list.firstVisibleRow;
    SetScrollInfo(list.window, SB_VERT, &info, TRUE);
    InvalidateRect(list.window, nullptr, FALSE);
}

void ScrollList(ListWindowState& list, int32_t row) {
    row = ClampListScroll(row, VisibleRows(list), EntryCount(list));
    SetScrollPos(list.window, SB_VERT, row, TRUE);
    if (row == list.firstVisibleRow) return;
    SetFirstVisibleRow(list, row);
    InvalidateRect(list.window, nullptr, FALSE);
}

void FitListToWindow(ListWindowState& list) {
    SetFirstVisibleRow(list,
                       FitFirstRow(list.firstVisibleRow, VisibleRows(list), EntryCount(list)));
    SetListScrollRange(list);
}

void UpdateListTitle(ListWindowState& list) {
    const bool scanning = list.document->busy.Has(BUSY_FOLDER_SCAN);
    WCHAR title[kPathUnits + 40];
    CopyToWide(ListTitle(list.document->folders, scanning), title);
    SetWindowTextW(list.window, title);
}

void EnableItem(ListWindowState& list, UINT id, bool on) {
    EnableMenuItem(list.menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void CheckItem(ListWindowState& list, UINT id, bool on) {
    CheckMenuItem(list.menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void UpdateListMenu(ListWindowState& list) {
    const bool listed = EntryCount(list) > 0;
    for (UINT id : {kReread, kSheetExport, kGalleryExport, kSelectAll, kSelectNone, kSelectInvert})
        EnableItem(list, id, listed);
    EnableItem(list, kByType, listed);
    const int32_t selected = CountSelectedEntries(list.document->folders);
    for (UINT id : {kDeleteSelected, kCopySelected, kMoveSelected})
        EnableItem(list, id, selected > 0);
    UpdateExportSelection(list.exports, selected);
}

void RepaintListAndMenu(ListWindowState& list) {
    InvalidateRect(list.window, nullptr, FALSE);
    UpdateListMenu(list);
}

void CheckSortItems(ListWindowState& list, int32_t key) {
    const int32_t id = key < 0 ? -key : key;
    for (UINT item = kSortName; item <= kSortModified; ++item)
        CheckItem(list, item, static_cast<int32_t>(item) == id);
    CheckItem(list, kSortShuffle, id == kSortShuffle);
    const bool shuffle = id == kSortShuffle;
    EnableItem(list, kAscending, !shuffle);
    EnableItem(list, kDescending, !shuffle);
    CheckItem(list, kAscending, !shuffle && key > 0);
    CheckItem(list, kDescending, !shuffle && key < 0);
}

void SortList(ListWindowState& list, int32_t key) {
    CheckSortItems(list, key);
    if (key != kSortShuffle) list.ascending = key > 0;
    if (key != kSortShuffle && key == g_preferences.SortKey) return;
    g_preferences.SortKey = key;
    AdjustThumbnailsUpdating(list, 1);
    list.loader->Pause();
    SortEntries(list.document->folders, key, DrawShuffleNumber);
    list.loader->Resume();
    AdjustThumbnailsUpdating(list, -1);
    RefreshList(list, false);
}

void SetThumbnailSize(ListWindowState& list, int32_t size) {
    const bool changed = size != list.thumbnailSize;
    if (changed) {
        AdjustThumbnailsUpdating(list, 1);
        list.loader->Reset();
    }
    CheckItem(list, kThumbnailNone, size == 0);
    for (int32_t i = 0; i <= 4; ++i)
        CheckItem(list, kThumbnail64 + i, size == 64 + 32 * i);
    list.rowHeight = ListRowHeight(size);
    list.thumbnailSize = size;
    if (!changed) return;
    g_preferences.thumbnailSize = size;
    FitListToWindow(list);
    list.loader->Restart(EntryCount(list), size);
    UpdateExportSelection(list.exports, CountSelectedEntries(list.document->folders));
    AdjustThumbnailsUpdating(list, -1);
}

// Painting

void FillBox(HDC dc, int left, int top, int right, int bottom, HBRUSH brush) {
    const RECT rect = {left, top, right, bottom};
    FillRect(dc, &rect, brush);
}

void DrawThumbnail(const ListWindowState& list, HDC dc, const FileEntry& entry, int top) {
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
    StretchDIBits(dc, (list.rowHeight - w) / 2, top + (list.rowHeight - h) / 2, w, h, 0, 0, w, h,
                  pixels, &header, DIB_RGB_COLORS, SRCCOPY);
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

std::string FileSizeText(uint64_t size) {
    // Sizes are 64-bit: files of 4 GB and more show their real size.
    return size < 1024 ? "file size: " + std::to_string(size) + " byte"
                       : "file size: " + std::to_string((size + 1023) / 1024) + " kb";
}

std::string ImageSizeText(uint32_t width, uint32_t height) {
    return "image size: " + std::to_string(width) + " x " + std::to_string(height) + " pixel";
}

void PaintEntryTexts(const ListWindowState& list, HDC dc, const FileEntry& entry, int x, int top) {
    const ListTextOffsets at = ListTextOffsetsFor(list.thumbnailSize);
    SelectObject(
        dc, list.thumbnailSize > 64 ? g_interfaceFonts.boldFont : g_interfaceFonts.smallBoldFont);
    WCHAR name[kEntryNameUnits];
    CopyToWide(EntryName(entry), name);
    TextOutW(dc, x, top + at.name, name, lstrlenW(name));
    SelectObject(dc, g_interfaceFonts.smallFont);
    Text(dc, x, top + at.fileSize, FileSizeText(entry.size));
    Text(dc, x, top + at.imageSize, ImageSizeText(entry.width, entry.height));
    TimeText(dc, x, top + at.created, "created:", entry.created);
    TimeText(dc, x, top + at.modified, "modified:", entry.modified);
}

void PaintList(ListWindowState& list) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(list.window, &ps);
    RECT client;
    GetClientRect(list.window, &client);
    const int b = list.thumbnailSize > 0 ? list.rowHeight : 8;
    const int right = std::max<int>(client.right, b + 1);
    const int32_t count = EntryCount(list);
    if (count == 0) {
        FillBox(dc, b, 0, right, client.bottom, g_styleBrushes.Field);
        FillBox(dc, 0, 0, b, client.bottom, g_styleBrushes.Highlight);
        EndPaint(list.window, &ps);
        return;
    }
    const HBRUSH imageBrush = CreateSolidBrush(g_preferences.backgroundColor.ToCOLORREF());
    const int32_t first = list.firstVisibleRow;
    const int32_t rh = list.rowHeight;
    for (int32_t row = first; row <= first + VisibleRows(list); ++row) {
        const int top = (row - first) * rh;
        const bool highlighted = row == list.highlightRow && row < count;
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
        const FileEntry& entry = list.document->folders.entries[row];
        PaintEntryTexts(list, dc, entry, b + 8, top);
        if (list.thumbnailSize > 0) DrawThumbnail(list, dc, entry, top);
        if (entry.isSelected) FillBox(dc, b, top, b + 4, top + rh, g_styleBrushes.Text);
        if (highlighted) {
            const RECT frame = {b, top, right, top + rh};
            FrameRect(dc, &frame, g_styleBrushes.Text);
        }
    }
    DeleteObject(imageBrush);
    EndPaint(list.window, &ps);
}

// The thumbnail cells of the rows in view.
void InvalidateThumbnailColumn(ListWindowState& list) {
    if (list.thumbnailSize <= 0) return;
    const RECT column = {0, 0, list.rowHeight, list.clientHeight};
    InvalidateRect(list.window, &column, FALSE);
}

// Commands

// The file commands the main window carries out on the list.
void PassToMainWindow(ListWindowState& list, UINT id) {
    const UINT command =
        id == kReread ? CMD_REREAD_FOLDER : CMD_DELETE_SELECTED + (id - kDeleteSelected);
    PostMessageW(list.document->host->OwnerWindow(), WM_COMMAND, command, 0);
}

void ShowSheetExport(ListWindowState& list, UINT) {
    ShowSheetExportDialog(list.exports, *list.document, list.window);
}

void ShowGalleryExport(ListWindowState& list, UINT) {
    ShowGalleryExportDialog(list.exports, *list.document, list.window);
}

void Close(ListWindowState& list, UINT) {
    ShowListWindow(list, *list.document, false);
}

void Select(ListWindowState& list, UINT id) {
    const Selection change[] = {Selection::All, Selection::None, Selection::Invert};
    ChangeSelection(list.document->folders, change[id - kSelectAll]);
    RepaintListAndMenu(list);
}

void SelectType(ListWindowState& list, UINT id) {
    if (id - kFirstType >= list.typeCount) return;
    SelectFormat(list.document->folders,
                 static_cast<int32_t>(ILGetFormatId(id - kFirstType, false)));
    RepaintListAndMenu(list);
}

void SortAscending(ListWindowState& list, UINT) {
    if (g_preferences.SortKey < 0) SortList(list, -g_preferences.SortKey);
}

void SortDescending(ListWindowState& list, UINT) {
    if (g_preferences.SortKey > 0 && g_preferences.SortKey != kSortShuffle)
        SortList(list, -g_preferences.SortKey);
}

// A sort key keeps the chosen direction.
void SortBy(ListWindowState& list, UINT id) {
    SortList(list, list.ascending ? static_cast<int32_t>(id) : -static_cast<int32_t>(id));
}

void Shuffle(ListWindowState& list, UINT) {
    SortList(list, kSortShuffle);
}

void ChooseThumbnailSize(ListWindowState& list, UINT id) {
    SetThumbnailSize(list, static_cast<int32_t>(id - kThumbnailNone) * 32);
}

struct ListCommandRow {
    UINT first;
    UINT last;
    void (*handler)(ListWindowState& list, UINT id);
    // While an export reads the list its menus are grey; a command that
    // still arrives (posted, or from a key) must not change the list under
    // it. Only rows marked here run meanwhile.
    bool whileExportReads;
};

constexpr ListCommandRow kListCommands[] = {
    {kReread, kReread, PassToMainWindow, false},
    {kDeleteSelected, kMoveSelected, PassToMainWindow, false},
    {kSheetExport, kSheetExport, ShowSheetExport, false},
    {kGalleryExport, kGalleryExport, ShowGalleryExport, false},
    {kClose, kClose, Close, true},
    {kSelectAll, kSelectInvert, Select, false},
    {kFirstType, kLastType, SelectType, false},
    {kAscending, kAscending, SortAscending, false},
    {kDescending, kDescending, SortDescending, false},
    {kSortName, kSortFormat, SortBy, false},
    {kSortShuffle, kSortShuffle, Shuffle, false},
    {kThumbnailNone, kThumbnailNone, ChooseThumbnailSize, false},
    {kThumbnail64, kThumbnail192, ChooseThumbnailSize, false},
};

void OnCommand(ListWindowState& list, UINT id) {
    for (const ListCommandRow& row : kListCommands) {
        if (id < row.first || id > row.last) continue;
        if (list.menuEnabled || row.whileExportReads) row.handler(list, id);
        return;
    }
}

void OnClick(ListWindowState& list, WPARAM keys, int y) {
    const int32_t row = y / list.rowHeight + list.firstVisibleRow;
    if (!(keys & MK_CONTROL)) {
        SendMessageW(list.document->host->OwnerWindow(), WM_COMMAND, CMD_GO_TO_IMAGE, row);
        return;
    }
    if (!list.menuEnabled || row >= EntryCount(list)) return;
    FileEntry& entry = list.document->folders.entries[row];
    entry.isSelected = !entry.isSelected;
    RepaintListAndMenu(list);
}

void OnVerticalScroll(ListWindowState& list, WORD code, int track) {
    int32_t row = list.firstVisibleRow;
    const int32_t page = std::max(VisibleRows(list) - 1, 1);
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
    ScrollList(list, row);
}

void OnDestroy(ListWindowState& list) {
    SaveListWindowPlacement(list);
    list.loader.reset(); // stops the run and frees the thumbnails
    for (int i = 0; i < kTopMenus; ++i)
        FreeOwnerDrawnMenu(GetSubMenu(list.menu, i));
    // The window destroys its menu bar itself.
    list.menu = nullptr;
    list.window = nullptr;
    list.dc = nullptr;
    list.thumbnailsUpdating = 0;
    UpdateExportThumbnails(list.exports, 0);
}

LRESULT ListWindowMessage(ListWindowState& list, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    // The messages of the creation come before the state is filled in
    // (CreateListWindow goes on once CreateWindowExW has returned).
    if (window != list.window) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_COMMAND:
            OnCommand(list, LOWORD(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnClick(list, wParam, static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_MOUSEWHEEL:
            list.document->host->BrowseByWheel(wParam);
            return 0;
        case WM_VSCROLL:
            OnVerticalScroll(list, LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
            return 0;
        case WM_SIZE:
            list.clientHeight = HIWORD(lParam);
            FitListToWindow(list);
            return 0;
        case WM_PAINT:
            PaintList(list);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_CLOSE:
            ShowListWindow(list, *list.document, false);
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
            list.loader->OnThumbnailsPublished();
            InvalidateThumbnailColumn(list);
            return 0;
        case kThumbnailRunEndedMessage:
            list.loader->OnRunEnded(wParam);
            InvalidateThumbnailColumn(list);
            ReportTimingWhenAllShown(list);
            return 0;
        case kMsgExportRunning:
            EnableListMenu(list, wParam == 0);
            if (wParam == 0) list.document->host->FolderListReleased();
            return 0;
        case WM_DESTROY:
            OnDestroy(list);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterListWindowClass(HINSTANCE instance) {
    static bool registered = false; // a window class is one per process
    if (registered) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = WindowProcOf<ListWindowState, ListWindowMessage>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = L"VxDcTl";
    registered = RegisterClassExW(&wc) != 0;
    return registered;
}

// The "by type" popup: one item per format the library loads.
void HangTypeMenu(ListWindowState& list) {
    const HMENU types = CreatePopupMenu();
    uint32_t n = 0;
    for (; n <= kLastType - kFirstType && ILGetNthFormatRow(n, false) < ILGetFormatCount(); ++n) {
        WCHAR name[kMenuTextUnits];
        const char* text = ILGetLoadFormatName(n);
        MultiByteToWideChar(CP_UTF8, 0, text ? text : "", -1, name, kMenuTextUnits);
        name[kMenuTextUnits - 1] = 0;
        AppendMenuW(types, MF_STRING, kFirstType + n, name);
    }
    list.typeCount = n;
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU;
    item.hSubMenu = types;
    SetMenuItemInfoW(list.menu, kByType, FALSE, &item);
}

int TextWidth(HDC dc, const std::string& text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The widest of the lines under an entry's name for large files and
// images: sizes of many digits and a time of the user's date format.
int WidestEntryText() {
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, g_interfaceFonts.smallFont);
    WCHAR time[120];
    FormatFileTime(kWidestTimeSample, time, false);
    SIZE timeSize = {};
    GetTextExtentPoint32W(dc, time, lstrlenW(time), &timeSize);
    const int widest = std::max({TextWidth(dc, FileSizeText(999999999ull * 1024)),
                                 TextWidth(dc, ImageSizeText(88888, 88888)),
                                 TimeColumn(dc) + static_cast<int>(timeSize.cx)});
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return widest;
}

// The stored rectangle kept on the screen; a window never sized yet gets
// the size of its content (kWantedRows rows whose texts fit), a window
// never placed yet the work area's right edge.
RECT ListWindowRect(const ListWindowState& list) {
    int width = g_preferences.listWindowWidth;
    int height = g_preferences.listWindowHeight;
    const ScreenRect work = WorkArea();
    if (width <= 0 || height <= 0) {
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRectEx(&frame, kListStyle, TRUE, kListExStyle);
        const int column = list.thumbnailSize > 0 ? list.rowHeight : 8;
        const WindowSize size =
            ListWindowSize(column, WidestEntryText(), list.rowHeight, kWantedRows,
                           frame.right - frame.left + GetSystemMetrics(SM_CXVSCROLL),
                           frame.bottom - frame.top, work);
        width = size.width;
        height = size.height;
    }
    int x = g_preferences.listWindowX;
    int y = g_preferences.listWindowY;
    if (x == kDefaultWindowPosition || y == kDefaultWindowPosition) {
        const ScreenRect placed = PlaceAtRightEdge(width, height, work);
        x = placed.left;
        y = placed.top;
    }
    x = FitToScreenX(x, width);
    y = FitToScreenY(y, height);
    return {x, y, x + width, y + height};
}

void CreateListWindow(ListWindowState& list, Document& document) {
    const HINSTANCE instance = document.host->Instance();
    if (list.window || !RegisterListWindowClass(instance)) return;
    const HMENU menu = LoadMenuW(instance, L"LM");
    if (!menu) return;
    list.document = &document;
    list.menu = menu;
    HangTypeMenu(list);
    for (int i = 0; i < kTopMenus; ++i)
        MakeMenuOwnerDrawn(GetSubMenu(menu, i));
    // The rows are laid out for the stored thumbnail size (an edited file
    // may hold another: only the offered sizes).
    list.thumbnailSize = ClampThumbnailSize(g_preferences.thumbnailSize);
    list.rowHeight = ListRowHeight(list.thumbnailSize);
    const RECT rect = ListWindowRect(list);
    list.window = CreateWindowExW(kListExStyle, L"VxDcTl", L"List", kListStyle, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top,
                                  document.host->OwnerWindow(), menu, instance, &list);
    if (!list.window) {
        for (int i = 0; i < kTopMenus; ++i)
            FreeOwnerDrawnMenu(GetSubMenu(menu, i));
        DestroyMenu(menu);
        list.menu = nullptr;
        return;
    }
    RECT client;
    GetClientRect(list.window, &client);
    list.clientHeight = client.bottom;
    list.menuEnabled = true;
    list.firstVisibleRow = 0;
    list.loader = std::make_unique<ThumbnailLoader>(
        list.window, list.document->folders, GetWorkerThreadCount(),
        [&list](int32_t delta) { AdjustThumbnailsUpdating(list, delta); });
    g_preferences.thumbnailSize = list.thumbnailSize;
    SetThumbnailSize(list, list.thumbnailSize);
    SortList(list, g_preferences.SortKey);
    ApplyListWindowAlpha(list);
    list.dc = GetDC(list.window);
    SetTextColor(list.dc, g_styleColors.Text);
    SelectObject(list.dc, g_interfaceFonts.smallFont);
    RefreshList(list, true);
    ShowWindow(list.window, SW_SHOWNA);
    DrawMenuBar(list.window);
}

} // namespace

void ShowListWindow(ListWindowState& list, Document& document, bool show) {
    if (show) {
        CreateListWindow(list, document);
        if (!list.window) return;
    } else if (list.window) {
        DestroyWindow(list.window);
    }
    g_preferences.listWindowShown = show ? 1 : 0;
    document.host->CheckMenuItem(CMD_LIST_WINDOW, show);
}

void SaveListWindowPlacement(const ListWindowState& list) {
    if (!list.window) return;
    RECT rect;
    GetWindowRect(list.window, &rect);
    g_preferences.listWindowX = rect.left;
    g_preferences.listWindowY = rect.top;
    g_preferences.listWindowWidth = rect.right - rect.left;
    g_preferences.listWindowHeight = rect.bottom - rect.top;
}

void RefreshList(ListWindowState& list, bool reset) {
    if (!list.window || list.document->busy.Has(BUSY_FOLDER_SCAN)) return;
    UpdateListTitle(list);
    if (reset) list.loader->Reset();
    if (reset && list.timing.scanStart && !list.timing.scanEnd)
        list.timing.scanEnd = GetTickCount64();
    const int32_t count = EntryCount(list);
    if (count == 0) {
        SetFirstVisibleRow(list, 0);
        list.highlightRow = -1;
    } else {
        list.highlightRow = list.document->folders.current;
        SetFirstVisibleRow(list, FirstRowShowing(list.document->folders.current,
                                                 list.firstVisibleRow, VisibleRows(list), count));
    }
    SetListScrollRange(list);
    UpdateListMenu(list);
    if (reset)
        list.loader->Restart(count, list.thumbnailSize);
    else
        list.loader->SetEntryCount(count);
}

void ResetListWindow(ListWindowState& list) {
    if (!list.window) return;
    CloseExportDialogs(list.exports);
    list.loader->Reset();
    if (TimingOn() && list.document->busy.Has(BUSY_FOLDER_SCAN)) {
        list.timing.scanStart = GetTickCount64();
        list.timing.scanEnd = 0;
    }
    SetFirstVisibleRow(list, 0);
    list.highlightRow = -1;
    UpdateListTitle(list);
    SetListScrollRange(list);
    UpdateListMenu(list);
}

void PauseThumbnails(ListWindowState& list) {
    if (list.loader) list.loader->Pause();
}

void ResumeThumbnails(ListWindowState& list) {
    if (list.loader) list.loader->Resume();
}

bool IsListReadByExport(const ListWindowState& list) {
    return !list.menuEnabled;
}

void EnableListMenu(ListWindowState& list, bool on) {
    list.menuEnabled = on;
    if (!list.window) return;
    for (int i = 0; i < kTopMenus; ++i)
        EnableMenuItem(list.menu, i, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(list.window);
}

void ApplyStyleToListWindow(ListWindowState& list) {
    if (!list.window) return;
    SetTextColor(list.dc, g_styleColors.Text);
    InvalidateWindowTree(list.window);
    RedrawExportDialogs(list.exports);
}

void ApplyListWindowAlpha(const ListWindowState& list) {
    if (!list.window) return;
    SetLayeredWindowAttributes(list.window, 0, list.document->host->InFullScreen() ? 220 : 255,
                               LWA_ALPHA);
}
