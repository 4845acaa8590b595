#include "viewer/dialogs/save_dialog.h"

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>

#include <string>
#include <vector>

#include "imglib/imglib.h"
#include "viewer/dialogs/metadata_dialog.h"
#include "viewer/dialogs/save_option_dialogs.h"
#include "viewer/logic/format_limits.h"
#include "viewer/logic/save_names.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_utils.h"

namespace {

bool FileExists(const WCHAR* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The dialog's record carries the main window's state and the image to be
// saved (the current image, or an exported alpha channel).
struct SaveContext {
    Document* state;
    const ILImage* image;
};

// The chosen name with the extension of the format at the filter index.
std::u16string ForcedName(const ILImage& image, const WCHAR* chosen, DWORD filterIndex) {
    char extension[IL_EXTENSION_BUFFER] = {};
    const uint32_t row = filterIndex > 0 ? filterIndex - 1 : 0;
    if (!ILGetSaveFormatExtension(row, extension)) return ToU16(chosen);
    return ForceExtension(ToU16(chosen),
                          SaveExtension(ILGetFormatId(row, true), image.type, extension));
}

// The panel's controls.
constexpr int kFormatOptionButton = 10101;
constexpr int kMetadataButton = 10102;
constexpr int kLimitsText = 10103;
constexpr int kLimitsIcon = 10104; // the warning, shown with a text only

uint32_t SaveFormatId(DWORD filterIndex) {
    return ILGetFormatId(filterIndex > 0 ? filterIndex - 1 : 0, true);
}

void ShowFormatLimits(HWND panel, const ILImage& image, DWORD filterIndex) {
    const uint32_t format = SaveFormatId(filterIndex);
    const std::string text = image.data ? FormatLimitsText(format, image.type) : "";
    SetDlgItemTextA(panel, kLimitsText, text.c_str());
    ShowWindow(GetDlgItem(panel, kLimitsIcon), text.empty() ? SW_HIDE : SW_SHOWNA);
    EnableWindow(GetDlgItem(panel, kFormatOptionButton), HasFormatOptions(format));
}

// The 16 x 16 "SAVEINFO" icon into the panel's icon control; the control
// does not destroy it, the program's shared icon lives as long as the process.
void SetWarningIcon(HWND panel, HINSTANCE instance) {
    const HANDLE icon = LoadImageW(instance, L"SAVEINFO", IMAGE_ICON, 16, 16, LR_SHARED);
    if (icon)
        SendDlgItemMessageW(panel, kLimitsIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

// The type list drops down far enough to show every type at once, as far
// as the work area below it allows (a combo box's window height sets its
// dropped height).
void ShowAllTypes(HWND dialog) {
    const HWND types = GetDlgItem(dialog, cmb1);
    if (!types) return;
    const auto count = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
    const auto item = static_cast<int>(SendMessageW(types, CB_GETITEMHEIGHT, 0, 0));
    const auto field = static_cast<int>(SendMessageW(types, CB_GETITEMHEIGHT, WPARAM(-1), 0));
    if (count <= 0 || item <= 0) return;
    RECT rect;
    GetWindowRect(types, &rect);
    const ScreenRect work = WorkArea();
    const int below = static_cast<int>(work.bottom - rect.top);
    const int height = std::min(field + 8 + count * item + 2, std::max(below, field + 8));
    SetWindowPos(types, nullptr, 0, 0, rect.right - rect.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const SaveContext& ContextOf(const OPENFILENAMEW& record) {
    return *reinterpret_cast<const SaveContext*>(record.lCustData);
}

// The panel's window keeps the dialog's record, whose custom data is the
// SaveContext.
UINT_PTR CALLBACK SaveDialogHookProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* record = reinterpret_cast<OPENFILENAMEW*>(GetWindowLongPtrW(panel, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG:
            record = reinterpret_cast<OPENFILENAMEW*>(lParam);
            SetWindowLongPtrW(panel, GWLP_USERDATA, lParam);
            SetWarningIcon(panel, record->hInstance);
            ShowFormatLimits(panel, *ContextOf(*record).image, record->nFilterIndex);
            return TRUE;
        case WM_NOTIFY: {
            const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
            if (record && notice->hdr.code == CDN_TYPECHANGE)
                ShowFormatLimits(panel, *ContextOf(*record).image, notice->lpOFN->nFilterIndex);
            if (notice->hdr.code == CDN_INITDONE) ShowAllTypes(GetParent(panel));
            return 0;
        }
        case WM_COMMAND:
            if (record && LOWORD(wParam) == kFormatOptionButton)
                ShowSaveOptionDialog(*ContextOf(*record).state, *ContextOf(*record).image,
                                     SaveFormatId(record->nFilterIndex), GetParent(panel));
            if (record && LOWORD(wParam) == kMetadataButton)
                ShowMetadataDialog(*ContextOf(*record).state, GetParent(panel));
            return 0;
        default:
            return 0;
    }
}

} // namespace

bool ChooseImageToSave(Document& state, const ILImage& image, WCHAR (&path)[kPathUnits],
                       int32_t& filterIndex) {
    const SaveContext context = {&state, &image};
    const uint32_t units = ILBuildFilterString(true, nullptr);
    std::vector<char16_t> filter(units + 2, u'\0');
    ILBuildFilterString(true, filter.data());
    std::vector<WCHAR> wideFilter(filter.begin(), filter.end());

    for (;;) {
        OPENFILENAMEW dialog = {};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = state.host->OwnerWindow();
        dialog.hInstance = state.host->Instance();
        dialog.lpstrFilter = wideFilter.data();
        dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
        dialog.lpstrFile = path;
        dialog.nMaxFile = kPathUnits;
        dialog.lpstrTitle = L"Save image file";
        dialog.lpfnHook = SaveDialogHookProc;
        dialog.lpTemplateName = L"FILESAVEOPT";
        dialog.lCustData = reinterpret_cast<LPARAM>(&context);
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_EXPLORER |
                       OFN_ENABLESIZING;
        if (!GetSaveFileNameW(&dialog)) return false;
        filterIndex = static_cast<int32_t>(dialog.nFilterIndex);

        // The dialog asked about the typed name; a different forced name
        // that exists is asked about here, and No goes back to the dialog.
        const std::u16string typed = ToU16(path);
        const std::u16string forced = ForcedName(image, path, dialog.nFilterIndex);
        if (forced.size() >= kPathUnits) continue;
        CopyToWide(forced, path);
        if (forced == typed || !FileExists(path)) return true;
        std::u16string question = forced + u" already exists.\nDo you want to replace it?";
        WCHAR text[kPathUnits + 64];
        CopyToWide(question, text);
        if (AskConfirmation(state, text, false) == 1) return true;
    }
}
