#include "viewer/dialogs/font_dialog.h"

#include <algorithm>
#include <cstring>

#include "viewer/controls/control_drawing.h"
#include "viewer/controls/label.h"
#include "viewer/controls/list_box.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/dialogs/simple_dialog.h"
#include "viewer/logic/font_rules.h"
#include "viewer/platform/window_state.h"
#include "viewer/style/style.h"

namespace {

enum FontControl : int {
    kFaceList = 1101,
    kSizeField = 1110,
    kBoldBox = 1111,
    kItalicBox = 1112,
    kUnderlineBox = 1113,
    kSampleEdit = 1120,
    kFirstFilter = 1130, // all, Roman, Swiss, Modern, Script, Deco
    kLastFilter = 1135,
};

constexpr int kWidth = 462;
constexpr int kHeight = 290;
constexpr int kSampleUnits = static_cast<int>(kFontSampleTextUnits); // 60 and the terminator
// Item data of the face list: the family's lfPitchAndFamily, and this bit
// for a family outside the highlighted kind (drawn greyed).
constexpr LPARAM kGreyedFamily = 0x10000;

struct FontDialog {
    SimpleDialog dialog;
    HWND fontList = nullptr;
    HWND sizeField = nullptr;
    HWND sampleEdit = nullptr;
    RECT sampleRect = {10, 204, 452, 248};
    HFONT sampleFont = nullptr;
    HBRUSH sampleBrush = nullptr;
    HDC screenDC = nullptr;
    bool updating = true;
    bool editingSample = false;
    LOGFONTA* target = nullptr;
    LOGFONTA font = {};
    Preferences* preferences = nullptr;
};

// The open one: the dialog is modal over the whole process, so there is at
// most one per process, and a second request is refused.
FontDialog* g_fontDialog = nullptr;

const WCHAR* SampleText(const FontDialog& box) {
    return reinterpret_cast<const WCHAR*>(box.preferences->fontSampleText);
}

int CALLBACK AddFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM list) {
    WCHAR face[LF_FACESIZE];
    if (!MultiByteToWideChar(CP_ACP, 0, font->lfFaceName, -1, face, LF_FACESIZE)) return 1;
    const HWND listBox = reinterpret_cast<HWND>(list);
    if (SendMessageW(listBox, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(face)) != LB_ERR)
        return 1;
    const LRESULT index = SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(face));
    if (index >= 0) SendMessageW(listBox, LB_SETITEMDATA, index, font->lfPitchAndFamily);
    return 1;
}

void ListFamilies(const FontDialog& box) {
    LOGFONTA all = {};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(box.screenDC, &all, AddFamily, reinterpret_cast<LPARAM>(box.fontList), 0);
}

// Greys every family whose kind (bits 4-7 of lfPitchAndFamily) is not kind;
// kind 0 greys none.
void ApplyFamilyFilter(const FontDialog& box, int kind) {
    const LRESULT count = SendMessageW(box.fontList, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LPARAM data = SendMessageW(box.fontList, LB_GETITEMDATA, i, 0);
        const bool greyed = kind != 0 && ((data >> 4) & 0xF) != kind;
        SendMessageW(box.fontList, LB_SETITEMDATA, i,
                     greyed ? (data | kGreyedFamily) : (data & ~kGreyedFamily));
    }
    InvalidateRect(box.fontList, nullptr, FALSE);
}

void UpdateSampleFont(FontDialog& box) {
    if (box.updating) return;
    const HWND window = box.dialog.window;
    LOGFONTA& f = box.font;
    f.lfCharSet = DEFAULT_CHARSET;
    f.lfOutPrecision = OUT_TT_PRECIS;
    f.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    f.lfQuality = ANTIALIASED_QUALITY;
    f.lfHeight =
        FontPixelHeight(GetSpinValue(box.sizeField), GetDeviceCaps(box.screenDC, LOGPIXELSY));
    f.lfWeight = IsButtonChecked(GetDlgItem(window, kBoldBox)) ? FW_BOLD : FW_NORMAL;
    f.lfItalic = IsButtonChecked(GetDlgItem(window, kItalicBox)) ? 1 : 0;
    f.lfUnderline = IsButtonChecked(GetDlgItem(window, kUnderlineBox)) ? 1 : 0;
    f.lfWidth = 0;
    if (const HFONT created = CreateFontIndirectA(&f)) {
        DeleteObject(box.sampleFont);
        box.sampleFont = created;
    }
    InvalidateRect(window, &box.sampleRect, TRUE);
}

// The selected face becomes the font's.
void TakeSelection(FontDialog& box) {
    const LRESULT index = SendMessageW(box.fontList, LB_GETCURSEL, 0, 0);
    if (index < 0 || SendMessageW(box.fontList, LB_GETTEXTLEN, index, 0) >= LF_FACESIZE) return;
    WCHAR face[LF_FACESIZE] = {};
    SendMessageW(box.fontList, LB_GETTEXT, index, reinterpret_cast<LPARAM>(face));
    WideCharToMultiByte(CP_ACP, 0, face, -1, box.font.lfFaceName, LF_FACESIZE, nullptr, nullptr);
    box.font.lfFaceName[LF_FACESIZE - 1] = 0;
    UpdateSampleFont(box);
}

void BeginSampleEdit(FontDialog& box) {
    box.editingSample = true;
    SetWindowTextW(box.sampleEdit, SampleText(box));
    ShowWindow(box.sampleEdit, SW_SHOW);
    SetFocus(box.sampleEdit);
    SendMessageW(box.sampleEdit, EM_SETSEL, 0, -1);
}

// The edited text becomes the stored sample.
void EndSampleEdit(FontDialog& box) {
    if (!box.editingSample) return;
    box.editingSample = false;
    WCHAR text[kSampleUnits] = {};
    GetWindowTextW(box.sampleEdit, text, kSampleUnits);
    std::memcpy(box.preferences->fontSampleText, text, sizeof text);
    ShowWindow(box.sampleEdit, SW_HIDE);
    InvalidateRect(box.dialog.window, &box.sampleRect, TRUE);
    SetFocus(box.fontList);
}

void CreateControls(FontDialog& box, HWND window) {
    box.fontList = CreateListBox(window, kFaceList, 11, 190, 180, false, true);
    const WCHAR* kinds[] = {L"all", L"Roman", L"Swiss", L"Modern", L"Script", L"Deco"};
    const int filter = std::min<int>(box.preferences->fontFamilyFilter, 5);
    for (int i = 0; i < 6; ++i)
        CreateRadioButton(window, kFirstFilter + i, kinds[i], 216, 54 + 20 * i, 62, i == filter);
    box.sizeField =
        CreateSpinField(window, kSizeField, 346, 10, 46, kFontSizeMinimum, kFontSizeMaximum,
                        FontPointSize(box.font.lfHeight, GetDeviceCaps(box.screenDC, LOGPIXELSY)));
    // 90 wide: "underline" does not fit 68 pixels in the interface font.
    CreateCheckBox(window, kBoldBox, L"bold", 346, 110, 90, box.font.lfWeight == FW_BOLD);
    CreateCheckBox(window, kItalicBox, L"italic", 346, 130, 90, box.font.lfItalic != 0);
    CreateCheckBox(window, kUnderlineBox, L"underline", 346, 150, 90, box.font.lfUnderline != 0);
    box.sampleEdit = CreateLineEdit(window, kSampleEdit, box.sampleRect.left,
                                    box.sampleRect.top + 13, kWidth - 20, false);
    SendMessageW(box.sampleEdit, EM_LIMITTEXT, kSampleUnits - 1, 0);
    ShowWindow(box.sampleEdit, SW_HIDE);

    ListFamilies(box);
    ApplyFamilyFilter(box, filter);
    SetFocus(box.fontList);
    WCHAR face[LF_FACESIZE] = {};
    MultiByteToWideChar(CP_ACP, 0, box.font.lfFaceName, -1, face, LF_FACESIZE);
    LRESULT index = SendMessageW(box.fontList, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(face));
    if (index == LB_ERR) index = 0;
    SendMessageW(box.fontList, LB_SETCURSEL, index, 0);
    SendMessageW(box.fontList, LB_SETTOPINDEX, index, 0);
    box.updating = false;
    TakeSelection(box);
}

void DrawLabel(HDC dc, int x, int y, const WCHAR* text) {
    TextOutW(dc, x, y, text, lstrlenW(text));
}

void Paint(const FontDialog& box, HDC dc) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, dc, true);
    RECT list = {};
    GetWindowRect(box.fontList, &list);
    MapWindowPoints(nullptr, box.dialog.window, reinterpret_cast<POINT*>(&list), 2);
    InflateRect(&list, 1, 1);
    FrameRect(dc, &list, g_styleBrushes.Text);
    RECT frame = box.sampleRect;
    InflateRect(&frame, 1, 1);
    FrameRect(dc, &frame, g_styleBrushes.Text);
    SetBkMode(dc, TRANSPARENT);
    SelectSmallTextStyle(dc);
    DrawLabel(dc, 216, 34, L"highlight");
    SelectTextStyle(dc);
    DrawLabel(dc, 312, 12, L"Size");
    DrawLabel(dc, 398, 12, L"pt");
    DrawLabel(dc, 346, 85, L"Style");

    FillRect(dc, &box.sampleRect, box.sampleBrush);
    const HGDIOBJ oldFont = SelectObject(dc, box.sampleFont);
    SetTextColor(dc, 0x101010);
    SetBkColor(dc, 0xA0A0A0);
    RECT sample = box.sampleRect;
    DrawTextW(dc, SampleText(box), -1, &sample,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    RestoreSimpleDialogPen(dc, pen);
}

void OnCommand(FontDialog& box, WPARAM wParam) {
    const HWND window = box.dialog.window;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id >= kFirstFilter && id <= kLastFilter) {
        SelectRadio(window, kFirstFilter, kLastFilter, id);
        ApplyFamilyFilter(box, id - kFirstFilter);
        return;
    }
    if (id == kFaceList && code == LBN_SELCHANGE) TakeSelection(box);
    if (id >= kSizeField && id <= kUnderlineBox) UpdateSampleFont(box);
    if (id == kSampleEdit && code == EN_KILLFOCUS) EndSampleEdit(box);
    if (id == IDOK) {
        if (box.editingSample) {
            EndSampleEdit(box);
            return;
        }
        *box.target = box.font;
        box.preferences->fontFamilyFilter =
            static_cast<uint8_t>(GetCheckedRadio(window, kFirstFilter, kLastFilter));
        CloseSimpleDialog(box.dialog, kFontDialogAccepted);
    }
    if (id == IDCANCEL) {
        EndSampleEdit(box);
        CloseSimpleDialog(box.dialog, 2);
    }
}

bool InSample(const FontDialog& box, LPARAM lParam) {
    const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&box.sampleRect, at) != FALSE;
}

INT_PTR FontDialogMessage(FontDialog& box, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            BeginSimpleDialog(box.dialog, window);
            CreateControls(box, window);
            EndSimpleDialogSetup(box.dialog);
            return FALSE; // the list has the focus
        case WM_ERASEBKGND:
            Paint(box, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(box, wParam);
            return TRUE;
        case WM_LBUTTONDBLCLK:
            if (InSample(box, lParam) && !box.editingSample)
                BeginSampleEdit(box);
            else
                EndSampleEdit(box);
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            EndSampleEdit(box);
            return TRUE;
        case WM_MEASUREITEM:
            OnMeasureItem(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM: {
            DRAWITEMSTRUCT item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_LISTBOX && (item.itemData & kGreyedFamily))
                item.itemState |= ODS_GRAYED;
            OnDrawItem(&item);
            return TRUE;
        }
        case WM_VKEYTOITEM:
            return -1;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                OnControlColor(reinterpret_cast<HDC>(wParam), message != WM_CTLCOLORSTATIC));
        default:
            return FALSE;
    }
}

} // namespace

FontDialogResult RunFontDialog(HWND owner, HWND mainWindow, LOGFONTA& font,
                               Preferences& preferences) {
    if (g_fontDialog) return kFontDialogFailed;
    FontDialog box;
    SetupSimpleDialog(box.dialog, L"Select Font", kWidth, kHeight, 2, true, mainWindow);
    box.target = &font;
    box.preferences = &preferences;
    box.font = font;
    box.font.lfClipPrecision = CLIP_STROKE_PRECIS;
    box.font.lfQuality = ANTIALIASED_QUALITY;
    box.font.lfCharSet = DEFAULT_CHARSET;
    box.font.lfWeight = NormalizeFontWeight(box.font.lfWeight);
    box.font.lfFaceName[LF_FACESIZE - 1] = 0;
    preferences.fontSampleText[kFontSampleTextUnits - 1] = 0;
    box.sampleFont = CreateFontIndirectA(&box.font);
    box.sampleBrush = CreateSolidBrush(0xA0A0A0);
    box.screenDC = GetDC(nullptr);
    FontDialogResult result = kFontDialogFailed;
    if (box.sampleFont && box.sampleBrush && box.screenDC) {
        g_fontDialog = &box;
        const INT_PTR ended = ShowSimpleDialogModal(
            box.dialog, owner, DialogProcOf<FontDialog, FontDialogMessage>, &box);
        g_fontDialog = nullptr;
        result = ended == kFontDialogAccepted ? kFontDialogAccepted
                 : ended < 0                  ? kFontDialogFailed
                                              : kFontDialogCancelled;
    }
    if (box.screenDC) ReleaseDC(nullptr, box.screenDC);
    if (box.sampleFont) DeleteObject(box.sampleFont);
    if (box.sampleBrush) DeleteObject(box.sampleBrush);
    return result;
}

bool FontDialogIsOpen() {
    return g_fontDialog != nullptr;
}

void RedrawFontDialog() {
    if (g_fontDialog && g_fontDialog->dialog.window)
        RedrawWindow(g_fontDialog->dialog.window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
