#include "viewer/windows/info_window.h"

#include <algorithm>
#include <string>

#include "resources/commands.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/list_box.h"
#include "viewer/controls/owner_button.h"
#include "viewer/platform/date_time.h"
#include "viewer/document/document.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"
#include "viewer/platform/window_utils.h"

namespace {

constexpr int kPageEdit = 10200;
constexpr int kFirstPageButton = 10301; // Tags, IPTC, EXIF, XMP, ICC
constexpr int kNameRight = 347;

int L() {
    return g_interfaceFonts.lineHeight;
}

int ClientHeight(bool pageShown) {
    return 18 * L() + 25 + (pageShown ? 239 : 27);
}

HWND PageEdit(const InfoWindowState& info) {
    return GetDlgItem(info.tool.window, kPageEdit);
}

void FillPage(const InfoWindowState& info, int page) {
    const Document& state = *info.tool.document;
    const std::string text = InfoPageText(state.info, page);
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::u16string wide(static_cast<size_t>(units > 0 ? units : 1), u'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, reinterpret_cast<WCHAR*>(wide.data()),
                            units);
    SetWindowTextW(PageEdit(info), reinterpret_cast<const WCHAR*>(wide.c_str()));
}

// A negative page shows the stored page again; the stored page hides it.
void ShowPage(InfoWindowState& info, int page) {
    int32_t& stored = g_preferences.infoWindowPage;
    if (page < 0)
        page = stored;
    else if (page == stored)
        page = 0;
    if (page < 0 || page > kInfoPageCount) page = 0;
    stored = page;
    SetWindowTextW(PageEdit(info), L"");
    if (page > 0) FillPage(info, page);
    for (int i = 1; i <= kInfoPageCount; ++i)
        SetButtonChecked(GetDlgItem(info.tool.window, kFirstPageButton + i - 1), i == page);
    ShowWindow(PageEdit(info), page > 0 ? SW_SHOWNA : SW_HIDE);
    ResizeToolWindow(info.tool, ClientHeight(page > 0));
}

void Band(HDC dc, int top, int bottom, const WCHAR* title) {
    const RECT band = {0, top, kToolWindowWidth, bottom};
    FillRect(dc, &band, g_styleBrushes.Highlight);
    if (!title) return;
    SelectHeaderStyle(dc);
    TextOutW(dc, 10, top + 1, title, lstrlenW(title));
}

// The values start at x 64, or further right where a label of the font
// would reach them ("Modified:").
void MeasureValueColumn(InfoWindowState& info, HDC dc) {
    int widest = 0;
    for (const WCHAR* label : {L"Format:", L"Source:", L"Folder:", L"Created:", L"Modified:",
                               L"Compr.:", L"Gamma:", L"Color:"}) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, label, lstrlenW(label), &size);
        widest = std::max<int>(widest, size.cx);
    }
    info.valueX = std::max(64, 10 + widest + 5);
}

void Row(const InfoWindowState& info, HDC dc, int y, const WCHAR* label, const std::string& value) {
    TextOutW(dc, 10, y, label, lstrlenW(label));
    TextOutA(dc, info.valueX, y, value.c_str(), static_cast<int>(value.size()));
}

void RowW(const InfoWindowState& info, HDC dc, int y, const WCHAR* label, const WCHAR* value) {
    TextOutW(dc, 10, y, label, lstrlenW(label));
    TextOutW(dc, info.valueX, y, value, lstrlenW(value));
}

void Clipped(const InfoWindowState& info, HDC dc, int y, const WCHAR* text, int length,
             UINT ellipsis) {
    RECT rect = {info.valueX, y, kNameRight, y + L()};
    DrawTextW(dc, text, length, &rect, DT_NOPREFIX | DT_SINGLELINE | ellipsis);
}

// Name and folder (or scanner source) of the shown image.
void PaintNameRows(const InfoWindowState& info, HDC dc) {
    const Document& state = *info.tool.document;
    const int nameY = 2 * L() + 4;
    const int folderY = 3 * L() + 4;
    const uint32_t id = state.info.formatId;
    const WCHAR* path = state.displayPath;
    if (static_cast<int32_t>(id) > 0) {
        const WCHAR* slash = nullptr;
        for (const WCHAR* p = path; *p; ++p)
            if (*p == L'\\') slash = p;
        if (slash) {
            Clipped(info, dc, nameY, slash + 1, -1, DT_END_ELLIPSIS);
            Clipped(info, dc, folderY, path, static_cast<int>(slash - path), DT_PATH_ELLIPSIS);
            return;
        }
    } else if (id == IL_FORMAT_PASTED || id == IL_FORMAT_ACQUIRED) {
        Clipped(info, dc, nameY, state.displayName, -1, DT_END_ELLIPSIS);
        if (id == IL_FORMAT_ACQUIRED) {
            Clipped(info, dc, folderY, state.linkTarget, -1, DT_PATH_ELLIPSIS);
        } else {
            Clipped(info, dc, folderY, L"-", 1, 0);
        }
        return;
    }
    Clipped(info, dc, nameY, L"-", 1, 0);
    Clipped(info, dc, folderY, L"-", 1, 0);
}

void OnPaint(InfoWindowState& info) {
    const Document& state = *info.tool.document;
    PAINTSTRUCT ps;
    const HDC dc = BeginToolWindowPaint(info.tool, ps);
    const int l = L();
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.normalFont);
    Band(dc, 0, l + 2, L"File");
    Band(dc, 8 * l + 7, 9 * l + 9, L"Image / File");
    Band(dc, 13 * l + 14, 14 * l + 16, L"Image / Vx");
    Band(dc, 17 * l + 21, 18 * l + 23, L"Metadata");
    const RECT strip = {0, 18 * l + 23, kToolWindowWidth, 18 * l + 52};
    FillRect(dc, &strip, g_styleBrushes.Window);

    SelectTextStyle(dc);
    MeasureValueColumn(info, dc);
    const InfoTexts& t = info.texts;
    const bool acquired = state.info.formatId == IL_FORMAT_ACQUIRED;
    Row(info, dc, l + 4, L"Format:", t.format);
    TextOutW(dc, 10, 2 * l + 4, L"Name:", 5);
    const WCHAR* folder = acquired ? L"Source:" : L"Folder:";
    TextOutW(dc, 10, 3 * l + 4, folder, lstrlenW(folder));
    PaintNameRows(info, dc);
    Row(info, dc, 4 * l + 4, L"Size:", t.fileSize);
    RowW(info, dc, 5 * l + 4, L"Created:", t.hasFile ? info.created : L"-");
    RowW(info, dc, 6 * l + 4, L"Modified:", t.hasFile ? info.modified : L"-");
    Row(info, dc, 7 * l + 4, L"Compr.:", t.compression);
    Row(info, dc, 9 * l + 11, L"Size:", t.imageSize);
    Row(info, dc, 10 * l + 11, L"Color:", t.color);
    Row(info, dc, 11 * l + 11, L"Gamma:", t.gamma);
    Row(info, dc, 12 * l + 11, L"Res.:", t.resolution);
    Row(info, dc, 14 * l + 18, L"Size:", t.currentSize);
    Row(info, dc, 15 * l + 18, L"Mode:", t.mode);
    Row(info, dc, 16 * l + 18, L"Res.:", t.currentResolution);
    SelectObject(dc, oldFont);
    EndToolWindowPaint(info.tool, ps);
}

void OnCommand(InfoWindowState& info, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == kPageEdit && code == EN_SETFOCUS) ++info.editFocusCount;
    if (id == kPageEdit && code == EN_KILLFOCUS) --info.editFocusCount;
    if (id >= kFirstPageButton && id < kFirstPageButton + kInfoPageCount)
        ShowPage(info, id - kFirstPageButton + 1);
}

LRESULT InfoMessage(InfoWindowState& info, HWND window, UINT message, WPARAM wParam,
                    LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(info);
            return 0;
        case WM_COMMAND:
            OnCommand(info, wParam);
            return 0;
        case WM_CLOSE:
            CloseInfoWindow(info);
            return 0;
        default:
            return ToolWindowMessage(info.tool, window, message, wParam, lParam);
    }
}

void CreateControls(InfoWindowState& info) {
    const HWND window = info.tool.window;
    const int l = L();
    const HWND edit =
        CreateMultiLineEdit(window, kPageEdit, 0, 18 * l + 52, kToolWindowWidth, 212, true);
    ShowWindow(edit, SW_HIDE);
    const WCHAR* names[kInfoPageCount] = {L"Tags", L"IPTC", L"EXIF", L"XMP", L"ICC"};
    for (int i = 0; i < kInfoPageCount; ++i)
        CreatePushButton(window, kFirstPageButton + i, names[i], 10 + 50 * i, 18 * l + 27, 46);
}

} // namespace

void CreateInfoWindow(InfoWindowState& info, Document& document) {
    if (!CreateToolWindow(info.tool, document, L"Info", &g_preferences.infoWindowX,
                          &g_preferences.infoWindowY, ClientHeight(false),
                          WindowProcOf<InfoWindowState, InfoMessage>, &info))
        return;
    info.editFocusCount = 0;
    CreateControls(info);
    g_preferences.infoWindowShown = 1;
    info.tool.document->host->CheckMenuItem(CMD_INFO_WINDOW, true);
    UpdateInfoTexts(info);
    ShowToolWindow(info.tool);
}

void CloseInfoWindow(InfoWindowState& info) {
    if (!info.tool.window) return;
    DestroyToolWindow(info.tool);
    info.editFocusCount = 0;
    g_preferences.infoWindowShown = 0;
    info.tool.document->host->CheckMenuItem(CMD_INFO_WINDOW, false);
}

void UpdateInfoTexts(InfoWindowState& info) {
    if (!info.tool.window) return;
    const Document& state = *info.tool.document;
    InfoViewFacts facts;
    facts.resolutionUnit = g_preferences.resolutionUnit;
    facts.useAlpha = g_preferences.useAlpha != 0;
    facts.viewPpiX = static_cast<uint32_t>(std::max(0, state.viewResolutionX));
    facts.viewPpiY = static_cast<uint32_t>(std::max(0, state.viewResolutionY));
    info.texts = BuildInfoTexts(state.info, state.image, facts);
    if (info.texts.hasFile) {
        FormatFileTime(state.info.created, info.created, true);
        WCHAR modified[120];
        FormatFileTime(state.info.modified, modified, true);
        lstrcpynW(info.modified, modified, 100);
    }
    for (int i = 1; i <= kInfoPageCount; ++i)
        SetButtonBold(GetDlgItem(info.tool.window, kFirstPageButton + i - 1),
                      InfoPageHasData(state.info, i));
    ShowPage(info, -1);
    InvalidateRect(info.tool.window, nullptr, FALSE);
    UpdateWindow(info.tool.window);
}

void RefreshInfoStyle(InfoWindowState& info) {
    if (!info.tool.window) return;
    RedrawToolWindow(info.tool);
    SendMessageW(PageEdit(info), WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont),
                 TRUE);
}
